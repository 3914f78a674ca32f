// The side stream of a freshly formatted QD side holding MZT records: the
// block-count block, then per record an information block and a data block,
// each between sync runs and gaps.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "common/bitstream.h"
#include "common/crc16.h"
#include "qd/mzt.h"
#include "qd/qd_layout.h"

// Side stream bytes that record n (from 0) takes: its gap, its two blocks in
// their sync runs, and the gap between them.
std::size_t QdRecordStreamBytes(std::size_t n, const MztRecordView& record);
// The side stream's length before its fill, from the records' sizes alone.
std::size_t QdSideStreamLength(const std::vector<MztRecordView>& records);

// A block as the side stream holds it: from its ID mark on in two pieces
// (its fields, its body), then its two CRC bytes.
struct QdBlockView {
    const std::uint8_t* head;
    std::size_t headsize;
    const std::uint8_t* body;
    std::size_t bodysize;
    std::array<std::uint8_t, 2> crc;
};

// A block with the CRC a side carries after it (crc: the writer's).
QdBlockView CheckedQdBlock(const std::uint8_t* head, std::size_t headsize, const std::uint8_t* body,
                           std::size_t bodysize, Crc16& crc);

// The side stream, before its fill, of a freshly formatted side that holds
// these blocks (the block-count block first), each in its gap and sync runs.
std::vector<std::uint8_t> LayQdBlocks(const std::vector<QdBlockView>& blocks);

// The side stream before its fill. Every body must lie inside file.
std::vector<std::uint8_t> LayQdRecords(const std::vector<std::uint8_t>& file,
                                       const std::vector<MztRecordView>& records, Crc16& crc);

enum class QdSideStatus {
    kOk,
    kTruncated,      // record: the one whose body runs past the end
    kTooManyBlocks,  // blockcount: more than a side counts
    kSizeOver,       // record: the first that does not fit
};

struct QdSideResult {
    QdSideStatus status;
    int record;                       // from 1
    int blockcount;                   // known unless kTruncated
    std::vector<QdInfoRecord> infos;  // every record's, in order
    // kSizeOver: the stream bytes that record needs, and those the side has left.
    std::size_t needed = 0;
    std::size_t left = 0;
};

// Everything after loading: counts the records, checks that they fit, builds
// the side stream and fills it to a side's length.
QdSideResult BuildQdSide(const std::vector<std::uint8_t>& file, Crc16& crc,
                         std::vector<std::uint8_t>& stream);

// BuildQdSide, then on success the side's cells into writer.bitstreambuffer.
QdSideResult EncodeQdSide(const std::vector<std::uint8_t>& file, Crc16& crc, BitWriter& writer);

// A raw side against what the kit's encoder writes for the records of an
// MZT file with a fresh writer, without making that whole.
CellComparison CompareWithCanonicalQd(const std::vector<std::uint8_t>& raw,
                                      const std::vector<std::uint8_t>& mzt);
