#include "tools/sample-course/sample_course.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <vector>

#include "platform/text/text.h"

namespace fs = std::filesystem;

namespace {

std::string ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

std::vector<std::string> SplitCrLf(const std::string& s) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < s.size()) {
        std::size_t end = s.find("\r\n", start);
        EXPECT_NE(end, std::string::npos) << "line without CR LF";
        if (end == std::string::npos)
            break;
        lines.push_back(s.substr(start, end - start));
        start = end + 2;
    }
    return lines;
}

// A path on disk from a GBK relative path.
fs::path OnDisk(const fs::path& root, const std::string& gbkRel) {
    return root / text::GbkToUtf8(gbkRel);
}

class SampleCourseTest : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/telvora-sample-XXXXXX";
        m_root = mkdtemp(tmpl);
    }
    void TearDown() override {
        for (const auto& e : fs::recursive_directory_iterator(m_root)) {
            fs::permissions(e.path(), fs::perms::owner_all, fs::perm_options::add);
        }
        fs::remove_all(m_root);
    }
    fs::path Cd(int n) const { return m_root / ("cd" + std::to_string(n)); }
    fs::path m_root;
};

TEST_F(SampleCourseTest, SetupIniIsCanonicalOnBothCds) {
    WriteSampleCourse(m_root, SampleCourseOptions{});
    const std::vector<std::string> expected = {"courseid=jsjyy01",
                                               "coursename=计算机应用基础",
                                               "version=20040301",
                                               "totalcd=2",
                                               "cd1=3",
                                               "nowcd=1",
                                               "insteadfile=wmvpage",
                                               "extendname=wmv",
                                               "default=index.htm"};
    for (int cd = 1; cd <= 2; ++cd) {
        EXPECT_EQ(SplitCrLf(ReadAll(Cd(cd) / "systeminfo/setup.ini")), expected) << "cd" << cd;
    }
}

TEST_F(SampleCourseTest, ChapterListNamesTheCourseAndTheFirstChapterOfEachCd) {
    SampleCourseOptions o;
    o.courseName = "化学";
    o.courseId = "hx01";
    WriteSampleCourse(m_root, o);
    for (int cd = 1; cd <= 2; ++cd) {
        std::vector<std::string> lines = SplitCrLf(ReadAll(Cd(cd) / "left/items.vbs"));
        int nameLines = 0, startLines = 0;
        for (const std::string& line : lines) {
            std::string lower = text::AsciiLower(line);
            if (lower.find("coursename") != std::string::npos) {
                ++nameLines;
                EXPECT_EQ(line, "coursename = \"化学\"");
            }
            if (lower.find("startchapter") != std::string::npos) {
                ++startLines;
                EXPECT_EQ(line, "startchapter = " + std::to_string((cd - 1) * kChaptersPerCd + 1));
            }
        }
        EXPECT_EQ(nameLines, 1);
        EXPECT_EQ(startLines, 1);
    }
}

TEST_F(SampleCourseTest, PatchedPagesCarryTheirMarkers) {
    WriteSampleCourse(m_root, SampleCourseOptions{});
    for (int cd = 1; cd <= 2; ++cd) {
        std::vector<std::string> nav = SplitCrLf(ReadAll(Cd(cd) / "navbar/navbar.htm"));
        bool armed = false, cellPlace = false;
        for (const std::string& line : nav) {
            if (line.find("colJslx") != std::string::npos)
                armed = true;
            if (armed && line.find("</tr>") != std::string::npos)
                cellPlace = true;
        }
        EXPECT_TRUE(cellPlace);
        // Every line naming extendname has a quoted value after the word.
        for (const char* page :
             {"navbar/tvInclude.htm", "navbar/tvOpen.htm", "systeminfo/wmvpage/tvInclude.htm",
              "systeminfo/wmvpage/tvOpen.htm"}) {
            int found = 0;
            for (const std::string& line : SplitCrLf(ReadAll(Cd(cd) / page))) {
                std::size_t p = text::AsciiLower(line).find("extendname");
                if (p == std::string::npos)
                    continue;
                ++found;
                std::size_t q1 = line.find('"', p);
                ASSERT_NE(q1, std::string::npos) << page;
                EXPECT_NE(line.find('"', q1 + 1), std::string::npos) << page;
            }
            EXPECT_EQ(found, 1) << page;
        }
    }
}

TEST_F(SampleCourseTest, NamesAreUtf8OnDiskAndTextsGbk) {
    WriteSampleCourse(m_root, SampleCourseOptions{});
    fs::path exercise = OnDisk(Cd(1), "content/chapter01/习题.htm");
    ASSERT_TRUE(fs::exists(exercise));
    std::string page = ReadAll(exercise);
    EXPECT_TRUE(text::IsValidGbk(page));
    EXPECT_NE(page.find("习题"), std::string::npos);
    EXPECT_TRUE(fs::exists(OnDisk(Cd(2), "content/附录/说明.htm")));
    EXPECT_TRUE(fs::exists(OnDisk(Cd(1), "content/audio/课程介绍.wma")));
    EXPECT_EQ(ReadAll(Cd(1) / "systeminfo/soft/iexplore.exe").substr(0, 2), "MZ");
}

TEST_F(SampleCourseTest, SomeFoldersHoldOnlyMedia) {
    WriteSampleCourse(m_root, SampleCourseOptions{});
    int mediaOnly = 0;
    std::set<std::string> kinds;
    for (int cd = 1; cd <= 2; ++cd) {
        for (const auto& dir : fs::recursive_directory_iterator(Cd(cd))) {
            if (!dir.is_directory())
                continue;
            bool any = false, allMedia = true;
            for (const auto& f : fs::directory_iterator(dir)) {
                if (!f.is_regular_file())
                    continue;
                any = true;
                std::string ext = text::AsciiLower(f.path().extension().string());
                bool media = ext == ".asf" || ext == ".wmv" || ext == ".wma" || ext == ".asx";
                if (media)
                    kinds.insert(ext);
                allMedia = allMedia && media;
            }
            if (any && allMedia)
                ++mediaOnly;
        }
    }
    EXPECT_GE(mediaOnly, 3);
    EXPECT_EQ(kinds, (std::set<std::string>{".asf", ".asx", ".wma", ".wmv"}));
}

TEST_F(SampleCourseTest, BulkAddsTheRequestedFilesAndSize) {
    SampleCourseOptions small;
    SampleCourseStats base = WriteSampleCourse(m_root / "small", small);
    SampleCourseOptions big;
    big.bulkFiles = 120;
    big.bulkMegabytes = 3;
    SampleCourseStats stats = WriteSampleCourse(m_root / "big", big);
    EXPECT_EQ(stats.files, base.files + 120);
    const double added = static_cast<double>(stats.bytes - base.bytes);
    EXPECT_GT(added, 2.9 * 1048576);
    EXPECT_LT(added, 3.1 * 1048576);
    std::uint64_t onDisk = 0;
    for (const auto& e : fs::recursive_directory_iterator(m_root / "big")) {
        if (e.is_regular_file())
            onDisk += e.file_size();
    }
    EXPECT_EQ(onDisk, stats.bytes);
}

TEST_F(SampleCourseTest, ReadOnlyDiscHasNoWritableFile) {
    SampleCourseOptions o;
    o.readOnly = true;
    WriteSampleCourse(m_root, o);
    int files = 0;
    for (const auto& e : fs::recursive_directory_iterator(m_root)) {
        if (!e.is_regular_file())
            continue;
        ++files;
        EXPECT_EQ(e.status().permissions() & fs::perms::owner_write, fs::perms::none) << e.path();
    }
    EXPECT_GT(files, 20);
}

TEST_F(SampleCourseTest, RefusesBadInputAndOccupiedFolders) {
    SampleCourseOptions o;
    o.courseId = "../x";
    EXPECT_NE(CheckSampleOptions(o), "");
    o.courseId = "mydefault";  // a key name inside a value confuses the readers
    EXPECT_NE(CheckSampleOptions(o), "");
    o = {};
    o.courseName = "名\"字";
    EXPECT_NE(CheckSampleOptions(o), "");
    o.courseName = "";
    EXPECT_NE(CheckSampleOptions(o), "");
    o = {};
    o.bulkFiles = -1;
    EXPECT_NE(CheckSampleOptions(o), "");
    EXPECT_EQ(CheckSampleOptions(SampleCourseOptions{}), "");

    fs::create_directories(Cd(2));
    std::ofstream(Cd(2) / "keep.txt") << "mine";
    EXPECT_THROW(WriteSampleCourse(m_root, SampleCourseOptions{}), std::runtime_error);
    EXPECT_EQ(ReadAll(Cd(2) / "keep.txt"), "mine");
    EXPECT_FALSE(fs::exists(Cd(1) / "systeminfo"));
}

}  // namespace
