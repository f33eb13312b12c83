// Where the launcher finds its course and the command line it starts.
#include <gtest/gtest.h>

#include "lesson/course_start.h"

namespace {

TEST(CourseCommandLineTest, APageOpensInTheCoursesBrowser) {
    EXPECT_EQ(CourseCommandLine("C:\\course\\", "index.htm"),
              "C:\\course\\systemInfo\\soft\\iexplore.exe C:\\course\\index.htm");
    EXPECT_EQ(CourseCommandLine("D:\\课件\\", "首页\\开始.htm"),
              "D:\\课件\\systemInfo\\soft\\iexplore.exe D:\\课件\\首页\\开始.htm");
    // Blanks stay as they are: no quotes around either path.
    EXPECT_EQ(CourseCommandLine("C:\\my courses\\c 1\\", "start page.htm"),
              "C:\\my courses\\c 1\\systemInfo\\soft\\iexplore.exe "
              "C:\\my courses\\c 1\\start page.htm");
    // No default entry: the browser gets the course folder itself.
    EXPECT_EQ(CourseCommandLine("C:\\course\\", ""),
              "C:\\course\\systemInfo\\soft\\iexplore.exe C:\\course\\");
}

TEST(CourseCommandLineTest, AnEntryHoldingDotExeStartsTheCoursesOwnProgram) {
    EXPECT_TRUE(NamesCourseProgram("start.exe"));
    EXPECT_EQ(CourseCommandLine("C:\\course\\", "start.exe"), "C:\\course\\start.exe");
    EXPECT_EQ(CourseCommandLine("C:\\my courses\\c1\\", "bin\\run me.exe"),
              "C:\\my courses\\c1\\bin\\run me.exe");
    // Anywhere in the entry, arguments and all.
    EXPECT_TRUE(NamesCourseProgram("play.exe intro.htm"));
    EXPECT_TRUE(NamesCourseProgram("a.exe.htm"));
    // Only in exactly that letter case: the rest are pages for the browser.
    for (const char* page : {"START.EXE", "start.Exe", "start.ex", "startexe", "exe.htm"}) {
        EXPECT_FALSE(NamesCourseProgram(page)) << page;
    }
    EXPECT_EQ(CourseCommandLine("C:\\course\\", "START.EXE"),
              "C:\\course\\systemInfo\\soft\\iexplore.exe C:\\course\\START.EXE");
}

TEST(CourseFolderTest, IsTheFolderAboveTheLaunchersOwn) {
    EXPECT_EQ(CourseDirOfLauncher("C:\\A\\B\\lesson.exe"), "C:\\A\\");
    EXPECT_EQ(SetupIniPathOf("C:\\A\\"), "C:\\A\\setup.ini");
    EXPECT_EQ(CourseDirOfLauncher("C:\\my courses\\c1\\bin\\lesson"), "C:\\my courses\\c1\\");
    // A launcher in the course folder itself looks one folder too high.
    EXPECT_EQ(CourseDirOfLauncher("C:\\courses\\c1\\lesson"), "C:\\courses\\");
    // A double-byte character whose second byte is 0x5C is no separator.
    EXPECT_EQ(CourseDirOfLauncher("D:\\课\x95\x5C\\bin\\lesson"), "D:\\课\x95\x5C\\");
}

TEST(CourseFolderTest, TheWholePathCountsHoweverLong) {
    const std::string course = "C:\\" + std::string(120, 'x') + "\\" + std::string(80, 'y') + "\\";
    EXPECT_EQ(CourseDirOfLauncher(course + "bin\\lesson"), course);
    EXPECT_EQ(SetupIniPathOf(course), course + "setup.ini");
}

TEST(CourseFolderTest, ALauncherWithoutAFolderAboveHasNoSetupIni) {
    EXPECT_EQ(CourseDirOfLauncher("C:\\lesson"), "");
    EXPECT_EQ(CourseDirOfLauncher("lesson"), "");
    EXPECT_EQ(SetupIniPathOf(""), "");
}

}  // namespace
