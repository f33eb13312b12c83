#include "tools/pack/pack_args.h"

#include "common/tool_options.h"

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
    CToolOptions line;
    line.AttachedValues();
    line.Value("--top", &parsed.m_strTop).NotEmpty().Missing("--top needs a name").Once();
    const char* const both = "ARCHIVE and FOLDER are both needed";
    line.Positional("ARCHIVE", &parsed.m_strArchive).Missing(both);
    line.Positional("FOLDER", &parsed.m_strFolder).Missing(both);
    switch (line.Parse(args, error)) {
        case EToolParse::kUsageError:
            return std::nullopt;
        case EToolParse::kHelp:
            parsed.m_bHelp = true;
            break;
        case EToolParse::kRun:
            break;
    }
    return parsed;
}
