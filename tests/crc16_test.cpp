#include "common/crc16.h"

#include <gtest/gtest.h>

#include <string>

#include "fds/fds_layout.h"
#include "qd/qd_layout.h"
#include "tests/support.h"

namespace {

struct VariantCase {
    const char* name;
    CrcVariant variant;
    std::uint16_t abc;      // "abc", reset on the first byte
    std::uint16_t check;    // "123456789"
    std::uint16_t zero;     // 0x00 alone, reset
    std::uint16_t unreset;  // "abc" from a fresh register without reset
};

const VariantCase kVariants[] = {
    {"FDS writer", kFdsWriterCrc, 0x7587, 0x837F, 0x8CCC, 0x58E9},
    {"FDS checker", kFdsCheckerCrc, 0xE1AE, 0xFEC1, 0x3331, 0x971A},
    {"QD writer", kQdWriterCrc, 0x9738, 0xBB3D, 0x0000, 0x9738},
    {"QD checker", kQdCheckerCrc, 0x1CE9, 0xBCDD, 0x0000, 0x1CE9},
};

std::uint16_t Block(Crc16& crc, const Bytes& bytes) {
    std::uint16_t value = 0;
    for (std::size_t i = 0; i < bytes.size(); ++i) value = crc.CRC_check(bytes[i], i == 0);
    return value;
}

Bytes Ascii(const std::string& text) {
    return Bytes(text.begin(), text.end());
}

TEST(Crc16, CheckValues) {
    for (const VariantCase& c : kVariants) {
        SCOPED_TRACE(c.name);
        Crc16 crc(c.variant);
        EXPECT_EQ(c.abc, Block(crc, Ascii("abc")));
        EXPECT_EQ(c.abc, crc.crc);
        EXPECT_EQ(c.check, Block(crc, Ascii("123456789")));
        EXPECT_EQ(c.zero, crc.CRC_check(0x00, true));

        Crc16 fresh(c.variant);
        std::uint16_t value = 0;
        for (char ch : std::string("abc"))
            value = fresh.CRC_check(static_cast<std::uint8_t>(ch), false);
        EXPECT_EQ(c.unreset, value);
    }
}

TEST(Crc16, BlockFollowedByItsWriterCrcLeavesZero) {
    const struct {
        CrcVariant variant;
        const char* bytes;
    } cases[] = {
        {kFdsCheckerCrc, "61 62 63 87 75"},
        {kQdCheckerCrc, "61 62 63 38 97"},
        {kFdsWriterCrc, "61 62 63 87 75"},
        {kQdWriterCrc, "61 62 63 38 97"},
    };
    for (const auto& c : cases) {
        Crc16 crc(c.variant);
        EXPECT_EQ(0, Block(crc, Hex(c.bytes))) << c.bytes;
    }
}

TEST(Crc16, CheckerIsBitReversedWriter) {
    const Bytes data = Ascii("Quick Disk blocks");
    Crc16 writer(kQdWriterCrc), checker(kQdCheckerCrc);
    for (std::size_t i = 0; i < data.size(); ++i) {
        const std::uint16_t w = writer.CRC_check(data[i], i == 0);
        const std::uint16_t c = checker.CRC_check(data[i], i == 0);
        std::uint16_t reversed = 0;
        for (int k = 0; k < 16; ++k) reversed |= ((w >> k) & 1) << (15 - k);
        ASSERT_EQ(reversed, c) << "after byte " << i;
    }
}

TEST(Crc16, FdsBlockExamples) {
    const struct {
        const char* block;
        std::uint16_t crc;  // stored low byte first
    } cases[] = {
        {"02 05", 0x68F1},  // file amount block: F1 68
        {"04", 0xCAE8},     // data block of an empty file: E8 CA
    };
    for (const auto& c : cases) {
        Crc16 crc(kFdsWriterCrc);
        EXPECT_EQ(c.crc, Block(crc, Hex(c.block))) << c.block;
    }
}

TEST(Crc16, QdBlockCountExample) {
    Crc16 crc(kQdWriterCrc);
    EXPECT_EQ(0x91FA, Block(crc, Hex("A5 02")));
}

}  // namespace
