// telvora-ocx's command line and the text at its edges.
#include <gtest/gtest.h>

#include "tools/ocx/ocx_args.h"
#include "tools/ocx/ocx_text.h"

namespace {

// UTF-8 bytes whatever the narrow literals' character set.
std::string U8(const char8_t* text) {
    return reinterpret_cast<const char*>(text);
}

std::optional<COcxArgs> Parse(std::vector<std::string> args, std::string* error = nullptr) {
    std::string ignored;
    return ParseOcxArgs(args, error ? error : &ignored);
}

TEST(OcxArgsTest, CallsAreSplitAtLoneCommas) {
    auto parsed = Parse({"call", "CORVANE.CorvaneCtrl.1", "GetCdDrive", ",", "FindInfo", "chem7",
                         ",", "RightMFile", "C:\\a,b\\setup.ini", "6", ","});
    EXPECT_FALSE(parsed);  // a trailing comma names no method
    parsed = Parse({"call", "CORVANE.CorvaneCtrl.1", "GetCdDrive", ",", "FindInfo", "chem7", ",",
                    "RightMFile", "C:\\a,b\\setup.ini", "6", ""});
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->command, COcxArgs::Command::Call);
    EXPECT_EQ(parsed->object, "CORVANE.CorvaneCtrl.1");
    ASSERT_EQ(parsed->calls.size(), 3u);
    EXPECT_EQ(parsed->calls[0].method, "GetCdDrive");
    EXPECT_TRUE(parsed->calls[0].args.empty());
    EXPECT_EQ(parsed->calls[1].args, std::vector<std::string>{"chem7"});
    // A comma inside an argument, and an empty argument, are arguments.
    EXPECT_EQ(parsed->calls[2].args, (std::vector<std::string>{"C:\\a,b\\setup.ini", "6", ""}));
}

TEST(OcxArgsTest, UsageErrorsSayWhat) {
    std::string error;
    EXPECT_FALSE(Parse({}, &error));
    EXPECT_EQ(error, "no command given");
    EXPECT_FALSE(Parse({"install"}, &error));
    EXPECT_NE(error.find("unknown command"), std::string::npos);
    EXPECT_FALSE(Parse({"regsvr"}, &error));
    EXPECT_FALSE(Parse({"regsvr", "a.so", "b.so"}, &error));
    EXPECT_EQ(error, "regsvr takes exactly one MODULE");
    EXPECT_FALSE(Parse({"call"}, &error));
    EXPECT_FALSE(Parse({"call", "X.Y.1"}, &error));
    EXPECT_NE(error.find("at least one METHOD"), std::string::npos);
    EXPECT_FALSE(Parse({"call", "X.Y.1", ","}, &error));
    EXPECT_FALSE(Parse({"call", "X.Y.1", "A", ",", ",", "B"}, &error));
    EXPECT_FALSE(Parse({"call", "X.Y.1", ""}, &error));
    EXPECT_FALSE(Parse({"--help", "x"}, &error));
    EXPECT_EQ(error, "help takes no arguments");

    auto reg = Parse({"unregsvr", "build/bin/libcorvane.so"});
    ASSERT_TRUE(reg);
    EXPECT_EQ(reg->command, COcxArgs::Command::Unregister);
    EXPECT_EQ(reg->module, "build/bin/libcorvane.so");
    auto help = Parse({"/?"});
    ASSERT_TRUE(help);
    EXPECT_EQ(help->command, COcxArgs::Command::Help);
}

TEST(OcxArgsTest, WordsLikeOptionsAreArguments) {
    auto parsed = Parse({"call", "X.Y.1", "PutInfo", "-1", "--help", "--"});
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->calls[0].args, (std::vector<std::string>{"-1", "--help", "--"}));
}

TEST(OcxTextTest, ArgumentsMustBeUtf8) {
    std::u16string out;
    // Outside the macros: their text of the expression is a narrow literal,
    // which cannot hold a character beyond GBK.
    const std::string utf8 = U8(u8"化学 E:\\a \U0001F600");
    const std::u16string expected = u"化学 E:\\a \U0001F600";
    ASSERT_TRUE(Utf8ToUtf16(utf8, &out));
    EXPECT_EQ(out, expected);
    ASSERT_TRUE(Utf8ToUtf16("", &out));
    EXPECT_TRUE(out.empty());
    const char* bad[] = {
        "\xFF",              // never a lead byte
        "\xC3",              // cut short
        "\xE5\x8C",          // cut short
        "\xC0\xAF",          // overlong '/'
        "\xED\xA0\x80",      // an encoded surrogate
        "\xF4\x90\x80\x80",  // beyond U+10FFFF
        "a\x80",             // a lone trail byte
    };
    for (const char* b : bad) {
        std::u16string kept = u"kept";
        EXPECT_FALSE(Utf8ToUtf16(b, &kept)) << static_cast<int>(static_cast<unsigned char>(b[0]));
        EXPECT_EQ(kept, u"kept");
    }
}

TEST(OcxTextTest, ResultsAreJsonStrings) {
    EXPECT_EQ(JsonString(u"E:\\content\\a.asf"), "\"E:\\\\content\\\\a.asf\"");
    EXPECT_EQ(JsonString(u"say \"hi\"\n\t\r\x01"), "\"say \\\"hi\\\"\\n\\t\\r\\u0001\"");
    EXPECT_EQ(JsonString(u"请将《化学》"), U8(u8"\"请将《化学》\""));
    const std::u16string emoji = u"\U0001F600";
    const std::string emojiJson = U8(u8"\"\U0001F600\"");
    EXPECT_EQ(JsonString(emoji), emojiJson);
    EXPECT_EQ(JsonString(std::u16string(1, char16_t(0xDC00))), "\"\\udc00\"");
    EXPECT_EQ(JsonString(u""), "\"\"");
}

}  // namespace
