// What the tolerant readers get back from reads damaged as real reads are,
// beside what the exact decoders (Omblisk's and Pelgrane's) get back from
// the same reads, and what the rescue costs. Prints the table of the README.
//   rescue_measure [READS [TEXT]]   READS damaged reads (or sets) per case and medium
//                                   (400); only the cases whose name holds TEXT
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <future>
#include <iterator>
#include <map>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "common/bitstream.h"
#include "common/crc16.h"
#include "fds/capture.h"
#include "fds/fds_layout.h"
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
    std::vector<BlockRole> roles;    // every block's role, as the rescue tells it
    std::vector<Touched> spans;      // each block's cells, its start mark or ID mark on
    std::vector<Touched> gaps;       // the cells between them
    ByteVector alike;                // another side that opens alike: as many files, other bytes
};

SideRescue Rescue(Medium medium, const std::vector<const ByteVector*>& reads,
                  const RescueOptions& options = {}) {
    return medium == Medium::kFds ? RescueFdsSide(reads, options) : RescueQdSide(reads, options);
}

Side Describe(Medium medium, ByteVector raw) {
    Side side{medium, std::move(raw), {}, {}, {}, {}, {}};
    const SideRescue clean = Rescue(medium, {&side.raw});
    if (!clean.complete) {
        std::fprintf(stderr, "a clean side does not read back\n");
        std::exit(1);
    }
    std::size_t end = 0;
    for (const RescuedBlock& block : clean.blocks) {
        side.blocks.push_back(block.bytes);
        side.roles.push_back(block.role);
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
    constexpr std::uint32_t kAlike = 1000;  // seeds apart
    const auto fdsraw = [](const std::vector<std::size_t>& sizes, std::uint32_t first) {
        FdsSideContent content;
        for (std::size_t size : sizes) content.files.push_back(Pattern(size, first++));
        return FdsRawOf(content);
    };
    for (const auto& sizes : fds) {
        sides.push_back(Describe(Medium::kFds, fdsraw(sizes, seed)));
        sides.back().alike = fdsraw(sizes, seed + kAlike);
        seed += static_cast<std::uint32_t>(sizes.size());
    }
    const std::vector<std::vector<std::size_t>> qd = {
        {4096, 31, 20000}, {300, 300, 300, 300, 300, 300}, {30000, 30000}};
    const auto qdraw = [](const std::vector<std::size_t>& sizes, std::uint32_t first) {
        std::vector<MztEntry> records;
        for (std::size_t size : sizes) {
            MztEntry entry;
            entry.name = "FILE" + std::to_string(first);
            entry.body = Pattern(size, first++);
            records.push_back(entry);
        }
        return QdRawOf(records);
    };
    for (const auto& sizes : qd) {
        sides.push_back(Describe(Medium::kQd, qdraw(sizes, seed)));
        sides.back().alike = qdraw(sizes, seed + kAlike);
        seed += static_cast<std::uint32_t>(sizes.size());
    }
    return sides;
}

// Raw sides from the files a list names, one a line (sides made from other
// images than the measure's own): each that reads back whole, beside another
// of its medium that opens alike where there is one, else the next.
std::vector<Side> SidesFrom(const char* list) {
    std::vector<Side> sides;
    std::ifstream names(list);
    for (std::string name; std::getline(names, name);) {
        std::ifstream file(name, std::ios::binary);
        ByteVector raw{std::istreambuf_iterator<char>(file), {}};
        for (Medium medium : {Medium::kFds, Medium::kQd}) {
            if (!Rescue(medium, {&raw}).complete) continue;
            sides.push_back(Describe(medium, std::move(raw)));
            break;
        }
    }
    const auto opening = [](const Side& side) {
        return side.medium == Medium::kFds
                   ? ByteVector(side.blocks[0].begin(), side.blocks[0].end())
                   : side.blocks[0];
    };
    for (std::size_t i = 0; i < sides.size(); ++i) {
        std::optional<std::size_t> alike, next;
        for (std::size_t k = 1; k < sides.size(); ++k) {
            const std::size_t j = (i + k) % sides.size();
            if (sides[j].medium != sides[i].medium || sides[j].raw == sides[i].raw) continue;
            if (!next) next = j;
            if (!alike && opening(sides[j]) == opening(sides[i]) &&
                sides[j].blocks.size() == sides[i].blocks.size())
                alike = j;
        }
        if (alike || next) sides[i].alike = sides[alike ? *alike : *next].raw;
    }
    sides.erase(std::remove_if(sides.begin(), sides.end(),
                               [](const Side& side) { return side.alike.empty(); }),
                sides.end());
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

// The reads a case hands the rescue; and which of them, if one, is a clean
// read of the side, whose rescue alone the set's must not fall below.
struct ReadSet {
    std::vector<DamagedRead> reads;
    std::optional<std::size_t> clean;
    std::optional<int> sideof;  // a read of the side, named as --side-of names it
};

// A set of reads of a side; `other` is another side of the same medium.
using MakeSet = std::function<ReadSet(const Side& side, const Side& other, std::mt19937&)>;

struct Case {
    const char* name;
    bool fdsonly;  // captures: the dumper reads FDS sides only
    MakeSet make;
};

// n reads of the side, each damaged on its own.
MakeSet Each(int n, Faults faults) {
    return [=](const Side& side, const Side&, std::mt19937& rng) {
        ReadSet set;
        for (int r = 0; r < n; ++r) set.reads.push_back(Damage(side.raw, faults(side, rng), rng));
        return set;
    };
}

// A clean read and one damaged so, in either order.
MakeSet BesideClean(Faults faults) {
    return [=](const Side& side, const Side&, std::mt19937& rng) {
        ReadSet set;
        set.reads.push_back(Damage(side.raw, faults(side, rng), rng));
        const std::size_t at = rng() % 2;
        set.reads.insert(set.reads.begin() + static_cast<std::ptrdiff_t>(at),
                         DamagedRead{side.raw, {}});
        set.clean = at;
        return set;
    };
}

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
std::vector<ByteVector> FdsDecoded(const ByteVector& raw) {
    const FdsSideRead read = ReadFdsSide(raw);
    std::vector<ByteVector> blocks;
    for (const BlockSeen& block : read.blocks) {
        if (block.check != 0 || block.offset + block.length > read.image.size()) continue;
        const auto from = read.image.begin() + static_cast<std::ptrdiff_t>(block.offset);
        blocks.emplace_back(from, from + static_cast<std::ptrdiff_t>(block.length));
    }
    return blocks;
}

std::vector<ByteVector> QdDecoded(const ByteVector& raw) {
    const QdSideRead read = ReadQdSide(raw, QdReadFiles::kImage);
    std::vector<ByteVector> blocks;
    for (std::size_t n = 0; n < read.blocks.size(); ++n) {
        if (read.blocks[n].check != 0) continue;
        const ByteVector bytes = QdBlockBytes(read, n);
        blocks.emplace_back(bytes.begin(), bytes.end() - kQdCrcBytes);
    }
    return blocks;
}

// A drive a few percent off speed, wobbling with the disk's turn, reading
// a worn disk whose transitions lean towards their neighbours.
CaptureFaults WornDrive(std::mt19937& rng) {
    std::uniform_real_distribution<double> share(0, 1);
    CaptureFaults drive;
    drive.speed = (rng() % 2 ? 1 : -1) * (0.03 + 0.02 * share(rng));
    drive.wobble = 0.01 + 0.02 * share(rng);
    drive.jitter = 2 + 2 * share(rng);
    drive.shifted = 0.1 + 0.2 * share(rng);
    drive.leastshift = 2;
    drive.mostshift = 6;
    drive.wear = static_cast<std::uint32_t>(rng() | 1u);
    return drive;
}

// Stretches of a capture its cells do not make, drawn anew for each.
using Moments = std::function<std::vector<CaptureMoment>(const Side&, std::mt19937&)>;

// n captures of the side by one worn drive, read as qdkit reads them: a
// file the kit does not take for a capture gives the rescue nothing.
MakeSet Captures(int n, Moments moments = nullptr) {
    return [=](const Side& side, const Side&, std::mt19937& rng) {
        CaptureFaults drive = WornDrive(rng);
        ReadSet set;
        for (int r = 0; r < n; ++r) {
            if (moments) drive.moments = moments(side, rng);
            const std::optional<FdsCapture> capture =
                ReadFdsCapture(TickCapture(side.raw, drive, rng));
            set.reads.push_back(
                {capture ? capture->raw : ByteVector{}, {{0, side.raw.size() * 8}}});
        }
        return set;
    };
}

// A dropout (silent, or noise where the drive's gain rises) and a moment
// of a slipping motor.
std::vector<CaptureMoment> DropoutAndSlip(const Side& side, std::mt19937& rng) {
    const auto dropout = rng() % 2 ? CaptureMoment::kSilent : CaptureMoment::kGainNoise;
    const std::size_t dropped = 50 + rng() % 1951;
    const std::size_t slow = 2000 + rng() % 18001;
    return {{dropout, Anywhere(side, rng), dropped},
            {CaptureMoment::kSlow, Anywhere(side, rng), slow,
             0.05 + 0.05 * std::uniform_real_distribution<double>(0, 1)(rng)}};
}

// Five worn reads with one weak stretch of the disk, misread in each.
ReadSet SameWeakStretch(const Side& side, const Side&, std::mt19937& rng) {
    const Fault weak{Fault::kWeak, Anywhere(side, rng), 500 + rng() % 2501,
                     20 + static_cast<long>(rng() % 381)};
    ReadSet set;
    for (int r = 0; r < 5; ++r) {
        std::vector<Fault> faults = WornRead(side, rng);
        faults.push_back(weak);
        set.reads.push_back(Damage(side.raw, faults, rng));
    }
    return set;
}

bool FileHeader(const Side& side, std::size_t i) {
    return side.roles[i] == BlockRole::kHeader;
}

// Three reads, one file header worn off the disk in all of them.
ReadSet HeaderLost(const Side& side, const Side&, std::mt19937& rng) {
    std::vector<std::size_t> headers;
    for (std::size_t i = 0; i < side.blocks.size(); ++i)
        if (FileHeader(side, i)) headers.push_back(i);
    const Touched& span = side.spans[headers[rng() % headers.size()]];
    ReadSet set;
    for (int r = 0; r < 3; ++r) {
        set.reads.push_back(
            Damage(side.raw, {{Fault::kDropout, span.first, span.end - span.first}}, rng));
    }
    return set;
}

// Three worn reads of the side and a clean one of another, anywhere among them.
ReadSet TwoSidesMixed(const Side& side, const Side& other, std::mt19937& rng) {
    ReadSet set;
    for (int r = 0; r < 3; ++r) set.reads.push_back(Damage(side.raw, WornRead(side, rng), rng));
    const std::size_t at = rng() % 4;
    set.reads.insert(set.reads.begin() + static_cast<std::ptrdiff_t>(at),
                     DamagedRead{other.raw, {}});
    return set;
}

// The same, the side named by one of its reads.
ReadSet TwoSidesNamed(const Side& side, const Side& other, std::mt19937& rng) {
    ReadSet set = TwoSidesMixed(side, other, rng);
    set.sideof = set.reads.front().raw == other.raw ? 1 : 0;
    return set;
}

// The same, the other side one that opens alike: another tape of as many
// records, another disk of the same name and side.
ReadSet AlikeMixed(const Side& side, const Side&, std::mt19937& rng) {
    Side other;
    other.raw = side.alike;
    return TwoSidesMixed(side, other, rng);
}

ReadSet AlikeNamed(const Side& side, const Side&, std::mt19937& rng) {
    Side other;
    other.raw = side.alike;
    return TwoSidesNamed(side, other, rng);
}

std::vector<Fault> GapGlitches(const Side& side, std::mt19937& rng) {
    std::vector<Fault> faults;
    for (int i = 0; i < 2; ++i)
        faults.push_back({Fault::kGlitch, InGap(side, rng), 1 + rng() % 256});
    return faults;
}

// A capture device's transfers of 512 bytes of cells: one lost on the way
// to the host, one delivered twice.
std::vector<Fault> Transfers(const Side& side, std::mt19937& rng) {
    constexpr std::size_t kTransferCells = 512 * 8;
    return {{Fault::kLost, Anywhere(side, rng), kTransferCells},
            {Fault::kRepeated, Anywhere(side, rng), kTransferCells}};
}

// Dust under the head: where a particle lifts it the read holds no flux,
// where one drags it holds noise, in a few short stretches a pass.
std::vector<Fault> Specks(const Side& side, std::mt19937& rng) {
    std::vector<Fault> faults;
    for (int i = 0; i < 4; ++i)
        faults.push_back(
            {rng() % 2 ? Fault::kDropout : Fault::kBurst, Anywhere(side, rng), 50 + rng() % 351});
    return faults;
}

// Noise where the coating is damaged, as a drive's data separator passes
// it on: flux at intervals MFM allows, which reads as bytes, in two places.
std::vector<Fault> SeparatorNoise(const Side& side, std::mt19937& rng) {
    std::vector<Fault> faults;
    for (int i = 0; i < 2; ++i)
        faults.push_back({Fault::kNoise, Anywhere(side, rng), 20 + rng() % 1481});
    return faults;
}

// A moment of another motor speed, as a slipping belt gives it: for a
// stretch the drive's clock lags or leads the cells, one lost or gained
// every few dozen.
std::vector<Fault> Hiccup(const Side& side, std::mt19937& rng) {
    const long every = 10 + static_cast<long>(rng() % 41);
    const std::size_t at = Anywhere(side, rng);
    return {{Fault::kDrift, at, 200 + rng() % 1801, rng() % 2 ? every : -every}};
}

std::vector<Fault> Glitches(const Side& side, std::mt19937& rng) {
    std::vector<Fault> faults;
    for (int i = 0; i < 2; ++i)
        faults.push_back({Fault::kGlitch, Anywhere(side, rng), 1 + rng() % 256});
    return faults;
}

// Past the side's end, the head's way back, then part of the next pass or all of it.
std::vector<Fault> RunOn(const Side& side, std::mt19937& rng) {
    const std::size_t cells = side.raw.size() * 8;
    return {{Fault::kRunOn, 0, 1 + rng() % cells, 0, rng() % 50001}};
}

std::vector<Fault> EarlyStop(const Side& side, std::mt19937& rng) {
    const std::size_t cells = side.raw.size() * 8;
    return {{Fault::kCutShort, 0, cells / 10 + rng() % (cells - cells / 10)}};
}

std::vector<Fault> LateAndEarly(const Side& side, std::mt19937& rng) {
    std::vector<Fault> faults = EarlyStop(side, rng);
    faults.push_back({Fault::kLateStart, 0, rng() % 60001});
    return faults;
}

std::vector<Fault> OtherBitRate(const Side&, std::mt19937& rng) {
    const long every = 200 + static_cast<long>(rng() % 1801);
    return {{Fault::kBitRate, 0, 0, rng() % 2 ? every : -every}};
}

// A reader clocked off the side's rate, on a worn disk; and one whose disk's
// speed wavers for a moment on top of it.
std::vector<Fault> OffRateWorn(const Side& side, std::mt19937& rng) {
    std::vector<Fault> faults = OtherBitRate(side, rng);
    for (const Fault& fault : WornRead(side, rng)) faults.push_back(fault);
    return faults;
}

std::vector<Fault> OffRateHiccup(const Side& side, std::mt19937& rng) {
    std::vector<Fault> faults = OtherBitRate(side, rng);
    for (const Fault& fault : Hiccup(side, rng)) faults.push_back(fault);
    return faults;
}

std::vector<Fault> Dropout(const Side& side, std::mt19937& rng) {
    return {{Fault::kDropout, Anywhere(side, rng), 16 + rng() % 1985}};
}

struct Tally {
    long reads = 0, whole = 0, classicwhole = 0;
    long blocks = 0, intact = 0, back = 0, all = 0, classicback = 0, sure = 0;
    long readblocks = 0;  // the side's blocks once for every read
    long wrong = 0, misplaced = 0, falsecomplete = 0;
    long sets = 0, fewer = 0;  // sets with a clean read; those that gave back less than it alone
    double nanoseconds = 0, rawbytes = 0;
};

bool Untouched(const Touched& span, const std::vector<Touched>& touched) {
    return std::none_of(touched.begin(), touched.end(),
                        [&](const Touched& t) { return t.first < span.end && span.first < t.end; });
}

// What a rescue gave back of the side: each sure block is the next of the
// side's blocks with its bytes; one whose bytes are the side's elsewhere is
// out of place, and one whose bytes the side never had is wrong.
struct Judged {
    std::vector<bool> back;
    std::size_t found = 0;
    long sure = 0, wrong = 0, misplaced = 0;
};

Judged Judge(const Side& side, const SideRescue& rescue) {
    const std::size_t n = side.blocks.size();
    Judged judged;
    judged.back.assign(n, false);
    std::size_t next = 0;
    for (const RescuedBlock& block : rescue.blocks) {
        if (!IsSure(block.status)) continue;
        ++judged.sure;
        std::size_t k = next;
        while (k < n && side.blocks[k] != block.bytes) ++k;
        if (k == n) {
            const bool own =
                std::find(side.blocks.begin(), side.blocks.end(), block.bytes) != side.blocks.end();
            ++(own ? judged.misplaced : judged.wrong);
            continue;
        }
        judged.back[k] = true;
        next = k + 1;
    }
    judged.found =
        static_cast<std::size_t>(std::count(judged.back.begin(), judged.back.end(), true));
    return judged;
}

// The exact decoders' blocks, of every read.
std::size_t ClassicBack(const Side& side, const std::vector<const ByteVector*>& reads) {
    std::vector<ByteVector> classic;
    for (const ByteVector* read : reads) {
        const std::vector<ByteVector> got =
            side.medium == Medium::kFds ? FdsDecoded(*read) : QdDecoded(*read);
        classic.insert(classic.end(), got.begin(), got.end());
    }
    return Matching(side, classic);
}

void Measure(const Case& c, const Side& side, const Side& other, std::mt19937& rng, Tally& tally) {
    const ReadSet set = c.make(side, other, rng);
    std::vector<const ByteVector*> reads;
    for (const DamagedRead& read : set.reads) {
        reads.push_back(&read.raw);
        tally.rawbytes += static_cast<double>(read.raw.size());
    }
    const auto start = std::chrono::steady_clock::now();
    const SideRescue rescue = Rescue(side.medium, reads, {set.sideof});
    tally.nanoseconds += static_cast<double>(std::chrono::duration_cast<std::chrono::nanoseconds>(
                                                 std::chrono::steady_clock::now() - start)
                                                 .count());
    const Judged judged = Judge(side, rescue);
    const std::size_t n = side.blocks.size();
    tally.sure += judged.sure;
    tally.wrong += judged.wrong;
    tally.misplaced += judged.misplaced;
    if (rescue.complete && judged.found != n) ++tally.falsecomplete;
    tally.reads += 1;
    tally.whole += judged.found == n && rescue.complete;
    tally.blocks += static_cast<long>(n);
    tally.readblocks += static_cast<long>(n * reads.size());
    const std::size_t classicback = ClassicBack(side, reads);
    tally.classicwhole += classicback == n && reads.size() == 1;
    tally.classicback += static_cast<long>(classicback);
    tally.all += static_cast<long>(judged.found);
    if (set.clean) {
        const SideRescue alone = Rescue(side.medium, {reads[*set.clean]});
        ++tally.sets;
        tally.fewer += judged.found < Judge(side, alone).found;
    }
    // Intact: untouched in the one read there is; of several reads, all
    // count. A file data block takes its size from its header alone, so it
    // is intact only with its header.
    for (std::size_t i = 0; i < n; ++i) {
        const bool data = side.medium == Medium::kFds && side.blocks[i][0] == kFdsFileDataBlock;
        const std::vector<Touched>& touched = set.reads[0].touched;
        if (reads.size() == 1 && (!Untouched(side.spans[i], touched) ||
                                  (data && !Untouched(side.spans[i - 1], touched))))
            continue;
        ++tally.intact;
        tally.back += judged.back[i] ? 1 : 0;
    }
}

std::string Percent(long part, long whole) {
    if (whole == 0) return "-";
    char text[32];
    std::snprintf(text, sizeof text, "%.2f%%", 100.0 * part / whole);
    return text;
}

std::vector<Case> Cases() {
    const auto late = [](const Side&, std::mt19937& rng) {
        return std::vector<Fault>{{Fault::kLateStart, 0, rng() % 60001}};
    };
    const auto noise = [](const Side&, std::mt19937& rng) {
        return std::vector<Fault>{{Fault::kNoiseBefore, 0, rng() % 100001}};
    };
    return {
        {"slips, flips (1 in 1000) and bursts in gaps and sync runs", false, Each(1, GapDamage)},
        {"noise of up to 100000 cells before the side", false, Each(1, noise)},
        {"a start up to 60000 cells late", false, Each(1, late)},
        {"slips, drift, flips and bursts anywhere", false, Each(1, InsideDamage)},
        {"five reads, each with flips (1 in 20000), two bursts and a slip", false,
         Each(5, WornRead)},
        {"two glitches of up to 256 random cells in gaps and sync runs", false,
         Each(1, GapGlitches)},
        {"two glitches of up to 256 random cells anywhere", false, Each(1, Glitches)},
        {"a dropout of up to 2000 cells anywhere", false, Each(1, Dropout)},
        {"a read that runs on into the next pass after up to 50000 cells of noise", false,
         Each(1, RunOn)},
        {"a read that stops early, past the first tenth", false, Each(1, EarlyStop)},
        {"a start up to 60000 cells late and an early stop", false, Each(1, LateAndEarly)},
        {"the whole read at another bit rate: a cell lost or gained every 200 to 2000", false,
         Each(1, OtherBitRate)},
        {"five worn reads, one weak stretch (500-3000 cells, 1 in 20-400 misread) in each", false,
         SameWeakStretch},
        {"three reads, one file header worn off in all of them", false, HeaderLost},
        {"three worn reads of the side and a clean read of another side", false, TwoSidesMixed},
        {"the same, the side named by one of its reads", false, TwoSidesNamed},
        {"a clean read and one with two glitches anywhere", false, BesideClean(Glitches)},
        {"a clean read and one that runs on into the next pass", false, BesideClean(RunOn)},
        {"one capture of a worn disk: 3-5% off speed, 1-3% wobble, jitter 2-4 ticks, "
         "10-30% of transitions shifted 2-6 ticks",
         true, Captures(1)},
        {"five captures of that disk in that drive", true, Captures(5)},
        {"two reads, each with dust in four places: 50-400 cells without flux or of noise", false,
         Each(2, Specks)},
        {"a capture device that loses one transfer of 4096 cells and repeats another", false,
         Each(1, Transfers)},
        {"two such captures", false, Each(2, Transfers)},
        {"two reads, each with a moment of another motor speed: for 200-2000 cells a cell lost "
         "or gained every 10-50",
         false, Each(2, Hiccup)},
        {"two reads, each with two glitches of up to 256 random cells anywhere", false,
         Each(2, Glitches)},
        {"three worn reads of the side and a clean read of another that opens alike", false,
         AlikeMixed},
        {"the same, the side named by one of its reads", false, AlikeNamed},
        {"three reads, each at another bit rate: a cell lost or gained every 200 to 2000", false,
         Each(3, OtherBitRate)},
        {"a read at another bit rate of a worn disk: flips (1 in 20000), two bursts and a slip",
         false, Each(1, OffRateWorn)},
        {"a read at another bit rate with a moment of another motor speed", false,
         Each(1, OffRateHiccup)},
        {"a read with noise in two places as a data separator passes it on: 20-1500 cells of "
         "flux at intervals MFM allows",
         false, Each(1, SeparatorNoise)},
        {"three such reads", false, Each(3, SeparatorNoise)},
        {"one capture of a worn disk in that drive, through a dropout (50-2000 cells, silent or "
         "noise as the gain rises) and a moment of a slipping motor (2000-20000 cells, 5-10% slow)",
         true, Captures(1, DropoutAndSlip)},
        {"two such captures, each through a dropout and a slip of its own", true,
         Captures(2, DropoutAndSlip)},
    };
}

std::string Row(const Case& c, Medium medium, const Tally& tally) {
    char cost[32];
    std::snprintf(cost, sizeof cost, "%.1f",
                  tally.rawbytes == 0 ? 0.0 : tally.nanoseconds / tally.rawbytes);
    const std::string fewer =
        tally.sets == 0 ? "-" : std::to_string(tally.fewer) + " of " + std::to_string(tally.sets);
    char row[1024];
    std::snprintf(
        row, sizeof row, "| %s | %s | %ld | %s | %s | %s | %s, %s | %ld | %ld | %ld | %s | %s |\n",
        c.name, medium == Medium::kFds ? "FDS" : "QD", tally.reads,
        Percent(tally.whole, tally.reads).c_str(), Percent(tally.back, tally.intact).c_str(),
        Percent(tally.all, tally.blocks).c_str(), Percent(tally.classicwhole, tally.reads).c_str(),
        Percent(tally.classicback, tally.readblocks).c_str(), tally.wrong, tally.misplaced,
        tally.falsecomplete, fewer.c_str(), cost);
    return row;
}

// A case's rows, each case on random numbers of its own, so that cases can
// be measured side by side and each still gives the same rows every time.
std::string MeasureCase(const Case& c, std::uint32_t seed, const std::vector<Side>& sides,
                        int count) {
    std::mt19937 rng(seed);
    std::string rows;
    for (Medium medium : {Medium::kFds, Medium::kQd}) {
        if (c.fdsonly && medium != Medium::kFds) continue;
        std::vector<const Side*> ofmedium;
        for (const Side& side : sides)
            if (side.medium == medium) ofmedium.push_back(&side);
        Tally tally;
        for (int i = 0; i < count; ++i) {
            const std::size_t k = static_cast<std::size_t>(i) % ofmedium.size();
            Measure(c, *ofmedium[k], *ofmedium[(k + 1) % ofmedium.size()], rng, tally);
        }
        rows += Row(c, medium, tally);
    }
    return rows;
}

constexpr std::uint32_t kSeed = 20261208;

}  // namespace

int main(int argc, char** argv) {
    const int count = argc > 1 ? std::atoi(argv[1]) : 400;
    // RESCUE_SIDES names a list of raw sides to measure on instead.
    const char* list = std::getenv("RESCUE_SIDES");
    const std::vector<Side> sides = list != nullptr ? SidesFrom(list) : Sides();
    const std::vector<Case> cases = Cases();
    std::vector<std::promise<std::string>> measured(cases.size());
    std::vector<std::future<std::string>> rows;
    for (std::promise<std::string>& promise : measured) rows.push_back(promise.get_future());
    // The last cases, the captures, cost most: they start first.
    std::atomic<std::size_t> taken{0};
    const auto work = [&] {
        for (std::size_t k = taken++; k < cases.size(); k = taken++) {
            const std::size_t n = cases.size() - 1 - k;
            // Each case keeps its own numbers however many are measured.
            const bool chosen =
                argc <= 2 || std::string(cases[n].name).find(argv[2]) != std::string::npos;
            measured[n].set_value(
                chosen ? MeasureCase(cases[n], kSeed + static_cast<std::uint32_t>(n), sides, count)
                       : std::string());
        }
    };
    std::vector<std::thread> workers;
    for (unsigned w = 0; w < std::max(1u, std::thread::hardware_concurrency()); ++w)
        workers.emplace_back(work);
    std::printf(
        "| Damage | Medium | Reads | Whole side back | Intact blocks back | All blocks back "
        "| Omblisk/Pelgrane: whole side, blocks | Good or voted with wrong bytes | Good or voted "
        "out of place | Complete with a block missing | Fewer back than the clean read alone "
        "| Rescue ns per raw byte |\n|---|---|---|---|---|---|---|---|---|---|---|---|\n");
    for (std::future<std::string>& row : rows) {
        std::fputs(row.get().c_str(), stdout);
        std::fflush(stdout);
    }
    for (std::thread& worker : workers) worker.join();
    return 0;
}
