// Appending a block and its CRC to a side stream, the same for both media.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "common/crc16.h"

// Appends n bytes, feeding each through crc (reset before the first when
// start), and returns the register after the last.
inline std::uint16_t AppendChecked(std::vector<std::uint8_t>& stream, Crc16& crc,
                                   const std::uint8_t* bytes, std::size_t n, bool start) {
    stream.insert(stream.end(), bytes, bytes + n);
    return crc.Update(bytes, n, start);
}

// Blocks carry their CRC low byte first.
inline void AppendCrc(std::vector<std::uint8_t>& stream, std::uint16_t value) {
    stream.push_back(static_cast<std::uint8_t>(value & 0xFF));
    stream.push_back(static_cast<std::uint8_t>(value >> 8));
}
