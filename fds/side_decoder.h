// Finds the blocks of one FDS side in its raw cells, checks their CRCs and
// rebuilds the side as an FDS image with one side.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "common/bitstream.h"
#include "common/blocks.h"
#include "common/crc16.h"

// The cell-level search of a run.
struct FdsReader {
    explicit FdsReader(const std::vector<std::uint8_t>& raw) : reader(raw) {}

    // The next block start, past a gap; the reader then stands on the
    // block's ID. kFound, or kEnd when the data ends first.
    SyncSearch SearchSync();

    BitReader reader;
};

enum class FdsDecodeOutcome {
    kComplete,  // the side ended as a side should
    kDamaged,   // completed, but a block failed its CRC or the data ended early
    kFailed,    // stopped; the image holds what was decoded so far, unfilled
};

enum class FdsDecodeProblem {
    kDataEnded,    // the data ended before the side was complete
    kNoFirstSync,  // no block start after the skipped lead-in
    kSyncLost,     // no further block start before the announced files were in
    kBadBlockId,   // a byte where a block's ID belongs is none, or out of the side's order
    kBadCrc,       // a block fails its CRC
};

// A problem as the decode met it, with what it tells.
struct FdsProblemSeen {
    FdsDecodeProblem problem;
    int filesdone = 0;         // kSyncLost, kBadCrc: file data blocks read
    int announced = 0;         // kSyncLost: files the file amount block announces
    int byte = 0;              // kBadBlockId: the byte read
    std::size_t position = 0;  // kBadBlockId: the reader's raw byte there
    std::uint16_t check = 0;   // kBadCrc: the checker's value
};

// What a decode tells as it goes, in the order it happens.
class FdsDecodeEvents {
public:
    virtual ~FdsDecodeEvents() = default;
    virtual void FileCount(int announced) { (void)announced; }
    // Every block, as its CRC becomes known; its offset is its ID's in the image.
    virtual void Block(const BlockSeen& block) { (void)block; }
    virtual void Problem(const FdsProblemSeen& problem) { (void)problem; }
};

struct FdsDecodeResult {
    FdsDecodeOutcome outcome;
    std::vector<std::uint8_t> image;  // header, blocks, zero fill unless it failed
};

FdsDecodeResult DecodeFdsSide(const std::vector<std::uint8_t>& raw, Crc16& crc,
                              FdsDecodeEvents& events);

// A raw side through the decoder with everything its events tell.
struct FdsSideRead {
    FdsDecodeOutcome outcome;
    std::vector<std::uint8_t> image;
    std::vector<BlockSeen> blocks;
    std::vector<FdsProblemSeen> problems;
};
FdsSideRead ReadFdsSide(const std::vector<std::uint8_t>& raw);

// The side area of a decoded one-side image, at least a whole area long;
// an image handed over by move becomes it.
std::vector<std::uint8_t> DecodedFdsArea(std::vector<std::uint8_t> image);
