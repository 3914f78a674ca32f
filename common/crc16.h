// The CRC-16 engine under both media's block CRCs (each medium keeps its own
// variants). Data bits go in LSB first. A writer shifts right with a
// reflected constant; its checker shifts left and its register is the
// writer's bit-reversed, so feeding a block and the writer's CRC (low byte
// first) through the checker leaves 0.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

// How a register moves: its direction and the constant it takes in.
struct CrcRule {
    bool shiftsright;
    std::uint16_t polynomial;
};

// One byte, bit by bit: the definition the tables are built from.
constexpr std::uint16_t CrcStep(const CrcRule& rule, std::uint16_t reg, std::uint8_t data) {
    for (int i = 0; i < 8; ++i) {
        const bool feedback =
            rule.shiftsright ? ((data ^ reg) & 1) != 0 : ((data & 1) != 0) != ((reg & 0x8000) != 0);
        reg = static_cast<std::uint16_t>(rule.shiftsright ? reg >> 1 : reg << 1);
        data = static_cast<std::uint8_t>(data >> 1);
        if (feedback) reg ^= rule.polynomial;
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
// eight at a time through the right-shifting form: a left-shifting register
// is the bit-reversed one of the right-shifting variant with the reversed
// polynomial.
struct CrcTables {
    std::array<std::uint16_t, 256> data{};
    std::array<std::uint16_t, 256> leaving{};               // the left-shifting variants' high byte
    std::array<std::array<std::uint16_t, 256>, 8> slice{};  // k + 1 zero bytes after i
};

constexpr CrcTables MakeCrcTables(const CrcRule& rule) {
    CrcTables tables;
    const CrcRule right{true, rule.shiftsright ? rule.polynomial : Reverse16(rule.polynomial)};
    for (unsigned i = 0; i < 256; ++i) {
        tables.data[i] = CrcStep(rule, 0, static_cast<std::uint8_t>(i));
        tables.leaving[i] = CrcStep(rule, static_cast<std::uint16_t>(i << 8), 0);
        tables.slice[0][i] = CrcStep(right, 0, static_cast<std::uint8_t>(i));
    }
    for (unsigned k = 1; k < tables.slice.size(); ++k) {
        for (unsigned i = 0; i < 256; ++i) {
            const std::uint16_t before = tables.slice[k - 1][i];
            tables.slice[k][i] =
                static_cast<std::uint16_t>((before >> 8) ^ tables.slice[0][before & 0xFF]);
        }
    }
    return tables;
}

// A block CRC as a medium uses it: the rule, the register's value at the
// first byte of a block, and the tables made from the rule when compiled.
struct CrcVariant {
    CrcRule rule;
    std::uint16_t reset;
    CrcTables tables;
};

constexpr CrcVariant MakeCrcVariant(bool shiftsright, std::uint16_t polynomial,
                                    std::uint16_t reset) {
    const CrcRule rule{shiftsright, polynomial};
    return {rule, reset, MakeCrcTables(rule)};
}

// One program's CRC register; 0 at the start of a run. The variant must
// outlive it.
class Crc16 {
public:
    explicit Crc16(const CrcVariant& variant) : m_variant(&variant) {}

    std::uint16_t CRC_check(std::uint8_t data, bool reset) {
        if (reset) crc = m_variant->reset;
        crc = Step(crc, data);
        return crc;
    }

    // The bytes in order, as CRC_check(data[i], reset && i == 0) would.
    std::uint16_t Update(const std::uint8_t* data, std::size_t length, bool reset);

    // The same for 8 * count bytes that word(i) gives eight at a time, the
    // first in the low byte: for bytes that are not in memory as such. The
    // reset holds even for no words.
    template <typename Word>
    std::uint16_t UpdateEights(Word word, std::size_t count, bool reset) {
        if (reset) crc = m_variant->reset;
        const auto& slice = m_variant->tables.slice;
        const bool right = m_variant->rule.shiftsright;
        std::uint32_t reg = right ? crc : Reverse16(crc);
        for (std::size_t i = 0; i < count; ++i) {
            const std::uint64_t w = word(i);
            const std::uint32_t x = reg ^ static_cast<std::uint32_t>(w & 0xFFFF);
            reg = slice[7][x & 0xFF] ^ slice[6][x >> 8] ^ slice[5][(w >> 16) & 0xFF] ^
                  slice[4][(w >> 24) & 0xFF] ^ slice[3][(w >> 32) & 0xFF] ^
                  slice[2][(w >> 40) & 0xFF] ^ slice[1][(w >> 48) & 0xFF] ^ slice[0][w >> 56];
        }
        crc = right ? static_cast<std::uint16_t>(reg) : Reverse16(static_cast<std::uint16_t>(reg));
        return crc;
    }

    std::uint16_t crc = 0;

private:
    std::uint16_t Step(std::uint16_t reg, std::uint8_t data) const {
        const CrcTables& tables = m_variant->tables;
        if (m_variant->rule.shiftsright)
            return static_cast<std::uint16_t>((reg >> 8) ^ tables.data[(reg ^ data) & 0xFF]);
        return static_cast<std::uint16_t>((reg << 8) ^ tables.leaving[reg >> 8] ^
                                          tables.data[data]);
    }

    const CrcVariant* m_variant;
};
