// The command line of telvora-extract, the course's RAR extractor on Linux:
//   x ARCHIVE DEST -y
// as the update control starts the course's extractor, with switches allowed
// anywhere after the command.
#pragma once

#include <optional>
#include <string>
#include <vector>

struct CExtractArgs {
    bool m_bHelp = false;
    std::string m_strArchive;  // UTF-8, as given
    std::string m_strDest;
};

// Parses args (without the program name); on a mistake returns nothing and
// sets *error to the message to show.
std::optional<CExtractArgs> ParseExtractArgs(const std::vector<std::string>& args,
                                             std::string* error);

extern const char* const kExtractUsage;
