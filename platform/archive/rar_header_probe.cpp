#include "platform/archive/rar_header_probe.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "platform/archive/rar_blocks.h"

namespace {

constexpr unsigned char kHeadMark = 0x72;
constexpr unsigned char kHeadFile = 0x74;
constexpr unsigned char kHeadNewSub = 0x7A;
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

}  // namespace

std::optional<CRarHeaderProbe> ProbeRarHeader(int fd, std::int64_t offset, std::int64_t fileSize) {
    if (offset < 0 || offset > fileSize)
        return std::nullopt;
    for (int n = 0; n < kMaxBlocks; ++n) {
        CRar4Block block;
        if (ReadRar4Block(fd, offset, fileSize, &block) != ERarBlockRead::kOk)
            return std::nullopt;
        if (block.type == kHeadFile) {
            if (block.headSize < kFileHeaderFixed)
                return std::nullopt;
            std::vector<unsigned char> header(block.headSize);
            if (!ReadAt(fd, offset, header.data(), header.size()))
                return std::nullopt;
            const std::size_t nameSize = Le16(&header[26]);
            const std::size_t nameAt = kFileHeaderFixed + ((block.flags & kFlagLarge) ? 8 : 0);
            if (nameAt + nameSize > header.size())
                return std::nullopt;
            const char* name = reinterpret_cast<const char*>(&header[nameAt]);
            CRarHeaderProbe probe;
            probe.m_bUnicode = (block.flags & kFlagUnicode) != 0;
            probe.m_nUnpackedSize = Le32(&header[11]);
            if (block.flags & kFlagLarge)
                probe.m_nUnpackedSize |= Le32(&header[kFileHeaderFixed + 4]) << 32;
            probe.m_dwDataCrc = static_cast<std::uint32_t>(Le32(&header[16]));
            probe.m_strNarrow.assign(name, strnlen(name, nameSize));
            return probe;
        }
        // The marker, the main header, comments, signatures, recovery
        // records and service headers are passed over, as a reader does;
        // the end block or an unknown one means no file header follows.
        if (block.type < kHeadMark || block.type > kHeadNewSub)
            return std::nullopt;
        offset += static_cast<std::int64_t>(block.headSize + block.dataSize);
    }
    return std::nullopt;
}
