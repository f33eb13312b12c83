// Loading component modules (shared libraries) into the process, the way the
// desktop system loads in-process servers. Modules stay loaded for the life
// of the process: window procedures and objects a module hands out remain
// valid wherever they are kept.
#pragma once

#include <string>

#include "platform/error/error.h"

struct HINSTANCE__;
using HMODULE = HINSTANCE__*;

enum : DWORD {
    ERROR_MOD_NOT_FOUND = 126,
    ERROR_PROC_NOT_FOUND = 127,
};

// Loads the module at path (a Windows path, GBK), resolving every symbol
// now and keeping the module's own symbols to itself. Null on failure, with
// the last error ERROR_MOD_NOT_FOUND (no such file), ERROR_BAD_EXE_FORMAT
// (not a loadable shared library) or ERROR_INVALID_NAME (a path that does
// not map to a file); GetModuleLoadError tells more.
HMODULE LoadLibrary(const std::string& path);
// The address of an exported symbol; null (ERROR_PROC_NOT_FOUND) when the
// module has none of that name.
void* GetProcAddress(HMODULE module, const char* name);

namespace com {

// The loader's own words for the calling thread's last failure of the two
// calls above ("invalid ELF header", "no such file"...); empty after success.
std::string GetModuleLoadError();

}  // namespace com
