#include "fds/side_rescue.h"

#include <algorithm>

#include "common/bitstream.h"
#include "common/littleendian.h"
#include "fds/capture.h"
#include "fds/fds_bin_image.h"
#include "fds/fds_image.h"
#include "fds/fds_layout.h"
#include "fds/side_encoder.h"

namespace {

static_assert(kFdsCrcBytes == kBlockCrcBytes);

// Zero data bits before a start mark's set bit: the mark's own seven at
// least, and a start with a stretch of gap before them is strong.
constexpr int kMarkZeroBits = 7;
constexpr int kStrongZeroBits = 64;
// One block gap's cells with its start mark: a start on a short run of zero
// bits is taken only within two of them behind the block before, and a
// file's data lies within two of them behind its header.
constexpr long long kGapCells = (kFdsBlockGapBytes + 1) * kCellsPerByte;
constexpr long long kNearCells = 2 * kGapCells;
// Gap bytes that must follow a CRC found by searching.
constexpr std::size_t kQuietBytes = 8;
// The largest block: a file data block of 65535 bytes and its ID.
constexpr std::size_t kLargestBlock = FdsBlockBytes(kFdsFileDataBlock, 0xFFFF);

struct Start {
    BlockPlace place;  // of the ID byte
    int zeros;         // before the mark's set bit, counted up to kStrongZeroBits
    std::uint8_t id;
};

bool IsBlockId(std::uint8_t id) {
    return id >= kFdsDiskInfoBlock && id <= kFdsFileDataBlock;
}

// A file's data block length from its header block's bytes.
std::size_t DataLength(const std::uint8_t* header) {
    return static_cast<std::size_t>(
        FdsBlockBytes(kFdsFileDataBlock, Le16(header + kFdsFileSizeOffset)));
}

// Zero data bits right before bit, up to the strong count.
int ZerosBefore(const DataPlanes& planes, int phase, std::size_t bit) {
    const std::size_t from = bit < kStrongZeroBits ? 0 : bit - kStrongZeroBits;
    const auto count = static_cast<int>(bit - from);
    std::uint64_t bits = planes.Word(phase, from);
    if (count < 64) bits &= (std::uint64_t{1} << count) - 1;
    return bits == 0 ? count : count - 1 - HighestBit(bits);
}

// Whether the first bytes from place keep the clock rule as a block
// written there does, a few flipped cells aside.
bool Written(const DataPlanes& planes, const BlockPlace& place) {
    constexpr std::size_t kLooked = 6;  // bytes
    constexpr int kFlipsAllowed = 3;
    return planes.ClockErrors(place.phase, place.bit, kLooked) <= kFlipsAllowed;
}

// Every set data bit after at least the mark's zero bits, with a block ID
// behind it and written as blocks are, in one phase.
void FindStarts(const DataPlanes& planes, int phase, std::vector<Start>& starts) {
    const std::uint8_t* plane = planes.plane(phase);
    const std::size_t bits = planes.bits(phase);
    static_assert(kMarkZeroBits == 7);
    // An ID is below 8: the five bits after its first three are zero.
    static_assert(kFdsFileDataBlock < 8);
    // Runs of zero bits ending at each bit, two, four, five and seven long,
    // the previous word's carried over; none before the plane. A word's
    // marks are settled one word later, when the run ending eight bits
    // after each is known. Words go in chunks, their marks kept, so that
    // the carries stay in registers.
    constexpr std::size_t kChunkWords = 64;
    std::uint64_t chunk[kChunkWords];
    std::uint64_t two = 0, four = 0, five = 0, seven = 0, zero = 0, marked = 0;
    const std::size_t words = (bits + 63) / 64 + 1;
    for (std::size_t first = 0; first < words; first += kChunkWords) {
        const std::size_t count = std::min(kChunkWords, words - first);
        for (std::size_t k = 0; k < count; ++k) {
            // Past the bits, the plane's slack: zeros.
            const std::uint64_t cur = Le64(plane + 8 * (first + k));
            const std::uint64_t z = ~cur;
            const std::uint64_t z2 = z & ((z << 1) | (zero >> 63));
            const std::uint64_t z4 = z2 & ((z2 << 2) | (two >> 62));
            const std::uint64_t z5 = z4 & ((z4 << 1) | (four >> 63));
            const std::uint64_t z7 = z4 & ((z4 << 3) | (four >> 61));
            chunk[k] = marked & ((five >> 8) | (z5 << 56));
            marked = cur & ((z7 << 1) | (seven >> 63));
            zero = z;
            two = z2;
            four = z4;
            five = z5;
            seven = z7;
        }
        for (std::size_t k = 0; k < count; ++k) {
            // chunk[k] holds the marks of the word before.
            for (std::uint64_t marks = chunk[k]; marks != 0; marks &= marks - 1) {
                const std::size_t bit =
                    64 * (first + k - 1) + static_cast<std::size_t>(LowestBit(marks));
                if (bit + 1 >= bits) break;
                const std::uint8_t id = planes.Byte(phase, bit + 1);
                // A start read out of step, as most in a file's data are,
                // breaks the clock rule at once.
                if (!IsBlockId(id) || !Written(planes, {phase, bit + 1})) continue;
                starts.push_back({{phase, bit + 1},
                                  kMarkZeroBits + ZerosBefore(planes, phase, bit - kMarkZeroBits),
                                  id});
            }
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
        FoundBlock found{start.place, BlockRole::kData, start.id, 0, BlockStatus::kBad};
        if (!m_state.started || cell >= m_state.end) {
            if (Judge(start, good, found)) Accept(found);
            return;
        }
        // Inside the block before: a good block takes the place of one that
        // is not, a start that noise made in a gap.
        const FoundBlock& before = m_scan.blocks.back();
        if (before.status == BlockStatus::kGood) return;
        // Unless that is a data block its good header sized and the good
        // block is of another kind: the read lost cells inside the data,
        // whose copy the rescue may still mend from another read's.
        if (before.role == BlockRole::kData && m_before.headergood && good &&
            start.id != kFdsFileDataBlock) {
            if (Judge(start, good, found)) Accept(found);
            return;
        }
        const State now = m_state;
        m_state = m_before;
        if (Judge(start, good, found) && found.status == BlockStatus::kGood) {
            m_scan.blocks.pop_back();
            Accept(found);
            return;
        }
        m_state = now;
    }

private:
    struct State {
        std::size_t end = 0;  // the cell after the last block's CRC
        bool started = false;
        std::uint8_t last = 0;
        std::size_t headerlength = 0;  // of the data the last file header announces
        bool headergood = false;
    };

    // Whether a start is a block of the side, and what this read tells of it.
    bool Judge(const Start& start, bool good, FoundBlock& found) const {
        const std::size_t cell = start.place.Cell();
        const bool strong = start.zeros >= kStrongZeroBits;
        const bool near =
            m_state.started && cell - m_state.end <= static_cast<std::size_t>(kNearCells);
        const std::uint8_t id = start.id;
        // A short run of gap far from any block: only the opening of a side,
        // whose CRC and text leave no doubt.
        if (!strong && !near && !OpensSide(m_planes, start.place)) return false;
        found.role = FdsBlockRole(id);
        if (id == kFdsFileDataBlock) return JudgeData(found);
        found.length = static_cast<std::size_t>(FdsBlockBytes(id, 0));
        // A damaged block only where the side's order expects it, and
        // written as blocks are.
        if (!good && !(strong && id == FdsBlockAfter(m_state.last) &&
                       LooksLikeBlock(m_planes, start.place, found.length)))
            return false;
        found.status = good ? BlockStatus::kGood : BlockStatus::kBad;
        return true;
    }

    // A data block's size from the header right before it, or its end from
    // its CRC; false when neither tells where it ends.
    bool JudgeData(FoundBlock& found) const {
        const bool header = m_state.last == kFdsFileHeaderBlock &&
                            static_cast<long long>(found.place.Cell() - m_state.end) <=
                                NearCells(m_scan, kNearCells);
        if (header && m_state.headergood) {
            found.length = m_state.headerlength;
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
        found.length = std::min(m_state.headerlength, m_room);
        found.status = BlockStatus::kBad;
        return LooksLikeBlock(m_planes, found.place, found.length);
    }

    void Accept(FoundBlock& found) {
        m_before = m_state;
        if (found.role == BlockRole::kHeader || found.role == BlockRole::kData)
            found.head = HeadOf(m_planes, found.place, 1, found.length);
        if (found.status == BlockStatus::kGood)
            found.print = PrintOf(found.role, found.code, found.length,
                                  CrcBytesAt(m_planes, found.place, found.length));
        if (found.code == kFdsFileHeaderBlock) {
            std::uint8_t header[kFdsFileHeaderBlockBytes];
            m_planes.Bytes(found.place.phase, found.place.bit, header, sizeof header);
            m_state.headerlength = DataLength(header);
            m_state.headergood = found.status == BlockStatus::kGood;
        }
        m_scan.blocks.push_back(found);
        m_state.end = found.End();
        m_state.started = true;
        m_state.last = found.code;
        m_scan.gapcells = TypicalGap(m_scan.blocks);
    }

    const DataPlanes& m_planes;
    ReadScan& m_scan;
    State m_state;
    State m_before;  // before the last block taken
    std::size_t m_room = 0;
};

std::size_t FixedLength(std::uint8_t id) {
    return static_cast<std::size_t>(FdsBlockBytes(id, 0));
}

// A data block's length where no sure header tells it: each copy's end by
// its CRC, the one most copies give (the shortest of equals). The header
// before it, though not sure, settles a CRC that ends in 0x00, which also
// ends one byte early.
RescuedBlock InferData(const std::vector<Copy>& copies, const RescuedBlock* header) {
    RescuedBlock block = RescuedBlock::Missing(BlockRole::kData, kFdsFileDataBlock);
    block.status = BlockStatus::kBad;
    std::optional<std::size_t> hint;
    if (header != nullptr &&
        header->bytes.size() >= static_cast<std::size_t>(kFdsFileHeaderBlockBytes))
        hint = DataLength(header->bytes.data());
    std::vector<std::pair<std::size_t, const Copy*>> ends;
    for (const Copy& copy : copies) {
        std::optional<std::size_t> end = EndByCrc(*copy.planes, copy.found->place, 1, kLargestBlock,
                                                  kQuietBytes, kFdsCheckerCrc);
        if (!end) continue;
        if (hint && *hint == *end + 1) end = hint;
        ends.push_back({*end, &copy});
    }
    if (ends.empty()) return block;
    std::sort(ends.begin(), ends.end(),
              [](const auto& a, const auto& b) { return a.first < b.first; });
    std::size_t best = 0, most = 0;
    for (std::size_t i = 0; i < ends.size(); ++i) {
        std::size_t same = 0;
        for (const auto& other : ends) same += other.first == ends[i].first ? 1 : 0;
        if (same > most) {
            most = same;
            best = i;
        }
    }
    const Copy& copy = *ends[best].second;
    const BlockCopy read =
        ReadCopy(*copy.planes, copy.found->place, ends[best].first, kFdsCheckerCrc);
    block.status = BlockStatus::kInferred;
    block.length = ends[best].first;
    block.bytes = read.bytes;
    block.crc = read.crc;
    return block;
}

RescuedBlock JudgeFds(const MatchedBlock& matched, const std::vector<Copy>& copies,
                      const RescuedBlock* header, bool seen) {
    std::optional<std::size_t> length;
    if (matched.role != BlockRole::kData) {
        length = FixedLength(matched.code);
    } else if (header != nullptr && seen && IsSure(header->status)) {
        length = DataLength(header->bytes.data());
    }
    if (!length) return InferData(copies, header);
    RescuedBlock block = RescuedBlock::Missing(matched.role, matched.code);
    block.Keep(JudgeCopies(copies, *length, kFdsCheckerCrc));
    block.length = length;
    return block;
}

std::optional<std::size_t> FdsAnnounced(const std::vector<RescuedBlock>& blocks) {
    if (blocks.size() < 2 || blocks[1].role != BlockRole::kFileCount || !blocks[1].Trusted())
        return std::nullopt;
    return FdsSideBlockCount(blocks[1].bytes[kFdsFileCountOffset]);
}

// From 0, one by one, the files past the announced ones too.
int FdsFileNumber(const RescuedBlock& header) {
    return header.bytes[kFdsFileNumberOffset];
}

// Files are numbered in the order they lie.
bool FdsFollows(const RescuedBlock& before, const RescuedBlock& after) {
    return FdsFileNumber(after) > FdsFileNumber(before);
}

ReadScan ScanFds(const DataPlanes& planes) {
    return ScanFdsRead(planes);
}

std::optional<std::vector<std::uint8_t>> CapturedSide(const std::vector<std::uint8_t>& file) {
    if (std::optional<FdsCapture> capture = ReadFdsCapture(file)) return std::move(capture->raw);
    // A disk read the devices saved as its data bits.
    return FdsBinReadCells(file);
}

}  // namespace

const RescueMedium kFdsRescue = {
    "fds",
    "FDS",
    {"disk info", "file amount", "file header", "file data"},
    {"info", "amount", "header", "data"},
    kCellsPerByte,
    kFdsFileNameOffset,
    kFdsFileNameBytes,
    false,
    true,
    kNearCells,
    &kFdsCheckerCrc,
    ScanFds,
    JudgeFds,
    FdsAnnounced,
    FdsFollows,
    FdsFileNumber,
    {kFdsDiskInfoBlock, kFdsFileAmountBlock, kFdsFileHeaderBlock, kFdsFileDataBlock},
    "id",
    true,
    0,
    kFdsRawSideBytes,
    {"fds", nullptr},
    CapturedSide,
};

ReadScan ScanFdsRead(const DataPlanes& planes) {
    ReadScan scan;
    scan.cells = planes.cells();
    const std::vector<Start> starts = FindAllStarts(planes);
    std::vector<bool> good(starts.size());
    for (std::size_t n = 0; n < starts.size(); ++n) {
        const Start& start = starts[n];
        // A disk info block is one only with its text.
        good[n] = start.id != kFdsFileDataBlock &&
                  PassesCrc(planes, start.place, FixedLength(start.id), kFdsCheckerCrc) &&
                  (start.id != kFdsDiskInfoBlock || OpensSide(planes, start.place));
    }
    // Only a good block behind a stretch of gap bounds a damaged one: inside
    // a file's data, starts on short runs of zeros lie every few thousand
    // bits, and one of them in 65536 passes its CRC by chance.
    const std::vector<std::size_t> nextgood = NextGoodCells(
        starts, [&](std::size_t n) { return good[n] && starts[n].zeros >= kStrongZeroBits; });
    ReadWalk walk(planes, scan);
    for (std::size_t n = 0; n < starts.size(); ++n) walk.Take(starts[n], good[n], nextgood[n + 1]);
    return scan;
}

bool HoldsFdsSideStart(const DataPlanes& planes) {
    const std::vector<Start> starts = FindAllStarts(planes);
    return std::any_of(starts.begin(), starts.end(),
                       [&](const Start& start) { return OpensSide(planes, start.place); });
}

bool FdsSideOpensEarly(const std::vector<std::uint8_t>& raw) {
    if (raw.size() <= kOpeningRawBytes) return false;
    const DataPlanes planes(raw.data(), kOpeningRawBytes);
    // Bits past the window read as 0: the block and its gap must lie inside it.
    const std::size_t last =
        planes.cells() - (kFdsDiskInfoBlockBytes + kFdsCrcBytes + kQuietBytes) * kCellsPerByte;
    for (const Start& start : FindAllStarts(planes)) {
        if (start.place.Cell() > last) break;
        if (OpensSide(planes, start.place)) return true;
    }
    return false;
}

std::optional<std::size_t> NextFdsBlockStart(const DataPlanes& planes, std::size_t cell) {
    for (const Start& start : FindAllStarts(planes)) {
        if (start.place.Cell() >= cell && start.zeros >= kStrongZeroBits) return start.place.Cell();
    }
    return std::nullopt;
}

SideRescue RescueFdsSide(const std::vector<const std::vector<std::uint8_t>*>& reads,
                         const RescueOptions& options) {
    return RescueReads(kFdsRescue, reads, options);
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
