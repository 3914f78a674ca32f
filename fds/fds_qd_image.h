// FDS .qd images, as emulators and re-releases keep disks: per side, the
// blocks back to back, each followed by the CRC the side carries after it,
// then 0x00 to 65536 bytes; sides one after another.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "fds/fds_image.h"

// The CRC a side carries after a block.
std::uint16_t FdsBlockCrc(const std::uint8_t* block, std::size_t n);

struct FdsQdBlock {
    FdsBlockRef block;     // offset in the .qd side
    std::uint16_t stored;  // the CRC behind it
    std::uint16_t crc;     // the block's own
};

struct FdsQdSideRead {
    FdsWalkResult walk;  // position in the .qd side
    std::vector<FdsQdBlock> blocks;
    // The blocks without their CRCs, then what followed them less its
    // trailing 0x00 bytes: a side area as an FDS image holds it.
    std::vector<std::uint8_t> area;
};

// Sides in a .qd file of that size, the last perhaps cut short.
int FdsQdSideCount(std::size_t size);
// Side side (from 0) of a .qd file; bytes the file lacks are 0x00.
FdsQdSideRead ReadFdsQdSide(const std::vector<std::uint8_t>& file, int side);

enum class FdsQdSideStatus {
    kOk,
    kCutShort,  // a block runs past the end of the area
    kTooLarge,  // the blocks with their CRCs take more than a .qd side
};

struct FdsQdSideResult {
    FdsQdSideStatus status;
    std::size_t bytes;  // the side's bytes before its fill
};

// A side area as a .qd side, appended to file (nothing when not kOk): the
// blocks with their CRCs, then whatever followed them in the area.
FdsQdSideResult AppendFdsQdSide(const std::vector<std::uint8_t>& area,
                                std::vector<std::uint8_t>& file);
