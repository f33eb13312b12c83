// The command line of telvora-pack: ARCHIVE FOLDER [--top NAME], --help.
#pragma once

#include <optional>
#include <string>
#include <vector>

struct CPackArgs {
    bool m_bHelp = false;
    std::string m_strArchive;  // UTF-8, as given
    std::string m_strFolder;
    std::string m_strTop;  // empty: the folder's own name
};

// Parses args (without the program name); on a mistake returns nothing and
// sets *error to the message to show.
std::optional<CPackArgs> ParsePackArgs(const std::vector<std::string>& args, std::string* error);

extern const char* const kPackUsage;
