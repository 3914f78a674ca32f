// qdkit recover on the samples' sides read as drives and capture devices
// read worn disks: whatever the reads, a block good or voted holds the
// side's own bytes, no block comes back twice, the exit status is 0 only for
// a whole side, and a read added never gives back less than a read alone.
#include <gtest/gtest.h>

#include <functional>
#include <nlohmann/json.hpp>
#include <random>

#include "fds/capture.h"
#include "fds/fds_bin_image.h"
#include "fds/side_rescue.h"
#include "qd/side_rescue.h"
#include "samples/faults.h"
#include "tests/qdkit_support.h"

namespace {

using Json = nlohmann::json;

struct Side {
    bool fds;
    Bytes raw;
    Bytes file;                      // what a whole rescue writes
    std::vector<Bytes> blocks;       // each block's bytes, without its CRC
    std::vector<std::size_t> cells;  // where each block's first byte begins
};

const RescueMedium& MediumOf(const Side& side) {
    return side.fds ? kFdsRescue : kQdRescue;
}

Side FdsSideOf(const Bytes& image) {
    Side side{true, QdRaw(FdsStream(image, kFdsHeaderBytes)), image, {}, {}};
    for (const RescuedBlock& block : RescueFdsSide({&side.raw}).blocks) {
        side.blocks.push_back(block.bytes);
        side.cells.push_back(static_cast<std::size_t>(*block.cell));
    }
    return side;
}

Side QdSideOf(const Bytes& mzt) {
    Side side{false, QdRaw(QdStream(mzt)), mzt, {}, {}};
    for (const RescuedBlock& block : RescueQdSide({&side.raw}).blocks) {
        side.blocks.push_back(block.bytes);
        side.cells.push_back(static_cast<std::size_t>(*block.cell));
    }
    return side;
}

// The sample image as the other side of its disk, with other files.
Bytes SideB() {
    FdsSideContent content;
    content.files = {Pattern(2000, 11), Pattern(700, 12)};
    Bytes image = FdsImage({content});
    image[kFdsHeaderBytes + kDiskInfoFields[3].offset] = 1;  // the side number
    return image;
}

// A file whose data block's CRC ends in 0x00, which also ends one byte early.
FdsSideContent ZeroEndedCrc() {
    for (std::uint32_t seed = 1;; ++seed) {
        Bytes block = Concat({Bytes{kFdsFileDataBlock}, Pattern(500, seed)});
        Crc16 crc(kFdsWriterCrc);
        if (crc.Update(block.data(), block.size(), true) >> 8 == 0)
            return FdsSideContent{{Pattern(200, 1), Pattern(500, seed), Pattern(300, 2)}};
    }
}

const Side& Sample(int which) {
    static const std::vector<Side> sides = {
        FdsSideOf(SampleFdsImage()),
        QdSideOf(SampleMzt()),
        FdsSideOf(SideB()),
        QdSideOf(MztFile({Entry("OTHER", 3000, 7), Entry("TAPE", 300, 8), Entry("HERE", 90, 9)})),
        FdsSideOf(FdsImage({FdsSideContent{{Pattern(400, 4), Pattern(300, 5), Pattern(700, 6)}}})),
        FdsSideOf(FdsImage({ZeroEndedCrc()})),
        FdsSideOf(FdsImage({FdsSideContent{{Pattern(300, 1), Pattern(200, 2)}, 1}})),
        FdsSideOf(FdsImage({FdsSideContent{{Pattern(300, 1), Pattern(900, 2), Pattern(900, 2)}}})),
        QdSideOf(MztFile({Entry("TWICE", 900, 7), Entry("TWICE", 900, 7), Entry("ONCE", 90, 9)})),
        QdSideOf(MztFile({Entry("ONCE", 900, 7)})),
    };
    return sides[static_cast<std::size_t>(which)];
}
enum {
    kFds,
    kQd,
    kFdsSideB,
    kQdOther,
    kFdsTrap,
    kFdsZeroCrc,
    kFdsHidden,
    kFdsSameData,
    kQdTwice,
    kQdOne
};

using MakeRead = std::function<Bytes(const Side&, std::mt19937&)>;

MakeRead Clean() {
    return [](const Side& side, std::mt19937&) { return side.raw; };
}

MakeRead Damaged(std::function<std::vector<Fault>(const Side&)> faults) {
    return [=](const Side& side, std::mt19937& rng) {
        return Damage(side.raw, faults(side), rng).raw;
    };
}

// Cells flipped at offsets from a block's first byte's cell.
MakeRead Flips(std::vector<std::pair<std::size_t, long>> at) {
    return Damaged([=](const Side& side) {
        std::vector<Fault> faults;
        for (const auto& [block, offset] : at)
            faults.push_back({Fault::kFlip, static_cast<std::size_t>(
                                                static_cast<long>(side.cells[block]) + offset)});
        return faults;
    });
}

// Worn-off coating: no flux from `offset` cells before a block's first byte
// on, over `cells`.
MakeRead Dropout(std::size_t block, long offset, std::size_t cells) {
    return Damaged([=](const Side& side) {
        const auto at = static_cast<std::size_t>(static_cast<long>(side.cells[block]) + offset);
        return std::vector<Fault>{{Fault::kDropout, at, cells}};
    });
}

// A capture glitch: random bytes in the gap before a block.
MakeRead Glitch(std::size_t block, std::size_t bytes) {
    return [=](const Side& side, std::mt19937& rng) {
        Bytes raw = side.raw;
        const std::size_t at = side.cells[block] / 8 - 100;
        Bytes noise(bytes);
        for (std::uint8_t& b : noise) b = static_cast<std::uint8_t>(rng());
        raw.insert(raw.begin() + static_cast<std::ptrdiff_t>(at), noise.begin(), noise.end());
        return raw;
    };
}

// A read that runs on into the next pass, each pass read as `first` and
// `next` read it.
MakeRead Twice(MakeRead next = Clean(), MakeRead first = Clean()) {
    return [=](const Side& side, std::mt19937& rng) {
        return Concat({first(side, rng), next(side, rng)});
    };
}

// A read that stops early, or starts late, `offset` cells from a block's start.
MakeRead Until(std::size_t block, long offset) {
    return [=](const Side& side, std::mt19937&) {
        const auto end =
            static_cast<std::ptrdiff_t>((static_cast<long>(side.cells[block]) + offset) / 8);
        return Bytes(side.raw.begin(), side.raw.begin() + end);
    };
}
MakeRead From(std::size_t block, long offset) {
    return [=](const Side& side, std::mt19937&) {
        const auto from =
            static_cast<std::ptrdiff_t>((static_cast<long>(side.cells[block]) + offset) / 8);
        return Bytes(side.raw.begin() + from, side.raw.end());
    };
}

MakeRead Late(std::size_t bytes) {
    return [=](const Side& side, std::mt19937&) {
        return Bytes(side.raw.begin() + static_cast<std::ptrdiff_t>(bytes), side.raw.end());
    };
}

// A read at another bit rate: a cell lost (or gained) every |every| cells.
MakeRead Rate(long every, MakeRead then = nullptr) {
    return [=](const Side& side, std::mt19937& rng) {
        const Side copy{side.fds, then ? then(side, rng) : side.raw, {}, {}, {}};
        return Damage(copy.raw, {{Fault::kDrift, 0, copy.raw.size() * 8, every}}, rng).raw;
    };
}

// A capture by a drive 4% fast that wobbles 2% with each turn, of a worn
// disk that pulls a fifth of its transitions 2 to 6 ticks towards a
// neighbour, the same ones in every capture.
MakeRead WornCapture() {
    return [](const Side& side, std::mt19937& rng) {
        const CaptureFaults drive{0.04, 0.02, 40, 3, 0.2, 2, 6, 77};
        return TickCapture(side.raw, drive, rng);
    };
}

MakeRead Other(int sample) {
    return [=](const Side&, std::mt19937&) { return Sample(sample).raw; };
}
// The side, then another in the same file (the flash slots of a disk).
MakeRead ThenOther(int sample) {
    return [=](const Side& side, std::mt19937&) { return Concat({side.raw, Sample(sample).raw}); };
}

// A disk read the devices saved as its data bits, a byte of a block flipped.
MakeRead DiskRead(std::optional<std::size_t> block = std::nullopt) {
    return [=](const Side& side, std::mt19937&) {
        Bytes bin = FdsStream(side.file, kFdsHeaderBytes);
        if (block) bin[ReadFdsBinSide(bin, 0, bin.size()).blocks.at(*block).block.offset + 9] ^= 4;
        return bin;
    };
}

// A read the capture device stopped at once.
MakeRead Stub() {
    return [](const Side&, std::mt19937&) { return Bytes(300, 0); };
}

struct Case {
    const char* what;
    int side;
    std::vector<MakeRead> reads;
    int status;                             // recover's exit status
    std::vector<std::string> options = {};  // before the reads
    int alone = -1;                         // a read that alone must not give back more
    std::function<void(const Bytes&)> output = nullptr;  // checks the file written
    const char* says = "";                               // in the standard error
};

// The side's blocks each sure block holds, in order; every other one wrong.
struct Back {
    std::size_t blocks = 0;
    std::size_t wrong = 0;
};
Back BlocksBack(const Side& side, const SideRescue& rescue) {
    Back back;
    std::size_t next = 0;
    for (const RescuedBlock& block : rescue.blocks) {
        if (!IsSure(block.status)) continue;
        std::size_t k = next;
        while (k < side.blocks.size() && side.blocks[k] != block.bytes) ++k;
        if (k == side.blocks.size()) {
            ++back.wrong;
            continue;
        }
        ++back.blocks;
        next = k + 1;
    }
    return back;
}

Bytes AsRead(const Bytes& file) {
    if (HoldsFdsSideStart(DataPlanes(file))) return file;
    if (const std::optional<FdsCapture> capture = ReadFdsCapture(file)) return capture->raw;
    return FdsBinReadCells(file).value_or(file);
}

SideRescue RescueOf(const Side& side, const std::vector<Bytes>& files, std::optional<int> sideof) {
    std::vector<Bytes> reads;
    for (const Bytes& file : files) reads.push_back(AsRead(file));
    std::vector<const Bytes*> pointers;
    for (const Bytes& read : reads) pointers.push_back(&read);
    return RescueReads(MediumOf(side), pointers, {sideof});
}

std::uint16_t MztSizeOf(const Bytes& mzt, std::size_t record) {
    return WalkMztRecords(mzt).at(record).size;
}

TEST(Recover, ReadsAsDrivesMakeThem) {
    const Case cases[] = {
        {"a glitch in a gap", kFds, {Clean(), Glitch(4, 300)}, 0, {}, 0},
        {"QD: a glitch in a gap", kQd, {Glitch(3, 300), Clean()}, 0, {}, 1},
        {"a read that runs on into the next pass", kFds, {Twice()}, 0},
        {"QD: a read that runs on into the next pass", kQd, {Twice()}, 0},
        {"a whole read and one 9500 bytes late", kFds, {Clean(), Late(9500)}, 0, {}, 0},
        {"two reads, each of part of the side", kFds, {Until(6, 2000), From(5, -500)}, 0},
        {"QD: two reads, each of part of the side", kQd, {From(3, -500), Until(5, 1000)}, 0},
        {"another bit rate, and an early stop", kFds, {Rate(2500), Until(6, 4000)}, 1, {}, 0},
        {"QD: another bit rate late, and an early stop",
         kQd,
         {Rate(-2500, From(2, -300)), Until(3, 500)},
         0,
         {},
         0},
        // A data block's start and the next header's both lost: the later
        // data block is not read with the earlier header's size.
        {"the 0x00 trap in the middle", kFdsTrap, {Flips({{3, -1}, {4, -1}})}, 1},
        {"the 0x00 trap at the end", kFds, {Flips({{7, -1}, {8, -1}})}, 1},
        {"QD: a good record beside a data block whose size is damaged",
         kQd,
         {Flips({{4, 49}})},
         1,
         {},
         -1,
         [](const Bytes& mzt) { EXPECT_EQ(31, MztSizeOf(mzt, 1)); }},
        {"QD: one record too damaged for an MZT header",
         kQd,
         {Flips({{3, 93}})},
         1,
         {},
         -1,
         [](const Bytes& mzt) { EXPECT_EQ(2u, WalkMztRecords(mzt).size()); }},
        {"a stub read beside a whole one", kFds, {Stub(), Clean()}, 0},
        {"three reads of a side and two of another",
         kFds,
         {Clean(), Other(kFdsSideB), Clean(), Other(kFdsSideB), Clean()},
         1},
        {"the same, the side named",
         kFds,
         {Clean(), Other(kFdsSideB), Clean(), Other(kFdsSideB), Clean()},
         0,
         {"--side-of", "r0"}},
        {"QD: reads of two tapes", kQd, {Clean(), Other(kQdOther), Clean()}, 1},
        {"one read of two sides",
         kFds,
         {ThenOther(kFdsSideB)},
         1,
         {},
         -1,
         nullptr,
         "different sides: r0 (pass "},
        {"a CRC that ends in 0x00, its header damaged",
         kFdsZeroCrc,
         {Flips({{4, 257}})},
         1,
         {},
         -1,
         [](const Bytes& image) { EXPECT_TRUE(SameBytes(Sample(kFdsZeroCrc).file, image)); }},
        {"a bad block past the announced files", kFdsHidden, {Flips({{5, 801}})}, 1},
        {"a worn capture", kFds, {WornCapture()}, 0},
        {"five worn captures",
         kFds,
         {WornCapture(), WornCapture(), WornCapture(), WornCapture(), WornCapture()},
         0,
         {},
         0},
        {"a clean read and one that runs on", kQd, {Clean(), Twice()}, 0, {}, 0},
        {"a side that holds one file's data twice", kFdsSameData, {Clean()}, 0},
        {"the same, run on into a pass whose opening is damaged",
         kFdsSameData,
         {Twice(Flips({{0, 100}}))},
         0},
        {"QD: a tape that holds one record twice", kQdTwice, {Clean()}, 0},
        {"QD: the same, run on into a pass whose opening is damaged",
         kQdTwice,
         {Twice(Flips({{0, 20}}))},
         0},
        // What tells the passes apart is lost with the next opening.
        {"a run on into a pass whose opening is worn off, the first pass's file count too",
         kFds,
         {Twice(Dropout(0, -200, 1200), Dropout(1, -100, 200))},
         0},
        {"QD: the same, the first pass's first record damaged",
         kQd,
         {Twice(Dropout(0, -200, 400), Flips({{1, 16 * 5 + 3}}))},
         0},
        {"QD: a tape of one record, the same, the second pass's data damaged too",
         kQdOne,
         {Twice(Damaged([](const Side& side) {
                    return std::vector<Fault>{{Fault::kDropout, side.cells[0] - 200, 400},
                                              {Fault::kFlip, side.cells[2] + 801}};
                }),
                Flips({{1, 16 * 5 + 3}}))},
         0},
        {"a disk read saved as bytes, damaged", kFds, {DiskRead(5)}, 1},
        {"the same beside a whole one", kFds, {DiskRead(5), DiskRead()}, 0, {}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const Side& side = Sample(c.side);
        std::mt19937 rng(11);
        std::vector<Bytes> files;
        TempDir dir;
        std::vector<std::string> args = {"recover", "--json", "-o", "out"};
        args.insert(args.end(), c.options.begin(), c.options.end());
        for (const MakeRead& read : c.reads) {
            files.push_back(read(side, rng));
            const std::string name = "r" + std::to_string(files.size() - 1);
            WriteFile(dir / name, files.back());
            args.push_back(name);
        }
        const RunResult run = RunProgram(dir.path(), "qdkit", args);
        EXPECT_EQ(c.status, run.status) << run.err;
        EXPECT_NE(std::string::npos, run.err.find(c.says)) << run.err;
        const Json object = Json::parse(run.out);
        const std::optional<int> sideof = c.options.empty() ? std::nullopt : std::optional<int>(0);
        const SideRescue rescue = RescueOf(side, files, sideof);
        ASSERT_EQ(rescue.blocks.size(), object["blocks"].size());
        for (std::size_t n = 0; n < rescue.blocks.size(); ++n)
            EXPECT_EQ(BlockStatusName(rescue.blocks[n].status), object["blocks"][n]["status"]);
        const Back back = BlocksBack(side, rescue);
        EXPECT_EQ(0u, back.wrong);
        EXPECT_EQ(c.status == 0, rescue.complete);
        if (rescue.complete) EXPECT_EQ(side.blocks.size(), back.blocks);
        if (c.alone >= 0) {
            const SideRescue one = RescueOf(side, {files[static_cast<std::size_t>(c.alone)]}, {});
            EXPECT_LE(BlocksBack(side, one).blocks, back.blocks);
        }
        const bool written = FileExists(dir / "out");
        if (c.status == 0) ASSERT_TRUE(written && SameBytes(side.file, ReadFile(dir / "out")));
        if (c.output) {
            ASSERT_TRUE(written);
            c.output(ReadFile(dir / "out"));
        }
    }
}

// One read given twice is one witness: it never outvotes a read of the
// disk before one of its files was written over. Two reads do, and say so.
TEST(Recover, ReadGivenTwiceCountsOnce) {
    const auto side = [](std::uint32_t last) {
        return FdsSideOf(
            FdsImage({FdsSideContent{{Pattern(400, 4), Pattern(300, 5), Pattern(700, last)}}}));
    };
    Bytes other = side(7).raw;
    other[100] ^= 1;  // in the lead-in: another read of the same blocks
    TempDir dir;
    WriteFile(dir / "before", side(6).raw);
    WriteFile(dir / "after", side(7).raw);
    WriteFile(dir / "copy", side(7).raw);
    WriteFile(dir / "other", other);
    const struct {
        const char* again;
        int status;
        const char* block;
        const char* says;
    } cases[] = {
        {"after", 1, "conflict", "after is named more than once; it counts once"},
        {"copy", 1, "conflict", "copy: the same bytes as after; it counts once"},
        {"other", 0, "good", "block 8: other bytes that pass the CRC too, in before, are outvoted"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.again);
        const RunResult run =
            RunProgram(dir.path(), "qdkit",
                       {"recover", "--json", "--force", "-o", "out", "before", "after", c.again});
        EXPECT_EQ(c.status, run.status) << run.err;
        const Json object = Json::parse(run.out);
        EXPECT_EQ(c.block, object["blocks"][7]["status"]);
        EXPECT_EQ(c.says, object["warnings"].at(0));
    }
    // Named by its copy, a read is still the one whose side to follow.
    const Side& sideb = Sample(kFdsSideB);
    WriteFile(dir / "b", sideb.raw);
    WriteFile(dir / "b2", sideb.raw);
    const RunResult run =
        RunProgram(dir.path(), "qdkit",
                   {"recover", "--force", "-o", "out", "--side-of", "b2", "before", "b", "b2"});
    EXPECT_EQ(0, run.status) << run.err;
    EXPECT_TRUE(SameBytes(sideb.file, ReadFile(dir / "out")));
}

}  // namespace
