// The side stream of a freshly formatted QD side holding MZT records: the
// block-count block, then per record an information block and a data block,
// each between sync runs and gaps.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "common/bitstream.h"
#include "common/console.h"
#include "common/crc16.h"
#include "mztencode/mzt.h"
#include "qddecode/qd_layout.h"

inline constexpr int kLeadingGapBytes = 4785;
inline constexpr int kFirstInfoGapBytes = 2755;
inline constexpr int kGapBytes = 256;
inline constexpr int kSyncBeforeBytes = 10;
inline constexpr int kSyncAfterBytes = 6;

// leading gap + sync + block-count block + sync
inline constexpr int kSideHeaderBytes =
    kLeadingGapBytes + kSyncBeforeBytes + kBlockCountBlockBytes + kSyncAfterBytes;
static_assert(kSideHeaderBytes == 4805);
// What a record adds besides its leading gap and its body: the information
// block and the data block, each in its sync runs, and the gap between them.
inline constexpr int kRecordFrameBytes =
    kSyncBeforeBytes + kBlockHeaderBytes + kInfoRecordBytes + kCrcBytes + kSyncAfterBytes +
    kGapBytes + kSyncBeforeBytes + kBlockHeaderBytes + kCrcBytes + kSyncAfterBytes;
static_assert(kRecordFrameBytes == 364);
static_assert(kSideHeaderBytes + kFirstInfoGapBytes + kRecordFrameBytes == 7924);
// Side stream bytes that record n (from 0) takes, its leading gap included.
inline constexpr std::size_t QdRecordStreamBytes(std::size_t n, std::size_t bodysize) {
    return static_cast<std::size_t>(n == 0 ? kFirstInfoGapBytes : kGapBytes) + kRecordFrameBytes +
           bodysize;
}
// The first sync run must lie beyond what the decoder skips.
static_assert(2 * kLeadingGapBytes > static_cast<int>(kSkippedRawBytes));

// The side stream before its fill, with the information record of every
// record in order. Every body must lie inside file.
std::vector<std::uint8_t> BuildQdSide(const std::vector<std::uint8_t>& file,
                                      const std::vector<MztRecordView>& records, Crc16& crc,
                                      std::vector<InfoRecord>& infos);

enum class MztSideStatus {
    kOk,
    kTruncated,      // value: the record, from 1, whose body runs past the end
    kTooManyBlocks,  // value: the block count
    kSizeOver,       // the side stream would not fit on a side
};

struct MztSideResult {
    MztSideStatus status;
    int value;
};

// Everything after loading: counts the records, prints the block count and
// each record's information, builds the side stream, fills it to 81920
// bytes and codes it into writer.bitstreambuffer.
MztSideResult EncodeMztSide(const std::vector<std::uint8_t>& file, Crc16& crc, BitWriter& writer,
                            Console& console);
