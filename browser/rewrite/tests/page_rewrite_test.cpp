// The page rules on GBK pages as the courses have them: what is rewritten,
// what it becomes, and that every other byte comes through as it was.
#include <gtest/gtest.h>

#include "browser/rewrite/page_rewrite.h"
#include "browser/rewrite/tests/installed_navbar.h"
#include "browser/vbscript/vbscript.h"
#include "install/page_rules.h"
#include "platform/text/text.h"
#include "tools/sample-course/course_texts.h"

namespace {

const std::string kBridgeTag = std::string("<script src=\"") + kBridgeUrl + "\"></script>";

std::string U8(const char8_t* text) {
    return reinterpret_cast<const char*>(text);
}

// The page's bytes between the edits come out unchanged and in order.
void ExpectOnlyEditsChanged(std::string_view page, const CRewriteResult& r) {
    size_t in = 0, out = 0;
    for (const CRewriteEdit& e : r.edits) {
        ASSERT_GE(e.inputBegin, in);
        ASSERT_EQ(e.outputBegin - out, e.inputBegin - in);
        EXPECT_EQ(r.bytes.substr(out, e.outputBegin - out), page.substr(in, e.inputBegin - in));
        in = e.inputEnd;
        out = e.outputEnd;
    }
    EXPECT_EQ(r.bytes.substr(out), page.substr(in));
}

// The rewritten page without its bridge tag.
std::string Rewrite(std::string_view page) {
    CRewriteResult r = RewritePage(page);
    EXPECT_EQ(r.edits.at(0).kind, CRewriteEdit::EKind::kBridgeTag);
    return r.bytes.erase(r.edits[0].outputBegin, kBridgeTag.size());
}

std::string Escaped(const std::string& text) {
    std::string out;
    for (char c : text)
        out += c == '&'   ? "&amp;"
               : c == '"' ? "&quot;"
               : c == '<' ? "&lt;"
               : c == '>' ? "&gt;"
                          : std::string(1, c);
    return out;
}

// A handler's value as the rewriter writes it (source in UTF-8).
std::string HandlerValue(const std::string& source) {
    return "\"" + Escaped(TranslateVbsHandler(source).js) + "\"";
}

std::string ScriptElement(const std::string& source) {
    return "<script>" + TranslateVbScript(source).js + "</script>";
}

const char kVbsFirst[] = "<script language=\"VBScript\">Dim a</script>";
const char kJsFirst[] = "<script>var a;</script>";

TEST(PageBridgeTag, ComesBeforeEverythingButBomDoctypeAndComments) {
    EXPECT_EQ(RewritePage("<html><body>x</body></html>").bytes,
              kBridgeTag + "<html><body>x</body></html>");
    std::string head = "\xEF\xBB\xBF<!-->\r\n<!DOCTYPE html>\r\n";
    EXPECT_EQ(RewritePage(head + "<html>").bytes, head + kBridgeTag + "<html>");
    EXPECT_EQ(RewritePage("<!-- c --!><p>").bytes, "<!-- c --!>" + kBridgeTag + "<p>");
    EXPECT_EQ(RewritePage("<?xml version=\"1.0\"?>\n\nText").bytes,
              "<?xml version=\"1.0\"?>\n\n" + kBridgeTag + "Text");
}

TEST(PageBridgeTag, FramesetPageGetsExactlyOne) {
    std::string page = sample::StartPage(SampleCourseOptions());
    CRewriteResult r = RewritePage(page);
    EXPECT_EQ(r.bytes, kBridgeTag + page);
    EXPECT_EQ(r.edits.size(), 1u);
}

TEST(PageBytes, GbkTextOutsideTheRewrittenPartsIsUntouched) {
    // Trail bytes 0x5C (乗 誠 癨), 0x7C (皘 眧), 0x40 (丂 癅) and letters (癮 皁 皊).
    const std::string text = "乗誠癨皘眧丂癅癮皁皊 表格功能";
    std::string plain = "<html><head><title>" + text + "</title></head><body>\r\n<p title='" +
                        text + "' alt=乗\\>" + text + "</p><a 皁nclick=\"x\" href=\"" + text +
                        ".htm\">" + text + "</a>\r\n<script>var s = \"" + text +
                        "\";</script></body></html>";
    EXPECT_EQ(RewritePage(plain).bytes, kBridgeTag + plain);
    std::string mixed = std::string(kVbsFirst) + "<p onclick=\"MsgBox &quot;" + text + "&quot;\">" +
                        text + "</p><script language=vbscript>x = \"" + text + "\"</script>" +
                        plain;
    CRewriteResult r = RewritePage(mixed);
    EXPECT_EQ(r.edits.size(), 4u);
    ExpectOnlyEditsChanged(mixed, r);
    EXPECT_NE(r.bytes.find(U8(u8"\\u4e57\\u8aa0")), std::string::npos);  // 乗誠 in the handler
}

TEST(PageScripts, VbscriptBlockBecomesItsTranslation) {
    std::string block = "\r\nDim s\r\ns = \"你好\"\r\n";
    EXPECT_EQ(Rewrite("<SCRIPT LANGUAGE=\"VBScript\">" + block + "</SCRIPT>"),
              ScriptElement(text::GbkToUtf8(block)));
    for (const char* tag : {"<script type=\"text/VBScript\">", "<script language=vbs>",
                            "<script language='VBSCRIPT' type=''>"})
        EXPECT_EQ(Rewrite(std::string(tag) + "x = 1</script>"), ScriptElement("x = 1")) << tag;
}

TEST(PageScripts, SrcKeepsItsFileAndLosesItsLanguage) {
    CRewriteResult r =
        RewritePage("<script language=\"VBScript\" src=\"items.vbs\" defer></script>");
    EXPECT_EQ(r.bytes, kBridgeTag + "<script src=\"items.vbs\" defer></script>");
    EXPECT_EQ(r.edits.back().kind, CRewriteEdit::EKind::kScriptSrc);
    EXPECT_EQ(Rewrite("<script\ttype=text/vbscript src=a.vbs></script>"),
              "<script src=a.vbs></script>");
}

TEST(PageScripts, ForAndEventBindTheHandler) {
    EXPECT_EQ(Rewrite("<script for=\"btnNext\" event=\"onclick()\" language=\"vbscript\">"
                      "location.href = \"s2.htm\"</script>"),
              "<script>$vbs.bind(\"btnNext\", \"onclick\", function () {\n" +
                  TranslateVbsHandler("location.href = \"s2.htm\"").js + "});\n</script>");
    EXPECT_NE(Rewrite("<script FOR=window EVENT=OnLoad language=vbscript>x = 1</script>")
                  .find("$vbs.bind(\"window\", \"OnLoad\", function () {\n"),
              std::string::npos);
}

TEST(PageScripts, JavascriptIsLeftAlone) {
    std::string page =
        "<script language=\"JavaScript\"><!--\r\n"
        "document.write(\"<script language='vbscript'>MsgBox 1</script>\");\r\n"
        "var o = '<object classid=\"clsid:742FCBC2-1DA1-40C9-B8CE-7AE456142AD9\"></object>';\r\n"
        "//--></script><script type=\"text/javascript\" language=\"vbscript\">a()</script>";
    EXPECT_EQ(Rewrite(page), page);
}

TEST(PageScripts, ProblemsNameTheLineOfThePage) {
    CRewriteResult r = RewritePage(
        "<p>\r\n<script language=vbscript>\r\nx = 1\r\nGoTo a\r\n"
        "</script><b onclick=\"vbscript:GoTo b\">");
    ASSERT_EQ(r.problems.size(), 2u);
    EXPECT_EQ(r.problems[0], "line 4: GoTo is not supported: GoTo a");
    EXPECT_EQ(r.problems[1], "line 5: onclick: GoTo is not supported: GoTo b");
}

TEST(PageScripts, UnterminatedBlockIsTranslatedToTheEnd) {
    EXPECT_EQ(Rewrite("<p>a</p><script language=vbscript>x = 1\r\ny = 2"),
              "<p>a</p>" + ScriptElement("x = 1\r\ny = 2"));
}

TEST(PageHandlers, NavigationPageOfTheInstalledCourse) {
    std::string page = InstalledNavbarPage();
    CRewriteResult r = RewritePage(page);
    ExpectOnlyEditsChanged(page, r);
    EXPECT_TRUE(r.problems.empty());
    // The page's first script is VBScript, so the misspelt prefix is just text of it.
    EXPECT_NE(r.bytes.find("onClick=" + HandlerValue("vbscipt:AutoUpDate()")), std::string::npos);
    std::string block;
    for (size_t i = 1; i < 6; ++i)
        block += UpdateBlockLines()[i] + "\r\n";
    EXPECT_NE(r.bytes.find(ScriptElement(block)), std::string::npos);
    std::string control =
        "<script>$tv.object(\"UpDate\", \"742FCBC2-1DA1-40C9-B8CE-7AE456142AD9\")"
        "</script>\r\n";
    EXPECT_EQ(r.bytes.substr(r.bytes.size() - control.size()), control);
}

TEST(PageHandlers, MisspeltPrefixFollowsThePageDefault) {
    const std::string cell = "<A HREF=\"#\" onClick=\"vbscipt:AutoUpDate()\">更新</A>";
    EXPECT_EQ(Rewrite(kJsFirst + cell), kJsFirst + cell);
    EXPECT_EQ(Rewrite(cell), cell);  // no script: JavaScript
    EXPECT_EQ(Rewrite(cell + kVbsFirst),
              "<A HREF=\"#\" onClick=" + HandlerValue("vbscipt:AutoUpDate()") + ">更新</A>" +
                  ScriptElement("Dim a"));
}

TEST(PageHandlers, LanguagePrefixesDecide) {
    EXPECT_EQ(
        Rewrite(kJsFirst + std::string("<b onclick=\" VBScript:MsgBox &quot;h&#x69;&#34;\">")),
        kJsFirst + ("<b onclick=" + HandlerValue("MsgBox \"hi\"") + ">"));
    // JavaScript loses its prefix and keeps its bytes, quotes written as references.
    EXPECT_EQ(Rewrite(kVbsFirst + std::string("<b onclick='javascript:alert(\"乗\")'>")),
              ScriptElement("Dim a") + "<b onclick=\"alert(&quot;乗&quot;)\">");
    EXPECT_EQ(Rewrite(kJsFirst + std::string("<b hidden onclick = JScript:go()>")),
              kJsFirst + std::string("<b hidden onclick = \"go()\">"));
    EXPECT_EQ(
        Rewrite(kVbsFirst + std::string("<b onmouseover=\"Go 1\" title=\"Go 1\">")),
        ScriptElement("Dim a") + "<b onmouseover=" + HandlerValue("Go 1") + " title=\"Go 1\">");
    // An element's own language attribute is its handlers' language.
    EXPECT_EQ(Rewrite(kJsFirst + std::string("<body language=vbscript onload=Start>")),
              kJsFirst + ("<body language=vbscript onload=" + HandlerValue("Start") + ">"));
}

TEST(PageHandlers, VbscriptLinkBecomesAJavascriptLink) {
    EXPECT_EQ(
        Rewrite("<a href=\"vbscript:MsgBox &quot;50%&quot;\">x</a>"),
        "<a href=\"javascript:void (function () {$vbs.MsgBox(&quot;50%25&quot;);%0A})()\">x</a>");
}

TEST(PageObjects, ControlBecomesABridgeObjectWithItsFallbackGone) {
    EXPECT_EQ(
        Rewrite("a<OBJECT ID=\"UpDate\" classid=\"CLSID:{742fcbc2-1da1-40c9-b8ce-7ae456142ad9}\">"
                "<PARAM NAME=\"_Version\" VALUE=\"65536\"><object><p>no</p></object>"
                "</OBJECT>b"),
        "a<script>$tv.object(\"UpDate\", \"742FCBC2-1DA1-40C9-B8CE-7AE456142AD9\")</script>b");
    EXPECT_EQ(Rewrite("<object classid=\"clsid: 0002E510-0000-0000-C000-000000000046 \" name=s>"),
              "<script>$tv.object(\"s\", \"0002E510-0000-0000-C000-000000000046\")</script>");
}

TEST(PageObjects, MediaPlayersBecomePlayBoxes) {
    EXPECT_EQ(
        Rewrite("<object id=\"MediaPlayer\" classid=\"CLSID:22D6F312-B0F6-11D0-94AB-0080C74C7E95\""
                " width=\"320\" height=\"285\"><param name=\"AutoStart\" value=\"1\">"
                "<param name=\"FileName\" value=\"../video01/lecture.asf\"></object>"),
        "<span id=\"MediaPlayer\" class=\"telvora-play\" "
        "style=\"display:inline-block;width:320px;height:285px\"><button type=\"button\" "
        "onclick=\"$tv.play(&quot;../video01/lecture.asf&quot;)\">&#25773;&#25918;</button> "
        "lecture.asf</span>");
    // Windows Media Player 7: URL, a Chinese Windows path, sizes in percent.
    std::string box = Rewrite(
        "<object classid='clsid:6BF52A52-394A-11D3-B153-00C04F79FAA6' "
        "width=100% height=0><param name=url value='E:\\音乐.wma'></object>");
    EXPECT_NE(box.find("style=\"display:inline-block;width:100%\""), std::string::npos);
    EXPECT_NE(box.find("$tv.play(&quot;E:\\u005c\\u97f3\\u4e50.wma&quot;)"), std::string::npos);
    EXPECT_NE(box.find("</button> &#38899;&#20048;.wma</span>"), std::string::npos);
    EXPECT_EQ(box.find(" id="), std::string::npos);
    // A SRC parameter, else the object's data.
    EXPECT_NE(Rewrite("<object classid=clsid:22D6F312-B0F6-11D0-94AB-0080C74C7E95 data=b.asf>"
                      "<object><param name=filename value=inner.asf></object>"
                      "<param name=SRC value=a.wmv></object>")
                  .find("$tv.play(&quot;a.wmv&quot;)"),
              std::string::npos);
    EXPECT_NE(Rewrite("<object classid=clsid:22D6F312-B0F6-11D0-94AB-0080C74C7E95 data=b.asf>"
                      "</object>")
                  .find("$tv.play(&quot;b.asf&quot;)"),
              std::string::npos);
}

TEST(PageObjects, ObjectsWithoutAControlAreLeftAlone) {
    for (const char* page : {"<object data=\"notes.htm\" type=\"text/html\">x</object>",
                             "<object classid=\"java:Applet.class\"></object>",
                             "<object classid=\"clsid:742FCBC2-1DA1\"></object>"})
        EXPECT_EQ(Rewrite(page), page);
}

TEST(PageObjects, UnterminatedObjectTakesOnlyItsParameters) {
    EXPECT_EQ(Rewrite("<object id=x classid=clsid:742FCBC2-1DA1-40C9-B8CE-7AE456142AD9>\r\n"
                      "<param name=a value=b>\r\n<p onclick=\"go()\">after</p>"),
              "<script>$tv.object(\"x\", \"742FCBC2-1DA1-40C9-B8CE-7AE456142AD9\")</script>"
              "\r\n<p onclick=\"go()\">after</p>");
}

TEST(PageMalformed, PassesThroughUnchanged) {
    for (const char* page : {
             "<p>a</p><a onclick=\"vbscript:x\" href=\"b",
             "<p><!-- <script language=vbscript>x = 1</script>",
             "<textarea><a href=\"vbscript:x\">t</a></textarea><xmp><object "
             "classid=clsid:742FCBC2-1DA1-40C9-B8CE-7AE456142AD9></object></xmp>",
             "<title>a<title><script language=vbscript>x = 1</script>",
             "<a onclick>x</a><b =onclick=\"vbscript:x\">",
         })
        EXPECT_EQ(Rewrite(page), page);
}

TEST(PageCharset, IsThePagesOwnAndDecidesTheScriptsText) {
    EXPECT_EQ(RewritePage("<html>").charset, "GBK");
    EXPECT_EQ(
        RewritePage("<meta http-equiv=\"Content-Type\" content=\"text/html; charset=gb2312\">")
            .charset,
        "gb2312");
    std::string utf8 =
        "\xEF\xBB\xBF<script language=vbscript>s = \"" + U8(u8"你好") + "\"</script>";
    CRewriteResult r = RewritePage(utf8);
    EXPECT_EQ(r.charset, "UTF-8");
    EXPECT_NE(r.bytes.find("\\u4f60\\u597d"), std::string::npos);
    EXPECT_NE(RewritePage("<meta charset=utf-8><script language=vbscript>s = \"" + U8(u8"你好") +
                          "\"</script>")
                  .bytes.find("\\u4f60\\u597d"),
              std::string::npos);
}

TEST(VbsFile, IsTranslatedFromItsCharset) {
    std::string source = "courseName = \"计算机\"\r\n";
    std::string expected = TranslateVbScript(text::GbkToUtf8(source)).js;
    EXPECT_EQ(RewriteVbsFile(source).bytes, expected);
    EXPECT_EQ(RewriteVbsFile("\xEF\xBB\xBF" + text::GbkToUtf8(source)).bytes, expected);
    std::u16string units = text::GbkToUtf16(source);
    std::string utf16 = "\xFF\xFE";
    for (char16_t unit : units)
        utf16 += std::string{static_cast<char>(unit & 0xFF), static_cast<char>(unit >> 8)};
    EXPECT_EQ(RewriteVbsFile(utf16).bytes, expected);
    EXPECT_FALSE(RewriteVbsFile("If x Then\r\n").problems.empty());
}

}  // namespace
