#include "tools/setup/course_disc.h"

#include <gtest/gtest.h>

namespace {

const std::string kDiscIni =
    "courseid=hx01\r\ncoursename=化学\r\nversion=1\r\ntotalcd=2\r\ncd1=3\r\nnowcd=1\r\n"
    "insteadfile=wmvpage\r\nextendname=wmv\r\ndefault=index.htm\r\n";

TEST(CourseDiscTest, ReadsTheDescriptionLikeTheInstaller) {
    DiscDescription d;
    std::string error;
    ASSERT_TRUE(ParseDiscSetupIni(kDiscIni, &d, &error)) << error;
    EXPECT_EQ(d.courseId, "hx01");
    EXPECT_EQ(d.courseName, "化学");
    EXPECT_EQ(d.totalCd, 2);
    EXPECT_EQ(d.insteadFile, "wmvpage");
    EXPECT_EQ(d.extendName, "wmv");
    EXPECT_EQ(d.defaultPage, "index.htm");

    // Blanks around "=" and LF line ends are read as the installer reads them.
    ASSERT_TRUE(
        ParseDiscSetupIni("courseid = hx02 \ncoursename = 化学 \ntotalcd= 1\ninsteadfile=a\n"
                          "extendname=asf",
                          &d, &error))
        << error;
    EXPECT_EQ(d.courseId, "hx02");
    EXPECT_EQ(d.courseName, "化学");
    EXPECT_EQ(d.totalCd, 1);
}

TEST(CourseDiscTest, RefusesDescriptionsTheInstallerCantUse) {
    const std::string tail = "insteadfile=a\r\nextendname=wmv\r\n";
    const std::vector<std::string> bad = {
        "coursename=x\r\ntotalcd=2\r\n" + tail,                           // no courseid
        "courseid=..\\..\\x\r\ncoursename=x\r\ntotalcd=2\r\n" + tail,     // path in the id
        "courseid=a/b\r\ncoursename=x\r\ntotalcd=2\r\n" + tail,           //
        "courseid=a\r\ncoursename=x\r\ntotalcd\r\n" + tail,               // key line without "="
        "courseid=a\r\ncoursename=x\r\ntotalcd=0\r\n" + tail,             //
        "courseid=a\r\ncoursename=x\r\ntotalcd=two\r\n" + tail,           //
        "courseid=a\r\ncoursename=x\r\ntotalcd=100\r\n" + tail,           //
        "courseid=a\r\ntotalcd=2\r\n" + tail,                             // no coursename
        "courseid=a\r\ncoursename=x\r\ntotalcd=2\r\nextendname=wmv\r\n",  // no insteadfile
        "courseid=a\r\ncoursename=x\r\ntotalcd=2\r\ninsteadfile=a\r\n",   // no extendname
    };
    for (const std::string& ini : bad) {
        DiscDescription d;
        std::string error;
        EXPECT_FALSE(ParseDiscSetupIni(ini, &d, &error)) << ini;
        EXPECT_FALSE(error.empty());
    }
}

TEST(CourseDiscTest, CourseIdMustNameAFolder) {
    EXPECT_EQ(CheckCourseId("jsjyy01"), "");
    EXPECT_EQ(CheckCourseId("化学01"), "");
    // A double-byte character whose trail byte is 0x5C is not a backslash.
    EXPECT_EQ(CheckCourseId("a\x81\x5C"), "");
    for (const std::string& id :
         {std::string(""), std::string("."), std::string(".."), std::string("a\\b"),
          std::string("a:b"), std::string(" a"), std::string("a."), std::string("a\x01"),
          std::string(65, 'x'), std::string("\xFF\xFF")}) {
        EXPECT_NE(CheckCourseId(id), "") << id;
    }
}

TEST(CourseDiscTest, StartChapterFollowsTheCourseName) {
    EXPECT_EQ(DiscStartChapter("coursename = \"x\"\r\nstartchapter = 4\r\n"), 4);
    EXPECT_EQ(DiscStartChapter("CourseName = \"x\"\nStartChapter=+1 ' first\n"), 1);
    EXPECT_EQ(DiscStartChapter("startchapter = 4\ncoursename = \"x\"\n"), 0);
    EXPECT_EQ(DiscStartChapter("coursename = \"x\"\nstartchapter\n"), 0);
    EXPECT_EQ(DiscStartChapter(""), 0);
}

}  // namespace
