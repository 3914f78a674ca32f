#include "common/crc16.h"

std::uint16_t CrcStep(const CrcVariant& variant, std::uint16_t reg, std::uint8_t data) {
    for (int i = 0; i < 8; ++i) {
        bool feedback;
        if (variant.shiftsright) {
            feedback = ((data ^ reg) & 1) != 0;
            reg = static_cast<std::uint16_t>(reg >> 1);
        } else {
            feedback = ((data & 1) != 0) != ((reg & 0x8000) != 0);
            reg = static_cast<std::uint16_t>(reg << 1);
        }
        data = static_cast<std::uint8_t>(data >> 1);
        if (feedback) reg ^= variant.polynomial;
    }
    return reg;
}
