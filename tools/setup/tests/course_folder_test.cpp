#include "tools/setup/course_folder.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/fs/fs.h"
#include "platform/registry/registry.h"
#include "platform/text/text.h"
#include "tools/setup/tests/setup_fixture.h"

namespace fs = std::filesystem;

namespace {

class CourseFolderTest : public SetupTest {
protected:
    // The Windows name of an ASCII Unix path through C: -> /.
    static std::string WinOf(std::string unix) {
        for (char& c : unix) {
            if (c == '/')
                c = '\\';
        }
        return "C:" + unix;
    }
    DiscDescription Disc() {
        DiscDescription d;
        std::string error;
        EXPECT_TRUE(
            ParseDiscSetupIni("courseid=hx01\r\ncoursename=化学\r\ntotalcd=2\r\nnowcd=1\r\n"
                              "insteadfile=wmvpage\r\nextendname=wmv\r\n",
                              &d, &error))
            << error;
        return d;
    }
    // A disc folder mapped as E: with a read-only systeminfo tree.
    std::string MakeDisc() {
        const std::string cd = m_root + "/cd1";
        WriteUnix(cd + "/systeminfo/setup.ini", "courseid=hx01\r\n");
        WriteUnix(cd + "/systeminfo/wmvpage/tvInclude.htm", "var extendname = \"\";\r\n");
        WriteUnix(cd + "/systeminfo/soft/iexplore.exe", "MZ");
        for (auto& e : fs::recursive_directory_iterator(cd)) {
            if (e.is_regular_file()) {
                fs::permissions(e.path(), fs::perms::owner_write, fs::perm_options::remove);
            }
        }
        EXPECT_TRUE(SetDriveTarget('e', cd, true));
        return "E:\\";
    }
};

TEST_F(CourseFolderTest, PlacesTheCourseUnderTheDestination) {
    CoursePlace place;
    std::string error;
    ASSERT_TRUE(MakeCoursePlace(m_root + "/courses/", "", "hx01", &place, &error)) << error;
    EXPECT_EQ(place.unixDir, m_root + "/courses/hx01");
    EXPECT_TRUE(fs::is_directory(place.unixDir));
    EXPECT_EQ(place.winDir, WinOf(m_root + "/courses/hx01"));
    EXPECT_FALSE(HoldsCourse(place));

    // A Windows destination and the default parent.
    CoursePlace win;
    ASSERT_TRUE(MakeCoursePlace(WinOf(m_root + "/win"), "", "hx01", &win, &error)) << error;
    EXPECT_EQ(win.unixDir, m_root + "/win/hx01");
    CoursePlace def;
    ASSERT_TRUE(MakeCoursePlace("", m_root + "/default", "化学", &def, &error)) << error;
    EXPECT_TRUE(fs::is_directory(m_root + "/default/" + text::GbkToUtf8("化学")));
    EXPECT_EQ(ToUnixPath(def.winDir).value_or(""), def.unixDir);
}

TEST_F(CourseFolderTest, RefusesAFolderTheRecordCantHold) {
    // The installer reads the record into 100 bytes: 99 characters at most.
    std::string parent = m_root + "/";
    const std::string id = "hx01";
    while (("C:" + parent + id).size() < kMaxCourseDirLength)
        parent += "p";
    parent.pop_back();
    CoursePlace place;
    std::string error;
    EXPECT_TRUE(MakeCoursePlace(parent, "", id, &place, &error)) << error;
    EXPECT_EQ(place.winDir.size(), kMaxCourseDirLength);
    EXPECT_FALSE(MakeCoursePlace(parent + "p", "", id, &place, &error));
    EXPECT_NE(error.find("longer than 99"), std::string::npos) << error;
    EXPECT_FALSE(fs::exists(parent + "p/" + id));

    EXPECT_FALSE(MakeCoursePlace("Q:\\nowhere", "", id, &place, &error));
}

TEST_F(CourseFolderTest, WritesTheCourseFilesFromTheDisc) {
    const std::string root = MakeDisc();
    CoursePlace place;
    std::string error;
    ASSERT_TRUE(MakeCoursePlace(m_root + "/courses", "", "hx01", &place, &error)) << error;
    ASSERT_TRUE(WriteCourseFiles(place, Disc(), root, true, &error)) << error;
    EXPECT_TRUE(HoldsCourse(place));
    EXPECT_EQ(ReadUnix(place.unixDir + "/setup.ini"),
              "courseid=hx01\r\ncoursename=化学\r\ntotalcd=2\r\nnowcd=1\r\ninsteadfile=wmvpage\r\n"
              "extendname=wmv\r\n");
    EXPECT_EQ(ReadUnix(place.unixDir + "/systeminfo/installasf.txt"), "installasf");
    const std::string page = place.unixDir + "/systeminfo/wmvpage/tvInclude.htm";
    EXPECT_EQ(ReadUnix(page), "var extendname = \"\";\r\n");
    EXPECT_NE(fs::status(page).permissions() & fs::perms::owner_write, fs::perms::none);

    // Again over the installed course, now without media.
    fs::permissions(place.unixDir + "/setup.ini", fs::perms::owner_write, fs::perm_options::remove);
    ASSERT_TRUE(WriteCourseFiles(place, Disc(), root, false, &error)) << error;
    EXPECT_EQ(ReadUnix(place.unixDir + "/systeminfo/installasf.txt"), "noasf");
}

TEST_F(CourseFolderTest, WritesTheRegistryRecord) {
    CoursePlace place;
    std::string error;
    ASSERT_TRUE(MakeCoursePlace(m_root + "/courses", "", "hx01", &place, &error)) << error;
    ASSERT_TRUE(WriteCourseRecord("hx01", place, &error)) << error;
    char buf[100] = {};
    LONG size = sizeof buf;
    ASSERT_EQ(RegQueryValue(HKEY_CURRENT_USER, "software\\telvora\\hx01", buf, &size),
              ERROR_SUCCESS);
    EXPECT_STREQ(buf, "0");
    size = sizeof buf;
    ASSERT_EQ(RegQueryValue(HKEY_CURRENT_USER, "software\\telvora\\hx01\\1", buf, &size),
              ERROR_SUCCESS);
    EXPECT_EQ(std::string(buf), place.winDir);
}

TEST_F(CourseFolderTest, LinksTheBuiltPrograms) {
    CoursePlace place;
    std::string error;
    ASSERT_TRUE(MakeCoursePlace(m_root + "/courses", "", "hx01", &place, &error)) << error;
    const std::string bin = m_root + "/build-bin";
    std::vector<std::string> linked;
    EXPECT_FALSE(LinkPrograms(place, bin, &linked, &error));  // no installer built
    EXPECT_NE(error.find("install"), std::string::npos);

    WriteUnix(bin + "/install", "#!/bin/sh\n");
    ASSERT_TRUE(LinkPrograms(place, bin, &linked, &error)) << error;
    EXPECT_EQ(linked.size(), 1u);
    EXPECT_EQ(fs::read_symlink(place.unixDir + "/bin/install"), bin + "/install");

    WriteUnix(bin + "/lesson", "#!/bin/sh\n");
    linked.clear();
    ASSERT_TRUE(LinkPrograms(place, bin, &linked, &error)) << error;  // links replaced
    EXPECT_EQ(linked.size(), 2u);
    EXPECT_EQ(fs::read_symlink(place.unixDir + "/bin/lesson"), bin + "/lesson");
}

}  // namespace
