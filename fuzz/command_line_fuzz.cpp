// Windows command lines as the process service reads them: which part names
// the program, how the rest splits into arguments, the rest as one argument,
// and the file name of a path. The input is read two ways: as a command line
// of its own, and as a list of arguments (parted at NUL bytes) that are
// quoted into a command line, which must split back into the same list.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz/fuzz_env.h"
#include "platform/process/command_line.h"
#include "platform/text/text.h"

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

// Bytes of the character at i as the splitter reads it: a lead byte takes
// the next byte only when that is a valid trail byte.
std::size_t CharBytes(std::string_view s, std::size_t i) {
    return text::IsLeadByte(s[i]) && i + 1 < s.size() && text::IsTrailByte(s[i + 1]) ? 2 : 1;
}

// One argument quoted so that the C runtime's rules give it back: inside
// quotes, backslashes right before a quote or the closing quote are
// doubled, and a quote is written as "" (a backslash-quote could fuse with a
// lead byte before it into one double-byte character).
std::string Quote(std::string_view arg) {
    std::string out = "\"";
    std::size_t i = 0;
    while (i < arg.size()) {
        if (arg[i] == '\\') {
            std::size_t run = 0;
            while (i + run < arg.size() && arg[i + run] == '\\')
                ++run;
            const bool beforeQuote = i + run == arg.size() || arg[i + run] == '"';
            out.append(beforeQuote ? 2 * run : run, '\\');
            i += run;
        } else if (arg[i] == '"') {
            out += "\"\"";
            ++i;
        } else {
            const std::size_t n = CharBytes(arg, i);
            out.append(arg.substr(i, n));
            i += n;
        }
    }
    return out + "\"";
}

std::string Join(const std::vector<std::string>& args, std::size_t from) {
    std::string line;
    for (std::size_t i = from; i < args.size(); ++i)
        line += (i > from ? " " : "") + Quote(args[i]);
    return line;
}

void CheckCandidates(std::string_view line) {
    const std::vector<CommandLineProgram> candidates = ProgramCandidates(line);
    std::size_t start = 0;
    while (start < line.size() && IsBlank(line[start]))
        ++start;
    if (start == line.size()) {
        FUZZ_CHECK(candidates.empty());
        return;
    }
    const std::size_t firstEnd = FirstTokenEnd(line);
    FUZZ_CHECK(firstEnd > start && firstEnd <= line.size());
    FUZZ_CHECK(firstEnd == line.size() || line[firstEnd - 1] == '"' || IsBlank(line[firstEnd]));

    if (line[start] == '"') {
        // A quoted program is the only reading: the text up to the next quote.
        FUZZ_CHECK(candidates.size() == 1);
        const CommandLineProgram& c = candidates[0];
        FUZZ_CHECK(c.program.find('"') == std::string::npos);
        FUZZ_CHECK(line.substr(start + 1, c.program.size()) == c.program);
        FUZZ_CHECK(c.restOffset == firstEnd);
        FUZZ_CHECK(c.restOffset == line.size() || line[c.restOffset - 1] == '"');
        return;
    }
    // Unquoted: ever longer prefixes, each cut at a blank, none longer than a
    // path can be, the first at the end of the first token.
    std::size_t lastLength = 0;
    for (const CommandLineProgram& c : candidates) {
        FUZZ_CHECK(!c.program.empty() && c.program.size() > lastLength);
        FUZZ_CHECK(c.program.size() <= kMaxProgramPath);
        FUZZ_CHECK(line.substr(start, c.program.size()) == c.program);
        FUZZ_CHECK(c.restOffset == start + c.program.size());
        FUZZ_CHECK(c.restOffset == line.size() || IsBlank(line[c.restOffset]));
        FUZZ_CHECK(!IsBlank(c.program.back()));
        lastLength = c.program.size();
    }
    if (firstEnd - start <= kMaxProgramPath) {
        FUZZ_CHECK(!candidates.empty() && candidates[0].restOffset == firstEnd);
    } else {
        FUZZ_CHECK(candidates.empty());
    }
}

void CheckRest(std::string_view args) {
    const std::string rest = CommandLineRest(args);
    FUZZ_CHECK(rest.size() <= args.size());
    std::size_t b = 0, e = args.size();
    while (b < e && IsBlank(args[b]))
        ++b;
    while (e > b && IsBlank(args[e - 1]))
        --e;
    const std::string_view trimmed = args.substr(b, e - b);
    if (rest != trimmed) {
        // Only the one pair of quotes around the whole was taken off.
        FUZZ_CHECK(trimmed.size() == rest.size() + 2 && trimmed.front() == '"' &&
                   trimmed.back() == '"' && trimmed.substr(1, rest.size()) == rest);
        FUZZ_CHECK(rest.find('"') == std::string::npos);
    }
}

void CheckFileName(std::string_view path) {
    const std::string name = WindowsFileName(path);
    FUZZ_CHECK(name.size() <= path.size());
    FUZZ_CHECK(path.substr(path.size() - name.size()) == name);
    FUZZ_CHECK(name.find('/') == std::string::npos);
    FUZZ_CHECK(HasExtension(path) == (name.find('.') != std::string::npos));
    if (name.find(':') == std::string::npos)
        FUZZ_CHECK(WindowsFileName(name) == name);
    // A valid GBK name after a folder is the whole file name, however many
    // of its characters end in the byte of a backslash.
    if (text::IsValidGbk(path) && text::FindFirstBackslash(path) == std::string::npos &&
        path.find(':') == std::string_view::npos && path.find('/') == std::string_view::npos) {
        FUZZ_CHECK(WindowsFileName("C:\\folder\\" + std::string(path)) == path);
        FUZZ_CHECK(WindowsFileName("C:/folder/" + std::string(path)) == path);
    }
    if (IsAbsoluteWindowsPath(path)) {
        FUZZ_CHECK(path.size() >= 3 && path[1] == ':');
        FUZZ_CHECK(path[2] == '\\' || path[2] == '/');
    }
}

std::vector<std::string> PartAtNul(std::string_view input) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (true) {
        const std::size_t end = input.find('\0', start);
        parts.emplace_back(input.substr(start, end - start));
        if (end == std::string_view::npos)
            return parts;
        start = end + 1;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);

    // The input as a command line of its own.
    CheckCandidates(input);
    CheckRest(input);
    CheckFileName(input);
    const std::vector<std::string> split = SplitCommandLineArgs(input);
    std::size_t bytes = 0;
    for (const std::string& arg : split)
        bytes += arg.size();
    FUZZ_CHECK(bytes <= input.size());
    // What the splitter gave, quoted again, splits the same way.
    FUZZ_CHECK(SplitCommandLineArgs(Join(split, 0)) == split);

    // The input as arguments: they come back through a command line, and
    // the first, quoted, is read as the program.
    const std::vector<std::string> args = PartAtNul(input);
    const std::string line = Join(args, 0);
    FUZZ_CHECK(SplitCommandLineArgs(line) == args);
    // (when quoting added nothing inside: no quotes, no backslash at the end)
    if (Quote(args[0]) == "\"" + args[0] + "\"") {
        const std::vector<CommandLineProgram> candidates = ProgramCandidates(line);
        FUZZ_CHECK(candidates.size() == 1 && candidates[0].program == args[0]);
        const std::vector<std::string> rest(args.begin() + 1, args.end());
        FUZZ_CHECK(SplitCommandLineArgs(std::string_view(line).substr(candidates[0].restOffset)) ==
                   rest);
        if (args.size() == 2 && Quote(args[1]) == "\"" + args[1] + "\"") {
            // One argument given in quotes is the rest as one argument.
            FUZZ_CHECK(CommandLineRest(std::string_view(line).substr(candidates[0].restOffset)) ==
                       args[1]);
        }
    }
    return 0;
}
