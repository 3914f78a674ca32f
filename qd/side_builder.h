// The side stream of a freshly formatted QD side holding MZT records: the
// block-count block, then per record an information block and a data block,
// each between sync runs and gaps.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "common/bitstream.h"
#include "common/crc16.h"
#include "qd/mzt.h"
#include "qd/qd_layout.h"

// The side stream's length before its fill, from the records' sizes alone.
std::size_t QdSideStreamLength(const std::vector<MztRecordView>& records);

// The side stream before its fill. Every body must lie inside file.
std::vector<std::uint8_t> BuildQdSide(const std::vector<std::uint8_t>& file,
                                      const std::vector<MztRecordView>& records, Crc16& crc);

enum class MztSideStatus {
    kOk,
    kTruncated,      // value: the record, from 1, whose body runs past the end
    kTooManyBlocks,  // value: the block count
    kSizeOver,       // the side stream would not fit on a side
};

struct MztSideResult {
    MztSideStatus status;
    int value;
    // Known unless kTruncated or kTooManyBlocks.
    int blockcount;
    std::vector<InfoRecord> infos;  // every record's, in order
};

// Everything after loading: counts the records, checks that they fit, builds
// the side stream, fills it to a side's length and codes it into
// writer.bitstreambuffer.
MztSideResult EncodeMztSide(const std::vector<std::uint8_t>& file, Crc16& crc, BitWriter& writer);
