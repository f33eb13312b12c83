// The course's text formats apart from files: the setup.ini variants, the
// fixed-prefix readers, the CD counter line, the disc marks of items.vbs and
// the number rules.
#include "common/course_format.h"

#include <gtest/gtest.h>

#include <climits>

namespace {

using Problems = std::vector<CDescriptionParser::KeyLineProblem>;

// Feeds lines until the parser stops; returns how many it took.
std::size_t Feed(CDescriptionParser& parser, const std::vector<std::string>& lines,
                 Problems* problems) {
    std::size_t taken = 0;
    for (const std::string& line : lines) {
        ++taken;
        if (!parser.TakeLine(line, problems))
            break;
    }
    return taken;
}

TEST(DescriptionParser, LauncherVariantTestsEveryKeyOnEveryLine) {
    CourseDescription d;
    CDescriptionParser parser(DescriptionVariant::Launcher, &d);
    Problems problems;
    // A key named defaultversion sets both values; courseid = 12 is trimmed.
    EXPECT_EQ(
        Feed(parser, {"defaultversion=3", "courseid = 12 ", "coursename=x", "nowcd=1"}, &problems),
        4u);
    EXPECT_EQ(d.version, "3");
    EXPECT_EQ(d.defaultPage, "3");
    EXPECT_EQ(d.courseId, "12");
    EXPECT_EQ(d.courseName, "");  // not a key of the launcher
    EXPECT_TRUE(problems.empty());
}

TEST(DescriptionParser, EachVariantNamesItsOwnMessageForAKeyWithoutEquals) {
    Problems problems;
    CourseDescription start;
    CDescriptionParser(DescriptionVariant::Start, &start).TakeLine("totalcd 2", &problems);
    CourseDescription worker;
    CDescriptionParser(DescriptionVariant::Worker, &worker).TakeLine(" extendname ", &problems);
    CourseDescription launcher;
    CDescriptionParser(DescriptionVariant::Launcher, &launcher).TakeLine("version", &problems);
    ASSERT_EQ(problems.size(), 3u);
    EXPECT_STREQ(problems[0].key, "totalcd");
    EXPECT_STREQ(problems[0].message, "setup.ini file version error");
    EXPECT_STREQ(problems[1].message, "setup.ini file insteadfile error");
    EXPECT_STREQ(problems[2].message, "ini file version error");
    EXPECT_EQ(start.totalCd, "totalcd 2");
    EXPECT_EQ(worker.extendName, "extendname");
    EXPECT_TRUE(start.keyLineError && worker.keyLineError && launcher.keyLineError);
}

TEST(DescriptionParser, StartVariantStopsAfterTheFirstNowCdLineOthersDoNot) {
    const std::vector<std::string> lines = {"totalcd=2", "nowcd=2", "nowcd=1", "courseid=x"};
    Problems problems;
    CourseDescription start;
    CDescriptionParser first(DescriptionVariant::Start, &start);
    EXPECT_EQ(Feed(first, lines, &problems), 2u);
    EXPECT_TRUE(start.lastCd);
    CourseDescription worker;
    CDescriptionParser all(DescriptionVariant::Worker, &worker);
    EXPECT_EQ(Feed(all, lines, &problems), 4u);
    EXPECT_EQ(worker.nowCd, "1");
    EXPECT_FALSE(worker.lastCd);  // decided at the last nowcd line
    EXPECT_EQ(worker.courseId, "x");
}

TEST(DescriptionParser, KeysNeverFoundKeepTheirEarlierValues) {
    CourseDescription d;
    d.courseName = "earlier";
    d.totalCd = "3";
    Problems problems;
    CDescriptionParser(DescriptionVariant::Start, &d).TakeLine("nowcd=3", &problems);
    EXPECT_EQ(d.courseName, "earlier");
    EXPECT_TRUE(d.lastCd);
    EXPECT_TRUE(IsLastCd("Ab", "aB"));
    EXPECT_FALSE(IsLastCd("2", "02"));
}

TEST(FixedPrefixReaders, CutTheKeyLengthFromTheLine) {
    MediaLookupValues media;
    EXPECT_TRUE(TakeMediaLookupLine("coursename = 化学 \t", &media));
    EXPECT_EQ(media.courseName, "= 化学");
    // The first key found wins: a totalcd line that also holds cd1 is totalcd.
    EXPECT_TRUE(TakeMediaLookupLine("totalcd=2 ;cd1", &media));
    EXPECT_EQ(media.totalCd, "2 ;cd1");
    EXPECT_TRUE(TakeMediaLookupLine("cd", &media));
    EXPECT_FALSE(TakeMediaLookupLine("cd1", &media));  // shorter than the prefix
    EXPECT_EQ(media.cd1, "");

    UpdateValues update;
    EXPECT_TRUE(TakeUpdateInfoLine("  coursename=x", &update));
    EXPECT_EQ(update.courseName, "e=x");  // leading blanks are not trimmed
    EXPECT_FALSE(TakeUpdateInfoLine("default=index.htm  ", &update));
    EXPECT_EQ(update.defaultPage, "index.htm");
}

TEST(CdCounter, TheNumberAfterTheTextBeforeItsFirstDigitGoesUpByOne) {
    EXPECT_EQ(AdvancedNowCdLine("nowcd=1"), "nowcd=2");
    EXPECT_EQ(AdvancedNowCdLine("nowcd = 9 ; cd"), "nowcd = 10");
    EXPECT_EQ(AdvancedNowCdLine("nowcd=007"), "nowcd=8");
    EXPECT_EQ(AdvancedNowCdLine("nowcd=2147483646"), "nowcd=2147483647");
    EXPECT_EQ(AdvancedNowCdLine("nowcd=x"), std::nullopt);
    // No successor an int can hold: the counter can't advance.
    EXPECT_EQ(AdvancedNowCdLine("nowcd=2147483647"), std::nullopt);
    EXPECT_EQ(AdvancedNowCdLine("nowcd=99999999999999999999"), std::nullopt);
}

std::optional<int> DiscStart(const std::vector<std::string>& lines, const char* expected,
                             DiscItems* items) {
    std::string name = expected ? expected : "";
    for (const std::string& line : lines) {
        if (!TakeDiscItemsLine(line, expected ? &name : nullptr, items))
            break;
    }
    return items->hasStartChapter ? std::optional<int>(items->startChapter) : std::nullopt;
}

TEST(DiscItemsLines, TheStartChapterAfterAMatchingNameDecides) {
    DiscItems items;
    EXPECT_EQ(DiscStart({"StartChapter = 9", "CourseName = \"ABC\"", "startchapter = 3 ' x"}, "abc",
                        &items),
              3);
    EXPECT_TRUE(items.nameMatched);
    EXPECT_EQ(items.cdCourseName, "abc");

    DiscItems other;
    EXPECT_EQ(DiscStart({"coursename = \"xyz\"", "startchapter = 3"}, "abc", &other), std::nullopt);
    EXPECT_TRUE(other.wrongCourse);
    EXPECT_EQ(other.cdCourseName, "xyz");

    // A character after the closing quote stays in the name, which then differs.
    DiscItems trailing;
    DiscStart({"coursename = \"abc\" ", "startchapter = 3"}, "abc", &trailing);
    EXPECT_TRUE(trailing.wrongCourse);
    EXPECT_EQ(trailing.cdCourseName, "abc\"");

    // Without an expected name any course counts; no "=" reads as 0.
    DiscItems any;
    EXPECT_EQ(DiscStart({"coursename = \"q\"", "startchapter"}, nullptr, &any), 0);
}

TEST(DiscItemsLines, AWordInsideADoubleByteCharacterIsNotFound) {
    // 0x81 0x63 is one character whose trail byte is 'c'.
    DiscItems items;
    EXPECT_TRUE(TakeDiscItemsLine(std::string("\x81") + "coursename=\"a\"", nullptr, &items));
    EXPECT_FALSE(items.nameMatched);
}

TEST(Numbers, LeadingIntegerReadsLikeAtoiWithoutOverflow) {
    EXPECT_EQ(LeadingInteger(" 2"), 2);
    EXPECT_EQ(LeadingInteger("\t+7x"), 7);
    EXPECT_EQ(LeadingInteger("-3"), -3);
    EXPECT_EQ(LeadingInteger("abc"), 0);
    EXPECT_EQ(LeadingInteger(""), 0);
    EXPECT_EQ(LeadingInteger("99999999999999999999"), INT_MAX);
    EXPECT_EQ(LeadingInteger("-99999999999999999999"), INT_MIN);
}

TEST(Numbers, WholeNumberTakesOnlyDigitsThatFit) {
    EXPECT_EQ(WholeNumber("02"), 2);
    EXPECT_EQ(WholeNumber("0"), 0);
    EXPECT_EQ(WholeNumber("00000000000000000012"), 12);
    EXPECT_EQ(WholeNumber("2147483647"), INT_MAX);
    EXPECT_EQ(WholeNumber("2147483648"), std::nullopt);
    for (const char* bad : {"", " 1", "1 ", "+1", "-1", "1x", "二"})
        EXPECT_EQ(WholeNumber(bad), std::nullopt) << bad;
}

TEST(TextLines, SplitAsTheFileReaderDoes) {
    EXPECT_EQ(SplitTextLines("a\r\nb\n\nc"), (std::vector<std::string>{"a", "b", "", "c"}));
    EXPECT_EQ(SplitTextLines("a\r\n"), std::vector<std::string>{"a"});
    // A CR is dropped only before an LF; one at the very end stays.
    EXPECT_EQ(SplitTextLines("a\rb\r"), std::vector<std::string>{"a\rb\r"});
    EXPECT_TRUE(SplitTextLines("").empty());
}

TEST(ProgramFolder, BaseIsTheFolderAboveTheProgramsFolder) {
    EXPECT_EQ(BaseDirOf("C:\\A\\B\\install.exe"), "C:\\A\\");
    EXPECT_EQ(BaseDirOf("C:\\course\\bin\\install"), "C:\\course\\");
    EXPECT_EQ(BaseDirOf("D:\\install.exe"), "");
    EXPECT_EQ(BaseDirOf("install"), "");
    // 0x95 0x5C: a character whose trail byte is a backslash.
    EXPECT_EQ(BaseDirOf("C:\\\x95\x5C\\bin\\install"), "C:\\\x95\x5C\\");
    EXPECT_EQ(BaseDirOf("C:\\a\x81\x5C\\bin\\lesson"), "C:\\a\x81\x5C\\");
}

}  // namespace

// The installed description starts at the first CD, with its nowcd line
// where the installer's start reader meets it.
TEST(InstalledSetupIniTest, OneNowCdLineAfterTheKeysTheStartReaderNeeds) {
    // nowcd before totalcd, and a totalcd with a leading zero: the installer
    // would never see its last CD.
    EXPECT_EQ(InstalledSetupIni({"courseid=a", "coursename=x", "nowcd=2", "totalcd=02", "; note",
                                 "insteadfile=f", "extendname=wmv"},
                                2),
              "courseid=a\r\ncoursename=x\r\ntotalcd=2\r\nnowcd=1\r\n; note\r\ninsteadfile=f\r\n"
              "extendname=wmv\r\n");
    // A nowcd line in its place stays there; a second one goes.
    EXPECT_EQ(
        InstalledSetupIni(
            {"courseid=hx01", "totalcd=2", "cd1=3", "nowcd=2", "nowcd=3", "default=index.htm"}, 2),
        "courseid=hx01\r\ntotalcd=2\r\ncd1=3\r\nnowcd=1\r\ndefault=index.htm\r\n");
    // None at all: one after the last key.
    EXPECT_EQ(InstalledSetupIni({"courseid=a", "coursename=x", "totalcd=1", "insteadfile=f"}, 1),
              "courseid=a\r\ncoursename=x\r\ntotalcd=1\r\nnowcd=1\r\ninsteadfile=f\r\n");
    // No key lines: it comes first.
    EXPECT_EQ(InstalledSetupIni({"; only a note"}, 1), "nowcd=1\r\n; only a note\r\n");
}
