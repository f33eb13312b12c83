// Extraction through the library: trees, names, overwriting, and archives
// made to escape the destination (built here with libarchive's tar and zip
// writers).
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "platform/archive/archive.h"
#include "platform/archive/tests/archive_test_support.h"

using namespace archive_test;

namespace {

class ExtractTest : public ::testing::Test {
protected:
    // Writes the archive and extracts it into m_dest; the problems reported.
    std::vector<std::string> Extract(const std::vector<CTestEntry>& entries,
                                     const std::string& format = "tar") {
        WriteTestArchive(m_archive, format, entries);
        return ExtractFile(m_archive);
    }

    std::vector<std::string> ExtractFile(const std::string& archive) {
        std::vector<std::string> problems;
        const bool ok = ExtractArchive(archive, m_dest, &problems);
        EXPECT_EQ(ok, problems.empty());
        return problems;
    }

    // Nothing but the archive and the destination may be in the scratch
    // folder; outsideTarget is where an escape would have written.
    void ExpectNothingOutside() const {
        std::vector<std::string> top;
        for (const auto& e : std::filesystem::directory_iterator(m_dir.Path()))
            top.push_back(e.path().filename().string());
        std::sort(top.begin(), top.end());
        EXPECT_EQ(top, (std::vector<std::string>{"dest", "outside", "pkg"})) << "written outside";
        EXPECT_EQ(TreeBelow(m_dir / "outside"), std::vector<std::string>{});
    }

    void SetUp() override { std::filesystem::create_directory(m_dir / "outside"); }
    void TearDown() override { std::filesystem::remove_all(m_dir / "outside"); }

    CScratchDir m_dir;
    std::string m_archive = m_dir / "pkg";
    std::string m_dest = m_dir / "dest";
};

bool Mentions(const std::vector<std::string>& problems, const std::string& text) {
    for (const std::string& problem : problems) {
        if (problem.find(text) != std::string::npos)
            return true;
    }
    return false;
}

}  // namespace

TEST_F(ExtractTest, ReproducesATreeIntoAFreshDestination) {
    const std::string binary = EveryByte(3 * 1024 * 1024 + 17);
    const auto problems =
        Extract({Folder("top"), Folder("top/empty"), File("top/empty.txt", ""),
                 File("top/sub/deep/bin.dat", binary), File(U8(u8"top/名 字&x.htm"), "<p>")});
    EXPECT_EQ(problems, std::vector<std::string>{});
    EXPECT_EQ(TreeBelow(m_dest),
              (std::vector<std::string>{"top/", "top/empty.txt", "top/empty/", "top/sub/",
                                        "top/sub/deep/", "top/sub/deep/bin.dat",
                                        U8(u8"top/名 字&x.htm")}));
    EXPECT_EQ(ReadFile(m_dest + "/top/sub/deep/bin.dat"), binary);
    EXPECT_EQ(ReadFile(m_dest + U8(u8"/top/名 字&x.htm")), "<p>");
}

TEST_F(ExtractTest, TurnsGbkNamesIntoUtf8AndBackslashesIntoFolders) {
    // Raw GBK bytes in a tar (as a Chinese Windows tool writes them), one
    // with a second byte 0x5C, and a zip with Windows separators.
    EXPECT_EQ(Extract({File("\xBF\xCE\xBC\xFE/\x81\x5C.txt", "a")}), std::vector<std::string>{});
    EXPECT_EQ(ReadFile(m_dest + U8(u8"/课件/乗.txt")), "a");
    EXPECT_EQ(Extract({File("win\\sub\\f.txt", "b")}, "zip"), std::vector<std::string>{});
    EXPECT_EQ(ReadFile(m_dest + "/win/sub/f.txt"), "b");
}

TEST_F(ExtractTest, ReplacesExistingFilesReadOnlyOnesToo) {
    WriteFile(m_dest + "/top/a.txt", "old and longer");
    WriteFile(m_dest + "/top/keep.txt", "kept");
    chmod((m_dest + "/top/a.txt").c_str(), 0444);
    EXPECT_EQ(Extract({Folder("top"), File("top/a.txt", "new")}), std::vector<std::string>{});
    EXPECT_EQ(ReadFile(m_dest + "/top/a.txt"), "new");
    EXPECT_EQ(ReadFile(m_dest + "/top/keep.txt"), "kept");
}

TEST_F(ExtractTest, ReplacesALinkInTheWayInsteadOfWritingThroughIt) {
    WriteFile(m_dir / "outside/victim", "safe");
    std::filesystem::create_directories(m_dest);
    std::filesystem::create_symlink(m_dir / "outside/victim", m_dest + "/a.txt");
    EXPECT_EQ(Extract({File("a.txt", "new")}), std::vector<std::string>{});
    EXPECT_EQ(ReadFile(m_dir / "outside/victim"), "safe");
    EXPECT_EQ(TreeBelow(m_dest), std::vector<std::string>{"a.txt"});
    std::filesystem::remove(m_dir / "outside/victim");
}

TEST_F(ExtractTest, NeverWritesThroughAFolderLinkTheDestinationHeld) {
    std::filesystem::create_directories(m_dir / "outside");
    std::filesystem::create_directories(m_dest);
    std::filesystem::create_directory_symlink(m_dir / "outside", m_dest + "/media");
    const auto problems = Extract({File("media/clip.htm", "through"), File("a.htm", "a")});
    EXPECT_EQ(problems.size(), 1u) << ::testing::PrintToString(problems);
    EXPECT_EQ(TreeBelow(m_dir / "outside"), std::vector<std::string>{});
    EXPECT_EQ(ReadFile(m_dest + "/a.htm"), "a");
}

TEST_F(ExtractTest, NeverWritesThroughALinkOfTheArchive) {
    const std::string etcProbe = "/etc/tv_archive_test_" + std::to_string(getpid());
    const auto problems =
        Extract({Symlink("etc", "/etc"), File("etc/" + etcProbe.substr(5), "owned"),
                 Symlink("out", m_dir / "outside"), File("out/x", "owned"), Symlink("in", "sub"),
                 File("in/y", "through an inner link"), Folder("sub")});
    EXPECT_FALSE(Exists(etcProbe));
    unlink(etcProbe.c_str());
    EXPECT_EQ(problems.size(), 5u) << ::testing::PrintToString(problems);
    EXPECT_TRUE(Mentions(problems, "etc: the link points to an absolute path"));
    EXPECT_TRUE(
        Mentions(problems, "etc/" + etcProbe.substr(5) + ": the path goes through the link"));
    EXPECT_TRUE(Mentions(problems, "out/x: the path goes through the link"));
    EXPECT_TRUE(Mentions(problems, "in/y: the path goes through the link"));
    // The link that stays inside is made, after everything else.
    EXPECT_EQ(TreeBelow(m_dest), (std::vector<std::string>{"in -> sub", "sub/"}));
    ExpectNothingOutside();
}

TEST_F(ExtractTest, RefusesLinksLeadingOutAlsoByWayOfOtherLinks) {
    // "b" points at the destination itself, so "b/.." would be its parent
    // although the words "b/.." stay inside; the order must not matter.
    const auto problems = Extract({Symlink("a", "b/.."), Symlink("up", "../../outside"),
                                   Symlink("b", "."), Symlink("c", "b/../../outside"),
                                   File("sub/f", "x"), Symlink("sub/l", "../sub/f")});
    EXPECT_TRUE(Mentions(problems, "a: the link's target \"b/..\" goes through the link \"b\""));
    EXPECT_TRUE(Mentions(problems, "up: the link points outside"));
    EXPECT_TRUE(Mentions(problems, "c: "));
    EXPECT_EQ(problems.size(), 3u) << ::testing::PrintToString(problems);
    EXPECT_EQ(TreeBelow(m_dest),
              (std::vector<std::string>{"b -> .", "sub/", "sub/f", "sub/l -> ../sub/f"}));
    ExpectNothingOutside();
}

TEST_F(ExtractTest, RefusesALinkTakingThePlaceOfAFolder) {
    const auto problems = Extract({File("d/f", "x"), Symlink("d", m_dir / "outside")});
    EXPECT_TRUE(Mentions(problems, "d: "));
    EXPECT_EQ(TreeBelow(m_dest), (std::vector<std::string>{"d/", "d/f"}));
    ExpectNothingOutside();
}

TEST_F(ExtractTest, RefusesHardLinksDevicesFifosAndSockets) {
    WriteFile(m_dir / "outside/secret", "s");
    const auto problems = Extract(
        {File("a.txt", "a"), HardLink("hard", "a.txt"), HardLink("hard2", m_dir / "outside/secret"),
         Special("null", CTestEntry::kCharDevice), Special("loop", CTestEntry::kBlockDevice),
         Special("fifo", CTestEntry::kFifo)});
    std::filesystem::remove(m_dir / "outside/secret");
    EXPECT_TRUE(Mentions(problems, "hard: hard links are refused"));
    EXPECT_TRUE(Mentions(problems, "hard2: hard links are refused"));
    EXPECT_TRUE(Mentions(problems, "null: device files are refused"));
    EXPECT_TRUE(Mentions(problems, "loop: device files are refused"));
    EXPECT_TRUE(Mentions(problems, "fifo: FIFOs are refused"));
    EXPECT_EQ(problems.size(), 5u);
    EXPECT_EQ(TreeBelow(m_dest), std::vector<std::string>{"a.txt"});
    ExpectNothingOutside();

    const auto more = Extract({Special("sock", CTestEntry::kSocket)}, "cpio");
    EXPECT_EQ(more, std::vector<std::string>{"sock: sockets are refused"});
    EXPECT_EQ(TreeBelow(m_dest), std::vector<std::string>{"a.txt"});
}

TEST_F(ExtractTest, KeepsWhatCameBeforeADamageAndDropsTheHalfFile) {
    WriteTestArchive(m_archive, "tar",
                     {File("first.txt", "complete"), File("second.bin", EveryByte(200000))});
    std::filesystem::resize_file(m_archive, 100000);
    const auto problems = ExtractFile(m_archive);
    EXPECT_TRUE(Mentions(problems, "second.bin: the data is damaged"));
    EXPECT_EQ(TreeBelow(m_dest), std::vector<std::string>{"first.txt"});
    EXPECT_EQ(ReadFile(m_dest + "/first.txt"), "complete");
}

TEST_F(ExtractTest, ReportsArchivesThatCannotBeOpened) {
    auto problems = ExtractFile(m_dir / "missing.rar");
    ASSERT_EQ(problems.size(), 1u);
    EXPECT_TRUE(Mentions(problems, "missing.rar: cannot open the archive"));

    // A pipe nobody writes to must not make the extraction wait.
    ASSERT_EQ(mkfifo((m_dir / "pipe.rar").c_str(), 0644), 0);
    problems = ExtractFile(m_dir / "pipe.rar");
    unlink((m_dir / "pipe.rar").c_str());
    ASSERT_EQ(problems.size(), 1u);
    EXPECT_TRUE(Mentions(problems, "pipe.rar: the archive is not a file"));
    EXPECT_EQ(TreeBelow(m_dest), std::vector<std::string>{});
}

TEST_F(ExtractTest, ReportsAnArchiveWithoutEntries) {
    EXPECT_TRUE(Mentions(Extract({}), "the archive holds no entries"));
}

TEST_F(ExtractTest, LeavesTheCurrentFolderAsItWas) {
    const std::string before = std::filesystem::current_path().string();
    Extract({File("a", "1")});
    EXPECT_EQ(std::filesystem::current_path().string(), before);
    // A relative destination is taken from the current folder.
    std::filesystem::current_path(m_dir.Path());
    std::vector<std::string> problems;
    EXPECT_TRUE(ExtractArchive("pkg", "dest/rel", &problems));
    std::filesystem::current_path(before);
    EXPECT_EQ(ReadFile(m_dest + "/rel/a"), "1");
}

TEST(ListArchiveTest, ListsEntriesWithTheirKindsSizesAndRefusals) {
    CScratchDir dir;
    WriteTestArchive(
        dir / "a.tar", "tar",
        {Folder("top"), File("top/f", "12345"), Symlink("top/l", "f"), File("../evil", "x")});
    std::vector<CArchiveEntryInfo> entries;
    std::string error;
    ASSERT_TRUE(ListArchive(dir / "a.tar", &entries, &error)) << error;
    ASSERT_EQ(entries.size(), 4u);
    EXPECT_EQ(entries[0].m_strPath, "top");
    EXPECT_EQ(entries[0].m_kind, EArchiveEntryKind::kFolder);
    EXPECT_EQ(entries[1].m_strPath, "top/f");
    EXPECT_EQ(entries[1].m_nSize, 5);
    EXPECT_TRUE(entries[1].m_bDataIntact);
    EXPECT_EQ(entries[1].m_nModified, 1262304000);
    EXPECT_EQ(entries[2].m_kind, EArchiveEntryKind::kSymlink);
    EXPECT_EQ(entries[2].m_strLinkTarget, "f");
    EXPECT_EQ(entries[3].m_strPath, "../evil");
    EXPECT_FALSE(entries[3].m_strRefusal.empty());
}

namespace {

void PutLe(std::string* out, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i)
        out->push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

// A zip of one stored entry whose headers (local and central) give the
// checksum and sizes given rather than computed ones.
std::string StoredZip(const std::string& name, const std::string& data, std::uint32_t crc,
                      std::uint32_t packedSize, std::uint32_t size) {
    auto fields = [&](std::string* out) {
        PutLe(out, 0, 2);  // flags
        PutLe(out, 0, 2);  // stored
        PutLe(out, 0, 4);  // time and date
        PutLe(out, crc, 4);
        PutLe(out, packedSize, 4);
        PutLe(out, size, 4);
        PutLe(out, static_cast<std::uint32_t>(name.size()), 2);
        PutLe(out, 0, 2);  // no extra field
    };
    std::string zip = "PK\x03\x04";
    PutLe(&zip, 20, 2);  // version needed
    fields(&zip);
    zip += name + data;
    const std::size_t central = zip.size();
    zip += "PK\x01\x02";
    PutLe(&zip, 20, 2);  // made by
    PutLe(&zip, 20, 2);  // version needed
    fields(&zip);
    PutLe(&zip, 0, 2);  // no comment
    PutLe(&zip, 0, 4);  // disk and internal attributes
    PutLe(&zip, 0100644u << 16, 4);
    PutLe(&zip, 0, 4);  // the local header's offset
    zip += name;
    const std::size_t centralSize = zip.size() - central;
    zip += "PK\x05\x06";
    PutLe(&zip, 0, 4);  // disk numbers
    PutLe(&zip, 1, 2);
    PutLe(&zip, 1, 2);
    PutLe(&zip, static_cast<std::uint32_t>(centralSize), 4);
    PutLe(&zip, static_cast<std::uint32_t>(central), 4);
    PutLe(&zip, 0, 2);
    return zip;
}

constexpr std::uint32_t kCrcOfAbc = 0x352441C2;  // CRC-32 of "abc"

}  // namespace

TEST_F(ExtractTest, RefusesZipEntriesWhoseDataDoesNotMatchTheirHeader) {
    // The same entry with its true header is extracted: the archive is
    // well formed apart from what each case changes.
    WriteFile(m_archive, StoredZip("good.txt", "abc", kCrcOfAbc, 3, 3));
    EXPECT_EQ(ExtractFile(m_archive), std::vector<std::string>{});
    EXPECT_EQ(ReadFile(m_dest + "/good.txt"), "abc");

    const struct {
        const char* what;
        std::uint32_t crc, packed, size;
    } cases[] = {
        {"a wrong checksum", kCrcOfAbc ^ 1, 3, 3},
        {"a size below the data's", kCrcOfAbc, 3, 0},
        {"a size above the data's", kCrcOfAbc, 3, 7},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        WriteFile(m_archive, StoredZip("bad.txt", "abc", c.crc, c.packed, c.size));
        const auto problems = ExtractFile(m_archive);
        EXPECT_TRUE(Mentions(problems, "bad.txt: the data is "))
            << ::testing::PrintToString(problems);
        EXPECT_FALSE(Exists(m_dest + "/bad.txt"));

        std::vector<CArchiveEntryInfo> entries;
        std::string error;
        ListArchive(m_archive, &entries, &error);
        ASSERT_EQ(entries.size(), 1u);
        EXPECT_FALSE(entries[0].m_bDataIntact);
    }
}
