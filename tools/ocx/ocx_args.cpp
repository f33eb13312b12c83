#include "tools/ocx/ocx_args.h"

const char* const kOcxUsage =
    "usage: telvora-ocx regsvr MODULE\n"
    "       telvora-ocx unregsvr MODULE\n"
    "       telvora-ocx call PROGID|{CLSID} METHOD [ARG...] [, METHOD [ARG...]]...\n"
    "       telvora-ocx host\n"
    "\n"
    "  regsvr    load MODULE (a component's shared library, e.g. libcorvane.so) and run\n"
    "            its DllRegisterServer; unregsvr runs DllUnregisterServer. The result\n"
    "            code is printed in hex (0x00000000: success).\n"
    "  call      create one control of the class in a host window and call its\n"
    "            methods in order by name; a lone \",\" separates the calls. Arguments\n"
    "            are converted to the types the control's type library declares (a\n"
    "            string, or a decimal integer for a long). Each result is printed on\n"
    "            a line as a JSON value: a string, true/false, or null.\n"
    "            The control's dialogs follow TELVORA_UI, TELVORA_ANSWERS and\n"
    "            TELVORA_TRANSCRIPT like every program's.\n"
    "\n"
    "exit status: 0 success; 1 the module or a call failed; 2 usage error or a bad\n"
    "argument; 3 the control cannot be created; 4 unknown method name\n"
    "\n"
    "example: telvora-ocx call CORVANE.CorvaneCtrl.1 GetCdDrive , FindInfo chem7\n";

std::optional<COcxArgs> ParseOcxArgs(const std::vector<std::string>& args, std::string* error) {
    COcxArgs parsed;
    if (args.empty()) {
        *error = "no command given";
        return std::nullopt;
    }
    const std::string& command = args[0];
    if (command == "-h" || command == "--help" || command == "/?" || command == "help") {
        if (args.size() != 1) {
            *error = "help takes no arguments";
            return std::nullopt;
        }
        return parsed;
    }
    if (command == "regsvr" || command == "unregsvr") {
        if (args.size() != 2 || args[1].empty()) {
            *error = command + " takes exactly one MODULE";
            return std::nullopt;
        }
        parsed.command =
            command == "regsvr" ? COcxArgs::Command::Register : COcxArgs::Command::Unregister;
        parsed.module = args[1];
        return parsed;
    }
    if (command == "host") {
        if (args.size() != 1) {
            *error = "host takes no arguments";
            return std::nullopt;
        }
        parsed.command = COcxArgs::Command::Host;
        return parsed;
    }
    if (command != "call") {
        *error = "unknown command \"" + command + "\"";
        return std::nullopt;
    }
    parsed.command = COcxArgs::Command::Call;
    if (args.size() < 2 || args[1].empty()) {
        *error = "call needs a ProgID or {CLSID}";
        return std::nullopt;
    }
    parsed.object = args[1];
    COcxCall current;
    bool expectMethod = true;
    for (std::size_t i = 2; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == ",") {
            if (expectMethod) {
                *error = "a \",\" must follow a METHOD";
                return std::nullopt;
            }
            parsed.calls.push_back(std::move(current));
            current = COcxCall();
            expectMethod = true;
        } else if (expectMethod) {
            if (arg.empty()) {
                *error = "empty METHOD name";
                return std::nullopt;
            }
            current.method = arg;
            expectMethod = false;
        } else {
            current.args.push_back(arg);
        }
    }
    if (expectMethod) {
        *error = parsed.calls.empty() ? "call needs at least one METHOD"
                                      : "a METHOD must follow the last \",\"";
        return std::nullopt;
    }
    parsed.calls.push_back(std::move(current));
    return parsed;
}
