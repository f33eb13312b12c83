// Packing folders and reading the archives back with libarchive itself:
// names (GBK and Unicode forms), order, sizes, bytes and checksums.
#include "tools/pack/pack_folder.h"

#include <archive.h>
#include <archive_entry.h>
#include <gtest/gtest.h>
#include <locale.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "platform/archive/archive.h"
#include "platform/archive/tests/archive_test_support.h"
#include "tools/pack/rar_writer.h"

using namespace archive_test;
namespace fs = std::filesystem;

namespace {

struct CReadEntry {
    std::string m_strName;  // as libarchive gives it, in a UTF-8 locale
    bool m_bFolder = false;
    std::int64_t m_nSize = 0;
    std::int64_t m_nModified = 0;
    std::string m_strData;
};

// Reads every entry with libarchive, names converted in a UTF-8 locale.
std::vector<CReadEntry> ReadBack(const std::string& path) {
    std::vector<CReadEntry> entries;
    locale_t utf8 = newlocale(LC_ALL_MASK, "C.UTF-8", static_cast<locale_t>(0));
    EXPECT_NE(utf8, static_cast<locale_t>(0));
    const locale_t previous = uselocale(utf8);
    archive* a = archive_read_new();
    archive_read_support_format_rar(a);
    EXPECT_EQ(archive_read_open_filename(a, path.c_str(), 65536), ARCHIVE_OK);
    archive_entry* e = nullptr;
    int r;
    while ((r = archive_read_next_header(a, &e)) == ARCHIVE_OK) {
        CReadEntry entry;
        entry.m_strName = archive_entry_pathname(e);
        entry.m_bFolder = archive_entry_filetype(e) == AE_IFDIR;
        entry.m_nSize = archive_entry_size(e);
        entry.m_nModified = archive_entry_mtime(e);
        char buf[65536];
        la_ssize_t n;
        while ((n = archive_read_data(a, buf, sizeof buf)) > 0)
            entry.m_strData.append(buf, static_cast<std::size_t>(n));
        EXPECT_EQ(n, 0) << entry.m_strName << ": " << archive_error_string(a);
        entries.push_back(std::move(entry));
    }
    EXPECT_EQ(r, ARCHIVE_EOF) << archive_error_string(a);
    archive_read_free(a);
    uselocale(previous);
    freelocale(utf8);
    return entries;
}

std::vector<std::string> Names(const std::vector<CReadEntry>& entries) {
    std::vector<std::string> names;
    for (const CReadEntry& e : entries)
        names.push_back(e.m_bFolder ? e.m_strName + "/" : e.m_strName);
    return names;
}

class PackFolderTest : public ::testing::Test {
protected:
    bool Pack(const std::string& top = "") {
        m_warnings.clear();
        m_error.clear();
        return PackFolder(m_archive, m_folder, top, &m_warnings, &m_error);
    }

    // No scratch file may stay beside the archive.
    std::vector<std::string> Leftovers() const {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(m_dir.Path())) {
            const std::string name = e.path().filename().string();
            if (name != "course" && name != "pkg.rar" && name != "outside")
                names.push_back(name);
        }
        return names;
    }

    CScratchDir m_dir;
    std::string m_folder = m_dir / "course";
    std::string m_archive = m_dir / "pkg.rar";
    std::vector<std::string> m_warnings;
    std::string m_error;
};

}  // namespace

TEST_F(PackFolderTest, RoundTripsATreeThroughLibarchive) {
    const std::string binary = EveryByte(256 * 40);
    const std::string large = EveryByte(3 * 1024 * 1024 + 5);
    fs::create_directories(m_folder + "/empty");
    WriteFile(m_folder + "/a.txt", "hello");
    WriteFile(m_folder + "/zero.txt", "");
    WriteFile(m_folder + "/sub/deep/bin.dat", binary);
    WriteFile(m_folder + "/sub/large.bin", large);
    // 乗 and 俓 end in the byte 0x5C in GBK.
    WriteFile(m_folder + U8(u8"/sub/乗俓 表&名.htm"), "<html>");
    WriteFile(m_folder + U8(u8"/第一课/a b&c.txt"), "x");

    ASSERT_TRUE(Pack()) << m_error;
    EXPECT_EQ(m_warnings, std::vector<std::string>{});
    const std::vector<CReadEntry> entries = ReadBack(m_archive);
    // The top folder first, every folder before its content, names sorted.
    EXPECT_EQ(
        Names(entries),
        (std::vector<std::string>{
            "course/", "course/a.txt", "course/empty/", "course/sub/", "course/sub/deep/",
            "course/sub/deep/bin.dat", "course/sub/large.bin", U8(u8"course/sub/乗俓 表&名.htm"),
            "course/zero.txt", U8(u8"course/第一课/"), U8(u8"course/第一课/a b&c.txt")}));
    ASSERT_EQ(entries.size(), 11u);
    EXPECT_EQ(entries[1].m_strData, "hello");
    EXPECT_EQ(entries[5].m_strData, binary);
    EXPECT_EQ(entries[5].m_nSize, static_cast<std::int64_t>(binary.size()));
    EXPECT_EQ(entries[6].m_strData, large);
    EXPECT_EQ(entries[7].m_strData, "<html>");
    EXPECT_EQ(entries[8].m_nSize, 0);
    EXPECT_EQ(Leftovers(), std::vector<std::string>{});

    // libarchive leaves stored data unchecked; the checksums are checked
    // here against the data read.
    std::vector<CArchiveEntryInfo> listed;
    std::string error;
    ASSERT_TRUE(ListArchive(m_archive, &listed, &error)) << error;
    ASSERT_EQ(listed.size(), 11u);
    for (const CArchiveEntryInfo& info : listed)
        EXPECT_TRUE(info.m_bDataIntact) << info.m_strPath;
}

TEST_F(PackFolderTest, StoresChecksumsThatCatchChangedData) {
    WriteFile(m_folder + "/a.bin", EveryByte(5000));
    ASSERT_TRUE(Pack()) << m_error;
    std::string bytes = ReadFile(m_archive);
    const std::size_t at = bytes.find(EveryByte(5000));
    ASSERT_NE(at, std::string::npos);
    bytes[at + 1234] ^= 0x01;
    WriteFile(m_archive, bytes);
    std::vector<CArchiveEntryInfo> listed;
    std::string error;
    ASSERT_TRUE(ListArchive(m_archive, &listed, &error)) << error;
    ASSERT_EQ(listed.size(), 2u);
    EXPECT_TRUE(listed[0].m_bDataIntact);
    EXPECT_FALSE(listed[1].m_bDataIntact);
}

TEST_F(PackFolderTest, NamesTheTopFolderAsAsked) {
    WriteFile(m_folder + "/a.txt", "a");
    ASSERT_TRUE(Pack(U8(u8"数学"))) << m_error;
    EXPECT_EQ(Names(ReadBack(m_archive)),
              (std::vector<std::string>{U8(u8"数学/"), U8(u8"数学/a.txt")}));
    for (const std::string bad : {"a/b", "a\\b", "..", ".", "c:", "a*"}) {
        EXPECT_FALSE(Pack(bad)) << bad;
        EXPECT_NE(m_error.find("top folder name"), std::string::npos) << m_error;
    }
}

TEST_F(PackFolderTest, KeepsModificationTimesInTwoSecondSteps) {
    WriteFile(m_folder + "/a.txt", "a");
    const auto when = fs::file_time_type::clock::now() - std::chrono::hours(24 * 400);
    fs::last_write_time(m_folder + "/a.txt", when);
    ASSERT_TRUE(Pack()) << m_error;
    const std::vector<CReadEntry> entries = ReadBack(m_archive);
    ASSERT_EQ(entries.size(), 2u);
    const std::int64_t expected = std::chrono::system_clock::to_time_t(
        std::chrono::time_point_cast<std::chrono::system_clock::duration>(
            std::chrono::file_clock::to_sys(when)));
    EXPECT_LE(expected - entries[1].m_nModified, 1);
    EXPECT_GE(expected - entries[1].m_nModified, 0);
}

TEST_F(PackFolderTest, RefusesNamesWithoutAGbkForm) {
    WriteFile(m_folder + "/ok.txt", "a");
    WriteFile(m_folder + U8(u8"/sub/smile\U0001F600.txt"), "b");
    WriteFile(m_archive, "old archive");
    EXPECT_FALSE(Pack());
    EXPECT_NE(m_error.find(U8(u8"smile\U0001F600.txt")), std::string::npos) << m_error;
    EXPECT_NE(m_error.find("GBK"), std::string::npos) << m_error;
    // The old archive stays as it was, and no scratch file is left.
    EXPECT_EQ(ReadFile(m_archive), "old archive");
    EXPECT_EQ(Leftovers(), std::vector<std::string>{});

    fs::remove_all(m_folder + "/sub");
    WriteFile(m_folder + "/bad\\name", "c");
    EXPECT_FALSE(Pack());
    EXPECT_NE(m_error.find("backslash"), std::string::npos) << m_error;
}

TEST_F(PackFolderTest, SkipsLinksAndSpecialFilesWithoutFollowingThem) {
    WriteFile(m_folder + "/a.txt", "a");
    WriteFile(m_dir / "outside/secret.txt", "secret");
    fs::create_directory_symlink(m_dir / "outside", m_folder + "/dirlink");
    fs::create_symlink("a.txt", m_folder + "/filelink");
    ASSERT_EQ(mkfifo((m_folder + "/fifo").c_str(), 0644), 0);
    ASSERT_TRUE(Pack()) << m_error;
    EXPECT_EQ(Names(ReadBack(m_archive)), (std::vector<std::string>{"course/", "course/a.txt"}));
    ASSERT_EQ(m_warnings.size(), 3u);
    EXPECT_NE(m_warnings[0].find("dirlink"), std::string::npos);
    EXPECT_NE(m_warnings[0].find("symbolic link"), std::string::npos);
    EXPECT_NE(m_warnings[1].find("fifo"), std::string::npos);
    EXPECT_NE(m_warnings[1].find("special file"), std::string::npos);
    EXPECT_NE(m_warnings[2].find("filelink"), std::string::npos);
}

TEST_F(PackFolderTest, NeverPacksTheArchiveIntoItself) {
    WriteFile(m_folder + "/a.txt", "a");
    m_archive = m_folder + "/pkg.rar";
    ASSERT_TRUE(Pack()) << m_error;
    EXPECT_EQ(Names(ReadBack(m_archive)), (std::vector<std::string>{"course/", "course/a.txt"}));
    EXPECT_EQ(m_warnings, std::vector<std::string>{});
    // Packing again replaces the archive that now lies in the folder.
    ASSERT_TRUE(Pack()) << m_error;
    EXPECT_EQ(Names(ReadBack(m_archive)), (std::vector<std::string>{"course/", "course/a.txt"}));
    ASSERT_EQ(m_warnings.size(), 1u);
    EXPECT_NE(m_warnings[0].find("the archive being written"), std::string::npos);
    EXPECT_EQ(TreeBelow(m_folder), (std::vector<std::string>{"a.txt", "pkg.rar"}));
}

TEST_F(PackFolderTest, ReportsWhatCannotBeRead) {
    EXPECT_FALSE(Pack());
    EXPECT_NE(m_error.find("is not a folder"), std::string::npos) << m_error;
    WriteFile(m_folder, "a file");
    EXPECT_FALSE(Pack());
    EXPECT_NE(m_error.find("is not a folder"), std::string::npos) << m_error;
    fs::remove(m_folder);
    WriteFile(m_folder + "/a.txt", "a");
    m_archive = m_dir / "no/such/folder/pkg.rar";
    EXPECT_FALSE(Pack());
    EXPECT_NE(m_error.find("cannot create"), std::string::npos) << m_error;
    m_archive = m_folder;
    EXPECT_FALSE(Pack());
    if (geteuid() != 0) {
        // An unreadable file (root reads everything).
        m_archive = m_dir / "pkg.rar";
        chmod((m_folder + "/a.txt").c_str(), 0);
        EXPECT_FALSE(Pack());
        EXPECT_NE(m_error.find("a.txt"), std::string::npos) << m_error;
    }
}

TEST_F(PackFolderTest, WriteRarArchivePrintsWarningsAndNamesTheFolderByDefault) {
    WriteFile(m_folder + "/a.txt", "a");
    fs::create_symlink("a.txt", m_folder + "/l");
    std::string error;
    testing::internal::CaptureStderr();
    const bool ok = WriteRarArchive(m_archive, m_folder + "/", "", &error);
    const std::string printed = testing::internal::GetCapturedStderr();
    ASSERT_TRUE(ok) << error;
    EXPECT_NE(printed.find("warning: skipped symbolic link"), std::string::npos) << printed;
    EXPECT_EQ(Names(ReadBack(m_archive)), (std::vector<std::string>{"course/", "course/a.txt"}));

    // A folder given through a link is named as given; "." by its own name.
    fs::create_directory_symlink(m_folder, m_dir / "alias");
    ASSERT_TRUE(WriteRarArchive(m_archive, m_dir / "alias", "", &error)) << error;
    EXPECT_EQ(Names(ReadBack(m_archive)), (std::vector<std::string>{"alias/", "alias/a.txt"}));
    const fs::path before = fs::current_path();
    fs::current_path(m_folder);
    const bool fromInside = WriteRarArchive(m_archive, ".", "", &error);
    fs::current_path(before);
    ASSERT_TRUE(fromInside) << error;
    EXPECT_EQ(Names(ReadBack(m_archive)), (std::vector<std::string>{"course/", "course/a.txt"}));
}
