// The block structure of RAR archives (RAR 1.5 to 4.x and RAR 5), read
// without libarchive: where each block starts and how long it is with its
// data, so that an archive cut short can be told from a whole one. Private
// to platform/archive.
#pragma once

#include <cstdint>
#include <string>

// One RAR 4 block: its header fields and the data that follows the header.
struct CRar4Block {
    unsigned char type = 0;
    unsigned flags = 0;
    unsigned headSize = 0;       // the header, fixed fields included
    std::uint64_t dataSize = 0;  // what follows the header
};

enum class ERarBlockRead {
    kOk,
    kEnd,  // the file ends exactly here: no block starts
    kCut,  // the file ends inside the block's header or data
    kBad,  // not a block: sizes that make no sense
};

// Reads the RAR 4 block at offset of the file open as fd (fileSize bytes
// long) without moving the file's offset.
ERarBlockRead ReadRar4Block(int fd, std::int64_t offset, std::int64_t fileSize, CRar4Block* block);

enum class ERarEnd {
    kNotRar,      // no RAR signature where an archive or a self-extractor has it
    kEndBlock,    // every block whole, up to the end-of-archive block
    kNoEndBlock,  // every block whole, the file ends after one without an end block
    kCut,         // the file ends inside a block
    kBad,         // a block whose sizes make no sense
};

// Walks every block of the RAR 4 or RAR 5 archive open as fd, from its
// signature (at the start, or inside a self-extracting program) to the
// end-of-archive block or the end of the file. *where tells, for kCut and
// kBad, at which offset the block starts.
ERarEnd CheckRarEnd(int fd, std::int64_t* where);
