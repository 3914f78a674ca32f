// The four block CRC-16 variants of the kit. Each takes data bits LSB first.
// A writer shifts right with a reflected constant; its checker shifts left
// and its register is the writer's bit-reversed, so feeding a block and the
// writer's CRC (low byte first) through the checker leaves 0.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

struct CrcVariant {
    bool shiftsright;
    std::uint16_t polynomial;
    std::uint16_t reset;
};

// FDS reset values are what a zero register holds after the block start
// mark 0x80, so a block CRC in effect covers the mark too.
inline constexpr CrcVariant kFdsWriterCrc{true, 0x8408, 0x8408};
inline constexpr CrcVariant kFdsCheckerCrc{false, 0x1021, 0x1021};
inline constexpr CrcVariant kQdWriterCrc{true, 0xA001, 0x0000};  // CRC-16/ARC
inline constexpr CrcVariant kQdCheckerCrc{false, 0x8005, 0x0000};

// One byte, bit by bit: the definition the tables are built from.
constexpr std::uint16_t CrcStep(const CrcVariant& variant, std::uint16_t reg, std::uint8_t data) {
    for (int i = 0; i < 8; ++i) {
        const bool feedback = variant.shiftsright ? ((data ^ reg) & 1) != 0
                                                  : ((data & 1) != 0) != ((reg & 0x8000) != 0);
        reg = static_cast<std::uint16_t>(variant.shiftsright ? reg >> 1 : reg << 1);
        data = static_cast<std::uint8_t>(data >> 1);
        if (feedback) reg ^= variant.polynomial;
    }
    return reg;
}

constexpr std::uint16_t Reverse16(std::uint16_t value) {
    std::uint32_t x = value;
    x = ((x >> 1) & 0x5555u) | ((x & 0x5555u) << 1);
    x = ((x >> 2) & 0x3333u) | ((x & 0x3333u) << 2);
    x = ((x >> 4) & 0x0F0Fu) | ((x & 0x0F0Fu) << 4);
    return static_cast<std::uint16_t>((x >> 8) | (x << 8));
}

// The step is linear in register and data, so a byte costs a table entry
// for the data and one for the register bits that leave it. Runs of bytes go
// four at a time through the right-shifting form: a left-shifting register
// is the bit-reversed one of the right-shifting variant with the reversed
// polynomial.
struct CrcTables {
    std::array<std::uint16_t, 256> data{};
    std::array<std::uint16_t, 256> leaving{};               // the left-shifting variants' high byte
    std::array<std::array<std::uint16_t, 256>, 4> slice{};  // k + 1 zero bytes after i
};

constexpr CrcTables MakeCrcTables(const CrcVariant& variant) {
    CrcTables tables;
    const CrcVariant right{
        true, variant.shiftsright ? variant.polynomial : Reverse16(variant.polynomial), 0};
    for (unsigned i = 0; i < 256; ++i) {
        tables.data[i] = CrcStep(variant, 0, static_cast<std::uint8_t>(i));
        tables.leaving[i] = CrcStep(variant, static_cast<std::uint16_t>(i << 8), 0);
        tables.slice[0][i] = CrcStep(right, 0, static_cast<std::uint8_t>(i));
    }
    for (unsigned k = 1; k < 4; ++k) {
        for (unsigned i = 0; i < 256; ++i) {
            const std::uint16_t before = tables.slice[k - 1][i];
            tables.slice[k][i] =
                static_cast<std::uint16_t>((before >> 8) ^ tables.slice[0][before & 0xFF]);
        }
    }
    return tables;
}

// One program's CRC register; 0 at the start of a run.
class Crc16 {
public:
    explicit Crc16(const CrcVariant& variant);

    std::uint16_t CRC_check(std::uint8_t data, bool reset) {
        if (reset) crc = m_reset;
        crc = Step(crc, data);
        return crc;
    }

    // The bytes in order, as CRC_check(data[i], reset && i == 0) would.
    std::uint16_t Update(const std::uint8_t* data, std::size_t length, bool reset);

    std::uint16_t crc = 0;

private:
    std::uint16_t Step(std::uint16_t reg, std::uint8_t data) const {
        if (m_shiftsright)
            return static_cast<std::uint16_t>((reg >> 8) ^ m_tables.data[(reg ^ data) & 0xFF]);
        return static_cast<std::uint16_t>((reg << 8) ^ m_tables.leaving[reg >> 8] ^
                                          m_tables.data[data]);
    }

    bool m_shiftsright;
    std::uint16_t m_reset;
    CrcTables m_tables;
};
