// CRC-32 as the RAR and ZIP formats use it (polynomial 0xEDB88320, reflected,
// initial and final value inverted): the checksum of an entry's data and, cut
// to its low 16 bits, of each RAR block header. Header-only, so that the RAR
// writer shares it without linking the archive library.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace crc32_detail {

constexpr std::array<std::uint32_t, 256> MakeTable() {
    std::array<std::uint32_t, 256> table{};
    for (std::uint32_t i = 0; i < 256; ++i) {
        std::uint32_t c = i;
        for (int k = 0; k < 8; ++k)
            c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        table[i] = c;
    }
    return table;
}

inline constexpr std::array<std::uint32_t, 256> kTable = MakeTable();

}  // namespace crc32_detail

// Continues crc (0 for a fresh checksum) over size bytes.
inline std::uint32_t Crc32Update(std::uint32_t crc, const void* data, std::size_t size) {
    const auto* p = static_cast<const unsigned char*>(data);
    crc = ~crc;
    for (std::size_t i = 0; i < size; ++i)
        crc = crc32_detail::kTable[(crc ^ p[i]) & 0xFF] ^ (crc >> 8);
    return ~crc;
}
