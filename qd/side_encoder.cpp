#include "qd/side_encoder.h"

#include "common/crcblock.h"

namespace {

void Append(std::vector<std::uint8_t>& stream, std::uint8_t byte, int count) {
    stream.insert(stream.end(), static_cast<std::size_t>(count), byte);
}

// A block between its sync runs: the head from the ID mark on, the body and
// the CRC over both.
void AppendBlock(std::vector<std::uint8_t>& stream, Crc16& crc,
                 const std::vector<std::uint8_t>& head, const std::uint8_t* body,
                 std::size_t bodysize) {
    Append(stream, kQdSyncByte, kQdSyncBeforeBytes);
    AppendChecked(stream, crc, head.data(), head.size(), true);
    AppendCrc(stream, AppendChecked(stream, crc, body, bodysize, false));
    Append(stream, kQdSyncByte, kQdSyncAfterBytes);
}

std::vector<std::uint8_t> BlockHead(std::uint8_t type, std::size_t bodysize) {
    return {idmark, type, static_cast<std::uint8_t>(bodysize & 0xFF),
            static_cast<std::uint8_t>(bodysize >> 8)};
}

}  // namespace

std::size_t QdRecordStreamBytes(std::size_t n, const MztRecordView& record) {
    return (n == 0 ? kQdFirstInfoGapBytes : kQdGapBytes) + kQdRecordFrameBytes + record.size;
}

std::size_t QdSideStreamLength(const std::vector<MztRecordView>& records) {
    std::size_t length = kQdSideHeaderBytes;
    for (std::size_t i = 0; i < records.size(); ++i) length += QdRecordStreamBytes(i, records[i]);
    return length;
}

std::vector<std::uint8_t> BuildQdSide(const std::vector<std::uint8_t>& file,
                                      const std::vector<MztRecordView>& records, Crc16& crc) {
    std::vector<std::uint8_t> stream;
    stream.reserve(QdSideStreamLength(records));
    Append(stream, kQdGapByte, kQdLeadingGapBytes);
    const auto blockcount = static_cast<std::uint8_t>(2 * records.size());
    AppendBlock(stream, crc, {idmark, blockcount}, nullptr, 0);

    for (std::size_t i = 0; i < records.size(); ++i) {
        const MztRecordView& record = records[i];
        Append(stream, kQdGapByte, i == 0 ? kQdFirstInfoGapBytes : kQdGapBytes);
        const InfoRecord info = InfoRecordFromMzt(&file[record.offset]);
        AppendBlock(stream, crc, BlockHead(kQdInfoBlockType, info.size()), info.data(),
                    info.size());
        Append(stream, kQdGapByte, kQdGapBytes);
        const std::uint8_t* body = file.data() + record.offset + kMztHeaderBytes;
        AppendBlock(stream, crc, BlockHead(kQdDataBlockType, record.size), body, record.size);
    }
    return stream;
}

QdSideResult EncodeQdSide(const std::vector<std::uint8_t>& file, Crc16& crc, BitWriter& writer) {
    const std::vector<MztRecordView> records = WalkMztRecords(file);
    if (!records.empty() && !MztBodyInside(file, records.back())) {
        return {QdSideStatus::kTruncated, static_cast<int>(records.size()), 0, {}};
    }
    const int blockcount = 2 * static_cast<int>(records.size());
    if (blockcount > kQdMaxBlockCount) {
        return {QdSideStatus::kTooManyBlocks, blockcount, 0, {}};
    }
    QdSideResult result{QdSideStatus::kOk, 0, blockcount, {}};
    for (const MztRecordView& record : records) {
        result.infos.push_back(InfoRecordFromMzt(&file[record.offset]));
    }
    std::size_t length = kQdSideHeaderBytes;
    for (std::size_t i = 0; i < records.size(); ++i) {
        const std::size_t bytes = QdRecordStreamBytes(i, records[i]);
        if (length + bytes > static_cast<std::size_t>(kQdSideStreamBytes)) {
            result.status = QdSideStatus::kSizeOver;
            result.value = static_cast<int>(i + 1);
            result.needed = bytes;
            result.left = kQdSideStreamBytes - length;
            return result;
        }
        length += bytes;
    }
    std::vector<std::uint8_t> stream = BuildQdSide(file, records, crc);
    stream.resize(kQdSideStreamBytes, kQdGapByte);
    EncodeSide(writer, stream.data(), stream.size());
    return result;
}
