#include "platform/text/text.h"

#include <gtest/gtest.h>

// Sources are compiled to GBK narrow literals.
TEST(GbkConversion, RoundTripsChineseThroughUtf8AndUtf16) {
    const std::string gbk = "课件内容更新";
    std::string utf8 = text::GbkToUtf8(gbk);
    EXPECT_EQ(utf8, std::string(reinterpret_cast<const char*>(u8"课件内容更新")));
    EXPECT_EQ(text::Utf8ToGbk(utf8), gbk);
    std::u16string wide = text::GbkToUtf16(gbk);
    EXPECT_EQ(wide, u"课件内容更新");
    EXPECT_EQ(text::Utf16ToGbk(wide), gbk);
}

TEST(GbkConversion, Utf8AndUtf16KeepWhatGbkCannotHold) {
    // U+1F600 lies outside GBK and outside UTF-16's single units.
    const std::string utf8 = "x\xF0\x9F\x98\x80\xE8\xAF\xBE";
    const std::u16string wide = text::Utf8ToUtf16(utf8);
    EXPECT_EQ(wide, std::u16string(u"x\U0001F600\u8BFE"));
    EXPECT_EQ(text::Utf16ToUtf8(wide), utf8);
    EXPECT_EQ(text::Utf8ToUtf16("a\xC3"), u"a?");
    EXPECT_EQ(text::Utf16ToUtf8(std::u16string(u"a") + char16_t(0xDC00)), "a?");
}

TEST(GbkConversion, InvalidOrUnrepresentableBecomesQuestionMark) {
    EXPECT_EQ(text::GbkToUtf8("a\xFF"
                              "b"),
              "a?b");
    EXPECT_EQ(text::GbkToUtf8("ab\x81"), "ab?");  // lead byte cut off at the end
    // U+1F600 has no place in GBK.
    EXPECT_EQ(text::Utf8ToGbk("x\xF0\x9F\x98\x80y"), "x?y");
    EXPECT_EQ(text::Utf8ToGbk("x\xC3"), "x?");  // broken UTF-8
    EXPECT_EQ(text::Utf16ToGbk(std::u16string(u"a") + char16_t(0xD83D) + u"b"), "a?b");
    EXPECT_EQ(text::GbkToUtf8(""), "");
}

TEST(GbkHelpers, BackslashInsideDoubleByteCharacterIsNotASeparator) {
    // 0x95 0x5C is a valid double-byte character whose trail byte is '\\'.
    const std::string tricky = std::string("C:\\a\\") + "\x95\x5C";
    EXPECT_EQ(text::FindLastBackslash(tricky), 4u);
    EXPECT_EQ(text::FindFirstBackslash("\x95\x5C\\x"), 2u);
    EXPECT_EQ(text::FindLastBackslash("none"), std::string::npos);
    EXPECT_TRUE(text::IsCharStart(tricky, 5));
    EXPECT_FALSE(text::IsCharStart(tricky, 6));
}

TEST(GbkHelpers, CaseMappingTouchesOnlyAsciiLettersAndKeepsPositions) {
    // 0x95 0x41: a double-byte character whose trail byte is 'A'.
    const std::string s = std::string("StartChapter=\x95\x41Z");
    std::string lower = text::AsciiLower(s);
    EXPECT_EQ(lower, std::string("startchapter=\x95\x41z"));
    EXPECT_EQ(lower.size(), s.size());
    EXPECT_EQ(text::AsciiUpper("ab化学c"), "AB化学C");
    EXPECT_TRUE(text::EqualsNoCase("ABC", "abc"));
    EXPECT_FALSE(text::EqualsNoCase("ABC", "abcd"));
}

TEST(GbkHelpers, TrimRemovesTheSixWhiteSpaceCharacters) {
    EXPECT_EQ(text::Trim(" \t\r\n\v\f化学 \t\r\n\v\f"), "化学");
    EXPECT_EQ(text::TrimRight("  a b  \r\n"), "  a b");
    EXPECT_EQ(text::TrimLeft("\v\fa "), "a ");
    EXPECT_EQ(text::Trim("   "), "");
}

TEST(GbkHelpers, ValidityCheck) {
    EXPECT_TRUE(text::IsValidGbk("plain 课件"));
    EXPECT_FALSE(text::IsValidGbk("\xFF"));
    EXPECT_FALSE(text::IsValidGbk("\x81"));
    EXPECT_FALSE(text::IsValidGbk("\x81\x7F"));
}

TEST(Utf8Check, TakesOnlyWellFormedUtf8) {
    EXPECT_TRUE(text::IsValidUtf8(""));
    EXPECT_TRUE(text::IsValidUtf8("plain ascii"));
    EXPECT_TRUE(text::IsValidUtf8(reinterpret_cast<const char*>(u8"a\u00E9\u4E2D\U0001D11E")));
    EXPECT_FALSE(text::IsValidUtf8("\xC0\xAF"));                  // overlong '/'
    EXPECT_FALSE(text::IsValidUtf8("\xE0\x80\xAF"));              // overlong, three bytes
    EXPECT_FALSE(text::IsValidUtf8("\xED\xA0\x80"));              // a surrogate
    EXPECT_FALSE(text::IsValidUtf8("\xF4\x90\x80\x80"));          // past U+10FFFF
    EXPECT_FALSE(text::IsValidUtf8("\xE4\xB8"));                  // cut short
    EXPECT_FALSE(text::IsValidUtf8("a\x80"));                     // a lone trail byte
    EXPECT_FALSE(text::IsValidUtf8("\xBC\xC6\xCB\xE3\xBB\xFA"));  // GBK
}
