// Little-endian fields, as both media and their files store every number.
// Written so that compilers make one load of each.
#pragma once

#include <cstdint>

inline unsigned Le16(const std::uint8_t* p) {
    return p[0] | static_cast<unsigned>(p[1]) << 8;
}
inline std::uint32_t Le32(const std::uint8_t* p) {
    return p[0] | (p[1] << 8) | (std::uint32_t{p[2]} << 16) | (std::uint32_t{p[3]} << 24);
}
inline std::uint64_t Le64(const std::uint8_t* p) {
    return Le32(p) | (std::uint64_t{Le32(p + 4)} << 32);
}
