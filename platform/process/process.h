// Starting a Linux program and waiting for it to end. The installer's setup
// step and the end-to-end tests run the system's programs this way; the
// program sees the caller's environment with a few values changed.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "platform/error/error.h"

// A change to the started program's environment: the variable is set to
// value, or removed when remove is set.
struct EnvChange {
    std::string name;
    std::string value;
    bool remove = false;
};

// Runs the program file unixPath (UTF-8) with argv[0] = unixPath followed by
// args, and waits for it. Returns its exit status (0..255), 128 + the signal
// number when a signal ended it, or -1 (last error set) when it could not be
// started.
int RunProgramAndWait(const std::string& unixPath, const std::vector<std::string>& args,
                      const std::vector<EnvChange>& envChanges = {});
