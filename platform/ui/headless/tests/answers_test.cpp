#include "platform/ui/headless/answers.h"

#include <gtest/gtest.h>

#include "platform/text/text.h"

using namespace ui::headless;
using Kind = AnswerAction::Kind;

namespace {

std::string U8(const char8_t* s) {
    return reinterpret_cast<const char*>(s);
}

std::vector<AnswerRule> Parse(const std::string& text, std::vector<std::string>* errors) {
    return ParseAnswers(text, "answers.txt", errors);
}

TEST(AnswerFile, TheExampleRulesOfTheFormat) {
    std::vector<std::string> errors;
    auto rules = Parse(U8(u8"# answers for a two-CD install\n"
                          u8"dialog 138 : insert E: \"/srv/cd2\" ; press 1\n"
                          u8"messagebox \"您将退出\" : press 1\n"
                          u8"dialog 211 : type 211 \"alice\" ; type 208 \"secret\" ; press 1\n"
                          u8"dialog 219 when 218 >= 40 : press 2\n"
                          u8"messagebox \"*\" : press 1 *\n"),
                       &errors);
    EXPECT_TRUE(errors.empty());
    ASSERT_EQ(rules.size(), 5u);

    EXPECT_EQ(rules[0].kind, AnswerRule::Kind::Dialog);
    EXPECT_EQ(rules[0].dialogId, 138);
    EXPECT_EQ(rules[0].line, 2);
    ASSERT_EQ(rules[0].actions.size(), 2u);
    EXPECT_EQ(rules[0].actions[0].kind, Kind::Insert);
    EXPECT_EQ(rules[0].actions[0].drive, 'E');
    EXPECT_EQ(rules[0].actions[0].text, "/srv/cd2");
    EXPECT_EQ(rules[0].actions[1].kind, Kind::Press);
    EXPECT_EQ(rules[0].actions[1].id, 1);
    EXPECT_FALSE(rules[0].repeat);

    EXPECT_EQ(rules[1].kind, AnswerRule::Kind::MessageBox);
    EXPECT_EQ(rules[1].boxText, "您将退出");  // GBK inside the system
    EXPECT_FALSE(rules[1].anyBox);

    ASSERT_EQ(rules[2].actions.size(), 3u);
    EXPECT_EQ(rules[2].actions[0].kind, Kind::Type);
    EXPECT_EQ(rules[2].actions[0].id, 211);
    EXPECT_EQ(rules[2].actions[0].text, "alice");
    EXPECT_EQ(rules[2].actions[1].id, 208);

    EXPECT_TRUE(rules[3].hasWhen);
    EXPECT_EQ(rules[3].whenControl, 218);
    EXPECT_EQ(rules[3].whenPos, 40);

    EXPECT_TRUE(rules[4].anyBox);
    EXPECT_TRUE(rules[4].repeat);
}

TEST(AnswerFile, QuotesEscapesCommentsAndSpacing) {
    std::vector<std::string> errors;
    auto rules =
        Parse(U8(u8"\xEF\xBB\xBF"  // a byte-order mark
                 u8"dialog 5: type 7 \"say \\\"hi\\\" # not a comment\\\\\"   # a comment\r\n"
                 u8"  messagebox \"C:\\course\":press 2;eject f: ;wait 250\n"
                 u8"DIALOG 6 : PRESS 1\n"
                 u8"\n   # only a comment\n"
                 u8"dialog 9 : type 1 \"用户\"\n"),
              &errors);
    EXPECT_TRUE(errors.empty()) << errors.front();
    ASSERT_EQ(rules.size(), 4u);
    EXPECT_EQ(rules[0].actions[0].text, "say \"hi\" # not a comment\\");
    EXPECT_EQ(rules[1].boxText, "C:\\course");  // a lone backslash stays
    ASSERT_EQ(rules[1].actions.size(), 3u);
    EXPECT_EQ(rules[1].actions[1].kind, Kind::Eject);
    EXPECT_EQ(rules[1].actions[1].drive, 'F');
    EXPECT_EQ(rules[1].actions[2].kind, Kind::Wait);
    EXPECT_EQ(rules[1].actions[2].ms, 250u);
    EXPECT_EQ(rules[2].dialogId, 6);
    EXPECT_EQ(rules[3].actions[0].text, "用户");
    EXPECT_EQ(rules[3].line, 6);
}

TEST(AnswerFile, RelativeFoldersAreMadeAbsolute) {
    auto rules = Parse("dialog 1 : insert d: \"discs/cd1\"\n", nullptr);
    ASSERT_EQ(rules.size(), 1u);
    EXPECT_EQ(rules[0].actions[0].text.front(), '/');
    EXPECT_NE(rules[0].actions[0].text.find("discs/cd1"), std::string::npos);
}

TEST(AnswerFile, BadLinesAreReportedWithFileAndLineAndLeftOut) {
    const char* bad[] = {
        "dialg 5 : press 1",                  // unknown keyword
        "dialog five : press 1",              // not a number
        "dialog 5 press 1",                   // no colon
        "dialog 5 :",                         // no action
        "dialog 5 : press",                   // no id
        "dialog 5 : push 1",                  // unknown action
        "dialog 5 : press 1 ; ",              // dangling separator
        "dialog 5 : press 1 * press 2",       // repeat not at the end
        "dialog 5 when 1000 > 40 : press 1",  // only >= compares
        "dialog 5 when 1000 : press 1",       // no comparison
        "messagebox unquoted : press 1",      // text not in quotes
        "messagebox \"open : press 1",        // quote not closed
        "dialog 5 : type 3 alice",            // typed text not in quotes
        "dialog 5 : insert EE: \"/x\"",       // not a drive letter
        "dialog 5 : insert E \"/x\"",         // no colon after the letter
        "dialog 5 : insert E: \"\"",          // empty folder
        "dialog 99999999999 : press 1",       // too large
        "dialog 5 : wait -1",                 // negative wait
    };
    std::string text;
    for (const char* line : bad) {
        text += std::string(line) + "\n";
    }
    text += "dialog 7 : press 2\n";  // a good line after them still counts
    std::vector<std::string> errors;
    auto rules = Parse(text, &errors);
    ASSERT_EQ(errors.size(), std::size(bad));
    for (std::size_t i = 0; i < errors.size(); ++i) {
        EXPECT_EQ(errors[i].rfind("answers.txt:" + std::to_string(i + 1) + ": ", 0), 0u)
            << errors[i];
    }
    ASSERT_EQ(rules.size(), 1u);
    EXPECT_EQ(rules[0].dialogId, 7);
    EXPECT_EQ(rules[0].line, static_cast<int>(std::size(bad)) + 1);
}

TEST(AnswerFile, ArbitraryBytesNeverBreakTheParser) {
    std::string noise;
    for (int i = 0; i < 4096; ++i) {
        noise += static_cast<char>((i * 7919) % 256);
    }
    std::vector<std::string> errors;
    auto rules = Parse(noise, &errors);
    EXPECT_FALSE(errors.empty());
    EXPECT_TRUE(Parse("", &errors).empty());
}

}  // namespace
