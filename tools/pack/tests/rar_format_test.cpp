// The RAR 4 blocks: checksums, the Unicode name form, DOS times, and headers
// that libarchive accepts (large sizes included).
#include "tools/pack/rar_format.h"

#include <archive.h>
#include <archive_entry.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

#include "platform/archive/crc32.h"
#include "platform/archive/tests/archive_test_support.h"

using namespace archive_test;

namespace {

std::string Bytes(std::initializer_list<int> values) {
    std::string s;
    for (const int v : values)
        s.push_back(static_cast<char>(v));
    return s;
}

// Local time is UTC while a test runs, so DOS times are predictable.
class UtcTime {
public:
    UtcTime() {
        const char* tz = std::getenv("TZ");
        m_saved = tz ? tz : "";
        m_had = tz != nullptr;
        setenv("TZ", "UTC", 1);
        tzset();
    }
    ~UtcTime() {
        if (m_had)
            setenv("TZ", m_saved.c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }

private:
    std::string m_saved;
    bool m_had = false;
};

}  // namespace

TEST(RarFormat, ChecksumsMatchTheStandardCrc32) {
    EXPECT_EQ(Crc32Update(0, "123456789", 9), 0xCBF43926u);
    EXPECT_EQ(Crc32Update(0, "", 0), 0u);
    EXPECT_EQ(Crc32Update(0, "The quick brown fox jumps over the lazy dog", 43), 0x414FA339u);
    const std::string bytes = EveryByte(256 * 40);
    EXPECT_EQ(Crc32Update(0, bytes.data(), 256), 0x29058C73u);
    EXPECT_EQ(Crc32Update(0, bytes.data(), bytes.size()), 0xBBCE3B9Du);
    // In pieces of any length as in one.
    EXPECT_EQ(Crc32Update(Crc32Update(0, "1234", 4), "56789", 5), 0xCBF43926u);
    std::uint32_t pieces = 0;
    for (std::size_t at = 0, n = 1; at < bytes.size(); at += n, n = n % 13 + 1)
        pieces = Crc32Update(pieces, bytes.data() + at, std::min(n, bytes.size() - at));
    EXPECT_EQ(pieces, 0xBBCE3B9Du);
}

TEST(RarFormat, EncodesUnicodeNamesWithTheSharedHighByte) {
    // ASCII: high byte 0, one flag byte per four characters, one byte each.
    EXPECT_EQ(EncodeRarUnicodeName(u"a\\b"), Bytes({0x00, 0x00, 'a', '\\', 'b'}));
    // 中 U+4E2D shares the high byte 0x4E (mode 1), 文 U+6587 does not
    // (mode 2, low byte first), a is mode 0.
    EXPECT_EQ(EncodeRarUnicodeName(u"\u4E2D\u6587a"), Bytes({0x4E, 0x60, 0x2D, 0x87, 0x65, 'a'}));
    // A fifth character starts a new flag byte.
    EXPECT_EQ(EncodeRarUnicodeName(u"abcde"), Bytes({0, 0, 'a', 'b', 'c', 'd', 0, 'e'}));
}

TEST(RarFormat, WritesDosTimesInLocalTimeClampedToTheirRange) {
    UtcTime utc;
    // 2010-01-01 00:00:00 and 2003-05-23 13:45:31 (seconds in steps of two).
    EXPECT_EQ(DosDateTime(1262304000), (30u << 25) | (1u << 21) | (1u << 16));
    EXPECT_EQ(DosDateTime(1053697531),
              (23u << 25) | (5u << 21) | (23u << 16) | (13u << 11) | (45u << 5) | 15u);
    EXPECT_EQ(DosDateTime(0), (1u << 21) | (1u << 16));  // 1970: 1980-01-01
    EXPECT_EQ(DosDateTime(7258118400), 0xFF9FBF7Du);     // 2200: 2107-12-31 23:59:58
}

TEST(RarFormat, RefusesNamesTooLongForAHeader) {
    CRarEntry entry;
    entry.m_strName = std::string(70000, 'a');
    EXPECT_FALSE(RarFileHeader(entry));
    entry.m_strName = "";
    EXPECT_FALSE(RarFileHeader(entry));
    entry.m_strName = std::string(4000, 'a');
    EXPECT_TRUE(RarFileHeader(entry));
}

TEST(RarFormat, LibarchiveReadsLargeSizesFromTheHighFields) {
    // A 5 GB entry's header, with no data behind it: the header alone must
    // give the size.
    CScratchDir dir;
    CRarEntry entry;
    entry.m_strName = "big.bin";
    entry.m_nSize = 5ull << 30;
    entry.m_dwAttributes = kRarAttributeArchive;
    WriteFile(dir / "big.rar", RarArchiveStart() + *RarFileHeader(entry) + RarArchiveEnd());

    archive* a = archive_read_new();
    archive_read_support_format_rar(a);
    ASSERT_EQ(archive_read_open_filename(a, (dir / "big.rar").c_str(), 4096), ARCHIVE_OK);
    archive_entry* e = nullptr;
    ASSERT_EQ(archive_read_next_header(a, &e), ARCHIVE_OK) << archive_error_string(a);
    EXPECT_STREQ(archive_entry_pathname(e), "big.bin");
    EXPECT_EQ(archive_entry_size(e), static_cast<la_int64_t>(5ull << 30));
    archive_read_free(a);
}

TEST(RarFormat, SetsTheFolderFlagsAndTheUnicodeFlagOnlyWhenNeeded) {
    CRarEntry folder;
    folder.m_strName = "top";
    folder.m_bDirectory = true;
    const std::string header = *RarFileHeader(folder);
    const unsigned flags =
        static_cast<unsigned char>(header[3]) | (static_cast<unsigned char>(header[4]) << 8);
    EXPECT_EQ(flags, 0x80E0u);  // data size present, directory
    EXPECT_EQ(header.substr(header.size() - 3), "top");

    CRarEntry chinese;
    chinese.m_strName = "\xD6\xD0";  // 中
    const std::string withUnicode = *RarFileHeader(chinese);
    EXPECT_EQ(static_cast<unsigned char>(withUnicode[4]) & 0x02, 0x02);
    // The narrow name, a zero byte, then the Unicode form.
    EXPECT_EQ(withUnicode.substr(32), std::string("\xD6\xD0\0", 3) + Bytes({0x4E, 0x40, 0x2D}));
    chinese.m_bUnicodeName = false;
    const std::string narrowOnly = *RarFileHeader(chinese);
    EXPECT_EQ(static_cast<unsigned char>(narrowOnly[4]) & 0x02, 0);
    EXPECT_EQ(narrowOnly.substr(32), "\xD6\xD0");
}
