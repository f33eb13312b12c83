// Where the system's programs are: the folder of telvora-setup's own file.
#pragma once

#include <string>

// The folder of this program's real file (links resolved: /usr/bin/
// telvora-setup -> /usr/lib/telvora), where install, lesson, telvora-ocx and
// libcorvane.so lie beside it.
std::string ProgramDir();
