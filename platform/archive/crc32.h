// CRC-32 as the RAR and ZIP formats use it (polynomial 0xEDB88320, reflected,
// initial and final value inverted): the checksum of an entry's data and, cut
// to its low 16 bits, of each RAR block header. Header-only, so that the RAR
// writer shares it without linking the archive library.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace crc32_detail {

// Eight tables, so that eight bytes are folded in per step ("slicing by 8").
constexpr std::array<std::array<std::uint32_t, 256>, 8> MakeTables() {
    std::array<std::array<std::uint32_t, 256>, 8> tables{};
    for (std::uint32_t i = 0; i < 256; ++i) {
        std::uint32_t c = i;
        for (int k = 0; k < 8; ++k)
            c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        tables[0][i] = c;
    }
    for (std::uint32_t i = 0; i < 256; ++i) {
        for (std::size_t t = 1; t < 8; ++t)
            tables[t][i] = (tables[t - 1][i] >> 8) ^ tables[0][tables[t - 1][i] & 0xFF];
    }
    return tables;
}

inline constexpr std::array<std::array<std::uint32_t, 256>, 8> kTables = MakeTables();

}  // namespace crc32_detail

// Continues crc (0 for a fresh checksum) over size bytes.
inline std::uint32_t Crc32Update(std::uint32_t crc, const void* data, std::size_t size) {
    const auto& t = crc32_detail::kTables;
    const auto* p = static_cast<const unsigned char*>(data);
    crc = ~crc;
    for (; size >= 8; size -= 8, p += 8) {
        const std::uint32_t low =
            crc ^ (p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<std::uint32_t>(p[3]) << 24));
        crc = t[7][low & 0xFF] ^ t[6][(low >> 8) & 0xFF] ^ t[5][(low >> 16) & 0xFF] ^
              t[4][low >> 24] ^ t[3][p[4]] ^ t[2][p[5]] ^ t[1][p[6]] ^ t[0][p[7]];
    }
    for (; size > 0; --size, ++p)
        crc = t[0][(crc ^ *p) & 0xFF] ^ (crc >> 8);
    return ~crc;
}
