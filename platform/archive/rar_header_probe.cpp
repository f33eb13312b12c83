#include "platform/archive/rar_header_probe.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <limits>
#include <vector>

namespace {

constexpr unsigned char kMarker[7] = {'R', 'a', 'r', '!', 0x1A, 0x07, 0x00};
constexpr unsigned char kHeadMain = 0x73;
constexpr unsigned char kHeadFile = 0x74;
constexpr unsigned char kHeadNewSub = 0x7A;
constexpr unsigned kFlagLongBlock = 0x8000;
constexpr unsigned kFlagLarge = 0x0100;
constexpr unsigned kFlagUnicode = 0x0200;
constexpr std::size_t kFileHeaderFixed = 32;  // up to and with the attributes
// Blocks between two file headers are few (a comment, a signature); a long
// run of them means this is not the archive the reader saw.
constexpr int kMaxBlocks = 1024;

bool ReadAt(int fd, std::int64_t offset, void* buf, std::size_t n) {
    auto* p = static_cast<unsigned char*>(buf);
    while (n > 0) {
        const ssize_t got = pread(fd, p, n, offset);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return false;
        p += got;
        n -= static_cast<std::size_t>(got);
        offset += got;
    }
    return true;
}

unsigned Le16(const unsigned char* p) {
    return p[0] | (p[1] << 8);
}
std::uint64_t Le32(const unsigned char* p) {
    return static_cast<std::uint64_t>(Le16(p)) | (static_cast<std::uint64_t>(Le16(p + 2)) << 16);
}

bool Advance(std::int64_t* offset, std::uint64_t by) {
    if (by > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max() - *offset))
        return false;
    *offset += static_cast<std::int64_t>(by);
    return true;
}

}  // namespace

std::optional<CRarHeaderProbe> ProbeRarHeader(int fd, std::int64_t offset) {
    if (offset < 0)
        return std::nullopt;
    for (int block = 0; block < kMaxBlocks; ++block) {
        unsigned char head[7];
        if (!ReadAt(fd, offset, head, sizeof head))
            return std::nullopt;
        if (std::memcmp(head, kMarker, sizeof kMarker) == 0) {
            offset += sizeof kMarker;
            continue;
        }
        const unsigned char type = head[2];
        const unsigned flags = Le16(head + 3);
        const unsigned size = Le16(head + 5);
        if (size < 7)
            return std::nullopt;

        if (type == kHeadFile) {
            if (size < kFileHeaderFixed)
                return std::nullopt;
            std::vector<unsigned char> header(size);
            if (!ReadAt(fd, offset, header.data(), size))
                return std::nullopt;
            const std::size_t nameSize = Le16(&header[26]);
            const std::size_t nameAt = kFileHeaderFixed + ((flags & kFlagLarge) ? 8 : 0);
            if (nameAt + nameSize > size)
                return std::nullopt;
            const char* name = reinterpret_cast<const char*>(&header[nameAt]);
            CRarHeaderProbe probe;
            probe.m_bUnicode = (flags & kFlagUnicode) != 0;
            probe.m_nUnpackedSize = Le32(&header[11]);
            if (flags & kFlagLarge)
                probe.m_nUnpackedSize |= Le32(&header[kFileHeaderFixed + 4]) << 32;
            probe.m_dwDataCrc = static_cast<std::uint32_t>(Le32(&header[16]));
            probe.m_strNarrow.assign(name, strnlen(name, nameSize));
            return probe;
        }

        std::uint64_t skip = size;
        if (type == kHeadMain) {
            // no data follows
        } else if (type == kHeadNewSub) {
            // A service header: laid out as a file header, its data follows.
            if (size < kFileHeaderFixed + ((flags & kFlagLarge) ? 8 : 0))
                return std::nullopt;
            unsigned char fields[kFileHeaderFixed + 8];
            if (!ReadAt(fd, offset, fields, size < sizeof fields ? size : sizeof fields))
                return std::nullopt;
            skip += Le32(fields + 7);
            if (flags & kFlagLarge) {
                const std::uint64_t high = Le32(fields + kFileHeaderFixed);
                if (high >= 0x80000000u)
                    return std::nullopt;  // beyond any file
                skip += high << 32;
            }
        } else if (type >= 0x75 && type <= 0x79) {
            // Comment, authenticity, old service, recovery and signature
            // blocks: a data size follows the header when the flag says so.
            if (flags & kFlagLongBlock) {
                unsigned char add[4];
                if (size < 11 || !ReadAt(fd, offset + 7, add, sizeof add))
                    return std::nullopt;
                skip += Le32(add);
            }
        } else {
            return std::nullopt;  // the end block, or not a block at all
        }
        if (!Advance(&offset, skip))
            return std::nullopt;
    }
    return std::nullopt;
}
