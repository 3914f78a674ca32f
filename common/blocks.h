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
