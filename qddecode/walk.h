// The walk over the raw image of one QD side: gap, sync, ID mark, block,
// CRC, over and over, handing what it reads to the outputs as it goes.
#pragma once

#include <cstdint>
#include <vector>

#include "common/bitstream.h"
#include "common/console.h"
#include "common/crc16.h"
#include "qddecode/qd_layout.h"

// Cells searched for the sync byte after a gap, in data bits.
inline constexpr int kSyncSearchBits = 16;
// Bytes passed over blindly after the byte that ends a block's sync run.
inline constexpr int kPostBlockSkipBytes = 32;

// The cell-level searches, with the sync register of the run.
struct QdReader {
    explicit QdReader(const std::vector<std::uint8_t>& raw) : reader(raw) {}

    // 0 once a gap has been passed (eight non-gap cells used up), -1 at the end.
    std::int32_t SearchGap();
    // 0x16 when found within 16 data bits, 0 when not, -1 at the end.
    std::int32_t FindSync();

    BitReader reader;
    std::uint8_t syncbyte = 0;
};

// What the walk hands on. A false return stops the walk: the output has
// failed and has said so.
class QdWalkSink {
public:
    virtual ~QdWalkSink() = default;
    // The side stream as the walk rebuilds it.
    virtual bool ImageByte(std::uint8_t byte) = 0;
    // A body byte of a data block, before the block's CRC is known.
    virtual bool DataByte(std::uint8_t byte, int offset) = 0;
    // An information block that has passed its CRC.
    virtual bool Information(const InfoRecord& record, int blocknumber) = 0;
};

enum class QdWalkOutcome {
    kNormalEnd,
    kGapError,
    kEndOfFile,
    kIdError,      // value: the byte
    kCrcError,     // value: the check value
    kUnknownType,  // value: the block type
    kOutputFailed,
};

struct QdWalkResult {
    QdWalkOutcome outcome;
    int value;
};

// Walks the side from raw byte 6144 on; prints "BLOCK NUM" lines.
QdWalkResult WalkQdSide(QdReader& qd, Crc16& crc, Console& console, QdWalkSink& sink);
