// telvora-update-server's commands: serve, publish, user.
#pragma once

#include <string>
#include <vector>

// Exit status of a bad command line (and of the usage text asked for by
// mistake); 0 and 1 are in publish.h.
constexpr int kExitUsage = 2;

// Runs the program with its arguments (UTF-8, program name excluded).
int UpdateServerMain(const std::vector<std::string>& args);
