// telvora-extract: the course's RAR extractor on Linux. Arguments, paths and
// messages are UTF-8.
#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

#include "common/program_codes.h"
#include "platform/archive/archive.h"
#include "tools/extract/extract_args.h"

int main(int argc, char** argv) {
    // The C library looks at /etc/localtime again on every time conversion
    // (one per entry) unless TZ names the zone: named once, the same zone.
    setenv("TZ", ":/etc/localtime", 0);
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
    // The update control says so when the archive came with its length and
    // all of it arrived.
    const char* known = std::getenv(kArchiveLengthKnownVariable);
    const bool lengthKnown = known && std::string(known) == "1";
    std::vector<std::string> problems;
    if (ExtractArchive(parsed->m_strArchive, parsed->m_strDest, &problems, lengthKnown))
        return 0;
    for (const std::string& problem : problems)
        std::cerr << "telvora-extract: " << problem << '\n';
    return 1;
}
