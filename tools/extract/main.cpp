// telvora-extract: the course's RAR extractor on Linux. Arguments, paths and
// messages are UTF-8.
#include <iostream>
#include <string>
#include <vector>

#include "platform/archive/archive.h"
#include "tools/extract/extract_args.h"

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    std::string error;
    const std::optional<CExtractArgs> parsed = ParseExtractArgs(args, &error);
    if (!parsed) {
        std::cerr << "telvora-extract: " << error
                  << "\nType \"telvora-extract --help\" for usage.\n";
        return 2;
    }
    if (parsed->m_bHelp) {
        std::cout << kExtractUsage;
        return 0;
    }
    std::vector<std::string> problems;
    if (ExtractArchive(parsed->m_strArchive, parsed->m_strDest, &problems))
        return 0;
    for (const std::string& problem : problems)
        std::cerr << "telvora-extract: " << problem << '\n';
    return 1;
}
