// The walk over the raw image of one QD side: gap, sync, ID mark, block,
// CRC, over and over, handing what it reads to the outputs as it goes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "common/bitstream.h"
#include "common/crc16.h"
#include "qd/qd_layout.h"

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

// A block as the walk read it, once its CRC is known.
struct QdBlockSeen {
    int type;             // -1 for the block-count block
    int size;             // of the body
    std::uint16_t check;  // 0 when the CRC holds
};

// What the walk hands on, in the order it reads the side.
class QdDecodeSink {
public:
    virtual ~QdDecodeSink() = default;
    // The block-count block, before its CRC is known.
    virtual void BlockCount(int count) { (void)count; }
    // Every block, the block-count block too, as its CRC becomes known.
    virtual void Block(const QdBlockSeen& block) { (void)block; }
    // The side stream as the walk rebuilds it.
    virtual void ImageByte(std::uint8_t byte) = 0;
    // A body byte of a data block, before the block's CRC is known, and an
    // information block that has passed its CRC. False stops the walk: the
    // receiver has failed and has said so.
    virtual bool DataByte(std::uint8_t byte, int offset) = 0;
    virtual bool Information(const QdInfoRecord& record, int blocknumber) = 0;

    // Runs of the above as the walk reads them; byte by byte unless a sink
    // takes them whole. Of a run of body bytes, every one goes to DataBytes
    // before any goes to ImageBytes; it returns how many it took before one
    // failed (n when none did).
    virtual void ImageBytes(const std::uint8_t* bytes, std::size_t n) {
        for (std::size_t i = 0; i < n; ++i) ImageByte(bytes[i]);
    }
    virtual void ImageRun(std::uint8_t byte, std::size_t n) {
        for (std::size_t i = 0; i < n; ++i) ImageByte(byte);
    }
    virtual std::size_t DataBytes(const std::uint8_t* bytes, std::size_t n, int offset) {
        for (std::size_t i = 0; i < n; ++i) {
            if (!DataByte(bytes[i], offset + static_cast<int>(i))) return i;
        }
        return n;
    }
};

enum class QdDecodeOutcome {
    kNormalEnd,
    kGapError,
    kEndOfFile,
    kIdError,      // value: the byte
    kCrcError,     // value: the check value
    kUnknownType,  // value: the block type
    kOutputFailed,
};

struct QdDecodeResult {
    QdDecodeOutcome outcome;
    int value;
};

// Walks the side from the end of the skipped lead-in on.
QdDecodeResult DecodeQdSide(QdReader& qd, Crc16& crc, QdDecodeSink& sink);
