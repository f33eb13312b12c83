// telvora-extract as the update control runs it: "x ARCHIVE DEST -y", the
// exit status, what lands in DEST and what is said on stderr. RAR archives
// are built here with the writer's own block functions, raw names included.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "platform/archive/crc32.h"
#include "platform/archive/tests/archive_test_support.h"
#include "tools/pack/rar_format.h"

using namespace archive_test;
namespace fs = std::filesystem;

namespace {

struct CRawEntry {
    std::string m_strName;  // GBK, backslashes, stored as given
    std::string m_strData;
    bool m_bFolder = false;
    bool m_bUnicode = true;
};

std::string FileHeader(const CRawEntry& raw) {
    CRarEntry entry;
    entry.m_strName = raw.m_strName;
    entry.m_bUnicodeName = raw.m_bUnicode;
    entry.m_bDirectory = raw.m_bFolder;
    entry.m_nSize = raw.m_strData.size();
    entry.m_dwDataCrc = Crc32Update(0, raw.m_strData.data(), raw.m_strData.size());
    entry.m_dwAttributes = raw.m_bFolder ? kRarAttributeDirectory : kRarAttributeArchive;
    entry.m_dwDosTime = DosDateTime(1262304000);
    return *RarFileHeader(entry);
}

std::string Rar(const std::vector<CRawEntry>& entries, const std::string& beforeFirst = "") {
    std::string bytes = RarArchiveStart() + beforeFirst;
    for (const CRawEntry& e : entries)
        bytes += FileHeader(e) + e.m_strData;
    return bytes + RarArchiveEnd();
}

// A service block (as an archive comment is stored): laid out as a file
// header of type 0x7A with its data behind it.
std::string ServiceBlock(const std::string& data) {
    std::string block = FileHeader({"CMT", data, false, false});
    block[2] = 0x7A;
    const std::uint32_t crc = Crc32Update(0, block.data() + 2, block.size() - 2);
    block[0] = static_cast<char>(crc & 0xFF);
    block[1] = static_cast<char>((crc >> 8) & 0xFF);
    return block + data;
}

class ExtractToolTest : public ::testing::Test {
protected:
    int Extract(const std::string& archive, std::string* err = nullptr,
                const std::string& switches = "-y") {
        std::string ignored;
        return RunCommand(ShellQuote(ProgramPath("telvora-extract")) + " x " + ShellQuote(archive) +
                              " " + ShellQuote(m_dest) + " " + switches + " >/dev/null",
                          err ? err : &ignored);
    }

    int ExtractRar(const std::string& bytes, std::string* err = nullptr) {
        WriteFile(m_archive, bytes);
        return Extract(m_archive, err);
    }

    // Only the archive, DEST and the (empty) outside folder may exist.
    void ExpectNothingOutside() const {
        std::vector<std::string> top;
        for (const auto& e : fs::directory_iterator(m_dir.Path()))
            top.push_back(e.path().filename().string());
        std::sort(top.begin(), top.end());
        EXPECT_EQ(top, (std::vector<std::string>{"outside", "pkg.rar", "temp"}));
        EXPECT_EQ(TreeBelow(m_dir / "outside"), std::vector<std::string>{});
    }

    void SetUp() override { fs::create_directories(m_dir / "outside"); }

    CScratchDir m_dir;
    std::string m_archive = m_dir / "pkg.rar";
    std::string m_dest = m_dir / "temp";
};

}  // namespace

TEST_F(ExtractToolTest, ReproducesWhatTelvoraPackPacked) {
    const std::string source = m_dir / "outside/course";
    fs::create_directories(source + "/empty");
    WriteFile(source + "/index.htm", "<html>");
    WriteFile(source + "/media/clip.bin", EveryByte(2 * 1024 * 1024 + 3));
    WriteFile(source + U8(u8"/第一章/乗俓 表&1.htm"), "ch1");
    WriteFile(source + "/zero", "");
    std::string err;
    ASSERT_EQ(RunCommand(ShellQuote(ProgramPath("telvora-pack")) + " " + ShellQuote(m_archive) +
                             " " + ShellQuote(source) + " --top math",
                         &err),
              0)
        << err;
    EXPECT_EQ(Extract(m_archive, &err), 0) << err;
    EXPECT_EQ(err, "");
    std::vector<std::string> expected;
    for (const std::string& e : TreeBelow(source))
        expected.push_back("math/" + e);
    expected.insert(expected.begin(), "math/");
    EXPECT_EQ(TreeBelow(m_dest), expected);
    EXPECT_EQ(ReadFile(m_dest + "/math/media/clip.bin"), EveryByte(2 * 1024 * 1024 + 3));
    EXPECT_EQ(ReadFile(m_dest + U8(u8"/math/第一章/乗俓 表&1.htm")), "ch1");
    fs::remove_all(source);
}

TEST_F(ExtractToolTest, ReadsCodePageNamesOfOlderArchivesExactly) {
    // Names in GBK only (no Unicode form), two ending in the byte 0x5C, one
    // archive with a comment block before the first entry.
    const std::string chapter = "\xB5\xDA\xD2\xBB\xD5\xC2";  // 第一章
    const std::vector<CRawEntry> entries = {
        {"math", "", true, false},
        {"math\\" + chapter, "", true, false},
        {"math\\" + chapter + "\\\x81\x5C\x82\x5C.htm", "page", false, false},
        {"math\\\xD6\xD0.txt", "mid", false, true}};
    for (const std::string& prefix : {std::string(), ServiceBlock("a comment")}) {
        std::string err;
        EXPECT_EQ(ExtractRar(Rar(entries, prefix), &err), 0) << err;
        EXPECT_EQ(TreeBelow(m_dest),
                  (std::vector<std::string>{"math/", U8(u8"math/中.txt"), U8(u8"math/第一章/"),
                                            U8(u8"math/第一章/乗俓.htm")}));
        EXPECT_EQ(ReadFile(m_dest + U8(u8"/math/第一章/乗俓.htm")), "page");
        fs::remove_all(m_dest);
    }
}

TEST_F(ExtractToolTest, RefusesRarNamesLeadingOutAndNamesEach) {
    std::string err;
    EXPECT_EQ(ExtractRar(Rar({{"..\\outside\\x", "1"},
                              {"top\\..\\..\\outside\\y", "2"},
                              {"\\abs", "3"},
                              {"C:\\outside\\z", "4"},
                              {"top\\ok.txt", "5"}}),
                         &err),
              1);
    EXPECT_NE(err.find("telvora-extract: ../outside/x: "), std::string::npos) << err;
    EXPECT_NE(err.find("telvora-extract: top/../../outside/y: "), std::string::npos) << err;
    EXPECT_NE(err.find("telvora-extract: /abs: "), std::string::npos) << err;
    EXPECT_NE(err.find("telvora-extract: C:/outside/z: "), std::string::npos) << err;
    EXPECT_EQ(TreeBelow(m_dest), (std::vector<std::string>{"top/", "top/ok.txt"}));
    ExpectNothingOutside();
}

TEST_F(ExtractToolTest, RefusesLinksAndSpecialFilesInOtherFormats) {
    const std::string etcProbe = "tv_extract_tool_" + std::to_string(getpid());
    WriteTestArchive(
        m_archive, "tar",
        {Symlink("etc", "/etc"), File("etc/" + etcProbe, "x"), Symlink("up", "../../outside/x"),
         File("a", "a"), HardLink("h", "a"), Special("null", CTestEntry::kCharDevice),
         Special("pipe", CTestEntry::kFifo)});
    std::string err;
    EXPECT_EQ(Extract(m_archive, &err), 1);
    EXPECT_FALSE(Exists("/etc/" + etcProbe));
    fs::remove("/etc/" + etcProbe);
    const std::vector<std::string> refused = {
        "etc: ", "etc/" + etcProbe + ": ", "up: ", "h: ", "null: ", "pipe: "};
    for (const std::string& named : refused)
        EXPECT_NE(err.find("telvora-extract: " + named), std::string::npos) << named << err;
    EXPECT_EQ(TreeBelow(m_dest), std::vector<std::string>{"a"});
    ExpectNothingOutside();
}

TEST_F(ExtractToolTest, FailsOnDamagedShortAndFalseArchives) {
    const std::string whole =
        Rar({{"top", "", true}, {"top\\first.txt", "first"}, {"top\\big.bin", EveryByte(300000)}});
    std::string err;
    // Cut short in the second file: its blocks tell before anything is
    // extracted.
    EXPECT_EQ(ExtractRar(whole.substr(0, whole.size() - 100000), &err), 1);
    EXPECT_NE(err.find("pkg.rar: the archive is cut short"), std::string::npos) << err;
    EXPECT_EQ(TreeBelow(m_dest), std::vector<std::string>{});
    fs::remove_all(m_dest);

    // One changed byte: the checksum tells.
    std::string changed = whole;
    changed[changed.size() - 5000] ^= 0x20;
    EXPECT_EQ(ExtractRar(changed, &err), 1);
    EXPECT_NE(err.find("top/big.bin: the data is damaged (the data does not match its checksum)"),
              std::string::npos)
        << err;
    EXPECT_EQ(TreeBelow(m_dest), (std::vector<std::string>{"top/", "top/first.txt"}));
    fs::remove_all(m_dest);

    // Cut inside the headers.
    EXPECT_EQ(ExtractRar(whole.substr(0, 30), &err), 1);
    EXPECT_NE(err.find("pkg.rar: "), std::string::npos) << err;

    // An error page saved as the package, and an empty download.
    EXPECT_EQ(ExtractRar("<html><head><title>404 Not Found</title></head></html>\n", &err), 1);
    EXPECT_NE(err.find("pkg.rar: not an archive"), std::string::npos) << err;
    EXPECT_EQ(ExtractRar("", &err), 1);
    EXPECT_NE(err.find("pkg.rar: the archive is an empty file"), std::string::npos) << err;
    EXPECT_EQ(TreeBelow(m_dest), std::vector<std::string>{});
}

TEST_F(ExtractToolTest, NoCutOfAnArchiveAtAnyOffsetIsExtracted) {
    const std::string whole = Rar({{"top", "", true},
                                   {"top\\a.htm", "alpha page"},
                                   {"top\\sub\\b.htm", "beta"},
                                   {"top\\c.htm", ""}});
    std::string err;
    ASSERT_EQ(ExtractRar(whole, &err), 0) << err;
    fs::remove_all(m_dest);
    std::vector<std::size_t> extracted;
    for (std::size_t cut = 1; cut < whole.size(); ++cut) {
        if (ExtractRar(whole.substr(0, cut), &err) != 1 || !TreeBelow(m_dest).empty())
            extracted.push_back(cut);
        fs::remove_all(m_dest);
    }
    EXPECT_EQ(extracted, std::vector<std::size_t>{}) << "cut offsets that were extracted";
    // Without the end block, the archive is taken only when its length is
    // known to be whole.
    const std::string noEnd = whole.substr(0, whole.size() - RarArchiveEnd().size());
    EXPECT_EQ(ExtractRar(noEnd, &err), 1);
    EXPECT_NE(err.find("without its end-of-archive block"), std::string::npos) << err;
    WriteFile(m_archive, noEnd);
    EXPECT_EQ(
        RunCommand("TELVORA_ARCHIVE_LENGTH_KNOWN=1 " + ShellQuote(ProgramPath("telvora-extract")) +
                       " x " + ShellQuote(m_archive) + " " + ShellQuote(m_dest) + " -y",
                   &err),
        0)
        << err;
    EXPECT_EQ(ReadFile(m_dest + "/top/sub/b.htm"), "beta");
}

TEST_F(ExtractToolTest, DoesNotTrustAHugeDeclaredSize) {
    // A header that declares 6 GB in front of a few bytes.
    CRarEntry entry;
    entry.m_strName = "top\\huge.bin";
    entry.m_nSize = 6ull << 30;
    std::string err;
    EXPECT_EQ(
        ExtractRar(RarArchiveStart() + *RarFileHeader(entry) + "short" + RarArchiveEnd(), &err), 1);
    EXPECT_NE(err.find("pkg.rar: the archive is cut short"), std::string::npos) << err;
    EXPECT_EQ(TreeBelow(m_dest), std::vector<std::string>{});
}

TEST_F(ExtractToolTest, ReplacesReadOnlyFilesLikeAnArchiverToldYes) {
    WriteFile(m_dest + "/top/page.htm", "old page, longer than the new");
    chmod((m_dest + "/top/page.htm").c_str(), 0444);
    std::string err;
    EXPECT_EQ(ExtractRar(Rar({{"top", "", true}, {"top\\page.htm", "new"}}), &err), 0) << err;
    EXPECT_EQ(ReadFile(m_dest + "/top/page.htm"), "new");
}

TEST_F(ExtractToolTest, AnswersWrongCommandLinesWithStatusTwo) {
    WriteFile(m_archive, Rar({{"a", "a"}}));
    const std::string program = ShellQuote(ProgramPath("telvora-extract"));
    std::string err;
    EXPECT_EQ(RunCommand(program + " >/dev/null", &err), 2);
    EXPECT_NE(err.find("telvora-extract --help"), std::string::npos) << err;
    EXPECT_EQ(RunCommand(program + " e " + ShellQuote(m_archive) + " " + ShellQuote(m_dest), &err),
              2);
    EXPECT_EQ(Extract(m_archive, &err, "-o-"), 2);
    EXPECT_FALSE(Exists(m_dest));
    EXPECT_EQ(RunCommand(program + " --help >/dev/null", &err), 0);
    // The switch may also come first, or be left out.
    EXPECT_EQ(
        RunCommand(program + " x -y " + ShellQuote(m_archive) + " " + ShellQuote(m_dest), &err), 0)
        << err;
    EXPECT_EQ(Extract(m_archive, &err, ""), 0) << err;
    EXPECT_EQ(ReadFile(m_dest + "/a"), "a");
}
