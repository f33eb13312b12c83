// The Windows command-line rules: which part of a command line names the
// program (as CreateProcess reads it when no separate program name is given)
// and how the rest splits into arguments (as the C runtime's start-up code
// splits it). Pure text functions on GBK strings: a double-byte character's
// trail byte is never taken for a backslash.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// One reading of the program at the start of a command line: the program's
// path with its quotes removed, and the offset in the command line where the
// arguments begin (blanks there are part of the arguments text).
struct CommandLineProgram {
    std::string program;
    std::size_t restOffset = 0;
};

// The readings in the order CreateProcess tries them. A quoted program
// ("C:\a b\x.exe" args) gives one; an unquoted one gives the text before each
// run of blanks, shortest first, then the whole line ("C:\Program Files\x.exe
// a" gives "C:\Program", "C:\Program Files\x.exe", then the whole line).
// Blanks before the program are skipped. Empty for a line of blanks only.
// Readings longer than kMaxProgramPath bytes can name no file and are left
// out, so a long line of short words costs no more than a short one.
constexpr std::size_t kMaxProgramPath = 4096;
std::vector<CommandLineProgram> ProgramCandidates(std::string_view commandLine);

// The program token for a given program name: where the arguments of
// commandLine begin when its first token is only argv[0] (a quoted token
// ends at its closing quote, an unquoted one at the first blank).
std::size_t FirstTokenEnd(std::string_view commandLine);

// Splits arguments the way the C runtime does: blanks (space, tab) separate
// arguments outside quotes; quotes group and are removed; 2n backslashes
// before a quote give n backslashes and the quote groups, 2n+1 give n and a
// literal quote; other backslashes are literal; "" inside quotes is a literal
// quote. An unterminated quote runs to the end.
std::vector<std::string> SplitCommandLineArgs(std::string_view args);

// The arguments text as one argument, for a program that is given a single
// path which may hold blanks: blanks at both ends trimmed, and one pair of
// quotes around the whole removed (when no other quote is inside).
std::string CommandLineRest(std::string_view args);

// "X:\..." or "X:/..." (any letter case): a path that names its drive.
bool IsAbsoluteWindowsPath(std::string_view s);

// The last name of a Windows path (after the last '\' or '/').
std::string WindowsFileName(std::string_view path);
// Whether that name has an extension (a dot anywhere in it).
bool HasExtension(std::string_view path);
