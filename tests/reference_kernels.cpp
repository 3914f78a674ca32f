#include "tests/reference_kernels.h"

#include "fds/fds_layout.h"
#include "qd/qd_layout.h"

namespace reference {

void BitWriter::WriteBits(std::uint8_t cell) {
    const auto bit = static_cast<std::uint8_t>(1u << bitstreamshift);
    if (cell != 0) {
        bitstreamdata |= bit;
    } else {
        bitstreamdata &= static_cast<std::uint8_t>(~bit);
    }
    if (++bitstreamshift > 7) {
        bitstreambuffer.push_back(bitstreamdata);
        bitstreamdata = 0;
        bitstreamshift = 0;
    }
}

void BitWriter::MFM_encoder(std::uint8_t byte) {
    std::uint32_t spread = 0;
    for (int i = 0; i < 8; ++i) {
        if (byte & (1u << i)) spread |= 3u << (2 * i);
    }
    const std::uint32_t pattern = spread ^ 0x5555u;
    xorbits = (pattern << 16) | xorbits;
    for (int k = 0; k < 16; ++k) {
        const bool one = (xorbits & 0x10000u) && !(xorbits & 0x8000u);
        WriteBits(one ? 1 : 0);
        xorbits >>= 1;
    }
}

void BitWriter::FlushBits() {
    if (bitstreamshift == 0) return;
    bitstreamdata &= static_cast<std::uint8_t>((1u << bitstreamshift) - 1);
    bitstreambuffer.push_back(bitstreamdata);
    bitstreamdata = 0;
    bitstreamshift = 0;
}

void EncodeSide(BitWriter& writer, const std::uint8_t* sidestream, std::size_t length) {
    writer.bitstreambuffer.clear();
    for (std::size_t i = 0; i < length; ++i) writer.MFM_encoder(sidestream[i]);
    writer.FlushBits();
}

std::int32_t BitReader::ReadBits(std::int32_t n) {
    if (bitstreampos >= size) return -1;
    if (n <= 0) return 0;
    std::uint32_t result = 0;
    std::uint32_t weight = 1;
    for (std::int32_t i = 0; i < n; ++i) {
        if (bitstreampos < size && (bitstreambuffer[bitstreampos] & bitstreammask)) {
            result += weight;
        }
        bitstreammask = static_cast<std::uint8_t>(bitstreammask << 1);
        if (bitstreammask == 0) {
            bitstreammask = 1;
            ++bitstreampos;
        }
        weight <<= 1;
    }
    return static_cast<std::int32_t>(result);
}

std::int32_t BitReader::ReadByte() {
    std::int32_t result = 0;
    for (int j = 0; j < 8; ++j) {
        const std::int32_t pair = ReadBits(2);
        if (pair < 0) return -1;
        if (pair & 2) result |= 1 << j;
    }
    return result;
}

std::uint16_t CrcStep(const CrcVariant& variant, std::uint16_t reg, std::uint8_t data) {
    for (int i = 0; i < 8; ++i) {
        bool feedback;
        if (variant.rule.shiftsright) {
            feedback = ((data ^ reg) & 1) != 0;
            reg = static_cast<std::uint16_t>(reg >> 1);
        } else {
            feedback = ((data & 1) != 0) != ((reg & 0x8000) != 0);
            reg = static_cast<std::uint16_t>(reg << 1);
        }
        data = static_cast<std::uint8_t>(data >> 1);
        if (feedback) reg ^= variant.rule.polynomial;
    }
    return reg;
}

SyncSearch FdsSearchSync(BitReader& reader) {
    int groups = 0;
    while (groups <= kFdsSyncGapGroups) {
        const std::int32_t cells = reader.ReadBits(8);
        if (cells < 0) return SyncSearch::kEnd;
        if (cells == kFdsGapCells) {
            ++groups;
        } else {
            if (cells == kFdsGapCellsOutOfStep) reader.ReadBits(1);
            groups = 0;
        }
    }
    for (;;) {
        const std::int32_t pair = reader.ReadBits(2);
        if (pair < 0) return SyncSearch::kEnd;
        if (pair == kFdsStartMarkCells) return SyncSearch::kFound;
    }
}

SyncSearch QdSearchGap(BitReader& reader) {
    bool gapseen = false;
    for (;;) {
        const std::int32_t cells = reader.ReadBits(8);
        if (cells < 0) return SyncSearch::kEnd;
        if (cells == kQdGapCells) {
            gapseen = true;
        } else if (cells == kQdGapCellsOutOfStep) {
            reader.ReadBits(1);
            gapseen = true;
        } else if (gapseen) {
            return SyncSearch::kFound;
        }
    }
}

}  // namespace reference
