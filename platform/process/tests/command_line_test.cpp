#include "platform/process/command_line.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace {

using Args = std::vector<std::string>;

std::vector<std::string> Programs(const std::string& line) {
    std::vector<std::string> out;
    for (const CommandLineProgram& c : ProgramCandidates(line))
        out.push_back(c.program);
    return out;
}

std::vector<std::string> Rests(const std::string& line) {
    std::vector<std::string> out;
    for (const CommandLineProgram& c : ProgramCandidates(line))
        out.push_back(line.substr(c.restOffset));
    return out;
}

TEST(ProgramCandidatesTest, QuotedProgramIsOneReading) {
    const std::string line = "\"C:\\Program Files\\x.exe\" a \"b c\"";
    EXPECT_EQ(Programs(line), Args({"C:\\Program Files\\x.exe"}));
    EXPECT_EQ(Rests(line), Args({" a \"b c\""}));
    // Arguments may follow the closing quote directly; an unclosed quote
    // runs to the end.
    EXPECT_EQ(Rests("\"x.exe\"-y"), Args({"-y"}));
    EXPECT_EQ(Programs("  \"C:\\a b\\x.exe"), Args({"C:\\a b\\x.exe"}));
    EXPECT_EQ(Rests("\"C:\\a b\\x.exe"), Args({""}));
}

TEST(ProgramCandidatesTest, UnquotedProgramIsReadAtEachBlankShortestFirst) {
    EXPECT_EQ(Programs("C:\\Program Files\\x.exe a"),
              Args({"C:\\Program", "C:\\Program Files\\x.exe", "C:\\Program Files\\x.exe a"}));
    EXPECT_EQ(Rests("C:\\Program Files\\x.exe a"), Args({" Files\\x.exe a", " a", ""}));
    // Runs of blanks and tabs count once; blanks around the line are no
    // reading of their own.
    EXPECT_EQ(Programs("  C:\\a \t b  "), Args({"C:\\a", "C:\\a \t b"}));
    EXPECT_EQ(Programs("C:\\single.exe"), Args({"C:\\single.exe"}));
}

TEST(ProgramCandidatesTest, LongLinesGiveOnlyReadingsThatCanBePaths) {
    std::string line;
    for (int i = 0; i < 20000; ++i)
        line += "ab ";
    const std::vector<CommandLineProgram> readings = ProgramCandidates(line);
    ASSERT_FALSE(readings.empty());
    EXPECT_LE(readings.size(), kMaxProgramPath / 3 + 1);
    EXPECT_LE(readings.back().program.size(), kMaxProgramPath);
    EXPECT_EQ(readings.front().program, "ab");
    // One long word gives no reading at all.
    EXPECT_TRUE(ProgramCandidates(std::string(kMaxProgramPath + 1, 'x')).empty());
}

TEST(ProgramCandidatesTest, NothingToReadGivesNoReading) {
    EXPECT_TRUE(ProgramCandidates("").empty());
    EXPECT_TRUE(ProgramCandidates(" \t ").empty());
}

TEST(ProgramCandidatesTest, DoubleByteNamesStayWhole) {
    // "课件 一\x.exe": blanks split only between characters.
    const std::string line = "W:\\课件 一\\x.exe 页";
    EXPECT_EQ(Programs(line), Args({"W:\\课件", "W:\\课件 一\\x.exe", line}));
}

TEST(FirstTokenEndTest, SkipsOnlyTheFirstToken) {
    EXPECT_EQ(FirstTokenEnd("prog a b"), 4u);
    EXPECT_EQ(FirstTokenEnd("  \"a b\\prog\" x"), 12u);
    EXPECT_EQ(FirstTokenEnd("\"open"), 5u);
    EXPECT_EQ(FirstTokenEnd(""), 0u);
}

// The examples the C runtime's documentation gives, and the quote rules.
TEST(SplitCommandLineArgsTest, FollowsTheRuntimeRules) {
    EXPECT_EQ(SplitCommandLineArgs("\"a b c\" d e"), Args({"a b c", "d", "e"}));
    EXPECT_EQ(SplitCommandLineArgs("\"ab\\\"c\" \"\\\\\" d"), Args({"ab\"c", "\\", "d"}));
    EXPECT_EQ(SplitCommandLineArgs("a\\\\\\b d\"e f\"g h"), Args({"a\\\\\\b", "de fg", "h"}));
    EXPECT_EQ(SplitCommandLineArgs("a\\\\\\\"b c d"), Args({"a\\\"b", "c", "d"}));
    EXPECT_EQ(SplitCommandLineArgs("a\\\\\\\\\"b c\" d e"), Args({"a\\\\b c", "d", "e"}));
    EXPECT_EQ(SplitCommandLineArgs("a\"b\"\" c d"), Args({"ab\" c d"}));
}

TEST(SplitCommandLineArgsTest, BlanksQuotesAndEmptyArguments) {
    EXPECT_EQ(SplitCommandLineArgs(""), Args());
    EXPECT_EQ(SplitCommandLineArgs(" \t "), Args());
    EXPECT_EQ(SplitCommandLineArgs("\"\""), Args({""}));
    EXPECT_EQ(SplitCommandLineArgs("a \"\" b"), Args({"a", "", "b"}));
    EXPECT_EQ(SplitCommandLineArgs("\ta\t\tb "), Args({"a", "b"}));
    EXPECT_EQ(SplitCommandLineArgs("\"open quote runs on"), Args({"open quote runs on"}));
    // Backslashes that do not stand before a quote are path separators.
    EXPECT_EQ(SplitCommandLineArgs("C:\\a\\ \"C:\\b c\\\\\""), Args({"C:\\a\\", "C:\\b c\\"}));
    EXPECT_EQ(SplitCommandLineArgs("x \"C:\\temp\" -y"), Args({"x", "C:\\temp", "-y"}));
}

TEST(SplitCommandLineArgsTest, TrailByteThatLooksLikeBackslashEscapesNothing) {
    // 0x81 0x5C is one double-byte character whose second byte is the
    // backslash code; the quote after it closes the argument.
    const std::string ch = "\x81\x5C";
    EXPECT_EQ(SplitCommandLineArgs("\"a" + ch + "\" b"), Args({"a" + ch, "b"}));
    EXPECT_EQ(SplitCommandLineArgs("页 \"课 件\""), Args({"页", "课 件"}));
    // A stray lead byte does not swallow the quote after it.
    EXPECT_EQ(SplitCommandLineArgs("\"a\x81\" b"), Args({"a\x81", "b"}));
}

// Quotes one argument so that the runtime rules give it back: the way a
// careful caller builds a command line. Double-byte characters are copied
// whole, so a trail byte 0x5C is never doubled.
std::string Quote(const std::string& arg) {
    if (!arg.empty() && arg.find_first_of(" \t\"") == std::string::npos)
        return arg;
    std::string out = "\"";
    std::size_t i = 0;
    for (;;) {
        std::size_t backslashes = 0;
        while (i < arg.size() && arg[i] == '\\') {
            ++i;
            ++backslashes;
        }
        if (i == arg.size()) {
            out.append(backslashes * 2, '\\');
            break;
        }
        if (arg[i] == '"') {
            out.append(backslashes * 2 + 1, '\\');
            out += '"';
            ++i;
        } else {
            out.append(backslashes, '\\');
            const std::size_t n = static_cast<unsigned char>(arg[i]) >= 0x81 ? 2 : 1;
            out.append(arg, i, n);
            i += n;
        }
    }
    return out + "\"";
}

TEST(SplitCommandLineArgsTest, QuotedArgumentsComeBackUnchanged) {
    // Random arguments made of the characters the rules treat specially.
    const std::vector<std::string> pieces = {"a",    "Z",  " ",        "\t", "\"", "\\",
                                             "\\\\", "课", "\x81\x5C", ":",  "."};
    std::mt19937 random(20240611);
    for (int round = 0; round < 2000; ++round) {
        Args args(1 + random() % 4);
        for (std::string& arg : args) {
            const int length = static_cast<int>(random() % 7);
            for (int k = 0; k < length; ++k)
                arg += pieces[random() % pieces.size()];
        }
        std::string line;
        for (const std::string& arg : args)
            line += (line.empty() ? "" : " ") + Quote(arg);
        ASSERT_EQ(SplitCommandLineArgs(line), args) << line;
    }
}

TEST(CommandLineRestTest, TheRestIsOneArgument) {
    EXPECT_EQ(CommandLineRest(" C:\\course dir\\index.htm  "), "C:\\course dir\\index.htm");
    EXPECT_EQ(CommandLineRest(" \"C:\\a b\\p.htm\" "), "C:\\a b\\p.htm");
    // Quotes inside are the page's business.
    EXPECT_EQ(CommandLineRest("\"a\" \"b\""), "\"a\" \"b\"");
    EXPECT_EQ(CommandLineRest("\""), "\"");
    EXPECT_EQ(CommandLineRest("  "), "");
}

TEST(WindowsPathTextTest, DriveNamesFileNamesAndExtensions) {
    EXPECT_TRUE(IsAbsoluteWindowsPath("C:\\"));
    EXPECT_TRUE(IsAbsoluteWindowsPath("e:/x"));
    EXPECT_FALSE(IsAbsoluteWindowsPath("C:"));
    EXPECT_FALSE(IsAbsoluteWindowsPath("C:x"));
    EXPECT_FALSE(IsAbsoluteWindowsPath("\\x"));
    EXPECT_FALSE(IsAbsoluteWindowsPath("/y"));
    EXPECT_FALSE(IsAbsoluteWindowsPath("1:\\x"));

    EXPECT_EQ(WindowsFileName("C:\\a\\soft\\IEXPLORE.EXE"), "IEXPLORE.EXE");
    EXPECT_EQ(WindowsFileName("C:winrar"), "winrar");
    EXPECT_EQ(WindowsFileName("a/b"), "b");
    EXPECT_EQ(WindowsFileName("C:\\dir\\"), "");
    EXPECT_EQ(WindowsFileName("W:\\\x81\x5C"
                              "x.exe"),
              "\x81\x5C"
              "x.exe");

    EXPECT_TRUE(HasExtension("C:\\soft\\winrar.exe"));
    EXPECT_FALSE(HasExtension("C:\\soft.d\\winrar"));
    EXPECT_TRUE(HasExtension("name."));
}

}  // namespace
