#include <gtest/gtest.h>

#include <filesystem>

#include "common/crc16.h"
#include "qd/side_decoder.h"
#include "qddecode/options.h"
#include "samples/imagegen.h"
#include "tests/qd_side.h"
#include "tests/support.h"
#include "tests/texts.h"

namespace {

struct Recorder : QdDecodeEvents {
    void BlockCount(int count) override { out += "BLOCK NUM:" + std::to_string(count) + "\n"; }
    void ImageByte(std::uint8_t byte) override { image.push_back(byte); }
    bool DataByte(std::uint8_t byte, int offset) override {
        data.push_back(byte);
        offsets.push_back(offset);
        return true;
    }
    bool Information(const QdInfoRecord& record, int blocknumber) override {
        records.push_back(record);
        numbers.push_back(blocknumber);
        return true;
    }
    Bytes image, data;
    std::vector<int> offsets, numbers;
    std::vector<QdInfoRecord> records;
    std::string out;
};

struct Walked {
    QdDecodeResult result;
    Recorder sink;
};

Walked Walk(const Bytes& raw) {
    Walked w{};
    Crc16 crc(kQdCheckerCrc);
    w.result = DecodeQdSide(raw, crc, w.sink);
    return w;
}

const Bytes kBody = Pattern(40, 9);

TEST(QdWalk, Outcomes) {
    const Bytes count2 = QdBlock(Hex("A5 02"));
    const Bytes info = QdInfoBlock(1, "GAME", 40);
    const Bytes data = QdDataBlock(kBody);
    Bytes badcrc = data;
    badcrc.back() ^= 1;
    const struct {
        const char* what;
        Bytes raw;
        QdDecodeOutcome outcome;
        int value;
        std::string out;
        std::size_t records, databytes;
    } cases[] = {
        {"6144 raw bytes", Repeat(0x55, 6144), QdDecodeOutcome::kGapError, 0, "", 0, 0},
        {"one file", QdRaw(QdSide({count2, info, data})), QdDecodeOutcome::kNormalEnd, 0,
         "BLOCK NUM:2\n", 1, 40},
        {"one cell later", QdRaw(QdSide({count2, info, data}), 1), QdDecodeOutcome::kNormalEnd, 0,
         "BLOCK NUM:2\n", 1, 40},
        {"count block with a zero CRC", QdRaw(QdSide({Hex("A5 02 00 00")})),
         QdDecodeOutcome::kCrcError, 0xC130, "BLOCK NUM:2\n", 0, 0},
        {"count of 4, one file", QdRaw(QdSide({QdBlock(Hex("A5 04")), info, data})),
         QdDecodeOutcome::kGapError, 0, "BLOCK NUM:4\n", 1, 40},
        {"count of 0, no blocks", QdRaw(QdSide({QdBlock(Hex("A5 00"))})),
         QdDecodeOutcome::kNormalEnd, 0, "BLOCK NUM:0\n", 0, 0},
        {"mark 0x01 throughout",
         QdRaw(QdSide({QdBlock(Hex("01 02")), QdInfoBlock(1, "GAME", 40, 0x01),
                       QdDataBlock(kBody, 5, 0x01)})),
         QdDecodeOutcome::kNormalEnd, 0, "BLOCK NUM:2\n", 1, 40},
        {"0xA5 then 0x01", QdRaw(QdSide({count2, QdInfoBlock(1, "GAME", 40, 0x01)})),
         QdDecodeOutcome::kIdError, 1, "BLOCK NUM:2\n", 0, 0},
        {"block type 8", QdRaw(QdSide({count2, info, QdDataBlock(kBody, 8)})),
         QdDecodeOutcome::kUnknownType, 8, "BLOCK NUM:2\n", 1, 0},
        {"block type 7 is data", QdRaw(QdSide({count2, info, QdDataBlock(kBody, 7)})),
         QdDecodeOutcome::kNormalEnd, 0, "BLOCK NUM:2\n", 1, 40},
        {"body size 0", QdRaw(QdSide({count2, info, QdDataBlock({})})), QdDecodeOutcome::kNormalEnd,
         0, "BLOCK NUM:2\n", 1, 0},
        {"broken data CRC", QdRaw(QdSide({count2, info, badcrc})), QdDecodeOutcome::kCrcError, -1,
         "BLOCK NUM:2\n", 1, 40},
        {"no ID mark after the last block", QdRaw(QdSide({count2, info, data, Hex("33 44")})),
         QdDecodeOutcome::kNormalEnd, 0, "BLOCK NUM:2\n", 1, 40},
        {"no ID mark before the last block", QdRaw(QdSide({count2, info, Hex("33 44")})),
         QdDecodeOutcome::kIdError, 0x33, "BLOCK NUM:2\n", 1, 0},
        {"more blocks than counted", QdRaw(QdSide({QdBlock(Hex("A5 00")), info, data})),
         QdDecodeOutcome::kNormalEnd, 0, "BLOCK NUM:0\n", 1, 40},
    };
    for (const auto& c : cases) {
        const Walked w = Walk(c.raw);
        EXPECT_EQ(c.outcome, w.result.outcome) << c.what;
        const int value = c.outcome == QdDecodeOutcome::kCrcError ? w.result.check : w.result.byte;
        if (c.value >= 0) EXPECT_EQ(c.value, value) << c.what;
        EXPECT_EQ(c.out, w.sink.out) << c.what;
        EXPECT_EQ(c.records, w.sink.records.size()) << c.what;
        EXPECT_EQ(c.databytes, w.sink.data.size()) << c.what;
        if (c.databytes == 40) EXPECT_TRUE(SameBytes(kBody, w.sink.data)) << c.what;
    }
}

TEST(QdWalk, RebuiltStreamOfAnEncodedSide) {
    MztEntry entry;
    entry.name = "GAME";
    entry.body = kBody;
    const Bytes count2 = QdBlock(Hex("A5 02"));
    const Bytes info = QdInfoBlock(1, "GAME", 40);
    const Walked w = Walk(QdRaw(QdSide({count2, info, QdDataBlock(kBody)})));
    ASSERT_EQ(QdDecodeOutcome::kNormalEnd, w.result.outcome);
    // Sync runs of ten come out as eight; gaps keep their length, the
    // leading one gains a byte.
    const Bytes expected =
        Concat({Repeat(0, 4786), Repeat(0x16, 8), Hex("A5 02 FA 91"), Repeat(0x16, 6),
                Repeat(0, 32 + 224), Repeat(0x16, 8), info, Repeat(0x16, 6), Repeat(0, 256),
                Repeat(0x16, 8), QdDataBlock(kBody), Repeat(0x16, 6), Repeat(0, 32)});
    ASSERT_GE(w.sink.image.size(), expected.size());
    EXPECT_TRUE(
        SameBytes(expected, Bytes(w.sink.image.begin(), w.sink.image.begin() + expected.size())));
    EXPECT_EQ((std::vector<int>{0}), w.sink.numbers);
    for (std::size_t i = 0; i < w.sink.offsets.size(); ++i)
        EXPECT_EQ(static_cast<int>(i), w.sink.offsets[i]);
}

TEST(QdOptions, Parsing) {
    const struct {
        std::vector<const char*> args;
        bool image, split, mzt;
        std::string file;
    } cases[] = {
        {{"side.raw"}, false, false, false, "side.raw"},
        {{"-d", "side.raw", "-m"}, true, false, true, "side.raw"},
        {{"/D", "-dump", "/s", "side.raw"}, true, true, false, "side.raw"},
        {{"-x", "/x", "/", "-", "a", "b"}, false, false, false, "a"},
        {{"-d"}, true, false, false, ""},
        {{"-d", "/home/user/side.raw"}, true, false, false, "/home/user/side.raw"},
        {{"/work\\side.raw", "/m"}, false, false, true, "/work\\side.raw"},
        {{"C:\\work\\side.raw", "-s"}, false, true, false, "C:\\work\\side.raw"},
    };
    for (const auto& c : cases) {
        std::vector<const char*> argv = {"Pelgrane"};
        argv.insert(argv.end(), c.args.begin(), c.args.end());
        const QdCommandLine line = ParseQdCommandLine(static_cast<int>(argv.size()), argv.data());
        EXPECT_EQ(c.image, line.options.image) << c.file;
        EXPECT_EQ(c.split, line.options.split) << c.file;
        EXPECT_EQ(c.mzt, line.options.mzt) << c.file;
        EXPECT_EQ(c.file, line.imagefile);
    }
}

class PelgraneRun : public ::testing::Test {
protected:
    RunResult Run(const Bytes& raw, std::vector<std::string> options = {}) {
        WriteFile(dir / "side.raw", raw);
        options.push_back("side.raw");
        return RunProgram(dir.path(), "Pelgrane", options);
    }
    TempDir dir;
};

TEST_F(PelgraneRun, UsageAndArguments) {
    RunResult run = RunProgram(dir.path(), "Pelgrane", {});
    EXPECT_EQ(
        "QD image decoder  (C) 2026 Quick Disk kit developers\nUsage : Pelgrane [option] "
        "imagefile\n Options\n"
        " -d dump file\n -s split dump mode\n -m dump mzt file\n",
        run.out);
    EXPECT_EQ(0, run.status);

    run = RunProgram(dir.path(), "Pelgrane", {"-d"});
    EXPECT_EQ("ERROR: filename \x82\xAA\x82\xA0\x82\xE8\x82\xDC\x82\xB9\x82\xF1\n", run.err);
    EXPECT_EQ(1, run.status);

    run = RunProgram(dir.path(), "Pelgrane", {"-m", "none.raw"});
    EXPECT_EQ("ERROR : file not found. [none.raw]\n", run.err);
    EXPECT_EQ(1, run.status);

    WriteFile(dir / "empty.raw", {});
    run = RunProgram(dir.path(), "Pelgrane", {"empty.raw"});
    EXPECT_EQ("ERROR : file read error.\n", run.err);
    EXPECT_EQ(1, run.status);
    EXPECT_TRUE(std::filesystem::is_regular_file(dir / "empty.raw"));
}

TEST_F(PelgraneRun, ListingOnly) {
    const Bytes raw =
        QdRaw(QdSide({QdBlock(Hex("A5 02")), QdInfoBlock(3, "AB%\r", 0x1234), QdDataBlock(kBody)}));
    const RunResult run = Run(raw);
    EXPECT_EQ(kListingText +
                  "BLOCK NUM:2\nFILE INFORMATION\nNAME:AB%%%0D             \nATTR:03\nSIZE:1234\n" +
                  "LOAD:0000\nEXEC:0000\n\n" + kDoneText,
              run.out);
    EXPECT_EQ("", run.err);
    EXPECT_EQ(0, run.status);
    EXPECT_EQ(1, std::distance(std::filesystem::directory_iterator(dir.path()), {}));
}

TEST_F(PelgraneRun, WalkErrorsEndTheRun) {
    const Bytes count2 = QdBlock(Hex("A5 02"));
    const Bytes info = QdInfoBlock(1, "GAME", 40);
    Bytes badcrc = QdDataBlock(kBody);
    badcrc.back() ^= 0x80;
    const struct {
        const char* what;
        Bytes raw;
        std::string err;
    } cases[] = {
        {"short raw image", Repeat(0x55, 6000), kGapErrorText},
        {"count block CRC", QdRaw(QdSide({Hex("A5 02 00 00")})),
         "ERROR : CRC\x83G\x83\x89\x81[(C130)\n"},
        {"mixed marks", QdRaw(QdSide({count2, QdInfoBlock(1, "GAME", 40, 0x01)})),
         "ERROR : \x83u\x83\x8D\x83"
         "b\x83NID\x82\xAA\x88\xD9\x8F\xED\x82\xC5\x82\xB7(01)\n"},
        {"block type 8", QdRaw(QdSide({count2, info, QdDataBlock(kBody, 8)})),
         "ERROR: Unknown block type (08)\n"},
        {"data CRC", QdRaw(QdSide({count2, info, badcrc})), "ERROR : CRC\x83G\x83\x89\x81["},
    };
    for (const auto& c : cases) {
        const RunResult run = Run(c.raw, {"-m", "-d"});
        EXPECT_EQ(c.err, run.err.substr(0, c.err.size())) << c.what;
        EXPECT_EQ(1, run.status) << c.what;
        EXPECT_EQ(std::string::npos, run.out.find(kDoneText)) << c.what;
        EXPECT_LT(ReadFile(dir / "side.qdf").size(), 81936u) << c.what;
    }
    // The bad block's body is in the MZT file already.
    const Bytes mzt = ReadFile(dir / "side.mzt");
    EXPECT_TRUE(SameBytes(kBody, Bytes(mzt.begin() + 128, mzt.end())));
}

TEST_F(PelgraneRun, SplitDump) {
    const Bytes text = Hex("05 00 41 42 1A 43");
    const Bytes raw =
        QdRaw(QdSide({QdBlock(Hex("A5 04")), QdInfoBlock(3, "TEXT", 6), QdDataBlock(text),
                      QdInfoBlock(1, "BIN", 6), QdDataBlock(text)}));
    const RunResult run = Run(raw, {"-s"});
    EXPECT_EQ(0, run.status);
    EXPECT_EQ(kConvertingText, run.out.substr(0, kConvertingText.size()));
    EXPECT_TRUE(SameBytes(Hex("41 42"), ReadFile(dir / "side.01.QDDATA")));
    EXPECT_TRUE(SameBytes(text, ReadFile(dir / "side.03.QDDATA")));
    const Bytes info0 = ReadFile(dir / "side.00.QDINFO"), info2 = ReadFile(dir / "side.02.QDINFO");
    ASSERT_EQ(64u, info0.size());
    ASSERT_EQ(64u, info2.size());
    EXPECT_EQ(3, info0[0]);
    EXPECT_EQ('T', info0[1]);
    EXPECT_EQ(1, info2[0]);
    EXPECT_EQ(6, info2[20]);
}

TEST_F(PelgraneRun, DataBeforeAnyInformationWritesNoDump) {
    const Bytes raw = QdRaw(QdSide({QdBlock(Hex("A5 01")), QdDataBlock(kBody)}));
    const RunResult run = Run(raw, {"-s"});
    EXPECT_EQ(0, run.status);
    EXPECT_EQ(1, std::distance(std::filesystem::directory_iterator(dir.path()), {}));
}

TEST_F(PelgraneRun, OutputFailures) {
    const Bytes raw =
        QdRaw(QdSide({QdBlock(Hex("A5 02")), QdInfoBlock(1, "GAME", 40), QdDataBlock(kBody)}));
    std::filesystem::create_directory(dir / "side.mzt");
    RunResult run = Run(raw, {"-d", "-m"});
    EXPECT_EQ("ERROR : file open error.\n", run.err);
    EXPECT_EQ(1, run.status);
    EXPECT_FALSE(FileExists(dir / "side.qdf"));  // nothing read, nothing written
    std::filesystem::remove(dir / "side.mzt");

    std::filesystem::create_directory(dir / "side.00.QDINFO");
    run = Run(raw, {"-s"});
    EXPECT_EQ("ERROR : file open error (side.00.QDINFO)\n", run.err);
    EXPECT_EQ(1, run.status);
}

TEST_F(PelgraneRun, WriteFailures) {
    if (!FileExists("/dev/full")) GTEST_SKIP() << kNoDevFull;
    const Bytes raw =
        QdRaw(QdSide({QdBlock(Hex("A5 02")), QdInfoBlock(1, "GAME", 40), QdDataBlock(kBody)}));
    RunResult run;
    for (const char* name : {"side.qdf", "side.mzt", "side.01.QDDATA"}) {
        std::filesystem::remove(dir / name);
        std::filesystem::create_symlink("/dev/full", dir / name);
        run = Run(raw, {"-d", "-m", "-s"});
        EXPECT_EQ("ERROR : file write error.\n", run.err) << name;
        EXPECT_EQ(std::string::npos, run.out.find(kDoneText)) << name;
        EXPECT_EQ(1, run.status) << name;
        std::filesystem::remove(dir / name);
    }
    std::filesystem::remove(dir / "side.00.QDINFO");
    std::filesystem::create_symlink("/dev/full", dir / "side.00.QDINFO");
    run = Run(raw, {"-s"});
    EXPECT_EQ("ERROR : file write error (side.00.QDINFO)\n", run.err);
    EXPECT_EQ(1, run.status);
}

}  // namespace
