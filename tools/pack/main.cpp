// telvora-pack: makes a RAR 4 archive of a folder for publishing an update
// package. Arguments, paths and messages are UTF-8.
#include <iostream>
#include <string>
#include <vector>

#include "common/tool_options.h"
#include "tools/pack/pack_args.h"
#include "tools/pack/pack_folder.h"

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    std::string error;
    const std::optional<CPackArgs> parsed = ParsePackArgs(args, &error);
    if (!parsed) {
        PrintUsageError(std::cerr, "telvora-pack", error);
        return 2;
    }
    if (parsed->m_bHelp) {
        std::cout << kPackUsage;
        return 0;
    }
    std::vector<std::string> warnings;
    const bool ok =
        PackFolder(parsed->m_strArchive, parsed->m_strFolder, parsed->m_strTop, &warnings, &error);
    for (const std::string& warning : warnings)
        std::cerr << "telvora-pack: warning: " << warning << '\n';
    if (!ok) {
        std::cerr << "telvora-pack: " << error << '\n';
        return 1;
    }
    return 0;
}
