// The course's files as the browser serves them: the course folder found
// from a page, names found whatever their letter case, nothing outside.
#include "browser/app/course_files.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

class CourseFilesTest : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/tv-course-files-XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        m_root = tmpl;
        Write("course/setup.ini", "[setup]");
        Write("course/navbar/NavBar.htm", "nav");
        Write("course/content/video01/Lecture.ASF", "media");
        Write("secret.txt", "not the course's");
        fs::create_symlink(m_root + "/secret.txt", m_root + "/course/leak.txt");
        fs::create_symlink(m_root + "/course/navbar/NavBar.htm", m_root + "/course/nav.htm");
    }
    void TearDown() override { fs::remove_all(m_root); }
    void Write(const std::string& rel, const std::string& text) {
        fs::create_directories(fs::path(m_root + "/" + rel).parent_path());
        std::ofstream(m_root + "/" + rel) << text;
    }
    std::string m_root;
};

TEST_F(CourseFilesTest, TheCourseFolderHoldsSetupIni) {
    EXPECT_EQ(CCourseFiles::CourseFolderOf(m_root + "/course/navbar/NavBar.htm"),
              m_root + "/course");
    EXPECT_EQ(CCourseFiles::CourseFolderOf(m_root + "/course/content/video01/Lecture.ASF"),
              m_root + "/course");
    // Without one, the page's own folder.
    Write("loose/page.htm", "x");
    EXPECT_EQ(CCourseFiles::CourseFolderOf(m_root + "/loose/page.htm"), m_root + "/loose");
}

TEST_F(CourseFilesTest, NamesAreFoundInAnyCaseAndNothingOutsideIsServed) {
    CCourseFiles files(m_root + "/course");
    EXPECT_EQ(files.Resolve("/navbar/navbar.htm"), m_root + "/course/navbar/NavBar.htm");
    EXPECT_EQ(files.Resolve("/CONTENT/video01/lecture.asf"),
              m_root + "/course/content/video01/Lecture.ASF");
    EXPECT_EQ(files.Resolve("/nav.htm"), m_root + "/course/navbar/NavBar.htm");
    EXPECT_EQ(files.Resolve("/leak.txt"), std::nullopt);
    EXPECT_EQ(files.Resolve("/../secret.txt"), std::nullopt);
    EXPECT_EQ(files.Resolve("/navbar"), std::nullopt);
    EXPECT_EQ(files.Resolve("/missing.htm"), std::nullopt);
    EXPECT_EQ(files.UrlPathOf(m_root + "/course/navbar/NavBar.htm"), "/navbar/NavBar.htm");
    EXPECT_EQ(files.UrlPathOf(m_root + "/secret.txt"), std::nullopt);
}

TEST(CourseFileTypes, PagesScriptsAndMedia) {
    EXPECT_EQ(ContentTypeOf("/a/INDEX.HTM"), "text/html");
    EXPECT_EQ(ContentTypeOf("/left/items.vbs"), "application/javascript");
    EXPECT_EQ(ContentTypeOf("/x.unknown"), "application/octet-stream");
    EXPECT_TRUE(IsMediaName("/content/video01/lecture.WMV"));
    EXPECT_TRUE(IsMediaName("/a/b.asf?start=1"));
    EXPECT_FALSE(IsMediaName("/a.asf.htm"));
    EXPECT_FALSE(IsMediaName("/asf/page.htm"));
}

}  // namespace
