// Finds the blocks of one FDS side in its raw cells, checks their CRCs and
// rebuilds the side as an FDS image with one side.
#pragma once

#include <cstdint>
#include <vector>

#include "common/bitstream.h"
#include "common/console.h"
#include "common/crc16.h"

// Cells of at least this many groups of four zero data bits, in step, make
// a gap before a block start mark.
inline constexpr int kFdsSyncGapGroups = 128;
// Logical bytes passed over blindly at the start of a raw side.
inline constexpr int kFdsSkippedBytes = 2816;

// Finds the next block start; the reader then stands on the block's ID.
// 1, or -1 when the data ends first.
int SearchSync(BitReader& reader);

enum class FdsDecodeOutcome {
    kComplete,  // the side ended as a side should
    kDamaged,   // completed, but a block failed its CRC or the data ended early
    kFailed,    // stopped; the image holds what was decoded so far, unfilled
};

// Decodes raw into image (header, blocks, zero fill), printing the run's
// messages as it goes; every error message is printed here.
FdsDecodeOutcome DecodeFdsSide(const std::vector<std::uint8_t>& raw,
                               std::vector<std::uint8_t>& image, Crc16& crc, Console& console);
