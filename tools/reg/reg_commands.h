// The three operations of telvora-reg on the registry service.
#pragma once

#include <iosfwd>

#include "tools/reg/reg_args.h"

// Runs a parsed command. Results go to out and messages to err, both as
// UTF-8; answers to the tool's questions come from in. Returns the exit
// status: 0 on success, 1 on failure or when the user declines.
int RunRegCommand(const CRegArgs& args, std::ostream& out, std::ostream& err, std::istream& in);
