// What the tolerant readers of both media share: where a block lies in a
// read, what became of it, reads cut into passes of the side, the matching
// of several passes by what their blocks are, and the side put together
// from them with a vote where no read holds a good copy.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "common/bitstream.h"
#include "common/blocks.h"
#include "common/crc16.h"
#include "common/dataplanes.h"

// What a rescue made of a block. Only good and voted blocks are sure.
enum class BlockStatus {
    kGood,      // a copy passes its CRC, its length sure
    kVoted,     // no copy does, but one put together from the copies does
    kInferred,  // its end found by its CRC and the gap behind it, its length not sure
    kBad,       // no copy passes its CRC; the best one is kept
    kMissing,   // the side announces it or its order shows it, no read holds it
    kConflict,  // copies that pass their CRCs differ and none wins
};

const char* BlockStatusName(BlockStatus status);
bool IsSure(BlockStatus status);

// Both media end a block with two CRC bytes.
inline constexpr std::size_t kBlockCrcBytes = 2;
// A side opens within its lead-in and first block: a quick look at where a
// read opens takes this many raw bytes.
inline constexpr std::size_t kOpeningRawBytes = 16384;

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

// A good copy's identity: its role, code, length and CRC. Equal blocks have
// equal prints; different ones share one only by chance (1 in 65536).
using Fingerprint = std::uint64_t;
Fingerprint PrintOf(BlockRole role, std::uint8_t code, std::size_t length,
                    const std::array<std::uint8_t, 2>& crc);
// The first bytes of a block's body, `skip` bytes from its first byte: a
// copy that fails its CRC further on keeps them, and they tell a file's
// blocks from the others'. 0 where they tell nothing (all alike, or fewer
// than the block holds).
inline constexpr std::size_t kHeadBytes = 12;
Fingerprint HeadOf(const DataPlanes& planes, const BlockPlace& place, std::size_t skip,
                   std::size_t length);

// A block a tolerant reader found in one read.
struct FoundBlock {
    BlockPlace place;
    BlockRole role;
    std::uint8_t code;      // the medium's own byte for its kind: FDS ID, QD type (0: block count)
    std::size_t length;     // bytes before the CRC; 0 unknown
    BlockStatus status;     // good, bad or inferred, as this read alone tells
    Fingerprint print = 0;  // of a good copy
    Fingerprint head = 0;   // of its body's first bytes, good or not (HeadOf)
    // The blocks a good side opening counts, itself among them, where the
    // medium's opening counts them (QD); 0 otherwise.
    std::size_t counted = 0;
    std::size_t End() const { return place.Cell() + (length + kBlockCrcBytes) * kCellsPerByte; }
};

// One read as a tolerant reader found it.
struct ReadScan {
    std::size_t cells = 0;
    std::vector<FoundBlock> blocks;  // in the order they lie
    std::size_t gapcells = 0;        // the typical gap between its blocks (0: none seen)
    std::vector<CellSpan> damage;    // (MfmDamage), filled only by callers that show it
    bool retimed = false;            // of a read put back on the side's cells (Retimed)
};

// The median of the gaps from a good file header to the good data block
// right behind it, in cells (0: none).
std::size_t TypicalGap(const std::vector<FoundBlock>& blocks);

// The cells from a file header's CRC to its data's first byte that still
// make one gap: twice the read's typical gap, and never below `least`.
long long NearCells(const ReadScan& scan, long long least);

// What became of a pass of the side in a rescue.
enum class PassFate {
    kUsed,
    kNoBlocks,   // holds no block of the medium
    kUnplaced,   // no block of it is one the others hold
    kOtherSide,  // of another side than the one rescued
};

// A stretch of one read that holds at most one pass of the side: a read
// that ran on past the side's end holds the next pass behind it.
struct ReadPass {
    int read;
    int number;  // among its read's passes, from 0
    CellSpan cells;
    std::vector<FoundBlock> blocks;
    PassFate fate = PassFate::kUsed;
};

// A read's blocks cut into passes: at each side opening after its first
// block, at a good file count behind files, and before a good file header
// that the pass already holds (on a medium whose opening counts its blocks,
// once the pass holds them all; then also before a good file header, and
// a good block that begins as one it holds).
std::vector<ReadPass> SplitPasses(const ReadScan& scan, int read);

// n bytes of a block and its CRC from its place in a read, and whether the
// checker, reset on the first byte, ends at 0 over them where no data cell
// shows itself damaged (DataPlanes::Damaged).
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
// The two bytes behind length bytes from place: a copy's CRC as read.
std::array<std::uint8_t, 2> CrcBytesAt(const DataPlanes& planes, const BlockPlace& place,
                                       std::size_t length);

// The shortest length, at least `from` bytes and at most `most`, after which
// the checker ends at 0 and `quiet` bytes of 0x00 follow (or the read ends):
// a block's end where nothing else tells it. A longer reading passes too
// wherever zeros follow, so this is the only sound one but where the
// block's CRC ends in 0x00 (its reading is then one byte longer).
std::optional<std::size_t> EndByCrc(const DataPlanes& planes, const BlockPlace& place,
                                    std::size_t from, std::size_t most, std::size_t quiet,
                                    const CrcVariant& checker);

// Whether a block that fails its CRC was written at place at all: its first
// bytes keep the MFM clock rule (a few flipped cells aside), where noise or
// a read out of step breaks it every few cells; and not all of it after its
// first byte is zero, as a start that flipped cells make in a gap is.
bool LooksWritten(const DataPlanes& planes, const BlockPlace& place, std::size_t length);

// One block of the side with its copies in the passes.
struct MatchedBlock {
    BlockRole role;
    std::uint8_t code;
    long long cell;  // in the lead pass's read's cells (placed by its neighbours if it lacks it)
    std::size_t length;                              // as its first copy was found
    Fingerprint print = 0;                           // of its first good copy
    Fingerprint head = 0;                            // of its first copy that has one
    std::vector<std::optional<std::size_t>> copies;  // per pass: the block's index in it
};

// What matching a pass against the others found.
struct PassMatch {
    std::size_t anchors = 0;          // good blocks both hold, alike
    std::size_t conflicts = 0;        // good blocks in the same place that differ
    std::optional<long long> offset;  // its cells less the lead's, at its first anchor
};

// The passes matched block by block. Good blocks that two passes hold alike
// anchor them, and so do blocks whose bodies begin alike where nothing else
// does; the blocks between two anchors are matched by their role and
// by where they lie from both anchors, so that a stretch inserted or lost,
// a late start, an early stop or another bit rate places nothing wrongly.
// A block two passes place differently is two blocks.
struct Matching {
    std::vector<MatchedBlock> blocks;  // in the order they lie
    std::vector<PassMatch> passes;
    std::size_t lead = 0;  // the pass holding most good blocks, unless chosen
    bool chosen = false;   // the lead is of the read the user named the side by
};
// Passes that are not used are left alone; one that nothing places is
// marked unplaced.
Matching MatchPasses(std::vector<ReadPass>& passes, std::optional<std::size_t> lead,
                     long long tolerance);

// A copy of a matched block: the read it lies in, and what its pass found.
struct Copy {
    int read;
    const DataPlanes* planes;
    const FoundBlock* found;
    bool named = false;  // of the read the user named the side by
    // Of a read put back on the side's cells: its mistakes follow the data,
    // so that two such reads may share them.
    bool retimed = false;
};

// What the copies of one block come to, its length known.
struct Verdict {
    BlockStatus status;
    std::vector<int> goodin;          // reads whose copy passes its CRC
    std::vector<std::uint8_t> bytes;  // the copy kept, without the CRC
    std::array<std::uint8_t, 2> crc;  // the kept copy's, as read
    std::vector<int> outvoted;        // reads whose copy passes its CRC with other bytes
};
// A copy that its own pass found good with this length is not checked again;
// one it found good with another length is left out.
Verdict JudgeCopies(const std::vector<Copy>& copies, std::size_t length, const CrcVariant& checker);

// One block of a rescued side, in side order.
struct RescuedBlock {
    BlockRole role;
    std::uint8_t code = 0;  // as in FoundBlock
    BlockStatus status = BlockStatus::kMissing;
    std::optional<std::size_t> length;  // bytes before the CRC; none when unknown
    std::vector<int> goodin;            // reads whose copy passes its CRC
    std::vector<int> outvoted;          // reads whose copy passes its CRC with bytes not kept
    std::optional<long long> cell;      // where its first byte begins in the first read
    std::vector<std::uint8_t> bytes;    // the copy kept, without the CRC; none when missing
    std::array<std::uint8_t, 2> crc{};  // the kept copy's CRC bytes, as read
    long long leadcell = -1;            // where it lies in the lead pass's cells (-1: nowhere)

    void Keep(Verdict verdict) {
        status = verdict.status;
        goodin = std::move(verdict.goodin);
        outvoted = std::move(verdict.outvoted);
        bytes = std::move(verdict.bytes);
        crc = verdict.crc;
    }
    static RescuedBlock Missing(BlockRole role, std::uint8_t code) {
        RescuedBlock block;
        block.role = role;
        block.code = code;
        return block;
    }
    // Whether the rescue holds the block's own bytes from a copy that passed
    // its CRC (a conflict keeps the first such copy).
    bool Trusted() const { return IsSure(status) || status == BlockStatus::kConflict; }
};

// A stretch of the side where no read holds a good copy: blocks [first,
// last] (indices) and, where the first read shows them, its cells.
struct RereadStretch {
    std::size_t first;
    std::size_t last;
    std::optional<CellSpan> cells;
};

// For each of a read's block starts, in their order, the cell where the
// next start that `good` holds for lies (SIZE_MAX: none), at n + 1: a block
// whose size is not sure must not swallow a good one.
template <typename Start, typename Good>
std::vector<std::size_t> NextGoodCells(const std::vector<Start>& starts, Good good) {
    std::vector<std::size_t> next(starts.size() + 1, SIZE_MAX);
    for (std::size_t n = starts.size(); n-- > 0;)
        next[n] = good(n) ? starts[n].place.Cell() : next[n + 1];
    return next;
}

// How one medium's blocks make a side, for the rescue of either.
struct RescueMedium {
    const char* name;                       // "fds", "qd"
    const char* label;                      // "FDS", "QD"
    std::array<const char*, 4> roles;       // each BlockRole's name on the medium
    std::array<const char*, 4> briefroles;  // the same, short, for labels
    int markcells;           // cells of a block's before its first byte (a start mark)
    std::size_t nameoffset;  // of its file's name in a header block
    std::size_t namebytes;
    bool nameends;        // a shorter name ends with 0x0D
    bool filecount;       // a file count block follows the opening
    long long nearcells;  // the least NearCells of a header's data
    const CrcVariant* checker;
    ReadScan (*scan)(const DataPlanes& planes);
    // The matched copies of a block. header: the header of a data block's
    // file where the order pairs them (sure or not); seen: a read holds the
    // two one right behind the other, so that the header's size counts.
    RescuedBlock (*judge)(const MatchedBlock& matched, const std::vector<Copy>& copies,
                          const RescuedBlock* header, bool seen);
    // The blocks the side announces, from its first rescued blocks; none when not known.
    std::optional<std::size_t> (*announced)(const std::vector<RescuedBlock>& blocks);
    // Whether one sure file header may follow another: no file twice, none out of its order.
    bool (*follows)(const RescuedBlock& before, const RescuedBlock& after);
    // A sure file header's number where the medium numbers its files from 0
    // one by one, so that a number skipped is a file missing; nullptr where not.
    int (*number)(const RescuedBlock& header);
    // The code a block of a role has when no copy tells it.
    std::array<std::uint8_t, 4> codes;
    // How a report shows the medium's blocks: what it calls their code, whether
    // the opening has one, and the bytes of a block before what its size counts.
    const char* codename;  // "id", "type"
    bool openingcoded;
    std::size_t sizefrom;
    // The length of the raw side the kit writes.
    long long rawsidebytes;
    // The files a rescued side makes, the default first (nullptr: none more).
    std::array<const char*, 2> outputs;
    // The raw side in a file a capture device wrote, when it is one; nullptr
    // for a medium no such device reads.
    std::optional<std::vector<std::uint8_t>> (*capture)(const std::vector<std::uint8_t>& file);

    std::uint8_t CodeOf(BlockRole role) const { return codes[static_cast<int>(role)]; }
    const char* RoleName(BlockRole role) const { return roles[static_cast<int>(role)]; }
    const char* BriefRoleName(BlockRole role) const { return briefroles[static_cast<int>(role)]; }
    // A block's size as a report shows it; none when its length is not known.
    std::optional<std::size_t> ShownSize(const RescuedBlock& block) const {
        if (!block.length) return std::nullopt;
        return *block.length > sizefrom ? *block.length - sizefrom : 0;
    }
};

// A side rescued from one read or several.
struct SideRescue {
    std::vector<RescuedBlock> blocks;
    std::vector<ReadScan> reads;
    std::vector<ReadPass> passes;
    Matching matching;
    std::optional<std::size_t> announced;  // blocks the side announces
    // When the reads hold different sides: the passes of each, the first
    // group the lead's. Nothing is rescued then.
    std::vector<std::vector<std::size_t>> sides;
    std::vector<std::size_t> misplaced;  // blocks that repeat a file or break the order
    std::vector<RereadStretch> reread;
    // Where files may lie past the announced ones: no read goes on past the
    // last block found far enough to show that none follows.
    bool endunseen = false;
    // Every block announced there, found once, in its order, and sure, and
    // the side's end seen.
    bool complete = false;
};

struct RescueOptions {
    // The read whose side is rescued; passes of other sides are left out.
    std::optional<int> sideof;
};

// A read taken at another cell rate than its side was written at, put back
// on the side's cells (RetimedRead), with its scan: only for a read whose
// scan holds a block that fails, and only when the read so put back holds
// more good blocks, among them every one the read held.
struct RetimedScan {
    std::vector<std::uint8_t> raw;
    ReadScan scan;
};
std::optional<RetimedScan> Retimed(const RescueMedium& medium, const std::vector<std::uint8_t>& raw,
                                   const ReadScan& scan);

// The side from reads scanned by the medium's scan (planes[r] the data
// planes scans[r] was made from).
SideRescue RescueSide(const RescueMedium& medium, const std::vector<const DataPlanes*>& planes,
                      std::vector<ReadScan> scans, const RescueOptions& options = {});
// The same from raw reads, each scanned here.
SideRescue RescueReads(const RescueMedium& medium,
                       const std::vector<const std::vector<std::uint8_t>*>& reads,
                       const RescueOptions& options = {});

// A read's cells less the lead's, at the first anchor of its first pass
// that was used: how a picture lines the reads up. None when unused.
std::optional<long long> ReadShift(const SideRescue& rescue, std::size_t read);
