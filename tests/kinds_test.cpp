// Every kind of a medium converts to every other and back unchanged, and
// the foreign layouts read as their own descriptions say.
#include "qd/hxc_qd.h"
#include "qdkit/detect.h"
#include "qdkit/kinds/kind.h"
#include "samples/imagegen.h"
#include "tests/support.h"

namespace {

Content ReadAs(const FileKind& kind, const Bytes& file, FileReport& report) {
    Probe probe(file);
    Bytes loaded;
    if (!kind.Load(probe, loaded, report)) return {};
    return kind.Read(loaded, false, report);
}

// The file written as kind `to`; it must be one output.
Bytes Converted(const FileKind& from, const Bytes& file, const FileKind& to) {
    FileReport report("test");
    const std::vector<Produced> out = WriteAs(to, ReadAs(from, file, report), false, report);
    EXPECT_TRUE(report.errors.empty()) << from.name() << " -> " << to.name() << ": "
                                       << (report.errors.empty() ? "" : report.errors.front());
    return out.size() == 1 ? out.front().bytes : Bytes();
}

TEST(Kinds, EveryPairRoundTrips) {
    const struct {
        const FileKind& kind;
        Bytes sample;
    } media[] = {{FdsKind(), SampleFdsImage()}, {MztKind(), SampleMzt()}};
    for (const auto& medium : media) {
        for (const FileKind* a : Kinds()) {
            if (a->medium() != medium.kind.medium()) continue;
            const Bytes start =
                a == &medium.kind ? medium.sample : Converted(medium.kind, medium.sample, *a);
            for (const FileKind* b : Kinds()) {
                if (b == a || b->medium() != a->medium()) continue;
                const Bytes back = Converted(*b, Converted(*a, start, *b), *a);
                // A QD image holds the side stream as the decoder rebuilt
                // it, its sync runs a byte shorter each trip: its records,
                // not its bytes, come back.
                const bool records = a == &QdfKind() || b == &QdfKind();
                EXPECT_TRUE(records ? SameBytes(Converted(*a, start, MztKind()),
                                                Converted(*a, back, MztKind()))
                                    : SameBytes(start, back))
                    << a->name() << " -> " << b->name() << " -> " << a->name();
            }
        }
    }
}

TEST(Kinds, FdsQdSidesAndCrcs) {
    const Bytes image = FdsImage({{{Pattern(100, 1), Pattern(400, 2)}}, {{Pattern(700, 3)}}});
    const Bytes qd = Converted(FdsKind(), image, FdsQdKind());
    ASSERT_EQ(2u * 65536, qd.size());
    // Side B begins a side later, with its disk info block; behind the first
    // block of each side, its CRC, then the file amount block.
    EXPECT_TRUE(SameBytes(Bytes(image.begin() + 16 + 65500, image.begin() + 16 + 65556),
                          Bytes(qd.begin() + 65536, qd.begin() + 65536 + 56)));
    EXPECT_EQ(0x02, qd[65536 + 58]);
    const struct {
        std::uint8_t low, high;
        bool fails;
        const char* text;
    } cases[] = {
        {0x00, 0x00, false, "side A: block 1 (ID 01) carries 0000 where its CRC"},
        {0x12, 0x34, true, "side A: block 1 (ID 01) fails its CRC: 3412 stored"},
    };
    for (const auto& c : cases) {
        Bytes bad = qd;
        bad[56] = c.low;
        bad[57] = c.high;
        FileReport report("test");
        ReadAs(FdsQdKind(), bad, report);
        const auto& found = c.fails ? report.errors : report.warnings;
        ASSERT_EQ(1u, found.size()) << c.text;
        EXPECT_EQ(0u, found.front().find(c.text)) << found.front();
    }
}

// One file of three bytes, as the layouts' descriptions put it.
TEST(Kinds, ForeignLayoutsByHand) {
    MztEntry entry;
    entry.name = "HI";
    entry.body = Hex("AA BB CC");
    const Bytes mzt = MztFile({entry});
    Bytes record(64, 0x00);
    record[0] = 0x01;
    record[1] = 'H', record[2] = 'I', record[3] = 0x0D;
    record[20] = 3, record[23] = 0x12, record[25] = 0x12;  // size, load, exec
    const Bytes mzq =
        Concat({Hex("00 16 16 A5 02"), Bytes{'C', 'R', 'C'}, Hex("00 16 16 A5 00 40 00"), record,
                Bytes{'C', 'R', 'C'}, Hex("00 16 16 A5 05 03 00 AA BB CC"), Bytes{'C', 'R', 'C'}});
    Bytes emulator = mzq;
    emulator.resize(61455, 0x00);
    EXPECT_TRUE(SameBytes(emulator, Converted(MztKind(), mzt, MzqKind())));
    EXPECT_TRUE(SameBytes(mzt, Converted(MzqKind(), mzq, MztKind())));

    const Bytes cells = Converted(MztKind(), mzt, QdRawKind());
    auto le32 = [](std::uint32_t v) {
        return Bytes{static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8),
                     static_cast<std::uint8_t>(v >> 16), static_cast<std::uint8_t>(v >> 24)};
    };
    // Revision, tracks, sides, encoding, write protection, cell rate, flags,
    // track list; one track at 0x400, its switches at 0x3200 and 0x25600,
    // between which the drive reads.
    Bytes header = Concat({Bytes{'H', 'X', 'C', 'Q', 'D', 'D', 'R', 'V'}, le32(0), le32(1), le32(2),
                           le32(0), le32(0), le32(203128), le32(0), le32(0x200)});
    header.resize(0x200, 0x00);
    const Bytes list = Concat({le32(0x400), le32(163840), le32(0x3200), le32(0x25600)});
    Bytes hxc = Concat({header, list, Repeat(0, 0x200 - 16), cells, cells});
    FileReport report("test");
    const Content content = ReadAs(HxcQdKind(), hxc, report);
    EXPECT_TRUE(SameBytes(Bytes(cells.begin() + 0x3200, cells.begin() + 0x25600), content.raw));
    ASSERT_EQ(1u, report.warnings.size());
    EXPECT_EQ("the track list holds 2 tracks; qdkit reads the first", report.warnings.front());
    // Switches that mark no stretch of the track: all of it.
    std::copy_n(le32(0x28200).begin(), 4, hxc.begin() + 0x20C);
    EXPECT_TRUE(SameBytes(cells, ReadAs(HxcQdKind(), hxc, report).raw));
    EXPECT_EQ(
        "the switches at 12800 and 164352 mark no stretch of the 163840-byte track; qdkit "
        "reads all of it",
        report.warnings.back());

    // The kit writes one side, its switches at the cells' start and end.
    hxc.resize(0x400 + cells.size());
    hxc[16] = 1;
    std::copy_n(Concat({le32(0), le32(163840)}).begin(), 8, hxc.begin() + 0x208);
    EXPECT_TRUE(SameBytes(hxc, Converted(QdRawKind(), cells, HxcQdKind())));
}

// A file whose data holds a side's cells would be told for a raw side when
// written out: the output is refused, not written as what it is not.
TEST(Kinds, AnOutputThatReadsAsAnotherKindIsRefused) {
    const Bytes cells = Converted(MztKind(), SampleMzt(), QdRawKind());
    MztEntry entry;
    entry.name = "CELLS";
    entry.body.assign(cells.begin(), cells.begin() + 20000);
    const Bytes mzt = MztFile({entry});
    EXPECT_FALSE(ReadsBackAs(mzt, MztKind()));
    EXPECT_TRUE(ReadsBackAs(mzt, QdRawKind()));
    FileReport report("test");
    const Content content = ReadAs(MztKind(), mzt, report);
    EXPECT_TRUE(WriteAs(MztKind(), content, false, report).empty());
    ASSERT_EQ(1u, report.errors.size());
    EXPECT_EQ("its mzt output would not read back as one but as qd-raw", report.errors.front());
}

}  // namespace
