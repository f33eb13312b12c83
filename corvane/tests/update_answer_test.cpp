// The update's text rules apart from any server: the query, the answer's
// kinds and fields, the package split, the offer, the percentage and the
// local archive name.
#include "corvane/update_answer.h"

#include <gtest/gtest.h>

namespace {

const std::string kPage = "<html><body>更新列表";

TEST(UpdateQuery, ValuesAreEncodedAndAnEmptyVersionIsZero) {
    EXPECT_EQ(ComposeQueryPath("math", "", "alice"),
              "/rdcenter/newweb/sql.asp?fileid=math&versnumber=0&userid=alice");
    // A blank, "&" and "=" in a user name and GBK bytes stay one value.
    EXPECT_EQ(ComposeQueryPath("化学", "03052301", "a b&c=d"),
              "/rdcenter/newweb/sql.asp?fileid=%BB%AF%D1%A7&versnumber=03052301&userid="
              "a%20b%26c%3Dd");
    EXPECT_EQ(ComposePackagePath("cw/a b.rar"), "/rdcenter/newweb/cw/a%20b.rar");
    EXPECT_EQ(ComposePackagePath("x.rar"), "/rdcenter/newweb/x.rar");
    // The server's own escapes go out as they are; a "%" that starts none
    // is escaped itself.
    EXPECT_EQ(ComposePackagePath("%CA%FD%20%d1%a7/03052301.rar"),
              "/rdcenter/newweb/%CA%FD%20%d1%a7/03052301.rar");
    EXPECT_EQ(ComposePackagePath("100%/a%zz%4.rar%"), "/rdcenter/newweb/100%25/a%25zz%254.rar%25");
    EXPECT_EQ(ComposePackagePath("数学/a.rar"), "/rdcenter/newweb/%CA%FD%D1%A7/a.rar");
}

TEST(UpdateAnswer, ChunksEndAtAZeroByte) {
    std::string answer;
    AppendAnswerChunk(&answer, "ab\0cd", 5);
    AppendAnswerChunk(&answer, "ef", 2);
    EXPECT_EQ(answer, "abef");
}

TEST(UpdateAnswer, KindsOfAnswer) {
    EXPECT_EQ(ClassifyAnswer("您没有权限 &03052301a.rar 1</body>"), AnswerKind::LoginRefused);
    EXPECT_EQ(ClassifyAnswer(kPage + "</body>"), AnswerKind::NoUpdate);
    EXPECT_EQ(ClassifyAnswer(kPage + "&</body>"), AnswerKind::UpdateList);
}

TEST(UpdateAnswer, FieldsAreSplitFromTheRight) {
    const std::string answer = kPage + "&03052301cw/a.rar 1200&03060501cw/b.rar 800 </body></html>";
    std::vector<std::string> fields = SplitAnswerFields(answer);
    ASSERT_EQ(CountFields(fields), 2u);
    EXPECT_EQ(fields[1], "03052301cw/a.rar 1200");
    EXPECT_EQ(fields[0], "03060501cw/b.rar 800 ");

    std::vector<PackageEntry> packages;
    std::int64_t total = 0;
    ASSERT_TRUE(ParsePackages(fields, 2, &packages, &total));
    ASSERT_EQ(packages.size(), 2u);
    EXPECT_EQ(packages[0].serverPath, "cw/a.rar");
    EXPECT_EQ(packages[0].code, "03052301");
    EXPECT_EQ(packages[0].size, "1200");
    EXPECT_EQ(packages[1].serverPath, "cw/b.rar");
    EXPECT_EQ(packages[1].size, "800");
    EXPECT_EQ(total, 2000);
    EXPECT_EQ(OfferText(total),
              "此课程有更新内容。\n\n文件大小：                    1 KB\n\n"
              "下载时间(以28kbps下载速度计)：1 秒");
}

TEST(UpdateAnswer, ListsWithoutEndOrEndingInAnEmptyFieldHaveNoPackages) {
    EXPECT_TRUE(SplitAnswerFields(kPage + "&03052301a.rar 1").empty());
    EXPECT_EQ(CountFields(SplitAnswerFields(kPage + "&03052301a.rar 1&</body>")), 0u);
    // An empty field in the middle: only the fields to its right count.
    EXPECT_EQ(CountFields(SplitAnswerFields(kPage + "&03052301a.rar 1&&03060501b.rar 2</body>")),
              1u);
    EXPECT_EQ(OfferText(0),
              "此课程有更新内容。\n\n文件大小：                    0 KB\n\n"
              "下载时间(以28kbps下载速度计)：1 秒");
}

TEST(UpdateAnswer, AFieldWithoutLowerCaseRarFailsTheSplit) {
    std::vector<PackageEntry> packages;
    std::int64_t total = 0;
    EXPECT_FALSE(ParsePackages({"03052301cw/a.RAR 10"}, 1, &packages, &total));
    // A size text holding ".rar" again keeps what follows it.
    ASSERT_TRUE(ParsePackages({"03052301a.rar x.rar77"}, 1, &packages, &total));
    EXPECT_EQ(packages[0].size, "77");
    EXPECT_EQ(total, 77);
}

TEST(UpdateAnswer, ACodeThatIsNotEightDigitsFailsTheSplit) {
    std::vector<PackageEntry> packages;
    std::int64_t total = 0;
    // Markup, letters, a short field, blanks inside: none is a code, and one
    // such field fails the whole answer.
    for (const char* field :
         {"<b>x</b>math/a.rar 5", "0305230Xmath/a.rar 5", "a.rar 5", "0305 301math/a.rar 5",
          "-3052301math/a.rar 5", " 3052301math/a.rar 5"}) {
        EXPECT_FALSE(ParsePackages({"03052301math/b.rar 1", field}, 2, &packages, &total)) << field;
    }
    ASSERT_TRUE(ParsePackages({"03052301math/b.rar 1"}, 1, &packages, &total));
    EXPECT_EQ(packages[0].code, "03052301");
}

TEST(UpdateAnswer, MoreThanAHundredFieldsTakeTheOldestHundred) {
    std::string answer = kPage;
    for (int i = 1; i <= 150; ++i)
        answer += "&" + std::to_string(10000000 + i) + "p" + std::to_string(i) + ".rar 1";
    answer += "</body>";
    std::vector<std::string> fields = SplitAnswerFields(answer);
    ASSERT_EQ(CountFields(fields), 150u);
    std::vector<PackageEntry> packages;
    std::int64_t total = 0;
    ASSERT_TRUE(ParsePackages(fields, 150, &packages, &total));
    ASSERT_EQ(packages.size(), kMaxPackages);
    EXPECT_EQ(packages.front().code, "10000001");
    EXPECT_EQ(packages.back().code, "10000100");
    EXPECT_EQ(total, 100);
}

TEST(UpdateOffer, SizesBeyondThirtyTwoBitsAreRight) {
    // Up to 268,435,455 bytes the figures are those of 32-bit arithmetic.
    EXPECT_NE(OfferText(1000000).find("976 KB"), std::string::npos);
    EXPECT_NE(OfferText(1000000).find("：286 秒"), std::string::npos);
    EXPECT_NE(OfferText(268435455).find("：76696 秒"), std::string::npos);
    EXPECT_NE(OfferText(300000000).find("292968 KB"), std::string::npos);
    EXPECT_NE(OfferText(300000000).find("：85715 秒"), std::string::npos);
    EXPECT_EQ(SizeOf("99999999999999999999999"), INT64_MAX);
    EXPECT_NE(OfferText(SizeOf("99999999999999999999999")).find("KB"), std::string::npos);
}

TEST(DownloadProgress, PercentInSixtyFourBitsAndNeverDividedByZero) {
    EXPECT_EQ(DownloadPercent(21474837, 21474837), 100);
    EXPECT_EQ(DownloadPercent(150000000, 300000000), 50);
    EXPECT_EQ(DownloadPercent(10, 0), 0);
    EXPECT_EQ(DownloadPercent(0, 100), 0);
    // More data than announced passes 100 without ending at it.
    EXPECT_EQ(DownloadPercent(300, 200), 150);
}

TEST(LocalArchiveName, OnlyANameInsideTheTempFolder) {
    EXPECT_EQ(SafeLocalArchiveName("cw/sub/03052301.rar"), "03052301.rar");
    EXPECT_EQ(SafeLocalArchiveName("a.rar"), "a.rar");
    EXPECT_EQ(SafeLocalArchiveName("cw/化学.rar"), "化学.rar");
    for (const char* bad : {"", "cw/", "..", "cw/..", "cw/.", "x\\..\\..\\a.rar", "C:a.rar",
                            "a\x01.rar", "\xFF\xFF.rar"}) {
        EXPECT_EQ(SafeLocalArchiveName(bad), "") << bad;
    }
}

}  // namespace
