// The data bits of a raw image at both cell phases, for readers that must
// find blocks wherever they lie. Each data bit is the second cell of its
// clock/data pair, and which cells pair up depends on where a reading falls
// in step; a slipped cell changes it. Phase p pairs cells 2k+p and 2k+p+1,
// so its data bit k is cell 2k+p+1:
//
//   cells   c0 c1 c2 c3 c4 c5 ...
//   phase 0 [c0 c1][c2 c3][c4 c5]    data bits c1 c3 c5
//   phase 1    [c1 c2][c3 c4][c5 ..  data bits c2 c4
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "common/littleendian.h"

// The index of the lowest set bit of a non-zero word.
inline int LowestBit(std::uint64_t word) {
#if defined(__GNUC__) || defined(__clang__)
    return __builtin_ctzll(word);
#else
    int bit = 0;
    while ((word & 1u) == 0) {
        word >>= 1;
        ++bit;
    }
    return bit;
#endif
}

// The index of the highest set bit of a non-zero word.
inline int HighestBit(std::uint64_t word) {
#if defined(__GNUC__) || defined(__clang__)
    return 63 - __builtin_clzll(word);
#else
    int bit = 63;
    while ((word >> bit) == 0) --bit;
    return bit;
#endif
}

// Set bits in a word. Counted in place: without a CPU level that has the
// instruction, the compiler's builtin is a library call that costs twice this.
inline int Ones(std::uint64_t word) {
    word -= (word >> 1) & 0x5555555555555555u;
    word = (word & 0x3333333333333333u) + ((word >> 2) & 0x3333333333333333u);
    word = (word + (word >> 4)) & 0x0F0F0F0F0F0F0F0Fu;
    return static_cast<int>((word * 0x0101010101010101u) >> 56);
}

class DataPlanes {
public:
    explicit DataPlanes(const std::vector<std::uint8_t>& raw)
        : DataPlanes(raw.data(), raw.size()) {}
    // The first size bytes at raw, as a raw image of their own.
    DataPlanes(const std::uint8_t* raw, std::size_t size);

    // Cells of the raw image.
    std::size_t cells() const { return m_cells; }
    // Data bits of a phase; bit b of byte j is data bit 8j+b.
    std::size_t bits(int phase) const { return m_bits[phase]; }
    const std::uint8_t* plane(int phase) const { return m_planes[phase].get(); }
    // The first cell of data bit `bit`'s pair.
    static std::size_t Cell(int phase, std::size_t bit) { return 2 * bit + phase; }

    // Eight data bits from bit on, the first in bit 0; bits past the end are 0.
    std::uint8_t Byte(int phase, std::size_t bit) const {
        if (bit >= m_bits[phase]) return 0;
        return static_cast<std::uint8_t>(Le16(plane(phase) + bit / 8) >> (bit % 8));
    }
    // 64 data bits from bit on, the first in bit 0 (past the end, 0).
    std::uint64_t Word(int phase, std::size_t bit) const {
        const std::uint8_t* at = plane(phase) + bit / 8;
        const unsigned shift = bit % 8;
        const std::uint64_t low = Le64(at) >> shift;
        return shift == 0 ? low : low | std::uint64_t{at[8]} << (64 - shift);
    }
    // n bytes from bit on, as Byte gives them one after the other.
    void Bytes(int phase, std::size_t bit, std::uint8_t* out, std::size_t n) const;
    // Clock cells among the n bytes from bit on that break the MFM rule (a
    // clock is a flux cell exactly between two zero data bits): few where a
    // block was written, many in noise or out of step.
    int ClockErrors(int phase, std::size_t bit, std::size_t n) const {
        if (bit == 0 || n >= 8) return ClockErrorsOfWords(phase, bit, n);
        // Most calls look at a few bytes: one word. The clock cell of phase
        // 0's bit k is phase 1's bit k - 1; that of phase 1's bit k is
        // phase 0's bit k. A clock is set exactly between two zero data bits.
        // From the bit before on: each data bit beside the one before it.
        const std::uint64_t data = Word(phase, bit - 1);
        const std::uint64_t clock = phase == 0 ? Word(1, bit - 1) : Word(0, bit);
        const std::uint64_t wrong = clock ^ ~(data | (data >> 1));
        return Ones(wrong & ((std::uint64_t{1} << (8 * n)) - 1));
    }
    // Whether the n bytes from bit on show damage that a CRC may, by
    // chance, not see: two neighbouring clock cells that both break the
    // rule, as a data cell flipped between zero bits leaves them (a flipped
    // clock cell breaks one alone), or several in one word, as a stretch
    // read a cell out of step breaks one at every 1 0 1 of its data.
    bool Damaged(int phase, std::size_t bit, std::size_t n) const;

private:
    int ClockErrorsOfWords(int phase, std::size_t bit, std::size_t n) const;

    // Each plane ends with zero bytes, so that whole words may be read
    // anywhere inside it.
    static constexpr std::size_t kSlack = 16;
    std::array<std::unique_ptr<std::uint8_t[]>, 2> m_planes;
    std::size_t m_size = 0;  // bytes of each plane
    std::array<std::size_t, 2> m_bits{};
    std::size_t m_cells = 0;
};
