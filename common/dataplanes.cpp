#include "common/dataplanes.h"

#include <algorithm>

#include "common/bitstream.h"

DataPlanes::DataPlanes(const std::uint8_t* raw, std::size_t size) {
    const std::size_t cells = size * 8;
    m_cells = cells;
    const std::size_t bytes = (size + 1) / 2;  // of each plane
    m_size = bytes + kSlack;
    for (int phase = 0; phase < 2; ++phase) {
        m_bits[phase] = cells >= static_cast<std::size_t>(phase) ? (cells - phase) / 2 : 0;
        // Every byte is written below; zeroing them first would cost as much.
        m_planes[phase].reset(new std::uint8_t[m_size]);
    }
    std::uint8_t* const first = m_planes[0].get();
    std::uint8_t* const second = m_planes[1].get();
    // Sixteen cells make a byte of each plane, the second one cell later:
    // eight raw bytes make four of each, the second's last reaching one
    // cell into the next eight.
    const std::size_t words = size >= 9 ? (size - 1) / 8 : 0;
    for (std::size_t k = 0; k < words; ++k) {
        const std::uint64_t window = Le64(&raw[8 * k]);
        const std::uint64_t later = (window >> 1) | (std::uint64_t{raw[8 * k + 8]} << 63);
        for (int j = 0; j < 4; ++j) {
            first[4 * k + j] = kDataByteOfCells[(window >> (16 * j)) & 0xFFFF];
            second[4 * k + j] = kDataByteOfCells[(later >> (16 * j)) & 0xFFFF];
        }
    }
    // The last bytes come from a copy that ends in zeros.
    std::uint8_t tail[16] = {};
    std::copy(raw + 8 * words, raw + size, tail);
    for (std::size_t j = 4 * words; j < bytes; ++j) {
        const std::uint32_t window = Le32(tail + 2 * (j - 4 * words));
        first[j] = kDataByteOfCells[window & 0xFFFF];
        second[j] = kDataByteOfCells[(window >> 1) & 0xFFFF];
    }
    // A pair whose data cell lies past the end holds no bit.
    for (int phase = 0; phase < 2; ++phase) {
        std::uint8_t* plane = m_planes[phase].get();
        const std::size_t bits = m_bits[phase];
        if (bits % 8 != 0) plane[bits / 8] &= static_cast<std::uint8_t>((1u << (bits % 8)) - 1);
        std::fill(plane + (bits + 7) / 8, plane + m_size, 0);
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
    if (n == 0) return false;
    // Whole words of each plane: phase 0's data bit k has its clock in
    // phase 1's bit k - 1, phase 1's in phase 0's bit k.
    const std::uint8_t* data = plane(phase);
    const std::uint8_t* clocks = plane(1 - phase);
    const std::size_t end = bit + 8 * n;
    std::uint64_t before = 0, clockbefore = 0;  // the words before, for the bits they carry in
    if (bit >= 64) {
        before = Le64(data + 8 * (bit / 64 - 1));
        clockbefore = Le64(clocks + 8 * (bit / 64 - 1));
    }
    std::uint64_t carry = 0;  // the last clock of the word before broke the rule
    for (std::size_t word = bit / 64; 64 * word < end; ++word) {
        const std::uint64_t d = Le64(data + 8 * word);
        const std::uint64_t c = Le64(clocks + 8 * word);
        const std::uint64_t previous = (d << 1) | (before >> 63);
        const std::uint64_t clock = phase == 0 ? (c << 1) | (clockbefore >> 63) : c;
        std::uint64_t wrong = clock ^ (~d & ~previous);
        if (64 * word < bit) wrong &= ~std::uint64_t{0} << (bit % 64);
        if (end < 64 * (word + 1)) wrong &= (std::uint64_t{1} << (end % 64)) - 1;
        // A pair's clock before the first data bit of the plane has none.
        if (word == 0) wrong &= ~std::uint64_t{1};
        if ((wrong & ((wrong << 1) | carry)) != 0) return true;
        std::uint64_t more = wrong;
        for (int k = 0; k < kMostInAWord && more != 0; ++k) more &= more - 1;
        if (more != 0) return true;
        carry = wrong >> 63;
        before = d;
        clockbefore = c;
    }
    return false;
}
