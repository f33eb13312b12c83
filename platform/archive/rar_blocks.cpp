#include "platform/archive/rar_blocks.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>
#include <vector>

namespace {

constexpr unsigned char kRar4Signature[7] = {'R', 'a', 'r', '!', 0x1A, 0x07, 0x00};
constexpr unsigned char kRar5Signature[8] = {'R', 'a', 'r', '!', 0x1A, 0x07, 0x01, 0x00};
constexpr unsigned char kRar4File = 0x74;
constexpr unsigned char kRar4NewSub = 0x7A;
constexpr unsigned char kRar4End = 0x7B;
constexpr unsigned kRar4LongBlock = 0x8000;
constexpr unsigned kRar4Large = 0x0100;
constexpr std::size_t kRar4LargeAt = 32;  // HIGH_PACK_SIZE in file and service headers
constexpr std::uint64_t kRar5End = 5;
constexpr std::uint64_t kRar5HasExtra = 0x0001;
constexpr std::uint64_t kRar5HasData = 0x0002;
// RAR 5 headers are at most 2 MiB.
constexpr std::uint64_t kRar5MaxHeader = 2 * 1024 * 1024;
// Where a self-extracting program keeps the archive it carries.
constexpr std::size_t kSfxSearch = 1024 * 1024;

// Reads up to n bytes at offset; the count read.
std::size_t ReadAt(int fd, std::int64_t offset, void* buf, std::size_t n) {
    auto* p = static_cast<unsigned char*>(buf);
    std::size_t done = 0;
    while (done < n) {
        const ssize_t got = pread(fd, p + done, n - done, offset + static_cast<std::int64_t>(done));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        done += static_cast<std::size_t>(got);
    }
    return done;
}

unsigned Le16(const unsigned char* p) {
    return p[0] | (p[1] << 8);
}
std::uint64_t Le32(const unsigned char* p) {
    return static_cast<std::uint64_t>(Le16(p)) | (static_cast<std::uint64_t>(Le16(p + 2)) << 16);
}

// offset + by, when it stays within the file (its end included).
bool Within(std::int64_t offset, std::uint64_t by, std::int64_t fileSize) {
    return by <= static_cast<std::uint64_t>(fileSize - offset);
}

// A RAR 5 variable-length number at p (at most 10 bytes of n); its length, 0
// when it does not end within them.
std::size_t Vint(const unsigned char* p, std::size_t n, std::uint64_t* value) {
    *value = 0;
    for (std::size_t i = 0; i < n && i < 10; ++i) {
        *value |= static_cast<std::uint64_t>(p[i] & 0x7F) << (7 * i);
        if (!(p[i] & 0x80))
            return i + 1;
    }
    return 0;
}

ERarEnd WalkRar4(int fd, std::int64_t offset, std::int64_t fileSize, std::int64_t* where) {
    for (;;) {
        *where = offset;
        CRar4Block block;
        switch (ReadRar4Block(fd, offset, fileSize, &block)) {
            case ERarBlockRead::kEnd:
                return ERarEnd::kNoEndBlock;
            case ERarBlockRead::kCut:
                return ERarEnd::kCut;
            case ERarBlockRead::kBad:
                return ERarEnd::kBad;
            case ERarBlockRead::kOk:
                break;
        }
        if (block.type == kRar4End)
            return ERarEnd::kEndBlock;
        offset += static_cast<std::int64_t>(block.headSize + block.dataSize);
    }
}

ERarEnd WalkRar5(int fd, std::int64_t offset, std::int64_t fileSize, std::int64_t* where) {
    for (;;) {
        *where = offset;
        if (offset == fileSize)
            return ERarEnd::kNoEndBlock;
        // CRC32, then the header's size, type and flags, and the sizes the
        // flags announce: all within the first 4 + 3 + 30 bytes.
        unsigned char head[4 + 3 + 30];
        const std::size_t got = ReadAt(fd, offset, head, sizeof head);
        std::uint64_t headSize = 0;
        const std::size_t sizeLength =
            got > 4 ? Vint(head + 4, std::min<std::size_t>(got - 4, 3), &headSize) : 0;
        if (sizeLength == 0)
            return got < sizeof head ? ERarEnd::kCut : ERarEnd::kBad;
        if (headSize == 0 || headSize > kRar5MaxHeader)
            return ERarEnd::kBad;
        const std::uint64_t fixed = 4 + sizeLength;
        if (!Within(offset, fixed + headSize, fileSize))
            return ERarEnd::kCut;
        const unsigned char* fields = head + fixed;
        const std::size_t left = std::min<std::size_t>(got - fixed, headSize);
        std::uint64_t type = 0, flags = 0, extra = 0, data = 0;
        std::size_t at = Vint(fields, left, &type);
        std::size_t n = at ? Vint(fields + at, left - at, &flags) : 0;
        if (at == 0 || n == 0)
            return ERarEnd::kBad;
        at += n;
        if (flags & kRar5HasExtra) {
            n = Vint(fields + at, left - at, &extra);
            if (n == 0)
                return ERarEnd::kBad;
            at += n;
        }
        if (flags & kRar5HasData) {
            n = Vint(fields + at, left - at, &data);
            if (n == 0)
                return ERarEnd::kBad;
        }
        if (type == kRar5End)
            return ERarEnd::kEndBlock;
        if (data > std::numeric_limits<std::uint64_t>::max() - fixed - headSize ||
            !Within(offset, fixed + headSize + data, fileSize))
            return ERarEnd::kCut;
        offset += static_cast<std::int64_t>(fixed + headSize + data);
    }
}

}  // namespace

ERarBlockRead ReadRar4Block(int fd, std::int64_t offset, std::int64_t fileSize, CRar4Block* block) {
    if (offset == fileSize)
        return ERarBlockRead::kEnd;
    unsigned char head[kRar4LargeAt + 8];
    const std::size_t got = ReadAt(fd, offset, head, sizeof head);
    if (got < 7)
        return ERarBlockRead::kCut;
    block->type = head[2];
    block->flags = Le16(head + 3);
    block->headSize = Le16(head + 5);
    block->dataSize = 0;
    if (block->headSize < 7)
        return ERarBlockRead::kBad;
    // File and service headers always give the size of their data, in the
    // field other blocks have only with the long-block flag.
    const bool fileLike = block->type == kRar4File || block->type == kRar4NewSub;
    const bool sized = fileLike || (block->flags & kRar4LongBlock) != 0;
    const bool large = fileLike && (block->flags & kRar4Large) != 0;
    const std::size_t fieldsEnd = large ? kRar4LargeAt + 8 : sized ? 11 : 7;
    if (block->headSize < fieldsEnd)
        return ERarBlockRead::kBad;
    if (got < fieldsEnd || !Within(offset, block->headSize, fileSize))
        return ERarBlockRead::kCut;
    if (sized)
        block->dataSize = Le32(head + 7);
    if (large)
        block->dataSize |= Le32(head + kRar4LargeAt) << 32;
    if (!Within(offset, block->headSize + block->dataSize, fileSize))
        return ERarBlockRead::kCut;
    return ERarBlockRead::kOk;
}

ERarEnd CheckRarEnd(int fd, std::int64_t* where) {
    *where = 0;
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))
        return ERarEnd::kNotRar;
    const std::int64_t fileSize = st.st_size;
    // The signature starts the archive, or lies inside a self-extracting
    // program (which begins "MZ").
    std::vector<unsigned char> start(std::min<std::int64_t>(fileSize, kSfxSearch));
    start.resize(ReadAt(fd, 0, start.data(), start.size()));
    const bool program = start.size() >= 2 && start[0] == 'M' && start[1] == 'Z';
    for (std::size_t at = 0; at + sizeof kRar4Signature <= start.size(); ++at) {
        if (at + sizeof kRar5Signature <= start.size() &&
            std::memcmp(&start[at], kRar5Signature, sizeof kRar5Signature) == 0)
            return WalkRar5(fd, static_cast<std::int64_t>(at + sizeof kRar5Signature), fileSize,
                            where);
        if (std::memcmp(&start[at], kRar4Signature, sizeof kRar4Signature) == 0)
            return WalkRar4(fd, static_cast<std::int64_t>(at), fileSize, where);
        if (!program)
            break;
    }
    return ERarEnd::kNotRar;
}
