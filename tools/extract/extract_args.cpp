#include "tools/extract/extract_args.h"

#include "platform/text/text.h"

const char* const kExtractUsage =
    "usage: telvora-extract x ARCHIVE DEST [-y]\n"
    "\n"
    "Extracts every entry of ARCHIVE with its folders into DEST (created when\n"
    "missing), as the course's RAR extractor does with \"x ARCHIVE DEST -y\".\n"
    "Reads RAR 4 (stored or compressed), RAR 5, ZIP, 7z, tar (also gzip, bzip2,\n"
    "xz or zstd compressed), cpio, ISO 9660, CAB, LHA, ar and xar archives.\n"
    "\n"
    "  x       extract with full paths (the only command)\n"
    "  -y      answer yes to every question; always in effect: existing files,\n"
    "          read-only ones too, are replaced without asking\n"
    "  -ibck, -inul, -o+\n"
    "          accepted and without effect (no window, no questions, overwrite)\n"
    "  --      ends the switches\n"
    "  --help  show this text\n"
    "Switches may stand anywhere after x; other switches are refused, so that\n"
    "none is silently ignored.\n"
    "\n"
    "Entry names stored in the GBK code page become UTF-8 names on disk; files\n"
    "are written 0644 and folders 0755 (less the umask), never executable.\n"
    "A RAR archive that ends inside a block is damaged; one that ends without\n"
    "its end-of-archive block counts as cut short too, unless the environment\n"
    "has TELVORA_ARCHIVE_LENGTH_KNOWN=1 (its length is known to be whole:\n"
    "older archivers wrote no such block, and RAR's -en switch leaves it out).\n"
    "Nothing is written outside DEST: absolute names, names with \"..\", links\n"
    "leading out of DEST, entries that would be written through a link, hard\n"
    "links, devices, FIFOs and sockets are refused, each named on stderr. A\n"
    "file whose data is damaged is removed; what was extracted before stays.\n"
    "\n"
    "Exit status: 0 when every entry was extracted; 1 when an entry was refused\n"
    "or failed, or the archive is damaged, cut short, empty or no archive at\n"
    "all; 2 for a wrong command line.\n";

std::optional<CExtractArgs> ParseExtractArgs(const std::vector<std::string>& args,
                                             std::string* error) {
    CExtractArgs parsed;
    if (args.empty()) {
        *error = "no command given";
        return std::nullopt;
    }
    const std::string command = text::AsciiLower(args[0]);
    if (command == "--help" || command == "-h" || command == "-?" || command == "/?") {
        parsed.m_bHelp = true;
        return parsed;
    }
    if (command != "x") {
        *error = "unknown command \"" + args[0] + "\" (only x, extract with full paths, is known)";
        return std::nullopt;
    }
    std::vector<std::string> positional;
    bool switchesEnded = false;
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (switchesEnded || arg.size() < 2 || arg[0] != '-') {
            positional.push_back(arg);
            continue;
        }
        const std::string lower = text::AsciiLower(arg);
        if (lower == "--") {
            switchesEnded = true;
        } else if (lower == "--help") {
            parsed.m_bHelp = true;
            return parsed;
        } else if (lower != "-y" && lower != "-ibck" && lower != "-inul" && lower != "-o+") {
            *error = "unknown switch " + arg;
            return std::nullopt;
        }
    }
    if (positional.size() != 2) {
        *error = positional.size() < 2 ? "ARCHIVE and DEST are both needed"
                                       : "too many arguments: " + positional[2] +
                                             " (extracting chosen files is not supported)";
        return std::nullopt;
    }
    parsed.m_strArchive = positional[0];
    parsed.m_strDest = positional[1];
    return parsed;
}
