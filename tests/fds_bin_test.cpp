// FDSStick and FDSemu layouts: the .bin of a disk read and the flash slots,
// read and written, told apart from the kinds they resemble, and damage in
// them reported.
#include "fds/fds_bin_image.h"
#include "fds/fds_qd_image.h"
#include "qdkit/detect.h"
#include "qdkit/kinds/kind.h"
#include "tests/qdkit_support.h"

namespace {

const Bytes kOneSide = FdsImage({FdsSide(3, 7)});
const Bytes kTwoSides = FdsImage({FdsSide(2, 1), FdsSide(3, 2)});

Content ReadAs(const FileKind& kind, const Bytes& file, FileReport& report, bool keep = false) {
    Probe probe(file);
    Bytes loaded;
    if (!kind.Load(probe, loaded, report)) return {};
    return kind.Read(loaded, keep, report);
}

std::vector<Produced> WriteOf(const FileKind& from, const Bytes& file, const FileKind& to) {
    FileReport report("test");
    std::vector<Produced> out = WriteAs(to, ReadAs(from, file, report), false, report);
    EXPECT_TRUE(report.errors.empty()) << from.name() << " -> " << to.name() << ": "
                                       << (report.errors.empty() ? "" : report.errors.front());
    return out;
}

// Blocks as a disk read lays them: lead-in, then per block its start mark,
// the block, its CRC, junk, and a gap.
Bytes ReadLayout(const Bytes& blocks, std::size_t leadin, const Bytes& junk, std::size_t gap) {
    Bytes bin(leadin, 0x00);
    WalkFdsBlocks(blocks, 0, blocks.size(), [&](const FdsBlockRef& block) {
        const std::uint8_t* at = &blocks[block.offset];
        const auto n = static_cast<std::size_t>(block.length);
        bin.push_back(0x80);
        bin.insert(bin.end(), at, at + n);
        const std::uint16_t crc = FdsBlockCrc(at, n);
        bin.push_back(static_cast<std::uint8_t>(crc));
        bin.push_back(static_cast<std::uint8_t>(crc >> 8));
        bin.insert(bin.end(), junk.begin(), junk.end());
        bin.insert(bin.end(), gap, 0x00);
    });
    return bin;
}

// A disk read of each side of an image, as the devices save it.
std::vector<Bytes> DiskReads(const Bytes& image) {
    std::vector<Bytes> reads;
    for (std::size_t at = 16; at + 65500 <= image.size(); at += 65500)
        reads.push_back(FdsStream(image, at));
    return reads;
}

TEST(FdsBin, FdsThroughEachLayoutComesBackByteForByte) {
    for (const Bytes* image : {&kOneSide, &kTwoSides}) {
        Bytes areas;
        for (const Bytes& read : DiskReads(*image)) {
            EXPECT_EQ(&FdsBinKind(), KindOfBytes(read));
            const std::vector<Produced> back = WriteOf(FdsBinKind(), read, FdsKind());
            ASSERT_EQ(1u, back.size());
            areas.insert(areas.end(), back[0].bytes.begin() + 16, back[0].bytes.end());
        }
        EXPECT_TRUE(SameBytes(*image, WithFdsHeader(areas, (*image)[4])));

        const std::vector<Produced> flash = WriteOf(FdsKind(), *image, FdsBinKind());
        ASSERT_EQ(1u, flash.size());
        EXPECT_EQ(".bin", flash[0].suffix);
        EXPECT_EQ((*image)[4] * 0x10000u, flash[0].bytes.size());
        const std::vector<Produced> back = WriteOf(FdsBinKind(), flash[0].bytes, FdsKind());
        ASSERT_EQ(1u, back.size());
        EXPECT_TRUE(SameBytes(*image, back[0].bytes));
    }
}

TEST(FdsBin, LayoutsByHand) {
    const Bytes blocks = FdsSideBlocks(FdsSide(2, 5));
    // A .bin is the kit's side stream: its lead-in, then gaps of 125 bytes.
    const Bytes bin = DiskReads(kOneSide).at(0);
    const Bytes stream = ReadLayout(FdsSideBlocks(FdsSide(3, 7)), 4224, {}, 125);
    EXPECT_TRUE(SameBytes(stream, Bytes(bin.begin(), bin.begin() + stream.size())));
    EXPECT_EQ(71680u, bin.size());

    // A slot: the name in UTF-16, the lead-in at 0xFE, the blocks from the
    // first start mark at 0x100 with gaps of 121 bytes, 0x00 to 64 KiB.
    const Bytes slot = WriteOf(FdsKind(), FdsImage({FdsSide(2, 5)}), FdsBinKind()).at(0).bytes;
    ASSERT_EQ(0x10000u, slot.size());
    Bytes header(0x100, 0x00);
    const std::string name = Text(Bytes(blocks.begin() + 16, blocks.begin() + 19));
    for (std::size_t c = 0; c < name.size(); ++c)
        header[2 * c] = static_cast<std::uint8_t>(name[c]);
    header[0xFE] = 28300 & 0xFF;
    header[0xFF] = 28300 >> 8;
    Bytes expected = Concat({header, ReadLayout(blocks, 0, {}, 121)});
    expected.resize(0x10000, 0x00);
    EXPECT_TRUE(SameBytes(expected, slot));
}

TEST(FdsBin, ReadsAsTheDevicesLeaveThem) {
    const Bytes blocks = FdsSideBlocks(FdsSide(3, 9));
    Bytes area = blocks;
    area.resize(65500, 0x00);
    const Bytes slot = WriteOf(FdsKind(), FdsImage({FdsSide(3, 9)}), FdsBinKind()).at(0).bytes;
    const struct {
        const char* what;
        Bytes file;
    } cases[] = {
        {"no lead-in", ReadLayout(blocks, 0, {}, 122)},
        {"a lead-in of 3537 bytes", ReadLayout(blocks, 3537, {}, 122)},
        {"junk behind each CRC", ReadLayout(blocks, 100, Hex("3F 81 80 07"), 110)},
        {"a slot cut short", Bytes(slot.begin(), slot.begin() + 0x2000)},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(&FdsBinKind(), KindOfBytes(c.file)) << c.what;
        FileReport report("test");
        const Content content = ReadAs(FdsBinKind(), c.file, report);
        EXPECT_TRUE(report.errors.empty()) << c.what << ": " << report.errors.front();
        ASSERT_EQ(1u, content.sides.size()) << c.what;
        EXPECT_TRUE(SameBytes(area, content.sides[0].area)) << c.what;
    }
}

// What each resembling kind is told for, the .bin beside it.
TEST(FdsBin, ToldApartFromTheKindsItResembles) {
    const Bytes bin = DiskReads(kOneSide).at(0);
    const Bytes flash = WriteOf(FdsKind(), kOneSide, FdsBinKind()).at(0).bytes;
    const struct {
        Bytes file;
        const FileKind& kind;
    } cases[] = {
        {kOneSide, FdsKind()},
        {Headerless(kOneSide), FdsKind()},
        {WriteOf(FdsKind(), kOneSide, FdsQdKind()).at(0).bytes, FdsQdKind()},
        {FdsRaw(FdsSide(3, 7)), FdsRawKind()},
        {bin, FdsBinKind()},
        {flash, FdsBinKind()},
    };
    for (const auto& c : cases) EXPECT_EQ(&c.kind, KindOfBytes(c.file)) << c.kind.name();
    // The blocks behind a lead-in but without their start marks.
    EXPECT_EQ(nullptr, KindOfBytes(Concat({Repeat(0, 300), Bytes(bin.begin() + 4225, bin.end())})));
    // A mark whose block fails its CRC tells no .bin.
    Bytes bad = bin;
    bad[4225 + 20] ^= 0x01;
    EXPECT_EQ(nullptr, KindOfBytes(bad));
    Bytes lead = bin;
    lead[10] = 0x01;
    EXPECT_EQ(nullptr, KindOfBytes(lead));
}

TEST(FdsBin, DamageIsReportedNeverGood) {
    Bytes bin = DiskReads(kOneSide).at(0);
    Bytes flash = WriteOf(FdsKind(), kTwoSides, FdsBinKind()).at(0).bytes;
    const FdsBinSideRead read = ReadFdsBinSide(bin, 0, bin.size());
    ASSERT_EQ(8u, read.blocks.size());
    // A byte inside file 2's data block; in the flash file, side B's.
    bin[read.blocks[5].block.offset + 50] ^= 0x10;
    const FdsFlashSlot slot = ReadFdsFlashSlot(flash, 1);
    flash[slot.side.blocks[5].block.offset + 50] ^= 0x10;
    const struct {
        const FileKind& kind;
        Bytes file;
        std::string error;
    } cases[] = {
        {FdsBinKind(), bin,
         "block 6 (ID 04, byte " + std::to_string(read.blocks[5].block.offset) + ") fails its CRC"},
        {FdsBinKind(), flash,
         "side B: block 6 (ID 04, byte " + std::to_string(slot.side.blocks[5].block.offset) +
             ") fails its CRC"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(&c.kind, KindOfBytes(c.file)) << c.kind.name();
        FileReport info("test");
        c.kind.Inspect(c.file, info);
        ASSERT_FALSE(info.errors.empty()) << c.kind.name();
        EXPECT_EQ(0u, info.errors.front().find(c.error)) << info.errors.front();
        FileReport verify("test");
        c.kind.Verify(c.file, verify);
        EXPECT_TRUE(verify.Failed()) << c.kind.name();
        FileReport strict("test");
        ReadAs(c.kind, c.file, strict);
        EXPECT_TRUE(strict.Failed()) << c.kind.name();
        FileReport salvage("test");
        ReadAs(c.kind, c.file, salvage, true);
        EXPECT_FALSE(salvage.Failed()) << c.kind.name();
        ASSERT_FALSE(salvage.warnings.empty()) << c.kind.name();
    }
    // The last file's start marks lost: its blocks are data no mark opens.
    Bytes lost = DiskReads(kOneSide).at(0);
    const FdsBinSideRead whole = ReadFdsBinSide(lost, 0, lost.size());
    for (std::size_t n : {6u, 7u}) lost[whole.blocks[n].block.offset - 1] = 0x00;
    FileReport early("test");
    FdsBinKind().Inspect(lost, early);
    ASSERT_FALSE(early.errors.empty());
    EXPECT_EQ("the side ends early: 2 of 3 files; data follows at byte " +
                  std::to_string(whole.blocks[6].block.offset) + " with no start mark before it",
              early.errors.front());
    const Json blocks = [&] {
        FileReport report("test");
        FdsBinKind().Inspect(bin, report);
        return report.facts["sides"][0]["blocks"];
    }();
    EXPECT_FALSE(blocks[5]["crc_ok"].get<bool>());
    EXPECT_TRUE(blocks[4]["crc_ok"].get<bool>());
}

TEST(FdsBin, ThroughTheBinary) {
    TempDir dir;
    WriteFile(dir / "game.fds", kTwoSides);
    WriteFile(dir / "read.bin", DiskReads(kTwoSides).at(0));
    RunResult run = RunProgram(dir.path(), "qdkit", {"convert", "--to", "fds-bin", "game.fds"});
    ASSERT_EQ(0, run.status) << run.err;
    run = RunProgram(dir.path(), "qdkit", {"info", "read.bin", "game.bin"});
    ASSERT_EQ(0, run.status) << run.err;
    for (const char* line : {"read.bin: fds-bin, 71680 bytes\n  a disk read of one side\n",
                             "game.bin: fds-bin, 131072 bytes\n  flash slots, 2 sides\n",
                             "slot 2: name \"\", lead-in 28300 bits"})
        EXPECT_NE(std::string::npos, run.out.find(line)) << line << "\n" << run.out;
    run = RunProgram(dir.path(), "qdkit", {"verify", "read.bin", "game.bin"});
    EXPECT_EQ(0, run.status) << run.err;
    run = RunProgram(dir.path(), "qdkit", {"convert", "-o", "back.fds", "game.bin"});
    ASSERT_EQ(0, run.status) << run.err;
    EXPECT_TRUE(SameBytes(kTwoSides, ReadFile(dir / "back.fds")));
    // A disk read becomes flash slots through its image.
    run = RunProgram(dir.path(), "qdkit", {"convert", "read.bin"});
    ASSERT_EQ(0, run.status) << run.err;
    run = RunProgram(dir.path(), "qdkit",
                     {"convert", "--to", "fds-bin", "-o", "slot.bin", "read.fds"});
    EXPECT_EQ(0, run.status) << run.err;
    EXPECT_EQ(0x10000u, ReadFile(dir / "slot.bin").size());

    Bytes bad = ReadFile(dir / "read.bin");
    bad[4225 + 56 + 2 + 125 + 1 + 1] ^= 0x01;  // the file amount block's count
    WriteFile(dir / "bad.bin", bad);
    run = RunProgram(dir.path(), "qdkit", {"convert", "bad.bin"});
    EXPECT_EQ(1, run.status);
    EXPECT_NE(std::string::npos, run.err.find("block 2 (ID 02, byte 4409) fails its CRC"))
        << run.err;
    EXPECT_FALSE(FileExists(dir / "bad.fds"));
}

}  // namespace
