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
    std::uint8_t id;
};

bool IsBlockId(std::uint8_t id) {
    return id >= kFdsDiskInfoBlock && id <= kFdsFileDataBlock;
}

// Zero data bits right before bit, up to the strong count.
int ZerosBefore(const DataPlanes& planes, int phase, std::size_t bit) {
    const std::size_t from = bit < kStrongZeroBits ? 0 : bit - kStrongZeroBits;
    const auto count = static_cast<int>(bit - from);
    std::uint64_t bits = planes.Word(phase, from);
    if (count < 64) bits &= (std::uint64_t{1} << count) - 1;
    return bits == 0 ? count : count - 1 - HighestBit(bits);
}

// Every set data bit after at least the mark's zero bits, with a block ID
// behind it, in one phase.
void FindStarts(const DataPlanes& planes, int phase, std::vector<Start>& starts) {
    const std::uint8_t* plane = planes.plane(phase);
    const std::size_t bits = planes.bits(phase);
    static_assert(kMarkZeroBits == 7);
    // Runs of zero bits ending at each bit, two, four and seven long, the
    // previous word's carried over; none before the plane.
    std::uint64_t two = 0, four = 0, seven = 0, zero = 0;
    for (std::size_t word = 0; 64 * word < bits; ++word) {
        const std::uint64_t cur = Le64(plane + 8 * word);
        const std::uint64_t z = ~cur;
        const std::uint64_t z2 = z & ((z << 1) | (zero >> 63));
        const std::uint64_t z4 = z2 & ((z2 << 2) | (two >> 62));
        const std::uint64_t z7 = z4 & ((z4 << 3) | (four >> 61));
        std::uint64_t marks = cur & ((z7 << 1) | (seven >> 63));
        zero = z;
        two = z2;
        four = z4;
        seven = z7;
        for (; marks != 0; marks &= marks - 1) {
            const std::size_t bit = 64 * word + static_cast<std::size_t>(LowestBit(marks));
            if (bit + 1 >= bits) break;
            const std::uint8_t id = planes.Byte(phase, bit + 1);
            if (!IsBlockId(id)) continue;
            starts.push_back(
                {{phase, bit + 1}, kMarkZeroBits + ZerosBefore(planes, phase, bit - 7), id});
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
    // whose size is not sure must not swallow it. good: whether a block
    // of fixed length there passes its CRC.
    void Take(const Start& start, bool good, std::size_t nextgood) {
        const std::size_t cell = start.place.Cell();
        m_room =
            nextgood == SIZE_MAX ? kLargestBlock : (nextgood - cell) / kCellsPerByte - kFdsCrcBytes;
        if (m_started && cell < m_end) return;  // inside the block before
        const bool strong = start.zeros >= kStrongZeroBits;
        const bool near = m_started && cell - m_end <= kNearCells;
        const std::uint8_t id = start.id;
        // A short run of gap far from any block: only the opening of a side,
        // whose CRC and text leave no doubt.
        if (!strong && !near && !OpensSide(m_planes, start.place)) return;
        FoundBlock found{start.place, id, 0, BlockStatus::kBad};
        if (id == kFdsFileDataBlock) {
            if (!JudgeData(found)) return;
        } else {
            found.length = static_cast<std::size_t>(FdsBlockBytes(id, 0));
            // A damaged block only where the side's order expects it, and
            // written as blocks are.
            if (!good && !(strong && id == ExpectedAfter(m_last) &&
                           LooksLikeBlock(m_planes, start.place, found.length)))
                return;
            found.status = good ? BlockStatus::kGood : BlockStatus::kBad;
            if (id == kFdsFileHeaderBlock) {
                std::uint8_t size[2];
                m_planes.Bytes(start.place.phase, start.place.bit + 8 * kFdsFileSizeOffset, size,
                               2);
                m_headersize = static_cast<int>(Le16(size));
                m_headergood = good;
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
            const bool good = PassesCrc(m_planes, found.place, found.length, kFdsCheckerCrc);
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
    const std::vector<Start> starts = FindAllStarts(planes);
    std::vector<bool> good(starts.size());
    std::vector<std::size_t> nextgood(starts.size() + 1, SIZE_MAX);
    for (std::size_t n = starts.size(); n-- > 0;) {
        const Start& start = starts[n];
        good[n] = start.id != kFdsFileDataBlock &&
                  PassesCrc(planes, start.place,
                            static_cast<std::size_t>(FdsBlockBytes(start.id, 0)), kFdsCheckerCrc);
        nextgood[n] = good[n] ? start.place.Cell() : nextgood[n + 1];
    }
    ReadWalk walk(planes, scan);
    for (std::size_t n = 0; n < starts.size(); ++n) walk.Take(starts[n], good[n], nextgood[n + 1]);
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
        if (start.place.Cell() >= cell && start.zeros >= kStrongZeroBits) return start.place.Cell();
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
        Verdict verdict = JudgeCopies(planes, matched, *length, kFdsCheckerCrc);
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
    const ScannedReads scanned = ScanAndMatch(reads, ScanFdsRead, kMatchCells, rescue);
    const std::vector<const DataPlanes*>& planeof = scanned.of;

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
    rescue.complete =
        announced >= 0 && WholeSide(rescue.blocks, 2 + 2 * static_cast<std::size_t>(announced));
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
