// What telvora-ocx does: run a module's registration entry point, or host
// one control and call its methods.
#pragma once

#include <iosfwd>

#include "tools/ocx/ocx_args.h"

enum : int {
    kOcxOk = 0,
    kOcxFailed = 1,
    kOcxUsageError = 2,
    kOcxCannotCreate = 3,
    kOcxUnknownMethod = 4,
};

// regsvr / unregsvr: prints the entry point's result code in hex on out.
int RunRegistration(const COcxArgs& args, std::ostream& out, std::ostream& err);
// call: on the calling thread (the program's own, under the program entry):
// one host window, one control, the calls in order. Results go to out, one
// JSON value a line, as each call returns.
int RunCalls(const COcxArgs& args, std::ostream& out, std::ostream& err);
// host: controls for the course browser, driven by JSON requests a line on
// in, answered a line each on out (see the usage text), until in ends; then
// every control is released and the host waits for the updates they started.
int RunHost(std::istream& in, std::ostream& out, std::ostream& err);
