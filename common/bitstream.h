// Raw bit-stream images: MFM cells, eight to a file byte, first cell in bit 0.
// Each data bit is a clock cell then a data cell; data bits go LSB first.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

inline constexpr int kCellsPerByte = 16;  // cells of one logical byte
inline constexpr int kRawBytesPerByte = kCellsPerByte / 8;

// Upper half 0x5555, lower half 0: the very first byte of a run sees this
// pattern ORed into its own, which the stored images and the decoders'
// skipped lead-in depend on.
inline constexpr std::uint32_t kMfmInitialState = 0x55550000;

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
};

// Empties the writer's buffer, encodes every byte in order and flushes.
void EncodeSide(BitWriter& writer, const std::uint8_t* sidestream, std::size_t length);

// The reader of one run over a loaded raw image.
struct BitReader {
    const std::uint8_t* bitstreambuffer = nullptr;
    std::size_t size = 0;
    std::uint32_t bitstreampos = 0;
    std::uint8_t bitstreammask = 1;

    BitReader() = default;
    explicit BitReader(const std::vector<std::uint8_t>& raw)
        : bitstreambuffer(raw.data()), size(raw.size()) {}

    void Seek(std::uint32_t pos) {
        bitstreampos = pos;
        bitstreammask = 1;
    }

    // n cells, first in bit 0; -1 when the position is at the end on entry.
    // Cells missing past the end of a started read count as 0.
    std::int32_t ReadBits(std::int32_t n);
    // One logical byte from eight clock/data pairs, or -1.
    std::int32_t ReadByte();
};
