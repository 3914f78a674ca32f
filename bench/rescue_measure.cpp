// What the tolerant readers get back from reads damaged as real reads are,
// beside what the exact decoders (Omblisk's and Pelgrane's) get back from
// the same reads. Prints the table of the README.
//   rescue_measure [READS]   READS damaged reads per case and medium (400)
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "common/bitstream.h"
#include "common/crc16.h"
#include "fds/fds_format.h"
#include "fds/side_decoder.h"
#include "fds/side_encoder.h"
#include "fds/side_rescue.h"
#include "qd/qd_layout.h"
#include "qd/side_decoder.h"
#include "qd/side_encoder.h"
#include "qd/side_rescue.h"
#include "samples/faults.h"
#include "samples/imagegen.h"

namespace {

enum class Medium { kFds, kQd };

struct Side {
    Medium medium;
    ByteVector raw;
    std::vector<ByteVector> blocks;  // every block's bytes, without its CRC, in order
    std::vector<Touched> spans;      // each block's cells, its start mark or ID mark on
    std::vector<Touched> gaps;       // the cells between them
};

SideRescue Rescue(Medium medium, const std::vector<const ByteVector*>& reads) {
    return medium == Medium::kFds ? RescueFdsSide(reads) : RescueQdSide(reads);
}

Side Describe(Medium medium, ByteVector raw) {
    Side side{medium, std::move(raw), {}, {}, {}};
    const SideRescue clean = Rescue(medium, {&side.raw});
    if (!clean.complete) {
        std::fprintf(stderr, "a clean side does not read back\n");
        std::exit(1);
    }
    std::size_t end = 0;
    for (const RescuedBlock& block : clean.blocks) {
        side.blocks.push_back(block.bytes);
        const std::size_t cell = static_cast<std::size_t>(*block.cell);
        const std::size_t first = medium == Medium::kFds ? cell - kCellsPerByte : cell;
        side.spans.push_back({first, cell + (block.bytes.size() + 2) * kCellsPerByte});
        side.gaps.push_back({end, first});
        end = side.spans.back().end;
    }
    side.gaps.push_back({end, side.raw.size() * 8});
    return side;
}

ByteVector FdsRawOf(const FdsSideContent& content) {
    Crc16 crc(kFdsWriterCrc);
    ByteVector stream;
    BitWriter writer;
    EncodeFdsSide(FdsImage({content}), kFdsHeaderBytes, stream, crc, writer,
                  MissingFiles::kEndSide);
    return writer.bitstreambuffer;
}

ByteVector QdRawOf(const std::vector<MztEntry>& records) {
    Crc16 crc(kQdWriterCrc);
    BitWriter writer;
    EncodeQdSide(MztFile(records), crc, writer);
    return writer.bitstreambuffer;
}

std::vector<Side> Sides() {
    std::vector<Side> sides;
    const std::vector<std::vector<std::size_t>> fds = {
        {1024, 8192, 300, 0}, {100, 200, 300, 400, 500, 600, 700, 800, 900, 1000}, {20000, 20000}};
    std::uint32_t seed = 1;
    for (const auto& sizes : fds) {
        FdsSideContent content;
        for (std::size_t size : sizes) content.files.push_back(Pattern(size, seed++));
        sides.push_back(Describe(Medium::kFds, FdsRawOf(content)));
    }
    const std::vector<std::vector<std::size_t>> qd = {
        {4096, 31, 20000}, {300, 300, 300, 300, 300, 300}, {30000, 30000}};
    for (const auto& sizes : qd) {
        std::vector<MztEntry> records;
        for (std::size_t size : sizes) {
            MztEntry entry;
            entry.name = "FILE" + std::to_string(seed);
            entry.body = Pattern(size, seed++);
            records.push_back(entry);
        }
        sides.push_back(Describe(Medium::kQd, QdRawOf(records)));
    }
    return sides;
}

// Random places, in the gaps or anywhere.
std::size_t InGap(const Side& side, std::mt19937& rng, std::size_t room = 0) {
    for (;;) {
        const Touched& gap = side.gaps[rng() % side.gaps.size()];
        if (gap.end <= gap.first + room + 32) continue;
        return gap.first + 16 + rng() % (gap.end - gap.first - room - 32);
    }
}

std::size_t Anywhere(const Side& side, std::mt19937& rng) {
    return rng() % (side.raw.size() * 8);
}

using Faults = std::function<std::vector<Fault>(const Side&, std::mt19937&)>;

struct Case {
    const char* name;
    bool gapsonly;  // damage outside the blocks only: the whole side is to come back
    int reads;      // reads of the side, each damaged on its own
    Faults faults;
};

std::vector<Fault> GapDamage(const Side& side, std::mt19937& rng) {
    std::vector<Fault> faults;
    for (int i = 0; i < 2; ++i) faults.push_back({Fault::kSlip, InGap(side, rng)});
    faults.push_back({Fault::kExtraCell, InGap(side, rng)});
    for (const Touched& gap : side.gaps) {
        for (std::size_t cell = gap.first + 16; cell + 16 < gap.end; cell += 1 + rng() % 2000)
            faults.push_back({Fault::kFlip, cell});
    }
    for (int i = 0; i < 2; ++i) {
        const std::size_t length = 1 + rng() % 64;
        faults.push_back({Fault::kBurst, InGap(side, rng, length), length});
    }
    return faults;
}

std::vector<Fault> InsideDamage(const Side& side, std::mt19937& rng) {
    std::vector<Fault> faults;
    for (int i = 0; i < 2; ++i)
        faults.push_back({rng() % 2 ? Fault::kSlip : Fault::kExtraCell, Anywhere(side, rng)});
    const long every = 50 + static_cast<long>(rng() % 4951);
    faults.push_back(
        {Fault::kDrift, Anywhere(side, rng), 2000 + rng() % 30000, rng() % 2 ? every : -every});
    for (std::size_t cell = rng() % 20000; cell < side.raw.size() * 8; cell += 1 + rng() % 40000)
        faults.push_back({Fault::kFlip, cell});
    for (int i = 0; i < 2; ++i)
        faults.push_back({Fault::kBurst, Anywhere(side, rng), 1 + rng() % 256});
    return faults;
}

std::vector<Fault> WornRead(const Side& side, std::mt19937& rng) {
    std::vector<Fault> faults;
    for (std::size_t cell = rng() % 20000; cell < side.raw.size() * 8; cell += 1 + rng() % 40000)
        faults.push_back({Fault::kFlip, cell});
    for (int i = 0; i < 2; ++i)
        faults.push_back({Fault::kBurst, Anywhere(side, rng), 1 + rng() % 64});
    faults.push_back({rng() % 2 ? Fault::kSlip : Fault::kExtraCell, Anywhere(side, rng)});
    return faults;
}

// Blocks whose bytes came back from a decoder, counted against the side's.
std::size_t Matching(const Side& side, std::vector<ByteVector> got) {
    std::size_t found = 0;
    for (const ByteVector& block : side.blocks) {
        const auto at = std::find(got.begin(), got.end(), block);
        if (at == got.end()) continue;
        ++found;
        got.erase(at);
    }
    return found;
}

// The blocks the exact decoder reads with a good CRC.
struct FdsBlocks : FdsDecodeEvents {
    std::vector<FdsBlockSeen> seen;
    void Block(const FdsBlockSeen& block) override { seen.push_back(block); }
};

std::vector<ByteVector> FdsDecoded(const ByteVector& raw) {
    FdsBlocks events;
    ByteVector image;
    Crc16 crc(kFdsCheckerCrc);
    DecodeFdsSide(raw, image, crc, events);
    std::vector<ByteVector> blocks;
    for (const FdsBlockSeen& block : events.seen) {
        if (block.check != 0 || block.offset + block.length > image.size()) continue;
        const auto from = image.begin() + static_cast<std::ptrdiff_t>(block.offset);
        blocks.emplace_back(from, from + block.length);
    }
    return blocks;
}

struct QdBlocks : QdDecodeSink {
    ByteVector stream;
    std::vector<ByteVector> good;
    void Block(const QdBlockSeen& block) override {
        const std::size_t bytes = block.type < 0 ? 4 : 4 + static_cast<std::size_t>(block.size) + 2;
        if (block.check != 0 || stream.size() < bytes) return;
        good.emplace_back(stream.end() - static_cast<std::ptrdiff_t>(bytes), stream.end() - 2);
    }
    void ImageByte(std::uint8_t byte) override { stream.push_back(byte); }
    bool DataByte(std::uint8_t, int) override { return true; }
    bool Information(const InfoRecord&, int) override { return true; }
};

std::vector<ByteVector> QdDecoded(const ByteVector& raw) {
    QdBlocks sink;
    QdReader qd(raw);
    Crc16 crc(kQdCheckerCrc);
    DecodeQdSide(qd, crc, sink);
    return sink.good;
}

struct Tally {
    long reads = 0, whole = 0, classicwhole = 0;
    long blocks = 0, intact = 0, back = 0, all = 0, classicback = 0, sure = 0;
    long wrong = 0, falsecomplete = 0;
};

bool Untouched(const Touched& span, const std::vector<Touched>& touched) {
    return std::none_of(touched.begin(), touched.end(),
                        [&](const Touched& t) { return t.first < span.end && span.first < t.end; });
}

void Measure(const Case& c, const Side& side, std::mt19937& rng, Tally& tally) {
    std::vector<DamagedRead> damaged;
    for (int r = 0; r < c.reads; ++r) damaged.push_back(Damage(side.raw, c.faults(side, rng), rng));
    std::vector<const ByteVector*> reads;
    for (const DamagedRead& read : damaged) reads.push_back(&read.raw);
    const SideRescue rescue = Rescue(side.medium, reads);
    // Each sure block is the next of the side's blocks with its bytes, or wrong.
    const std::size_t n = side.blocks.size();
    std::vector<bool> back(n, false);
    std::size_t next = 0;
    for (const RescuedBlock& block : rescue.blocks) {
        if (!IsSure(block.status)) continue;
        ++tally.sure;
        std::size_t k = next;
        while (k < n && side.blocks[k] != block.bytes) ++k;
        if (k == n) {
            ++tally.wrong;
            continue;
        }
        back[k] = true;
        next = k + 1;
    }
    const auto found = static_cast<std::size_t>(std::count(back.begin(), back.end(), true));
    if (rescue.complete && found != n) ++tally.falsecomplete;
    tally.reads += 1;
    tally.whole += found == n && rescue.complete;
    tally.blocks += static_cast<long>(n);
    std::vector<ByteVector> classic;
    for (const ByteVector* read : reads) {
        const std::vector<ByteVector> got =
            side.medium == Medium::kFds ? FdsDecoded(*read) : QdDecoded(*read);
        classic.insert(classic.end(), got.begin(), got.end());
    }
    const std::size_t classicback = Matching(side, classic);
    tally.classicwhole += classicback == n && c.reads == 1;
    tally.classicback += static_cast<long>(classicback);
    tally.all += static_cast<long>(found);
    // Intact: untouched in the one read there is; of several reads, all
    // count. A file data block takes its size from its header alone, so it
    // is intact only with its header.
    for (std::size_t i = 0; i < n; ++i) {
        const bool data = side.medium == Medium::kFds && side.blocks[i][0] == kFdsFileDataBlock;
        if (c.reads == 1 && (!Untouched(side.spans[i], damaged[0].touched) ||
                             (data && !Untouched(side.spans[i - 1], damaged[0].touched))))
            continue;
        ++tally.intact;
        tally.back += back[i] ? 1 : 0;
    }
}

std::string Percent(long part, long whole) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2f%%", whole == 0 ? 0.0 : 100.0 * part / whole);
    return text;
}

}  // namespace

int main(int argc, char** argv) {
    const int count = argc > 1 ? std::atoi(argv[1]) : 400;
    const std::vector<Side> sides = Sides();
    const std::vector<Case> cases = {
        {"slips, flips (1 in 1000) and bursts in gaps and sync runs", true, 1, GapDamage},
        {"noise of up to 100000 cells before the side", true, 1,
         [](const Side&, std::mt19937& rng) {
             return std::vector<Fault>{{Fault::kNoiseBefore, 0, rng() % 100001}};
         }},
        {"a start up to 60000 cells late", true, 1,
         [](const Side&, std::mt19937& rng) {
             return std::vector<Fault>{{Fault::kLateStart, 0, rng() % 60001}};
         }},
        {"slips, drift, flips and bursts anywhere", false, 1, InsideDamage},
        {"five reads, each with flips (1 in 20000), two bursts and a slip", false, 5, WornRead},
    };
    std::printf(
        "| Damage | Medium | Reads | Whole side back | Intact blocks back | All blocks back "
        "| Omblisk/Pelgrane: whole side, blocks | Good or voted with wrong bytes | Complete "
        "with a block missing |\n|---|---|---|---|---|---|---|---|---|\n");
    std::mt19937 rng(20261208);
    for (const Case& c : cases) {
        for (Medium medium : {Medium::kFds, Medium::kQd}) {
            Tally tally;
            for (int i = 0; i < count; ++i) {
                const auto& candidates = sides;
                std::vector<const Side*> ofmedium;
                for (const Side& side : candidates)
                    if (side.medium == medium) ofmedium.push_back(&side);
                Measure(c, *ofmedium[static_cast<std::size_t>(i) % ofmedium.size()], rng, tally);
            }
            std::printf("| %s | %s | %ld | %s | %s | %s | %s, %s | %ld | %ld |\n", c.name,
                        medium == Medium::kFds ? "FDS" : "QD", tally.reads,
                        Percent(tally.whole, tally.reads).c_str(),
                        Percent(tally.back, tally.intact).c_str(),
                        Percent(tally.all, tally.blocks).c_str(),
                        Percent(tally.classicwhole, tally.reads).c_str(),
                        Percent(tally.classicback, tally.blocks * c.reads).c_str(), tally.wrong,
                        tally.falsecomplete);
            std::fflush(stdout);
        }
    }
    return 0;
}
