// The command line of telvora-ocx.
#pragma once

#include <optional>
#include <string>
#include <vector>

struct COcxCall {
    std::string method;             // UTF-8
    std::vector<std::string> args;  // UTF-8
};

struct COcxArgs {
    enum class Command { Help, Register, Unregister, Call, Host };
    Command command = Command::Help;
    std::string module;  // regsvr / unregsvr: the module's path (UTF-8)
    std::string object;  // call: a ProgID or {CLSID} (UTF-8)
    std::vector<COcxCall> calls;
};

// Parses argv[1..]; on a usage error returns nothing and says why in *error.
// Calls are separated by a lone ",".
std::optional<COcxArgs> ParseOcxArgs(const std::vector<std::string>& args, std::string* error);

extern const char* const kOcxUsage;
