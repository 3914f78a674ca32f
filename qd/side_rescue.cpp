#include "qd/side_rescue.h"

#include <algorithm>
#include <cstdlib>
#include <iterator>
#include <utility>

#include "common/bitstream.h"
#include "common/littleendian.h"
#include "qd/mzt.h"
#include "qd/qd_image.h"
#include "qd/qd_layout.h"
#include "qd/side_decoder.h"
#include "qd/side_encoder.h"

namespace {

static_assert(kQdCrcBytes == kBlockCrcBytes);

// Sync bytes before a mark that make a start strong, as the decoder needs them.
constexpr int kStrongSyncBytes = 2;
// The most bytes a block holds: ID mark, type, size, the largest body.
constexpr std::size_t kLargestBlock = kQdBlockHeaderBytes + 65535;
// Bytes of a block-count block before its CRC, and of an information block.
constexpr std::size_t kCountLength = kQdBlockCountBlockBytes - kQdCrcBytes;
constexpr std::size_t kInfoLength = kQdBlockHeaderBytes + kQdInfoRecordBytes;
// From an information block's CRC to its data's mark, as the kit writes a
// side: the sync runs and the gap between them.
constexpr long long kInfoToDataCells =
    (kQdSyncAfterBytes + kQdGapBytes + kQdSyncBeforeBytes) * kCellsPerByte;

// From a block-count block's mark to the first information block's, as
// the kit writes a side.
constexpr long long kCountToFirstInfoCells =
    (kQdBlockCountBlockBytes + kQdSyncAfterBytes + kQdFirstInfoGapBytes + kQdSyncBeforeBytes) *
    kCellsPerByte;

constexpr std::uint8_t kMarks[] = {kQdIdMark, kQdAltIdMark};

// The 64 bits from bit kShift of cur on, next's low bits above.
template <int kShift>
std::uint64_t BitsFrom(std::uint64_t cur, std::uint64_t next) {
    if constexpr (kShift == 0) {
        return cur;
    } else {
#if defined(__SIZEOF_INT128__)
        // One double shift instruction where the target has it.
        __extension__ typedef unsigned __int128 Both;
        return static_cast<std::uint64_t>(((static_cast<Both>(next) << 64) | cur) >> kShift);
#else
        return (cur >> kShift) | (next << (64 - kShift));
#endif
    }
}

// The bits of cur where the eight bits of kPattern begin, next's bits
// after them. The pattern's ones are ANDed and its zeros ORed, each shift
// once.
template <std::uint8_t kPattern, std::size_t... kBit>
std::uint64_t PatternStarts(std::uint64_t cur, std::uint64_t next, std::index_sequence<kBit...>) {
    constexpr std::uint64_t kAll = ~std::uint64_t{0};
    const std::uint64_t ones =
        (kAll & ... & (((kPattern >> kBit) & 1) ? BitsFrom<kBit>(cur, next) : kAll));
    const std::uint64_t zeros =
        (std::uint64_t{0} | ... | (((kPattern >> kBit) & 1) ? 0 : BitsFrom<kBit>(cur, next)));
    return ones & ~zeros;
}

// Data bits [from, to) of a phase where the eight bits of kPattern begin.
template <std::uint8_t kPattern>
void FindPattern(const DataPlanes& planes, int phase, std::size_t from, std::size_t to,
                 std::vector<std::size_t>& found) {
    constexpr std::uint64_t kTail = (std::uint64_t{1} << 7) - 1;
    const std::uint8_t* plane = planes.plane(phase);
    to = std::min(to, planes.bits(phase));
    for (std::size_t word = from / 64; 64 * word < to; ++word) {
        const std::uint64_t cur = Le64(plane + 8 * word);
        const std::uint64_t next = Le64(plane + 8 * word + 8);
        // A gap is all zero bits in step and all one bits (its clock cells)
        // out of step, and holds no pattern with both.
        const std::uint64_t tail = next & kTail;
        if ((cur == 0 && tail == 0) || (cur == ~std::uint64_t{0} && tail == kTail)) continue;
        for (std::uint64_t matches =
                 PatternStarts<kPattern>(cur, next, std::make_index_sequence<8>{});
             matches != 0; matches &= matches - 1) {
            const std::size_t bit = 64 * word + static_cast<std::size_t>(LowestBit(matches));
            if (bit >= from && bit < to) found.push_back(bit);
        }
    }
}

struct Start {
    BlockPlace place;  // of the ID mark
    int syncs;         // sync bytes right before it
    bool count;        // a block-count block that passes its CRC
    bool good;         // a block of its own size that passes its CRC
};

int SyncsBefore(const DataPlanes& planes, const BlockPlace& place) {
    int syncs = 0;
    for (std::size_t bit = place.bit; bit >= 8 && syncs < kQdSyncBeforeBytes; bit -= 8) {
        if (planes.Byte(place.phase, bit - 8) != kQdSyncByte) break;
        ++syncs;
    }
    return syncs;
}

bool IsBlockCount(const DataPlanes& planes, const BlockPlace& place) {
    return PassesCrc(planes, place, kCountLength, kQdCheckerCrc);
}

// Whether a sync run follows the CRC of a block of `length` bytes at place.
bool SyncBehind(const DataPlanes& planes, const BlockPlace& place, std::size_t length) {
    const std::size_t after = place.bit + 8 * (length + kQdCrcBytes);
    return planes.Byte(place.phase, after) == kQdSyncByte ||
           planes.Byte(place.phase, after + 8) == kQdSyncByte;
}

// A block-count block is followed by a sync run; a block whose first bytes
// pass for one by chance is followed by its body.
bool SyncFollows(const DataPlanes& planes, const BlockPlace& place) {
    return SyncBehind(planes, place, kCountLength);
}

// Bytes of the block at place by its own header, from the mark to the CRC.
std::size_t OwnLength(const DataPlanes& planes, const BlockPlace& place) {
    std::uint8_t header[kQdBlockHeaderBytes];
    planes.Bytes(place.phase, place.bit, header, sizeof header);
    return QdBlockLength(header);
}

int TypeAt(const DataPlanes& planes, const BlockPlace& place) {
    return planes.Byte(place.phase, place.bit + 8);
}

// An information block has one size: one of another is data that passes
// for a block, as a stored side's bytes may.
bool OfItsSize(const DataPlanes& planes, const BlockPlace& place) {
    const int type = TypeAt(planes, place);
    return type > kQdMaxBlockType ||
           QdBlockRole(static_cast<std::uint8_t>(type), false) != BlockRole::kHeader ||
           OwnLength(planes, place) == kInfoLength;
}

// The blocks a side's block count stands for: those after it, and itself.
std::size_t SideBlocks(std::uint8_t count) {
    return 1u + count;
}

std::size_t CountedAt(const DataPlanes& planes, const BlockPlace& place) {
    return SideBlocks(planes.Byte(place.phase, place.bit + 8 * kQdBlockCountOffset));
}

// Whether the sync bytes before a mark and the block's first bytes keep the
// MFM clock rule: a sync byte and a mark that data or noise happen to hold,
// out of step or not written as MFM at all, break it.
bool Written(const DataPlanes& planes, const BlockPlace& place, int before) {
    constexpr std::size_t kLooked = kQdBlockHeaderBytes;
    constexpr int kFlipsAllowed = 3;
    const std::size_t from = place.bit - 8 * static_cast<std::size_t>(before);
    return planes.ClockErrors(place.phase, from, static_cast<std::size_t>(before) + kLooked) <=
           kFlipsAllowed;
}

// Every mark after a sync byte, of both phases, in the order they lie, with
// what its block is.
// judged: whether each start's block is checked too (a side's opening
// alone needs no more than the block-count block's CRC).
std::vector<Start> FindStarts(const DataPlanes& planes, bool judged = true) {
    std::vector<Start> starts;
    for (int phase = 0; phase < 2; ++phase) {
        std::vector<std::size_t> found;
        FindPattern<kQdSyncByte>(planes, phase, 0, SIZE_MAX, found);
        for (std::size_t bit : found) {
            const BlockPlace place{phase, bit + 8};
            const std::uint8_t mark = planes.Byte(phase, place.bit);
            if (std::find(std::begin(kMarks), std::end(kMarks), mark) == std::end(kMarks)) continue;
            const int syncs = SyncsBefore(planes, place);
            if (!Written(planes, place, std::min(syncs, kStrongSyncBytes))) continue;
            const bool count = IsBlockCount(planes, place);
            const bool good = judged && TypeAt(planes, place) <= kQdMaxBlockType &&
                              OfItsSize(planes, place) &&
                              PassesCrc(planes, place, OwnLength(planes, place), kQdCheckerCrc);
            starts.push_back({place, syncs, count, good});
        }
    }
    std::sort(starts.begin(), starts.end(),
              [](const Start& a, const Start& b) { return a.place.Cell() < b.place.Cell(); });
    return starts;
}

// A read's walk over its starts: the block-count block first, then every
// block after it that passes its CRC, or that a strong start shows.
class ReadWalk {
public:
    ReadWalk(const DataPlanes& planes, ReadScan& scan) : m_planes(planes), m_scan(scan) {}

    void Walk(const std::vector<Start>& starts) {
        const std::vector<std::size_t> nextgood =
            NextGoodCells(starts, [&](std::size_t n) { return starts[n].count || starts[n].good; });
        for (std::size_t n = 0; n < starts.size(); ++n) Take(starts[n], nextgood[n + 1]);
    }

    // Marks without their sync bytes, between the blocks found and inside
    // the bad ones: taken only when their block passes its CRC, and then a
    // bad block they lie in was none.
    void Search() {
        // Without a block found, there is nothing to look between.
        if (m_scan.blocks.empty()) return;
        std::vector<FoundBlock> more;
        for (std::size_t n = 0; n <= m_scan.blocks.size(); ++n) {
            const FoundBlock* before = n == 0 ? nullptr : &m_scan.blocks[n - 1];
            const std::size_t from = before == nullptr ? 0
                                     : before->status == BlockStatus::kGood
                                         ? before->End()
                                         : before->place.Cell() + kCellsPerByte;
            const std::size_t to =
                n < m_scan.blocks.size() ? m_scan.blocks[n].place.Cell() : m_scan.cells;
            SearchBetween(from, to, more);
        }
        std::vector<FoundBlock>& blocks = m_scan.blocks;
        blocks.erase(std::remove_if(blocks.begin(), blocks.end(),
                                    [&](const FoundBlock& block) {
                                        return block.status != BlockStatus::kGood &&
                                               Covers(block, more);
                                    }),
                     blocks.end());
        blocks.insert(blocks.end(), more.begin(), more.end());
        std::sort(blocks.begin(), blocks.end(), [](const FoundBlock& a, const FoundBlock& b) {
            return a.place.Cell() < b.place.Cell();
        });
    }

private:
    static bool Covers(const FoundBlock& block, const std::vector<FoundBlock>& found) {
        return std::any_of(found.begin(), found.end(), [&](const FoundBlock& other) {
            return other.place.Cell() >= block.place.Cell() && other.place.Cell() < block.End();
        });
    }

    void Take(const Start& start, std::size_t nextcell) {
        const BlockPlace& place = start.place;
        if (!m_scan.blocks.empty() && place.Cell() < m_scan.blocks.back().End()) return;
        // The side's opening: the first, or one behind which a sync run
        // follows, where the read runs on into the side's next pass.
        if (start.count &&
            ((m_scan.blocks.empty() && !start.good) || SyncFollows(m_planes, place))) {
            Add({place, BlockRole::kOpening, 0, kCountLength, BlockStatus::kGood});
            return;
        }
        const int type = TypeAt(m_planes, place);
        if (start.good) {
            Add({place, QdBlockRole(static_cast<std::uint8_t>(type), false),
                 static_cast<std::uint8_t>(type), OwnLength(m_planes, place), BlockStatus::kGood});
            return;
        }
        const bool strong = start.syncs >= kStrongSyncBytes;
        if (!strong || !LooksWritten(m_planes, place, OwnLength(m_planes, place))) return;
        // The side's first block is its block-count block, here damaged; a
        // read that began later begins with a block that has its body behind.
        // Where that too is damaged, the first record's place tells (give or
        // take a drive's speed), for a count (two blocks a record) that reads
        // as no kind of block.
        const auto firstrecord = [&] {
            const long long apart =
                static_cast<long long>(nextcell) - static_cast<long long>(place.Cell());
            const auto count = static_cast<std::uint8_t>(TypeAt(m_planes, place));
            return nextcell != SIZE_MAX && count != kQdInfoBlockType && !IsQdDataBlock(count) &&
                   std::llabs(apart - kCountToFirstInfoCells) <= kCountToFirstInfoCells / 16;
        };
        if (m_scan.blocks.empty() && (SyncFollows(m_planes, place) || firstrecord())) {
            Add({place, BlockRole::kOpening, 0, kCountLength, BlockStatus::kBad});
            return;
        }
        if (start.count || type > kQdMaxBlockType) return;
        // A damaged block only of the kind the side's order expects next.
        const BlockRole role = QdBlockRole(static_cast<std::uint8_t>(type), false);
        if (!m_scan.blocks.empty() &&
            role != (m_scan.blocks.back().role == BlockRole::kHeader ? BlockRole::kData
                                                                     : BlockRole::kHeader))
            return;
        // A damaged size must not swallow the blocks after it.
        const std::size_t room =
            nextcell == SIZE_MAX ? SIZE_MAX : (nextcell - place.Cell()) / kCellsPerByte;
        const std::size_t most = room > kQdCrcBytes ? room - kQdCrcBytes : 0;
        // An information block has one size: one that a good block begins
        // inside is a stretch a capture repeated, or no block.
        if (role == BlockRole::kHeader && most < kInfoLength) return;
        Add({place, role, static_cast<std::uint8_t>(type), std::min(BadLength(place, role), most),
             BlockStatus::kBad});
    }

    // A damaged block's length: an information record's, or a data block's
    // by the good record right before it, else by its own size field.
    std::size_t BadLength(const BlockPlace& place, BlockRole role) const {
        if (role == BlockRole::kHeader) return kInfoLength;
        if (m_scan.blocks.empty()) return std::min(OwnLength(m_planes, place), kLargestBlock);
        const FoundBlock& last = m_scan.blocks.back();
        const long long gap =
            static_cast<long long>(place.Cell()) - static_cast<long long>(last.End());
        if (last.role == BlockRole::kHeader && last.status == BlockStatus::kGood &&
            last.length == kInfoLength && gap <= NearCells(m_scan, kInfoToDataCells)) {
            std::uint8_t size[2];
            m_planes.Bytes(last.place.phase,
                           last.place.bit + 8 * (kQdBlockHeaderBytes + kQdInfoSize), size,
                           sizeof size);
            return kQdBlockHeaderBytes + Le16(size);
        }
        return std::min(OwnLength(m_planes, place), kLargestBlock);
    }

    void Add(FoundBlock block) {
        if (block.role != BlockRole::kOpening)
            block.head = HeadOf(m_planes, block.place, kQdBlockHeaderBytes, block.length);
        if (block.status == BlockStatus::kGood)
            block.print = PrintOf(block.role, block.code, block.length,
                                  CrcBytesAt(m_planes, block.place, block.length));
        if (block.role == BlockRole::kOpening && block.status == BlockStatus::kGood)
            block.counted = CountedAt(m_planes, block.place);
        m_scan.blocks.push_back(block);
        m_scan.gapcells = TypicalGap(m_scan.blocks);
    }

    void SearchBetween(std::size_t from, std::size_t to, std::vector<FoundBlock>& more) {
        if (to <= from + kQdBlockCountBlockBytes * kCellsPerByte) return;
        for (int phase = 0; phase < 2; ++phase) {
            std::vector<std::size_t> bits;
            static_assert(std::size(kMarks) == 2);
            FindPattern<kMarks[0]>(m_planes, phase, from / 2, to / 2, bits);
            FindPattern<kMarks[1]>(m_planes, phase, from / 2, to / 2, bits);
            std::sort(bits.begin(), bits.end());
            std::size_t end = from;
            for (std::size_t bit : bits) {
                const BlockPlace place{phase, bit};
                if (place.Cell() < end || !Written(m_planes, place, 0)) continue;
                if (m_scan.blocks.empty() && more.empty() && IsBlockCount(m_planes, place)) {
                    FoundBlock opening{place, BlockRole::kOpening, 0, kCountLength,
                                       BlockStatus::kGood};
                    opening.print = PrintOf(opening.role, 0, kCountLength,
                                            CrcBytesAt(m_planes, place, kCountLength));
                    opening.counted = CountedAt(m_planes, place);
                    more.push_back(opening);
                    end = opening.End();
                    continue;
                }
                const int type = TypeAt(m_planes, place);
                const std::size_t length = OwnLength(m_planes, place);
                const std::size_t blockend = place.Cell() + (length + kQdCrcBytes) * kCellsPerByte;
                if (type > kQdMaxBlockType || blockend > to || !OfItsSize(m_planes, place))
                    continue;
                // Without its sync run, a block is one only with the run behind it.
                if (!SyncBehind(m_planes, place, length) ||
                    !PassesCrc(m_planes, place, length, kQdCheckerCrc))
                    continue;
                FoundBlock found{place, QdBlockRole(static_cast<std::uint8_t>(type), false),
                                 static_cast<std::uint8_t>(type), length, BlockStatus::kGood};
                found.head = HeadOf(m_planes, place, kQdBlockHeaderBytes, length);
                found.print =
                    PrintOf(found.role, found.code, length, CrcBytesAt(m_planes, place, length));
                more.push_back(found);
                end = blockend;
            }
        }
    }

    const DataPlanes& m_planes;
    ReadScan& m_scan;
};

// Bytes of a matched block from its mark to its CRC: a data block's by the
// sure information record of its file where a copy's own size agrees; else
// by a copy that passes its CRC with its own size; else a data block's by
// that record, an information record's, or the size most copies give.
std::size_t MatchedLength(const MatchedBlock& matched, const std::vector<Copy>& copies,
                          const RescuedBlock* header) {
    if (matched.role == BlockRole::kOpening) return kCountLength;
    std::optional<std::size_t> recorded;
    if (matched.role == BlockRole::kData && header != nullptr && IsSure(header->status) &&
        header->bytes.size() == kInfoLength)
        recorded = kQdBlockHeaderBytes + Le16(&header->bytes[kQdBlockHeaderBytes + kQdInfoSize]);
    // A good copy of another length than the record's, where other copies
    // have the record's, is another side's, one that opens alike.
    if (recorded && std::any_of(copies.begin(), copies.end(),
                                [&](const Copy& copy) { return copy.found->length == *recorded; }))
        return *recorded;
    for (const Copy& copy : copies)
        if (copy.found->status == BlockStatus::kGood) return copy.found->length;
    if (matched.role == BlockRole::kHeader) return kInfoLength;
    if (recorded) return *recorded;
    std::vector<std::size_t> lengths;
    for (const Copy& copy : copies) lengths.push_back(copy.found->length);
    std::size_t best = lengths.empty() ? kQdBlockHeaderBytes : lengths.front();
    std::size_t most = 0;
    for (std::size_t length : lengths) {
        const auto same =
            static_cast<std::size_t>(std::count(lengths.begin(), lengths.end(), length));
        if (same > most) {
            most = same;
            best = length;
        }
    }
    return std::min(std::max<std::size_t>(best, kQdBlockHeaderBytes), kLargestBlock);
}

RescuedBlock JudgeQd(const MatchedBlock& matched, const std::vector<Copy>& copies,
                     const RescuedBlock* header, bool seen) {
    const std::size_t length = MatchedLength(matched, copies, seen ? header : nullptr);
    RescuedBlock block = RescuedBlock::Missing(matched.role, matched.code);
    Verdict verdict = JudgeCopies(copies, length, kQdCheckerCrc);
    // A block put together from damaged copies is sure only at the length
    // its own size field gives: the length it was put together at may come
    // from the copies' damaged fields.
    if (verdict.status == BlockStatus::kVoted && matched.role != BlockRole::kOpening &&
        QdBlockLength(verdict.bytes.data()) != length)
        verdict.status = BlockStatus::kBad;
    block.Keep(std::move(verdict));
    block.length = length;
    // A block's type is what its kept copy says, where it says one of its role.
    if (block.role != BlockRole::kOpening && block.bytes.size() > kQdBlockTypeOffset) {
        const std::uint8_t type = block.bytes[kQdBlockTypeOffset];
        if (type <= kQdMaxBlockType && QdBlockRole(type, false) == block.role) block.code = type;
    }
    return block;
}

std::optional<std::size_t> QdAnnounced(const std::vector<RescuedBlock>& blocks) {
    if (blocks.empty() || blocks[0].role != BlockRole::kOpening || !IsSure(blocks[0].status))
        return std::nullopt;
    return SideBlocks(blocks[0].bytes[kQdBlockCountOffset]);
}

// Nothing numbers a QD side's files.
bool QdFollows(const RescuedBlock&, const RescuedBlock&) {
    return true;
}

}  // namespace

const RescueMedium kQdRescue = {
    "qd",
    "QD",
    {"block count", "", "information", "data"},
    {"count", "", "info", "data"},
    0,
    kQdBlockHeaderBytes + kQdInfoName,
    kQdFileNameBytes,
    true,
    false,
    kInfoToDataCells,
    &kQdCheckerCrc,
    ScanQdRead,
    JudgeQd,
    QdAnnounced,
    QdFollows,
    nullptr,
    {0, 0, kQdInfoBlockType, kQdDataBlockType},
    "type",
    false,
    kQdBlockHeaderBytes,
    kQdRawSideBytes,
    {"mzt", "qdf"},
    nullptr,
};

ReadScan ScanQdRead(const DataPlanes& planes) {
    ReadScan scan;
    scan.cells = planes.cells();
    ReadWalk walk(planes, scan);
    walk.Walk(FindStarts(planes));
    walk.Search();
    scan.gapcells = TypicalGap(scan.blocks);
    return scan;
}

bool HoldsQdSideStart(const DataPlanes& planes) {
    for (const Start& start : FindStarts(planes, false)) {
        if (start.syncs >= kStrongSyncBytes && start.count) return true;
    }
    return false;
}

bool QdSideOpensEarly(const std::vector<std::uint8_t>& raw) {
    if (raw.size() <= kOpeningRawBytes) return false;
    const DataPlanes planes(raw.data(), kOpeningRawBytes);
    // Bits past the window read as 0: the block must lie well inside it.
    const std::size_t last =
        planes.cells() - (kQdBlockHeaderBytes + kQdCrcBytes + kQdSyncAfterBytes) * kCellsPerByte;
    for (const Start& start : FindStarts(planes, false)) {
        if (start.place.Cell() > last) break;
        if (start.syncs >= kStrongSyncBytes && start.count) return true;
    }
    return false;
}

SideRescue RescueQdSide(const std::vector<const std::vector<std::uint8_t>*>& reads,
                        const RescueOptions& options) {
    return RescueReads(kQdRescue, reads, options);
}

namespace {

// One file of the side as an MZT record, or none with what kept it out.
std::optional<RescuedFileEvent> AddRecord(const RescuedBlock& info, const RescuedBlock& data,
                                          std::size_t index, std::vector<std::uint8_t>& mzt) {
    if (info.bytes.size() != kInfoLength || data.bytes.size() < kQdBlockHeaderBytes)
        return RescuedFileEvent{RescuedFileNote::kLeftOut, index, 0, 0};
    QdInfoRecord record{};
    std::copy_n(info.bytes.begin() + kQdBlockHeaderBytes, kQdInfoRecordBytes, record.begin());
    MztHeader header = MztHeaderFromInfo(record);
    const unsigned recordsize = Le16(&header[kMztSize]);
    if (!LooksLikeMztHeader(header.data()))
        return RescuedFileEvent{RescuedFileNote::kUnsound, index, recordsize, 0};
    std::vector<std::uint8_t> body(data.bytes.begin() + kQdBlockHeaderBytes, data.bytes.end());
    std::optional<RescuedFileEvent> event;
    if (body.size() != recordsize) {
        // A sure record is kept as read and a doubtful data block fitted to
        // it; otherwise the data block's size is the one to trust.
        if (IsSure(info.status) && !IsSure(data.status)) {
            event = RescuedFileEvent{RescuedFileNote::kFitted, index, recordsize, body.size()};
            body.resize(recordsize, 0x00);
        } else {
            event = RescuedFileEvent{RescuedFileNote::kSizeTaken, index, recordsize, body.size()};
            PutLe16(&header[kMztSize], static_cast<unsigned>(body.size()));
        }
    }
    mzt.insert(mzt.end(), header.begin(), header.end());
    mzt.insert(mzt.end(), body.begin(), body.end());
    return event;
}

}  // namespace

RescuedMzt RescuedMztFile(const SideRescue& rescue) {
    RescuedMzt mzt;
    const std::vector<RescuedBlock>& blocks = rescue.blocks;
    for (std::size_t n = 0; n + 1 < blocks.size(); ++n) {
        if (blocks[n].role != BlockRole::kHeader || blocks[n + 1].role != BlockRole::kData)
            continue;
        if (std::optional<RescuedFileEvent> event =
                AddRecord(blocks[n], blocks[n + 1], n, mzt.file))
            mzt.events.push_back(*event);
    }
    return mzt;
}

std::vector<std::uint8_t> RescuedQdImage(const SideRescue& rescue) {
    std::vector<QdBlockView> blocks;
    for (const RescuedBlock& block : rescue.blocks) {
        if (block.bytes.empty()) continue;
        const std::size_t head = std::min<std::size_t>(
            block.bytes.size(),
            block.role == BlockRole::kOpening ? kCountLength : kQdBlockHeaderBytes);
        blocks.push_back({block.bytes.data(), head, block.bytes.data() + head,
                          block.bytes.size() - head, block.crc});
    }
    return QdImageOfStream(LayQdBlocks(blocks));
}
