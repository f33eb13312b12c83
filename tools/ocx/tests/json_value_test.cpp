// The host's reader of requests: whole JSON values, strictly, with a bound
// on nesting.
#include "tools/ocx/json_value.h"

#include <gtest/gtest.h>

namespace {

std::optional<CJsonValue> Parse(const std::string& text) {
    std::string error;
    return ParseJson(text, &error);
}

TEST(JsonValue, ReadsARequest) {
    auto v = Parse(R"( {"id": 7, "op":"call", "args":["a\"b\\c\n", -2.5e1, true, false, null]} )");
    ASSERT_TRUE(v);
    EXPECT_EQ(v->Find("id")->number, 7);
    EXPECT_EQ(v->Find("id")->text, "7");
    EXPECT_EQ(v->Find("op")->text, "call");
    const auto& args = v->Find("args")->items;
    ASSERT_EQ(args.size(), 5u);
    EXPECT_EQ(args[0].text, "a\"b\\c\n");
    EXPECT_EQ(args[1].number, -25);
    EXPECT_TRUE(args[2].boolean);
    EXPECT_EQ(args[3].kind, CJsonValue::Kind::Bool);
    EXPECT_EQ(args[4].kind, CJsonValue::Kind::Null);
    EXPECT_EQ(v->Find("missing"), nullptr);
}

TEST(JsonValue, UnicodeEscapesBecomeUtf8) {
    auto v = Parse(R"(["\u8bfe\u4ef6", "\ud83d\ude00", "\u0041"])");
    ASSERT_TRUE(v);
    EXPECT_EQ(v->items[0].text, "\xE8\xAF\xBE\xE4\xBB\xB6");
    EXPECT_EQ(v->items[1].text, "\xF0\x9F\x98\x80");
    EXPECT_EQ(v->items[2].text, "A");
}

TEST(JsonValue, RefusesWhatIsNotJson) {
    for (const char* bad :
         {"", "{", "[1,]", "{\"a\"}", "\"open", "\"\\x\"", "\"\\ud800\"", "\"\\ud800\\u0041\"",
          "01x", "-", "tru", "[1] 2", "{\"a\":1,}", "\"tab\there\"", "1.2.3"}) {
        std::string error;
        EXPECT_FALSE(ParseJson(bad, &error)) << bad;
        EXPECT_FALSE(error.empty()) << bad;
    }
}

TEST(JsonValue, DeepNestingIsRefusedNotRecursedInto) {
    std::string deep(100000, '[');
    std::string error;
    EXPECT_FALSE(ParseJson(deep, &error));
    EXPECT_NE(error.find("nested too deeply"), std::string::npos) << error;
    EXPECT_TRUE(Parse(std::string(20, '[') + std::string(20, ']')));
}

}  // namespace
