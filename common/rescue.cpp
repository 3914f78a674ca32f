#include "common/rescue.h"

#include <algorithm>
#include <climits>
#include <unordered_map>
#include <unordered_set>

#include "common/retime.h"

namespace {

// Cells are examined a word at a time; a stretch of damage is reported in
// words, and neighbouring ones are joined.
constexpr std::size_t kWordCells = 64;

}  // namespace

const char* BlockStatusName(BlockStatus status) {
    switch (status) {
        case BlockStatus::kGood:
            return "good";
        case BlockStatus::kVoted:
            return "voted";
        case BlockStatus::kInferred:
            return "inferred";
        case BlockStatus::kBad:
            return "bad";
        case BlockStatus::kMissing:
            return "missing";
        case BlockStatus::kConflict:
            return "conflict";
    }
    return "?";
}

bool IsSure(BlockStatus status) {
    return status == BlockStatus::kGood || status == BlockStatus::kVoted;
}

std::vector<CellSpan> MfmDamage(const std::vector<std::uint8_t>& raw) {
    std::vector<CellSpan> spans;
    std::uint64_t before = 0;  // the previous word, for runs across words
    for (std::size_t at = 0; at + 8 <= raw.size(); at += 8) {
        const std::uint64_t cells = Le64(&raw[at]);
        // Each bit with the three cells before it, the earliest word's first
        // cells read against the last of the one before.
        const std::uint64_t one = (cells << 1) | (before >> 63);
        const std::uint64_t two = (cells << 2) | (before >> 62);
        const std::uint64_t three = (cells << 3) | (before >> 61);
        const std::uint64_t together = cells & one;
        const std::uint64_t empty = ~(cells | one | two | three);
        before = cells;
        if ((together | empty) == 0) continue;
        const std::size_t first = at * 8;
        if (!spans.empty() && spans.back().end == first) {
            spans.back().end = first + kWordCells;
        } else {
            spans.push_back({first, first + kWordCells});
        }
    }
    return spans;
}

Fingerprint PrintOf(BlockRole role, std::uint8_t code, std::size_t length,
                    const std::array<std::uint8_t, 2>& crc) {
    return static_cast<Fingerprint>(length) << 32 |
           Fingerprint{static_cast<std::uint8_t>(role)} << 24 | Fingerprint{code} << 16 |
           Fingerprint{crc[0]} << 8 | crc[1];
}

std::size_t TypicalGap(const std::vector<FoundBlock>& blocks) {
    std::vector<std::size_t> gaps;
    for (std::size_t n = 1; n < blocks.size(); ++n) {
        const FoundBlock& before = blocks[n - 1];
        const FoundBlock& after = blocks[n];
        if (before.role == BlockRole::kHeader && after.role == BlockRole::kData &&
            before.status == BlockStatus::kGood && after.status == BlockStatus::kGood &&
            after.place.Cell() > before.End())
            gaps.push_back(after.place.Cell() - before.End());
    }
    if (gaps.empty()) return 0;
    std::nth_element(gaps.begin(), gaps.begin() + static_cast<std::ptrdiff_t>(gaps.size() / 2),
                     gaps.end());
    return gaps[gaps.size() / 2];
}

Fingerprint HeadOf(const DataPlanes& planes, const BlockPlace& place, std::size_t skip,
                   std::size_t length) {
    if (length != 0 && length < skip + kHeadBytes) return 0;
    std::uint8_t bytes[kHeadBytes];
    planes.Bytes(place.phase, place.bit + 8 * skip, bytes, kHeadBytes);
    if (std::all_of(bytes, bytes + kHeadBytes, [&](std::uint8_t b) { return b == bytes[0]; }))
        return 0;
    Fingerprint hash = 14695981039346656037u;  // FNV-1a
    for (std::uint8_t b : bytes) hash = (hash ^ b) * 1099511628211u;
    return hash | 1;
}

long long NearCells(const ReadScan& scan, long long least) {
    return std::max(least, 2 * static_cast<long long>(scan.gapcells));
}

std::vector<ReadPass> SplitPasses(const ReadScan& scan, int read) {
    std::vector<ReadPass> passes;
    passes.push_back({read, 0, {0, scan.cells}, {}});
    // A good block seen again in a pass is the next pass, or a stretch the
    // capture repeated, unless the side's order has room for it: a file's
    // data may be another's, behind its own good header; a tape may hold
    // one file twice where its opening counts exactly the blocks that
    // follow, all good.
    const std::vector<FoundBlock>& blocks = scan.blocks;
    std::vector<std::size_t> run(blocks.size() + 1, 0), good(blocks.size() + 1, 0);
    for (std::size_t n = blocks.size(); n-- > 0;) {
        const bool opens = n + 1 < blocks.size() && blocks[n + 1].role == BlockRole::kOpening;
        run[n] = 1 + (opens ? 0 : run[n + 1]);
        good[n] = (blocks[n].status == BlockStatus::kGood) + (opens ? 0 : good[n + 1]);
    }
    std::size_t at = 0;  // the pass's first block in the read's
    // Where the opening counts the side's blocks, a pass that holds them all
    // has no room for more: a good file header behind them, or a good block
    // that begins as one of them, damaged there, is the next pass's.
    const auto full = [](const ReadPass& pass) {
        return !pass.blocks.empty() && pass.blocks.front().counted != 0 &&
               pass.blocks.size() >= pass.blocks.front().counted;
    };
    const auto begun = [](const ReadPass& pass, const FoundBlock& block) {
        return block.head != 0 &&
               std::any_of(pass.blocks.begin(), pass.blocks.end(),
                           [&](const FoundBlock& other) { return other.head == block.head; });
    };
    const auto room = [&](const ReadPass& pass, const FoundBlock& block) {
        if (full(pass)) return false;
        const std::size_t counted = pass.blocks.front().counted;
        if (block.role == BlockRole::kData)
            return pass.blocks.back().role == BlockRole::kHeader &&
                   pass.blocks.back().status == BlockStatus::kGood;
        return block.role == BlockRole::kHeader && counted > pass.blocks.size() &&
               run[at] == counted && good[at] == counted;
    };
    std::vector<Fingerprint> seen;  // good blocks of the pass so far
    for (std::size_t n = 0; n < blocks.size(); ++n) {
        const FoundBlock& block = blocks[n];
        ReadPass& pass = passes.back();
        const bool again =
            block.status == BlockStatus::kGood &&
            ((full(pass) && (block.role == BlockRole::kHeader || begun(pass, block))) ||
             std::find(seen.begin(), seen.end(), block.print) != seen.end()) &&
            !room(pass, block);
        // A side counts its files once, before them.
        const bool recount = block.role == BlockRole::kFileCount &&
                             block.status == BlockStatus::kGood && !pass.blocks.empty() &&
                             pass.blocks.back().role > BlockRole::kFileCount;
        if (!pass.blocks.empty() && (block.role == BlockRole::kOpening || again || recount)) {
            // The damaged first blocks of the next pass go with it.
            std::size_t keep = pass.blocks.size();
            while ((again || recount) && keep > 0 &&
                   pass.blocks[keep - 1].status != BlockStatus::kGood &&
                   pass.blocks[keep - 1].role <= BlockRole::kFileCount)
                --keep;
            // So do those past all that the opening counts: the next pass's,
            // its opening damaged.
            if (again && full(pass)) keep = std::min(keep, pass.blocks.front().counted);
            ReadPass next{read, pass.number + 1, {0, scan.cells}, {}};
            next.blocks.assign(pass.blocks.begin() + static_cast<std::ptrdiff_t>(keep),
                               pass.blocks.end());
            pass.blocks.resize(keep);
            const std::size_t first =
                next.blocks.empty() ? block.place.Cell() : next.blocks.front().place.Cell();
            // The pass ends where the next one's gap begins.
            pass.cells.end =
                pass.blocks.empty() ? first : std::max(pass.blocks.back().End(), pass.cells.first);
            next.cells.first = pass.cells.end;
            at = n - next.blocks.size();
            passes.push_back(std::move(next));
            seen.clear();
            for (const FoundBlock& kept : passes.back().blocks)
                if (kept.status == BlockStatus::kGood) seen.push_back(kept.print);
        }
        passes.back().blocks.push_back(block);
        if (block.status == BlockStatus::kGood) seen.push_back(block.print);
    }
    if (passes.size() > 1 && passes.front().blocks.empty()) passes.erase(passes.begin());
    for (ReadPass& pass : passes) pass.number = static_cast<int>(&pass - passes.data());
    if (passes.front().blocks.empty()) passes.front().fate = PassFate::kNoBlocks;
    return passes;
}

BlockCopy ReadCopy(const DataPlanes& planes, const BlockPlace& place, std::size_t length,
                   const CrcVariant& checker) {
    BlockCopy copy;
    copy.bytes.resize(length + kBlockCrcBytes);
    planes.Bytes(place.phase, place.bit, copy.bytes.data(), copy.bytes.size());
    Crc16 crc(checker);
    const std::uint16_t check = crc.Update(copy.bytes.data(), copy.bytes.size(), true);
    // Bytes past the end of the read are no part of a copy.
    const bool inside = place.bit + 8 * (length + kBlockCrcBytes) <= planes.bits(place.phase);
    copy.good =
        check == 0 && inside && !planes.Damaged(place.phase, place.bit, length + kBlockCrcBytes);
    copy.crc = {copy.bytes[length], copy.bytes[length + 1]};
    copy.bytes.resize(length);
    return copy;
}

bool PassesCrc(const DataPlanes& planes, const BlockPlace& place, std::size_t length,
               const CrcVariant& checker) {
    if (place.bit + 8 * (length + kBlockCrcBytes) > planes.bits(place.phase)) return false;
    // Most places looked at are no block, read out of step: their first
    // word of cells tells, before a CRC over all of them.
    constexpr std::size_t kWordBytes = 8;
    if (planes.Damaged(place.phase, place.bit, std::min(length + kBlockCrcBytes, kWordBytes)))
        return false;
    // Straight from the plane, eight bytes a word, without a copy.
    const std::size_t bytes = length + kBlockCrcBytes;
    Crc16 crc(checker);
    crc.UpdateEights([&](std::size_t i) { return planes.Word(place.phase, place.bit + 64 * i); },
                     bytes / 8, true);
    std::uint8_t tail[8];
    planes.Bytes(place.phase, place.bit + 8 * (bytes - bytes % 8), tail, bytes % 8);
    crc.Update(tail, bytes % 8, false);
    return crc.crc == 0 && !planes.Damaged(place.phase, place.bit, bytes);
}

std::array<std::uint8_t, 2> CrcBytesAt(const DataPlanes& planes, const BlockPlace& place,
                                       std::size_t length) {
    std::array<std::uint8_t, 2> crc{};
    planes.Bytes(place.phase, place.bit + 8 * length, crc.data(), crc.size());
    return crc;
}

std::optional<std::size_t> EndByCrc(const DataPlanes& planes, const BlockPlace& place,
                                    std::size_t from, std::size_t most, std::size_t quiet,
                                    const CrcVariant& checker) {
    const std::size_t bits = planes.bits(place.phase);
    if (place.bit >= bits) return std::nullopt;
    const std::size_t available = (bits - place.bit) / 8;
    const std::size_t count = std::min(most + kBlockCrcBytes + quiet, available);
    std::vector<std::uint8_t> bytes(count);
    planes.Bytes(place.phase, place.bit, bytes.data(), count);
    Crc16 crc(checker);
    crc.CRC_check(bytes.empty() ? 0 : bytes[0], true);
    for (std::size_t n = 1; n < count; ++n) {
        crc.CRC_check(bytes[n], false);
        // n + 1 bytes fed: a block of n - 1 bytes and its two CRC bytes.
        if (crc.crc != 0 || n + 1 < from + kBlockCrcBytes) continue;
        const std::size_t end = std::min(count, n + 1 + quiet);
        const bool zeros = std::all_of(bytes.begin() + static_cast<std::ptrdiff_t>(n + 1),
                                       bytes.begin() + static_cast<std::ptrdiff_t>(end),
                                       [](std::uint8_t b) { return b == 0; });
        if (zeros && (end == n + 1 + quiet || end == available)) return n - 1;
    }
    return std::nullopt;
}

bool LooksWritten(const DataPlanes& planes, const BlockPlace& place, std::size_t length) {
    constexpr std::size_t kLooked = 6;  // bytes
    constexpr int kFlipsAllowed = 3;
    std::vector<std::uint8_t> bytes(length + kBlockCrcBytes);
    planes.Bytes(place.phase, place.bit, bytes.data(), bytes.size());
    if (std::all_of(bytes.begin() + 1, bytes.end(), [](std::uint8_t b) { return b == 0; }))
        return false;
    return planes.ClockErrors(place.phase, place.bit, std::min(length + kBlockCrcBytes, kLooked)) <=
           kFlipsAllowed;
}

namespace {

std::size_t GoodBlocks(const ReadPass& pass) {
    return static_cast<std::size_t>(
        std::count_if(pass.blocks.begin(), pass.blocks.end(),
                      [](const FoundBlock& b) { return b.status == BlockStatus::kGood; }));
}

long long CellOf(const FoundBlock& block) {
    return static_cast<long long>(block.place.Cell());
}

// A block both a pass and the side so far hold alike.
struct Anchor {
    std::size_t model;  // index among the matched blocks
    std::size_t block;  // index among the pass's blocks
    bool strong;        // alike by a good copy's print, not only by its head
};

// Values that occur once in a list, by their index; the others marked.
template <typename Key, typename List>
std::unordered_map<Fingerprint, std::size_t> Once(const List& list, Key key) {
    constexpr std::size_t kTwice = SIZE_MAX;
    std::unordered_map<Fingerprint, std::size_t> once;
    for (std::size_t i = 0; i < list.size(); ++i) {
        const Fingerprint value = key(list[i]);
        if (value == 0) continue;
        const auto [at, fresh] = once.emplace(value, i);
        if (!fresh) at->second = kTwice;
    }
    return once;
}

// Blocks the pass and the matched side each hold once, alike by a good
// copy's print or else by their heads, in the chain that keeps both orders
// and holds most, a print counting for more than a head.
std::vector<Anchor> FindAnchors(const std::vector<MatchedBlock>& model, const ReadPass& pass) {
    const auto good = [](const FoundBlock& b) {
        return b.status == BlockStatus::kGood ? b.print : 0;
    };
    const auto modelprints = Once(model, [](const MatchedBlock& m) { return m.print; });
    const auto modelheads = Once(model, [](const MatchedBlock& m) { return m.head; });
    const auto passprints = Once(pass.blocks, good);
    const auto passheads = Once(pass.blocks, [](const FoundBlock& b) { return b.head; });
    const auto unique = [](const auto& once, Fingerprint value, std::size_t& at) {
        const auto found = once.find(value);
        if (found == once.end() || found->second == SIZE_MAX) return false;
        at = found->second;
        return true;
    };
    std::vector<Anchor> pairs;
    for (std::size_t j = 0; j < pass.blocks.size(); ++j) {
        const FoundBlock& block = pass.blocks[j];
        std::size_t i = 0, mine = 0;
        if (good(block) != 0 && unique(passprints, block.print, mine) &&
            unique(modelprints, block.print, i)) {
            pairs.push_back({i, j, true});
        } else if (block.head != 0 && unique(passheads, block.head, mine) &&
                   unique(modelheads, block.head, i) && model[i].role == block.role) {
            pairs.push_back({i, j, false});
        }
    }
    // The heaviest chain rising in the model's order.
    const auto weight = [](const Anchor& a) { return a.strong ? 2 : 1; };
    std::vector<int> best(pairs.size());
    std::vector<std::size_t> before(pairs.size(), SIZE_MAX);
    std::size_t top = SIZE_MAX;
    for (std::size_t k = 0; k < pairs.size(); ++k) {
        best[k] = weight(pairs[k]);
        for (std::size_t e = 0; e < k; ++e) {
            if (pairs[e].model < pairs[k].model && best[e] + weight(pairs[k]) > best[k]) {
                best[k] = best[e] + weight(pairs[k]);
                before[k] = e;
            }
        }
        if (top == SIZE_MAX || best[k] > best[top]) top = k;
    }
    std::vector<Anchor> chain;
    for (std::size_t k = top; k != SIZE_MAX; k = before[k]) chain.push_back(pairs[k]);
    std::reverse(chain.begin(), chain.end());
    return chain;
}

// The pass's cells against the lead's along its anchors: 1 but for a read
// taken at another bit rate.
double Scale(const std::vector<MatchedBlock>& model, const ReadPass& pass,
             const std::vector<Anchor>& anchors) {
    constexpr long long kLeastSpan = 20000;  // cells
    constexpr double kMost = 1.25;
    if (anchors.size() < 2) return 1;
    const long long span =
        CellOf(pass.blocks[anchors.back().block]) - CellOf(pass.blocks[anchors.front().block]);
    if (span < kLeastSpan) return 1;
    const double scale =
        static_cast<double>(model[anchors.back().model].cell - model[anchors.front().model].cell) /
        static_cast<double>(span);
    return std::clamp(scale, 1 / kMost, kMost);
}

// A block of the side with its first copy, block j of pass p.
MatchedBlock MatchedOf(const FoundBlock& block, long long cell, std::size_t passes, std::size_t p,
                       std::size_t j) {
    MatchedBlock matched;
    matched.role = block.role;
    matched.code = block.code;
    matched.cell = cell;
    matched.length = block.length;
    matched.print = block.status == BlockStatus::kGood ? block.print : 0;
    matched.head = block.head;
    matched.copies.assign(passes, std::nullopt);
    matched.copies[p] = j;
    return matched;
}

// Matches one pass's blocks between two anchors (either may be absent at
// an end) to the side's, and adds the rest.
class Interval {
public:
    Interval(Matching& matching, std::size_t pass, const ReadPass& blocks, double scale,
             long long tolerance)
        : m_model(matching.blocks),
          m_match(matching.passes[pass]),
          m_p(pass),
          m_pass(blocks),
          m_scale(scale),
          m_tolerance(tolerance) {}

    void Place(const Anchor* left, const Anchor* right) {
        m_left = left;
        m_right = right;
        const std::size_t jfirst = left ? left->block + 1 : 0;
        const std::size_t jend = right ? right->block : m_pass.blocks.size();
        const std::size_t ifirst = left ? left->model + 1 : 0;
        const std::size_t iend = right ? right->model : m_model.size();
        if (jfirst >= jend) return;
        const std::vector<std::size_t> paired = Pair(jfirst, jend, ifirst, iend);
        std::vector<std::optional<MatchedBlock>> added(jend - jfirst);
        for (std::size_t j = jfirst; j < jend; ++j) {
            if (paired[j - jfirst] != SIZE_MAX) continue;
            MatchedBlock block = Added(j);
            if (Room(block)) added[j - jfirst] = std::move(block);
        }
        // The side's blocks of the interval with the pass's new ones put
        // among them: between two paired blocks, in the order of their cells.
        std::vector<MatchedBlock> merged;
        std::vector<MatchedBlock> segment;
        std::size_t i = ifirst;
        const auto flush = [&] {
            std::stable_sort(
                segment.begin(), segment.end(),
                [](const MatchedBlock& a, const MatchedBlock& b) { return a.cell < b.cell; });
            for (MatchedBlock& b : segment) merged.push_back(std::move(b));
            segment.clear();
        };
        for (std::size_t j = jfirst; j < jend; ++j) {
            const std::size_t to = paired[j - jfirst];
            if (to == SIZE_MAX) {
                if (added[j - jfirst]) segment.push_back(std::move(*added[j - jfirst]));
                continue;
            }
            for (; i < to; ++i) segment.push_back(std::move(m_model[i]));
            flush();
            merged.push_back(std::move(m_model[i++]));
        }
        for (; i < iend; ++i) segment.push_back(std::move(m_model[i]));
        flush();
        m_model.erase(m_model.begin() + static_cast<std::ptrdiff_t>(ifirst),
                      m_model.begin() + static_cast<std::ptrdiff_t>(iend));
        m_model.insert(m_model.begin() + static_cast<std::ptrdiff_t>(ifirst),
                       std::make_move_iterator(merged.begin()),
                       std::make_move_iterator(merged.end()));
    }

private:
    // Whether the side has room for a block the pass holds and the others
    // do not: a good one that the side holds already is the same block
    // again (a stretch a capture replayed), and a damaged one where the
    // side's blocks leave no room lies where the others put nothing. A good
    // one is kept beside blocks of other kinds, whose cells the read that
    // placed them may have lost.
    bool Room(const MatchedBlock& added) const {
        for (const MatchedBlock& block : m_model) {
            if (added.print != 0 && block.print == added.print) return false;
            if (added.print != 0 && block.role != added.role) continue;
            const long long shorter =
                static_cast<long long>(std::min(block.length, added.length) + kBlockCrcBytes) *
                kCellsPerByte;
            if (Overlap(block, added) > std::min(m_tolerance, shorter / 2)) return false;
        }
        return true;
    }

    // Cells two blocks' spans share (negative: the gap between them).
    static long long Overlap(const MatchedBlock& a, const MatchedBlock& b) {
        const auto end = [](const MatchedBlock& block) {
            return block.cell +
                   static_cast<long long>(block.length + kBlockCrcBytes) * kCellsPerByte;
        };
        return std::min(end(a), end(b)) - std::max(a.cell, b.cell);
    }

    // Where block j would lie in the lead's cells, seen from either anchor
    // and between both, each with how far it may stray: a speed that
    // wanders moves a block the further from the anchor it is seen from.
    struct Prediction {
        long long cell;
        long long slack;
    };
    std::vector<Prediction> Predictions(std::size_t j) const {
        constexpr long long kWander = 50;  // a cell in so many, at most
        const long long cell = CellOf(m_pass.blocks[j]);
        std::vector<Prediction> at;
        const auto scaled = [&](long long cells) {
            return static_cast<long long>(static_cast<double>(cells) * m_scale);
        };
        const long long from = m_left ? CellOf(m_pass.blocks[m_left->block]) : 0;
        const long long to = m_right ? CellOf(m_pass.blocks[m_right->block]) : 0;
        if (m_left)
            at.push_back({m_model[m_left->model].cell + scaled(cell - from),
                          m_tolerance + std::llabs(cell - from) / kWander});
        if (m_right)
            at.push_back({m_model[m_right->model].cell - scaled(to - cell),
                          m_tolerance + std::llabs(to - cell) / kWander});
        if (m_left && m_right && to > from) {
            const long long a = m_model[m_left->model].cell, b = m_model[m_right->model].cell;
            at.push_back({a + (cell - from) * (b - a) / (to - from),
                          m_tolerance + std::min(cell - from, to - cell) / kWander});
        }
        return at;
    }

    // How far block j lies from the side's block i where it fits, else none.
    std::optional<long long> Distance(std::size_t j, std::size_t i) const {
        const MatchedBlock& model = m_model[i];
        if (model.role != m_pass.blocks[j].role || model.copies[m_p]) return std::nullopt;
        std::optional<long long> best;
        const std::vector<Prediction> predictions = Predictions(j);
        for (const Prediction& at : predictions) {
            const long long distance = std::llabs(at.cell - model.cell);
            if (distance <= at.slack && (!best || distance < *best)) best = distance;
        }
        // Further off, two blocks of a kind whose spans share most of their
        // cells are one block all the same: no other block could lie there.
        if (!best) {
            MatchedBlock seen = model;
            seen.cell = predictions.front().cell;
            seen.length = m_pass.blocks[j].length;
            const long long shorter =
                static_cast<long long>(std::min(seen.length, model.length) + kBlockCrcBytes) *
                kCellsPerByte;
            if (2 * Overlap(seen, model) > shorter)
                best = std::llabs(predictions.front().cell - model.cell);
        }
        return best;
    }

    // The most pairs of the pass's blocks [jfirst, jend) with the side's
    // [ifirst, iend) that fit, in order, the nearest of equally many: for
    // each block, its match or none.
    std::vector<std::size_t> Pair(std::size_t jfirst, std::size_t jend, std::size_t ifirst,
                                  std::size_t iend) {
        constexpr long long kPair = 1LL << 40;  // more than any distance
        const std::size_t nj = jend - jfirst, ni = iend - ifirst;
        std::vector<std::vector<long long>> best(nj + 1, std::vector<long long>(ni + 1, 0));
        std::vector<std::vector<std::optional<long long>>> fit(
            nj, std::vector<std::optional<long long>>(ni));
        for (std::size_t a = nj; a-- > 0;) {
            for (std::size_t b = ni; b-- > 0;) {
                fit[a][b] = Distance(jfirst + a, ifirst + b);
                long long score = std::max(best[a + 1][b], best[a][b + 1]);
                if (fit[a][b]) score = std::max(score, kPair - *fit[a][b] + best[a + 1][b + 1]);
                best[a][b] = score;
            }
        }
        std::vector<std::size_t> paired(nj, SIZE_MAX);
        for (std::size_t a = 0, b = 0; a < nj && b < ni;) {
            if (fit[a][b] && best[a][b] == kPair - *fit[a][b] + best[a + 1][b + 1]) {
                paired[a] = ifirst + b;
                Join(jfirst + a, ifirst + b);
                ++a;
                ++b;
            } else if (best[a][b] == best[a + 1][b]) {
                ++a;
            } else {
                ++b;
            }
        }
        return paired;
    }

    void Join(std::size_t j, std::size_t i) {
        const FoundBlock& block = m_pass.blocks[j];
        MatchedBlock& model = m_model[i];
        model.copies[m_p] = j;
        if (model.head == 0) model.head = block.head;
        if (block.status != BlockStatus::kGood) return;
        if (model.print == 0) {
            model.print = block.print;
        } else if (model.print != block.print) {
            ++m_match.conflicts;
        }
    }

    MatchedBlock Added(std::size_t j) const {
        return MatchedOf(m_pass.blocks[j], Predictions(j).front().cell,
                         m_model.front().copies.size(), m_p, j);
    }

    std::vector<MatchedBlock>& m_model;
    PassMatch& m_match;
    std::size_t m_p;
    const ReadPass& m_pass;
    double m_scale;
    long long m_tolerance;
    const Anchor* m_left = nullptr;
    const Anchor* m_right = nullptr;
};

void PlacePass(Matching& matching, std::vector<ReadPass>& passes, std::size_t p,
               long long tolerance) {
    ReadPass& pass = passes[p];
    const std::vector<Anchor> anchors = FindAnchors(matching.blocks, pass);
    if (anchors.empty()) {
        pass.fate = PassFate::kUnplaced;
        return;
    }
    PassMatch& match = matching.passes[p];
    match.anchors = static_cast<std::size_t>(
        std::count_if(anchors.begin(), anchors.end(), [](const Anchor& a) { return a.strong; }));
    match.offset =
        CellOf(pass.blocks[anchors.front().block]) - matching.blocks[anchors.front().model].cell;
    for (const Anchor& anchor : anchors) {
        MatchedBlock& model = matching.blocks[anchor.model];
        const FoundBlock& block = pass.blocks[anchor.block];
        model.copies[p] = anchor.block;
        if (block.status != BlockStatus::kGood) continue;
        if (model.print == 0) model.print = block.print;
        if (model.print != block.print) ++match.conflicts;
    }
    const double scale = Scale(matching.blocks, pass, anchors);
    Interval interval(matching, p, pass, scale, tolerance);
    // From the last interval back, so that the anchors before stay where they are.
    for (std::size_t k = anchors.size() + 1; k-- > 0;) {
        interval.Place(k > 0 ? &anchors[k - 1] : nullptr,
                       k < anchors.size() ? &anchors[k] : nullptr);
    }
}

}  // namespace

Matching MatchPasses(std::vector<ReadPass>& passes, std::optional<std::size_t> lead,
                     long long tolerance) {
    Matching matching;
    matching.passes.assign(passes.size(), {});
    std::vector<std::size_t> order;
    for (std::size_t p = 0; p < passes.size(); ++p)
        if (passes[p].fate == PassFate::kUsed) order.push_back(p);
    if (order.empty()) return matching;
    // The passes with most good blocks first: they give the later ones most to hold on to.
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        return GoodBlocks(passes[a]) > GoodBlocks(passes[b]);
    });
    if (lead) {
        order.erase(std::find(order.begin(), order.end(), *lead));
        order.insert(order.begin(), *lead);
    }
    matching.lead = order.front();
    matching.chosen = lead.has_value();
    const ReadPass& first = passes[matching.lead];
    for (std::size_t j = 0; j < first.blocks.size(); ++j) {
        const FoundBlock& block = first.blocks[j];
        matching.blocks.push_back(MatchedOf(block, CellOf(block), passes.size(), matching.lead, j));
    }
    matching.passes[matching.lead].offset = 0;
    for (std::size_t k = 1; k < order.size(); ++k) PlacePass(matching, passes, order[k], tolerance);
    return matching;
}

namespace {

// A copy already found good: its bytes alone.
BlockCopy KnownCopy(const DataPlanes& planes, const BlockPlace& place, std::size_t length) {
    BlockCopy copy{std::vector<std::uint8_t>(length + kBlockCrcBytes), {}, true};
    planes.Bytes(place.phase, place.bit, copy.bytes.data(), copy.bytes.size());
    copy.crc = {copy.bytes[length], copy.bytes[length + 1]};
    copy.bytes.resize(length);
    return copy;
}

// Where a copy's next data bits lie: a cell of its read, the first of a pair.
BlockPlace AtCell(long long cell) {
    const auto at = static_cast<std::size_t>(std::max(0LL, cell));
    return {static_cast<int>(at % 2), at / 2};
}

std::uint32_t Majority(const std::vector<std::uint32_t>& words) {
    std::uint32_t vote = 0;
    for (int bit = 0; bit < 32; ++bit) {
        std::size_t ones = 0;
        for (std::uint32_t word : words) ones += (word >> bit) & 1u;
        if (2 * ones > words.size()) vote |= 1u << bit;
    }
    return vote;
}

// Each data bit of n bytes as most copies have it, four bytes at a time. A
// copy that a slipped cell put out of step disagrees with the others from
// there on; it is followed a cell or two earlier or later where it agrees
// again.
std::vector<std::uint8_t> Vote(const std::vector<Copy>& copies, std::size_t n) {
    constexpr std::size_t kChunk = 4;  // bytes
    constexpr int kOutOfStep = 8;      // bits of 32 that differ
    constexpr int kInStep = 2;
    struct Follow {
        const DataPlanes* planes;
        long long cell;
    };
    std::vector<Follow> follow;
    for (const Copy& copy : copies) follow.push_back({copy.planes, CellOf(*copy.found)});
    const auto word = [](const Follow& copy, long long cell) {
        const BlockPlace at = AtCell(cell);
        std::uint8_t bytes[kChunk];
        copy.planes->Bytes(at.phase, at.bit, bytes, kChunk);
        return Le32(bytes);
    };
    std::vector<std::uint8_t> vote(n + kChunk, 0);
    std::vector<std::uint32_t> words(follow.size());
    for (std::size_t at = 0; at < n; at += kChunk) {
        const long long offset = static_cast<long long>(at) * kCellsPerByte;
        for (std::size_t c = 0; c < follow.size(); ++c)
            words[c] = word(follow[c], follow[c].cell + offset);
        const std::uint32_t most = Majority(words);
        for (std::size_t c = 0; c < follow.size(); ++c) {
            if (Ones(words[c] ^ most) <= kOutOfStep) continue;
            for (long long shift : {-1LL, 1LL, -2LL, 2LL}) {
                const std::uint32_t moved = word(follow[c], follow[c].cell + offset + shift);
                if (Ones(moved ^ most) > kInStep) continue;
                follow[c].cell += shift;
                words[c] = moved;
                break;
            }
        }
        const std::uint32_t agreed = Majority(words);
        for (std::size_t k = 0; k < kChunk; ++k)
            vote[at + k] = static_cast<std::uint8_t>(agreed >> (8 * k));
    }
    vote.resize(n);
    return vote;
}

// n bytes taken four at a time from the copy whose cells there break the
// MFM rule least: a dropout, noise or a stretch read out of step in one
// copy is bridged by another that is clean there. Ties go to the first.
std::vector<std::uint8_t> Cleanest(const std::vector<Copy>& copies, std::size_t n) {
    constexpr std::size_t kChunk = 4;  // bytes
    std::vector<std::uint8_t> mended(n + kChunk, 0);
    for (std::size_t at = 0; at < n; at += kChunk) {
        const Copy* cleanest = &copies.front();
        int fewest = INT_MAX;
        for (const Copy& copy : copies) {
            const BlockPlace& place = copy.found->place;
            const std::size_t bit = place.bit + 8 * at;
            // A copy that its read's end cut holds nothing there.
            if (bit + 8 * kChunk > copy.planes->bits(place.phase)) continue;
            const int errors = copy.planes->ClockErrors(place.phase, bit, kChunk);
            if (errors >= fewest) continue;
            cleanest = &copy;
            fewest = errors;
        }
        const BlockPlace& place = cleanest->found->place;
        cleanest->planes->Bytes(place.phase, place.bit + 8 * at, &mended[at], kChunk);
    }
    mended.resize(n);
    return mended;
}

// A copy followed along the block's bytes: the cell where its byte 0 would
// lie, moved where the copy lost or gained cells.
struct Strand {
    const DataPlanes* planes;
    long long origin;

    // Eight bytes from a cell on, or none past either end of the read.
    std::optional<std::uint64_t> WordAt(long long cell) const {
        if (cell < 0) return std::nullopt;
        const BlockPlace at = AtCell(cell);
        if (at.bit + 64 > planes->bits(at.phase)) return std::nullopt;
        return planes->Word(at.phase, at.bit);
    }
    long long CellOf(long long byte) const { return origin + byte * kCellsPerByte; }
    std::optional<std::uint64_t> Word(long long byte) const { return WordAt(CellOf(byte)); }
    // Clock cells that break the MFM rule in n bytes from a byte on; none
    // counted past the read's end.
    int ClockErrors(long long byte, std::size_t n) const {
        const BlockPlace at = AtCell(CellOf(byte));
        if (CellOf(byte) < 0 || at.bit + 8 * n > planes->bits(at.phase)) return 0;
        return planes->ClockErrors(at.phase, at.bit, n);
    }
};

constexpr long long kSplicedWord = 8;  // bytes

// Where a strand that parted from another at byte `parted` is found in step
// with it again: its bytes a little further on, looked for in the other's
// cells within a capture device's largest lost or repeated transfer. The
// strand's byte, and the cell from the other's origin where it lies.
struct Refound {
    long long byte;
    long long cell;
    // Cells the strand holds that the other does not (negative: lacks).
    long long Extra() const { return byte * kCellsPerByte - cell; }
};
// The cell nearest `around` where sixteen bytes lie in a strand's cells.
std::optional<long long> NearestCell(const Strand& strand, long long around, std::uint64_t key,
                                     std::uint64_t then) {
    constexpr long long kReach = 16384;  // cells: a capture device's largest transfer
    const DataPlanes& planes = *strand.planes;
    std::optional<long long> nearest;
    for (int phase = 0; phase < 2; ++phase) {
        // Data bits whose two words lie inside the read.
        const long long bits = static_cast<long long>(planes.bits(phase)) - 128;
        const auto holds = [&](long long bit) {
            return bit >= 0 && bit <= bits &&
                   planes.Word(phase, static_cast<std::size_t>(bit)) == key &&
                   planes.Word(phase, static_cast<std::size_t>(bit) + 64) == then;
        };
        const long long centre = (around - phase) / 2;
        for (long long distance = 0; distance <= kReach / 2; ++distance) {
            const long long bit = holds(centre + distance)   ? centre + distance
                                  : holds(centre - distance) ? centre - distance
                                                             : -1;
            if (bit < 0) continue;
            const long long cell = DataPlanes::Cell(phase, static_cast<std::size_t>(bit));
            if (!nearest || std::llabs(cell - around) < std::llabs(*nearest - around))
                nearest = cell;
            break;
        }
    }
    return nearest;
}

std::optional<Refound> FindAgain(const Strand& strand, const Strand& other, long long parted) {
    constexpr long long kProbes[] = {16, 48, 112, 240};  // bytes past the parting
    for (long long probe : kProbes) {
        const long long byte = parted + probe;
        const std::optional<std::uint64_t> key = strand.Word(byte);
        const std::optional<std::uint64_t> then = strand.Word(byte + kSplicedWord);
        // A run of one byte is found anywhere.
        if (!key || !then || *key == (*key & 0xFF) * 0x0101010101010101u) continue;
        if (const std::optional<long long> cell =
                NearestCell(other, other.CellOf(byte), *key, *then))
            return Refound{byte, *cell - other.origin};
    }
    return std::nullopt;
}

// Whether the cells a strand holds beyond the other's at a parting are no
// part of the block: a stretch it holds twice, as a transfer delivered
// again leaves it, or cells out of step or noise up to where it was found
// again, as a clock that lost the cells' pace or a glitch leave them.
bool ExtraIsFalse(const Strand& strand, const Strand& other, long long parted,
                  const Refound& found) {
    constexpr int kNoise = 2;  // clock cells that break the MFM rule, beyond the other's
    const long long extra = found.Extra();
    const long long bytes = extra / kCellsPerByte;
    bool twice = bytes > 2 * kSplicedWord;
    for (long long at = parted + kSplicedWord; twice && at + 2 * kSplicedWord <= parted + bytes;
         at += kSplicedWord)
        twice = strand.Word(at) == strand.WordAt(strand.CellOf(at) - extra);
    if (twice) return true;
    const auto n = static_cast<std::size_t>(found.byte - parted);
    return strand.ClockErrors(parted, n) >= other.ClockErrors(parted, n) + kNoise;
}

// n bytes from two copies that each lost or gained stretches of cells (a
// capture device's transfer dropped or delivered twice, a glitch), so that
// from some byte on each holds the block's bytes shifted. Where the copies
// part, the one gone astray is followed no further until it is found in
// step again; the other is taken meanwhile. None unless some copy was
// found shifted, the splice's only claim over the cleanest copy.
std::optional<std::vector<std::uint8_t>> Spliced(const Copy& x, const Copy& y, std::size_t n) {
    constexpr int kPartings = 8;
    std::array<Strand, 2> strands{{{x.planes, CellOf(*x.found)}, {y.planes, CellOf(*y.found)}}};
    const auto end = static_cast<long long>(n);
    std::vector<std::uint8_t> out(n + kSplicedWord);
    int astray = -1;
    int partings = 0;
    long long rejoin = 0;  // from where the astray strand may be in step again
    int agreed = 0;        // words alike since then
    bool shifted = false;
    for (long long k = 0; k < end; k += kSplicedWord) {
        const std::optional<std::uint64_t> a = strands[0].Word(k);
        const std::optional<std::uint64_t> b = strands[1].Word(k);
        if (astray < 0) {
            if (!a || !b) return std::nullopt;
            PutLe64(&out[static_cast<std::size_t>(k)], *a);
            if (*a == *b) continue;
            // Copies that differ in their first bytes are not worth the search.
            if (k < 2 * kSplicedWord || ++partings > kPartings) return std::nullopt;
            // The one that holds cells the other lacks went astray if those
            // are false, else the other lost them; unshifted, the one whose
            // cells break the MFM rule there.
            std::array<std::optional<Refound>, 2> found{FindAgain(strands[0], strands[1], k),
                                                        FindAgain(strands[1], strands[0], k)};
            for (std::optional<Refound>& f : found)
                if (f && f->Extra() == 0) f.reset();
            if (found[0] && found[1]) {
                const int more = found[0]->Extra() > found[1]->Extra() ? 0 : 1;
                const auto extra = static_cast<std::size_t>(more);
                astray = ExtraIsFalse(strands[extra], strands[1 - extra], k, *found[extra])
                             ? more
                             : 1 - more;
            } else if (found[0] || found[1]) {
                astray = found[0] ? 0 : 1;
            } else {
                constexpr std::size_t kLooked = 2 * kSplicedWord;
                astray = strands[1].ClockErrors(k, kLooked) > strands[0].ClockErrors(k, kLooked);
            }
            rejoin = k;
            agreed = 0;
            if (const std::optional<Refound>& f = found[static_cast<std::size_t>(astray)]) {
                Strand& lost = strands[static_cast<std::size_t>(astray)];
                lost.origin += f->Extra();
                rejoin = std::max(k, f->cell / kCellsPerByte);
                shifted = true;
            }
        }
        const std::optional<std::uint64_t> kept = astray == 0 ? b : a;
        if (!kept) return std::nullopt;
        PutLe64(&out[static_cast<std::size_t>(k)], *kept);
        if (k < rejoin) continue;
        agreed = strands[static_cast<std::size_t>(astray)].Word(k) == kept ? agreed + 1 : 0;
        if (agreed == 2) astray = -1;
    }
    if (!shifted) return std::nullopt;
    out.resize(n);
    return out;
}

void AddRead(std::vector<int>& reads, int read) {
    if (std::find(reads.begin(), reads.end(), read) == reads.end()) reads.push_back(read);
}

// The copy nearest the others (with two, the first).
std::size_t Nearest(const std::vector<BlockCopy>& copies) {
    std::size_t best = 0;
    std::size_t fewest = SIZE_MAX;
    for (std::size_t c = 0; c < copies.size(); ++c) {
        std::size_t differ = 0;
        for (const BlockCopy& other : copies) {
            for (std::size_t i = 0; i < other.bytes.size(); ++i)
                differ += copies[c].bytes[i] != other.bytes[i] ? 1 : 0;
        }
        if (differ < fewest) {
            fewest = differ;
            best = c;
        }
    }
    return best;
}

// One content of a block that passes its CRC, with the reads that hold it
// and how many copies side with it.
struct Variant {
    BlockCopy copy;
    std::vector<int> reads;
    std::size_t support;
    std::vector<std::size_t> copies;  // which of the block's copies hold it
    void Add(const Copy& from, std::size_t c) {
        AddRead(reads, from.read);
        ++support;
        copies.push_back(c);
    }
};

// Bytes of a copy's beginning compared to tell copies of one block from
// another block's: few damaged in most reads.
constexpr std::size_t kComparedBytes = 64;

std::size_t Differ(const std::vector<std::uint8_t>& a, const std::vector<std::uint8_t>& b,
                   std::size_t first = SIZE_MAX) {
    std::size_t differ = 0;
    for (std::size_t i = 0; i < a.size() && i < b.size() && i < first; ++i)
        differ += a[i] != b[i] ? 1 : 0;
    return differ;
}

// Whether byte i of a copy and the bytes beside it keep the clock rule:
// dropped flux, noise and most slips break it.
bool ReadsCleanly(const Copy& copy, std::size_t i) {
    const BlockPlace& place = copy.found->place;
    const std::size_t from = i > 0 ? i - 1 : 0;
    // A copy may run on past the end of its read, where nothing was read.
    if (place.bit + 8 * (from + 3) > copy.planes->bits(place.phase)) return false;
    return copy.planes->ClockErrors(place.phase, place.bit + 8 * from, 3) == 0;
}

// Byte i of bytes as a read `cells` cells out of step gives it: each data
// bit read from the cell that many cells after (or before) it.
std::uint8_t OutOfStep(const std::vector<std::uint8_t>& bytes, std::size_t i, long long cells) {
    const auto data = [&](long long b) {
        return b >= 0 && static_cast<std::size_t>(b / 8) < bytes.size()
                   ? (bytes[static_cast<std::size_t>(b / 8)] >> (b % 8)) & 1
                   : 0;
    };
    // Cell 2b is bit b's clock, set between two zero bits; cell 2b + 1 the bit.
    const auto cell = [&](long long n) {
        const long long b = n >= 0 ? n / 2 : (n - 1) / 2;
        return n % 2 != 0 ? data(b) : (data(b - 1) | data(b)) == 0;
    };
    unsigned byte = 0;
    for (long long j = 0; j < 8; ++j)
        if (cell(2 * (8 * static_cast<long long>(i) + j) + 1 + cells)) byte |= 1u << j;
    return static_cast<std::uint8_t>(byte);
}

// A gap's bytes, as a stretch of gap a capture put in a block reads in
// either phase.
bool Fill(std::uint8_t byte) {
    return byte == 0x00 || byte == 0xFF;
}

// Whether two copies that failed, of two reads, agree on bytes that each
// reads cleanly where a good copy has others, and not as a read out of step
// or a stretch of gap gives them: the block written over since that copy
// was read, its new bytes damaged in every read taken since. (One read
// alone may: a flux lost in a run of ones reads cleanly; so may two reads
// put back on the side's cells.)
bool Contradicted(const std::vector<std::uint8_t>& good, const std::vector<BlockCopy>& failed,
                  const std::vector<Copy>& broken) {
    constexpr int kAgreeing = 2;          // bytes; damage seldom reads alike in two reads even once
    constexpr long long kOutOfStep = 16;  // cells, as slips at one rate add up in a block
    const auto stepped = [&](std::uint8_t byte, const std::vector<std::uint8_t>& bytes,
                             std::size_t i) {
        for (long long step = -kOutOfStep; step <= kOutOfStep; ++step)
            if (step != 0 && byte == OutOfStep(bytes, i, step)) return true;
        return false;
    };
    // A capture that lost or repeated a stretch reads the block's own bytes
    // from elsewhere in it: nothing new.
    constexpr std::size_t kWindow = 8;
    std::unordered_set<std::uint64_t> windows;
    const auto moved = [&](const std::vector<std::uint8_t>& bytes, std::size_t i) {
        if (bytes.size() < kWindow) return false;
        if (windows.empty())
            for (std::size_t j = 0; j + kWindow <= good.size(); ++j) windows.insert(Le64(&good[j]));
        return windows.count(Le64(&bytes[std::min(i, bytes.size() - kWindow)])) != 0;
    };
    for (std::size_t f = 0; f < failed.size(); ++f) {
        for (std::size_t g = f + 1; g < failed.size(); ++g) {
            if (broken[f].read == broken[g].read || (broken[f].retimed && broken[g].retimed))
                continue;
            const std::vector<std::uint8_t>& a = failed[f].bytes;
            const std::vector<std::uint8_t>& b = failed[g].bytes;
            int agreeing = 0;
            for (std::size_t i = 0; i < good.size() && i < a.size() && i < b.size(); ++i)
                if (a[i] == b[i] && a[i] != good[i] && !Fill(a[i]) && ReadsCleanly(broken[f], i) &&
                    ReadsCleanly(broken[g], i) && !stepped(a[i], good, i) && !moved(a, i) &&
                    ++agreeing >= kAgreeing)
                    return true;
        }
    }
    return false;
}

// Copies that pass their CRC but differ: a CRC that holds over damage by
// chance, or a block written over. The copies that failed side with the one
// they nearly equal; one held by more copies than any other is the block,
// else it is a conflict and the first is kept; so is one that the failed
// copies contradict, or that together give another block (overruled).
Verdict Settle(std::vector<Variant>& variants, const std::vector<BlockCopy>& failed,
               const std::vector<Copy>& broken, bool overruled = false) {
    constexpr std::size_t kNear = 4;  // differing in at most a quarter of the bytes
    if (variants.size() > 1) {
        for (const BlockCopy& copy : failed) {
            Variant* nearest = nullptr;
            std::size_t fewest = copy.bytes.size() / kNear + 1;
            for (Variant& variant : variants) {
                const std::size_t differ = Differ(copy.bytes, variant.copy.bytes);
                if (differ < fewest) {
                    fewest = differ;
                    nearest = &variant;
                }
            }
            if (nearest != nullptr) ++nearest->support;
        }
    }
    std::size_t best = 0;
    bool tie = false;
    for (std::size_t v = 1; v < variants.size(); ++v) {
        if (variants[v].support > variants[best].support) {
            best = v;
            tie = false;
        } else if (variants[v].support == variants[best].support) {
            tie = true;
        }
    }
    if (tie) best = 0;
    // Failed copies whose first bytes are nearer one another's than any
    // good copy's, more of them than copies of the best: another block, as
    // a read of another side holds it where this side has one alike in its
    // place. (Copies read out of step agree with one another from where they
    // slipped on, seldom in the first bytes.) Only bytes that read cleanly
    // count: dropouts read alike, as zeros.
    std::vector<std::vector<bool>> clean(failed.size());
    for (std::size_t f = 0; f < failed.size(); ++f)
        for (std::size_t i = 0; i < kComparedBytes && i < failed[f].bytes.size(); ++i)
            clean[f].push_back(ReadsCleanly(broken[f], i));
    const auto differ = [&](std::size_t f, const std::vector<std::uint8_t>& other,
                            const std::vector<bool>* otherclean) {
        std::size_t n = 0;
        for (std::size_t i = 0; i < clean[f].size() && i < other.size(); ++i)
            n += clean[f][i] &&
                 (otherclean == nullptr || (i < otherclean->size() && (*otherclean)[i])) &&
                 failed[f].bytes[i] != other[i];
        return n;
    };
    std::size_t apart = 0;
    for (std::size_t f = 0; f < failed.size(); ++f) {
        std::size_t good = SIZE_MAX, other = SIZE_MAX;
        for (const Variant& variant : variants)
            good = std::min(good, differ(f, variant.copy.bytes, nullptr));
        for (std::size_t g = 0; g < failed.size(); ++g)
            if (g != f) other = std::min(other, differ(f, failed[g].bytes, &clean[g]));
        apart += other < good ? 1 : 0;
    }
    tie = tie || overruled || (apart >= 2 && apart > variants[best].support) ||
          Contradicted(variants[best].copy.bytes, failed, broken);
    Verdict verdict{tie ? BlockStatus::kConflict : BlockStatus::kGood,
                    variants[best].reads,
                    std::move(variants[best].copy.bytes),
                    variants[best].copy.crc,
                    {}};
    // The reads of the other copies that pass: good in, where none wins;
    // else outvoted, and told so.
    std::vector<int>& others = tie ? verdict.goodin : verdict.outvoted;
    for (const Variant& variant : variants)
        for (int read : variant.reads)
            if (std::find(verdict.goodin.begin(), verdict.goodin.end(), read) ==
                verdict.goodin.end())
                AddRead(others, read);
    std::sort(verdict.goodin.begin(), verdict.goodin.end());
    std::sort(verdict.outvoted.begin(), verdict.outvoted.end());
    return verdict;
}

// With the side named by a read whose copy fails its CRC, the good copies
// that begin less like it than another copy does: another side's, one that
// opens alike (a copy of this block read out of step, too, which the CRC
// of what the rest give then tells). They are set aside; their copies'
// places among the block's, in order.
std::vector<std::size_t> OtherSides(std::vector<Variant>& variants,
                                    const std::vector<BlockCopy>& failed, std::size_t named) {
    const std::vector<std::uint8_t>& own = failed[named].bytes;
    std::size_t nearest = SIZE_MAX;
    for (std::size_t f = 0; f < failed.size(); ++f)
        if (f != named) nearest = std::min(nearest, Differ(own, failed[f].bytes, kComparedBytes));
    for (const Variant& variant : variants)
        nearest = std::min(nearest, Differ(own, variant.copy.bytes, kComparedBytes));
    std::vector<std::size_t> aside;
    const auto other = [&](const Variant& variant) {
        if (Differ(own, variant.copy.bytes, kComparedBytes) <= nearest) return false;
        aside.insert(aside.end(), variant.copies.begin(), variant.copies.end());
        return true;
    };
    variants.erase(std::remove_if(variants.begin(), variants.end(), other), variants.end());
    std::sort(aside.begin(), aside.end());
    return aside;
}

// No copy holds: each data bit as most copies have it, or else each
// stretch from the copy that is clean there, or else two copies spliced
// where one is found shifted in the other. Few candidates, the splices
// only with that evidence, so that a CRC holding by chance stays rare.
std::optional<Verdict> Mended(const std::vector<Copy>& copies, std::size_t length,
                              const CrcVariant& checker) {
    const auto holds = [&](std::vector<std::uint8_t>& candidate) -> std::optional<Verdict> {
        Crc16 crc(checker);
        if (crc.Update(candidate.data(), candidate.size(), true) != 0) return std::nullopt;
        const std::array<std::uint8_t, 2> stored{candidate[length], candidate[length + 1]};
        candidate.resize(length);
        return Verdict{BlockStatus::kVoted, {}, std::move(candidate), stored, {}};
    };
    constexpr std::size_t kVoters = 3;
    if (copies.size() >= kVoters) {
        std::vector<std::uint8_t> vote = Vote(copies, length + kBlockCrcBytes);
        if (std::optional<Verdict> voted = holds(vote)) return voted;
    }
    if (copies.size() >= 2) {
        std::vector<std::uint8_t> mended = Cleanest(copies, length + kBlockCrcBytes);
        if (std::optional<Verdict> voted = holds(mended)) return voted;
        std::optional<std::vector<std::uint8_t>> spliced =
            Spliced(copies[0], copies[1], length + kBlockCrcBytes);
        if (spliced)
            if (std::optional<Verdict> voted = holds(*spliced)) return voted;
    }
    return std::nullopt;
}

}  // namespace

Verdict JudgeCopies(const std::vector<Copy>& all, std::size_t length, const CrcVariant& checker) {
    // A copy its own read found good at another length is another block's,
    // whose CRC may still hold at this one: a shorter block's CRC and the
    // gap's zeros behind it hold at any longer length.
    std::vector<Copy> copies;
    for (const Copy& copy : all)
        if (copy.found->status != BlockStatus::kGood || copy.found->length == length)
            copies.push_back(copy);
    Verdict verdict{BlockStatus::kMissing, {}, {}, {}, {}};
    std::vector<Variant> variants;  // the different copies that pass their CRC
    std::vector<BlockCopy> failed;
    std::vector<Copy> broken;          // the copies that failed
    std::optional<std::size_t> named;  // the named read's copy among the failed
    for (std::size_t c = 0; c < copies.size(); ++c) {
        const Copy& copy = copies[c];
        const FoundBlock& found = *copy.found;
        const bool known = found.status == BlockStatus::kGood;
        // A known good copy with a kept copy's CRC is that copy.
        if (known) {
            const std::array<std::uint8_t, 2> crc = CrcBytesAt(*copy.planes, found.place, length);
            const auto same = std::find_if(variants.begin(), variants.end(),
                                           [&](const Variant& v) { return v.copy.crc == crc; });
            if (same != variants.end()) {
                same->Add(copy, c);
                continue;
            }
        }
        BlockCopy read = known ? KnownCopy(*copy.planes, found.place, length)
                               : ReadCopy(*copy.planes, found.place, length, checker);
        if (!read.good) {
            if (copy.named) named = failed.size();
            failed.push_back(std::move(read));
            broken.push_back(copy);
            continue;
        }
        const auto same = std::find_if(variants.begin(), variants.end(), [&](const Variant& v) {
            return v.copy.bytes == read.bytes;
        });
        if (same != variants.end()) {
            same->Add(copy, c);
        } else {
            variants.push_back({std::move(read), {copy.read}, 1, {c}});
        }
    }
    if (named && !variants.empty()) {
        // The named read's side: the other's good copies set aside, what
        // its own copies give, where that holds.
        std::vector<Variant> own = variants;
        const std::vector<std::size_t> aside = OtherSides(own, failed, *named);
        if (!aside.empty() && !own.empty()) return Settle(own, failed, broken);
        if (!aside.empty()) {
            std::vector<Copy> kept = copies;
            for (auto c = aside.rbegin(); c != aside.rend(); ++c)
                kept.erase(kept.begin() + static_cast<std::ptrdiff_t>(*c));
            if (std::optional<Verdict> mended = Mended(kept, length, checker))
                return std::move(*mended);
        }
    }
    // Copies that fail yet together hold what no good copy is: the block
    // written over between reads, or another side's that begins alike. The
    // named read's side where its copy is among them; else a conflict.
    if (!variants.empty() && broken.size() >= 2) {
        if (std::optional<Verdict> mended = Mended(broken, length, checker)) {
            if (std::none_of(variants.begin(), variants.end(),
                             [&](const Variant& v) { return v.copy.bytes == mended->bytes; })) {
                if (named) return std::move(*mended);
                return Settle(variants, failed, broken, true);
            }
        }
    }
    if (!variants.empty()) return Settle(variants, failed, broken);
    if (std::optional<Verdict> mended = Mended(copies, length, checker)) return std::move(*mended);
    if (failed.empty()) return verdict;
    const std::size_t best = Nearest(failed);
    return {BlockStatus::kBad, {}, std::move(failed[best].bytes), failed[best].crc, {}};
}

namespace {

// A read's block and another's within this many cells of where the anchors
// around it put it are the same block.
constexpr long long kMatchCells = 512;

// Passes by the side their good opening shows; the passes without one in none.
std::vector<std::vector<std::size_t>> GroupsByOpening(const std::vector<ReadPass>& passes) {
    std::vector<Fingerprint> prints;
    std::vector<std::vector<std::size_t>> groups;
    for (std::size_t p = 0; p < passes.size(); ++p) {
        if (passes[p].fate != PassFate::kUsed) continue;
        for (const FoundBlock& block : passes[p].blocks) {
            if (block.role != BlockRole::kOpening || block.status != BlockStatus::kGood) continue;
            const auto at = std::find(prints.begin(), prints.end(), block.print);
            if (at == prints.end()) {
                prints.push_back(block.print);
                groups.push_back({p});
            } else {
                groups[static_cast<std::size_t>(at - prints.begin())].push_back(p);
            }
        }
    }
    return groups;
}

std::optional<std::size_t> BestPassOf(const std::vector<ReadPass>& passes, int read) {
    std::optional<std::size_t> best;
    for (std::size_t p = 0; p < passes.size(); ++p) {
        if (passes[p].read != read || passes[p].fate != PassFate::kUsed) continue;
        if (!best || GoodBlocks(passes[p]) > GoodBlocks(passes[*best])) best = p;
    }
    return best;
}

// Sorts the groups so that the one holding the best pass (or the chosen
// read's) comes first.
void LeadFirst(std::vector<std::vector<std::size_t>>& groups, const std::vector<ReadPass>& passes,
               std::optional<int> sideof) {
    const auto holds = [&](const std::vector<std::size_t>& group) {
        std::size_t most = 0;
        for (std::size_t p : group) {
            if (sideof && passes[p].read == *sideof) return SIZE_MAX;
            most = std::max(most, GoodBlocks(passes[p]));
        }
        return most;
    };
    std::stable_sort(groups.begin(), groups.end(),
                     [&](const auto& a, const auto& b) { return holds(a) > holds(b); });
}

// Leaves out the passes of other sides than the chosen read's, or, with no
// read chosen, tells the sides apart and returns false.
bool OneSide(std::vector<std::vector<std::size_t>> groups, SideRescue& rescue,
             std::optional<int> sideof) {
    if (groups.size() <= 1) return true;
    LeadFirst(groups, rescue.passes, sideof);
    const bool chosen =
        sideof && std::any_of(groups.front().begin(), groups.front().end(),
                              [&](std::size_t p) { return rescue.passes[p].read == *sideof; });
    if (!chosen) {
        rescue.sides = std::move(groups);
        return false;
    }
    for (std::size_t g = 1; g < groups.size(); ++g)
        for (std::size_t p : groups[g]) rescue.passes[p].fate = PassFate::kOtherSide;
    return true;
}

// The print of a pass's good file count block; none without one.
std::optional<Fingerprint> CountPrint(const ReadPass& pass) {
    for (const FoundBlock& block : pass.blocks)
        if (block.role == BlockRole::kFileCount && block.status == BlockStatus::kGood)
            return block.print;
    return std::nullopt;
}

// Passes that hold good blocks unlike the lead's where the lead holds good
// ones, more than alike: another side; and those whose count of files is
// another than the lead's (or, where the lead lost it, the one most passes
// hold), however alike the rest: another version of the disk.
std::vector<std::size_t> Contrary(const SideRescue& rescue) {
    std::vector<std::optional<Fingerprint>> own;  // each used pass's count
    std::vector<Fingerprint> counts;
    for (const ReadPass& pass : rescue.passes) {
        own.push_back(pass.fate == PassFate::kUsed ? CountPrint(pass) : std::nullopt);
        if (own.back()) counts.push_back(*own.back());
    }
    const auto held = [&](Fingerprint print) {
        return std::count(counts.begin(), counts.end(), print);
    };
    std::optional<Fingerprint> count = own[rescue.matching.lead];
    if (!count && !counts.empty())
        count = *std::max_element(counts.begin(), counts.end(),
                                  [&](Fingerprint a, Fingerprint b) { return held(a) < held(b); });
    std::vector<std::size_t> contrary;
    for (std::size_t p = 0; p < rescue.passes.size(); ++p) {
        if (rescue.passes[p].fate != PassFate::kUsed) continue;
        const PassMatch& match = rescue.matching.passes[p];
        if ((match.conflicts > 0 && match.conflicts >= match.anchors) ||
            (own[p] && *own[p] != *count))
            contrary.push_back(p);
    }
    return contrary;
}

// The passes in use that a group leaves out.
std::vector<std::size_t> UsedBesides(const SideRescue& rescue,
                                     const std::vector<std::size_t>& group) {
    std::vector<std::size_t> rest;
    for (std::size_t p = 0; p < rescue.passes.size(); ++p)
        if (rescue.passes[p].fate == PassFate::kUsed &&
            std::find(group.begin(), group.end(), p) == group.end())
            rest.push_back(p);
    return rest;
}

// How unlike the lead pass's copies a group's are, in their first bytes,
// good or not: differing bytes and bytes compared.
std::pair<std::size_t, std::size_t> UnlikeTheLead(const SideRescue& rescue,
                                                  const std::vector<const DataPlanes*>& planes,
                                                  const std::vector<std::size_t>& group) {
    const auto head = [&](std::size_t p, std::size_t index) {
        const FoundBlock& block = rescue.passes[p].blocks[index];
        std::vector<std::uint8_t> bytes(std::min(kComparedBytes, block.length));
        planes[static_cast<std::size_t>(rescue.passes[p].read)]->Bytes(
            block.place.phase, block.place.bit, bytes.data(), bytes.size());
        return bytes;
    };
    const std::size_t lead = rescue.matching.lead;
    std::pair<std::size_t, std::size_t> unlike{0, 0};
    for (const MatchedBlock& block : rescue.matching.blocks) {
        if (!block.copies[lead]) continue;
        const std::vector<std::uint8_t> own = head(lead, *block.copies[lead]);
        for (std::size_t p : group) {
            if (!block.copies[p]) continue;
            const std::vector<std::uint8_t> other = head(p, *block.copies[p]);
            unlike.first += Differ(own, other);
            unlike.second += std::min(own.size(), other.size());
        }
    }
    return unlike;
}

// With a side named, the passes that contradict the others may be the
// named read's side: the passes left out are then those whose copies
// begin less like the named read's own, good or damaged; both groups where
// the named read holds nothing that tells them apart.
std::vector<std::size_t> OtherThanTheLead(const SideRescue& rescue,
                                          const std::vector<const DataPlanes*>& planes,
                                          const std::vector<std::size_t>& contrary) {
    std::vector<std::size_t> rest = UsedBesides(rescue, contrary);
    rest.erase(std::remove(rest.begin(), rest.end(), rescue.matching.lead), rest.end());
    if (rest.empty()) return contrary;
    const auto a = UnlikeTheLead(rescue, planes, contrary);
    const auto b = UnlikeTheLead(rescue, planes, rest);
    // As shares of the bytes compared: the contrary ones more like the lead.
    if (a.second > 0 && b.second > 0) {
        const std::size_t contrary_unlike = a.first * b.second, rest_unlike = b.first * a.second;
        if (contrary_unlike < rest_unlike) return rest;
        if (contrary_unlike > rest_unlike) return contrary;
    }
    // The lead holds nothing that tells them apart: neither is taken for its side.
    std::vector<std::size_t> both = contrary;
    both.insert(both.end(), rest.begin(), rest.end());
    return both;
}

// A slot of the side's order: a matched block, or a missing one the order
// shows; a data block with the slot of the header it belongs to, and
// whether a read holds the two one right behind the other.
struct Slot {
    BlockRole role;
    const MatchedBlock* matched;
    std::optional<std::size_t> header;
    bool seen;
};

class Order {
public:
    Order(const RescueMedium& medium, const SideRescue& rescue)
        : m_medium(medium), m_rescue(rescue) {}

    std::vector<Slot> Slots() {
        for (const MatchedBlock& block : m_rescue.matching.blocks) Take(block);
        if (Last(BlockRole::kHeader)) Missing(BlockRole::kData);
        if (m_slots.empty()) Opening();
        return m_slots;
    }

private:
    bool Last(BlockRole role) const { return !m_slots.empty() && m_slots.back().role == role; }
    void Missing(BlockRole role) { m_slots.push_back({role, nullptr, std::nullopt, false}); }
    void Opening() {
        Missing(BlockRole::kOpening);
        if (m_medium.filecount) Missing(BlockRole::kFileCount);
    }

    void Take(const MatchedBlock& block) {
        if (m_slots.empty() && block.role != BlockRole::kOpening) {
            Opening();
            if (block.role == BlockRole::kFileCount) m_slots.pop_back();
        } else if (m_medium.filecount && m_slots.size() == 1 && Last(BlockRole::kOpening) &&
                   block.role != BlockRole::kFileCount) {
            Missing(BlockRole::kFileCount);
        }
        if (block.role == BlockRole::kData) {
            TakeData(block);
            return;
        }
        if (block.role == BlockRole::kHeader && Last(BlockRole::kHeader)) Missing(BlockRole::kData);
        m_slots.push_back({block.role, &block, std::nullopt, false});
    }

    // A block held good weighs more than any number of damaged copies.
    static std::size_t Support(const MatchedBlock& block) {
        const auto copies = static_cast<std::size_t>(
            std::count_if(block.copies.begin(), block.copies.end(),
                          [](const std::optional<std::size_t>& c) { return c.has_value(); }));
        return (block.print != 0 ? block.copies.size() + 1 : 0) + copies;
    }

    void TakeData(const MatchedBlock& block) {
        const Slot* header = Last(BlockRole::kHeader) ? &m_slots.back() : nullptr;
        // Two blocks that claim one file's data: the one more reads hold wins.
        if (Last(BlockRole::kData) && m_slots.back().header && m_slots.back().matched) {
            Slot& data = m_slots.back();
            const Slot& before = m_slots[*data.header];
            if (before.matched != nullptr && Pairing(*before.matched, block) != Pair::kNone) {
                if (Support(block) > Support(*data.matched)) {
                    data.matched = &block;
                    data.seen = Pairing(*before.matched, block) == Pair::kSeen;
                }
                return;
            }
        }
        const Pair pair =
            header && header->matched ? Pairing(*header->matched, block) : Pair::kNone;
        if (pair != Pair::kNone) {
            m_slots.push_back({block.role, &block, m_slots.size() - 1, pair == Pair::kSeen});
            return;
        }
        // Its own header lost: the data of the header before is lost too.
        if (header) Missing(BlockRole::kData);
        Missing(BlockRole::kHeader);
        m_slots.push_back({block.role, &block, m_slots.size() - 1, false});
    }

    // Whether a data block lies right behind a header, one gap between: in
    // a pass that holds both (seen), or, where none does, as the anchors
    // put them (its length then not taken from the header).
    enum class Pair { kNone, kUnseen, kSeen };
    Pair Pairing(const MatchedBlock& header, const MatchedBlock& data) const {
        bool held = false;
        for (std::size_t p = 0; p < m_rescue.passes.size(); ++p) {
            if (!header.copies[p] || !data.copies[p]) continue;
            const ReadPass& pass = m_rescue.passes[p];
            const FoundBlock& h = pass.blocks[*header.copies[p]];
            const FoundBlock& d = pass.blocks[*data.copies[p]];
            const long long gap = CellOf(d) - static_cast<long long>(h.End());
            const long long near =
                NearCells(m_rescue.reads[static_cast<std::size_t>(pass.read)], m_medium.nearcells);
            if (gap >= 0 && gap <= near) return Pair::kSeen;
            held = true;
        }
        if (held) return Pair::kNone;
        const long long end =
            header.cell + static_cast<long long>(header.length + kBlockCrcBytes) * kCellsPerByte;
        const bool near =
            data.cell - end >= -kMatchCells && data.cell - end <= m_medium.nearcells + kMatchCells;
        return near ? Pair::kUnseen : Pair::kNone;
    }

    const RescueMedium& m_medium;
    const SideRescue& m_rescue;
    std::vector<Slot> m_slots;
};

std::vector<Copy> CopiesOf(const MatchedBlock& matched, const SideRescue& rescue,
                           const std::vector<const DataPlanes*>& planes) {
    std::vector<Copy> copies;
    for (std::size_t p = 0; p < rescue.passes.size(); ++p) {
        if (!matched.copies[p]) continue;
        const ReadPass& pass = rescue.passes[p];
        copies.push_back({pass.read, planes[static_cast<std::size_t>(pass.read)],
                          &pass.blocks[*matched.copies[p]],
                          rescue.matching.chosen && p == rescue.matching.lead,
                          rescue.reads[static_cast<std::size_t>(pass.read)].retimed});
    }
    return copies;
}

// Where each block begins in the first read: its copy there, or its place
// in the lead's cells moved as much as its neighbour's that the first read
// holds.
void FirstReadCells(const std::vector<const MatchedBlock*>& matched, SideRescue& rescue) {
    std::vector<RescuedBlock>& blocks = rescue.blocks;
    for (std::size_t n = 0; n < blocks.size(); ++n) {
        if (matched[n] == nullptr) continue;
        for (std::size_t p = 0; p < rescue.passes.size() && !blocks[n].cell; ++p) {
            if (rescue.passes[p].read == 0 && matched[n]->copies[p])
                blocks[n].cell = CellOf(rescue.passes[p].blocks[*matched[n]->copies[p]]);
        }
    }
    const auto placed = [&](std::size_t n) { return blocks[n].cell && blocks[n].leadcell >= 0; };
    for (std::size_t n = 0; n < blocks.size(); ++n) {
        if (blocks[n].cell || blocks[n].leadcell < 0) continue;
        std::optional<std::size_t> near;
        for (std::size_t k = n; k-- > 0 && !near;)
            if (placed(k)) near = k;
        for (std::size_t k = n + 1; k < blocks.size() && !near; ++k)
            if (placed(k)) near = k;
        if (near)
            blocks[n].cell = *blocks[*near].cell + blocks[n].leadcell - blocks[*near].leadcell;
    }
}

// Blocks out of their place: an opening or a file count anywhere but first,
// a header the one before may not be followed by, a file twice past the
// blocks the side announces (a tape may hold one file twice).
std::vector<std::size_t> Misplaced(const RescueMedium& medium,
                                   const std::vector<RescuedBlock>& blocks) {
    std::vector<std::size_t> misplaced;
    std::optional<std::size_t> header;  // the last sure one
    const std::size_t announced = medium.announced(blocks).value_or(0);
    for (std::size_t n = 0; n < blocks.size(); ++n) {
        const RescuedBlock& block = blocks[n];
        const bool wrong = (block.role == BlockRole::kOpening && n != 0) ||
                           (block.role == BlockRole::kFileCount && n != 1);
        if (wrong) misplaced.push_back(n);
        if (block.role != BlockRole::kHeader || !IsSure(block.status)) continue;
        bool again = header && !medium.follows(blocks[*header], block);
        for (std::size_t k = 0; k < n && n + 1 >= announced && !again; ++k) {
            const bool same = blocks[k].role == BlockRole::kHeader && IsSure(blocks[k].status) &&
                              blocks[k].bytes == block.bytes && n + 1 < blocks.size() &&
                              IsSure(blocks[n + 1].status) &&
                              blocks[k + 1].bytes == blocks[n + 1].bytes;
            again = same;
        }
        if (again) misplaced.push_back(n);
        header = n;
    }
    return misplaced;
}

std::vector<RereadStretch> Reread(const std::vector<RescuedBlock>& blocks) {
    std::vector<RereadStretch> stretches;
    for (std::size_t n = 0; n < blocks.size(); ++n) {
        if (IsSure(blocks[n].status)) continue;
        std::size_t last = n;
        while (last + 1 < blocks.size() && !IsSure(blocks[last + 1].status)) ++last;
        RereadStretch stretch{n, last, std::nullopt};
        // From the end of the sure block before to the start of the one after.
        std::optional<long long> from, to;
        if (n > 0 && blocks[n - 1].cell && blocks[n - 1].length) {
            from = *blocks[n - 1].cell +
                   static_cast<long long>(*blocks[n - 1].length + kBlockCrcBytes) * kCellsPerByte;
        } else if (blocks[n].cell) {
            from = *blocks[n].cell;
        }
        if (last + 1 < blocks.size() && blocks[last + 1].cell) {
            to = *blocks[last + 1].cell;
        } else if (blocks[last].cell && blocks[last].length) {
            to = *blocks[last].cell +
                 static_cast<long long>(*blocks[last].length + kBlockCrcBytes) * kCellsPerByte;
        }
        if (from && to && *to > *from && *from >= 0)
            stretch.cells =
                CellSpan{static_cast<std::size_t>(*from), static_cast<std::size_t>(*to)};
        stretches.push_back(stretch);
        n = last;
    }
    return stretches;
}

// Whether a read goes on past the side's last block, to its end or to its
// next pass, further than the next block would begin behind it: a read that
// stops right after it may have missed files past the announced ones.
bool EndSeen(const RescueMedium& medium, const SideRescue& rescue, const MatchedBlock* last,
             const RescuedBlock& rescued) {
    const std::vector<ReadPass>& passes = rescue.passes;
    for (std::size_t p = 0; p < passes.size(); ++p) {
        if (!last->copies[p]) continue;
        const auto read = static_cast<std::size_t>(passes[p].read);
        const FoundBlock& block = passes[p].blocks[*last->copies[p]];
        // As long as the side's last block is, not as a damaged copy was found.
        const std::size_t length = rescued.length.value_or(block.length);
        const std::size_t end = block.place.Cell() + (length + kBlockCrcBytes) * kCellsPerByte;
        std::size_t goes = rescue.reads[read].cells;
        if (p + 1 < passes.size() && passes[p + 1].read == passes[p].read)
            goes = passes[p + 1].blocks.empty() ? passes[p + 1].cells.end
                                                : passes[p + 1].blocks.front().place.Cell();
        const auto near = static_cast<std::size_t>(NearCells(rescue.reads[read], medium.nearcells));
        if (goes > end + near) return true;
    }
    return false;
}

// A header and its data missing for each file number that the sure
// headers skip, where it lay: a file no read holds a trace of. Among the
// announced files a skip is one only where the side lacks at least as many,
// as they may be numbered freely; past them, or with no count known, any
// skip is.
void AddSkippedFiles(const RescueMedium& medium, std::vector<RescuedBlock>& blocks,
                     std::vector<const MatchedBlock*>& matched) {
    std::vector<std::size_t> headers;  // where each lies in blocks
    std::vector<int> numbers;          // -1 where not sure
    for (std::size_t n = 0; n < blocks.size(); ++n) {
        if (blocks[n].role != BlockRole::kHeader) continue;
        headers.push_back(n);
        numbers.push_back(IsSure(blocks[n].status) ? medium.number(blocks[n]) : -1);
    }
    std::vector<int> missing(headers.size(), 0);  // files lost in front of each
    std::size_t judged = 0;                       // headers the count rule judged
    int next = 0;                                 // the number the next header should have
    if (const std::optional<std::size_t> announced = medium.announced(blocks)) {
        while (judged < headers.size() && headers[judged] < *announced) ++judged;
        const std::size_t lacking = (*announced - std::min(*announced, blocks.size()) + 1) / 2;
        const std::vector<int> within(numbers.begin(),
                                      numbers.begin() + static_cast<std::ptrdiff_t>(judged));
        for (const SkippedFiles& skipped :
             SkippedFileNumbers(within, static_cast<int>(judged + lacking)))
            missing[skipped.at] = skipped.next - skipped.first;
        for (const int number : within) next = number < 0 ? next + 1 : std::max(next, number + 1);
    }
    for (std::size_t h = judged; h < headers.size(); ++h) {
        if (numbers[h] < 0) {
            ++next;
            continue;
        }
        if (numbers[h] > next) missing[h] = numbers[h] - next;
        next = std::max(next, numbers[h] + 1);
    }
    for (std::size_t h = headers.size(); h-- > 0;) {
        const auto at = static_cast<std::ptrdiff_t>(headers[h]);
        for (int file = 0; file < missing[h]; ++file) {
            blocks.insert(
                blocks.begin() + at,
                {RescuedBlock::Missing(BlockRole::kHeader, medium.CodeOf(BlockRole::kHeader)),
                 RescuedBlock::Missing(BlockRole::kData, medium.CodeOf(BlockRole::kData))});
            matched.insert(matched.begin() + at, 2, nullptr);
        }
    }
}

// The side in its order, each block judged, and what makes it whole.
void Assemble(const RescueMedium& medium, const std::vector<const DataPlanes*>& planes,
              SideRescue& rescue) {
    const std::vector<Slot> slots = Order(medium, rescue).Slots();
    std::vector<const MatchedBlock*> matched;
    for (const Slot& slot : slots) {
        RescuedBlock block = RescuedBlock::Missing(slot.role, medium.CodeOf(slot.role));
        if (slot.matched != nullptr) {
            const RescuedBlock* header = slot.header ? &rescue.blocks[*slot.header] : nullptr;
            block = medium.judge(*slot.matched, CopiesOf(*slot.matched, rescue, planes), header,
                                 slot.seen);
            block.leadcell = slot.matched->cell;
        }
        rescue.blocks.push_back(std::move(block));
        matched.push_back(slot.matched);
    }
    if (medium.number != nullptr) AddSkippedFiles(medium, rescue.blocks, matched);
    rescue.announced = medium.announced(rescue.blocks);
    // Files announced that no read holds a trace of.
    while (rescue.announced && rescue.blocks.size() < *rescue.announced) {
        const BlockRole role =
            rescue.blocks.back().role == BlockRole::kHeader ? BlockRole::kData : BlockRole::kHeader;
        rescue.blocks.push_back(RescuedBlock::Missing(role, medium.CodeOf(role)));
        matched.push_back(nullptr);
    }
    FirstReadCells(matched, rescue);
    rescue.misplaced = Misplaced(medium, rescue.blocks);
    rescue.reread = Reread(rescue.blocks);
    // The last block found: blocks missing after it leave the side incomplete anyway.
    std::size_t last = matched.size();
    while (last > 0 && matched[last - 1] == nullptr) --last;
    rescue.endunseen = medium.filecount && last > 0 &&
                       !EndSeen(medium, rescue, matched[last - 1], rescue.blocks[last - 1]);
    rescue.complete = rescue.announced && rescue.blocks.size() >= *rescue.announced &&
                      rescue.reread.empty() && rescue.misplaced.empty() && !rescue.endunseen;
}

}  // namespace

SideRescue RescueSide(const RescueMedium& medium, const std::vector<const DataPlanes*>& planes,
                      std::vector<ReadScan> scans, const RescueOptions& options) {
    SideRescue rescue;
    rescue.reads = std::move(scans);
    for (std::size_t r = 0; r < rescue.reads.size(); ++r) {
        for (ReadPass& pass : SplitPasses(rescue.reads[r], static_cast<int>(r)))
            rescue.passes.push_back(std::move(pass));
    }
    if (!OneSide(GroupsByOpening(rescue.passes), rescue, options.sideof)) return rescue;
    const std::optional<std::size_t> lead =
        options.sideof ? BestPassOf(rescue.passes, *options.sideof) : std::nullopt;
    rescue.matching = MatchPasses(rescue.passes, lead, kMatchCells);
    // Passes whose good blocks contradict the lead's hold another side.
    for (std::vector<std::size_t> contrary = Contrary(rescue); !contrary.empty();
         contrary = Contrary(rescue)) {
        if (!options.sideof) {
            rescue.sides = {UsedBesides(rescue, contrary), contrary};
            return rescue;
        }
        for (std::size_t p : OtherThanTheLead(rescue, planes, contrary))
            rescue.passes[p].fate = PassFate::kOtherSide;
        for (ReadPass& pass : rescue.passes)
            if (pass.fate == PassFate::kUnplaced) pass.fate = PassFate::kUsed;
        rescue.matching = MatchPasses(rescue.passes, lead, kMatchCells);
    }
    if (!rescue.matching.blocks.empty() || rescue.passes.empty()) Assemble(medium, planes, rescue);
    return rescue;
}

std::optional<RetimedScan> Retimed(const RescueMedium& medium, const std::vector<std::uint8_t>& raw,
                                   const ReadScan& scan) {
    const auto good = [](const ReadScan& s) {
        std::vector<Fingerprint> prints;
        for (const FoundBlock& block : s.blocks)
            if (block.status == BlockStatus::kGood) prints.push_back(block.print);
        std::sort(prints.begin(), prints.end());
        return prints;
    };
    const std::vector<Fingerprint> before = good(scan);
    if (before.size() == scan.blocks.size()) return std::nullopt;
    std::optional<std::vector<std::uint8_t>> retimed = RetimedRead(raw);
    if (!retimed) return std::nullopt;
    RetimedScan result{std::move(*retimed), {}};
    result.scan = medium.scan(DataPlanes(result.raw));
    result.scan.retimed = true;
    // Never a good block given up for others.
    const std::vector<Fingerprint> after = good(result.scan);
    if (after.size() <= before.size() ||
        !std::includes(after.begin(), after.end(), before.begin(), before.end()))
        return std::nullopt;
    return result;
}

SideRescue RescueReads(const RescueMedium& medium,
                       const std::vector<const std::vector<std::uint8_t>*>& reads,
                       const RescueOptions& options) {
    std::vector<DataPlanes> planes;
    planes.reserve(reads.size());
    std::vector<const DataPlanes*> of;
    std::vector<ReadScan> scans;
    for (const std::vector<std::uint8_t>* raw : reads) {
        planes.emplace_back(*raw);
        scans.push_back(medium.scan(planes.back()));
        if (std::optional<RetimedScan> retimed = Retimed(medium, *raw, scans.back())) {
            planes.back() = DataPlanes(retimed->raw);
            scans.back() = std::move(retimed->scan);
        }
        of.push_back(&planes.back());
    }
    return RescueSide(medium, of, std::move(scans), options);
}

std::optional<long long> ReadShift(const SideRescue& rescue, std::size_t read) {
    for (std::size_t p = 0; p < rescue.passes.size(); ++p) {
        if (rescue.passes[p].read != static_cast<int>(read) ||
            rescue.passes[p].fate != PassFate::kUsed || p >= rescue.matching.passes.size())
            continue;
        if (rescue.matching.passes[p].offset) return rescue.matching.passes[p].offset;
    }
    return std::nullopt;
}
