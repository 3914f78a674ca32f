#include "common/bitstream.h"

#include <algorithm>

#include "common/dataplanes.h"

namespace {

// The data byte of every 16 cells, for decoding runs: one look-up a byte.
struct DataByteTable {
    std::uint8_t byte[1 << kCellsPerByte];
};

constexpr DataByteTable MakeDataByteTable() {
    DataByteTable table{};
    for (std::uint32_t cells = 0; cells < (1u << kCellsPerByte); ++cells)
        table.byte[cells] = static_cast<std::uint8_t>(mfm_detail::DataBits(cells));
    return table;
}

constexpr DataByteTable kDataByteOf = MakeDataByteTable();

}  // namespace

const std::uint8_t* const kDataByteOfCells = kDataByteOf.byte;

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

std::uint16_t BitWriter::NextCells(std::uint8_t byte) {
    const std::uint32_t upper = MfmPattern(byte) | (xorbits >> 16);
    const std::uint32_t cells = (bitstreamdata & ((1u << bitstreamshift) - 1)) |
                                (std::uint32_t{MfmCells(upper, xorbits)} << bitstreamshift);
    xorbits = upper;
    bitstreamdata = static_cast<std::uint8_t>(cells >> 16);
    return static_cast<std::uint16_t>(cells);
}

void BitWriter::MFM_encoder(std::uint8_t byte) {
    const std::uint16_t cells = NextCells(byte);
    bitstreambuffer.push_back(static_cast<std::uint8_t>(cells));
    bitstreambuffer.push_back(static_cast<std::uint8_t>(cells >> 8));
}

void BitWriter::FlushBits() {
    if (bitstreamshift == 0) return;
    bitstreamdata &= static_cast<std::uint8_t>((1u << bitstreamshift) - 1);
    bitstreambuffer.push_back(bitstreamdata);
    bitstreamdata = 0;
    bitstreamshift = 0;
}

void EncodeSide(BitWriter& writer, const std::uint8_t* sidestream, std::size_t length) {
    std::vector<std::uint8_t>& buffer = writer.bitstreambuffer;
    if (length == 0) {
        buffer.clear();
        writer.FlushBits();
        return;
    }
    // Every byte is written below, so a buffer that has the size already,
    // as a writer encoding a side stretch by stretch has, is not filled first.
    if (buffer.size() != length * kRawBytesPerByte) {
        buffer.clear();
        buffer.reserve(length * kRawBytesPerByte + 1);
        buffer.resize(length * kRawBytesPerByte);
    }
    // The first byte may meet the start state; the rest only the bit before.
    PutLe16(buffer.data(), writer.NextCells(sidestream[0]));
    std::uint8_t* out = buffer.data() + kRawBytesPerByte;
    const unsigned shift = writer.bitstreamshift;
    if (shift == 0 && (writer.xorbits >> 15) == (sidestream[0] >> 7)) {
        // In step, as every side is: the bit before is the byte before's bit 7.
        for (std::size_t i = 1; i < length; ++i) {
            const std::uint32_t cells =
                mfm_detail::kCells[sidestream[i]] & ~(std::uint32_t{sidestream[i - 1]} >> 7);
            out[0] = static_cast<std::uint8_t>(cells);
            out[1] = static_cast<std::uint8_t>(cells >> 8);
            out += kRawBytesPerByte;
        }
    } else {
        std::uint32_t pending = writer.bitstreamdata & ((1u << shift) - 1);
        unsigned last = (writer.xorbits >> 15) & 1u;
        for (std::size_t i = 1; i < length; ++i) {
            const std::uint8_t byte = sidestream[i];
            pending |= (mfm_detail::kCells[byte] & ~last) << shift;
            last = byte >> 7;
            out[0] = static_cast<std::uint8_t>(pending);
            out[1] = static_cast<std::uint8_t>(pending >> 8);
            out += kRawBytesPerByte;
            pending >>= 16;
        }
        writer.bitstreamdata = static_cast<std::uint8_t>(pending);
    }
    if (length > 1) writer.xorbits = MfmPattern(sidestream[length - 1]);
    writer.FlushBits();
}

std::int32_t BitReader::ReadBitsNearEnd(std::int32_t n) {
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

std::int32_t BitReader::ReadByteNearEnd() {
    std::int32_t result = 0;
    for (int j = 0; j < 8; ++j) {
        const std::int32_t pair = ReadBitsNearEnd(2);
        if (pair < 0) return -1;
        if (pair & 2) result |= 1 << j;
    }
    return result;
}

std::size_t BitReader::ReadBytes(std::uint8_t* out, std::size_t count) {
    const std::size_t whole = WholeBytes();
    const std::size_t fast = whole < count ? whole : count;
    const std::uint8_t* in = bitstreambuffer + bitstreampos;
    const unsigned offset = Offset();
    std::size_t i = 0;
    // Two bytes from eight raw bytes while three more bytes follow.
    for (; i + 3 < fast; i += 2, in += 2 * kRawBytesPerByte) {
        const std::uint64_t cells = Le64(in) >> offset;
        out[i] = kDataByteOf.byte[cells & 0xFFFF];
        out[i + 1] = kDataByteOf.byte[(cells >> 16) & 0xFFFF];
    }
    for (; i < fast; ++i, in += kRawBytesPerByte)
        out[i] = kDataByteOf.byte[(Le32(in) >> offset) & 0xFFFF];
    bitstreampos += static_cast<std::uint32_t>(fast * kRawBytesPerByte);
    std::size_t done = fast;
    for (; done < count; ++done) {
        const std::int32_t byte = ReadByteNearEnd();
        if (byte < 0) break;
        out[done] = static_cast<std::uint8_t>(byte);
    }
    return done;
}

std::size_t BitReader::SkipBytes(std::size_t count) {
    const std::size_t whole = WholeBytes();
    const std::size_t fast = whole < count ? whole : count;
    bitstreampos += static_cast<std::uint32_t>(fast * kRawBytesPerByte);
    std::size_t done = fast;
    for (; done < count && ReadByteNearEnd() >= 0; ++done) {
    }
    return done;
}

std::uint32_t BitReader::SkipGroups(std::uint8_t group, std::uint32_t most) {
    constexpr std::uint64_t kSevenGroups = 0x00FFFFFFFFFFFFFFu;
    const std::uint64_t pattern = 0x0101010101010101u * group;
    const unsigned offset = Offset();
    std::uint32_t skipped = 0;
    // Eight raw bytes hold seven whole groups at any offset.
    while (skipped < most && bitstreampos + 7 < size) {
        const std::uint64_t differ =
            ((Le64(bitstreambuffer + bitstreampos) >> offset) ^ pattern) & kSevenGroups;
        std::uint32_t same = 0;
        while (same < 7 && ((differ >> (8 * same)) & 0xFF) == 0) ++same;
        if (same > most - skipped) same = most - skipped;
        bitstreampos += same;
        skipped += same;
        if (same < 7) break;
    }
    return skipped;
}

std::int32_t BitReader::FindPair(std::int32_t pair) {
    constexpr std::uint32_t kTwelvePairs = 0x00555555u;
    while (bitstreampos + 3 < size) {
        const std::uint32_t cells = Window32();
        const std::uint32_t first = (pair & 1) ? cells : ~cells;
        const std::uint32_t second = (pair & 2) ? cells >> 1 : ~(cells >> 1);
        std::uint32_t found = first & second & kTwelvePairs;
        if (found == 0) {
            Advance(24);
            continue;
        }
        unsigned at = 0;
        for (; (found & 1) == 0; found >>= 2) at += 2;
        Advance(at + 2);
        return 1;
    }
    for (;;) {
        const std::int32_t cells = ReadBitsNearEnd(2);
        if (cells < 0) return -1;
        if (cells == pair) return 1;
    }
}

namespace {

// The first cell where n bytes at a and at b differ.
std::optional<std::size_t> FirstDifferentCellOf(const std::uint8_t* a, const std::uint8_t* b,
                                                std::size_t n) {
    std::size_t i = 0;
    // Eight bytes a step: little-endian words put byte i's bit 0 at bit 8i.
    for (; i + 8 <= n; i += 8) {
        const std::uint64_t differ = Le64(a + i) ^ Le64(b + i);
        if (differ != 0) return i * 8 + static_cast<std::size_t>(LowestBit(differ));
    }
    for (; i < n; ++i) {
        const unsigned differ = a[i] ^ b[i];
        if (differ != 0) return i * 8 + static_cast<std::size_t>(LowestBit(differ));
    }
    return std::nullopt;
}

}  // namespace

std::optional<std::size_t> FirstDifferentCell(const std::vector<std::uint8_t>& a,
                                              const std::vector<std::uint8_t>& b) {
    const std::size_t n = std::min(a.size(), b.size());
    if (const auto cell = FirstDifferentCellOf(a.data(), b.data(), n)) return cell;
    if (a.size() != b.size()) return n * 8;
    return std::nullopt;
}

std::optional<std::size_t> FirstCellOffEncoding(const std::vector<std::uint8_t>& raw,
                                                const std::vector<std::uint8_t>& sidestream) {
    // A fresh writer's bytes each make whole raw bytes, so stretches join
    // without a seam.
    constexpr std::size_t kStretch = 4096;
    BitWriter writer;
    std::size_t compared = 0;  // raw bytes
    for (std::size_t i = 0; i < sidestream.size(); i += kStretch) {
        EncodeSide(writer, sidestream.data() + i, std::min(kStretch, sidestream.size() - i));
        const std::vector<std::uint8_t>& cells = writer.bitstreambuffer;
        const std::size_t n = std::min(cells.size(), raw.size() - compared);
        if (const auto cell = FirstDifferentCellOf(raw.data() + compared, cells.data(), n)) {
            return compared * 8 + *cell;
        }
        compared += n;
        if (n < cells.size()) return compared * 8;
    }
    if (raw.size() != compared) return compared * 8;
    return std::nullopt;
}
