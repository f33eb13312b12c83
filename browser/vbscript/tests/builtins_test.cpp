// VBScript's built-in functions as the runtime gives them, each expression
// translated and run; the expected texts are what VBScript shows (CStr) in a
// Chinese Windows of the time.
#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "browser/vbscript/tests/js_harness.h"

namespace {

using Cases = std::vector<std::pair<std::string, std::string>>;

void ExpectAll(const Cases& cases) {
    CJsHarness h;
    for (const auto& [expression, expected] : cases)
        EXPECT_EQ(h.Vb(expression), expected) << expression;
}

TEST(VbsBuiltins, StringFunctions) {
    ExpectAll({
        {"Len(\"abc\") & Len(Empty) & Len(123)", "303"},
        {"Left(\"abcdef\", 2) & Right(\"abcdef\", 2) & Mid(\"abcdef\", 2, 3) & Mid(\"abcdef\", 5)",
         "abefbcdef"},
        {"InStr(\"abcabc\", \"c\") & InStr(4, \"abcabc\", \"a\") & InStr(1, \"ABC\", \"b\", 1) & "
         "InStr(\"abc\", \"x\")",
         "3420"},
        {"InStrRev(\"abcabc\", \"b\") & InStrRev(\"abcabc\", \"b\", 4) & InStr(\"abc\", \"\")",
         "521"},
        {"LCase(\"AbC\") & UCase(\"aBc\") & \"[\" & Trim(\"  x  \") & LTrim(\" y \") & RTrim(\" z "
         "\") & \"]\"",
         "abcABC[xy  z]"},
        {"Replace(\"a-b-c\", \"-\", \"+\") & Replace(\"a-b-c\", \"-\", \"\", 1, 1) & "
         "Replace(\"xAxa\", \"a\", \"o\", 2, -1, 1)",
         "a+b+cab-coxo"},
        {"Join(Split(\"a,b,,c\", \",\"), \"|\") & UBound(Split(\"\")) & Join(Split(\"a b c\", \" "
         "\", 2), \"|\")",
         "a|b||c-1a|b c"},
        {"\"[\" & Space(2) & String(3, \"xy\") & String(2, 65) & \"]\" & StrReverse(\"abc\")",
         "[  xxxAA]cba"},
        {"Join(Filter(Array(\"ab\", \"cd\", \"AB\"), \"b\"), \",\") & \"|\" & "
         "Join(Filter(Array(\"ab\", \"cd\"), \"B\", False, vbTextCompare), \",\")",
         "ab|cd"},
        {"StrComp(\"a\", \"b\") & StrComp(\"B\", \"a\") & StrComp(\"A\", \"a\", vbTextCompare)",
         "-1-10"},
        {"Asc(\"A\") & Chr(66) & AscW(\"Z\") & ChrW(97) & Len(Chr(13) & vbTab)", "65B90a2"},
    });
}

TEST(VbsBuiltins, ChineseText) {
    CJsHarness h;
    h.Run(Utf8(u8"s = \"中文课程\""));
    EXPECT_EQ(h.Vb("Len(s) & Mid(s, 3) & InStr(s, \"\" & Mid(s, 2, 1))"), Utf8(u8"4课程2"));
    // A double-byte character's code is negative, as pages test it.
    EXPECT_EQ(h.Vb("Asc(s) < 0"), "True");
    EXPECT_EQ(h.Vb("MonthName(5) & WeekdayName(1)"), Utf8(u8"五月星期日"));
}

TEST(VbsBuiltins, Conversions) {
    ExpectAll({
        {"CInt(2.5) & CInt(3.5) & CInt(\" 12 \") & CInt(\"&H10\") & CLng(\"-7.5\")", "241216-8"},
        {"CDbl(\"1.5\") + 1 & CStr(True) & CBool(\"true\") & CBool(0) & CByte(255)",
         "2.5TrueTrueFalse255"},
        {"Int(-1.5) & Fix(-1.5) & Abs(-2) & Sgn(-3) & Sqr(16)", "-2-12-14"},
        {"Round(2.5) & Round(3.5) & Round(1.2345, 2) & Round(2.675, 2)", "241.232.68"},
        {"Hex(255) & Hex(-1) & Oct(8) & Hex(65536)", "FFFFFF1010000"},
        {"IsNumeric(\"1e3\") & IsNumeric(\"abc\") & IsNumeric(Empty) & IsEmpty(x) & IsNull(Null)",
         "TrueFalseTrueTrueTrue"},
        {"IsArray(Array(1)) & IsObject(document) & IsObject(Nothing) & IsDate(\"2003-5-6\") & "
         "IsDate(\"x\")",
         "TrueTrueTrueTrueFalse"},
        {"TypeName(1) & TypeName(100000) & TypeName(1.5) & TypeName(\"\") & TypeName(Empty) & "
         "TypeName(Nothing)",
         "IntegerLongDoubleStringEmptyNothing"},
        {"VarType(True) & VarType(Null) & VarType(Array()) & TypeName(Array()) & LBound(Array(1))",
         "1118204Variant()0"},
        {"Eval(\"1 + 2 * 3\") & Eval(\"\"\"text\"\"\")", "7text"},
        {"(Rnd < 1) & (Rnd >= 0) & (Rnd(0) = Rnd(0)) & CSng(\"2.5\") & RGB(1, 2, 3)",
         "TrueTrueTrue2.5197121"},
    });
}

TEST(VbsBuiltins, ConversionErrors) {
    CJsHarness h;
    h.Run(
        "On Error Resume Next\n"
        "a = CInt(40000) : e1 = Err.Number : Err.Clear\n"
        "b = CInt(\"x\") : e2 = Err.Number : Err.Clear\n"
        "c = Mid(\"abc\", 0) : e3 = Err.Number : Err.Clear\n"
        "d = Array(1)(5) : e4 = Err.Number\n");
    EXPECT_EQ(h.Vb("e1 & \" \" & e2 & \" \" & e3 & \" \" & e4"), "6 13 5 9");
}

TEST(VbsBuiltins, Dates) {
    ExpectAll({
        {"DateSerial(2003, 5, 6) & \"|\" & DateSerial(2003, 13, 1) & \"|\" & #5/6/2003 9:05:07#",
         "2003-5-6|2004-1-1|2003-5-6 9:05:07"},
        {"Year(#5/6/2003#) & Month(#5/6/2003#) & Day(#5/6/2003#) & Weekday(#5/6/2003#)", "2003563"},
        {"Hour(\"9:05:07\") & Minute(\"9:05:07\") & Second(\"9:05:07\") & \"|\" & TimeSerial(1, 2, "
         "3)",
         "957|1:02:03"},
        {"DateAdd(\"m\", 1, #1/31/2003#) & \"|\" & DateAdd(\"d\", -1, #3/1/2003#) & \"|\" & "
         "DateAdd(\"h\", 25, #1/1/2003#)",
         "2003-2-28|2003-2-28|2003-1-2 1:00:00"},
        {"DateDiff(\"d\", #1/1/2003#, #3/1/2003#) & \" \" & DateDiff(\"yyyy\", #12/31/2002#, "
         "#1/1/2003#) & \" \" & "
         "DateDiff(\"n\", #1/1/2003 10:00#, #1/1/2003 11:30#) & \" \" & DateDiff(\"m\", "
         "#1/31/2003#, #2/1/2003#)",
         "59 1 90 1"},
        {"DatePart(\"q\", #5/6/2003#) & DatePart(\"y\", #2/1/2003#) & DatePart(\"ww\", #1/5/2003#) "
         "& "
         "FormatDateTime(#5/6/2003#, vbLongDate)",
         Utf8(u8"23222003年5月6日")},
        {"#1/1/2003# + 1 & \"|\" & #1/3/2003# - #1/1/2003# & \"|\" & CDate(\"2003-5-6\") & \"|\" & "
         "DateValue(\"2003/5/6 10:00\")",
         "2003-1-2|2|2003-5-6|2003-5-6"},
        {"(Year(Now) >= 2024) & (Date <= Now) & IsDate(Time) & FormatDateTime(#5/6/2003 9:05#, "
         "vbShortTime)",
         "TrueTrueTrue09:05"},
    });
}

TEST(VbsBuiltins, NumberFormats) {
    ExpectAll({
        {"FormatNumber(1234.5) & \"|\" & FormatNumber(-1.25, 1) & \"|\" & FormatNumber(0.5, 0)",
         "1,234.50|-1.3|1"},
        {"FormatNumber(1234.5, 0, , , 0) & \"|\" & FormatNumber(0.25, 2, 0) & \"|\" & "
         "FormatPercent(0.125, 1)",
         "1235|.25|12.5%"},
        {"1 / 3 & \"|\" & 1E+20 & \"|\" & 0.00001 & \"|\" & 123456789012",
         "0.333333333333333|1E+20|1E-05|123456789012"},
    });
}

TEST(VbsBuiltins, DictionaryAndRegExp) {
    CJsHarness h;
    h.Run(
        "Set d = CreateObject(\"Scripting.Dictionary\")\n"
        "d.Add \"a\", 1 : d(\"b\") = 2 : d.Item(\"a\") = 3\n"
        "keys = \"\" : For Each k In d : keys = keys & k & d(k) : Next\n"
        "Set re = New RegExp : re.Pattern = \"(\\d+)\" : re.Global = True\n"
        "Set ms = re.Execute(\"a1b22\")\n");
    EXPECT_EQ(h.Vb("keys & d.Count & d.Exists(\"c\") & TypeName(d)"), "a3b22FalseDictionary");
    EXPECT_EQ(h.Vb("ms.Count & ms(1).Value & ms.Item(0).FirstIndex & re.Test(\"x\") & "
                   "re.Replace(\"a1\", \"<$1>\")"),
              "2221Falsea<1>");
}

}  // namespace
