#include "common/bitstream.h"

#include <gtest/gtest.h>

#include "tests/support.h"

namespace {

std::vector<int> CellsOf(const Bytes& file) {
    std::vector<int> cells;
    for (std::uint8_t byte : file) {
        for (int k = 0; k < 8; ++k) cells.push_back((byte >> k) & 1);
    }
    return cells;
}

struct CellCase {
    std::uint8_t before;  // the byte encoded first, giving the preceding data bit
    std::uint8_t byte;
    const char* cells;
    const char* file;
};

TEST(MfmEncoder, ReferenceCells) {
    const CellCase cases[] = {
        {0x00, 0x00, "10 10 10 10 10 10 10 10", "55 55"},
        {0xFF, 0x00, "00 10 10 10 10 10 10 10", "54 55"},
        {0x00, 0xFF, "01 01 01 01 01 01 01 01", "AA AA"},
        {0x00, 0x80, "10 10 10 10 10 10 10 01", "55 95"},
        {0x00, 0x01, "01 00 10 10 10 10 10 10", "52 55"},
        {0xFF, 0x01, "01 00 10 10 10 10 10 10", "52 55"},  // bit 0 set: history ignored
        {0x00, 0xA5, "01 00 01 00 10 01 00 01", "22 89"},
        {0x00, 0x16, "10 01 01 00 01 00 10 10", "29 52"},  // sync after a gap
        {0xFF, 0x16, "00 01 01 00 01 00 10 10", "28 52"},  // sync after a sync
    };
    for (const CellCase& c : cases) {
        BitWriter writer;
        writer.MFM_encoder(c.before);
        writer.MFM_encoder(c.byte);
        const Bytes second(writer.bitstreambuffer.begin() + 2, writer.bitstreambuffer.end());
        SCOPED_TRACE(testing::Message() << "byte " << int(c.byte) << " after " << int(c.before));
        EXPECT_TRUE(SameBytes(Hex(c.file), second));
        EXPECT_EQ(Cells(c.cells), CellsOf(second));
    }
}

TEST(MfmEncoder, FirstByteOfRunMeetsInitialState) {
    const struct {
        std::uint8_t byte;
        const char* file;
    } cases[] = {
        {0x00, "55 55"},
        {0xFF, "01 00"},
        {0x80, "55 55"},
        {0x16, "05 51"},
    };
    for (const auto& c : cases) {
        BitWriter writer;
        writer.MFM_encoder(c.byte);
        EXPECT_TRUE(SameBytes(Hex(c.file), writer.bitstreambuffer)) << int(c.byte);
    }
}

TEST(MfmEncoder, ReferenceSequenceAndReadBack) {
    const Bytes logical = Hex("00 00 80 01 A5 FF 16 16");
    BitWriter writer;
    EncodeSide(writer, logical.data(), logical.size());
    EXPECT_TRUE(
        SameBytes(Hex("55 55 55 55 55 95 52 55 22 89 AA AA 28 52 29 52"), writer.bitstreambuffer));

    BitReader reader(writer.bitstreambuffer);
    Bytes back;
    for (std::int32_t b; (b = reader.ReadByte()) >= 0;)
        back.push_back(static_cast<std::uint8_t>(b));
    EXPECT_TRUE(SameBytes(logical, back));
}

TEST(MfmEncoder, StateCarriesAcrossOutputs) {
    BitWriter writer;
    writer.MFM_encoder(0xFF);
    writer.bitstreambuffer.clear();  // a new output file, the writer goes on
    writer.MFM_encoder(0x00);
    EXPECT_TRUE(SameBytes(Hex("54 55"), writer.bitstreambuffer));
}

TEST(BitWriter, CellsAndFlush) {
    BitWriter writer;
    writer.FlushBits();
    EXPECT_TRUE(writer.bitstreambuffer.empty());
    writer.WriteBits(2);  // any non-zero value is a 1 cell
    writer.WriteBits(1);
    writer.WriteBits(0);
    writer.FlushBits();
    EXPECT_TRUE(SameBytes(Hex("03"), writer.bitstreambuffer));
    EXPECT_EQ(0, writer.bitstreamshift);

    BitWriter full;
    for (int i = 0; i < 8; ++i) full.WriteBits(i % 2);
    full.FlushBits();
    EXPECT_TRUE(SameBytes(Hex("AA"), full.bitstreambuffer));
}

TEST(BitWriter, RawLengthIsTwiceTheLogicalLength) {
    for (std::size_t n : {0u, 1u, 7u, 1000u}) {
        const Bytes logical(n, 0x5A);
        BitWriter writer;
        EncodeSide(writer, logical.data(), logical.size());
        EXPECT_EQ(2 * n, writer.bitstreambuffer.size());
    }
}

TEST(BitReader, EmptyBuffer) {
    const Bytes empty;
    BitReader reader(empty);
    EXPECT_EQ(-1, reader.ReadBits(1));
    EXPECT_EQ(-1, reader.ReadByte());
    EXPECT_EQ(-1, reader.ReadBits(0));
}

TEST(BitReader, ZeroCellsDoNotMove) {
    const Bytes raw = Hex("55");
    BitReader reader(raw);
    EXPECT_EQ(0, reader.ReadBits(0));
    EXPECT_EQ(0u, reader.bitstreampos);
    EXPECT_EQ(1, reader.bitstreammask);
    EXPECT_EQ(0x55, reader.ReadBits(8));
    EXPECT_EQ(-1, reader.ReadBits(0));
}

TEST(BitReader, OneCellOutOfStepReadsAA) {
    const Bytes raw = Hex("55 55 55 95");
    BitReader reader(raw);
    EXPECT_EQ(0x55, reader.ReadBits(8));
    EXPECT_EQ(1, reader.ReadBits(1));
    EXPECT_EQ(0x02, reader.bitstreammask);
    EXPECT_EQ(0xAA, reader.ReadBits(8));
}

TEST(BitReader, BytesThenEnd) {
    const Bytes raw = Hex("55 55 55 95 52 55 22 89");
    BitReader reader(raw);
    for (int expected : {0x00, 0x80, 0x01, 0xA5, -1}) EXPECT_EQ(expected, reader.ReadByte());
}

TEST(BitReader, ThreeByteBufferGivesOneByte) {
    const Bytes raw = Hex("55 55 55");
    BitReader reader(raw);
    EXPECT_EQ(0x00, reader.ReadByte());
    EXPECT_EQ(-1, reader.ReadByte());
}

TEST(BitReader, ReadRunningPastTheEndCountsMissingCellsAsZero) {
    const Bytes raw = Hex("FF");
    BitReader reader(raw);
    EXPECT_EQ(1, reader.ReadBits(1));
    EXPECT_EQ(0x7F, reader.ReadBits(8));  // seven cells exist, the eighth is 0
    EXPECT_EQ(-1, reader.ReadBits(1));
}

}  // namespace
