#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

#include "common/bitstream.h"
#include "common/crc16.h"
#include "fds/fds_layout.h"
#include "fds/side_decoder.h"
#include "fds/side_encoder.h"
#include "samples/imagegen.h"
#include "tests/support.h"
#include "tests/texts.h"

namespace {

const std::string kStart =
    "\x8Fo\x97\xCD\x83t\x83@\x83"
    "C\x83\x8B:side.fds\n\x95\xCF\x8A\xB7\x82\xB5\x82\xC4\x82\xA2\x82\xDC\x82\xB7...\n";

// The side stream that the encoder makes of side 0 of image.
Bytes SideStream(const Bytes& image) {
    Bytes stream;
    Crc16 crc(kFdsWriterCrc);
    EXPECT_EQ(FdsSideStatus::kOk, BuildFdsSide(image, 16, stream, crc).status);
    return stream;
}

Bytes Raw(const Bytes& stream) {
    BitWriter writer;
    EncodeSide(writer, stream.data(), stream.size());
    return writer.bitstreambuffer;
}

// Stream offset of the ID byte of file n's header block.
std::size_t FileHeaderId(const FdsSideContent& side, std::size_t n) {
    std::size_t at = 4224 + 184 + 130 + 1;
    for (std::size_t i = 0; i < n; ++i) at += 144 + 129 + side.files[i].size();
    return at;
}

// Stream offset of the ID byte of file n's data block.
std::size_t FileDataId(const FdsSideContent& side, std::size_t n) {
    return FileHeaderId(side, n) + 144;
}

Bytes Head(const Bytes& bytes, std::size_t n) {
    return Bytes(bytes.begin(), bytes.begin() + n);
}

FdsSideRead Decode(const Bytes& raw) {
    return ReadFdsSide(raw);
}

FdsSideContent Side(std::vector<Bytes> files, int announced = -1) {
    FdsSideContent side;
    side.files = std::move(files);
    side.announced = announced;
    return side;
}

TEST(FdsRoundTrip, ImagesComeBackWhole) {
    std::vector<Bytes> many;
    for (std::uint32_t i = 0; i < 40; ++i) many.push_back(Pattern(i * 37 % 300, i));
    const struct {
        const char* what;
        FdsSideContent side;
    } cases[] = {
        {"no files", Side({})},
        {"one empty file", Side({Bytes{}})},
        {"many files", Side(many)},
        {"a file of several kilobytes", Side({Pattern(9000, 7)})},
        {"more files than announced", Side({Pattern(10, 1), Pattern(20, 2), Pattern(30, 3)}, 1)},
        {"zero runs inside a file", Side({Repeat(0, 2000), Hex("80 00 80")})},
    };
    for (const auto& c : cases) {
        const Bytes image = FdsImage({c.side});
        const FdsSideRead d = Decode(Raw(SideStream(image)));
        EXPECT_EQ(FdsDecodeOutcome::kComplete, d.outcome) << c.what;
        EXPECT_TRUE(SameBytes(image, d.image)) << c.what;
        EXPECT_TRUE(d.problems.empty()) << c.what;
    }
}

TEST(FdsRoundTrip, OneCellLateStillDecodes) {
    const Bytes image = FdsImage({Side({Pattern(500, 9)})});
    const Bytes raw = Raw(SideStream(image));
    Bytes late(raw.size() + 1, 0);
    for (std::size_t i = 0; i < raw.size(); ++i) {
        late[i] = static_cast<std::uint8_t>(late[i] | raw[i] << 1);
        late[i + 1] = static_cast<std::uint8_t>(raw[i] >> 7);
    }
    const FdsSideRead d = Decode(late);
    EXPECT_EQ(FdsDecodeOutcome::kComplete, d.outcome);
    EXPECT_TRUE(SameBytes(image, d.image));
}

TEST(FdsDecoder, LargeSidesAreWrittenWithoutFill) {
    const FdsSideContent side = Side({Pattern(65535, 1), Pattern(1061, 2)});
    const Bytes blocks = FdsSideBlocks(side);
    const Bytes image = Concat({Hex("46 44 53 1A 01"), Repeat(0, 11), blocks});
    const FdsSideRead d = Decode(Raw(SideStream(image)));
    EXPECT_EQ(FdsDecodeOutcome::kComplete, d.outcome);
    EXPECT_TRUE(SameBytes(image, d.image));  // over 65500 side bytes: no fill, no cut
}

TEST(FdsDecoder, SearchSyncNeedsALongGap) {
    // 128 groups of four zero bits are not enough; 129 are.
    for (int groups : {128, 129}) {
        Bytes raw = Repeat(0x55, static_cast<std::size_t>(groups));
        raw.push_back(0x52);  // first pair: clock 0, data 1
        FdsReader reader(raw);
        EXPECT_EQ(groups == 129 ? SyncSearch::kFound : SyncSearch::kEnd, reader.SearchSync())
            << groups;
    }
}

class OmbliskRun : public ::testing::Test {
protected:
    RunResult Run(const Bytes& raw) {
        WriteFile(dir / "side.raw", raw);
        return RunProgram(dir.path(), "Omblisk", {"side.raw"});
    }
    Bytes Output() { return ReadFile(dir / "side.fds"); }
    TempDir dir;
};

TEST_F(OmbliskRun, Usage) {
    const RunResult run = RunProgram(dir.path(), "Omblisk", {});
    EXPECT_EQ("FDS image decoder  (C) 2026 Quick Disk kit developers\n Usage : Omblisk filename\n",
              run.out);
    EXPECT_EQ(0, run.status);
}

TEST_F(OmbliskRun, CleanSide) {
    const Bytes image = FdsImage({Side({Pattern(100, 1), Pattern(5, 2)})});
    const RunResult run = Run(Raw(SideStream(image)));
    EXPECT_EQ(kStart + "FILE NUM: 2\n" + kDoneText, run.out);
    EXPECT_EQ("", run.err);
    EXPECT_EQ(0, run.status);
    EXPECT_TRUE(SameBytes(image, Output()));
}

TEST_F(OmbliskRun, DamagedSides) {
    const FdsSideContent side = Side({Pattern(100, 1), Pattern(3000, 2), Pattern(50, 3)}, 2);
    const Bytes image = FdsImage({side});
    const Bytes stream = SideStream(image);
    const Bytes raw = Raw(stream);
    const std::size_t file1 = FileHeaderId(side, 1), file2 = FileHeaderId(side, 2);

    Bytes flipped = stream;
    flipped[FileDataId(side, 1) + 10] ^= 0x40;  // a byte of the second file's data
    Bytes id5 = stream;
    id5[file1] = 0x05;
    Bytes id0_before = stream;
    id0_before[file1] = 0x00;
    Bytes id0_after = stream;
    id0_after[file2] = 0x00;
    Bytes two_of_three =
        SideStream(FdsImage({Side({Pattern(100, 1), Pattern(3000, 2), Pattern(50, 3)})}));
    std::fill(two_of_three.begin() + static_cast<std::ptrdiff_t>(file2) - 1, two_of_three.end(), 0);
    two_of_three[4224 + 184 + 2] = 3;  // still announces 3, fix its CRC below
    Crc16 crc(kFdsWriterCrc);
    crc.CRC_check(0x02, true);
    const std::uint16_t amount_crc = crc.CRC_check(3, false);
    two_of_three[4224 + 184 + 3] = amount_crc & 0xFF;
    two_of_three[4224 + 184 + 4] = amount_crc >> 8;

    char position[16];
    std::snprintf(position, sizeof position, "%6X", static_cast<unsigned>(2 * (file1 + 1)));
    const std::size_t kept1 = 16 + 56 + 2 + 16 + 101;  // header and blocks up to file 1
    const struct {
        const char* what;
        Bytes raw;
        std::string out, err;
        int status;
        std::size_t size;  // of the FDS image written
    } cases[] = {
        {"flipped data byte", Raw(flipped), "FILE NUM: 2\n" + kDoneText,
         "ERROR : CRC \x82\xAA\x90\xB3\x82\xB5\x82\xAD\x82\xA0\x82\xE8\x82\xDC\x82\xB9\x82\xF1\x81"
         "Bindex:1 crc:",
         1, 65516},
        {"cut in a file before all are in", Head(raw, 2 * (FileDataId(side, 1) + 500)),
         "FILE NUM: 2\n" + kDoneText, kEndOfDataText, 1, 65516},
        {"cut in a file beyond the announced", Head(raw, 2 * (FileDataId(side, 2) + 20)),
         "FILE NUM: 2\n" + kDoneText, "", 0, 65516},
        // No block decoded: no image is written.
        {"shorter than the lead-in", Repeat(0x55, 5631), "", kEndOfDataText, 1, 0},
        {"only the lead-in", Repeat(0x55, 5632), "",
         "ERROR : Sync\x83"
         "f\x81[\x83^\x82\xAA\x8C\xA9\x82\xC2\x82\xA9\x82\xE8\x82\xDC\x82\xB9\x82\xF1\x81"
         "B(ERROR 21)\n",
         1, 0},
        {"ID 5 ends the side", Raw(id5), "FILE NUM: 2\n" + kDoneText, "", 0, 65516},
        {"ID 0 before the announced files", Raw(id0_before), "FILE NUM: 2\n",
         kBadBlockIdText + "00 " + position + "\n", 1, kept1},
        {"ID 0 after the announced files", Raw(id0_after), "FILE NUM: 2\n" + kDoneText, "", 0,
         65516},
        {"3 announced, 2 carried", Raw(two_of_three), "FILE NUM: 3\n",
         "ERROR : Sync\x83"
         "f\x81[\x83^\x82\xAA\x8C\xA9\x82\xC2\x82\xA9\x82\xE8\x82\xDC\x82\xB9\x82\xF1\x81"
         "B  2/  3\n",
         1, kept1 + 16 + 3001},
    };
    for (const auto& c : cases) {
        std::filesystem::remove(dir / "side.fds");
        const RunResult run = Run(c.raw);
        EXPECT_EQ(kStart + c.out, run.out) << c.what;
        EXPECT_EQ(c.err, run.err.substr(0, c.err.size())) << c.what;
        EXPECT_EQ(c.status, run.status) << c.what;
        EXPECT_EQ(c.size, Output().size()) << c.what;
    }
}

// A data block only right after its header; right after a header only its data.
TEST_F(OmbliskRun, BlocksOutOfOrder) {
    const FdsSideContent side = Side({Pattern(100, 1), Pattern(100, 2), Pattern(3000, 3)});
    const Bytes stream = SideStream(FdsImage({side}));
    // The stream without the block whose ID byte is at `at`, of `length` bytes.
    const auto without = [&](std::size_t at, std::size_t length) {
        Bytes cut = stream;
        const auto from = cut.begin() + static_cast<std::ptrdiff_t>(at - 1);
        cut.erase(from, from + static_cast<std::ptrdiff_t>(length + 128));
        return cut;
    };
    Bytes id5 = stream;
    id5[FileDataId(side, 1)] = 0x05;
    const std::size_t file0 = 16 + 56 + 2 + 16 + 101, file1 = file0 + 16 + 101;
    const struct {
        const char* what;
        Bytes stream;
        std::size_t at;  // stream offset of the offending ID byte
        const char* id;
        std::size_t kept;  // image bytes salvaged
    } cases[] = {
        {"header hidden, data of the same size", without(FileHeaderId(side, 1), 16),
         FileHeaderId(side, 1), "04", file0},
        {"header hidden, data of another size", without(FileHeaderId(side, 2), 16),
         FileHeaderId(side, 2), "04", file1},
        {"data missing", without(FileDataId(side, 1), 101), FileDataId(side, 1), "03", file0 + 16},
        {"ID 5 after a header", id5, FileDataId(side, 1), "05", file0 + 16},
    };
    for (const auto& c : cases) {
        std::filesystem::remove(dir / "side.fds");
        const RunResult run = Run(Raw(c.stream));
        char position[16];
        std::snprintf(position, sizeof position, "%6X", static_cast<unsigned>(2 * (c.at + 1)));
        EXPECT_EQ(kStart + "FILE NUM: 3\n", run.out) << c.what;
        EXPECT_EQ(kBadBlockIdText + c.id + " " + position + "\n", run.err) << c.what;
        EXPECT_EQ(1, run.status) << c.what;
        EXPECT_TRUE(SameBytes(Head(FdsImage({side}), c.kept), Output())) << c.what;
    }
}

TEST_F(OmbliskRun, SalvagedBytesAreKept) {
    const FdsSideContent side = Side({Pattern(100, 1), Pattern(3000, 2)});
    const Bytes image = FdsImage({side});
    const Bytes raw = Raw(SideStream(image));
    const std::size_t cut = FileDataId(side, 1) + 1 + 1000;  // 1000 bytes into file 1
    ASSERT_EQ(1, Run(Head(raw, 2 * cut)).status);
    const Bytes out = Output();
    const std::size_t kept = 16 + 56 + 2 + 16 + 101 + 16 + 1 + 1000;
    EXPECT_TRUE(SameBytes(Head(image, kept), Head(out, kept)));
    EXPECT_TRUE(SameBytes(Repeat(0, 65516 - kept), Bytes(out.begin() + kept, out.end())));
}

TEST_F(OmbliskRun, OutputFailures) {
    const Bytes raw = Raw(SideStream(FdsImage({Side({Pattern(10, 1)})})));
    std::filesystem::create_directory(dir / "side.fds");
    RunResult run = Run(raw);
    EXPECT_EQ("ERROR : file open error.\n", run.err);
    EXPECT_EQ(1, run.status);
}

TEST_F(OmbliskRun, WriteFailure) {
    if (!FileExists("/dev/full")) GTEST_SKIP() << kNoDevFull;
    const Bytes raw = Raw(SideStream(FdsImage({Side({Pattern(10, 1)})})));
    std::filesystem::create_symlink("/dev/full", dir / "side.fds");
    const RunResult run = Run(raw);
    EXPECT_EQ("ERROR : file write error.\n", run.err);
    EXPECT_EQ(kStart + "FILE NUM: 1\n", run.out);
    EXPECT_EQ(1, run.status);
}

}  // namespace
