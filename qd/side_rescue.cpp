#include "qd/side_rescue.h"

#include <algorithm>

#include "common/bitstream.h"
#include "common/littleendian.h"
#include "qd/qd_layout.h"

namespace {

// Sync bytes before a mark that make a start strong, as the decoder needs them.
constexpr int kStrongSyncBytes = 2;
// A read's block and another's within this many cells are the same block.
constexpr long long kMatchCells = 512;
// The most bytes a block holds: ID mark, type, size, the largest body.
constexpr std::size_t kLargestBlock = kQdBlockHeaderBytes + 65535;

constexpr std::uint8_t kMarks[] = {idmark, kQdAltIdMark};

// Data bits [from, to) of a phase where the `count` bits of pattern begin.
void FindPattern(const DataPlanes& planes, int phase, std::uint32_t pattern, int count,
                 std::size_t from, std::size_t to, std::vector<std::size_t>& found) {
    const std::uint8_t* plane = planes.plane(phase);
    to = std::min(to, planes.bits(phase));
    for (std::size_t word = from / 64; 64 * word < to; ++word) {
        const std::uint64_t cur = Le64(plane + 8 * word);
        const std::uint64_t next = Le64(plane + 8 * word + 8);
        std::uint64_t matches = ~std::uint64_t{0};
        for (int i = 0; i < count && matches != 0; ++i) {
            const std::uint64_t bits = i == 0 ? cur : (cur >> i) | (next << (64 - i));
            matches &= ((pattern >> i) & 1u) ? bits : ~bits;
        }
        for (; matches != 0; matches &= matches - 1) {
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
    return PassesCrc(planes, place, kQdBlockCountBlockBytes - kQdCrcBytes, kQdCheckerCrc);
}

std::size_t OwnLength(const DataPlanes& planes, const BlockPlace& place);
int TypeAt(const DataPlanes& planes, const BlockPlace& place);

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
std::vector<Start> FindStarts(const DataPlanes& planes) {
    std::vector<Start> starts;
    for (int phase = 0; phase < 2; ++phase) {
        std::vector<std::size_t> found;
        FindPattern(planes, phase, kQdSyncByte, 8, 0, SIZE_MAX, found);
        for (std::size_t bit : found) {
            const BlockPlace place{phase, bit + 8};
            const std::uint8_t mark = planes.Byte(phase, place.bit);
            if (std::find(std::begin(kMarks), std::end(kMarks), mark) == std::end(kMarks)) continue;
            const int syncs = SyncsBefore(planes, place);
            if (!Written(planes, place, std::min(syncs, kStrongSyncBytes))) continue;
            const bool count = IsBlockCount(planes, place);
            const bool good = !count && TypeAt(planes, place) <= kQdMaxBlockType &&
                              PassesCrc(planes, place, OwnLength(planes, place), kQdCheckerCrc);
            starts.push_back({place, syncs, count, good});
        }
    }
    std::sort(starts.begin(), starts.end(),
              [](const Start& a, const Start& b) { return a.place.Cell() < b.place.Cell(); });
    return starts;
}

// Bytes of the block at place by its own header, from the mark to the CRC.
std::size_t OwnLength(const DataPlanes& planes, const BlockPlace& place) {
    std::uint8_t header[kQdBlockHeaderBytes];
    planes.Bytes(place.phase, place.bit, header, sizeof header);
    return kQdBlockHeaderBytes + Le16(header + 2);
}

int TypeAt(const DataPlanes& planes, const BlockPlace& place) {
    return planes.Byte(place.phase, place.bit + 8);
}

// A read's walk over its starts: the block-count block first, then every
// block after it that passes its CRC, or that a strong start shows.
class ReadWalk {
public:
    ReadWalk(const DataPlanes& planes, ReadScan& scan) : m_planes(planes), m_scan(scan) {}

    void Walk(const std::vector<Start>& starts) {
        // Where the next block that passes its CRC begins, for each start:
        // a damaged size field must not swallow it.
        std::vector<std::size_t> nextgood(starts.size() + 1, SIZE_MAX);
        for (std::size_t n = starts.size(); n-- > 0;) {
            const Start& start = starts[n];
            nextgood[n] = start.count || start.good ? start.place.Cell() : nextgood[n + 1];
        }
        for (std::size_t n = 0; n < starts.size(); ++n) Take(starts[n], nextgood[n + 1]);
    }

    // Marks without their sync bytes, between the blocks found: taken only
    // when their block passes its CRC.
    void Search() {
        // Without a block found, there is nothing to look between.
        if (m_scan.blocks.empty()) return;
        std::vector<FoundBlock> more;
        for (std::size_t n = 0; n <= m_scan.blocks.size(); ++n) {
            const std::size_t from = n == 0 ? 0 : End(m_scan.blocks[n - 1]);
            const std::size_t to =
                n < m_scan.blocks.size() ? m_scan.blocks[n].place.Cell() : m_scan.cells;
            SearchBetween(from, to, more);
        }
        m_scan.blocks.insert(m_scan.blocks.end(), more.begin(), more.end());
        std::sort(m_scan.blocks.begin(), m_scan.blocks.end(),
                  [](const FoundBlock& a, const FoundBlock& b) {
                      return a.place.Cell() < b.place.Cell();
                  });
    }

private:
    static std::size_t End(const FoundBlock& block) {
        return block.place.Cell() + (block.length + kQdCrcBytes) * kCellsPerByte;
    }

    void Take(const Start& start, std::size_t nextcell) {
        const BlockPlace& place = start.place;
        if (!m_scan.blocks.empty() && place.Cell() < End(m_scan.blocks.back())) return;
        const bool strong = start.syncs >= kStrongSyncBytes;
        if (!m_counted && start.count) {
            Add({place, kQdBlockCountKind, kQdBlockCountBlockBytes - kQdCrcBytes,
                 BlockStatus::kGood});
            return;
        }
        const int type = TypeAt(m_planes, place);
        const std::size_t length = OwnLength(m_planes, place);
        if (start.good) {
            m_counted = true;  // past where the block-count block was
            Add({place, type, length, BlockStatus::kGood});
            return;
        }
        if (!strong || !LooksWritten(m_planes, place, length)) return;
        if (!m_counted) {
            // The side's first block is its block-count block, here damaged.
            Add({place, kQdBlockCountKind, kQdBlockCountBlockBytes - kQdCrcBytes,
                 BlockStatus::kBad});
            return;
        }
        // A damaged block only of the kind the side's order expects next.
        const int last = m_scan.blocks.back().kind;
        const bool afterinfo =
            last != kQdBlockCountKind && !IsQdDataBlock(static_cast<std::uint8_t>(last));
        if (type > kQdMaxBlockType || IsQdDataBlock(static_cast<std::uint8_t>(type)) != afterinfo)
            return;
        // A damaged size must not swallow the blocks after it.
        const std::size_t room =
            nextcell == SIZE_MAX ? length : (nextcell - place.Cell()) / kCellsPerByte;
        Add({place, type, std::min(length, room > kQdCrcBytes ? room - kQdCrcBytes : 0),
             BlockStatus::kBad});
    }

    void Add(const FoundBlock& block) {
        if (block.kind == kQdBlockCountKind) m_counted = true;
        m_scan.blocks.push_back(block);
    }

    void SearchBetween(std::size_t from, std::size_t to, std::vector<FoundBlock>& more) {
        if (to <= from + kQdBlockCountBlockBytes * kCellsPerByte) return;
        for (int phase = 0; phase < 2; ++phase) {
            std::vector<std::size_t> bits;
            for (std::uint8_t mark : kMarks)
                FindPattern(m_planes, phase, mark, 8, from / 2, to / 2, bits);
            std::sort(bits.begin(), bits.end());
            std::size_t end = from;
            for (std::size_t bit : bits) {
                const BlockPlace place{phase, bit};
                if (place.Cell() < end || !Written(m_planes, place, 0)) continue;
                if (!m_counted && IsBlockCount(m_planes, place)) {
                    more.push_back({place, kQdBlockCountKind, kQdBlockCountBlockBytes - kQdCrcBytes,
                                    BlockStatus::kGood});
                    m_counted = true;
                    end = place.Cell() + kQdBlockCountBlockBytes * kCellsPerByte;
                    continue;
                }
                const int type = TypeAt(m_planes, place);
                const std::size_t length = OwnLength(m_planes, place);
                const std::size_t blockend = place.Cell() + (length + kQdCrcBytes) * kCellsPerByte;
                if (type > kQdMaxBlockType || blockend > to) continue;
                if (!PassesCrc(m_planes, place, length, kQdCheckerCrc)) continue;
                more.push_back({place, type, length, BlockStatus::kGood});
                end = blockend;
            }
        }
    }

    const DataPlanes& m_planes;
    ReadScan& m_scan;
    bool m_counted = false;
};

}  // namespace

ReadScan ScanQdRead(const std::vector<std::uint8_t>& raw, const DataPlanes& planes) {
    ReadScan scan;
    scan.cells = raw.size() * 8;
    ReadWalk walk(planes, scan);
    walk.Walk(FindStarts(planes));
    walk.Search();
    return scan;
}

bool HoldsQdSideStart(const std::vector<std::uint8_t>& raw) {
    const DataPlanes planes(raw);
    for (const Start& start : FindStarts(planes)) {
        if (start.syncs >= kStrongSyncBytes && start.count) return true;
    }
    return false;
}

namespace {

// Bytes of a matched block from its mark to its CRC: by the first copy that
// passes its CRC with its own size, else by the size most copies give.
std::size_t MatchedLength(const MatchedBlock& matched,
                          const std::vector<const DataPlanes*>& planes) {
    if (matched.kind == kQdBlockCountKind) return kQdBlockCountBlockBytes - kQdCrcBytes;
    std::vector<std::size_t> lengths;
    for (std::size_t r = 0; r < planes.size(); ++r) {
        if (!matched.places[r]) continue;
        const std::size_t length = OwnLength(*planes[r], *matched.places[r]);
        if (ReadCopy(*planes[r], *matched.places[r], length, kQdCheckerCrc).good) return length;
        lengths.push_back(length);
    }
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
    return std::min(best, kLargestBlock);
}

bool IsData(int kind) {
    return kind != kQdBlockCountKind && IsQdDataBlock(static_cast<std::uint8_t>(kind));
}

// The blocks of a matched side in the order a side holds them: the block
// count, then an information block and a data block for each file, with a
// missing one put where the order shows a gap.
std::vector<const MatchedBlock*> InOrder(const Matching& matching, std::vector<int>& kinds) {
    std::vector<const MatchedBlock*> order;
    const auto missing = [&](int kind) {
        order.push_back(nullptr);
        kinds.push_back(kind);
    };
    for (const MatchedBlock& block : matching.blocks) {
        if (order.empty() && block.kind != kQdBlockCountKind) missing(kQdBlockCountKind);
        if (block.kind != kQdBlockCountKind) {
            const bool afterinfo =
                !kinds.empty() && kinds.back() != kQdBlockCountKind && !IsData(kinds.back());
            if (afterinfo != IsData(block.kind))
                missing(afterinfo ? kQdDataBlockType : kQdInfoBlockType);
        }
        order.push_back(&block);
        kinds.push_back(block.kind);
    }
    return order;
}

}  // namespace

SideRescue RescueQdSide(const std::vector<const std::vector<std::uint8_t>*>& reads) {
    SideRescue rescue;
    const ScannedReads scanned = ScanAndMatch(reads, ScanQdRead, kMatchCells, rescue);
    const std::vector<const DataPlanes*>& planeof = scanned.of;

    std::vector<int> kinds;
    const std::vector<const MatchedBlock*> order = InOrder(rescue.matching, kinds);
    int count = -1;
    for (std::size_t n = 0; n < order.size(); ++n) {
        RescuedBlock block{kinds[n], std::nullopt, BlockStatus::kMissing, {}, std::nullopt, {}};
        if (order[n] != nullptr) {
            const std::size_t length = MatchedLength(*order[n], planeof);
            Verdict verdict = JudgeCopies(planeof, *order[n], length, kQdCheckerCrc);
            block.status = verdict.status;
            block.goodin = std::move(verdict.goodin);
            block.bytes = std::move(verdict.bytes);
            block.crc = verdict.crc;
            block.leadcell = order[n]->cell;
            block.cell = FirstReadCell(rescue.matching, block.leadcell);
            block.size = block.kind == kQdBlockCountKind
                             ? 0
                             : static_cast<int>(length) - kQdBlockHeaderBytes;
            // A block's type is what its kept copy says.
            if (block.kind != kQdBlockCountKind && block.bytes.size() > 1)
                block.kind = block.bytes[1];
        }
        if (block.kind == kQdBlockCountKind && n == 0 && IsSure(block.status))
            count = block.bytes[1];
        rescue.blocks.push_back(std::move(block));
    }
    if (rescue.blocks.empty()) {
        rescue.blocks.push_back(
            {kQdBlockCountKind, std::nullopt, BlockStatus::kMissing, {}, std::nullopt, {}});
    }
    // Blocks counted that no read holds a trace of.
    for (int n = static_cast<int>(rescue.blocks.size()) - 1; n < count; ++n) {
        const int kind = n % 2 == 0 ? kQdInfoBlockType : kQdDataBlockType;
        rescue.blocks.push_back({kind, std::nullopt, BlockStatus::kMissing, {}, std::nullopt, {}});
    }
    rescue.complete = count >= 0 && WholeSide(rescue.blocks, 1 + static_cast<std::size_t>(count));
    return rescue;
}
