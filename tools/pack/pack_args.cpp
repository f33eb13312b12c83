#include "tools/pack/pack_args.h"

const char* const kPackUsage =
    "usage: telvora-pack ARCHIVE FOLDER [--top NAME]\n"
    "\n"
    "Writes ARCHIVE, a RAR 4 archive with stored (uncompressed) entries, holding\n"
    "the tree of FOLDER under one top folder, as an update package needs it.\n"
    "\n"
    "  --top NAME   name of the top folder in the archive (default: FOLDER's own\n"
    "               name); for a package, the course folder's name\n"
    "  --help       show this text\n"
    "\n"
    "Entry names are stored in GBK (and as Unicode); a name without a GBK form\n"
    "is an error. Symbolic links and special files are skipped with a warning,\n"
    "never followed. The archive is written under a scratch name and renamed\n"
    "when complete. Exit status: 0 done, 1 failed, 2 wrong command line.\n";

std::optional<CPackArgs> ParsePackArgs(const std::vector<std::string>& args, std::string* error) {
    CPackArgs parsed;
    std::vector<std::string> positional;
    bool topGiven = false;
    bool optionsEnded = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (optionsEnded || arg.empty() || arg[0] != '-' || arg == "-") {
            positional.push_back(arg);
        } else if (arg == "--") {
            optionsEnded = true;
        } else if (arg == "--help" || arg == "-h") {
            parsed.m_bHelp = true;
            return parsed;
        } else if (arg == "--top" || arg.rfind("--top=", 0) == 0) {
            if (topGiven) {
                *error = "--top is given twice";
                return std::nullopt;
            }
            topGiven = true;
            if (arg == "--top") {
                if (i + 1 >= args.size()) {
                    *error = "--top needs a name";
                    return std::nullopt;
                }
                parsed.m_strTop = args[++i];
            } else {
                parsed.m_strTop = arg.substr(6);
            }
            if (parsed.m_strTop.empty()) {
                *error = "--top needs a name";
                return std::nullopt;
            }
        } else {
            *error = "unknown option " + arg;
            return std::nullopt;
        }
    }
    if (positional.size() != 2) {
        *error = positional.size() < 2 ? "ARCHIVE and FOLDER are both needed"
                                       : "too many arguments: " + positional[2];
        return std::nullopt;
    }
    parsed.m_strArchive = positional[0];
    parsed.m_strFolder = positional[1];
    return parsed;
}
