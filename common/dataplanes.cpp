#include "common/dataplanes.h"

#include <algorithm>

#include "common/bitstream.h"

DataPlanes::DataPlanes(const std::vector<std::uint8_t>& raw) {
    const std::size_t cells = raw.size() * 8;
    m_cells = cells;
    const std::size_t bytes = (raw.size() + 1) / 2;  // of each plane
    for (int phase = 0; phase < 2; ++phase) {
        m_bits[phase] = cells >= static_cast<std::size_t>(phase) ? (cells - phase) / 2 : 0;
        m_planes[phase].resize(bytes + kSlack);
    }
    // Sixteen cells make a byte of each plane, the second one cell later;
    // the last bytes come from a copy that ends in zeros.
    const auto convert = [&](const std::uint8_t* at, std::size_t j) {
        const std::uint32_t window = Le32(at);
        m_planes[0][j] = kDataByteOfCells[window & 0xFFFF];
        m_planes[1][j] = kDataByteOfCells[(window >> 1) & 0xFFFF];
    };
    const std::size_t whole = raw.size() >= 4 ? (raw.size() - 2) / 2 : 0;
    for (std::size_t j = 0; j < whole; ++j) convert(&raw[2 * j], j);
    std::uint8_t tail[8] = {};
    std::copy(raw.begin() + static_cast<std::ptrdiff_t>(2 * whole), raw.end(), tail);
    for (std::size_t j = whole; j < bytes; ++j) convert(tail + 2 * (j - whole), j);
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
    // phase 1's bit k is phase 0's bit k. A clock is set exactly between
    // two zero data bits.
    int errors = 0;
    for (std::size_t at = std::max<std::size_t>(bit, 1); at < bit + 8 * n; at += 64) {
        const std::size_t count = std::min<std::size_t>(64, bit + 8 * n - at);
        const std::uint64_t data = Word(phase, at);
        const std::uint64_t before = Word(phase, at - 1);
        const std::uint64_t clock = phase == 0 ? Word(1, at - 1) : Word(0, at);
        std::uint64_t wrong = clock ^ (~data & ~before);
        if (count < 64) wrong &= (std::uint64_t{1} << count) - 1;
        errors += Ones(wrong);
    }
    return errors;
}

bool DataPlanes::Damaged(int phase, std::size_t bit, std::size_t n) const {
    constexpr int kMostInAWord = 3;  // clock cells flipped by chance
    std::uint64_t carry = 0;         // the last clock of the word before broke the rule
    for (std::size_t at = std::max<std::size_t>(bit, 1); at < bit + 8 * n; at += 64) {
        const std::size_t count = std::min<std::size_t>(64, bit + 8 * n - at);
        const std::uint64_t data = Word(phase, at);
        const std::uint64_t before = Word(phase, at - 1);
        const std::uint64_t clock = phase == 0 ? Word(1, at - 1) : Word(0, at);
        std::uint64_t wrong = clock ^ (~data & ~before);
        if (count < 64) wrong &= (std::uint64_t{1} << count) - 1;
        if ((wrong & ((wrong << 1) | carry)) != 0 || Ones(wrong) > kMostInAWord) return true;
        carry = wrong >> 63;
    }
    return false;
}
