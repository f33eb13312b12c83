// GUID text, automation strings and variant conversions: the values that
// cross the interface between a host and a component.
#include <gtest/gtest.h>

#include <climits>

#include "platform/com/bstr.h"
#include "platform/com/guid.h"
#include "platform/com/variant.h"

namespace {

std::u16string ViewOf(const CComVariant& v) {
    return std::u16string(com::BstrView(v.bstrVal));
}

TEST(GuidTest, TextRoundTripAndCase) {
    GUID g;
    ASSERT_TRUE(com::GuidFromString("{742fcbc2-1da1-40c9-b8ce-7ae456142ad9}", &g));
    EXPECT_EQ(g.Data1, 0x742FCBC2u);
    EXPECT_EQ(g.Data2, 0x1DA1);
    EXPECT_EQ(g.Data3, 0x40C9);
    EXPECT_EQ(g.Data4[0], 0xB8);
    EXPECT_EQ(g.Data4[7], 0xD9);
    EXPECT_EQ(com::GuidToString(g), "{742FCBC2-1DA1-40C9-B8CE-7AE456142AD9}");
    constexpr GUID literal = com::MakeGuid("{742FCBC2-1DA1-40C9-B8CE-7AE456142AD9}");
    EXPECT_TRUE(literal == g);
    EXPECT_FALSE(literal == GUID_NULL);
}

TEST(GuidTest, MalformedTextIsRefusedAndLeavesTheValue) {
    const char* bad[] = {
        "",
        "742FCBC2-1DA1-40C9-B8CE-7AE456142AD9",     // no braces
        "{742FCBC2-1DA1-40C9-B8CE-7AE456142AD9",    // one brace
        "{742FCBC2-1DA1-40C9-B8CE-7AE456142AD9}x",  // trailing text
        "{742FCBC2-1DA1-40C9-B8CE-7AE456142AD}",    // a digit short
        "{742FCBC2-1DA1-40C9-B8CE-7AE456142AG9}",   // not hex
        "{742FCBC21-DA1-40C9-B8CE-7AE456142AD9}",   // dash misplaced
        "{742FCBC2-1DA1-40C9-B8CE+7AE456142AD9}",   // not a dash
        "{ 42FCBC2-1DA1-40C9-B8CE-7AE456142AD9}",   // blank
    };
    for (const char* text : bad) {
        GUID g = com::MakeGuid("{00000001-0002-0003-0405-060708090A0B}");
        EXPECT_FALSE(com::GuidFromString(text, &g)) << text;
        EXPECT_EQ(g.Data1, 1u) << text;
    }
    EXPECT_FALSE(com::GuidFromString("{742FCBC2-1DA1-40C9-B8CE-7AE456142AD9}", nullptr));
}

TEST(BstrTest, LengthAndEmbeddedZeros) {
    BSTR s = SysAllocStringLen(u"ab\0cd", 5);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(SysStringLen(s), 5u);
    EXPECT_EQ(s[5], u'\0');
    // The system's text ends at the first zero.
    std::string gbk;
    EXPECT_TRUE(com::GbkFromBstr(s, &gbk));
    EXPECT_EQ(gbk, "ab");
    SysFreeString(s);

    EXPECT_EQ(SysStringLen(nullptr), 0u);
    EXPECT_EQ(SysAllocString(nullptr), nullptr);
    SysFreeString(nullptr);
    BSTR empty = com::BstrFromUtf16(u"");
    ASSERT_NE(empty, nullptr);  // an empty string is not a null one
    EXPECT_EQ(SysStringLen(empty), 0u);
    SysFreeString(empty);
}

TEST(BstrTest, ChineseTextRoundTripsThroughGbk) {
    const std::string gbk = "请将《化学》课件的第2张光盘放入光驱中 E:\\content\\表.asf";
    BSTR s = com::BstrFromGbk(gbk);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(std::u16string(com::BstrView(s)),
              u"请将《化学》课件的第2张光盘放入光驱中 E:\\content\\表.asf");
    std::string back;
    ASSERT_TRUE(com::GbkFromBstr(s, &back));
    EXPECT_EQ(back, gbk);
    SysFreeString(s);
}

TEST(BstrTest, TextOutsideGbkIsRefusedNotMangled) {
    // A character GBK has no place for, a lone surrogate, and a real '?'
    // that must still pass.
    const std::u16string cases[] = {u"a\u20AC\U0001F600b", std::u16string(u"x") + char16_t(0xD800),
                                    u"\u0E01"};
    for (const std::u16string& text : cases) {
        BSTR s = com::BstrFromUtf16(text);
        std::string gbk = "unchanged";
        EXPECT_FALSE(com::GbkFromBstr(s, &gbk));
        EXPECT_EQ(gbk, "unchanged");
        SysFreeString(s);
    }
    BSTR question = com::BstrFromUtf16(u"何?");
    std::string gbk;
    EXPECT_TRUE(com::GbkFromBstr(question, &gbk));
    EXPECT_EQ(gbk, "何?");
    SysFreeString(question);
}

TEST(VariantTest, StringsToIntegers) {
    struct Case {
        const char16_t* text;
        HRESULT hr;
        std::int32_t value;
    } cases[] = {
        {u"42", S_OK, 42},
        {u"  -7 ", S_OK, -7},
        {u"+3", S_OK, 3},
        {u"2147483647", S_OK, INT32_MAX},
        {u"-2147483648", S_OK, INT32_MIN},
        {u"2147483648", DISP_E_OVERFLOW, 0},
        {u"-99999999999999999999", DISP_E_OVERFLOW, 0},
        {u"12x", DISP_E_TYPEMISMATCH, 0},
        {u"99999999999999999999x", DISP_E_TYPEMISMATCH, 0},
        {u"", DISP_E_TYPEMISMATCH, 0},
        {u"-", DISP_E_TYPEMISMATCH, 0},
        {u"\uFF11", DISP_E_TYPEMISMATCH, 0},  // a full-width digit is no digit
    };
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const Case& c = cases[i];
        CComVariant from(c.text);
        CComVariant to(std::int32_t{99});
        EXPECT_EQ(VariantChangeType(&to, &from, 0, VT_I4), c.hr) << "case " << i;
        if (c.hr == S_OK) {
            EXPECT_EQ(to.vt, VT_I4);
            EXPECT_EQ(to.lVal, c.value);
        } else {
            EXPECT_EQ(to.lVal, 99);  // untouched on failure
        }
    }
}

TEST(VariantTest, BooleansIntegersAndStrings) {
    CComVariant out;
    CComVariant yes(u" TRUE ");
    ASSERT_EQ(VariantChangeType(&out, &yes, 0, VT_BOOL), S_OK);
    EXPECT_EQ(out.boolVal, VARIANT_TRUE);
    CComVariant zero(u"0");
    ASSERT_EQ(VariantChangeType(&out, &zero, 0, VT_BOOL), S_OK);
    EXPECT_EQ(out.boolVal, VARIANT_FALSE);
    CComVariant maybe(u"maybe");
    EXPECT_EQ(VariantChangeType(&out, &maybe, 0, VT_BOOL), DISP_E_TYPEMISMATCH);

    CComVariant t(true);
    ASSERT_EQ(VariantChangeType(&out, &t, 0, VT_I4), S_OK);
    EXPECT_EQ(out.lVal, -1);
    ASSERT_EQ(VariantChangeType(&out, &t, 0, VT_BSTR), S_OK);
    EXPECT_EQ(ViewOf(out), u"True");
    CComVariant n(std::int32_t{-12});
    ASSERT_EQ(VariantChangeType(&out, &n, 0, VT_BSTR), S_OK);
    EXPECT_EQ(ViewOf(out), u"-12");

    // In place: the string is replaced by its number.
    CComVariant inPlace(u"17");
    ASSERT_EQ(VariantChangeType(&inPlace, &inPlace, 0, VT_I4), S_OK);
    EXPECT_EQ(inPlace.vt, VT_I4);
    EXPECT_EQ(inPlace.lVal, 17);
}

TEST(VariantTest, CopiesOwnTheirStringsAndUnknownTypesAreRefused) {
    CComVariant a(u"甲乙");
    CComVariant b = a;
    ASSERT_EQ(b.vt, VT_BSTR);
    EXPECT_NE(a.bstrVal, b.bstrVal);
    a.Clear();
    EXPECT_EQ(ViewOf(b), u"甲乙");

    VARIANT odd;
    VariantInit(&odd);
    odd.vt = 0x4008;  // a by-reference string: not a type this layer knows
    EXPECT_EQ(VariantClear(&odd), DISP_E_BADVARTYPE);
    CComVariant out;
    EXPECT_EQ(VariantChangeType(&out, &odd, 0, VT_BSTR), DISP_E_BADVARTYPE);
    EXPECT_EQ(VariantCopy(&out, &odd), DISP_E_BADVARTYPE);
}

}  // namespace
