#include "platform/process/command_line.h"

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

// Length of the character at i: two bytes only for a lead byte followed by a
// valid trail byte, so a stray lead byte never swallows a quote or a blank.
std::size_t CharLen(std::string_view s, std::size_t i) {
    const unsigned char lead = static_cast<unsigned char>(s[i]);
    if (lead < 0x81 || lead == 0xFF || i + 1 >= s.size())
        return 1;
    const unsigned char trail = static_cast<unsigned char>(s[i + 1]);
    return (trail >= 0x40 && trail <= 0xFE && trail != 0x7F) ? 2 : 1;
}

std::size_t SkipBlanks(std::string_view s, std::size_t i) {
    while (i < s.size() && IsBlank(s[i]))
        ++i;
    return i;
}

}  // namespace

std::vector<CommandLineProgram> ProgramCandidates(std::string_view commandLine) {
    std::vector<CommandLineProgram> out;
    const std::size_t start = SkipBlanks(commandLine, 0);
    if (start >= commandLine.size())
        return out;
    if (commandLine[start] == '"') {
        const std::size_t close = commandLine.find('"', start + 1);
        if (close == std::string_view::npos) {
            out.push_back({std::string(commandLine.substr(start + 1)), commandLine.size()});
        } else {
            out.push_back(
                {std::string(commandLine.substr(start + 1, close - start - 1)), close + 1});
        }
        return out;
    }
    std::size_t i = start;
    while (i < commandLine.size() && i - start <= kMaxProgramPath) {
        if (IsBlank(commandLine[i])) {
            out.push_back({std::string(commandLine.substr(start, i - start)), i});
            i = SkipBlanks(commandLine, i);
            continue;
        }
        i += CharLen(commandLine, i);
    }
    // The whole line, without the blanks it may end with (already a reading).
    if (!IsBlank(commandLine.back()) && commandLine.size() - start <= kMaxProgramPath)
        out.push_back({std::string(commandLine.substr(start)), commandLine.size()});
    return out;
}

std::size_t FirstTokenEnd(std::string_view commandLine) {
    std::size_t i = SkipBlanks(commandLine, 0);
    if (i < commandLine.size() && commandLine[i] == '"') {
        const std::size_t close = commandLine.find('"', i + 1);
        return close == std::string_view::npos ? commandLine.size() : close + 1;
    }
    while (i < commandLine.size() && !IsBlank(commandLine[i]))
        i += CharLen(commandLine, i);
    return i;
}

std::vector<std::string> SplitCommandLineArgs(std::string_view s) {
    std::vector<std::string> args;
    std::size_t i = SkipBlanks(s, 0);
    while (i < s.size()) {
        std::string arg;
        bool quoted = false;
        while (i < s.size()) {
            const char c = s[i];
            if (!quoted && IsBlank(c))
                break;
            if (c == '\\') {
                std::size_t run = 0;
                while (i + run < s.size() && s[i + run] == '\\')
                    ++run;
                i += run;
                if (i < s.size() && s[i] == '"') {
                    arg.append(run / 2, '\\');
                    if (run % 2 == 1) {
                        arg += '"';
                        ++i;
                    }
                } else {
                    arg.append(run, '\\');
                }
                continue;
            }
            if (c == '"') {
                if (quoted && i + 1 < s.size() && s[i + 1] == '"') {
                    arg += '"';
                    i += 2;
                } else {
                    quoted = !quoted;
                    ++i;
                }
                continue;
            }
            const std::size_t n = CharLen(s, i);
            arg.append(s.substr(i, n));
            i += n;
        }
        args.push_back(std::move(arg));
        i = SkipBlanks(s, i);
    }
    return args;
}

std::string CommandLineRest(std::string_view args) {
    std::size_t b = SkipBlanks(args, 0);
    std::size_t e = args.size();
    while (e > b && IsBlank(args[e - 1]))
        --e;
    std::string_view rest = args.substr(b, e - b);
    if (rest.size() >= 2 && rest.front() == '"' && rest.back() == '"' &&
        rest.substr(1, rest.size() - 2).find('"') == std::string_view::npos)
        rest = rest.substr(1, rest.size() - 2);
    return std::string(rest);
}

bool IsAbsoluteWindowsPath(std::string_view s) {
    const char letter = static_cast<char>(s.empty() ? 0 : (s[0] | 0x20));
    return s.size() >= 3 && letter >= 'a' && letter <= 'z' && s[1] == ':' &&
           (s[2] == '\\' || s[2] == '/');
}

std::string WindowsFileName(std::string_view path) {
    std::size_t cut = 0;
    for (std::size_t i = 0; i < path.size(); i += CharLen(path, i)) {
        if (path[i] == '\\' || path[i] == '/' || (i == 1 && path[i] == ':'))
            cut = i + 1;
    }
    return std::string(path.substr(cut));
}

bool HasExtension(std::string_view path) {
    // Any dot counts, as on the desktop system: "name." means "no extension,
    // and none to be added".
    return WindowsFileName(path).find('.') != std::string::npos;
}
