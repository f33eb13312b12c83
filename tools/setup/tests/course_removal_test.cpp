#include "tools/setup/course_removal.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "common/program_codes.h"
#include "platform/registry/registry.h"
#include "tools/setup/tests/setup_fixture.h"

namespace fs = std::filesystem;

namespace {

class CourseRemovalTest : public SetupTest {
protected:
    // A course folder as the setup step leaves it: setup.ini and some pages.
    std::string MakeCourse(const std::string& dir, const std::string& id = "hx01",
                           const std::string& iniName = "setup.ini") {
        WriteUnix(dir + "/" + iniName, "courseid=" + id + "\r\ncoursename=化学\r\ntotalcd=1\r\n");
        WriteUnix(dir + "/index.htm", "<html></html>");
        WriteUnix(dir + "/content/ch01/page.htm", "<html></html>");
        return dir;
    }
    bool Check(const std::string& dir, const std::string& id,
               const std::vector<GuardedFolder>& guarded = {},
               const std::vector<std::string>& others = {}, const std::string& mounts = "") {
        m_error.clear();
        const bool ok = CheckCourseFolderToRemove(dir, id, guarded, others, mounts, &m_error);
        EXPECT_EQ(ok, m_error.empty()) << m_error;
        return ok;
    }
    std::string m_error;
};

TEST_F(CourseRemovalTest, AcceptsTheCoursesOwnFolder) {
    const std::string course = MakeCourse(m_root + "/courses/hx01");
    EXPECT_TRUE(Check(course, "hx01", {{m_root + "/home", "home"}}));
    // The registry compares ids without regard to case, and so do the programs
    // the description's name.
    EXPECT_TRUE(Check(course + "/", "HX01"));
    const std::string other = MakeCourse(m_root + "/courses/sw01", "sw01", "SETUP.INI");
    EXPECT_TRUE(Check(other, "sw01"));
    std::string name;
    EXPECT_EQ(CourseIdInFolder(other, &name), "sw01");
    EXPECT_EQ(name, "化学");
}

TEST_F(CourseRemovalTest, RefusesTheRootAndTheHomeFolderWhateverTheyHold) {
    EXPECT_FALSE(Check("/", "hx01"));
    EXPECT_NE(m_error.find("root"), std::string::npos) << m_error;

    // A home folder that holds a setup.ini naming the course is still refused,
    // and so is every folder above it.
    const std::string home = MakeCourse(m_root + "/home/u");
    MakeCourse(m_root + "/home");
    MakeCourse(m_root);
    const std::vector<GuardedFolder> guarded = {{home, "your home folder"},
                                                {m_root + "/prefix", "the prefix"}};
    EXPECT_FALSE(Check(home, "hx01", guarded));
    EXPECT_NE(m_error.find(" is your home folder"), std::string::npos) << m_error;
    EXPECT_FALSE(Check(m_root + "/home", "hx01", guarded));
    EXPECT_FALSE(Check(m_root, "hx01", guarded));
    EXPECT_NE(m_error.find(" holds your home folder"), std::string::npos) << m_error;
    // Reached another way: through "..", or through a link to it.
    EXPECT_FALSE(Check(m_root + "/courses/../home/u", "hx01", guarded));
    fs::create_directories(m_root + "/courses");
    fs::create_directory_symlink(home, m_root + "/courses/hx01");
    EXPECT_FALSE(Check(m_root + "/courses/hx01", "hx01"));
    EXPECT_NE(m_error.find("symbolic link"), std::string::npos) << m_error;
    // The prefix, which holds the registry, is guarded the same way.
    MakeCourse(m_root + "/prefix");
    EXPECT_FALSE(Check(m_root + "/prefix", "hx01", guarded));
}

TEST_F(CourseRemovalTest, RefusesAFolderWithoutThatCoursesSetupIni) {
    fs::create_directories(m_root + "/empty");
    EXPECT_FALSE(Check(m_root + "/empty", "hx01"));
    EXPECT_NE(m_error.find("setup.ini"), std::string::npos) << m_error;

    const std::string other = MakeCourse(m_root + "/other", "jsjyy01");
    EXPECT_FALSE(Check(other, "hx01"));
    EXPECT_NE(m_error.find("jsjyy01"), std::string::npos) << m_error;

    // A description without a courseid line names no course.
    WriteUnix(m_root + "/noid/setup.ini", "coursename=x\r\n");
    EXPECT_FALSE(Check(m_root + "/noid", "hx01"));

    // A setup.ini lent by a link, or a folder of that name, is not the course's.
    const std::string right = MakeCourse(m_root + "/right");
    fs::create_directories(m_root + "/lent");
    fs::create_symlink(right + "/setup.ini", m_root + "/lent/setup.ini");
    EXPECT_FALSE(Check(m_root + "/lent", "hx01"));
    fs::create_directories(m_root + "/dir/setup.ini");
    EXPECT_FALSE(Check(m_root + "/dir", "hx01"));

    // Paths that are not a folder.
    EXPECT_FALSE(Check("relative/hx01", "hx01"));
    EXPECT_FALSE(Check("", "hx01"));
    EXPECT_FALSE(Check(m_root + "/missing", "hx01"));
    EXPECT_FALSE(Check(right + "/index.htm", "hx01"));
}

TEST_F(CourseRemovalTest, RefusesAFolderHoldingAnotherCourseOrAMount) {
    const std::string course = MakeCourse(m_root + "/courses/hx01");
    const std::string nested = MakeCourse(course + "/inner/sw01", "sw01");
    EXPECT_FALSE(Check(course, "hx01", {}, {nested}));
    EXPECT_NE(m_error.find(nested), std::string::npos) << m_error;
    // Beside it, or a stale record naming the same folder: no harm.
    EXPECT_TRUE(Check(course, "hx01", {}, {m_root + "/courses/sw01", course, ""}));

    const std::string spaced = MakeCourse(m_root + "/my courses/hx01");
    const std::string table =
        "proc /proc proc rw 0 0\n"
        "tmpfs /tmp tmpfs rw 0 0\n"
        "/dev/sr0 " +
        m_root + "/my\\040courses/hx01/cd iso9660 ro 0 0\n";
    EXPECT_FALSE(Check(spaced, "hx01", {}, {}, table));
    EXPECT_NE(m_error.find("mounted"), std::string::npos) << m_error;
    EXPECT_FALSE(
        Check(spaced, "hx01", {}, {}, "/dev/sdb1 " + m_root + "/my\\040courses/hx01 ext4"));
    EXPECT_TRUE(Check(course, "hx01", {}, {}, table));
    // A table that makes no sense is no mount.
    EXPECT_TRUE(Check(course, "hx01", {}, {}, "garbage\n\n \\\n"));
}

TEST_F(CourseRemovalTest, RemovesTheFolderAndNothingBeyondIt) {
    const std::string course = MakeCourse(m_root + "/courses/hx01");
    // Outside the course: a folder and a file the course links to.
    WriteUnix(m_root + "/outside/keep.txt", "keep");
    WriteUnix(m_root + "/lone.txt", "keep");
    fs::create_directories(course + "/bin");
    fs::create_directory_symlink(m_root + "/outside", course + "/bin/outside");
    fs::create_symlink(m_root + "/lone.txt", course + "/bin/lesson");
    fs::create_symlink(m_root + "/nowhere", course + "/bin/dangling");
    // A read-only folder and file inside, as copies from a disc can be.
    WriteUnix(course + "/systeminfo/soft/iexplore.exe", "MZ");
    fs::permissions(course + "/systeminfo/soft/iexplore.exe", fs::perms::owner_write,
                    fs::perm_options::remove);
    fs::permissions(course + "/systeminfo/soft", fs::perms::owner_write | fs::perms::group_write,
                    fs::perm_options::remove);

    std::string error;
    ASSERT_TRUE(RemoveCourseFolder(course, &error)) << error;
    EXPECT_FALSE(fs::exists(fs::symlink_status(course)));
    EXPECT_TRUE(fs::is_directory(m_root + "/courses"));
    EXPECT_EQ(ReadUnix(m_root + "/outside/keep.txt"), "keep");
    EXPECT_EQ(ReadUnix(m_root + "/lone.txt"), "keep");
}

TEST_F(CourseRemovalTest, RecordsAreListedAndRemoved) {
    ASSERT_TRUE(RegPutString(HKEY_CURRENT_USER, "software\\telvora\\hx01", "", "0"));
    ASSERT_TRUE(RegPutString(HKEY_CURRENT_USER, "software\\telvora\\hx01\\1", "", "C:\\c\\hx01"));
    ASSERT_TRUE(RegPutString(HKEY_CURRENT_USER, "software\\telvora\\课件\\1", "", ""));
    // A key without the folder subkey is not a course record.
    ASSERT_TRUE(RegPutString(HKEY_CURRENT_USER, "software\\telvora\\stray", "", "0"));

    std::vector<InstalledCourse> courses = ListInstalledCourses();
    ASSERT_EQ(courses.size(), 2u);
    std::map<std::string, std::string> dirs;
    for (const InstalledCourse& c : courses)
        dirs[c.courseId] = c.winDir;
    EXPECT_EQ(dirs["hx01"], "C:\\c\\hx01");
    EXPECT_EQ(dirs.count("课件"), 1u);
    EXPECT_EQ(dirs["课件"], "");

    std::string error;
    ASSERT_TRUE(RemoveCourseRecord("HX01", &error)) << error;
    courses = ListInstalledCourses();
    ASSERT_EQ(courses.size(), 1u);
    EXPECT_EQ(courses[0].courseId, "课件");
    EXPECT_FALSE(RegGetString(HKEY_CURRENT_USER, "software\\telvora\\hx01", "").has_value());
    EXPECT_TRUE(RegGetString(HKEY_CURRENT_USER, "software\\telvora\\stray", "").has_value());
    // Removing what is not there is no failure.
    EXPECT_TRUE(RemoveCourseRecord("hx01", &error)) << error;
}

TEST_F(CourseRemovalTest, TellsWhereTheControlIsRegistered) {
    EXPECT_EQ(RegisteredControlModule(), "");
    const std::string key =
        std::string("Software\\Classes\\CLSID\\{") + kUpdateControlClsid + "}\\InprocServer32";
    ASSERT_TRUE(RegPutString(HKEY_CURRENT_USER, key, "", "C:\\usr\\lib\\telvora\\libcorvane.so"));
    EXPECT_EQ(RegisteredControlModule(), "C:\\usr\\lib\\telvora\\libcorvane.so");
}

}  // namespace
