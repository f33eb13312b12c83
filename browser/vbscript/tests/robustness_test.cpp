// What can't be translated never breaks the page: it becomes a console
// message, the rest of the block still runs, and the output always parses.
// Hostile text (deep nesting, huge lines, bytes that aren't UTF-8) is
// refused or escaped, never run into the stack or out of a string.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <string>
#include <utility>

#include "browser/vbscript/tests/js_harness.h"

namespace {

bool IsPlainAscii(const std::string& text) {
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return c == '\n' || (c >= 0x20 && c < 0x7F); });
}

bool AnyContains(const std::vector<std::string>& items, const std::string& part) {
    return std::any_of(items.begin(), items.end(), [&](const std::string& item) {
        return item.find(part) != std::string::npos;
    });
}

TEST(VbsUntranslatable, BecomesAConsoleMessageAndTheRestRuns) {
    CJsHarness h;
    std::string source =
        "x = 1\n"
        "GoTo done\n"
        "Class Item\n  Sub Show : End Sub\nEnd Class\n"
        "y = (2 +\n"
        "y2 = 5\n"
        "Next\n"
        "z = 3\n";
    CVbsTranslation t = TranslateVbScript(source);
    EXPECT_EQ(t.problems.size(), 4u);
    EXPECT_TRUE(AnyContains(t.problems, "line 2: GoTo is not supported: GoTo done"));
    EXPECT_TRUE(AnyContains(t.problems, "line 3: Class is not supported"));
    EXPECT_TRUE(AnyContains(t.problems, "line 6: expected an expression: y = (2 +"));
    EXPECT_TRUE(AnyContains(t.problems, "line 8: unexpected Next"));
    h.Run(source);
    EXPECT_EQ(h.Vb("x & y2 & z & IsEmpty(y)"), "153True");
    EXPECT_EQ(h.Warnings().size(), 4u);
    EXPECT_TRUE(AnyContains(h.Warnings(), "VBScript line 2: GoTo"));
}

TEST(VbsUntranslatable, UnclosedAndMisplacedBlocksAreReported) {
    CJsHarness h;
    CVbsTranslation t = TranslateVbScript(
        "Sub A\n  If True Then\n    a = 1\nEnd Sub\n"
        "Sub B : b = 2 : End Sub\n"
        "For i = 1 To 2\n  Select Case i\n  Case 1 : c = 1\nNext\n"
        "Exit For\n");
    EXPECT_TRUE(AnyContains(t.problems, "If without End If"));
    EXPECT_TRUE(AnyContains(t.problems, "Select without End Select"));
    EXPECT_TRUE(AnyContains(t.problems, "Exit For outside its block"));
    EXPECT_TRUE(ParsesAsJs(&h.Engine(), t.js));
    // Sub B survived its neighbour's missing End If.
    EXPECT_NE(t.js.find("function B()"), std::string::npos);
    CVbsTranslation handler = TranslateVbsHandler("Sub Inner : End Sub\nx = 1");
    EXPECT_TRUE(AnyContains(handler.problems, "Sub inside an event handler"));
}

TEST(VbsUntranslatable, ProblemsAreCappedButEveryLineIsTried) {
    std::string source;
    for (int i = 0; i < 500; ++i)
        source += "x = )\n";
    source += "ok = 1\n";
    CVbsTranslation t = TranslateVbScript(source);
    ASSERT_EQ(t.problems.size(), 101u);
    EXPECT_EQ(t.problems.back(), "line 101: further problems not listed");
    CJsHarness h;
    h.Run(source);
    EXPECT_EQ(h.Warnings().size(), 100u);
    EXPECT_EQ(h.Vb("ok"), "1");
}

TEST(VbsHostile, DeepNestingIsRefusedAndTheOutputStillParses) {
    CJsHarness h;
    std::string ifs, parens(100000, '('), minus(100000, '-'), chain = "x = 1";
    for (int i = 0; i < 3000; ++i)
        ifs += "If a Then\n";
    for (int i = 0; i < 3000; ++i)
        ifs += "End If\n";
    for (int i = 0; i < 20000; ++i)
        chain += " & 1";
    const std::pair<std::string, bool> sources[] = {
        {ifs, true},
        {"x = " + parens, true},
        {"x = " + minus + "1", true},
        {chain, true},
        {"x = " + std::string(50000, '.') + "\n" + std::string(50000, '_'), false}};
    for (const auto& [source, nested] : sources) {
        CVbsTranslation t = TranslateVbScript(source);
        EXPECT_EQ(AnyContains(t.problems, "nested too deeply"), nested) << source.substr(0, 20);
        EXPECT_FALSE(t.problems.empty());
        EXPECT_TRUE(ParsesAsJs(&h.Engine(), t.js)) << source.substr(0, 20);
        EXPECT_TRUE(ParsesAsJs(&h.Engine(), TranslateVbsHandler(source).js));
    }
}

TEST(VbsHostile, StringsStayStringsInPlainAscii) {
    std::string payload =
        Utf8(u8"</script><!-- \\ \u2028 中 \U0001F600 ") + "\xff\xc0\x80" + "\x01";
    std::string source = "x = \"" + payload + "\"\"\" & \"</SCRIPT>\"\n";
    CVbsTranslation t = TranslateVbScript(source);
    EXPECT_TRUE(IsPlainAscii(t.js)) << t.js;
    std::string lower = t.js;
    std::transform(lower.begin(), lower.end(), lower.begin(), [](char c) {
        return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    });
    EXPECT_EQ(lower.find("</script"), std::string::npos);
    EXPECT_EQ(lower.find("<!--"), std::string::npos);
    CJsHarness h;
    h.Run(source);
    std::string expected =
        Utf8(u8"</script><!-- \\ \u2028 中 \U0001F600 \uFFFD\uFFFD\uFFFD") + "\x01\"</SCRIPT>";
    EXPECT_EQ(h.Js("$vbs.g('x')"), expected);
}

TEST(VbsHostile, ArbitraryTextAlwaysGivesParsingJavaScript) {
    CJsHarness h;
    ASSERT_FALSE(ParsesAsJs(&h.Engine(), "if ("));  // the check itself can fail
    const char* samples[] = {
        "If",
        "If x Then Else Else",
        "For Each",
        "Next Next",
        "Do Loop Until",
        "Select Case\nCase",
        "End",
        "Sub",
        "Function f(",
        ")",
        "a.b.c.(1)",
        "x = \"open",
        "#1/2",
        "[unclosed",
        "With\n.x = 1",
        ". = 1",
        "Dim a(",
        "ReDim",
        "Const",
        "On Error Resume",
        "Call",
        "Set = 1",
        "x = New",
        "f ,,, ,",
        "If a Then If b Then If c Then",
        "x = 1 _",
        "_",
        "&H",
        "x = &HFFFFFFFFFFFF",
        "x = 1e999",
        "Private Public Sub",
        "Sub a_b : End Sub : Sub _c",
        "\x80\x81 x = 1",
        "Exit Function",
        ": : :",
        "Property Get x\nEnd Property",
        "x = (1, 2)",
        "obj.Method(1) = 2",
        "Erase",
        "Option Strict",
    };
    for (const char* sample : samples) {
        CVbsTranslation script = TranslateVbScript(sample);
        CVbsTranslation handler = TranslateVbsHandler(sample);
        EXPECT_TRUE(ParsesAsJs(&h.Engine(), script.js)) << sample << "\n" << script.js;
        EXPECT_TRUE(ParsesAsJs(&h.Engine(), handler.js)) << sample << "\n" << handler.js;
        EXPECT_TRUE(IsPlainAscii(script.js) && IsPlainAscii(handler.js)) << sample;
    }
}

TEST(VbsRuntime, IsAsciiAndLoadsOnlyOnce) {
    EXPECT_TRUE(IsPlainAscii(VbsRuntimeJs()));
    CJsHarness h;
    h.Engine().evaluate("first = $vbs; $vbs.marker = 1;");
    h.Engine().evaluate(QString::fromUtf8(VbsRuntimeJs().c_str()));
    EXPECT_EQ(h.Js("($vbs === first) + ':' + $vbs.marker"), "true:1");
}

}  // namespace
