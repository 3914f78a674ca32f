#include "common/dataplanes.h"

#include <algorithm>
#include <array>

#include "common/bitstream.h"

#if defined(__SSE2__) && defined(__x86_64__)
#include <emmintrin.h>
#define KIT_SSE2_PLANES 1
#endif

#ifdef KIT_SSE2_PLANES
namespace {

// The even bits of each 64-bit lane, gathered into its low 32 bits.
__m128i EvenBits(__m128i x) {
    x = _mm_and_si128(x, _mm_set1_epi64x(0x5555555555555555));
    x = _mm_and_si128(_mm_or_si128(x, _mm_srli_epi64(x, 1)), _mm_set1_epi64x(0x3333333333333333));
    x = _mm_and_si128(_mm_or_si128(x, _mm_srli_epi64(x, 2)), _mm_set1_epi64x(0x0F0F0F0F0F0F0F0F));
    x = _mm_and_si128(_mm_or_si128(x, _mm_srli_epi64(x, 4)), _mm_set1_epi64x(0x00FF00FF00FF00FF));
    x = _mm_and_si128(_mm_or_si128(x, _mm_srli_epi64(x, 8)), _mm_set1_epi64x(0x0000FFFF0000FFFF));
    return _mm_or_si128(x, _mm_srli_epi64(x, 16));
}

// The low 32 bits of both lanes as one word, the first lane's low.
std::uint64_t LowHalves(__m128i x) {
    return static_cast<std::uint64_t>(
        _mm_cvtsi128_si64(_mm_shuffle_epi32(x, _MM_SHUFFLE(3, 3, 2, 0))));
}

}  // namespace
#endif

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
    std::size_t k = 0;
#ifdef KIT_SSE2_PLANES
    // Sixteen raw bytes at a time, every other cell gathered in each lane:
    // half the instructions of the look-ups below.
    for (; k + 1 < words; k += 2) {
        const __m128i sixteen = _mm_loadu_si128(reinterpret_cast<const __m128i*>(raw + 8 * k));
        PutLe64(first + 4 * k, LowHalves(EvenBits(_mm_srli_epi64(sixteen, 1))));
        const std::uint64_t even = LowHalves(EvenBits(sixteen));
        PutLe64(second + 4 * k, (even >> 1) | (std::uint64_t{raw[8 * k + 16] & 1u} << 63));
    }
#endif
    for (; k < words; ++k) {
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
    // Eight bytes at a time while they lie inside the plane; the byte after
    // them, which the shift reaches into, is at worst its zero slack.
    for (; i + 8 <= n && bit + 8 * (i + 8) <= end; i += 8) {
        const std::uint8_t* at = in + bit / 8 + i;
        // Two shifts, as a shift by 64 is undefined.
        PutLe64(out + i, (Le64(at) >> shift) | (std::uint64_t{at[8]} << 1 << (63 - shift)));
    }
    for (; i < n; ++i) out[i] = Byte(phase, bit + 8 * i);
}

int DataPlanes::ClockErrorsOfWords(int phase, std::size_t bit, std::size_t n) const {
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

namespace {

// Damaged, for phase 0 (Lag 1: its data bit k has its clock in the other
// plane's bit k - 1) or phase 1 (Lag 0: in bit k).
template <unsigned Lag>
bool DamagedIn(const std::uint8_t* data, const std::uint8_t* clocks, std::size_t bit,
               std::size_t n) {
    constexpr int kMostInAWord = 3;  // clock cells flipped by chance
    // In all, and in any eight words: a stretch read a cell out of step
    // where the data are mostly zero bits keeps the rule but at a few set
    // bits, one or two a word.
    const std::size_t most = 2 + n / 16;
    constexpr int kMostInEightWords = 4;
    std::size_t all = 0;
    std::array<int, 8> recent{};  // breaks in the last eight words
    int inrecent = 0;
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
        const std::uint64_t clock = Lag == 0 ? c : (c << 1) | (clockbefore >> 63);
        std::uint64_t wrong = clock ^ (~d & ~previous);
        before = d;
        clockbefore = c;
        if (wrong == 0) {  // most words, where a block was written
            carry = 0;
            inrecent -= recent[word % 8];
            recent[word % 8] = 0;
            continue;
        }
        if (64 * word < bit) wrong &= ~std::uint64_t{0} << (bit % 64);
        if (end < 64 * (word + 1)) wrong &= (std::uint64_t{1} << (end % 64)) - 1;
        // A pair's clock before the first data bit of the plane has none.
        if (word == 0) wrong &= ~std::uint64_t{1};
        if ((wrong & ((wrong << 1) | carry)) != 0) return true;
        std::uint64_t more = wrong;
        for (int k = 0; k < kMostInAWord && more != 0; ++k) more &= more - 1;
        if (more != 0) return true;
        const int breaks = Ones(wrong);
        all += static_cast<std::size_t>(breaks);
        inrecent += breaks - recent[word % 8];
        recent[word % 8] = breaks;
        if (all > most || inrecent > kMostInEightWords) return true;
        carry = wrong >> 63;
    }
    return false;
}

}  // namespace

bool DataPlanes::Damaged(int phase, std::size_t bit, std::size_t n) const {
    if (n == 0) return false;
    return phase == 0 ? DamagedIn<1>(plane(0), plane(1), bit, n)
                      : DamagedIn<0>(plane(1), plane(0), bit, n);
}
