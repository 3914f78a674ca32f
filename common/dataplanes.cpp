#include "common/dataplanes.h"

#include <algorithm>
#include <cstring>

namespace {

// The odd bits of 64 cells (cells 1, 3, ... 63) as 32 bits in order.
std::uint32_t OddCells(std::uint64_t x) {
    x = (x >> 1) & 0x5555555555555555u;
    x = (x | (x >> 1)) & 0x3333333333333333u;
    x = (x | (x >> 2)) & 0x0F0F0F0F0F0F0F0Fu;
    x = (x | (x >> 4)) & 0x00FF00FF00FF00FFu;
    x = (x | (x >> 8)) & 0x0000FFFF0000FFFFu;
    return static_cast<std::uint32_t>(x | (x >> 16));
}

void Put32(std::uint8_t* out, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) out[i] = static_cast<std::uint8_t>(value >> (8 * i));
}

}  // namespace

DataPlanes::DataPlanes(const std::vector<std::uint8_t>& raw) {
    const std::size_t cells = raw.size() * 8;
    // Eight raw bytes and the first cell after them give 32 bits of each.
    std::vector<std::uint8_t> padded(raw.size() + 16, 0);
    std::copy(raw.begin(), raw.end(), padded.begin());
    const std::size_t words = (raw.size() + 7) / 8;
    for (int phase = 0; phase < 2; ++phase) {
        m_bits[phase] = cells >= static_cast<std::size_t>(phase) ? (cells - phase) / 2 : 0;
        m_planes[phase].assign(words * 4 + kSlack, 0);
    }
    for (std::size_t w = 0; w < words; ++w) {
        const std::uint64_t lo = Le64(&padded[8 * w]);
        const std::uint64_t hi = Le64(&padded[8 * w + 8]);
        Put32(&m_planes[0][4 * w], OddCells(lo));
        Put32(&m_planes[1][4 * w], OddCells((lo >> 1) | (hi << 63)));
    }
    // A pair whose data cell lies past the end holds no bit.
    for (int phase = 0; phase < 2; ++phase) {
        std::vector<std::uint8_t>& plane = m_planes[phase];
        const std::size_t bits = m_bits[phase];
        if (bits % 8 != 0) plane[bits / 8] &= static_cast<std::uint8_t>((1u << (bits % 8)) - 1);
        std::fill(plane.begin() + static_cast<std::ptrdiff_t>((bits + 7) / 8), plane.end(), 0);
    }
}

void DataPlanes::Bytes(int phase, std::size_t bit, std::uint8_t* out, std::size_t n) const {
    const std::uint8_t* in = plane(phase);
    const std::size_t end = m_bits[phase];
    const unsigned shift = bit % 8;
    std::size_t i = 0;
    // Seven bytes at a time while a whole word lies inside the plane.
    for (; i + 7 <= n && bit + 8 * (i + 8) <= end; i += 7) {
        const std::uint64_t word = Le64(in + bit / 8 + i) >> shift;
        for (int k = 0; k < 7; ++k) out[i + k] = static_cast<std::uint8_t>(word >> (8 * k));
    }
    for (; i < n; ++i) out[i] = Byte(phase, bit + 8 * i);
}

int DataPlanes::ClockErrors(int phase, std::size_t bit, std::size_t n) const {
    // The clock cell of phase 0's bit k is phase 1's bit k - 1; that of
    // phase 1's bit k is phase 0's bit k.
    const int other = 1 - phase;
    const auto data = [&](int p, std::size_t k) {
        return k < m_bits[p] && ((m_planes[p][k / 8] >> (k % 8)) & 1u) != 0;
    };
    int errors = 0;
    for (std::size_t k = std::max<std::size_t>(bit, 1); k < bit + 8 * n; ++k) {
        const bool clock = phase == 0 ? data(other, k - 1) : data(other, k);
        const bool expected = !data(phase, k - 1) && !data(phase, k);
        errors += clock != expected ? 1 : 0;
    }
    return errors;
}
