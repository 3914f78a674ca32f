#include "tests/qd_side.h"

#include "common/bitstream.h"
#include "common/crc16.h"
#include "qd/qd_layout.h"

Bytes QdBlock(const Bytes& bytes) {
    Crc16 crc(kQdWriterCrc);
    std::uint16_t value = 0;
    for (std::size_t i = 0; i < bytes.size(); ++i) value = crc.CRC_check(bytes[i], i == 0);
    return Concat(
        {bytes, Bytes{static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8)}});
}

Bytes QdInfoBlock(std::uint8_t attribute, const std::string& name, std::uint16_t size,
                  std::uint8_t mark) {
    Bytes record(64, 0);
    record[0] = attribute;
    for (std::size_t i = 0; i < 17; ++i)
        record[1 + i] = i < name.size() ? static_cast<std::uint8_t>(name[i]) : ' ';
    record[20] = static_cast<std::uint8_t>(size);
    record[21] = static_cast<std::uint8_t>(size >> 8);
    return QdBlock(Concat({Bytes{mark, 0x00, 0x40, 0x00}, record}));
}

Bytes QdDataBlock(const Bytes& body, std::uint8_t type, std::uint8_t mark) {
    const auto size = body.size();
    return QdBlock(Concat(
        {Bytes{mark, type, static_cast<std::uint8_t>(size), static_cast<std::uint8_t>(size >> 8)},
         body}));
}

Bytes QdSide(const std::vector<Bytes>& blocks) {
    Bytes side = Repeat(0, 4785);
    for (std::size_t i = 0; i < blocks.size(); ++i) {
        if (i > 0) side = Concat({side, Repeat(0, 256)});
        side = Concat({side, Repeat(0x16, 10), blocks[i], Repeat(0x16, 6)});
    }
    side.resize(81920, 0);
    return side;
}

Bytes QdRaw(const Bytes& side, int shift) {
    BitWriter writer;
    for (int i = 0; i < shift; ++i) writer.WriteBits(0);
    for (std::uint8_t byte : side) writer.MFM_encoder(byte);
    writer.FlushBits();
    return writer.bitstreambuffer;
}
