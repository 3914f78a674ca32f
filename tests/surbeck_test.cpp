#include <gtest/gtest.h>

#include <filesystem>

#include "common/bitstream.h"
#include "common/crc16.h"
#include "samples/imagegen.h"
#include "tests/qd_side.h"
#include "tests/support.h"

namespace {

MztEntry Record(std::size_t size, std::uint32_t seed = 1) {
    MztEntry entry;
    entry.name = "FILE" + std::to_string(seed);
    entry.attribute = static_cast<std::uint8_t>(seed);
    entry.load = static_cast<std::uint16_t>(0x1200 + seed);
    entry.exec = static_cast<std::uint16_t>(0x1300 + seed);
    entry.carried[0] = 0xC0;
    entry.carried[1] = static_cast<std::uint8_t>(seed);
    entry.body = Pattern(size, seed);
    return entry;
}

// Reads the side stream back out of a raw image written from offset 0.
Bytes SideStreamOf(const Bytes& raw) {
    BitReader reader(raw);
    Bytes stream;
    for (std::int32_t b; (b = reader.ReadByte()) >= 0;)
        stream.push_back(static_cast<std::uint8_t>(b));
    return stream;
}

std::string InfoLines(const MztEntry& entry) {
    char lines[256];
    std::snprintf(lines, sizeof lines, "ATTR:%02X\nSIZE:%04X\nLOAD:%04X\nEXEC:%04X\n\n",
                  entry.attribute, static_cast<unsigned>(entry.body.size()), entry.load,
                  entry.exec);
    std::string name = entry.name + "%0D";
    for (std::size_t i = entry.name.size() + 1; i < 17; ++i) name += "%00";
    return "FILE INFORMATION\nNAME:" + name + "\n" + lines;
}

class SurbeckRun : public ::testing::Test {
protected:
    RunResult Run(const Bytes& mzt, const std::string& name = "game.mzt") {
        WriteFile(dir / name, mzt);
        return RunProgram(dir.path(), "Surbeck", {name});
    }
    TempDir dir;
};

TEST_F(SurbeckRun, Usage) {
    const RunResult run = RunProgram(dir.path(), "Surbeck", {});
    EXPECT_EQ("MZT image encoder  (C) 2026 Quick Disk kit developers\n Usage : Surbeck mztfile\n",
              run.out);
    EXPECT_EQ(0, run.status);
}

TEST_F(SurbeckRun, OneRecordLayout) {
    const MztEntry entry = Record(300, 3);
    const RunResult run = Run(MztFile({entry}));
    EXPECT_EQ("MZT blocks: 2\n" + InfoLines(entry) + "End of data.\nComplete.\n", run.out);
    EXPECT_EQ("", run.err);
    ASSERT_EQ(0, run.status);

    const Bytes raw = ReadFile(dir / "game.QDK");
    ASSERT_EQ(163840u, raw.size());
    Bytes info(64, 0);
    info[0] = 3;
    const Bytes name = Hex("46 49 4C 45 33 0D");  // FILE3 and 0x0D
    std::copy(name.begin(), name.end(), info.begin() + 1);
    const Bytes fields = Hex("C0 03 2C 01 03 12 03 13");  // carried, size, load, exec
    std::copy(fields.begin(), fields.end(), info.begin() + 18);
    const Bytes sync10 = Repeat(0x16, 10), sync6 = Repeat(0x16, 6);
    const Bytes expected =
        Concat({Repeat(0, 4785), sync10, Hex("A5 02 FA 91"), sync6, Repeat(0, 2755), sync10,
                QdBlock(Concat({Hex("A5 00 40 00"), info})), sync6, Repeat(0, 256), sync10,
                QdBlock(Concat({Hex("A5 05 2C 01"), entry.body})), sync6});
    EXPECT_EQ(7924u + 300, expected.size());
    const Bytes stream = SideStreamOf(raw);
    EXPECT_TRUE(SameBytes(Concat({expected, Repeat(0, 81920 - expected.size())}), stream));
}

TEST_F(SurbeckRun, SmallestFiles) {
    EXPECT_EQ("ERROR : file size error.\n", Run(Repeat(0, 128)).err);
    EXPECT_FALSE(FileExists(dir / "game.QDK"));

    Bytes one = Repeat(0, 129);
    one[18] = 1;  // one record, one byte of body
    const RunResult run = Run(one);
    EXPECT_EQ(0, run.status);
    EXPECT_NE(std::string::npos, run.out.find("MZT blocks: 2\n"));
    EXPECT_NE(std::string::npos, run.out.find("SIZE:0001\n"));
}

TEST_F(SurbeckRun, SideCapacity) {
    std::vector<MztEntry> empty120(120, Record(0)), empty121(121, Record(0)),
        empty128(128, Record(0));
    Bytes cut = MztFile({Record(10, 1), Record(300, 2)});
    cut.pop_back();
    const struct {
        const char* what;
        Bytes mzt;
        int status;
        std::string err;
        std::size_t records_shown;
    } cases[] = {
        {"two records that fit exactly", MztFile({Record(65535, 1), Record(7841, 2)}), 0, "", 2},
        {"one byte more", MztFile({Record(65535, 1), Record(7842, 2)}), 1,
         "ERROR : raw file size is over.\n", 2},
        {"120 empty records", MztFile(empty120), 0, "", 120},
        {"121 empty records", MztFile(empty121), 1, "ERROR : raw file size is over.\n", 121},
        {"128 records", MztFile(empty128), 1, "ERROR : MZT block number error. [256]\n", 0},
        {"cut short", cut, 1, "ERROR : MZT record 2 runs past the end of the file.\n", 0},
    };
    for (const auto& c : cases) {
        std::filesystem::remove(dir / "game.QDK");
        const RunResult run = Run(c.mzt);
        EXPECT_EQ(c.status, run.status) << c.what;
        EXPECT_EQ(c.err, run.err) << c.what;
        std::size_t shown = 0;
        for (std::size_t at = 0; (at = run.out.find("FILE INFORMATION", at)) != std::string::npos;
             ++at)
            ++shown;
        EXPECT_EQ(c.records_shown, shown) << c.what;
        if (c.records_shown > 0) {
            EXPECT_NE(std::string::npos, run.out.find("End of data.\n")) << c.what;
        }
        EXPECT_EQ(c.status == 0 ? 163840u : 0u, ReadFile(dir / "game.QDK").size()) << c.what;
    }
}

TEST_F(SurbeckRun, NamesAndTrailingBytes) {
    MztEntry entry = Record(4, 1);
    entry.name = "ABC";
    const RunResult run = Run(Concat({MztFile({entry}), Repeat(0xEE, 127)}));
    EXPECT_EQ(0, run.status);
    EXPECT_NE(std::string::npos,
              run.out.find("MZT blocks: 2\nFILE "
                           "INFORMATION\nNAME:ABC%0D%00%00%00%00%00%00%00%00%00%00%00%00%00\n"));
}

TEST_F(SurbeckRun, OutputLandsInTheCurrentFolder) {
    std::filesystem::create_directory(dir / "in");
    const RunResult run = Run(MztFile({Record(10)}), "in/GAME.mzt");
    EXPECT_EQ(0, run.status);
    EXPECT_TRUE(FileExists(dir / "GAME.QDK"));
    EXPECT_FALSE(FileExists(dir / "in/GAME.QDK"));
}

TEST_F(SurbeckRun, Failures) {
    RunResult missing = RunProgram(dir.path(), "Surbeck", {"none.mzt"});
    EXPECT_EQ("ERROR : file not found. [none.mzt]\n", missing.err);
    EXPECT_EQ(1, missing.status);

    std::filesystem::create_directory(dir / "game.QDK");
    RunResult blocked = Run(MztFile({Record(10)}));
    EXPECT_EQ("ERROR : file open error.\n", blocked.err);
    EXPECT_EQ(1, blocked.status);

    if (!FileExists("/dev/full")) return;
    std::filesystem::remove(dir / "game.QDK");
    std::filesystem::create_symlink("/dev/full", dir / "game.QDK");
    RunResult full = Run(MztFile({Record(10)}));
    EXPECT_EQ("ERROR : file write error.\n", full.err);
    EXPECT_EQ(std::string::npos, full.out.find("Complete."));
    EXPECT_EQ(1, full.status);
}

}  // namespace
