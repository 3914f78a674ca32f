// qdkit convert and join through the built binary: the classic programs'
// bytes where they apply, the files real collections hold, and the safety of
// every output.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "fds/side_rescue.h"
#include "tests/qdkit_support.h"

namespace {

namespace fs = std::filesystem;

struct Step {
    std::string program;
    std::vector<std::string> args;
};

const Bytes kTape = MztFile({Entry("MONITOR", 4096, 1), Entry("HELLO", 31, 2)});
const Bytes kTwoSides = FdsImage({FdsSide(2, 1), FdsSide(3, 2)});

TEST(QdkitConvert, SameBytesAsTheClassicPrograms) {
    const struct {
        std::string input;
        Bytes bytes;
        std::vector<std::string> args;  // after "convert"
        std::vector<Step> classic;
        std::vector<std::pair<std::string, std::string>> outputs;  // qdkit's, the classic one
    } cases[] = {
        {"two.fds",
         kTwoSides,
         {},
         {{"Talvret", {"../two.fds"}}},
         {{"two.DKA", "two.DKA"}, {"two.DKB", "two.DKB"}}},
        {"plain",
         Headerless(kTwoSides),
         {},
         {{"Talvret", {"../plain"}}},
         {{"plain.DKA", "plain.DKA"}, {"plain.DKB", "plain.DKB"}}},
        {"side.DKA",
         FdsRaw(FdsSide(3, 4)),
         {},
         {{"Omblisk", {"../side.DKA"}}},
         {{"side.fds", "side.fds"}}},
        {"tape.mzt", kTape, {}, {{"Surbeck", {"../tape.mzt"}}}, {{"tape.QDK", "tape.QDK"}}},
        {"tape.qdf",
         QdImageOf(kTape),
         {},
         {{"Wenmark", {"../tape.qdf", "t.raw"}}},
         {{"tape.QDK", "t.raw"}}},
        {"side.QDK",
         QdRaw(QdStream(kTape)),
         {},
         {{"Pelgrane", {"-m", "../side.QDK"}}},
         {{"side.mzt", "side.mzt"}}},
        {"side.QDK",
         QdRaw(QdStream(kTape)),
         {"--to", "qdf"},
         {{"Pelgrane", {"-d", "../side.QDK"}}},
         {{"side.qdf", "side.qdf"}}},
        {"tape.mzt",
         kTape,
         {"--to", "qdf"},
         {{"Surbeck", {"../tape.mzt"}}, {"Pelgrane", {"-d", "tape.QDK"}}},
         {{"tape.qdf", "tape.qdf"}}},
        {"tape.qdf",
         QdImageOf(kTape),
         {"--to", "mzt"},
         {{"Wenmark", {"../tape.qdf", "t.raw"}}, {"Pelgrane", {"-m", "t.raw"}}},
         {{"tape.mzt", "t.mzt"}}},
    };
    for (const auto& c : cases) {
        TempDir dir;
        fs::create_directory(dir / "kit");
        fs::create_directory(dir / "classic");
        WriteFile(dir / c.input, c.bytes);
        for (const Step& step : c.classic) {
            ASSERT_EQ(0, RunProgram(dir / "classic", step.program, step.args).status)
                << step.program;
        }
        std::vector<std::string> args{"convert"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        args.push_back("../" + c.input);
        const RunResult run = RunProgram(dir / "kit", "qdkit", args);
        EXPECT_EQ(0, run.status) << c.input << run.err;
        EXPECT_EQ(c.input == "plain" ? "qdkit: warning: ../plain: no header: the file holds the "
                                       "side areas alone\n"
                                     : "",
                  run.err);
        std::vector<std::string> names;
        for (const auto& [kit, classic] : c.outputs) {
            EXPECT_TRUE(
                SameBytes(ReadFile(dir / "classic/" + classic), ReadFile(dir / "kit/" + kit)))
                << c.input << " " << kit;
            names.push_back(kit);
        }
        std::vector<std::string> written;
        for (const auto& entry : fs::directory_iterator(dir / "kit")) {
            written.push_back(entry.path().filename().string());
        }
        std::sort(written.begin(), written.end());
        EXPECT_EQ(names, written) << c.input;
    }
}

// What real collections hold: each converts with a warning that names it,
// and --strict refuses it, writing nothing. Back through qdkit, every side
// area and every record comes back.
TEST(QdkitConvert, RealWorldInputsAndTheirWayBack) {
    const Bytes one = FdsImage({FdsSide(2, 1)});
    const Bytes shortened(kTwoSides.begin(), kTwoSides.end() - 60000);
    const Bytes cut(kTape.begin(), kTape.end() - 11);
    const struct {
        std::string input;
        Bytes bytes;
        std::vector<std::string> outputs;
        std::string warning;
        Bytes back;  // what converting the outputs back (and joining them) gives
    } cases[] = {
        {"trick.fds",
         FdsImage({FdsSide(2, 1, 3)}),
         {"trick.DKA"},
         "side A: the file amount block announces 3 files, the side holds 2",
         FdsImage({FdsSide(2, 1, 3)})},
        {"plain",
         Headerless(kTwoSides),
         {"plain.DKA", "plain.DKB"},
         "no header: the file holds the side areas alone",
         kTwoSides},
        {"short.fds",
         shortened,
         {"short.DKA", "short.DKB"},
         "side B is cut short by the end of the file (5500 of 65500 bytes; the rest taken as "
         "0x00)",
         kTwoSides},
        {"blank.fds", WithBlankSide(one), {"blank.DKA"}, "side B: blank, skipped", one},
        {"cut.mzt",
         cut,
         {"cut.QDK"},
         "record 2 is cut short by 11 bytes; its body is filled with 0x00",
         Concat({cut, Bytes(11, 0)})},
        {"tail.mzt",
         Concat({kTape, Bytes(5, 0x1A)}),
         {"tail.QDK"},
         "5 bytes after the last record are ignored",
         kTape},
    };
    for (const auto& c : cases) {
        TempDir dir;
        WriteFile(dir / c.input, c.bytes);
        RunResult run = RunProgram(dir.path(), "qdkit", {"convert", "--strict", c.input});
        EXPECT_EQ(1, run.status) << c.input;
        EXPECT_EQ("qdkit: error: " + c.input + ": " + c.warning + " (--strict)\n", run.err);
        for (const std::string& name : c.outputs) EXPECT_FALSE(FileExists(dir / name)) << name;

        run = RunProgram(dir.path(), "qdkit", {"convert", c.input});
        EXPECT_EQ(0, run.status) << c.input;
        EXPECT_EQ("qdkit: warning: " + c.input + ": " + c.warning + "\n", run.err);
        for (const std::string& name : c.outputs) EXPECT_TRUE(FileExists(dir / name)) << name;

        std::vector<std::string> args{"join", "-o", "back"};
        if (c.input.find(".mzt") != std::string::npos) args = {"convert", "-o", "back"};
        args.insert(args.end(), c.outputs.begin(), c.outputs.end());
        run = RunProgram(dir.path(), "qdkit", args);
        EXPECT_EQ(0, run.status) << c.input << run.err;
        EXPECT_TRUE(SameBytes(c.back, ReadFile(dir / "back"))) << c.input;
    }
}

TEST(QdkitConvert, FourSides) {
    const Bytes four = FdsImage({FdsSide(1, 10), FdsSide(2, 20), FdsSide(3, 30), FdsSide(4, 40)});
    TempDir dir;
    fs::create_directory(dir / "some");
    WriteFile(dir / "four.fds", four);
    ASSERT_EQ(0, RunProgram(dir.path(), "qdkit", {"convert", "four.fds"}).status);
    RunResult run =
        RunProgram(dir.path(), "qdkit", {"convert", "--side", "3,4", "-C", "some", "four.fds"});
    const std::string some = std::string("some") + static_cast<char>(fs::path::preferred_separator);
    EXPECT_EQ("four.fds -> " + some + "four.DKC\nfour.fds -> " + some + "four.DKD\n", run.out);
    EXPECT_FALSE(FileExists(dir / "some/four.DKA"));
    for (const std::string name : {"four.DKC", "four.DKD"}) {
        EXPECT_TRUE(SameBytes(ReadFile(dir / name), ReadFile(dir / ("some/" + name))));
    }
    run = RunProgram(dir.path(), "qdkit",
                     {"join", "-o", "back.fds", "four.DKA", "four.DKB", "four.DKC", "four.DKD"});
    EXPECT_EQ("back.fds <- 4 sides\n", run.out);
    EXPECT_TRUE(SameBytes(four, ReadFile(dir / "back.fds")));
    // One-side images join as well as raw sides.
    ASSERT_EQ(0, RunProgram(dir.path(), "qdkit", {"convert", "-C", "some", "four.DKB"}).status);
    run = RunProgram(dir.path(), "qdkit", {"join", "-o", "ab.fds", "four.DKA", "some/four.fds"});
    EXPECT_EQ(0, run.status) << run.err;
    EXPECT_TRUE(SameBytes(FdsImage({FdsSide(1, 10), FdsSide(2, 20)}), ReadFile(dir / "ab.fds")));
}

TEST(QdkitConvert, Refusals) {
    const Bytes raw = FdsRaw(FdsSide(2, 1));
    const Bytes damaged = FlipDataBit(raw, 4700);
    // A read that lost the second of three files whole, the gap before it too.
    Bytes lost = FdsRaw(FdsSide(3, 1));
    const SideRescue blocks = RescueFdsSide({&lost});
    std::fill(lost.begin() + *blocks.blocks[4].cell / 8 - 50,
              lost.begin() + *blocks.blocks[6].cell / 8 - 100, std::uint8_t{0});
    const struct {
        std::vector<std::string> args;
        std::string err;
        std::vector<std::string> unchanged;  // files that must keep their bytes
    } cases[] = {
        {{"convert", "two.fds"},
         "qdkit: error: two.fds: output two.DKA exists (--force replaces it)\n"
         "qdkit: error: two.fds: output two.DKB exists (--force replaces it)\n",
         {"two.DKA"}},
        {{"convert", "--force", "side.fds"},
         "qdkit: error: side.fds: output side.fds is an input of this call\n",
         {"side.fds"}},
        {{"convert", "--force", "two.DKA", "-o", "hard.DKA"},
         "qdkit: error: two.DKA: output hard.DKA is an input of this call\n",
         {"two.DKA"}},
        {{"convert", "-o", "x", "two.fds"},
         "qdkit: error: two.fds: -o names one output, this conversion writes 2\n",
         {}},
        {{"convert", "--to", "fds", "tape.QDK"},
         "qdkit: error: tape.QDK: a qd-raw file does not convert to fds; it converts to mzt, qdf, "
         "hxc-qd, mzq\n",
         {}},
        {{"convert", "--side", "3", "two.fds"},
         "qdkit: error: two.fds: side C: the image has 2 sides, A to B\n",
         {}},
        {{"convert", "--side", "1", "tape.QDK"},
         "qdkit: error: tape.QDK: --side applies to FDS images only\n",
         {}},
        {{"convert", "crc.DKA"},
         "qdkit: error: crc.DKA: block 4 (ID 04) fails its CRC (--salvage keeps what was decoded; "
         "qdkit recover may rescue more)\n",
         {}},
        {{"extract", "crc.DKA"},
         "qdkit: error: crc.DKA: block 4 (ID 04) fails its CRC (qdkit recover may rescue more)\n",
         {}},
        {{"join", "-o", "j.fds", "two.DKA", "crc.DKA"},
         "qdkit: error: crc.DKA: block 4 (ID 04) fails its CRC (--salvage keeps what was decoded; "
         "qdkit recover may rescue more)\n",
         {}},
        {{"convert", "lost.DKA"},
         "qdkit: warning: lost.DKA: side A: the file amount block announces 3 files, the side "
         "holds 2\n"
         "qdkit: error: lost.DKA: file 1 is missing: the file after file 0 is file 2 "
         "(--salvage keeps what was decoded; qdkit recover may rescue more)\n",
         {}},
        {{"join", "-o", "two.fds", "two.DKA"},
         "qdkit: error: output two.fds exists (--force replaces it)\n",
         {"two.fds"}},
        {{"convert", "--to", "qdf", "big.mzt"},
         "qdkit: error: big.mzt: record 2 (BIG) does not fit on the side: it needs 50620 bytes, "
         "the side has 43996 left\n",
         {}},
    };
    for (const auto& c : cases) {
        TempDir dir;
        WriteFile(dir / "two.fds", kTwoSides);
        WriteFile(dir / "side.fds", raw);  // a raw side, named as an image
        WriteFile(dir / "crc.DKA", damaged);
        WriteFile(dir / "lost.DKA", lost);
        WriteFile(dir / "tape.QDK", QdRaw(QdStream(kTape)));
        WriteFile(dir / "big.mzt", MztFile({Entry("SMALL", 30000, 1), Entry("BIG", 50000, 2)}));
        ASSERT_EQ(0, RunProgram(dir.path(), "qdkit", {"convert", "two.fds"}).status);
        fs::create_hard_link(dir / "two.DKA", dir / "hard.DKA");
        std::vector<Bytes> before;
        for (const std::string& name : c.unchanged) before.push_back(ReadFile(dir / name));

        const RunResult run = RunProgram(dir.path(), "qdkit", c.args);
        EXPECT_EQ(1, run.status) << c.err;
        EXPECT_EQ(c.err, run.err);
        EXPECT_EQ("", run.out);
        for (std::size_t i = 0; i < c.unchanged.size(); ++i) {
            EXPECT_EQ(before[i], ReadFile(dir / c.unchanged[i])) << c.unchanged[i];
        }
        EXPECT_FALSE(FileExists(dir / "crc.fds"));
        EXPECT_FALSE(FileExists(dir / "j.fds"));
        EXPECT_FALSE(FileExists(dir / "big.qdf"));
    }
}

// What qdkit writes reads back, goes in whole or not at all, and never
// replaces what the same call wrote; a failure is never an exit 0.
TEST(QdkitConvert, WritesNothingBroken) {
    // A file whose information record says 10 bytes, its data block 20.
    const Bytes mismatch = QdRaw(
        QdSide({QdBlock(Hex("A5 02")), QdInfoBlock(1, "TEN", 10), QdDataBlock(Pattern(20, 3))}));
    // Behind the counted blocks, a block-count block cut short: read as a
    // block header, its body runs past the side's end.
    const Bytes count = QdBlock(Hex("A5 02"));
    Bytes echo = QdSide({count, QdInfoBlock(1, "ECHO", 4), QdDataBlock(Pattern(4, 5)), count});
    echo.resize(std::find_end(echo.begin(), echo.end(), count.begin(), count.end()) - echo.begin() +
                40);
    // A second data block behind the first file's, with no header of its own.
    Bytes disorder = FdsImage({{{Pattern(10, 1)}}});
    disorder[101] = 0x04;
    const FdsSideContent big{{Pattern(65535, 1), Pattern(1061, 2)}, -1};
    Crc16 crc(kFdsWriterCrc);
    Bytes stream;
    BuildFdsSide(Concat({Hex("46 44 53 1A 01"), Repeat(0, 11), FdsSideBlocks(big)}), 16, stream,
                 crc, MissingFiles::kEndSide);
    const struct {
        std::vector<std::string> args;
        int status;
        std::string err;  // found in the standard error stream
        std::vector<std::string> written, absent;
    } cases[] = {
        {{"convert", "a/x.mzt", "b/x.mzt"},
         1,
         "output x.QDK was written from a/x.mzt in this call; the output of b/x.mzt would "
         "replace it",
         {"x.QDK"},
         {}},
        {{"convert", "--force", "a/x.mzt", "b/x.mzt"},
         1,
         "was written from a/x.mzt",
         {"x.QDK"},
         {}},
        {{"convert", "--force", "two.fds"}, 1, "output two.DKB is a folder", {}, {"two.DKA"}},
        {{"verify", "mismatch.QDK"},
         1,
         "block 2: its information record gives the size 10, its data block holds 20 bytes",
         {},
         {}},
        {{"convert", "mismatch.QDK"},
         0,
         "; the MZT header gives the data block's size",
         {"mismatch.mzt"},
         {}},
        {{"recover", "mismatch.QDK"},
         0,
         "block 2: its information record gives the size 10, its data block holds 20 bytes; "
         "the MZT header gives the data block's size\n",
         {"mismatch.mzt"},
         {}},
        {{"convert", "big.DKA"},
         1,
         "side A holds 66688 bytes, more than a side area (65500)",
         {},
         {"big.fds"}},
        {{"verify", "big.DKA"}, 1, "side A holds 66688 bytes", {}, {}},
        {{"convert", "disorder.fds"},
         1,
         "side A: the block at offset 85 (ID 04) breaks the order of the blocks",
         {},
         {"disorder.DKA"}},
        {{"convert", "--to", "qdf", "echo.QDK"},
         1,
         "the decoded image does not read back: block 4 fails its CRC",
         {},
         {"echo.qdf"}},
    };
    for (const auto& c : cases) {
        TempDir dir;
        fs::create_directories(dir / "a");
        fs::create_directories(dir / "b");
        fs::create_directory(dir / "two.DKB");
        WriteFile(dir / "a/x.mzt", MztFile({Entry("A", 10, 1)}));
        WriteFile(dir / "b/x.mzt", MztFile({Entry("B", 20, 2)}));
        WriteFile(dir / "two.fds", kTwoSides);
        WriteFile(dir / "mismatch.QDK", mismatch);
        WriteFile(dir / "big.DKA", QdRaw(stream));
        WriteFile(dir / "echo.QDK", QdRaw(echo));
        WriteFile(dir / "disorder.fds", disorder);
        const RunResult run = RunProgram(dir.path(), "qdkit", c.args);
        const std::string what = ::testing::PrintToString(c.args);
        EXPECT_EQ(c.status, run.status) << what << run.err;
        EXPECT_NE(std::string::npos, run.err.find(c.err)) << what << run.err;
        for (const std::string& name : c.written) EXPECT_TRUE(FileExists(dir / name)) << name;
        for (const std::string& name : c.absent) EXPECT_FALSE(FileExists(dir / name)) << name;
        if (!c.written.empty() && c.written[0] == "x.QDK") {
            EXPECT_TRUE(
                SameBytes(QdRaw(QdStream(MztFile({Entry("A", 10, 1)}))), ReadFile(dir / "x.QDK")));
        }
        if (!c.written.empty() && c.written[0] == "mismatch.mzt") {
            const Bytes mzt = ReadFile(dir / "mismatch.mzt");
            EXPECT_EQ(128u + 20, mzt.size());
            EXPECT_EQ(20, mzt[18] | mzt[19] << 8);
        }
    }
}

TEST(QdkitConvert, StandardOutputThatCannotBeWritten) {
    if (!FileExists("/dev/full")) GTEST_SKIP() << kNoDevFull;
    TempDir dir;
    WriteFile(dir / "tape.mzt", kTape);
    for (const std::vector<std::string>& args :
         std::vector<std::vector<std::string>>{{"info", "tape.mzt"},
                                               {"info", "--json", "tape.mzt"},
                                               {"verify", "tape.mzt"},
                                               {"convert", "tape.mzt"}}) {
        const RunResult run = RunProgram(dir.path(), "qdkit", args, "/dev/full");
        EXPECT_EQ(1, run.status) << args[0];
        EXPECT_NE(std::string::npos, run.err.find("cannot write the standard output")) << run.err;
    }
}

TEST(QdkitConvert, RefusesAnInputThroughASymbolicLink) {
    TempDir dir;
    const Bytes tape = QdRaw(QdStream(kTape));
    WriteFile(dir / "tape.QDK", tape);
    std::error_code error;
    fs::create_symlink("tape.QDK", dir / "link.mzt", error);
    if (error) GTEST_SKIP() << "no symbolic links here: " << error.message();
    const RunResult run =
        RunProgram(dir.path(), "qdkit", {"convert", "--force", "tape.QDK", "-o", "link.mzt"});
    EXPECT_EQ(1, run.status);
    EXPECT_EQ("qdkit: error: tape.QDK: output link.mzt is an input of this call\n", run.err);
    EXPECT_EQ(tape, ReadFile(dir / "tape.QDK"));
}

TEST(QdkitConvert, ForceReplacesAndKeeps) {
    TempDir dir;
    WriteFile(dir / "two.fds", kTwoSides);
    WriteFile(dir / "two.DKA", Bytes(10, 1));
    WriteFile(dir / "crc.DKA", FlipDataBit(FdsRaw(FdsSide(2, 1)), 4700));
    RunResult run =
        RunProgram(dir.path(), "qdkit", {"convert", "--force", "--salvage", "two.fds", "crc.DKA"});
    EXPECT_EQ(0, run.status);
    EXPECT_EQ(143360u, ReadFile(dir / "two.DKA").size());
    EXPECT_EQ(
        "qdkit: warning: crc.DKA: block 4 (ID 04) fails its CRC (kept as decoded)\n"
        "qdkit: 2 files: 2 converted, 0 skipped, 0 failed\n",
        run.err);
    EXPECT_EQ(65516u, ReadFile(dir / "crc.fds").size());
    run =
        RunProgram(dir.path(), "qdkit", {"join", "--salvage", "-o", "j.fds", "crc.DKA", "two.DKB"});
    EXPECT_EQ(0, run.status);
    EXPECT_EQ(16u + 2 * 65500, ReadFile(dir / "j.fds").size());
}

}  // namespace

// Names the system code page cannot hold, as input, folder and output; qdkit
// prints them as UTF-8 everywhere.
TEST(QdkitConvert, NamesOutsideTheCodePage) {
    const std::string base = "한글表";
    TempDir dir;
    fs::create_directory(fs::u8path(dir / base));
    WriteFile(dir / (base + ".fds"), kTwoSides);
    const RunResult info = RunProgram(dir.path(), "qdkit", {"info", base + ".fds"});
    EXPECT_EQ(0, info.status) << info.err;
    EXPECT_EQ(0u, info.out.find(base + ".fds"));

    const RunResult converted =
        RunProgram(dir.path(), "qdkit", {"convert", "-C", base, base + ".fds"});
    EXPECT_EQ(0, converted.status) << converted.err;
    const std::string side = base + "/" + base;
    const RunResult joined =
        RunProgram(dir.path(), "qdkit", {"join", "-o", "j.fds", side + ".DKA", side + ".DKB"});
    EXPECT_EQ(0, joined.status) << joined.err;
    EXPECT_TRUE(SameBytes(kTwoSides, ReadFile(dir / "j.fds")));
}
