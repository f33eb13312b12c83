// Publishing packages: what lands in the folder, what is refused, and that
// a refusal or a race loses nothing.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <thread>

#include "tools/update-server/file_io.h"
#include "tools/update-server/folder_lock.h"
#include "tools/update-server/package_store.h"
#include "tools/update-server/publish.h"
#include "tools/update-server/tests/server_test_support.h"

namespace fs = std::filesystem;

namespace {

class PublishTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_archive = m_work / "pkg.rar";
        WriteTestFile(m_archive, RarBytes(std::string(5000, 'x')));
        m_served = m_work / "served";
    }

    int Publish(const std::string& course, const std::string& code,
                const std::string& archive = "") {
        CPublishRequest r;
        r.dir = m_served;
        r.course = course;
        r.code = code;
        r.archive = archive.empty() ? m_archive : archive;
        r.lockWaitSeconds = 0;
        return Run(r);
    }
    int Run(const CPublishRequest& r) {
        m_out.str("");
        m_err.str("");
        return PublishPackage(r, m_out, m_err);
    }
    // Every file below the served folder, relative.
    std::vector<std::string> Files() const {
        std::vector<std::string> files;
        std::error_code ec;
        for (const auto& e : fs::recursive_directory_iterator(m_served, ec))
            files.push_back(fs::relative(e.path(), m_served).string());
        std::sort(files.begin(), files.end());
        return files;
    }

    CTempFolder m_work;
    std::string m_archive;
    std::string m_served;
    std::ostringstream m_out, m_err;
};

TEST_F(PublishTest, PutsArchiveNotesAndIndexInPlace) {
    ASSERT_EQ(Publish("数学", "03052301"), 0) << m_err.str();
    CPackageStore store(m_served);
    EXPECT_EQ(ReadTestFile(store.ArchiveFile("数学", "03052301")), ReadTestFile(m_archive));
    const std::vector<CPackage> packages = store.Packages("数学");
    ASSERT_EQ(packages.size(), 1u);
    EXPECT_EQ(packages[0].size, fs::file_size(m_archive));
    EXPECT_NE(ReadTestFile(store.NotesFile("数学", "03052301")).find("2003年5月23日第1次"),
              std::string::npos);
    EXPECT_NE(m_out.str().find("courses/\xE6\x95\xB0\xE5\xAD\xA6/03052301.rar"), std::string::npos);

    // Notes are copied byte for byte; the index keeps its other lines.
    const std::string notes = m_work / "notes.htm";
    WriteTestFile(notes, "<html>更新内容 &amp; \x81\x5C</html>");
    WriteTestFile(store.IndexFile("数学"),
                  ReadTestFile(store.IndexFile("数学")) + "# kept by hand\n");
    CPublishRequest r;
    r.dir = m_served;
    r.course = "数学";
    r.code = "03060501";
    r.archive = m_archive;
    r.notes = notes;
    ASSERT_EQ(Run(r), 0) << m_err.str();
    EXPECT_EQ(ReadTestFile(store.NotesFile("数学", "03060501")), ReadTestFile(notes));
    EXPECT_NE(ReadTestFile(store.IndexFile("数学")).find("# kept by hand\n03060501 "),
              std::string::npos);
    EXPECT_EQ(store.Packages("数学").size(), 2u);
    for (const std::string& f : Files())
        EXPECT_EQ(f.find(".partial"), std::string::npos) << f;
}

TEST_F(PublishTest, RefusalsLeaveTheFolderAsItWas) {
    ASSERT_EQ(Publish("math", "03060501"), 0);
    const std::vector<std::string> before = Files();
    const std::string index = ReadTestFile(CPackageStore(m_served).IndexFile("math"));
    const std::string notRar = m_work / "plain.rar";
    WriteTestFile(notRar, "PK\x03\x04 a zip file");

    struct Case {
        std::string course, code, archive, says;
    } cases[] = {
        {"math", "03060501", "", "not newer than 03060501"},
        {"math", "03052301", "", "not newer"},
        {"math", "0306050", "", "not a package code"},
        {"math", "0306050a", "", "not a package code"},
        {"math", "", "", "not a package code"},
        {"", "03070101", "", "is empty"},
        {".", "03070101", "", "course name"},
        {"..", "03070101", "", "course name"},
        {"a/b", "03070101", "", "contains '/'"},
        {"a\\b", "03070101", "", "contains '\\'"},
        {"a:b", "03070101", "", "contains ':'"},
        {"a\x01", "03070101", "", "control character"},
        {"\xCA", "03070101", "", "not valid GBK"},
        {"math", "03070101", notRar, "not a RAR archive"},
        {"math", "03070101", m_work / "missing.rar", "is not a file"},
        {"math", "03070101", m_work.Path(), "is not a file"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Publish(c.course, c.code, c.archive), 1) << c.course << " " << c.code;
        EXPECT_NE(m_err.str().find(c.says), std::string::npos) << m_err.str();
    }
    CPublishRequest r;
    r.dir = m_served;
    r.course = "math";
    r.code = "03070101";
    r.from = m_work.Path();
    EXPECT_EQ(Run(r), 1);
    EXPECT_NE(m_err.str().find("not available in this build"), std::string::npos);
    r.packTool = "/bin/true";
    r.from = m_work / "missing";
    EXPECT_EQ(Run(r), 1);
    EXPECT_NE(m_err.str().find("is not a folder"), std::string::npos);
    r.from.clear();
    r.archive = m_archive;
    r.notes = m_work / "missing.htm";
    EXPECT_EQ(Run(r), 1);

    EXPECT_EQ(Files(), before);
    EXPECT_EQ(ReadTestFile(CPackageStore(m_served).IndexFile("math")), index);
}

TEST_F(PublishTest, AnUnreadableIndexIsNeverReplaced) {
    CPackageStore store(m_served);
    fs::create_directories(store.IndexFile("math"));
    EXPECT_EQ(Publish("math", "03052301"), 1);
    EXPECT_NE(m_err.str().find("cannot be read"), std::string::npos);
    EXPECT_TRUE(fs::is_directory(store.IndexFile("math")));
}

TEST_F(PublishTest, FromAFolderThroughThePackTool) {
    // A stand-in for telvora-pack: writes a RAR head and the --top name.
    const std::string tool = m_work / "pack.sh";
    WriteTestFile(tool,
                  "#!/bin/sh\n[ \"$3\" = --top ] || exit 3\n"
                  "printf 'Rar!\\032\\007\\000%s' \"$4\" > \"$1\"\n");
    fs::permissions(tool, fs::perms::owner_all);
    CPublishRequest r;
    r.dir = m_served;
    r.course = "数学";
    r.code = "03052301";
    r.from = m_work.Path();
    r.packTool = tool;
    ASSERT_EQ(Run(r), 0) << m_err.str();
    EXPECT_EQ(ReadTestFile(CPackageStore(m_served).ArchiveFile("数学", "03052301")),
              RarBytes("\xE6\x95\xB0\xE5\xAD\xA6"));
    r.code = "03052302";
    r.packTool = "/bin/false";
    EXPECT_EQ(Run(r), 1);
    EXPECT_NE(m_err.str().find("could not make the archive"), std::string::npos);
}

TEST_F(PublishTest, AHeldLockRefusesUntilReleased) {
    fs::create_directories(m_served);
    CFolderLock held;
    std::string error;
    ASSERT_TRUE(held.Acquire(CPackageStore(m_served).LockFile(), 0, &error)) << error;
    EXPECT_EQ(Publish("math", "03052301"), 1);
    EXPECT_NE(m_err.str().find("another publish"), std::string::npos);
    EXPECT_FALSE(fs::exists(CPackageStore(m_served).IndexFile("math")));
    held.Release();
    EXPECT_EQ(Publish("math", "03052301"), 0) << m_err.str();
}

TEST_F(PublishTest, UnpublishWithdrawsAndTheCodeIsNeverUsedAgain) {
    ASSERT_EQ(Publish("数学", "03052301"), 0);
    ASSERT_EQ(Publish("数学", "03060501"), 0);
    CPackageStore store(m_served);
    std::ostringstream out, err;
    ASSERT_EQ(UnpublishPackage(m_served, "数学", "03060501", out, err, 0), 0) << err.str();
    ASSERT_EQ(store.Packages("数学").size(), 1u);
    EXPECT_EQ(store.Packages("数学")[0].code, "03052301");
    EXPECT_FALSE(fs::exists(store.ArchiveFile("数学", "03060501")));
    EXPECT_FALSE(fs::exists(store.NotesFile("数学", "03060501")));
    EXPECT_TRUE(fs::exists(store.ArchiveFile("数学", "03052301")));
    // The same code, or an older one, would give the name other bytes.
    EXPECT_EQ(Publish("数学", "03060501"), 1);
    EXPECT_NE(m_err.str().find("not newer than 03060501"), std::string::npos) << m_err.str();
    EXPECT_EQ(Publish("数学", "03060401"), 1);
    EXPECT_EQ(Publish("数学", "03060502"), 0);
    // Nothing to withdraw, or a bad name or code: refused, nothing changes.
    const std::string index = ReadTestFile(store.IndexFile("数学"));
    EXPECT_EQ(UnpublishPackage(m_served, "数学", "03060501", out, err, 0), 1);
    EXPECT_EQ(UnpublishPackage(m_served, "physics", "03060501", out, err, 0), 1);
    EXPECT_EQ(UnpublishPackage(m_served, "..", "03060502", out, err, 0), 1);
    EXPECT_EQ(UnpublishPackage(m_served, "数学", "3060502", out, err, 0), 1);
    EXPECT_EQ(ReadTestFile(store.IndexFile("数学")), index);

    out.str("");
    ASSERT_EQ(ListPackages(m_served, "", out, err), 0);
    EXPECT_EQ(out.str(),
              "\xE6\x95\xB0\xE5\xAD\xA6: 2 packages\n"
              "  03052301  5007 bytes  2003\xE5\xB9\xB4"
              "5\xE6\x9C\x88"
              "23\xE6\x97\xA5\xE7\xAC\xAC"
              "1\xE6\xAC\xA1\n"
              "  03060502  5007 bytes  2003\xE5\xB9\xB4"
              "6\xE6\x9C\x88"
              "5\xE6\x97\xA5\xE7\xAC\xAC"
              "2\xE6\xAC\xA1\n"
              "  03060501  withdrawn\n");
    out.str("");
    EXPECT_EQ(ListPackages(m_served, "physics", out, err), 0);
    EXPECT_EQ(out.str(), "physics: 0 packages\n");
    EXPECT_EQ(ListPackages(m_work / "missing", "", out, err), 1);
}

TEST_F(PublishTest, PublishersAtOnceKeepTheIndexWhole) {
    constexpr int kPublishers = 8;
    std::vector<int> status(kPublishers, -1);
    std::vector<std::thread> threads;
    for (int i = 0; i < kPublishers; ++i) {
        threads.emplace_back([&, i] {
            CPublishRequest r;
            r.dir = m_served;
            r.course = "math";
            r.code = "0305230" + std::to_string(i + 1);
            r.archive = m_archive;
            std::ostringstream out, err;
            status[i] = PublishPackage(r, out, err);
        });
    }
    for (std::thread& t : threads)
        t.join();
    // Each publish either landed (in code order) or was refused as not newer.
    CPackageStore store(m_served);
    std::vector<std::string> landed;
    for (int i = 0; i < kPublishers; ++i) {
        ASSERT_TRUE(status[i] == 0 || status[i] == 1);
        if (status[i] == 0)
            landed.push_back("0305230" + std::to_string(i + 1));
    }
    std::vector<std::string> listed;
    for (const CPackage& p : store.Packages("math")) {
        listed.push_back(p.code);
        EXPECT_EQ(ReadTestFile(store.ArchiveFile("math", p.code)), ReadTestFile(m_archive));
    }
    EXPECT_FALSE(landed.empty());
    EXPECT_EQ(listed, landed);
    CFolderLock after;
    std::string error;
    EXPECT_TRUE(after.Acquire(store.LockFile(), 0, &error)) << error;
}

TEST(FileIoTest, ReplacingKeepsOldOrNew) {
    CTempFolder dir;
    const std::string path = dir / "index.txt";
    EXPECT_TRUE(ReplaceFileContent(path, "one"));
    EXPECT_TRUE(ReplaceFileContent(path, "two", true));
    EXPECT_EQ(ReadTestFile(path), "two");
    EXPECT_EQ(fs::status(path).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_FALSE(ReplaceFileContent(dir / "missing/x.txt", "three"));
    std::string content;
    EXPECT_FALSE(ReadWholeFile(dir.Path(), &content));
    EXPECT_TRUE(ReadWholeFile(path, &content));
    EXPECT_NE(ScratchPathFor(path), ScratchPathFor(path));
    EXPECT_EQ(fs::path(ScratchPathFor(path)).parent_path(), fs::path(dir.Path()));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.Path()), fs::directory_iterator()), 1);
}

}  // namespace
