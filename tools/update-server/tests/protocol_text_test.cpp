// Escapes, names and the answer pages, checked against the way the update
// control reads an answer.
#include <gtest/gtest.h>

#include "common/course_format.h"
#include "corvane/update_answer.h"
#include "platform/text/text.h"
#include "tools/update-server/package_names.h"
#include "tools/update-server/update_pages.h"
#include "tools/update-server/url_escapes.h"

namespace {

// The update control's own reading of a query answer: false unless it is a
// list of packages the control would download.
bool ClientReads(const std::string& answer, std::vector<PackageEntry>* packages) {
    packages->clear();
    if (ClassifyAnswer(answer) != AnswerKind::UpdateList)
        return false;
    const std::vector<std::string> fields = SplitAnswerFields(answer);
    const std::size_t n = CountFields(fields);
    std::int64_t totalSize = 0;
    return n > 0 && ParsePackages(fields, n, packages, &totalSize);
}

TEST(UrlEscapesTest, DecodesEscapesAndKeepsWhatIsNoEscape) {
    EXPECT_EQ(PercentDecode("%CA%fd%D1%A7"), "数学");
    EXPECT_EQ(PercentDecode("a%20b+c"), "a b+c");
    EXPECT_EQ(PercentDecode("50%"), "50%");
    EXPECT_EQ(PercentDecode("%4"), "%4");
    EXPECT_EQ(PercentDecode("%zz%4g"), "%zz%4g");
    EXPECT_EQ(PercentDecode("%2e%2E"), "..");
    EXPECT_EQ(PercentDecode("a%00b"), std::string("a\0b", 3));
    EXPECT_EQ(PercentDecode("数学"), "数学");  // an older client's raw bytes
}

TEST(UrlEscapesTest, EncodedNamesAreAsciiAndDecodeBack) {
    EXPECT_EQ(PercentEncodeName("math-1_~"), "math-1_~");
    EXPECT_EQ(PercentEncodeName("a.rar & b"), "a%2Erar%20%26%20b");
    EXPECT_EQ(PercentEncodeName("数学"), "%CA%FD%D1%A7");
    // For a path a web server maps to a file: the dot stays.
    EXPECT_EQ(PercentEncodePathName("a.rar & b"), "a.rar%20%26%20b");
    EXPECT_EQ(PercentDecode(PercentEncodePathName("数学.x")), "数学.x");
    std::string every;
    for (int c = 0; c < 256; ++c)
        every += static_cast<char>(c);
    const std::string encoded = PercentEncodeName(every);
    EXPECT_EQ(encoded.find_first_not_of(
                  "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_~%"),
              std::string::npos);
    EXPECT_EQ(PercentDecode(encoded), every);
}

TEST(UrlEscapesTest, QueryValues) {
    const std::string q = "fileid=%CA%FD%D1%A7&versnumber=03052301&userid=%D5%C5%C8%FD%26x";
    EXPECT_EQ(QueryValue(q, "fileid"), "数学");
    EXPECT_EQ(QueryValue(q, "versnumber"), "03052301");
    EXPECT_EQ(QueryValue(q, "userid"), "张三&x");
    EXPECT_EQ(QueryValue(q, "FileID"), "数学");
    EXPECT_EQ(QueryValue(q, "missing"), std::nullopt);
    EXPECT_EQ(QueryValue("fileid=a&fileid=b", "fileid"), "a");
    EXPECT_EQ(QueryValue("versnumber&fileid=", "versnumber"), "");
    EXPECT_EQ(QueryValue("fileid=", "fileid"), "");
    EXPECT_EQ(QueryValue("", "fileid"), std::nullopt);
    EXPECT_EQ(QueryValue("&&=x&fileid=c", "fileid"), "c");
    // Older clients send GBK as it is: no GBK byte is '&', '=' or '%'.
    EXPECT_EQ(QueryValue("userid=张三 李&fileid=数学", "userid"), "张三 李");
}

TEST(PackageNamesTest, CodesAndTheirOrder) {
    EXPECT_TRUE(IsPackageCode("03052301"));
    for (const char* bad : {"", "0305230", "030523011", "0305230a", " 3052301", "0305-301"})
        EXPECT_FALSE(IsPackageCode(bad)) << bad;
    EXPECT_TRUE(IsNewerCode("03052302", "03052301"));
    EXPECT_TRUE(IsNewerCode("10010101", "09123199"));
    EXPECT_FALSE(IsNewerCode("03052301", "03052301"));
    EXPECT_FALSE(IsNewerCode("03052301", "03060501"));
    // Nothing installed yet, or a version that is no code: everything is newer.
    for (const char* installed : {"0", "", "3052301", "abcdefgh", "1.0", "99999999x"})
        EXPECT_TRUE(IsNewerCode("00000001", installed)) << installed;
}

TEST(PackageNamesTest, CourseNames) {
    for (const char* good : {"math", "数学", "a b&c.rar", "乗",
                             "x\x81\x5C"
                             "y",
                             "亅"})
        EXPECT_TRUE(IsValidCourseName(good)) << text::GbkToUtf8(good);
    for (const char* bad : {"", ".", "..", "a/b", "a\\b", "c:", "a*", "a?", "a\"b", "<a>", "a|b",
                            "tab\there", "\x7f", "\xCA"})
        EXPECT_FALSE(IsValidCourseName(bad)) << bad;
    EXPECT_FALSE(IsValidCourseName(std::string("a\0b", 3)));
    EXPECT_TRUE(IsValidCourseName(std::string(kMaxCourseNameBytes, 'a')));
    EXPECT_FALSE(IsValidCourseName(std::string(kMaxCourseNameBytes + 1, 'a')));
    EXPECT_EQ(CourseNameProblem("a/b"), "contains '/'");
}

TEST(UpdatePagesTest, TheUpdateControlReadsTheListBack) {
    const std::vector<CPackage> packages = {{"03052301", 1200}, {"03060501", 800}, {"03100210", 0}};
    for (const std::string course : {"math", "数学", "a b&c.rar", "x\x81\x5C"}) {
        const std::string page = UpdateListPage(course, packages);
        std::vector<PackageEntry> read;
        ASSERT_TRUE(ClientReads(page, &read)) << page;
        ASSERT_EQ(read.size(), packages.size());
        for (std::size_t i = 0; i < read.size(); ++i) {
            EXPECT_EQ(read[i].code, packages[i].code);
            EXPECT_EQ(read[i].size, std::to_string(packages[i].size));
            EXPECT_EQ(PercentDecode(read[i].serverPath), course + "/" + packages[i].code + ".rar");
        }
    }
    EXPECT_EQ(PackageServerPath("math", "03052301"), "math/03052301.rar");
}

TEST(UpdatePagesTest, OtherPagesHoldNoListAndOnlyRefusalsSayPermission) {
    std::vector<PackageEntry> read;
    const std::string none = UpdateListPage("math", {});
    EXPECT_EQ(none.find('&'), std::string::npos);
    EXPECT_EQ(none.find("权限"), std::string::npos);
    EXPECT_EQ(UpdateListPage("math", {{"03052301", 1}}).find("权限"), std::string::npos);
    for (bool given : {false, true}) {
        const std::string refusal = AccessDeniedPage(given);
        EXPECT_NE(refusal.find("权限"), std::string::npos);
        EXPECT_FALSE(ClientReads(refusal, &read));
    }
    for (const std::string& page : {NotFoundPage(), MethodNotAllowedPage()}) {
        EXPECT_EQ(page.find('&'), std::string::npos);
        EXPECT_EQ(page.find("权限"), std::string::npos);
    }
}

TEST(UpdatePagesTest, DatesAndDefaultNotes) {
    EXPECT_EQ(CodeDateText("03052301"), "2003年5月23日第1次");
    EXPECT_EQ(CodeDateText("03100210"), "2003年10月2日第10次");
    const std::string notes = DefaultNotesPage("a&b", "03052301");
    EXPECT_NE(notes.find("a&amp;b"), std::string::npos);
    EXPECT_NE(notes.find("2003年5月23日第1次"), std::string::npos);
    EXPECT_TRUE(text::IsValidGbk(notes));
}

}  // namespace
