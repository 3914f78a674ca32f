// Raw bit-stream images: MFM cells, eight to a file byte, first cell in bit 0.
// Each data bit is a clock cell then a data cell; data bits go LSB first.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "common/littleendian.h"

inline constexpr int kCellsPerByte = 16;  // cells of one logical byte
inline constexpr int kRawBytesPerByte = kCellsPerByte / 8;

// Upper half 0x5555, lower half 0: the very first byte of a run sees this
// pattern ORed into its own, which the stored images and the decoders'
// skipped lead-in depend on.
inline constexpr std::uint32_t kMfmInitialState = 0x55550000;

// A byte's pattern: each data bit doubled, clocks inverted. A cell is 1
// where the pattern has a 1 not preceded by a 1: the data bit itself, or a
// clock between two zero data bits.
constexpr std::uint32_t MfmPattern(std::uint8_t byte) {
    std::uint32_t x = byte;
    x = (x | (x << 4)) & 0x0F0Fu;
    x = (x | (x << 2)) & 0x3333u;
    x = (x | (x << 1)) & 0x5555u;
    return (x * 3u) ^ 0x5555u;
}

// The 16 cells of a pattern (with any pending start pattern ORed in) whose
// predecessor's last pattern bit is bit 15 of previous.
constexpr std::uint16_t MfmCells(std::uint32_t upper, std::uint32_t previous) {
    return static_cast<std::uint16_t>(upper & ~((upper << 1) | ((previous >> 15) & 1u)));
}

namespace mfm_detail {

constexpr std::array<std::uint16_t, 256> CellTable() {
    std::array<std::uint16_t, 256> table{};
    for (unsigned b = 0; b < 256; ++b) table[b] = MfmCells(MfmPattern(std::uint8_t(b)), 0);
    return table;
}
// Cells of each byte after a 0 data bit; after a 1 the first clock is 0.
inline constexpr std::array<std::uint16_t, 256> kCells = CellTable();

constexpr std::array<std::uint8_t, 256> OffsetTable() {
    std::array<std::uint8_t, 256> table{};
    for (unsigned k = 0; k < 8; ++k) table[1u << k] = static_cast<std::uint8_t>(k);
    return table;
}
// The cell offset inside the current byte, from the reader's one-bit mask.
inline constexpr std::array<std::uint8_t, 256> kOffsetOfMask = OffsetTable();

constexpr std::array<std::uint8_t, 256> DataNibbleTable() {
    std::array<std::uint8_t, 256> table{};
    for (unsigned cells = 0; cells < 256; ++cells) {
        for (unsigned k = 0; k < 4; ++k) table[cells] |= ((cells >> (2 * k + 1)) & 1u) << k;
    }
    return table;
}
// The four data cells (the odd ones) of eight cells.
inline constexpr std::array<std::uint8_t, 256> kDataNibble = DataNibbleTable();

// The data bits of 16 cells in bits 0-15, as a byte.
constexpr std::uint32_t DataBits(std::uint32_t cells) {
    return kDataNibble[cells & 0xFF] | (std::uint32_t{kDataNibble[(cells >> 8) & 0xFF]} << 4);
}

}  // namespace mfm_detail

// The data byte of every 16 cells, one look-up a byte.
extern const std::uint8_t* const kDataByteOfCells;

// The writer of one run. Its counters and MFM memory carry from one output
// file to the next; callers only empty bitstreambuffer between files.
struct BitWriter {
    std::vector<std::uint8_t> bitstreambuffer;
    std::uint8_t bitstreamshift = 0;
    std::uint8_t bitstreamdata = 0;
    std::uint32_t xorbits = kMfmInitialState;

    void WriteBits(std::uint8_t cell);
    void MFM_encoder(std::uint8_t byte);
    void FlushBits();
    // The 16 cells MFM_encoder would add for byte, for a caller that puts
    // them in place itself; the writer moves on as MFM_encoder moves it.
    std::uint16_t NextCells(std::uint8_t byte);
};

// Empties the writer's buffer, encodes every byte in order and flushes.
void EncodeSide(BitWriter& writer, const std::uint8_t* sidestream, std::size_t length);

// The first cell (eight to a byte, first in bit 0) where two raw sides
// differ; a shorter side differs where it ends.
std::optional<std::size_t> FirstDifferentCell(const std::vector<std::uint8_t>& a,
                                              const std::vector<std::uint8_t>& b);

// FirstDifferentCell(raw, what EncodeSide makes of sidestream with a fresh
// writer), the cells made and compared a stretch at a time: a side's cells
// are never held whole, sparing the memory a run would first touch.
std::optional<std::size_t> FirstCellOffEncoding(const std::vector<std::uint8_t>& raw,
                                                const std::vector<std::uint8_t>& sidestream);

// A raw side against the kit's encoding of what it holds.
struct CellComparison {
    bool encodable = false;  // the kit can write it onto a side
    std::optional<std::size_t> first_difference;
};

// The reader of one run over a loaded raw image.
struct BitReader {
    const std::uint8_t* bitstreambuffer = nullptr;
    std::size_t size = 0;
    std::uint32_t bitstreampos = 0;
    std::uint8_t bitstreammask = 1;

    BitReader() = default;
    explicit BitReader(const std::vector<std::uint8_t>& raw)
        : bitstreambuffer(raw.data()), size(raw.size()) {}

    // The cell the reader stands on, counted from the first.
    std::size_t Cell() const { return std::size_t{bitstreampos} * 8 + Offset(); }

    void Seek(std::uint32_t pos) {
        bitstreampos = pos;
        bitstreammask = 1;
    }

    // n cells, first in bit 0; -1 when the position is at the end on entry.
    // Cells missing past the end of a started read count as 0.
    std::int32_t ReadBits(std::int32_t n) {
        // Up to 24 cells from any offset lie in the next four bytes.
        if (n >= 0 && n <= 24 && bitstreampos + 3 < size) {
            const std::uint32_t cells = Window32() & ((1u << n) - 1);
            Advance(static_cast<unsigned>(n));
            return static_cast<std::int32_t>(cells);
        }
        return ReadBitsNearEnd(n);
    }

    // One logical byte from eight clock/data pairs, or -1.
    std::int32_t ReadByte() {
        if (bitstreampos + 3 < size) {
            const std::uint32_t cells = Window32();
            bitstreampos += kRawBytesPerByte;
            return static_cast<std::int32_t>(mfm_detail::DataBits(cells));
        }
        return ReadByteNearEnd();
    }

    // Up to count bytes as ReadByte gives them, stopping at the first -1;
    // returns how many were read.
    std::size_t ReadBytes(std::uint8_t* out, std::size_t count);
    // The same without keeping the bytes.
    std::size_t SkipBytes(std::size_t count);

    // Passes over up to most 8-cell groups equal to group, as ReadBits(8)
    // would one by one; stops before a different group, or early within eight
    // bytes of the end. Returns how many it passed.
    std::uint32_t SkipGroups(std::uint8_t group, std::uint32_t most);

    // Reads 2-cell pairs until one equals pair: 1 then, -1 at the end (where
    // the reader stops as ReadBits(2) in a loop would leave it).
    std::int32_t FindPair(std::int32_t pair);

private:
    unsigned Offset() const { return mfm_detail::kOffsetOfMask[bitstreammask]; }
    // At least 25 cells from the position; four bytes must be left.
    std::uint32_t Window32() const { return Le32(bitstreambuffer + bitstreampos) >> Offset(); }
    void Advance(unsigned cells) {
        const unsigned end = Offset() + cells;
        bitstreampos += end >> 3;
        bitstreammask = static_cast<std::uint8_t>(1u << (end & 7));
    }
    // Bytes from the position whose four raw bytes all lie inside the data.
    std::size_t WholeBytes() const {
        return bitstreampos + 3 < size ? (size - bitstreampos - 2) / kRawBytesPerByte : 0;
    }
    // Cell by cell, for reads that may run into the end of the data.
    std::int32_t ReadBitsNearEnd(std::int32_t n);
    std::int32_t ReadByteNearEnd();
};

// What a reader's search for a gap, a sync run or a block's start came to;
// both media's readers answer in these terms.
enum class SyncSearch {
    kFound,
    kNotFound,  // not where it was looked for; the reader may look again
    kEnd,       // the data ended first
};
