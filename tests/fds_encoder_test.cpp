#include <gtest/gtest.h>

#include "common/crc16.h"
#include "fds/fds_image.h"
#include "fds/fds_layout.h"
#include "fds/side_encoder.h"
#include "samples/imagegen.h"
#include "tests/support.h"

namespace {

struct Built {
    FdsSideResult result;
    Bytes stream;
};

// Builds side 0 of an image whose side area starts with blocks (or whose
// whole content is blocks, when unpadded).
Built Build(const Bytes& blocks, bool padded = true) {
    Bytes image = Concat({Bytes{'F', 'D', 'S', 0x1A, 1}, Repeat(0, 11), blocks});
    if (padded && image.size() < 65516) image.resize(65516, 0);
    Crc16 crc(kFdsWriterCrc);
    Built built{};
    built.result = BuildFdsSide(image, kFdsHeaderBytes, built.stream, crc);
    return built;
}

const Bytes kDiskInfo = Concat({Bytes{1}, Repeat(0x11, 55)});

TEST(FdsSideEncoder, LayoutOfBlocks) {
    const Built built = Build(Concat({kDiskInfo, Hex("02 05")}));
    // Announced 5 files, none follow: fails at the next ID.
    EXPECT_EQ(FdsSideStatus::kUnknownId, built.result.status);
    EXPECT_EQ(0, built.result.id);

    const Built ok = Build(Concat({kDiskInfo, Hex("02 00")}));
    ASSERT_EQ(FdsSideStatus::kOk, ok.result.status);
    ASSERT_EQ(71680u, ok.stream.size());
    const Bytes& s = ok.stream;
    EXPECT_TRUE(SameBytes(Repeat(0, 4224), Bytes(s.begin(), s.begin() + 4224)));
    EXPECT_EQ(0x80, s[4224]);
    EXPECT_EQ(0x01, s[4225]);
    // 184 bytes for the disk info block, then the file amount block 02 00.
    const std::size_t amount = 4224 + 184;
    EXPECT_TRUE(SameBytes(Hex("80 02 00"), Bytes(s.begin() + amount, s.begin() + amount + 3)));
    EXPECT_TRUE(SameBytes(Repeat(0, 125), Bytes(s.begin() + amount + 5, s.begin() + amount + 130)));
}

TEST(FdsSideEncoder, BlockCrcExamples) {
    const struct {
        Bytes blocks;
        std::size_t at;  // offset of the CRC in the stream
        Bytes crc;
    } cases[] = {
        // file amount block 02 05, then 5 data blocks before any header: size 0
        {Concat({kDiskInfo, Hex("02 05 04 04 04 04 04")}), 4224 + 184 + 3, Hex("F1 68")},
        {Concat({kDiskInfo, Hex("02 01 04")}), 4224 + 184 + 130 + 2, Hex("E8 CA")},
    };
    for (const auto& c : cases) {
        const Built built = Build(c.blocks);
        ASSERT_EQ(FdsSideStatus::kOk, built.result.status);
        EXPECT_TRUE(
            SameBytes(c.crc, Bytes(built.stream.begin() + c.at, built.stream.begin() + c.at + 2)));
    }
}

TEST(FdsSideEncoder, WalkEnds) {
    const Bytes header3 =
        Concat({Hex("03"), Repeat(0x20, 12), Hex("02 00 00")});  // file of 2 bytes
    const Bytes file = Hex("04 AA BB");
    const struct {
        const char* what;
        Bytes blocks;
        bool padded;
        FdsSideStatus status;
        std::uint8_t id;
    } cases[] = {
        {"side begins with 0x00", {}, true, FdsSideStatus::kUnknownId, 0x00},
        {"3 announced, 2 carried, then 0x00",
         Concat({kDiskInfo, Hex("02 03"), header3, file, header3, file}), true,
         FdsSideStatus::kUnknownId, 0x00},
        {"3 announced, 2 carried, then the end",
         Concat({kDiskInfo, Hex("02 03"), header3, file, header3, file}), false,
         FdsSideStatus::kEndOfImage, 0},
        {"a third file after 2 announced",
         Concat({kDiskInfo, Hex("02 02"), header3, file, header3, file, header3, file}), true,
         FdsSideStatus::kOk, 0},
        {"a block cut short after all files are in",
         Concat({kDiskInfo, Hex("02 01"), header3, file, header3, Hex("04 AA")}), false,
         FdsSideStatus::kEndOfImage, 0},
        {"file amount count byte past the end", Concat({kDiskInfo, Hex("02")}), false,
         FdsSideStatus::kEndOfImage, 0},
        {"a file cut short before all files are in",
         Concat({kDiskInfo, Hex("02 01"), header3, Hex("04 AA")}), false,
         FdsSideStatus::kEndOfImage, 0},
    };
    for (const auto& c : cases) {
        const Built built = Build(c.blocks, c.padded);
        EXPECT_EQ(c.status, built.result.status) << c.what;
        EXPECT_EQ(c.id, built.result.id) << c.what;
    }
}

TEST(FdsSideEncoder, StreamLimit) {
    // 4224 + 184 + 130 + 2 * (144 + 129) + sizes before the fill: 71680 with
    // sizes of 65535 and 1061.
    for (const std::size_t size : {1061u, 1062u}) {
        FdsSideContent side;
        side.files = {Pattern(65535, 3), Pattern(size, 4)};
        const Built built = Build(FdsSideBlocks(side), false);
        EXPECT_EQ(size == 1061 ? FdsSideStatus::kOk : FdsSideStatus::kSizeOver,
                  built.result.status);
    }
}

TEST(FdsSideEncoder, ManyTinyBlocksDoNotGrowTheStream) {
    // Each empty file data block would take 129 stream bytes.
    const Bytes blocks = Concat({kDiskInfo, Hex("02 00"), Repeat(0x04, 4 << 20)});
    Bytes image = Concat({Bytes{'F', 'D', 'S', 0x1A, 1}, Repeat(0, 11), blocks});
    Crc16 crc(kFdsWriterCrc);
    Bytes stream;
    EXPECT_EQ(FdsSideStatus::kSizeOver, BuildFdsSide(image, kFdsHeaderBytes, stream, crc).status);
    EXPECT_LE(stream.size(), 71680u);

    // An error further on still comes before the size error.
    image.push_back(0x03);
    EXPECT_EQ(FdsSideStatus::kEndOfImage, BuildFdsSide(image, kFdsHeaderBytes, stream, crc).status);
}

TEST(FdsImageChecks, InOrder) {
    Bytes good = FdsImage({FdsSideContent{}});
    Bytes short_image(good.begin(), good.end() - 1);
    Bytes not_fds = good;
    not_fds[3] = 0x1B;
    Bytes no_sides = good;
    no_sides[4] = 0;
    Bytes short_not_fds = short_image;
    short_not_fds[0] = 'X';
    EXPECT_EQ(FdsImageCheck::kOk, CheckFdsImage(good));
    EXPECT_EQ(FdsImageCheck::kSizeError, CheckFdsImage(short_image));
    EXPECT_EQ(FdsImageCheck::kSizeError, CheckFdsImage(short_not_fds));
    EXPECT_EQ(FdsImageCheck::kNotFds, CheckFdsImage(not_fds));
    EXPECT_EQ(FdsImageCheck::kNoSides, CheckFdsImage(no_sides));
}

}  // namespace
