// The transcript reader the end-to-end tests rely on.
#include "tests/e2e/e2e_support.h"

namespace {

TEST(JsonLineTest, ReadsFlatObjects) {
    TranscriptEvent e;
    ASSERT_TRUE(ParseJsonLine(
        "{\"ev\":\"text\",\"dialog\":138,\"text\":\"a\\\"b\\\\c\\n\\u8bf7\",\"answered\":true}",
        &e));
    EXPECT_EQ(e.at("ev"), "text");
    EXPECT_EQ(e.at("dialog"), "138");
    EXPECT_EQ(e.at("text"), "a\"b\\c\n\xE8\xAF\xB7");
    EXPECT_EQ(e.at("answered"), "true");
    ASSERT_TRUE(ParseJsonLine("{}", &e));
    EXPECT_TRUE(e.empty());
    for (const char* bad : {"", "{", "{\"a\"}", "{\"a\":}", "{\"a\":\"x", "[1]", "{\"a\":1,}"}) {
        EXPECT_FALSE(ParseJsonLine(bad, &e)) << bad;
    }
}

}  // namespace
