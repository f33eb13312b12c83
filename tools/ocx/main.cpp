// telvora-ocx: the automation host. Registers component modules and calls a
// control's methods by name from the shell. Arguments and output are UTF-8.
#include <iostream>
#include <string>
#include <vector>

#include "common/tool_options.h"
#include "platform/com/control_container.h"
#include "platform/fs/fs.h"
#include "platform/ui/app.h"
#include "tools/ocx/ocx_args.h"
#include "tools/ocx/ocx_commands.h"

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    std::string error;
    std::optional<COcxArgs> parsed = ParseOcxArgs(args, &error);
    if (!parsed) {
        PrintUsageError(std::cerr, "telvora-ocx", error);
        return kOcxUsageError;
    }
    switch (parsed->command) {
        case COcxArgs::Command::Help:
            std::cout << kOcxUsage;
            return kOcxOk;
        case COcxArgs::Command::Register:
        case COcxArgs::Command::Unregister:
            if (argc > 0) {
                SetProgramPath(argv[0]);
            }
            return RunRegistration(*parsed, std::cout, std::cerr);
        case COcxArgs::Command::Call:
        case COcxArgs::Command::Host:
            break;
    }
    // Calls run as a program does: renderer, answers, transcript, snapshots.
    AfxEnableControlContainer();
    return RunProgram(argc, argv, "telvora-ocx", [&] {
        return parsed->command == COcxArgs::Command::Host ? RunHost(std::cin, std::cout, std::cerr)
                                                          : RunCalls(*parsed, std::cout, std::cerr);
    });
}
