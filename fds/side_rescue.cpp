#include "fds/side_rescue.h"

#include <algorithm>

#include "common/bitstream.h"
#include "common/littleendian.h"
#include "fds/fds_blocks.h"
#include "fds/fds_format.h"
#include "fds/side_encoder.h"

namespace {

// Zero data bits before a start mark's set bit: the mark's own seven at
// least, and a start with a stretch of gap before them is strong.
constexpr int kMarkZeroBits = 7;
constexpr int kStrongZeroBits = 64;
// A start on a short run of zero bits is taken only this close behind the
// block before it: twice a block gap's cells.
constexpr std::size_t kNearCells = 2 * (kFdsBlockGapBytes + 1) * kCellsPerByte;
// Gap bytes that must follow a CRC found by searching.
constexpr std::size_t kQuietBytes = 8;
// The largest block: a file data block of 65535 bytes and its ID.
constexpr std::size_t kLargestBlock = 1 + 65535;
// How far one read's block may lie from another's to be the same block.
constexpr long long kMatchCells = 512;

struct Start {
    BlockPlace place;  // of the ID byte
    int zeros;         // before the mark's set bit, counted up to kStrongZeroBits
};

int ZerosBefore(const DataPlanes& planes, int phase, std::size_t bit) {
    const std::uint8_t* plane = planes.plane(phase);
    int zeros = 0;
    while (zeros < kStrongZeroBits && bit > 0) {
        --bit;
        if ((plane[bit / 8] >> (bit % 8)) & 1u) break;
        ++zeros;
    }
    return zeros;
}

// Every set data bit after at least the mark's zero bits, in one phase.
void FindStarts(const DataPlanes& planes, int phase, std::vector<Start>& starts) {
    const std::uint8_t* plane = planes.plane(phase);
    const std::size_t bits = planes.bits(phase);
    std::uint64_t before = ~std::uint64_t{0};
    for (std::size_t word = 0; 64 * word < bits; ++word) {
        const std::uint64_t cur = Le64(plane + 8 * word);
        const std::uint64_t zero = ~cur;
        const std::uint64_t zerobefore = ~before;
        std::uint64_t marks = cur;
        for (int k = 1; k <= kMarkZeroBits; ++k) marks &= (zero << k) | (zerobefore >> (64 - k));
        before = cur;
        for (; marks != 0; marks &= marks - 1) {
            const std::size_t bit = 64 * word + static_cast<std::size_t>(LowestBit(marks));
            if (bit + 1 >= bits) break;
            starts.push_back(
                {{phase, bit + 1}, kMarkZeroBits + ZerosBefore(planes, phase, bit - 7)});
        }
    }
}

// The block starts of both phases, in the order they lie.
std::vector<Start> FindAllStarts(const DataPlanes& planes) {
    std::vector<Start> first, second, all;
    FindStarts(planes, 0, first);
    FindStarts(planes, 1, second);
    all.resize(first.size() + second.size());
    std::merge(first.begin(), first.end(), second.begin(), second.end(), all.begin(),
               [](const Start& a, const Start& b) { return a.place.Cell() < b.place.Cell(); });
    return all;
}

// Whether a block that fails its CRC was written there at all (see
// LooksWritten); a disk info block keeps most of its text too.
bool LooksLikeBlock(const DataPlanes& planes, const BlockPlace& place, std::size_t length) {
    constexpr int kTextBytesRight = 10;
    std::vector<std::uint8_t> bytes(length);
    planes.Bytes(place.phase, place.bit, bytes.data(), bytes.size());
    if (bytes[0] == kFdsDiskInfoBlock) {
        int right = 0;
        for (int i = 0; i < kFdsDiskVerificationBytes && 1 + i < static_cast<int>(length); ++i)
            right += bytes[1 + static_cast<std::size_t>(i)] ==
                             static_cast<std::uint8_t>(kFdsDiskVerification[i])
                         ? 1
                         : 0;
        if (right < kTextBytesRight) return false;
    }
    return LooksWritten(planes, place, length);
}

// A disk info block that passes its CRC, with its text: the opening of a side.
bool OpensSide(const DataPlanes& planes, const BlockPlace& place) {
    if (planes.Byte(place.phase, place.bit) != kFdsDiskInfoBlock) return false;
    const BlockCopy copy = ReadCopy(planes, place, kFdsDiskInfoBlockBytes, kFdsCheckerCrc);
    return copy.good && StartsWithDiskInfo(copy.bytes.data(), copy.bytes.size());
}

bool IsBlockId(std::uint8_t id) {
    return id >= kFdsDiskInfoBlock && id <= kFdsFileDataBlock;
}

// The kind of block the order of a side expects after `last` (0: none yet).
std::uint8_t ExpectedAfter(int last) {
    switch (last) {
        case 0:
            return kFdsDiskInfoBlock;
        case kFdsDiskInfoBlock:
            return kFdsFileAmountBlock;
        case kFdsFileHeaderBlock:
            return kFdsFileDataBlock;
        default:
            return kFdsFileHeaderBlock;
    }
}

// A read's walk over the starts it holds, taking the blocks of a side.
class ReadWalk {
public:
    ReadWalk(const DataPlanes& planes, ReadScan& scan) : m_planes(planes), m_scan(scan) {}

    // nextgood: where the next block that passes its CRC begins; a block
    // whose size is not sure must not swallow it.
    void Take(const Start& start, std::size_t nextgood) {
        const std::size_t cell = start.place.Cell();
        m_room =
            nextgood == SIZE_MAX ? kLargestBlock : (nextgood - cell) / kCellsPerByte - kFdsCrcBytes;
        if (m_started && cell < m_end) return;  // inside the block before
        const bool strong = start.zeros >= kStrongZeroBits;
        const bool near = m_started && cell - m_end <= kNearCells;
        const std::uint8_t id = m_planes.Byte(start.place.phase, start.place.bit);
        if (!IsBlockId(id)) return;
        // A short run of gap far from any block: only the opening of a side,
        // whose CRC and text leave no doubt.
        if (!strong && !near && !OpensSide(m_planes, start.place)) return;
        FoundBlock found{start.place, id, 0, BlockStatus::kBad};
        if (id == kFdsFileDataBlock) {
            if (!JudgeData(found)) return;
        } else {
            found.length = static_cast<std::size_t>(FdsBlockBytes(id, 0));
            const BlockCopy copy = ReadCopy(m_planes, start.place, found.length, kFdsCheckerCrc);
            // A damaged block only where the side's order expects it, and
            // written as blocks are.
            if (!copy.good && !(strong && id == ExpectedAfter(m_last) &&
                                LooksLikeBlock(m_planes, start.place, found.length)))
                return;
            found.status = copy.good ? BlockStatus::kGood : BlockStatus::kBad;
            if (id == kFdsFileHeaderBlock) {
                m_headersize = static_cast<int>(Le16(&copy.bytes[kFdsFileSizeOffset]));
                m_headergood = copy.good;
            }
        }
        m_scan.blocks.push_back(found);
        m_end = cell + (found.length + kFdsCrcBytes) * kCellsPerByte;
        m_started = true;
        m_last = id;
    }

private:
    // A data block's size from the header right before it, or its end from
    // its CRC; false when neither tells where it ends.
    bool JudgeData(FoundBlock& found) const {
        const bool header = m_last == kFdsFileHeaderBlock;
        if (header && m_headergood) {
            found.length = 1 + static_cast<std::size_t>(m_headersize);
            const bool good = ReadCopy(m_planes, found.place, found.length, kFdsCheckerCrc).good;
            found.status = good ? BlockStatus::kGood : BlockStatus::kBad;
            return good || LooksLikeBlock(m_planes, found.place, found.length);
        }
        const std::optional<std::size_t> end =
            EndByCrc(m_planes, found.place, 1, m_room, kQuietBytes, kFdsCheckerCrc);
        if (end) {
            found.length = *end;
            found.status = BlockStatus::kInferred;
            return true;
        }
        if (!header) return false;
        // A bad header's word, as far as the next good block lets it reach.
        found.length = std::min(1 + static_cast<std::size_t>(m_headersize), m_room);
        found.status = BlockStatus::kBad;
        return LooksLikeBlock(m_planes, found.place, found.length);
    }

    const DataPlanes& m_planes;
    ReadScan& m_scan;
    std::size_t m_end = 0;  // the cell after the last block's CRC
    bool m_started = false;
    int m_last = 0;
    int m_headersize = 0;
    bool m_headergood = false;
    std::size_t m_room = 0;
};

}  // namespace

ReadScan ScanFdsRead(const std::vector<std::uint8_t>& raw, const DataPlanes& planes) {
    ReadScan scan;
    scan.cells = raw.size() * 8;
    scan.damage = MfmDamage(raw);
    const std::vector<Start> starts = FindAllStarts(planes);
    std::vector<std::size_t> nextgood(starts.size() + 1, SIZE_MAX);
    for (std::size_t n = starts.size(); n-- > 0;) {
        const BlockPlace& place = starts[n].place;
        const std::uint8_t id = planes.Byte(place.phase, place.bit);
        const bool good =
            IsBlockId(id) && id != kFdsFileDataBlock &&
            ReadCopy(planes, place, static_cast<std::size_t>(FdsBlockBytes(id, 0)), kFdsCheckerCrc)
                .good;
        nextgood[n] = good ? place.Cell() : nextgood[n + 1];
    }
    ReadWalk walk(planes, scan);
    for (std::size_t n = 0; n < starts.size(); ++n) walk.Take(starts[n], nextgood[n + 1]);
    return scan;
}

bool HoldsFdsSideStart(const std::vector<std::uint8_t>& raw) {
    const DataPlanes planes(raw);
    const std::vector<Start> starts = FindAllStarts(planes);
    return std::any_of(starts.begin(), starts.end(),
                       [&](const Start& start) { return OpensSide(planes, start.place); });
}

std::optional<std::size_t> NextFdsBlockStart(const DataPlanes& planes, std::size_t cell) {
    for (const Start& start : FindAllStarts(planes)) {
        if (start.place.Cell() < cell || start.zeros < kStrongZeroBits) continue;
        if (IsBlockId(planes.Byte(start.place.phase, start.place.bit))) return start.place.Cell();
    }
    return std::nullopt;
}

namespace {

// The blocks of a matched side in the order a side holds them, with a
// missing one put where the order shows a gap: disk info, file amount, then
// a file header and its data for each file.
std::vector<const MatchedBlock*> InOrder(const Matching& matching, std::vector<int>& kinds) {
    std::vector<const MatchedBlock*> order;
    int last = 0;
    const auto missing = [&](int kind) {
        order.push_back(nullptr);
        kinds.push_back(kind);
        last = kind;
    };
    for (const MatchedBlock& block : matching.blocks) {
        if (last == 0 && block.kind != kFdsDiskInfoBlock) missing(kFdsDiskInfoBlock);
        if (last == kFdsDiskInfoBlock && block.kind != kFdsFileAmountBlock)
            missing(kFdsFileAmountBlock);
        if (last == kFdsFileHeaderBlock && block.kind != kFdsFileDataBlock)
            missing(kFdsFileDataBlock);
        if (block.kind == kFdsFileDataBlock && last != kFdsFileHeaderBlock)
            missing(kFdsFileHeaderBlock);
        order.push_back(&block);
        kinds.push_back(block.kind);
        last = block.kind;
    }
    if (last == kFdsFileHeaderBlock) missing(kFdsFileDataBlock);
    return order;
}

// What the copies of one matched block come to. A data block takes its
// size from the sure header before it; without one, its end is looked for
// in each copy by its CRC and the gap behind it.
RescuedBlock Judge(const MatchedBlock& matched, int kind, std::optional<int> filesize,
                   const std::vector<const DataPlanes*>& planes) {
    RescuedBlock block{kind, std::nullopt, BlockStatus::kBad, {}, std::nullopt, {}};
    block.leadcell = matched.cell;
    std::optional<std::size_t> length;
    if (kind != kFdsFileDataBlock) {
        length = static_cast<std::size_t>(FdsBlockBytes(static_cast<std::uint8_t>(kind), 0));
    } else if (filesize) {
        length = 1 + static_cast<std::size_t>(*filesize);
    }
    if (length) {
        Verdict verdict = JudgeCopies(planes, matched.places, *length, kFdsCheckerCrc);
        block.status = verdict.status;
        block.goodin = std::move(verdict.goodin);
        block.bytes = std::move(verdict.bytes);
        block.crc = verdict.crc;
        block.size = static_cast<int>(*length);
        return block;
    }
    for (std::size_t r = 0; r < planes.size(); ++r) {
        if (!matched.places[r]) continue;
        const std::optional<std::size_t> end =
            EndByCrc(*planes[r], *matched.places[r], 1, kLargestBlock, kQuietBytes, kFdsCheckerCrc);
        if (!end) continue;
        const BlockCopy copy = ReadCopy(*planes[r], *matched.places[r], *end, kFdsCheckerCrc);
        block.bytes = copy.bytes;
        block.crc = copy.crc;
        block.size = static_cast<int>(*end);
        block.status = BlockStatus::kInferred;
        break;
    }
    return block;
}

// Whether the rescue holds the block's own bytes from a copy that passed its
// CRC (a conflict keeps the first such copy).
bool Trusted(const RescuedBlock& block) {
    return IsSure(block.status) || block.status == BlockStatus::kConflict;
}

}  // namespace

SideRescue RescueFdsSide(const std::vector<const std::vector<std::uint8_t>*>& reads) {
    SideRescue rescue;
    std::vector<DataPlanes> planes;
    planes.reserve(reads.size());
    std::vector<const DataPlanes*> planeof;
    for (const std::vector<std::uint8_t>* raw : reads) {
        planes.emplace_back(*raw);
        planeof.push_back(&planes.back());
        rescue.reads.push_back(ScanFdsRead(*raw, planes.back()));
    }
    rescue.matching = MatchReads(rescue.reads, kMatchCells);

    std::vector<int> kinds;
    const std::vector<const MatchedBlock*> order = InOrder(rescue.matching, kinds);
    int announced = -1;
    int files = 0;
    std::optional<int> filesize;
    for (std::size_t n = 0; n < order.size(); ++n) {
        const int kind = kinds[n];
        RescuedBlock block{kind, std::nullopt, BlockStatus::kMissing, {}, std::nullopt, {}};
        if (order[n] != nullptr) {
            block = Judge(*order[n], kind, filesize, planeof);
            block.cell = FirstReadCell(rescue.matching, block.leadcell);
        }
        filesize.reset();
        if (kind == kFdsFileAmountBlock && Trusted(block) && announced < 0) {
            announced = block.bytes[kFdsFileCountOffset];
        }
        if (kind == kFdsFileHeaderBlock) {
            ++files;
            if (Trusted(block)) filesize = static_cast<int>(Le16(&block.bytes[kFdsFileSizeOffset]));
        }
        rescue.blocks.push_back(std::move(block));
    }
    // Files announced that no read holds a trace of.
    for (; files < announced; ++files) {
        for (int kind : {kFdsFileHeaderBlock, kFdsFileDataBlock}) {
            rescue.blocks.push_back(
                {kind, std::nullopt, BlockStatus::kMissing, {}, std::nullopt, {}});
        }
    }
    // Complete: disk info, file amount and every announced file, all sure.
    int needed = announced < 0 ? -1 : 2 + 2 * announced;
    rescue.complete = needed >= 2 && static_cast<int>(rescue.blocks.size()) >= needed;
    for (int n = 0; rescue.complete && n < needed; ++n) {
        rescue.complete = IsSure(rescue.blocks[static_cast<std::size_t>(n)].status);
    }
    return rescue;
}

std::vector<std::uint8_t> RescuedFdsImage(const SideRescue& rescue) {
    std::vector<std::uint8_t> areas;
    for (const RescuedBlock& block : rescue.blocks) {
        areas.insert(areas.end(), block.bytes.begin(), block.bytes.end());
    }
    if (areas.size() < static_cast<std::size_t>(kFdsSideAreaBytes)) {
        areas.resize(kFdsSideAreaBytes, kFdsImageFillByte);
    }
    return WithFdsHeader(areas, 1);
}
