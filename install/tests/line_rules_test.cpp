// The text rules of the installer apart from files: the line patches and
// the GBK-aware search they rely on.
#include <gtest/gtest.h>

#include "install/page_rules.h"

namespace {

TEST(NavbarCell, ArmsOnExactMarkerAndInsertsOnce) {
    CNavbarCellInserter inserter;
    EXPECT_EQ(inserter.Patch("<tr></tr>"), "<tr></tr>");
    EXPECT_EQ(inserter.Patch("colJslx"), "colJslx");
    EXPECT_EQ(inserter.Patch("<td></td></tr></tr>"),
              std::string("<td></td>") + kUpdateCell + "</tr></tr>");
    EXPECT_EQ(inserter.Patch("</tr>"), "</tr>");  // disarmed again
    EXPECT_EQ(inserter.Patch("colJslx</tr>"), std::string("colJslx") + kUpdateCell + "</tr>");
    EXPECT_EQ(inserter.Patch("COLJSLX </tr>"), "COLJSLX </tr>");
}

TEST(NavbarCell, CellAndBlockTextsAreVerbatim) {
    EXPECT_EQ(
        std::string(kUpdateCell),
        "<td width=\"75\"><p><A HREF=\"#\" onClick=\"vbscipt:AutoUpDate()\">内容更新</A></p></td>");
    ASSERT_EQ(UpdateBlockLines().size(), 14u);
    EXPECT_EQ(UpdateBlockLines()[7].back(), ' ');
    EXPECT_EQ(UpdateBlockLines()[11].front(), '\t');
}

TEST(NavbarCell, MarkerInsideADoubleByteCharacterDoesNotArm) {
    // 0x81 0x63 is one character whose trail byte is 'c': no "colJslx" here.
    CNavbarCellInserter inserter;
    std::string line = std::string("\x81") + "colJslx</tr>";
    EXPECT_EQ(inserter.Patch(line), line);
}

TEST(ExtendNameLine, QuotedValueBecomesTheExtension) {
    std::string line = "  ExtendName = \"asf\" ; keep";
    ASSERT_TRUE(PatchExtendNameLine(&line, "wmv"));
    EXPECT_EQ(line, "  ExtendName = \".wmv\" ; keep");
    line = "extendname=\"\"";
    ASSERT_TRUE(PatchExtendNameLine(&line, "wmv"));
    EXPECT_EQ(line, "extendname=\".wmv\"");
    line = "\"before\" extendname \"a\" \"b\"";  // only quotes after the word count
    ASSERT_TRUE(PatchExtendNameLine(&line, "wmv"));
    EXPECT_EQ(line, "\"before\" extendname \".wmv\" \"b\"");
    line = "nothing here \"x\"";
    ASSERT_TRUE(PatchExtendNameLine(&line, "wmv"));
    EXPECT_EQ(line, "nothing here \"x\"");
}

TEST(ExtendNameLine, FewerThanTwoQuotesFail) {
    std::string line = "extendname = \"asf";
    EXPECT_FALSE(PatchExtendNameLine(&line, "wmv"));
    line = "\"a\" extendname";
    EXPECT_FALSE(PatchExtendNameLine(&line, "wmv"));
}

TEST(StartChapterLine, ValueBecomesOne) {
    std::string line = "StartChapter = 3";
    ASSERT_TRUE(ResetStartChapterLine(&line));
    EXPECT_EQ(line, "StartChapter =1");
    line = "x = 2 : startCHAPTER=12 ' comment";
    ASSERT_TRUE(ResetStartChapterLine(&line));
    EXPECT_EQ(line, "x = 2 : startCHAPTER=1");
    line = "chapter = 4";
    ASSERT_TRUE(ResetStartChapterLine(&line));
    EXPECT_EQ(line, "chapter = 4");
    line = "= startchapter 3";
    EXPECT_FALSE(ResetStartChapterLine(&line));
}

}  // namespace
