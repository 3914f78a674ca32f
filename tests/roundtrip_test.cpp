// Whole journeys through the built programs.
#include <gtest/gtest.h>

#include <filesystem>

#include "samples/imagegen.h"
#include "tests/support.h"

namespace {

MztEntry Record(std::size_t size, std::uint32_t seed, std::uint8_t attribute = 1) {
    MztEntry entry;
    entry.attribute = attribute;
    entry.name = "PROG" + std::to_string(seed);
    entry.load = static_cast<std::uint16_t>(0x1200 + 16 * seed);
    entry.exec = static_cast<std::uint16_t>(0x1200 + 16 * seed + 3);
    entry.carried[0] = static_cast<std::uint8_t>(seed);
    entry.carried[1] = 0x5A;
    entry.body = Pattern(size, seed);
    return entry;
}

TEST(RoundTrip, FdsImageThroughBothPrograms) {
    TempDir dir;
    std::filesystem::create_directory(dir / "back");
    FdsSideContent side;
    for (std::uint32_t i = 0; i < 6; ++i) side.files.push_back(Pattern(100 + 700 * i, i));
    const Bytes image = FdsImage({side});
    WriteFile(dir / "game.fds", image);
    ASSERT_EQ(0, RunProgram(dir.path(), "Talvret", {"game.fds"}).status);
    const RunResult run = RunProgram(dir / "back", "Omblisk", {"../game.DKA"});
    EXPECT_EQ(0, run.status);
    EXPECT_EQ("", run.err);
    EXPECT_TRUE(SameBytes(image, ReadFile(dir / "back/game.fds")));
}

TEST(RoundTrip, MztThroughTheQdLoop) {
    TempDir dir;
    std::filesystem::create_directory(dir / "decoded");
    std::filesystem::create_directory(dir / "again");
    const Bytes mzt = MztFile({Record(0x100, 1), Record(0, 2), Record(5000, 3, 3)});
    WriteFile(dir / "game.mzt", mzt);
    ASSERT_EQ(0, RunProgram(dir.path(), "Surbeck", {"game.mzt"}).status);

    RunResult run = RunProgram(dir / "decoded", "Pelgrane", {"-d", "-m", "../game.QDK"});
    EXPECT_EQ(0, run.status);
    EXPECT_EQ("", run.err);
    EXPECT_EQ(0u, run.out.find("dump file:game.qdf\nMZT file:game.mzt\n"));
    EXPECT_TRUE(SameBytes(mzt, ReadFile(dir / "decoded/game.mzt")));
    const Bytes qdf = ReadFile(dir / "decoded/game.qdf");
    ASSERT_EQ(81936u, qdf.size());
    const Bytes start = Concat({Bytes{'-', 'Q', 'D', ' ', 'f', 'o', 'r', 'm', 'a', 't', '-'},
                                Repeat(0xFF, 5), Repeat(0, 4786), Repeat(0x16, 8), Hex("A5 06")});
    EXPECT_TRUE(SameBytes(
        start, Bytes(qdf.begin(), qdf.begin() + static_cast<std::ptrdiff_t>(start.size()))));

    ASSERT_EQ(0, RunProgram(dir / "again", "Wenmark", {"../decoded/game.qdf", "side.raw"}).status);
    run = RunProgram(dir / "again", "Pelgrane", {"-m", "side.raw"});
    EXPECT_EQ(0, run.status);
    EXPECT_TRUE(SameBytes(mzt, ReadFile(dir / "again/side.mzt")));
}

TEST(RoundTrip, OneFileQdImageLayout) {
    TempDir dir;
    WriteFile(dir / "one.mzt", MztFile({Record(0x100, 1)}));
    ASSERT_EQ(0, RunProgram(dir.path(), "Surbeck", {"one.mzt"}).status);
    std::filesystem::remove(dir / "one.mzt");
    ASSERT_EQ(0, RunProgram(dir.path(), "Pelgrane", {"-d", "-m", "one.QDK"}).status);
    EXPECT_EQ(384u, ReadFile(dir / "one.mzt").size());
    const Bytes qdf = ReadFile(dir / "one.qdf");
    ASSERT_EQ(81936u, qdf.size());
    const Bytes stream(qdf.begin() + 16, qdf.end());
    const Bytes expected =
        Concat({Repeat(0, 4786), Repeat(0x16, 8), Hex("A5 02 FA 91"), Repeat(0x16, 6),
                Repeat(0, 32), Repeat(0, 2723), Repeat(0x16, 8), Hex("A5 00 40 00")});
    EXPECT_TRUE(SameBytes(
        expected,
        Bytes(stream.begin(), stream.begin() + static_cast<std::ptrdiff_t>(expected.size()))));
}

TEST(RoundTrip, SplitDumpOfTwoFiles) {
    TempDir dir;
    MztEntry text = Record(6, 1, 3);
    text.body = Hex("05 00 41 42 1A 43");
    const MztEntry binary = Record(300, 2, 1);
    const Bytes mzt = MztFile({text, binary});
    WriteFile(dir / "side.mzt", mzt);
    ASSERT_EQ(0, RunProgram(dir.path(), "Surbeck", {"side.mzt"}).status);
    ASSERT_EQ(0, RunProgram(dir.path(), "Pelgrane", {"-s", "side.QDK"}).status);
    EXPECT_TRUE(SameBytes(Hex("41 42"), ReadFile(dir / "side.01.QDDATA")));
    EXPECT_TRUE(SameBytes(binary.body, ReadFile(dir / "side.03.QDDATA")));
    const Bytes info0 = ReadFile(dir / "side.00.QDINFO"), info2 = ReadFile(dir / "side.02.QDINFO");
    ASSERT_EQ(64u, info0.size());
    ASSERT_EQ(64u, info2.size());
    // attribute, name, carried bytes, size, load, exec; then zeros
    EXPECT_TRUE(SameBytes(Concat({Bytes(mzt.begin(), mzt.begin() + 18),
                                  Hex("01 5A 06 00 10 12 13 12"), Repeat(0, 38)}),
                          info0));
    EXPECT_EQ(
        3u * 64 / 64 + 1,
        std::count_if(std::filesystem::directory_iterator(dir.path()), {}, [](const auto& entry) {
            return entry.path().extension() == ".QDDATA" || entry.path().extension() == ".QDINFO";
        }));
}

TEST(RoundTrip, AbsoluteImagePath) {
    TempDir dir, work;
    WriteFile(dir / "abs.mzt", MztFile({Record(10, 1)}));
    ASSERT_EQ(0, RunProgram(dir.path(), "Surbeck", {"abs.mzt"}).status);
    const RunResult run = RunProgram(work.path(), "Pelgrane", {"-m", dir / "abs.QDK"});
    EXPECT_EQ(0, run.status);
    EXPECT_EQ("", run.err);
    EXPECT_TRUE(FileExists(work / "abs.mzt"));
}

}  // namespace
