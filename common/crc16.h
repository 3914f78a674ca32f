// The four block CRC-16 variants of the kit. Each takes data bits LSB first.
// A writer shifts right with a reflected constant; its checker shifts left
// and its register is the writer's bit-reversed, so feeding a block and the
// writer's CRC (low byte first) through the checker leaves 0.
#pragma once

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

std::uint16_t CrcStep(const CrcVariant& variant, std::uint16_t reg, std::uint8_t data);

// One program's CRC register; 0 at the start of a run.
class Crc16 {
public:
    explicit constexpr Crc16(const CrcVariant& variant) : m_variant(variant) {}

    std::uint16_t CRC_check(std::uint8_t data, bool reset) {
        if (reset) crc = m_variant.reset;
        crc = CrcStep(m_variant, crc, data);
        return crc;
    }

    std::uint16_t crc = 0;

private:
    CrcVariant m_variant;
};
