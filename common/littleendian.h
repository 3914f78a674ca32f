// Little-endian fields, as both media and their files store every number.
// Written so that compilers make one load or store of each.
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

inline void PutLe16(std::uint8_t* p, unsigned value) {
    p[0] = static_cast<std::uint8_t>(value);
    p[1] = static_cast<std::uint8_t>(value >> 8);
}
inline void PutLe32(std::uint8_t* p, std::uint32_t value) {
    PutLe16(p, value & 0xFFFF);
    PutLe16(p + 2, value >> 16);
}
inline void PutLe64(std::uint8_t* p, std::uint64_t value) {
    PutLe32(p, static_cast<std::uint32_t>(value));
    PutLe32(p + 4, static_cast<std::uint32_t>(value >> 32));
}
