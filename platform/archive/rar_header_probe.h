// What a RAR 4 file header says about its entry. libarchive hands a RAR 4
// name over without telling whether it was stored as Unicode or in the
// archive's code page, and does not check the data of an entry against its
// checksum; this looks at the header itself for both.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

struct CRarHeaderProbe {
    bool m_bUnicode = false;  // the name is Unicode (the reader gives UTF-8)
    std::string m_strNarrow;  // the code-page form, as stored (up to a NUL)
    std::uint64_t m_nUnpackedSize = 0;
    std::uint32_t m_dwDataCrc = 0;  // CRC-32 of the unpacked data
};

// Reads the blocks of the RAR 4 archive open as fd (fileSize bytes long)
// from offset on (the marker, the main header and other blocks are passed
// over, as a reader does) up to the next file header, without moving the
// file's offset. Nothing when no well-formed file header is found there.
std::optional<CRarHeaderProbe> ProbeRarHeader(int fd, std::int64_t offset, std::int64_t fileSize);
