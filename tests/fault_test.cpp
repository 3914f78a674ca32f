// Every program meets the same faults the same way: its message, exit
// status 1 and no success line.
#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <filesystem>

#include "common/bitstream.h"
#include "common/crc16.h"
#include "fds/fds_layout.h"
#include "fds/side_encoder.h"
#include "samples/imagegen.h"
#include "tests/qd_side.h"
#include "tests/support.h"
#include "tests/texts.h"

namespace {

Bytes FdsRaw() {
    const Bytes image = FdsImage({FdsSideContent{}});
    Bytes stream;
    Crc16 crc(kFdsWriterCrc);
    BuildFdsSide(image, 16, stream, crc);
    BitWriter writer;
    EncodeSide(writer, stream.data(), stream.size());
    return writer.bitstreambuffer;
}

struct Program {
    std::string name;
    std::vector<std::string> options;  // before the input
    std::vector<std::string> after;    // after the input
    Bytes input;
    std::string output;  // the file it writes
    std::string openerror, writeerror, emptyerror;
    std::string success;  // what only a successful run prints
};

std::vector<Program> Programs() {
    const std::string open = "ERROR : file open error.\n", write = "ERROR : file write error.\n",
                      read = "ERROR : file read error.\n";
    MztEntry entry;
    entry.name = "F";
    entry.body = Pattern(50, 1);
    Bytes qdf =
        Concat({Bytes{'-', 'Q', 'D', ' ', 'f', 'o', 'r', 'm', 'a', 't', '-'}, Repeat(0xFF, 5)});
    qdf.resize(81936, 0);
    return {
        {"Talvret",
         {},
         {},
         FdsImage({FdsSideContent{}}),
         "in.DKA",
         open + kConversionErrorText,
         write + kConversionErrorText,
         read,
         kFinishedText},
        {"Omblisk", {}, {}, FdsRaw(), "in.fds", open, write, read, kDoneText},
        {"Pelgrane",
         {"-d"},
         {},
         QdRaw(QdSide({QdBlock(Hex("A5 00"))})),
         "in.qdf",
         open,
         write,
         read,
         kDoneText},
        {"Pelgrane",
         {"-m"},
         {},
         QdRaw(QdSide({QdBlock(Hex("A5 02")), QdInfoBlock(1, "F", 4), QdDataBlock(Pattern(4, 1))})),
         "in.mzt",
         open,
         write,
         read,
         kDoneText},
        {"Surbeck",
         {},
         {},
         MztFile({entry}),
         "in.QDK",
         open,
         write,
         "ERROR : file size error.\n",
         "Complete."},
        {"Wenmark",
         {},
         {"out.raw"},
         qdf,
         "out.raw",
         "ERROR : file open error. [out.raw]\n",
         write,
         read,
         "Complete."},
    };
}

long Entries(const TempDir& dir) {
    return std::distance(std::filesystem::directory_iterator(dir.path()), {});
}

RunResult RunOn(const TempDir& dir, const Program& p, const std::string& input) {
    std::vector<std::string> args = p.options;
    args.push_back(input);
    args.insert(args.end(), p.after.begin(), p.after.end());
    return RunProgram(dir.path(), p.name, args);
}

void ExpectFailure(const RunResult& run, const Program& p, const std::string& err,
                   const char* what) {
    EXPECT_EQ(err, run.err) << p.name << ": " << what;
    EXPECT_EQ(1, run.status) << p.name << ": " << what;
    EXPECT_EQ(std::string::npos, run.out.find(p.success)) << p.name << ": " << what;
}

TEST(Faults, SuccessIsTheBaseline) {
    for (const Program& p : Programs()) {
        TempDir dir;
        WriteFile(dir / "in", p.input);
        const RunResult run = RunOn(dir, p, "in");
        EXPECT_EQ(0, run.status) << p.name << run.err;
        EXPECT_NE(std::string::npos, run.out.find(p.success)) << p.name;
    }
}

TEST(Faults, OutputInTheWay) {
    for (const Program& p : Programs()) {
        TempDir dir;
        WriteFile(dir / "in", p.input);
        std::filesystem::create_directory(dir / p.output);
        ExpectFailure(RunOn(dir, p, "in"), p, p.openerror, "a folder named like the output");
    }
}

TEST(Faults, OutputCannotBeWritten) {
    if (!FileExists("/dev/full")) GTEST_SKIP() << kNoDevFull;
    for (const Program& p : Programs()) {
        TempDir dir;
        WriteFile(dir / "in", p.input);
        std::filesystem::create_symlink("/dev/full", dir / p.output);
        ExpectFailure(RunOn(dir, p, "in"), p, p.writeerror, "output linked to /dev/full");
    }
}

// The output's own name, another path, a hard link and a symbolic link.
void ExpectOutputIsTheInput(const char* how) {
    for (const Program& p : Programs()) {
        TempDir dir;
        const std::string input = how == std::string("same name") ? p.output : "in";
        WriteFile(dir / input, p.input);
        if (how == std::string("hard link"))
            std::filesystem::create_hard_link(dir / "in", dir / p.output);
        if (how == std::string("symbolic link"))
            std::filesystem::create_symlink("in", dir / p.output);
        // In place of the open error, and what follows it.
        const std::string err = "ERROR : output file is the input file. [" + p.output + "]\n" +
                                p.openerror.substr(p.openerror.find('\n') + 1);
        ExpectFailure(RunOn(dir, p, input), p, err, how);
        EXPECT_TRUE(SameBytes(p.input, ReadFile(dir / input))) << p.name << ": " << how;
        EXPECT_EQ(input == "in" ? 2 : 1, Entries(dir))
            << p.name << ": " << how << ": no other file";
    }
}

TEST(Faults, OutputIsTheInput) {
    ExpectOutputIsTheInput("same name");
    ExpectOutputIsTheInput("hard link");
}

TEST(Faults, OutputIsTheInputThroughASymbolicLink) {
    TempDir probe;
    std::error_code error;
    std::filesystem::create_symlink("in", probe / "link", error);
    if (error) GTEST_SKIP() << "no symbolic links here: " << error.message();
    ExpectOutputIsTheInput("symbolic link");
}

// Encoders that fail leave no output, and an earlier one as it was.
TEST(Faults, FailedEncodersDestroyNothing) {
    FdsSideContent over;
    over.files = {Pattern(65535, 3), Pattern(1062, 4)};  // 71681 bytes of side stream
    Bytes unknown = FdsImage({FdsSideContent{}});
    unknown[16 + 56 + 2] = 0x07;  // where the first file header would be: no block ID
    unknown[16 + 56 + 1] = 1;
    const struct {
        const char* program;
        Bytes input;
        const char* output;
    } cases[] = {
        {"Talvret", FdsImage({over}), "in.DKA"},
        {"Talvret", unknown, "in.DKA"},
        {"Surbeck",
         MztFile({MztEntry{1, "A", 0, 0, {0, 0}, Pattern(65535, 1)},
                  MztEntry{1, "B", 0, 0, {0, 0}, Pattern(7842, 2)}}),
         "in.QDK"},
    };
    for (const auto& c : cases) {
        for (const bool earlier : {false, true}) {
            TempDir dir;
            WriteFile(dir / "in", c.input);
            if (earlier) WriteFile(dir / c.output, Hex("0E 0A 71"));
            const RunResult run = RunProgram(dir.path(), c.program, {"in"});
            EXPECT_EQ(1, run.status) << c.program << run.err;
            EXPECT_EQ(earlier ? Hex("0E 0A 71") : Bytes{}, ReadFile(dir / c.output)) << c.program;
            EXPECT_EQ(earlier, FileExists(dir / c.output)) << c.program;
            EXPECT_EQ(earlier ? 2 : 1, Entries(dir)) << c.program << ": no temporary file left";
        }
    }
}

TEST(Faults, InputsThatCannotBeLoaded) {
    for (const Program& p : Programs()) {
        TempDir dir;
        std::filesystem::create_directory(dir / "folder");
        WriteFile(dir / "empty", {});
        ExpectFailure(RunOn(dir, p, "folder"), p, "ERROR : file read error.\n",
                      "a folder as input");
        ExpectFailure(RunOn(dir, p, "empty"), p, p.emptyerror, "an empty input");
        ExpectFailure(RunOn(dir, p, "missing"), p, "ERROR : file not found. [missing]\n",
                      "a missing input");
        EXPECT_FALSE(FileExists(dir / p.output)) << p.name;
    }
}

// Opening a FIFO would wait for a writer: it must be refused unopened.
TEST(Faults, FifoAsInput) {
#ifdef _WIN32
    GTEST_SKIP() << "Windows has no FIFOs among its files";
#else
    for (const Program& p : Programs()) {
        TempDir dir;
        ASSERT_EQ(0, mkfifo((dir / "fifo").c_str(), 0600));
        ExpectFailure(RunOn(dir, p, "fifo"), p, "ERROR : file read error.\n", "a FIFO as input");
    }
#endif
}

}  // namespace
