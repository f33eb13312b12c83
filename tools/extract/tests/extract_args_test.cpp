// The extractor's command line, as the update control gives it and as people
// type it.
#include "tools/extract/extract_args.h"

#include <gtest/gtest.h>

namespace {

std::string Error(const std::vector<std::string>& args) {
    std::string error;
    EXPECT_FALSE(ParseExtractArgs(args, &error));
    return error;
}

}  // namespace

TEST(ExtractArgs, TakesTheCommandLineTheUpdateControlGives) {
    std::string error;
    const auto parsed =
        ParseExtractArgs({"x", "/c/course/temp/03052301.rar", "/c/course/temp", "-y"}, &error);
    ASSERT_TRUE(parsed) << error;
    EXPECT_FALSE(parsed->m_bHelp);
    EXPECT_EQ(parsed->m_strArchive, "/c/course/temp/03052301.rar");
    EXPECT_EQ(parsed->m_strDest, "/c/course/temp");
}

TEST(ExtractArgs, AcceptsHarmlessSwitchesAnywhereAfterTheCommand) {
    std::string error;
    auto parsed = ParseExtractArgs({"X", "-Y", "a b.rar", "-ibck", "dest", "-inul", "-o+"}, &error);
    ASSERT_TRUE(parsed) << error;
    EXPECT_EQ(parsed->m_strArchive, "a b.rar");
    EXPECT_EQ(parsed->m_strDest, "dest");
    // Without -y it behaves the same: nobody is there to answer.
    parsed = ParseExtractArgs({"x", "a.rar", "dest"}, &error);
    ASSERT_TRUE(parsed) << error;
    // After "--" a name may start with a dash; a lone "-" is a name.
    parsed = ParseExtractArgs({"x", "--", "-odd.rar", "-"}, &error);
    ASSERT_TRUE(parsed) << error;
    EXPECT_EQ(parsed->m_strArchive, "-odd.rar");
    EXPECT_EQ(parsed->m_strDest, "-");
}

TEST(ExtractArgs, RefusesWhatItWouldOtherwiseIgnore) {
    EXPECT_NE(Error({}).find("no command"), std::string::npos);
    EXPECT_NE(Error({"e", "a.rar", "d"}).find("unknown command"), std::string::npos);
    EXPECT_NE(Error({"a.rar", "d"}).find("unknown command"), std::string::npos);
    EXPECT_NE(Error({"x", "a.rar", "d", "-o-"}).find("unknown switch -o-"), std::string::npos);
    EXPECT_NE(Error({"x", "-pSecret", "a.rar", "d"}).find("unknown switch"), std::string::npos);
    EXPECT_NE(Error({"x", "a.rar"}).find("both needed"), std::string::npos);
    EXPECT_NE(Error({"x", "a.rar", "d", "*.htm"}).find("too many"), std::string::npos);
}

TEST(ExtractArgs, RecognisesTheRequestForHelp) {
    std::string error;
    for (const auto& args : std::vector<std::vector<std::string>>{
             {"--help"}, {"-h"}, {"/?"}, {"-?"}, {"x", "--help"}}) {
        const auto parsed = ParseExtractArgs(args, &error);
        ASSERT_TRUE(parsed) << args[0];
        EXPECT_TRUE(parsed->m_bHelp);
    }
}
