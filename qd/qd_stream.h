// A QD side stream as its blocks and the gaps and sync runs around them, so
// that a QD image file laid out by any tool can be laid out again as it was.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

struct QdStreamBlock {
    std::size_t gap = 0;              // 0x00 bytes before it
    std::size_t syncbefore = 0;       // 0x16 bytes before it
    std::size_t syncafter = 0;        // 0x16 bytes after it
    std::vector<std::uint8_t> bytes;  // from its ID mark through its CRC
};

struct QdStreamParts {
    std::vector<QdStreamBlock> blocks;  // the block-count block and those it counts
    std::size_t fill = 0;               // 0x00 bytes after the last block
};

// False when the stream is anything else: a block without its gap and sync
// layout, a block cut short, or other bytes than 0x00 after the last one.
bool SplitQdStream(const std::vector<std::uint8_t>& stream, QdStreamParts& parts);
std::vector<std::uint8_t> JoinQdStream(const QdStreamParts& parts);
