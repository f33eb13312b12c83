#include "common/tool_options.h"

#include <gtest/gtest.h>

#include <sstream>

namespace {

using Args = std::vector<std::string>;

// The message of a command line the line refuses.
std::string Refusal(const CToolOptions& line, const Args& args) {
    std::string error;
    EXPECT_EQ(line.Parse(args, &error), EToolParse::kUsageError);
    return error;
}

EToolParse Read(const CToolOptions& line, const Args& args) {
    std::string error;
    const EToolParse read = line.Parse(args, &error);
    EXPECT_EQ(error, "");
    return read;
}

TEST(ToolOptionsTest, FlagsAndValues) {
    CToolOptions line;
    bool yes = false;
    std::string dest;
    std::vector<std::string> cds;
    line.Flag("--yes|-y", &yes);
    line.Value("--dest", &dest);
    line.Value("--cd", [&cds](const std::string& value) {
        cds.push_back(value);
        return value == "bad" ? "--cd: bad" : "";
    });
    EXPECT_EQ(Read(line, {"-y", "--dest", "--help", "--cd", "a", "--cd", "b"}), EToolParse::kRun);
    EXPECT_TRUE(yes);
    EXPECT_EQ(dest, "--help");  // a value is the next argument, whatever it is
    EXPECT_EQ(cds, (Args{"a", "b"}));
    EXPECT_EQ(Refusal(line, {"--cd", "bad"}), "--cd: bad");
    EXPECT_EQ(Refusal(line, {"--dest"}), "--dest needs a value");
    EXPECT_EQ(Refusal(line, {"--dest=x"}), "unknown option --dest=x");
}

TEST(ToolOptionsTest, AttachedValues) {
    CToolOptions line;
    std::string top;
    bool flag = false;
    line.AttachedValues().Value("--top", &top);
    line.Flag("--flag", &flag);
    EXPECT_EQ(Read(line, {"--top=a=b"}), EToolParse::kRun);
    EXPECT_EQ(top, "a=b");
    EXPECT_EQ(Refusal(line, {"--flag=1"}), "unknown option --flag=1");
}

TEST(ToolOptionsTest, MissingEmptyAndTwice) {
    CToolOptions line;
    std::string top;
    line.Value("--top", &top).Missing("--top needs a name").NotEmpty().Once();
    EXPECT_EQ(Refusal(line, {"--top"}), "--top needs a name");
    EXPECT_EQ(Refusal(line, {"--top", ""}), "--top needs a name");
    EXPECT_EQ(Refusal(line, {"--top", "a", "--top", "b"}), "--top is given twice");
}

TEST(ToolOptionsTest, IntegersInTheirRange) {
    CToolOptions line;
    unsigned connections = 0;
    line.Integer("--connections", &connections, 1, 100000);
    EXPECT_EQ(Read(line, {"--connections", "100000"}), EToolParse::kRun);
    EXPECT_EQ(connections, 100000u);
    for (const char* bad : {"0", "100001", "-1", "+5", " 5", "5x", "", "99999999999999999999"})
        EXPECT_EQ(Refusal(line, {"--connections", bad}),
                  "--connections wants a number from 1 to 100000")
            << bad;
}

TEST(ToolOptionsTest, PositionalsAndTheEndOfOptions) {
    CToolOptions line;
    std::string archive, folder, course;
    line.Positional("ARCHIVE", &archive);
    line.Positional("FOLDER", &folder).Missing("ARCHIVE and FOLDER are both needed");
    line.Positional("FILEID", &course).Optional();
    EXPECT_EQ(Read(line, {"-", "--", "--x"}), EToolParse::kRun);
    EXPECT_EQ(archive, "-");  // a lone "-" is no option
    EXPECT_EQ(folder, "--x");
    EXPECT_EQ(Refusal(line, {}), "ARCHIVE is needed");
    EXPECT_EQ(Refusal(line, {"a"}), "ARCHIVE and FOLDER are both needed");
    EXPECT_EQ(Refusal(line, {"a", "b", "c", "d"}), "too many arguments: d");
}

TEST(ToolOptionsTest, HelpStopsTheReading) {
    CToolOptions line;
    line.UnknownOption("unknown argument {}");
    EXPECT_EQ(Read(line, {"-h", "--bogus"}), EToolParse::kHelp);
    EXPECT_EQ(Refusal(line, {"--bogus", "--help"}), "unknown argument --bogus");
}

TEST(ToolOptionsTest, NoOptionsAndTheRest) {
    CToolOptions line;
    std::string object;
    Args rest;
    line.NoOptions().Positional("OBJECT", &object);
    line.Rest(&rest);
    EXPECT_EQ(Read(line, {"-x", "M", "--help", ""}), EToolParse::kRun);
    EXPECT_EQ(object, "-x");
    EXPECT_EQ(rest, (Args{"M", "--help", ""}));
}

TEST(ToolOptionsTest, Commands) {
    CToolOptions line;
    line.ExtraArgument("{} is one too many");
    std::string chosen, dir;
    CToolOptions& serve = line.Command("serve|run", [&chosen] { chosen = "serve"; });
    serve.Positional("DIR", &dir);
    line.Command("help", nullptr);
    EXPECT_EQ(Read(line, {"run", "/srv"}), EToolParse::kRun);
    EXPECT_EQ(chosen, "serve");
    EXPECT_EQ(dir, "/srv");
    EXPECT_EQ(Read(line, {"serve", "-h"}), EToolParse::kHelp);
    EXPECT_EQ(Refusal(line, {"help", "x"}), "x is one too many");  // the line's syntax
    EXPECT_EQ(Refusal(line, {"start"}), "unknown command \"start\"");
    EXPECT_EQ(Refusal(line, {}), "no command given");
}

TEST(ToolOptionsTest, UsageErrorIsTwoLines) {
    std::ostringstream err;
    PrintUsageError(err, "telvora-pack", "unknown option --bogus");
    EXPECT_EQ(err.str(),
              "telvora-pack: unknown option --bogus\nType \"telvora-pack --help\" for usage.\n");
}

}  // namespace
