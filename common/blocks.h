// What both media's blocks are to their side, and a block as a decoder
// read it: the terms the decoders, the rescue and the tools share.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

using Bytes = std::vector<std::uint8_t>;

// A side is its opening, on FDS a file count, then a header and a data
// block per file.
enum class BlockRole : std::uint8_t {
    kOpening,    // FDS disk info, QD block count
    kFileCount,  // FDS file amount; a QD side counts its blocks in its opening
    kHeader,     // FDS file header, QD information block
    kData,       // a file's data
};

// A run of file numbers a side skips, where a medium numbers its files
// from 0 in the order they lie: on a side that holds fewer files than it
// announces, a number skipped is a file lost whole. A side that skips more
// numbers than it lacks files is only numbered freely: none then.
struct SkippedFiles {
    int first;       // the first number missing
    int next;        // the number of the file found after it
    std::size_t at;  // that file's place in numbers
};
// numbers: the file headers' numbers in the order they lie, -1 where one
// is not known; announced: the files the side announces, -1 when not known.
std::vector<SkippedFiles> SkippedFileNumbers(const std::vector<int>& numbers, int announced);

// A block as a side's decoder read it, once its CRC is known.
struct BlockSeen {
    BlockRole role;
    std::uint8_t code;  // the medium's own byte for its kind: FDS ID, QD type (0: block count)
    std::size_t
        length;  // bytes from its first (the ID, the ID mark) through the last before the CRC
    std::uint16_t check;  // 0 when the CRC holds
    std::size_t offset;  // of its first byte in what the decoder rebuilds (an image, a side stream)
    std::size_t end;     // the cell after its CRC in the raw image
};
