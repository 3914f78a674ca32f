// Finds the blocks of one FDS side in its raw cells, checks their CRCs and
// rebuilds the side as an FDS image with one side.
#pragma once

#include <cstdint>
#include <vector>

#include "common/bitstream.h"
#include "common/crc16.h"

// Finds the next block start; the reader then stands on the block's ID.
// 1, or -1 when the data ends first.
int SearchSync(BitReader& reader);

enum class FdsDecodeOutcome {
    kComplete,  // the side ended as a side should
    kDamaged,   // completed, but a block failed its CRC or the data ended early
    kFailed,    // stopped; the image holds what was decoded so far, unfilled
};

enum class FdsDecodeProblem {
    kDataEnded,    // the data ended before the side was complete
    kNoFirstSync,  // no block start after the skipped lead-in
    kSyncLost,     // a: files done, b: files announced
    kBadBlockId,   // a: the byte, b: the reader's byte position
    kBadCrc,       // a: files done, b: the check value
};

// A block as the walk read it, once its CRC is known.
struct FdsBlockSeen {
    std::uint8_t id;
    std::size_t offset;   // of its ID in the image
    int length;           // with the ID, without the CRC
    std::uint16_t check;  // 0 when the CRC holds
    std::size_t end;      // the cell after its CRC in the raw image
};

// What a decode tells as it goes, in the order it happens.
class FdsDecodeEvents {
public:
    virtual ~FdsDecodeEvents() = default;
    virtual void FileCount(int announced) { (void)announced; }
    virtual void Block(const FdsBlockSeen& block) { (void)block; }
    virtual void Problem(FdsDecodeProblem problem, int a, int b) {
        (void)problem, (void)a, (void)b;
    }
};

// Decodes raw into image (header, blocks, zero fill).
FdsDecodeOutcome DecodeFdsSide(const std::vector<std::uint8_t>& raw,
                               std::vector<std::uint8_t>& image, Crc16& crc,
                               FdsDecodeEvents& events);
