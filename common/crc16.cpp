#include "common/crc16.h"

namespace {

constexpr bool SameVariant(const CrcVariant& a, const CrcVariant& b) {
    return a.shiftsright == b.shiftsright && a.polynomial == b.polynomial;
}

constexpr CrcTables kFdsWriterTables = MakeCrcTables(kFdsWriterCrc);
constexpr CrcTables kFdsCheckerTables = MakeCrcTables(kFdsCheckerCrc);
constexpr CrcTables kQdWriterTables = MakeCrcTables(kQdWriterCrc);
constexpr CrcTables kQdCheckerTables = MakeCrcTables(kQdCheckerCrc);

// The kit's variants come ready made; any other is built on the spot.
CrcTables TablesFor(const CrcVariant& variant) {
    if (SameVariant(variant, kFdsWriterCrc)) return kFdsWriterTables;
    if (SameVariant(variant, kFdsCheckerCrc)) return kFdsCheckerTables;
    if (SameVariant(variant, kQdWriterCrc)) return kQdWriterTables;
    if (SameVariant(variant, kQdCheckerCrc)) return kQdCheckerTables;
    return MakeCrcTables(variant);
}

}  // namespace

Crc16::Crc16(const CrcVariant& variant)
    : m_shiftsright(variant.shiftsright), m_reset(variant.reset), m_tables(TablesFor(variant)) {}

std::uint16_t Crc16::Update(const std::uint8_t* data, std::size_t length, bool reset) {
    if (length == 0) return crc;
    if (reset) crc = m_reset;
    const auto& slice = m_tables.slice;
    std::uint32_t reg = m_shiftsright ? crc : Reverse16(crc);
    for (; length >= 4; length -= 4, data += 4) {
        const std::uint32_t x = reg ^ data[0] ^ (std::uint32_t{data[1]} << 8);
        reg = slice[3][x & 0xFF] ^ slice[2][x >> 8] ^ slice[1][data[2]] ^ slice[0][data[3]];
    }
    for (; length > 0; --length, ++data) reg = (reg >> 8) ^ slice[0][(reg ^ *data) & 0xFF];
    crc = m_shiftsright ? static_cast<std::uint16_t>(reg)
                        : Reverse16(static_cast<std::uint16_t>(reg));
    return crc;
}
