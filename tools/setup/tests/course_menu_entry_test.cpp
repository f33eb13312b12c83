#include "tools/setup/course_menu_entry.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/text/text.h"
#include "tools/setup/desktop_entry.h"
#include "tools/setup/tests/setup_fixture.h"

namespace fs = std::filesystem;

namespace {

class CourseMenuEntryTest : public SetupTest {
protected:
    void SetUp() override {
        SetupTest::SetUp();
        for (const char* name : {"XDG_DATA_HOME", "HOME"}) {
            const char* v = std::getenv(name);
            m_saved.push_back({name, v ? std::optional<std::string>(v) : std::nullopt});
        }
        setenv("XDG_DATA_HOME", (m_root + "/data").c_str(), 1);
        setenv("HOME", (m_root + "/home").c_str(), 1);
    }
    void TearDown() override {
        for (const auto& [name, value] : m_saved) {
            if (value)
                setenv(name.c_str(), value->c_str(), 1);
            else
                unsetenv(name.c_str());
        }
        SetupTest::TearDown();
    }
    CourseMenuEntry Entry(const std::string& dir) {
        CourseMenuEntry e;
        e.courseId = "hx01";
        e.courseName = "化学";
        e.courseDir = dir;
        e.launcher = dir + "/bin/lesson";
        e.icon = "telvora-course";
        return e;
    }
    std::string Write(const CourseMenuEntry& e) {
        std::string path, error;
        EXPECT_TRUE(WriteCourseMenuEntry(e, &path, &error)) << error;
        return path;
    }

    std::vector<std::pair<std::string, std::optional<std::string>>> m_saved;
};

TEST_F(CourseMenuEntryTest, TheApplicationsFolderFollowsTheBaseDirectoryRules) {
    EXPECT_EQ(UserApplicationsFolder(), m_root + "/data/applications");
    // A relative XDG_DATA_HOME is to be ignored.
    setenv("XDG_DATA_HOME", "relative/data", 1);
    EXPECT_EQ(UserApplicationsFolder(), m_root + "/home/.local/share/applications");
    unsetenv("XDG_DATA_HOME");
    EXPECT_EQ(UserApplicationsFolder(), m_root + "/home/.local/share/applications");
    unsetenv("HOME");
    EXPECT_EQ(UserApplicationsFolder(), "");
    std::string path, error;
    EXPECT_FALSE(WriteCourseMenuEntry(Entry(m_root + "/c/hx01"), &path, &error));
    EXPECT_FALSE(error.empty());
}

TEST_F(CourseMenuEntryTest, WritesTheEntryAndFindsItForItsOwnFolderOnly) {
    const std::string dir = m_root + "/my courses/hx01";
    fs::create_directories(dir);
    CourseMenuEntry e = Entry(dir);
    e.prefix = m_root + "/prefix";
    const std::string path = Write(e);
    EXPECT_EQ(path, m_root + "/data/applications/telvora-hx01.desktop");
    const std::string text = ReadUnix(path);
    std::string value;
    ASSERT_TRUE(ReadDesktopEntryValue(text, "Name", &value));
    EXPECT_EQ(value, text::GbkToUtf8("化学"));
    ASSERT_TRUE(ReadDesktopEntryValue(text, "Exec", &value));
    EXPECT_EQ(value, "env TELVORA_PREFIX=" + m_root + "/prefix \"" + dir + "/bin/lesson\"");
    ASSERT_TRUE(ReadDesktopEntryValue(text, "TryExec", &value));
    EXPECT_EQ(value, dir + "/bin/lesson");

    EXPECT_EQ(FindCourseMenuEntry("hx01", dir), path);
    EXPECT_EQ(FindCourseMenuEntry("hx01", m_root + "/elsewhere/hx01"), "");
    EXPECT_EQ(FindCourseMenuEntry("sw01", dir), "");

    // Written again for a course in another place: replaced whole, and no
    // scratch file is left in the folder.
    fs::create_directories(m_root + "/c2/hx01");
    Write(Entry(m_root + "/c2/hx01"));
    EXPECT_EQ(FindCourseMenuEntry("hx01", dir), "");
    EXPECT_EQ(FindCourseMenuEntry("hx01", m_root + "/c2/hx01"), path);
    ASSERT_TRUE(ReadDesktopEntryValue(ReadUnix(path), "Exec", &value));
    EXPECT_EQ(value, m_root + "/c2/hx01/bin/lesson");
    int files = 0;
    for (const auto& entry : fs::directory_iterator(m_root + "/data/applications")) {
        ++files;
        EXPECT_EQ(entry.path().filename(), "telvora-hx01.desktop");
    }
    EXPECT_EQ(files, 1);
}

TEST_F(CourseMenuEntryTest, AnEntryThatIsNotOursIsNeverFound) {
    const std::string dir = m_root + "/c/hx01";
    fs::create_directories(dir);
    const std::string path = m_root + "/data/applications/telvora-hx01.desktop";
    // Someone's own entry of the same name, without the marks.
    WriteUnix(path, "[Desktop Entry]\nType=Application\nName=mine\nExec=/bin/true\n");
    EXPECT_EQ(FindCourseMenuEntry("hx01", dir), "");
    // Marks outside the entry's group do not count.
    WriteUnix(path, "[Desktop Entry]\nName=x\n[Other]\nX-Telvora-CourseId=hx01\nX-Telvora-Folder=" +
                        dir + "\n");
    EXPECT_EQ(FindCourseMenuEntry("hx01", dir), "");
    // A link in the entry's place is not followed.
    fs::remove(path);
    WriteUnix(m_root + "/real.desktop",
              "[Desktop Entry]\nX-Telvora-CourseId=hx01\nX-Telvora-Folder=" + dir + "\n");
    fs::create_symlink(m_root + "/real.desktop", path);
    EXPECT_EQ(FindCourseMenuEntry("hx01", dir), "");
}

TEST_F(CourseMenuEntryTest, TheIconIsTheThemesWhenInstalledAndAFileInTheBuildTree) {
    const std::string icon = "icons/hicolor/scalable/apps/telvora-course.svg";
    // Installed: <prefix>/lib/telvora beside <prefix>/share.
    fs::create_directories(m_root + "/usr/lib/telvora");
    WriteUnix(m_root + "/usr/share/" + icon, "<svg/>");
    EXPECT_EQ(CourseIconFor(m_root + "/usr/lib/telvora"), "telvora-course");
    // The build tree: bin/ beside share/.
    fs::create_directories(m_root + "/build/bin");
    WriteUnix(m_root + "/build/share/" + icon, "<svg/>");
    EXPECT_EQ(CourseIconFor(m_root + "/build/bin"), m_root + "/build/share/" + icon);
    // Neither: the name, which a theme may hold.
    fs::create_directories(m_root + "/bare/bin");
    EXPECT_EQ(CourseIconFor(m_root + "/bare/bin"), "telvora-course");
}

}  // namespace
