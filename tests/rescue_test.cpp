// The tolerant readers on the kit's sample sides, damaged as real reads
// are: what comes back, and that nothing wrong is ever good or voted.
#include <gtest/gtest.h>

#include <functional>
#include <random>

#include "fds/side_rescue.h"
#include "qd/side_rescue.h"
#include "samples/faults.h"
#include "tests/qdkit_support.h"

namespace {

struct Side {
    bool fds;
    Bytes raw;
    std::vector<Bytes> blocks;       // each block's bytes without its CRC
    std::vector<std::size_t> cells;  // where each block's first byte begins
};

SideRescue Rescue(bool fds, const std::vector<const Bytes*>& reads) {
    return fds ? RescueFdsSide(reads) : RescueQdSide(reads);
}

Side Clean(bool fds) {
    Side side{fds, {}, {}, {}};
    if (fds) {
        side.raw =
            FdsRaw(FdsSideContent{{Pattern(1024, 1), Pattern(8192, 2), Pattern(300, 3), {}}});
    } else {
        side.raw = QdRaw(QdStream(SampleMzt()));
    }
    for (const RescuedBlock& block : Rescue(fds, {&side.raw}).blocks) {
        side.blocks.push_back(block.bytes);
        side.cells.push_back(static_cast<std::size_t>(*block.cell));
    }
    return side;
}

// The blocks given as good or voted whose bytes are not the side's, by
// number ("3 5"); empty when there are none.
std::string WronglySure(const SideRescue& rescue, const std::vector<Bytes>& truth) {
    std::string wrong;
    for (std::size_t n = 0; n < rescue.blocks.size(); ++n)
        if (IsSure(rescue.blocks[n].status) &&
            (n >= truth.size() || truth[n] != rescue.blocks[n].bytes))
            wrong += (wrong.empty() ? "" : " ") + std::to_string(n + 1);
    return wrong;
}

std::vector<Bytes> BlockBytes(const SideRescue& rescue) {
    std::vector<Bytes> bytes;
    for (const RescuedBlock& block : rescue.blocks) bytes.push_back(block.bytes);
    return bytes;
}

// One letter a block: Good, Voted, Inferred, Bad, Missing, Conflict.
std::string Statuses(const SideRescue& rescue) {
    std::string text;
    for (const RescuedBlock& block : rescue.blocks)
        text += "GVIBMC"[static_cast<int>(block.status)];
    return text;
}

using Faults = std::function<std::vector<Fault>(const Side&)>;

struct Case {
    const char* what;
    bool fds;
    std::vector<Faults> reads;  // one set of faults per read
    std::string statuses;
};

Faults Cells(Fault::Kind kind, std::size_t block, long offset, std::size_t length = 0,
             long every = 0) {
    return [=](const Side& side) {
        const auto at = static_cast<std::size_t>(static_cast<long>(side.cells[block]) + offset);
        return std::vector<Fault>{{kind, at, length, every}};
    };
}

Faults Whole(Fault::Kind kind, std::size_t length) {
    return [=](const Side&) { return std::vector<Fault>{{kind, 0, length}}; };
}

Faults Both(Faults first, Faults second) {
    return [=](const Side& side) {
        std::vector<Fault> faults = first(side);
        for (const Fault& fault : second(side)) faults.push_back(fault);
        return faults;
    };
}

// The whole read sampled at another cell rate.
Faults Rate(long every) {
    return [=](const Side&) { return std::vector<Fault>{{Fault::kBitRate, 0, 0, every}}; };
}

// Flipped cells every so often over the whole side, from a seed.
Faults Worn(std::uint32_t seed) {
    return [=](const Side& side) {
        std::mt19937 rng(seed);
        std::vector<Fault> faults;
        for (std::size_t cell = rng() % 20000; cell < side.raw.size() * 8;
             cell += 1 + rng() % 40000)
            faults.push_back({Fault::kFlip, cell});
        faults.push_back({Fault::kBurst, rng() % (side.raw.size() * 8), 64});
        faults.push_back({Fault::kSlip, rng() % (side.raw.size() * 8)});
        return faults;
    };
}

TEST(Rescue, DamagedReads) {
    // FDS: disk info, file amount, then header and data of four files; QD:
    // block count, then information and data of three files.
    const Case cases[] = {
        {"clean", true, {Whole(Fault::kNoiseBefore, 0)}, "GGGGGGGGGG"},
        {"slip in a gap", true, {Cells(Fault::kSlip, 4, -300)}, "GGGGGGGGGG"},
        {"added cell right before a mark", true, {Cells(Fault::kExtraCell, 4, -20)}, "GGGGGGGGGG"},
        {"burst ending at a mark", true, {Cells(Fault::kBurst, 2, -16 - 64, 64)}, "GGGGGGGGGG"},
        {"slip in a data block", true, {Cells(Fault::kSlip, 5, 4000)}, "GGGGGBGGGG"},
        {"flipped cell in a header", true, {Cells(Fault::kFlip, 4, 101)}, "GGGGBIGGGG"},
        {"drift over a data block", true, {Cells(Fault::kDrift, 5, 100, 60000, 100)}, "GGGGGBGGGG"},
        {"noise before the side", true, {Whole(Fault::kNoiseBefore, 100000)}, "GGGGGGGGGG"},
        {"late start", true, {Whole(Fault::kLateStart, 60000)}, "GGGGGGGGGG"},
        {"cut short in a data block",
         true,
         {[](const Side& side) {
             return std::vector<Fault>{{Fault::kCutShort, 0, side.cells[7] + 400}};
         }},
         "GGGGGGGBMM"},
        {"three reads, each with another block damaged",
         true,
         {Cells(Fault::kFlip, 5, 801), Cells(Fault::kFlip, 3, 801), Cells(Fault::kFlip, 7, 801)},
         "GGGGGGGGGG"},
        {"three reads, one block damaged in each",
         true,
         {Cells(Fault::kFlip, 5, 801), Cells(Fault::kFlip, 5, 8001),
          Cells(Fault::kBurst, 5, 900, 64)},
         "GGGGGVGGGG"},
        {"two reads, one block damaged in each, apart",
         true,
         {Cells(Fault::kDropout, 5, 801, 300), Cells(Fault::kSlip, 5, 8001)},
         "GGGGGVGGGG"},
        {"two reads, one cut short in a block, the other damaged before the cut",
         true,
         {[](const Side& side) {
              return std::vector<Fault>{{Fault::kCutShort, 0, side.cells[5] + 4000}};
          },
          Cells(Fault::kDropout, 5, 801, 300)},
         "GGGGGVGGGG"},
        {"two reads with dropouts at a header's end, beside a clean read",
         true,
         {Cells(Fault::kDropout, 4, 16 * 11, 96), Cells(Fault::kDropout, 4, 16 * 12, 80),
          Whole(Fault::kNoiseBefore, 0)},
         "GGGGGGGGGG"},
        {"QD: two reads cut short in one block, beside a clean read",
         false,
         {[](const Side& side) {
              return std::vector<Fault>{{Fault::kCutShort, 0, side.cells[6] + 4000}};
          },
          [](const Side& side) {
              return std::vector<Fault>{{Fault::kCutShort, 0, side.cells[6] + 9000}};
          },
          Whole(Fault::kNoiseBefore, 0)},
         "GGGGGGG"},
        {"two reads, one block damaged in each, in the same place",
         true,
         {Cells(Fault::kDropout, 5, 801, 300), Cells(Fault::kBurst, 5, 900, 64)},
         "GGGGGBGGGG"},
        {"two reads, cells lost in one and repeated in the other, in one block",
         true,
         {Cells(Fault::kLost, 5, 2000, 4096), Cells(Fault::kRepeated, 5, 60000, 4096)},
         "GGGGGVGGGG"},
        {"two reads, a stretch of one block repeated in each, beside a clean read",
         true,
         {Cells(Fault::kRepeated, 5, 2000, 4096), Cells(Fault::kRepeated, 5, 6000, 4096),
          Whole(Fault::kNoiseBefore, 0)},
         "GGGGGGGGGG"},
        {"two reads, a block's start lost in the first, two others damaged in the second",
         true,
         {Both(Cells(Fault::kLost, 5, -100, 4096), Cells(Fault::kFlip, 7, 801)),
          Both(Cells(Fault::kFlip, 3, 801), Cells(Fault::kFlip, 7, 801))},
         "GGGGGGGBGG"},
        {"five worn reads", true, {Worn(1), Worn(2), Worn(3), Worn(4), Worn(5)}, ""},
        // Another bit rate: a gained cell is empty and comes out again; a
        // lost one that held a flux reversal leaves two places for it.
        {"a read at another bit rate, a cell gained every 700", true, {Rate(-700)}, "GGGGGGGGGG"},
        {"a read at another bit rate, a cell lost every 700", true, {Rate(700)}, "GGGBGBGBGG"},
        {"QD: a read at another bit rate, a cell gained every 1500",
         false,
         {Rate(-1500)},
         "GGGGGGG"},
        {"QD: a read at another bit rate, a cell lost every 700", false, {Rate(700)}, "GGBGGGB"},
        {"QD: noise over a block count's CRC",
         false,
         {Cells(Fault::kNoise, 0, 32, 300)},
         "BGGGGGG"},
        {"QD: a transfer repeated over an information block's start",
         false,
         {Cells(Fault::kRepeated, 1, -200, 512)},
         "GGGGGGG"},
        {"QD: slip in a sync run", false, {Cells(Fault::kSlip, 2, -40)}, "GGGGGGG"},
        {"QD: burst over the last sync byte", false, {Cells(Fault::kBurst, 3, -16, 16)}, "GGGGGGG"},
        {"QD: slip in a block", false, {Cells(Fault::kSlip, 2, 3000)}, "GGBGGGG"},
        {"QD: flipped cell in an information block",
         false,
         {Cells(Fault::kFlip, 3, 201)},
         "GGGBGGG"},
        {"QD: noise before and a late start",
         false,
         {Whole(Fault::kNoiseBefore, 100000)},
         "GGGGGGG"},
        {"QD: two reads, one block damaged in each, apart",
         false,
         {Cells(Fault::kBurst, 2, 3000, 200), Cells(Fault::kDropout, 2, 201, 100)},
         "GGVGGGG"},
        {"QD: two reads, a glitch in one block of each, apart",
         false,
         {Cells(Fault::kGlitch, 2, 1000, 100), Cells(Fault::kGlitch, 2, 3000, 77)},
         "GGVGGGG"},
        {"QD: five worn reads", false, {Worn(6), Worn(7), Worn(8), Worn(9), Worn(10)}, ""},
    };
    const Side fds = Clean(true), qd = Clean(false);
    for (const Case& c : cases) {
        const Side& side = c.fds ? fds : qd;
        std::mt19937 rng(3);
        std::vector<Bytes> reads;
        for (const Faults& faults : c.reads)
            reads.push_back(Damage(side.raw, faults(side), rng).raw);
        std::vector<const Bytes*> pointers;
        for (const Bytes& read : reads) pointers.push_back(&read);
        const SideRescue rescue = Rescue(c.fds, pointers);
        // An empty expectation: every block good or voted.
        const std::string expected =
            c.statuses.empty() ? std::string(side.blocks.size(), '*') : c.statuses;
        std::string got = Statuses(rescue);
        if (c.statuses.empty()) {
            for (char& s : got) s = s == 'G' || s == 'V' ? '*' : s;
        }
        EXPECT_EQ(expected, got) << c.what;
        EXPECT_EQ(expected.find_first_not_of("GV*") == std::string::npos, rescue.complete)
            << c.what;
        EXPECT_EQ("", WronglySure(rescue, side.blocks)) << c.what;
    }
}

TEST(Rescue, DifferingGoodCopiesAreAConflict) {
    const Side side = Clean(true);
    Bytes other = FdsRaw(FdsSideContent{{Pattern(1024, 1), Pattern(8192, 9), Pattern(300, 3), {}}});
    const SideRescue rescue = RescueFdsSide({&side.raw, &other});
    EXPECT_EQ("GGGGGCGGGG", Statuses(rescue));
    EXPECT_EQ(side.blocks[5], rescue.blocks[5].bytes);  // the first read's is kept
    EXPECT_FALSE(rescue.complete);
}

// Another version of a disk: the same files, one of them changed far past
// its first bytes, or shorter, whose CRC and the gap's zeros behind it hold
// at the longer length, or one file more. Beside three worn reads of the
// disk, its blocks are never taken for the disk's; a count of files that
// differs tells the two apart, and with the disk named the worn reads give it.
TEST(Rescue, AnotherVersionOfAFileIsNeverItsGoodCopy) {
    const Bytes file = Pattern(3000, 2);
    const Bytes raw = FdsRaw(FdsSideContent{{Pattern(1024, 1), file}});
    const SideRescue clean = RescueFdsSide({&raw});
    ASSERT_TRUE(clean.complete);
    Bytes changed = file;
    for (std::size_t i = 2000; i < changed.size(); i += 7) changed[i] ^= 0x5A;
    const Bytes shorter(file.begin(), file.begin() + 2000);
    const std::vector<std::vector<Bytes>> versions = {
        {Pattern(1024, 1), changed}, {Pattern(1024, 1), shorter}, {Pattern(1024, 1), file, file}};
    for (const std::vector<Bytes>& version : versions) {
        const Bytes other = FdsRaw(FdsSideContent{version});
        const std::size_t what = &version - versions.data();
        std::mt19937 rng(9);
        std::vector<Bytes> reads;
        for (std::size_t r = 0; r < 3; ++r) {
            // A data cell of the changed file's data, elsewhere in each read.
            const auto cell = static_cast<std::size_t>(*clean.blocks[5].cell) + 4001 + 8000 * r;
            reads.push_back(Damage(raw, {{Fault::kFlip, cell}}, rng).raw);
        }
        reads.push_back(other);
        const std::vector<const Bytes*> pointers = {&reads[0], &reads[1], &reads[2], &reads[3]};
        for (const std::optional<int> sideof : {std::optional<int>{}, std::optional<int>{0}}) {
            const SideRescue rescue = RescueFdsSide(pointers, {sideof});
            EXPECT_EQ("", WronglySure(rescue, BlockBytes(clean))) << "version " << what;
            if (sideof) EXPECT_TRUE(rescue.complete) << "version " << what;
            if (!sideof && version.size() > 2) EXPECT_EQ(2u, rescue.sides.size());
        }
    }
}

// An old read of a disk beside two newer ones, taken after a file was
// saved again: the new reads are damaged in the bytes it changed, both in
// the same few, yet both show the new bytes where they read cleanly. The
// old copy is not the side's.
TEST(Rescue, AnOldGoodCopyTheNewReadsContradictIsNotGood) {
    const Bytes file = Pattern(3000, 2);
    Bytes saved = file;
    for (std::size_t i = 2000; i < 2010; ++i) saved[i] ^= 0x24;
    const Bytes old = FdsRaw(FdsSideContent{{Pattern(1024, 1), file}});
    const Bytes raw = FdsRaw(FdsSideContent{{Pattern(1024, 1), saved}});
    const SideRescue clean = RescueFdsSide({&raw});
    ASSERT_TRUE(clean.complete);
    std::mt19937 rng(3);
    std::vector<Bytes> reads = {old};
    for (std::size_t r = 0; r < 2; ++r) {
        const auto cell = static_cast<std::size_t>(*clean.blocks[5].cell) + 16 * (2006 + r);
        reads.push_back(Damage(raw, {{Fault::kBurst, cell, 64}}, rng).raw);
    }
    for (const std::optional<int> sideof : {std::optional<int>{}, std::optional<int>{1}}) {
        const SideRescue rescue = RescueFdsSide({&reads[0], &reads[1], &reads[2]}, {sideof});
        EXPECT_EQ("", WronglySure(rescue, BlockBytes(clean))) << Statuses(rescue);
    }
}

// A file past the announced ones is the licence-screen trick: its data lost
// is a block missing, and no side with a block missing is whole.
TEST(Rescue, AHiddenFileCutShortLeavesTheSideIncomplete) {
    const Bytes raw = FdsRaw(FdsSideContent{{Pattern(1024, 1), Pattern(300, 3)}, 1});
    const SideRescue clean = RescueFdsSide({&raw});
    ASSERT_EQ("GGGGGG", Statuses(clean));
    EXPECT_TRUE(clean.complete);
    std::mt19937 rng(5);
    const auto cut = static_cast<std::size_t>(*clean.blocks[5].cell - 200);
    const Bytes read = Damage(raw, {{Fault::kCutShort, 0, cut}}, rng).raw;
    const SideRescue rescue = RescueFdsSide({&read});
    EXPECT_EQ("GGGGGM", Statuses(rescue));
    EXPECT_FALSE(rescue.complete);
    // A read that stops right behind the last block cannot show that no
    // file follows it.
    const std::size_t end = *clean.blocks[5].cell + (clean.blocks[5].bytes.size() + 2) * 16;
    const Bytes stopped = Damage(raw, {{Fault::kCutShort, 0, end + 100}}, rng).raw;
    const SideRescue early = RescueFdsSide({&stopped});
    EXPECT_EQ("GGGGGG", Statuses(early));
    EXPECT_TRUE(early.endunseen);
    EXPECT_FALSE(early.complete);
    // A hidden file lost whole, header and data, between two others: its
    // number skipped is a file missing there.
    const Bytes three =
        FdsRaw(FdsSideContent{{Pattern(1024, 1), Pattern(300, 3), Pattern(200, 4)}, 1});
    const SideRescue whole = RescueFdsSide({&three});
    ASSERT_EQ("GGGGGGGG", Statuses(whole));
    const auto from = static_cast<std::size_t>(*whole.blocks[4].cell - 100);
    const auto lost = static_cast<std::size_t>(*whole.blocks[6].cell) - 100 - from;
    const Bytes holed = Damage(three, {{Fault::kLost, from, lost}}, rng).raw;
    const SideRescue skipped = RescueFdsSide({&holed});
    EXPECT_EQ("GGGGMMGG", Statuses(skipped));
    EXPECT_FALSE(skipped.complete);
}

// Files may be numbered freely: a skip is a file missing only where the
// side lacks as many of the files it announces.
TEST(Rescue, AFreelyNumberedSideIsWhole) {
    for (const int announced : {2, 3}) {
        Bytes image = FdsImage({FdsSideContent{{Pattern(1024, 1), Pattern(300, 3)}, announced}});
        image[kFdsHeaderBytes + kFdsDiskInfoBlockBytes + kFdsFileAmountBlockBytes +
              kFdsFileHeaderBlockBytes + 1 + 1024 + kFdsFileNumberOffset] = 40;
        const Bytes raw = QdRaw(FdsStream(image, kFdsHeaderBytes));
        const SideRescue rescue = RescueFdsSide({&raw});
        EXPECT_EQ(announced == 2 ? "GGGGGG" : "GGGGGGMM", Statuses(rescue)) << announced;
    }
}

// Noise and files that are no raw side hold no block of either medium, not
// even one whose CRC holds by chance.
TEST(Rescue, NoBlocksInNoise) {
    std::mt19937 rng(4);
    const Bytes side = Clean(true).raw;
    const std::vector<Bytes> files = {Pattern(300000, 8), TickCapture(side, 0.02, 3, rng),
                                      PackedCapture(side)};
    for (const Bytes& file : files) {
        for (bool fds : {true, false}) {
            for (const RescuedBlock& block : Rescue(fds, {&file}).blocks)
                EXPECT_FALSE(IsSure(block.status)) << file.size() << (fds ? " FDS" : " QD");
        }
    }
}

// A file's data may hold what reads as a block start with a good CRC (here
// another disk's file header, as a copying tool would store it). Where the
// file's own header is damaged, the data's size is not sure, and that
// start must not be taken for the next file's header.
TEST(Rescue, AGoodCrcInsideAFilesDataIsNoBlock) {
    const Bytes other = FdsRaw(FdsSideContent{{Pattern(10, 5), Pattern(20, 6), Pattern(40, 7)}});
    const RescuedBlock header = RescueFdsSide({&other}).blocks[6];  // the third file's
    Bytes data = Pattern(3000, 2);
    Bytes stored = {0x00, 0x80};  // a stretch of zero bits and the start mark
    stored.insert(stored.end(), header.bytes.begin(), header.bytes.end());
    stored.insert(stored.end(), header.crc.begin(), header.crc.end());
    std::copy(stored.begin(), stored.end(), data.begin() + 1500);
    const Bytes raw = FdsRaw(FdsSideContent{{Pattern(1024, 1), data, Pattern(300, 3)}});
    const SideRescue clean = RescueFdsSide({&raw});
    ASSERT_EQ("GGGGGGGG", Statuses(clean));
    std::mt19937 rng(6);
    const auto cell = static_cast<std::size_t>(*clean.blocks[4].cell) + 101;
    const Bytes read = Damage(raw, {{Fault::kFlip, cell}}, rng).raw;
    const SideRescue rescue = RescueFdsSide({&read});
    EXPECT_EQ("", WronglySure(rescue, BlockBytes(clean))) << Statuses(rescue);
    EXPECT_FALSE(rescue.complete);
}

// A tape's data may hold a stored block whose CRC holds, of the
// information block's type but not its size. Where the data block's own
// mark is damaged, it is no information block.
TEST(Rescue, AStoredBlockOfAnotherSizeIsNoInformationBlock) {
    const Bytes body = Pattern(40, 5);
    Bytes block = {kQdIdMark, 0x00, static_cast<std::uint8_t>(body.size()), 0x00};
    Crc16 crc(kQdWriterCrc);
    crc.Update(block.data(), block.size(), true);
    const std::uint16_t sum = crc.Update(body.data(), body.size(), false);
    block.insert(block.end(), body.begin(), body.end());
    block.push_back(static_cast<std::uint8_t>(sum));
    block.push_back(static_cast<std::uint8_t>(sum >> 8));
    MztEntry entry = Entry("STORED", 3000, 2);
    const Bytes syncs(10, kQdSyncByte);
    std::copy(syncs.begin(), syncs.end(), entry.body.begin() + 1500);
    std::copy(block.begin(), block.end(), entry.body.begin() + 1510);
    const Bytes raw = QdRaw(QdStream(MztFile({entry})));
    const SideRescue clean = RescueQdSide({&raw});
    ASSERT_EQ("GGG", Statuses(clean));
    std::mt19937 rng(4);
    const auto cell = static_cast<std::size_t>(*clean.blocks[2].cell) + 3;
    const Bytes read = Damage(raw, {{Fault::kFlip, cell}}, rng).raw;
    EXPECT_EQ("", WronglySure(RescueQdSide({&read}), BlockBytes(clean)));
}

// A cell lost inside a block leaves the rest read out of step, which over
// mostly zero bits breaks the clock rule only here and there. These bytes
// were searched for: so read, their CRC holds, with three breaks.
TEST(Rescue, AStretchReadOutOfStepIsNotGood) {
    const Bytes file = {0x00, 0x00, 0xc8, 0x00, 0x55, 0xee, 0xe2, 0xa5, 0xbb, 0x00};
    const Bytes raw = FdsRaw(FdsSideContent{{file}});
    const SideRescue clean = RescueFdsSide({&raw});
    ASSERT_EQ("GGGG", Statuses(clean));
    std::mt19937 rng(1);
    const auto cell = static_cast<std::size_t>(*clean.blocks[3].cell) + 151;
    const Bytes read = Damage(raw, {{Fault::kSlip, cell}}, rng).raw;
    const SideRescue rescue = RescueFdsSide({&read});
    ASSERT_EQ(4u, rescue.blocks.size());
    EXPECT_FALSE(IsSure(rescue.blocks[3].status)) << Statuses(rescue);
}

}  // namespace

// Tapes of as many records open their QD sides alike: worn reads of one
// beside a clean read of the other never give the other's blocks as its own.
TEST(Rescue, SidesThatOpenAlikeAreNotMerged) {
    const Bytes a = QdRaw(QdStream(MztFile({Entry("GAME", 3000, 11)})));
    const Bytes b = QdRaw(QdStream(MztFile({Entry("OTHER", 2000, 12)})));
    const SideRescue clean = RescueQdSide({&a});
    ASSERT_TRUE(clean.complete);
    // Three worn reads, a data cell flipped in the blocks listed, and the
    // clean read of the other tape last.
    const auto rescue = [&](const std::vector<std::vector<std::size_t>>& damaged,
                            std::optional<int> sideof) {
        std::mt19937 rng(6);
        std::vector<Bytes> reads;
        for (std::size_t r = 0; r < damaged.size(); ++r) {
            std::vector<Fault> faults;
            for (std::size_t block : damaged[r])
                faults.push_back(
                    {Fault::kFlip,
                     static_cast<std::size_t>(*clean.blocks[block].cell) + 201 + 160 * r});
            reads.push_back(Damage(a, faults, rng).raw);
        }
        reads.push_back(b);
        std::vector<const Bytes*> pointers;
        for (const Bytes& read : reads) pointers.push_back(&read);
        const SideRescue result = RescueQdSide(pointers, {sideof});
        EXPECT_EQ("", WronglySure(result, BlockBytes(clean)));
        return result;
    };
    // No copy of the first tape good: its blocks are conflicts, not the other's.
    EXPECT_FALSE(rescue({{1, 2}, {1, 2}, {1, 2}}, std::nullopt).complete);
    // Named by a worn read: the other's copies set aside, the worn ones voted.
    EXPECT_TRUE(rescue({{1, 2}, {1, 2}, {1, 2}}, 0).complete);
    // Its names good in two reads: two sides, told apart, and the named
    // worn read's side kept.
    EXPECT_EQ(2u, rescue({{1, 2}, {2}, {2}}, std::nullopt).sides.size());
    EXPECT_EQ(PassFate::kOtherSide, rescue({{1, 2}, {2}, {2}}, 0).passes.back().fate);
}
