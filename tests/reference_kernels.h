// The cell-by-cell and bit-by-bit kernels the kit first shipped with, kept
// unchanged as the measure of the fast ones: same bytes, same state.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "common/bitstream.h"
#include "common/crc16.h"

namespace reference {

struct BitWriter {
    std::vector<std::uint8_t> bitstreambuffer;
    std::uint8_t bitstreamshift = 0;
    std::uint8_t bitstreamdata = 0;
    std::uint32_t xorbits = 0x55550000;

    void WriteBits(std::uint8_t cell);
    void MFM_encoder(std::uint8_t byte);
    void FlushBits();
};

void EncodeSide(BitWriter& writer, const std::uint8_t* sidestream, std::size_t length);

struct BitReader {
    const std::uint8_t* bitstreambuffer = nullptr;
    std::size_t size = 0;
    std::uint32_t bitstreampos = 0;
    std::uint8_t bitstreammask = 1;

    explicit BitReader(const std::vector<std::uint8_t>& raw)
        : bitstreambuffer(raw.data()), size(raw.size()) {}

    void Seek(std::uint32_t pos) {
        bitstreampos = pos;
        bitstreammask = 1;
    }
    std::int32_t ReadBits(std::int32_t n);
    std::int32_t ReadByte();
};

std::uint16_t CrcStep(const CrcVariant& variant, std::uint16_t reg, std::uint8_t data);

// The searches over gap, a group or a pair of cells at a time.
SyncSearch FdsSearchSync(BitReader& reader);
SyncSearch QdSearchGap(BitReader& reader);

}  // namespace reference
