// The prefix: the folder that holds this machine's state (registry.db,
// drives/), like a Wine prefix. TELVORA_PREFIX names it; the default is
// ${XDG_DATA_HOME:-$HOME/.local/share}/telvora.
#pragma once

#include <string>

// The prefix folder as a Unix path (UTF-8). Re-read from the environment on
// every call, so that tests can switch prefixes. Looking never creates it: a
// missing prefix reads as a new one would (C: is the Unix tree, the registry
// is empty).
std::string PrefixDir();

// Makes the prefix with its defaults (drives/c: -> /) unless it is there,
// and checks that this process can write to it. Every writer calls it
// before its first write. False with errno set and, when why is given, the
// cause in words.
bool EnsurePrefix(std::string* why = nullptr);
