// The walk over the raw image of one QD side: gap, sync, ID mark, block,
// CRC, over and over, handing what it reads on as it goes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "common/bitstream.h"
#include "common/blocks.h"
#include "common/crc16.h"
#include "qd/qd_layout.h"

// The cell-level searches of a run, with its sync register.
struct QdReader {
    explicit QdReader(const std::vector<std::uint8_t>& raw) : reader(raw) {}

    // kFound once a gap has been passed (eight non-gap cells used up), kEnd
    // at the end.
    SyncSearch SearchGap();
    // kFound with syncbyte 0x16 within 16 data bits, kNotFound when not
    // there, kEnd at the end.
    SyncSearch FindSync();

    BitReader reader;
    std::uint8_t syncbyte = 0;
};

// What the walk hands on, in the order it reads the side.
class QdDecodeEvents {
public:
    virtual ~QdDecodeEvents() = default;
    // The block-count block, before its CRC is known.
    virtual void BlockCount(int count) { (void)count; }
    // Every block, the block-count block too, as its CRC becomes known; its
    // offset is its ID mark's in the side stream.
    virtual void Block(const BlockSeen& block) { (void)block; }
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
    kIdError,      // byte: the one where the ID mark belongs
    kCrcError,     // check: the checker's value
    kUnknownType,  // byte: the block type
    kOutputFailed,
};

struct QdDecodeResult {
    QdDecodeOutcome outcome;
    std::uint8_t byte = 0;
    std::uint16_t check = 0;
};

// Walks the side from the end of the skipped lead-in on.
QdDecodeResult DecodeQdSide(const std::vector<std::uint8_t>& raw, Crc16& crc,
                            QdDecodeEvents& events);

// What a block is to its side: the block-count block opens it; a type's
// bit 0 tells information from data.
constexpr BlockRole QdBlockRole(std::uint8_t type, bool count) {
    if (count) return BlockRole::kOpening;
    return IsQdDataBlock(type) ? BlockRole::kData : BlockRole::kHeader;
}

// A raw side through the decoder with everything it tells, and the QD
// image file and MZT file it makes.
struct QdSideRead {
    QdDecodeResult result;
    int blockcount = -1;  // none seen
    std::vector<BlockSeen> blocks;
    std::vector<QdInfoRecord> infos;
    std::vector<std::uint8_t> image;  // the QD image file, when asked for
    std::size_t imageread = 0;        // bytes of image the read gave, before any fill
    std::vector<std::uint8_t> mzt;    // the MZT file, when asked for
};

// Block n of a read as it was read, its ID mark through its CRC (less where
// the read ended inside it): bytes of read.image, made when asked for.
std::vector<std::uint8_t> QdBlockBytes(const QdSideRead& read, std::size_t n);

// Which files a read builds beside its blocks; the other stays empty. A
// caller that needs only one spares the other's memory.
enum class QdReadFiles { kBoth, kImage, kMzt };
QdSideRead ReadQdSide(const std::vector<std::uint8_t>& raw, QdReadFiles files = QdReadFiles::kBoth);

// A file whose information record gives another size than its data block
// holds: the information block's index among the side's blocks.
struct QdSizeMismatch {
    std::size_t block;
    unsigned recordsize;
    std::size_t blocksize;
};
std::vector<QdSizeMismatch> QdSizeMismatches(const QdSideRead& read);

// The MZT file of a decoded side, each record's size that of its data
// block; none, with the block it names, when a data block has no
// information block or one has no data block.
struct QdSideMzt {
    std::vector<std::uint8_t> file;
    enum Fault { kNone, kInfoWithoutData, kDataWithoutInfo } fault = kNone;
    std::size_t block = 0;
};
QdSideMzt MztOfQdSide(const QdSideRead& read);
