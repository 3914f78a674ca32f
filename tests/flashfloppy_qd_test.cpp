// FlashFloppy's QD images: HxC's layout with only "QD" in the header, blank
// as the firmware makes them, or written by an MZ between the window's ends.
#include "qd/hxc_qd.h"
#include "qdkit/detect.h"
#include "qdkit/kinds/kind.h"
#include "tests/qdkit_support.h"

namespace {

const Bytes kTape = MztFile({Entry("MONITOR", 4096, 1), Entry("HELLO", 31, 2)});

Bytes Le32(std::uint32_t v) {
    return {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8),
            static_cast<std::uint8_t>(v >> 16), static_cast<std::uint8_t>(v >> 24)};
}

// A blank image with the kit's raw side written from the window's start,
// as far as the window reaches.
Bytes Written(const Bytes& cells) {
    Bytes image = FlashFloppyBlankQd();
    const std::size_t start = 0x400 + 12713;
    const std::size_t n = std::min<std::size_t>(cells.size(), 139849);
    std::copy_n(cells.begin(), n, image.begin() + static_cast<std::ptrdiff_t>(start));
    return image;
}

TEST(FlashFloppyQd, BlankAsTheFirmwareMakesIt) {
    // 8 s, a lead-in of 0.5 s and a window of 5.5 s, in bytes of cells of 4.916 us.
    Bytes header(0x200, 0x00);
    header[3] = 'Q';
    header[4] = 'D';
    Bytes list = Concat({Le32(0x400), Le32(203417), Le32(12713), Le32(12713 + 139849)});
    list.resize(0x200, 0x00);
    const Bytes blank = FlashFloppyBlankQd();
    EXPECT_TRUE(SameBytes(Concat({header, list, Repeat(0x11, 398 * 512)}), blank));

    EXPECT_EQ(&HxcQdKind(), KindOfBytes(blank));
    FileReport info("test");
    HxcQdKind().Inspect(blank, info);
    EXPECT_TRUE(info.errors.empty()) << info.errors.front();
    EXPECT_EQ("flashfloppy", info.facts["layout"]);
    EXPECT_TRUE(info.facts["blank"].get<bool>());
    FileReport read("test");
    HxcQdKind().Read(blank, false, read);
    ASSERT_EQ(1u, read.errors.size());
    EXPECT_EQ("a blank QD image: no blocks", read.errors.front());
}

TEST(FlashFloppyQd, WrittenOneReadsBetweenTheWindowsEnds) {
    const Bytes cells = QdRaw(QdStream(kTape));
    const Bytes image = Written(cells);
    EXPECT_EQ(&HxcQdKind(), KindOfBytes(image));
    FileReport report("test");
    const Content content = HxcQdKind().Read(image, false, report);
    EXPECT_TRUE(report.errors.empty());
    EXPECT_TRUE(SameBytes(Bytes(cells.begin(), cells.begin() + 139849), content.raw));
    const std::vector<Produced> tape = WriteAs(MztKind(), content, false, report);
    ASSERT_EQ(1u, tape.size()) << (report.errors.empty() ? "" : report.errors.front());
    EXPECT_TRUE(SameBytes(kTape, tape[0].bytes));
}

TEST(FlashFloppyQd, OnlyWithATrackThatFits) {
    Bytes text(2000, 'a');
    std::copy_n("ABCQD", 5, text.begin());
    Bytes beyond = FlashFloppyBlankQd();
    beyond.resize(100000);  // the track runs past the end
    Bytes unaligned = FlashFloppyBlankQd();
    unaligned[0x200] = 0x10;
    for (const Bytes* file : {&text, &beyond, &unaligned})
        EXPECT_NE(&HxcQdKind(), KindOfBytes(*file));
}

// What the kit writes passes the checks FlashFloppy makes.
TEST(FlashFloppyQd, KitsImagesLoad) {
    const Bytes image = HxcQdOfCells(QdRaw(QdStream(kTape)));
    EXPECT_TRUE(HasFlashFloppyQdMark(image.data(), image.size()));
    const HxcQdTrack track = HxcQdTrackAt(&image[0x200]);
    EXPECT_TRUE(PlausibleFlashFloppyTrack(track, image.size()));
    EXPECT_TRUE(HxcQdSwitchesInside(track));
}

TEST(FlashFloppyQd, ThroughTheBinary) {
    TempDir dir;
    WriteFile(dir / "disk.qd", Written(QdRaw(QdStream(kTape))));
    RunResult run = RunProgram(dir.path(), "qdkit", {"blank", "--to", "hxc-qd", "-o", "blank.qd"});
    EXPECT_EQ(0, run.status) << run.err;
    EXPECT_EQ("blank.qd (hxc-qd, blank: lead-in 500 ms, window 5500 ms, 8000 ms in all)\n",
              run.out);
    EXPECT_TRUE(SameBytes(FlashFloppyBlankQd(), ReadFile(dir / "blank.qd")));
    run = RunProgram(dir.path(), "qdkit", {"info", "blank.qd"});
    EXPECT_EQ(0, run.status) << run.err;
    EXPECT_NE(std::string::npos, run.out.find("blank.qd: hxc-qd, 204800 bytes")) << run.out;
    EXPECT_NE(std::string::npos, run.out.find("a blank QD image: no blocks")) << run.out;
    run = RunProgram(dir.path(), "qdkit", {"convert", "blank.qd"});
    EXPECT_EQ(1, run.status);
    EXPECT_NE(std::string::npos, run.err.find("blank.qd: a blank QD image: no blocks")) << run.err;
    run = RunProgram(dir.path(), "qdkit", {"recover", "blank.qd"});
    EXPECT_EQ(1, run.status);
    EXPECT_NE(std::string::npos,
              run.err.find("blank.qd: a blank QD image: no blocks; it is left out"))
        << run.err;
    run = RunProgram(dir.path(), "qdkit", {"convert", "--to", "mzt", "disk.qd"});
    ASSERT_EQ(0, run.status) << run.err;
    EXPECT_TRUE(SameBytes(kTape, ReadFile(dir / "disk.mzt")));
}

}  // namespace
