#include "tools/ocx/ocx_args.h"

#include <utility>

#include "common/tool_options.h"

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

namespace {

// The words after "call PROGID": calls separated by lone ","s.
bool SplitCalls(const std::vector<std::string>& words, std::vector<COcxCall>* calls,
                std::string* error) {
    COcxCall current;
    bool expectMethod = true;
    for (const std::string& word : words) {
        if (word == ",") {
            if (expectMethod) {
                *error = "a \",\" must follow a METHOD";
                return false;
            }
            calls->push_back(std::move(current));
            current = COcxCall();
            expectMethod = true;
        } else if (expectMethod) {
            if (word.empty()) {
                *error = "empty METHOD name";
                return false;
            }
            current.method = word;
            expectMethod = false;
        } else {
            current.args.push_back(word);
        }
    }
    if (expectMethod) {
        *error = calls->empty() ? "call needs at least one METHOD"
                                : "a METHOD must follow the last \",\"";
        return false;
    }
    calls->push_back(std::move(current));
    return true;
}

}  // namespace

std::optional<COcxArgs> ParseOcxArgs(const std::vector<std::string>& args, std::string* error) {
    COcxArgs parsed;
    const auto choose = [&parsed](COcxArgs::Command command) {
        return [&parsed, command] { parsed.command = command; };
    };
    // No options: "-x" is a module, an object or a method's argument.
    CToolOptions line;
    line.NoOptions();
    line.Command("help|-h|--help|/?", choose(COcxArgs::Command::Help))
        .ExtraArgument("help takes no arguments");
    for (const auto& [name, command] : {std::pair{"regsvr", COcxArgs::Command::Register},
                                        std::pair{"unregsvr", COcxArgs::Command::Unregister}}) {
        const std::string oneModule = std::string(name) + " takes exactly one MODULE";
        line.Command(name, choose(command))
            .ExtraArgument(oneModule)
            .Positional("MODULE", &parsed.module)
            .NotEmpty()
            .Missing(oneModule);
    }
    line.Command("host", choose(COcxArgs::Command::Host)).ExtraArgument("host takes no arguments");
    std::vector<std::string> words;
    CToolOptions& call = line.Command("call", choose(COcxArgs::Command::Call));
    call.Positional("PROGID", &parsed.object).NotEmpty().Missing("call needs a ProgID or {CLSID}");
    call.Rest(&words);
    if (line.Parse(args, error) != EToolParse::kRun)
        return std::nullopt;
    if (parsed.command == COcxArgs::Command::Call && !SplitCalls(words, &parsed.calls, error))
        return std::nullopt;
    return parsed;
}
