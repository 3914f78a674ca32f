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
    std::uint16_t reg = crc;
    if (m_shiftsright) {
        for (std::size_t i = 0; i < length; ++i)
            reg = static_cast<std::uint16_t>((reg >> 8) ^ m_tables.data[(reg ^ data[i]) & 0xFF]);
    } else {
        for (std::size_t i = 0; i < length; ++i)
            reg = static_cast<std::uint16_t>((reg << 8) ^ m_tables.leaving[reg >> 8] ^
                                             m_tables.data[data[i]]);
    }
    crc = reg;
    return crc;
}
