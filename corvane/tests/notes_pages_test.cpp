// The update-notes pages as text: link texts from codes, the link list
// newest first, the kept lines of an earlier history and the page bytes.
#include "corvane/notes_pages.h"

#include <gtest/gtest.h>

#include "common/course_format.h"

namespace {

TEST(NotesPages, CodesBecomeDates) {
    EXPECT_EQ(CodeDateText("03052301"), "2003年5月23日第1次");
    EXPECT_EQ(CodeDateText("03100210"), "2003年10月2日第10次");
    EXPECT_EQ(CodeDateText("0301"), "2003年1月日第次");
    EXPECT_EQ(CodeDateText(""), "20年月日第次");
}

TEST(NotesPages, LinksRunNewestFirstToTheServersNotes) {
    const std::string base = ServerBaseAddress("updates.example", 80);
    EXPECT_EQ(base, "http://updates.example/rdcenter/newweb/");
    EXPECT_EQ(ServerBaseAddress("127.0.0.1", 8080), "http://127.0.0.1:8080/rdcenter/newweb/");
    EXPECT_EQ(ServerBaseAddress("::1", 8080), "http://[::1]:8080/rdcenter/newweb/");
    std::vector<PackageEntry> packages = {{"math/a.rar", "1", "03052301"},
                                          {"math/b.rar", "1", "03060502"}};
    EXPECT_EQ(ExplainLinkList(base, "math", packages),
              "<br>本次更新内容说明：\n"
              "<br><a href=\"http://updates.example/rdcenter/newweb/explain/math\\03060502.htm\">"
              "2003年6月5日第2次</a>"
              "<br><a href=\"http://updates.example/rdcenter/newweb/explain/math\\03052301.htm\">"
              "2003年5月23日第1次</a>");
}

TEST(NotesPages, TwoUpdatesListTheNewerLinesFirst) {
    const std::string base = ServerBaseAddress("s", 80);
    const std::string first = ExplainLinkList(base, "m", {{"m/a.rar", "1", "03052301"}});
    const std::string page1 = HistoryText("数学", first, false, "");
    EXPECT_EQ(page1, "《数学》课件本次更新结束。<br>\n" + first +
                         "\n<br><p><a href=\"javascript:print()\">打印</a></p>\n");

    // The second update reads the first page back as the file reader gives
    // its lines, the trailing zero byte included.
    const std::vector<std::string> lines = SplitTextLines(TextPageBytes(page1));
    const std::string kept = KeptHistoryLines(lines);
    EXPECT_EQ(kept, first.substr(first.find('\n') + 1) + "\n");
    const std::string second = ExplainLinkList(base, "m", {{"m/b.rar", "1", "03060501"}});
    const std::string page2 = HistoryText("数学", second, true, kept);
    EXPECT_EQ(page2, "《数学》课件本次更新结束。<br>\n" + second +
                         "\n<br><br>历次更新内容说明：\n" + kept +
                         "\n<br><p><a href=\"javascript:print()\">打印</a></p>\n");
    EXPECT_LT(page2.find("03060501"), page2.find("03052301"));
}

TEST(NotesPages, TextPagesEndWithCrLfAndOneZeroByte) {
    EXPECT_EQ(TextPageBytes("a\nb\n"), std::string("a\r\nb\r\n\0", 7));
    EXPECT_EQ(TextPageBytes(""), std::string("\0", 1));
}

}  // namespace
