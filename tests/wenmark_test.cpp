#include <gtest/gtest.h>

#include <filesystem>

#include "tests/support.h"

namespace {

const std::string kUsage =
    "QD image encoder  (C) 2026 Quick Disk kit developers\n Usage : Wenmark imagefile outname\n";

Bytes QdImage(std::size_t stream_bytes, const Bytes& start = {}) {
    Bytes image = Concat(
        {Bytes{'-', 'Q', 'D', ' ', 'f', 'o', 'r', 'm', 'a', 't', '-'}, Repeat(0xFF, 5), start});
    image.resize(16 + stream_bytes, 0x00);
    return image;
}

TEST(Wenmark, Usage) {
    TempDir dir;
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{}, std::vector<std::string>{"in.qdf"}}) {
        const RunResult run = RunProgram(dir.path(), "Wenmark", args);
        EXPECT_EQ(kUsage, run.out);
        EXPECT_EQ("", run.err);
        EXPECT_EQ(0, run.status);
    }
    EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
}

TEST(Wenmark, EncodesTheWholeStream) {
    TempDir dir;
    const struct {
        std::size_t stream;
        std::size_t raw;
    } cases[] = {{81920, 163840}, {100000, 200000}};
    for (const auto& c : cases) {
        WriteFile(dir / "in.qdf", QdImage(c.stream, Hex("00 00 80 01 A5 FF 16 16")));
        const RunResult run = RunProgram(dir.path(), "Wenmark", {"in.qdf", "out.raw"});
        EXPECT_EQ("Complete.\n", run.out);
        EXPECT_EQ("", run.err);
        EXPECT_EQ(0, run.status);
        const Bytes raw = ReadFile(dir / "out.raw");
        ASSERT_EQ(c.raw, raw.size());
        EXPECT_TRUE(SameBytes(Hex("55 55 55 55 55 95 52 55 22 89 AA AA 28 52 29 52"),
                              Bytes(raw.begin(), raw.begin() + 16)));
        EXPECT_TRUE(SameBytes(Repeat(0x55, 16), Bytes(raw.end() - 16, raw.end())));
    }
}

TEST(Wenmark, InputFailures) {
    TempDir dir;
    Bytes short_image = QdImage(81919);
    Bytes bad_pad = QdImage(81920);
    bad_pad[15] = 0xFE;
    Bytes bad_short = QdImage(81919);
    bad_short[0] = 'x';
    WriteFile(dir / "short.qdf", short_image);
    WriteFile(dir / "badpad.qdf", bad_pad);
    WriteFile(dir / "badshort.qdf", bad_short);
    WriteFile(dir / "empty.qdf", {});
    std::filesystem::create_directory(dir / "folder");
    const struct {
        std::string input;
        std::string err;
    } cases[] = {
        {"short.qdf", "ERROR : file size error.\n"},
        {"badshort.qdf", "ERROR : file size error.\n"},
        {"badpad.qdf", "ERROR : file format error.\n"},
        {"empty.qdf", "ERROR : file read error.\n"},
        {"folder", "ERROR : file read error.\n"},
        {"no/such.qdf", "ERROR : file not found. [no/such.qdf]\n"},
    };
    for (const auto& c : cases) {
        const RunResult run = RunProgram(dir.path(), "Wenmark", {c.input, "out.raw"});
        EXPECT_EQ("", run.out) << c.input;
        EXPECT_EQ(c.err, run.err) << c.input;
        EXPECT_EQ(1, run.status) << c.input;
        EXPECT_FALSE(FileExists(dir / "out.raw")) << c.input;
    }
}

TEST(Wenmark, SizeIsNotTakenModulo4GiB) {
    TempDir dir;
    const std::string path = dir / "huge.qdf";
    WriteFile(path, QdImage(100000 - 16));
    std::error_code error;
    std::filesystem::resize_file(path, (std::uintmax_t{1} << 32) + 100000, error);
    if (error) GTEST_SKIP() << "no sparse files here";
    const RunResult run = RunProgram(dir.path(), "Wenmark", {"huge.qdf", "out.raw"});
    EXPECT_EQ("ERROR : file read error.\n", run.err);
    EXPECT_EQ(1, run.status);
    EXPECT_FALSE(FileExists(dir / "out.raw"));
}

TEST(Wenmark, OutputFailures) {
    TempDir dir;
    WriteFile(dir / "in.qdf", QdImage(81920));
    std::filesystem::create_directory(dir / "taken");
    const RunResult blocked = RunProgram(dir.path(), "Wenmark", {"in.qdf", "taken"});
    EXPECT_EQ("ERROR : file open error. [taken]\n", blocked.err);
    EXPECT_EQ(1, blocked.status);

    if (!FileExists("/dev/full")) return;
    const RunResult full = RunProgram(dir.path(), "Wenmark", {"in.qdf", "/dev/full"});
    EXPECT_EQ("", full.out);
    EXPECT_EQ("ERROR : file write error.\n", full.err);
    EXPECT_EQ(1, full.status);
}

}  // namespace
