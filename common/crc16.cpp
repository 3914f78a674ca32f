#include "common/crc16.h"

#include "common/littleendian.h"

std::uint16_t Crc16::Update(const std::uint8_t* data, std::size_t length, bool reset) {
    if (length == 0) return crc;
    const std::size_t words = length / 8;
    UpdateEights([data](std::size_t i) { return Le64(data + 8 * i); }, words, reset);
    // The bytes after the last whole word, one at a time.
    const auto& slice = m_variant->tables.slice;
    const bool right = m_variant->rule.shiftsright;
    std::uint32_t reg = right ? crc : Reverse16(crc);
    for (std::size_t i = 8 * words; i < length; ++i)
        reg = (reg >> 8) ^ slice[0][(reg ^ data[i]) & 0xFF];
    crc = right ? static_cast<std::uint16_t>(reg) : Reverse16(static_cast<std::uint16_t>(reg));
    return crc;
}
