// The blocks of a RAR 4.x archive, as the Windows archiver writes them for
// stored (uncompressed) entries: the marker, the main header, one file header
// before each entry's data, and the end-of-archive block. Every header starts
// with the low 16 bits of the CRC-32 of the rest of the header.
#pragma once

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>

// File attributes as the Windows archiver records them.
constexpr std::uint32_t kRarAttributeReadOnly = 0x01;
constexpr std::uint32_t kRarAttributeDirectory = 0x10;
constexpr std::uint32_t kRarAttributeArchive = 0x20;

// Sizes up to this fit the header's 32-bit fields; larger entries carry the
// high halves in the LHD_LARGE fields.
constexpr std::uint64_t kRarMaxSmallSize = 0xFFFFFFFFu;

struct CRarEntry {
    // GBK, components separated by backslashes, as the archive stores it.
    std::string m_strName;
    // When the name holds other than ASCII, also store it as Unicode (the
    // Windows archiver does; readers then need not know the code page, and
    // a trail byte 0x5C is never taken for a separator). Off only to make
    // archives as older archivers wrote them.
    bool m_bUnicodeName = true;
    bool m_bDirectory = false;
    std::uint64_t m_nSize = 0;         // bytes of data that follow the header
    std::uint32_t m_dwDataCrc = 0;     // CRC-32 of those bytes
    std::uint32_t m_dwDosTime = 0;     // see DosDateTime
    std::uint32_t m_dwAttributes = 0;  // kRarAttribute...
};

// The marker ("Rar!\x1A\x07\x00") followed by the main header.
std::string RarArchiveStart();
// The file header of an entry; nothing when the name does not fit a header
// (a header is at most 65535 bytes).
std::optional<std::string> RarFileHeader(const CRarEntry& entry);
// The end-of-archive block.
std::string RarArchiveEnd();

// The stored form of a Unicode name: a high byte, then per four characters a
// flag byte and their bytes (1 for a character below 0x100 or one sharing
// the high byte, else 2).
std::string EncodeRarUnicodeName(std::u16string_view name);

// A time as a DOS date and time in local time (two-second steps), the form
// the archive keeps; times before 1980 or after 2107 are clamped.
std::uint32_t DosDateTime(std::time_t t);
