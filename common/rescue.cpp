#include "common/rescue.h"

#include <algorithm>

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

bool WholeSide(const std::vector<RescuedBlock>& blocks, std::size_t announced) {
    if (blocks.size() < announced) return false;
    for (std::size_t n = 0; n < blocks.size(); ++n) {
        if (blocks[n].status == BlockStatus::kMissing) return false;
        if (n < announced && !IsSure(blocks[n].status)) return false;
    }
    return true;
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

BlockCopy ReadCopy(const DataPlanes& planes, const BlockPlace& place, std::size_t length,
                   const CrcVariant& checker) {
    BlockCopy copy;
    copy.bytes.resize(length + 2);
    planes.Bytes(place.phase, place.bit, copy.bytes.data(), copy.bytes.size());
    Crc16 crc(checker);
    const std::uint16_t check = crc.Update(copy.bytes.data(), copy.bytes.size(), true);
    // Bytes past the end of the read are no part of a copy.
    const bool inside = place.bit + 8 * (length + 2) <= planes.bits(place.phase);
    copy.good = check == 0 && inside;
    copy.crc = {copy.bytes[length], copy.bytes[length + 1]};
    copy.bytes.resize(length);
    return copy;
}

bool PassesCrc(const DataPlanes& planes, const BlockPlace& place, std::size_t length,
               const CrcVariant& checker) {
    constexpr std::size_t kChunk = 256;
    if (place.bit + 8 * (length + 2) > planes.bits(place.phase)) return false;
    std::uint8_t chunk[kChunk];
    Crc16 crc(checker);
    for (std::size_t done = 0; done < length + 2;) {
        const std::size_t n = std::min(kChunk, length + 2 - done);
        planes.Bytes(place.phase, place.bit + 8 * done, chunk, n);
        crc.Update(chunk, n, done == 0);
        done += n;
    }
    return crc.crc == 0;
}

std::optional<std::size_t> EndByCrc(const DataPlanes& planes, const BlockPlace& place,
                                    std::size_t from, std::size_t most, std::size_t quiet,
                                    const CrcVariant& checker) {
    const std::size_t bits = planes.bits(place.phase);
    if (place.bit >= bits) return std::nullopt;
    const std::size_t available = (bits - place.bit) / 8;
    const std::size_t count = std::min(most + 2 + quiet, available);
    std::vector<std::uint8_t> bytes(count);
    planes.Bytes(place.phase, place.bit, bytes.data(), count);
    Crc16 crc(checker);
    crc.CRC_check(bytes.empty() ? 0 : bytes[0], true);
    for (std::size_t n = 1; n < count; ++n) {
        crc.CRC_check(bytes[n], false);
        // n + 1 bytes fed: a block of n - 1 bytes and its two CRC bytes.
        if (crc.crc != 0 || n + 1 < from + 2) continue;
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
    std::vector<std::uint8_t> bytes(length + 2);
    planes.Bytes(place.phase, place.bit, bytes.data(), bytes.size());
    if (std::all_of(bytes.begin() + 1, bytes.end(), [](std::uint8_t b) { return b == 0; }))
        return false;
    return planes.ClockErrors(place.phase, place.bit, std::min(length + 2, kLooked)) <=
           kFlipsAllowed;
}

Matching MatchReads(const std::vector<ReadScan>& reads, long long tolerance) {
    Matching matching;
    const std::size_t count = reads.size();
    matching.offsets.assign(count, std::nullopt);
    if (count == 0) return matching;
    const auto good = [](const ReadScan& read) {
        return std::count_if(read.blocks.begin(), read.blocks.end(),
                             [](const FoundBlock& b) { return b.status == BlockStatus::kGood; });
    };
    for (std::size_t r = 1; r < count; ++r) {
        if (good(reads[r]) > good(reads[static_cast<std::size_t>(matching.lead)]))
            matching.lead = static_cast<int>(r);
    }
    const auto lead = static_cast<std::size_t>(matching.lead);
    matching.offsets[lead] = 0;
    for (const FoundBlock& block : reads[lead].blocks) {
        MatchedBlock matched{block.kind, static_cast<long long>(block.place.Cell()), {}, {}, {}};
        matched.places.assign(count, std::nullopt);
        matched.found.assign(count, BlockStatus::kMissing);
        matched.lengths.assign(count, 0);
        matched.places[lead] = block.place;
        matched.found[lead] = block.status;
        matched.lengths[lead] = block.length;
        matching.blocks.push_back(std::move(matched));
    }
    for (std::size_t r = 0; r < count; ++r) {
        if (r == lead) continue;
        std::optional<long long> offset;
        // The first block of a kind both hold, where the lead is sure, sets
        // the offset; each match then follows the read's drift.
        for (const FoundBlock& block : reads[r].blocks) {
            const long long cell = static_cast<long long>(block.place.Cell());
            MatchedBlock* near = nullptr;
            if (offset) {
                for (MatchedBlock& matched : matching.blocks) {
                    const long long distance = std::llabs(matched.cell - (cell - *offset));
                    if (matched.kind == block.kind && distance <= tolerance && !matched.places[r] &&
                        (near == nullptr || distance < std::llabs(near->cell - (cell - *offset))))
                        near = &matched;
                }
            } else {
                for (MatchedBlock& matched : matching.blocks) {
                    if (matched.kind == block.kind) {
                        near = &matched;
                        break;
                    }
                }
            }
            if (near != nullptr) {
                near->places[r] = block.place;
                near->found[r] = block.status;
                near->lengths[r] = block.length;
                offset = cell - near->cell;
                if (!matching.offsets[r]) matching.offsets[r] = offset;
                continue;
            }
            if (!offset) continue;  // nothing to place it by yet
            MatchedBlock added{block.kind, cell - *offset, {}, {}, {}};
            added.places.assign(count, std::nullopt);
            added.found.assign(count, BlockStatus::kMissing);
            added.lengths.assign(count, 0);
            added.places[r] = block.place;
            added.found[r] = block.status;
            added.lengths[r] = block.length;
            const auto at = std::upper_bound(
                matching.blocks.begin(), matching.blocks.end(), added.cell,
                [](long long value, const MatchedBlock& b) { return value < b.cell; });
            matching.blocks.insert(at, std::move(added));
        }
    }
    return matching;
}

namespace {

// Where a copy's next data bits lie: a cell of its read, the first of a pair.
BlockPlace AtCell(long long cell) {
    const auto at = static_cast<std::size_t>(std::max(0LL, cell));
    return {static_cast<int>(at % 2), at / 2};
}

int Differ(std::uint32_t a, std::uint32_t b) {
    int bits = 0;
    for (std::uint32_t x = a ^ b; x != 0; x &= x - 1) ++bits;
    return bits;
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
std::vector<std::uint8_t> Vote(const std::vector<const DataPlanes*>& planes,
                               const std::vector<std::optional<BlockPlace>>& places,
                               std::size_t n) {
    constexpr std::size_t kChunk = 4;  // bytes
    constexpr int kOutOfStep = 8;      // bits of 32 that differ
    constexpr int kInStep = 2;
    struct Follow {
        const DataPlanes* planes;
        long long cell;
    };
    std::vector<Follow> copies;
    for (std::size_t r = 0; r < places.size(); ++r) {
        if (places[r]) copies.push_back({planes[r], static_cast<long long>(places[r]->Cell())});
    }
    const auto word = [](const Follow& copy, long long cell) {
        const BlockPlace at = AtCell(cell);
        std::uint8_t bytes[kChunk];
        copy.planes->Bytes(at.phase, at.bit, bytes, kChunk);
        return Le32(bytes);
    };
    std::vector<std::uint8_t> vote(n + kChunk, 0);
    std::vector<std::uint32_t> words(copies.size());
    for (std::size_t at = 0; at < n; at += kChunk) {
        const long long offset = static_cast<long long>(at) * 16;
        for (std::size_t c = 0; c < copies.size(); ++c)
            words[c] = word(copies[c], copies[c].cell + offset);
        const std::uint32_t most = Majority(words);
        for (std::size_t c = 0; c < copies.size(); ++c) {
            if (Differ(words[c], most) <= kOutOfStep) continue;
            for (long long shift : {-1LL, 1LL, -2LL, 2LL}) {
                const std::uint32_t moved = word(copies[c], copies[c].cell + offset + shift);
                if (Differ(moved, most) > kInStep) continue;
                copies[c].cell += shift;
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

}  // namespace

// A copy already found good: its bytes alone.
BlockCopy KnownCopy(const DataPlanes& planes, const BlockPlace& place, std::size_t length) {
    BlockCopy copy{std::vector<std::uint8_t>(length + 2), {}, true};
    planes.Bytes(place.phase, place.bit, copy.bytes.data(), copy.bytes.size());
    copy.crc = {copy.bytes[length], copy.bytes[length + 1]};
    copy.bytes.resize(length);
    return copy;
}

Verdict JudgeCopies(const std::vector<const DataPlanes*>& planes, const MatchedBlock& matched,
                    std::size_t length, const CrcVariant& checker) {
    const std::vector<std::optional<BlockPlace>>& places = matched.places;
    Verdict verdict{BlockStatus::kMissing, {}, {}, {}};
    std::vector<BlockCopy> copies;
    for (std::size_t r = 0; r < places.size(); ++r) {
        if (!places[r]) continue;
        const bool known = matched.found[r] == BlockStatus::kGood && matched.lengths[r] == length;
        copies.push_back(known ? KnownCopy(*planes[r], *places[r], length)
                               : ReadCopy(*planes[r], *places[r], length, checker));
        if (!copies.back().good) continue;
        verdict.goodin.push_back(static_cast<int>(r));
        if (verdict.status == BlockStatus::kMissing) {
            verdict.status = BlockStatus::kGood;
            verdict.bytes = copies.back().bytes;
            verdict.crc = copies.back().crc;
        } else if (copies.back().bytes != verdict.bytes) {
            verdict.status = BlockStatus::kConflict;
        }
    }
    if (copies.empty() || !verdict.goodin.empty()) return verdict;
    // No copy holds: each data bit as most copies have it.
    if (copies.size() >= 3) {
        std::vector<std::uint8_t> vote = Vote(planes, places, length + 2);
        Crc16 crc(checker);
        if (crc.Update(vote.data(), vote.size(), true) == 0) {
            const std::array<std::uint8_t, 2> stored{vote[length], vote[length + 1]};
            vote.resize(length);
            return {BlockStatus::kVoted, {}, vote, stored};
        }
    }
    // The copy nearest the others (with two, the first).
    std::size_t best = 0;
    std::size_t fewest = SIZE_MAX;
    for (std::size_t c = 0; c < copies.size(); ++c) {
        std::size_t differ = 0;
        for (const BlockCopy& other : copies) {
            for (std::size_t i = 0; i < length; ++i)
                differ += copies[c].bytes[i] != other.bytes[i] ? 1 : 0;
        }
        if (differ < fewest) {
            fewest = differ;
            best = c;
        }
    }
    return {BlockStatus::kBad, {}, copies[best].bytes, copies[best].crc};
}

std::optional<long long> FirstReadCell(const Matching& matching, long long leadcell) {
    if (leadcell < 0 || matching.offsets.empty() || !matching.offsets[0]) return std::nullopt;
    return leadcell + *matching.offsets[0];
}

ScannedReads ScanAndMatch(
    const std::vector<const std::vector<std::uint8_t>*>& reads,
    const std::function<ReadScan(const std::vector<std::uint8_t>&, const DataPlanes&)>& scan,
    long long tolerance, SideRescue& rescue) {
    ScannedReads scanned;
    scanned.planes.reserve(reads.size());
    for (const std::vector<std::uint8_t>* raw : reads) {
        scanned.planes.emplace_back(*raw);
        scanned.of.push_back(&scanned.planes.back());
        rescue.reads.push_back(scan(*raw, scanned.planes.back()));
    }
    rescue.matching = MatchReads(rescue.reads, tolerance);
    return scanned;
}
