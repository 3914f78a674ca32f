// What the tolerant readers of both media share: where a block lies in a
// read, what became of it, and the matching of several reads of one side,
// block by block, with a vote where no read holds a good copy.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "common/crc16.h"
#include "common/dataplanes.h"

// What a rescue made of a block. Only good and voted blocks are sure.
enum class BlockStatus {
    kGood,      // a copy passes its CRC
    kVoted,     // no copy does, but the majority of three or more copies does
    kInferred,  // its end found by its CRC and the gap behind it, its size unknown otherwise
    kBad,       // no copy passes its CRC; the best one is kept
    kMissing,   // the side announces it, no read holds it
    kConflict,  // copies that pass their CRCs differ; the first is kept
};

const char* BlockStatusName(BlockStatus status);
bool IsSure(BlockStatus status);

// Where a block's first byte lies in a read: a cell phase and a data bit.
struct BlockPlace {
    int phase;
    std::size_t bit;
    std::size_t Cell() const { return DataPlanes::Cell(phase, bit); }
};

// A stretch of a read's cells, [first, end).
struct CellSpan {
    std::size_t first;
    std::size_t end;
};

// Where cells break the MFM rule (two flux cells together, or four empty
// cells in a row): noise, slips and flipped cells, in stretches of at least
// 64 cells.
std::vector<CellSpan> MfmDamage(const std::vector<std::uint8_t>& raw);

// A block a tolerant reader found in one read.
struct FoundBlock {
    BlockPlace place;
    int kind;            // the medium's: an FDS block ID, a QD block type (-1: block count)
    std::size_t length;  // bytes from the first through the last before the CRC; 0 unknown
    BlockStatus status;  // good, bad or inferred, as this read alone tells
};

// One read as the rescue sees it.
struct ReadScan {
    std::size_t cells = 0;
    std::vector<FoundBlock> blocks;  // in the order they lie
    std::vector<CellSpan> damage;    // (MfmDamage), filled only by callers that show it
};

// n bytes of a block and its CRC from its place in a read, and whether the
// checker, reset on the first byte, ends at 0 over them.
struct BlockCopy {
    std::vector<std::uint8_t> bytes;  // without the CRC
    std::array<std::uint8_t, 2> crc;  // as read
    bool good;
};
BlockCopy ReadCopy(const DataPlanes& planes, const BlockPlace& place, std::size_t length,
                   const CrcVariant& checker);
// Whether the copy at place passes its CRC, without keeping its bytes.
bool PassesCrc(const DataPlanes& planes, const BlockPlace& place, std::size_t length,
               const CrcVariant& checker);

// The first position at or after `from` bytes where the checker, reset on
// the first byte, ends at 0 and `quiet` bytes of 0x00 follow (or the read
// ends): the length of a block whose size nothing else tells, without its
// CRC. None within most bytes.
std::optional<std::size_t> EndByCrc(const DataPlanes& planes, const BlockPlace& place,
                                    std::size_t from, std::size_t most, std::size_t quiet,
                                    const CrcVariant& checker);

// Whether a block that fails its CRC was written at place at all: its first
// bytes keep the MFM clock rule (a few flipped cells aside), where noise or
// a read out of step breaks it every few cells; and not all of it after its
// first byte is zero, as a start that flipped cells make in a gap is.
bool LooksWritten(const DataPlanes& planes, const BlockPlace& place, std::size_t length);

// One block of the side with its copies in the reads.
struct MatchedBlock {
    int kind;
    long long cell;                                 // in the first aligned read's cells
    std::vector<std::optional<BlockPlace>> places;  // per read; none where it lacks it
    std::vector<BlockStatus> found;    // per read, as that read told (for lacking: missing)
    std::vector<std::size_t> lengths;  // per read, as that read found it
};

// Matches the blocks of several reads of one side by their order, kind and
// place, following each read's drift from block to block. The read that
// holds most good blocks leads; offsets[r] is read r's cell less the lead's
// at its first matched block (none when it matched nothing).
struct Matching {
    std::vector<MatchedBlock> blocks;
    std::vector<std::optional<long long>> offsets;
    int lead = 0;
};
Matching MatchReads(const std::vector<ReadScan>& reads, long long tolerance);

// What the copies of one block come to, its length known.
struct Verdict {
    BlockStatus status;
    std::vector<int> goodin;          // reads whose copy passes its CRC
    std::vector<std::uint8_t> bytes;  // the copy kept, without the CRC
    std::array<std::uint8_t, 2> crc;  // the kept copy's, as read
};
// A read whose own scan found the block good with this length is not
// checked again.
Verdict JudgeCopies(const std::vector<const DataPlanes*>& planes, const MatchedBlock& matched,
                    std::size_t length, const CrcVariant& checker);

// One block of a rescued side, in side order.
struct RescuedBlock {
    int kind;                 // as in FoundBlock
    std::optional<int> size;  // as the medium counts it; none when unknown
    BlockStatus status;
    std::vector<int> goodin;            // reads whose copy passes its CRC
    std::optional<long long> cell;      // where its first byte begins in the first read
    std::vector<std::uint8_t> bytes;    // the copy kept, without the CRC; none when missing
    std::array<std::uint8_t, 2> crc{};  // the kept copy's CRC bytes, as read
    long long leadcell = -1;            // where it lies in the lead read's cells (-1: nowhere)
};

// A side rescued from one read or several.
struct SideRescue {
    std::vector<RescuedBlock> blocks;
    std::vector<ReadScan> reads;
    Matching matching;
    bool complete = false;
};

// Whether a side's first `announced` blocks are all sure and no block at all
// is missing: a header found past the announced files announces its data too.
bool WholeSide(const std::vector<RescuedBlock>& blocks, std::size_t announced);

// Every read's data planes, scanned by the medium's scan into rescue.reads,
// and the reads matched on their blocks into rescue.matching.
struct ScannedReads {
    std::vector<DataPlanes> planes;
    std::vector<const DataPlanes*> of;  // planes, one pointer each, for JudgeCopies
};
ScannedReads ScanAndMatch(
    const std::vector<const std::vector<std::uint8_t>*>& reads,
    const std::function<ReadScan(const std::vector<std::uint8_t>&, const DataPlanes&)>& scan,
    long long tolerance, SideRescue& rescue);

// The cell in the first read of a block at `leadcell` in the lead's cells.
std::optional<long long> FirstReadCell(const Matching& matching, long long leadcell);
