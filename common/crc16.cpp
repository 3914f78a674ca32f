#include "common/crc16.h"

std::uint16_t Crc16::Update(const std::uint8_t* data, std::size_t length, bool reset) {
    if (length == 0) return crc;
    if (reset) crc = m_variant->reset;
    const auto& slice = m_variant->tables.slice;
    const bool right = m_variant->rule.shiftsright;
    std::uint32_t reg = right ? crc : Reverse16(crc);
    for (; length >= 4; length -= 4, data += 4) {
        const std::uint32_t x = reg ^ data[0] ^ (std::uint32_t{data[1]} << 8);
        reg = slice[3][x & 0xFF] ^ slice[2][x >> 8] ^ slice[1][data[2]] ^ slice[0][data[3]];
    }
    for (; length > 0; --length, ++data) reg = (reg >> 8) ^ slice[0][(reg ^ *data) & 0xFF];
    crc = right ? static_cast<std::uint16_t>(reg) : Reverse16(static_cast<std::uint16_t>(reg));
    return crc;
}
