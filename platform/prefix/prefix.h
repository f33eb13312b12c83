// The prefix: the folder that holds this machine's state (registry.db,
// drives/), like a Wine prefix. TELVORA_PREFIX names it; the default is
// ${XDG_DATA_HOME:-$HOME/.local/share}/telvora.
#pragma once

#include <string>

// The prefix folder as a Unix path (UTF-8), created with its defaults on
// first use in this process (drives/c: -> /). Re-read from the environment on
// every call, so that tests can switch prefixes.
std::string PrefixDir();
