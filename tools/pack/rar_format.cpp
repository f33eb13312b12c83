#include "tools/pack/rar_format.h"

#include "platform/archive/crc32.h"
#include "platform/text/text.h"

namespace {

constexpr unsigned char kHeadMain = 0x73;
constexpr unsigned char kHeadFile = 0x74;
constexpr unsigned char kHeadEnd = 0x7B;

constexpr std::uint16_t kFlagLongBlock = 0x8000;  // a data size follows the header
constexpr std::uint16_t kFlagSkipIfUnknown = 0x4000;
constexpr std::uint16_t kFlagLarge = 0x0100;
constexpr std::uint16_t kFlagUnicode = 0x0200;
constexpr std::uint16_t kFlagDirectory = 0x00E0;

constexpr unsigned char kHostWin32 = 2;
constexpr unsigned char kVersionNeeded = 29;  // RAR 2.9 / 3.x: Unicode names
constexpr unsigned char kMethodStore = 0x30;

constexpr std::size_t kMaxHeaderSize = 0xFFFF;

void Put16(std::string* out, std::uint32_t v) {
    out->push_back(static_cast<char>(v & 0xFF));
    out->push_back(static_cast<char>((v >> 8) & 0xFF));
}

void Put32(std::string* out, std::uint32_t v) {
    Put16(out, v & 0xFFFF);
    Put16(out, v >> 16);
}

// A block: header CRC, type, flags, size, then the body.
std::string Block(unsigned char type, std::uint16_t flags, const std::string& body) {
    std::string header;
    header.push_back(static_cast<char>(type));
    Put16(&header, flags);
    Put16(&header, static_cast<std::uint32_t>(7 + body.size()));
    header += body;
    std::string block;
    Put16(&block, Crc32Update(0, header.data(), header.size()) & 0xFFFF);
    return block + header;
}

bool HasNonAscii(std::string_view s) {
    for (const char c : s) {
        if (static_cast<unsigned char>(c) >= 0x80)
            return true;
    }
    return false;
}

}  // namespace

std::string RarArchiveStart() {
    return std::string("Rar!\x1A\x07\x00", 7) + Block(kHeadMain, 0, std::string(6, '\0'));
}

std::string RarArchiveEnd() {
    return Block(kHeadEnd, kFlagSkipIfUnknown, "");
}

std::string EncodeRarUnicodeName(std::u16string_view name) {
    unsigned high = 0;
    for (const char16_t c : name) {
        if (c >= 0x100) {
            high = c >> 8;
            break;
        }
    }
    std::string out(1, static_cast<char>(high));
    for (std::size_t group = 0; group < name.size(); group += 4) {
        const std::size_t flagAt = out.size();
        out.push_back('\0');
        unsigned flags = 0;
        for (std::size_t i = 0; i < 4 && group + i < name.size(); ++i) {
            const char16_t c = name[group + i];
            const int shift = 6 - 2 * static_cast<int>(i);
            if (c < 0x100) {
                out.push_back(static_cast<char>(c));  // mode 0: high byte 0
            } else if ((c >> 8) == high) {
                flags |= 1u << shift;  // mode 1: the shared high byte
                out.push_back(static_cast<char>(c & 0xFF));
            } else {
                flags |= 2u << shift;  // mode 2: both bytes, low first
                out.push_back(static_cast<char>(c & 0xFF));
                out.push_back(static_cast<char>(c >> 8));
            }
        }
        out[flagAt] = static_cast<char>(flags);
    }
    return out;
}

std::optional<std::string> RarFileHeader(const CRarEntry& entry) {
    std::string nameField = entry.m_strName;
    std::uint16_t flags = kFlagLongBlock;
    if (entry.m_bUnicodeName && HasNonAscii(entry.m_strName)) {
        flags |= kFlagUnicode;
        nameField.push_back('\0');
        nameField += EncodeRarUnicodeName(text::GbkToUtf16(entry.m_strName));
    }
    if (entry.m_bDirectory)
        flags |= kFlagDirectory;
    const bool large = entry.m_nSize > kRarMaxSmallSize;
    if (large)
        flags |= kFlagLarge;

    std::string body;
    const auto low = static_cast<std::uint32_t>(entry.m_nSize & 0xFFFFFFFFu);
    const auto high = static_cast<std::uint32_t>(entry.m_nSize >> 32);
    Put32(&body, low);  // packed size: stored, so the same
    Put32(&body, low);  // unpacked size
    body.push_back(static_cast<char>(kHostWin32));
    Put32(&body, entry.m_dwDataCrc);
    Put32(&body, entry.m_dwDosTime);
    body.push_back(static_cast<char>(kVersionNeeded));
    body.push_back(static_cast<char>(kMethodStore));
    Put16(&body, static_cast<std::uint32_t>(nameField.size() & 0xFFFF));
    Put32(&body, entry.m_dwAttributes);
    if (large) {
        Put32(&body, high);
        Put32(&body, high);
    }
    body += nameField;
    if (nameField.empty() || nameField.size() > 0xFFFF || 7 + body.size() > kMaxHeaderSize)
        return std::nullopt;
    return Block(kHeadFile, flags, body);
}

std::uint32_t DosDateTime(std::time_t t) {
    std::tm tm{};
    if (localtime_r(&t, &tm) == nullptr || tm.tm_year < 80)
        return (1u << 21) | (1u << 16);  // 1980-01-01 00:00:00
    if (tm.tm_year > 207)
        return (127u << 25) | (12u << 21) | (31u << 16) | (23u << 11) | (59u << 5) | 29u;
    const int seconds = tm.tm_sec > 59 ? 59 : tm.tm_sec;  // a leap second
    return (static_cast<std::uint32_t>(tm.tm_year - 80) << 25) |
           (static_cast<std::uint32_t>(tm.tm_mon + 1) << 21) |
           (static_cast<std::uint32_t>(tm.tm_mday) << 16) |
           (static_cast<std::uint32_t>(tm.tm_hour) << 11) |
           (static_cast<std::uint32_t>(tm.tm_min) << 5) | static_cast<std::uint32_t>(seconds / 2);
}
