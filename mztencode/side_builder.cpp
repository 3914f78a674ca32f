#include "mztencode/side_builder.h"

#include "qddecode/fileinfo.h"

namespace {

constexpr const char* kBlocks = "MZT blocks: %d\n";
constexpr const char* kRecordsDone = "End of data.";

void Append(std::vector<std::uint8_t>& stream, std::uint8_t byte, int count) {
    stream.insert(stream.end(), static_cast<std::size_t>(count), byte);
}

// Appends bytes from the ID mark on and the CRC over them, low byte first.
void AppendBlock(std::vector<std::uint8_t>& stream, Crc16& crc,
                 const std::vector<std::uint8_t>& head, const std::uint8_t* body,
                 std::size_t bodysize) {
    std::uint16_t value = 0;
    for (std::size_t i = 0; i < head.size(); ++i) {
        stream.push_back(head[i]);
        value = crc.CRC_check(head[i], i == 0);
    }
    for (std::size_t i = 0; i < bodysize; ++i) {
        stream.push_back(body[i]);
        value = crc.CRC_check(body[i], false);
    }
    stream.push_back(static_cast<std::uint8_t>(value & 0xFF));
    stream.push_back(static_cast<std::uint8_t>(value >> 8));
}

std::vector<std::uint8_t> BlockHead(std::uint8_t type, std::size_t bodysize) {
    return {idmark, type, static_cast<std::uint8_t>(bodysize & 0xFF),
            static_cast<std::uint8_t>(bodysize >> 8)};
}

}  // namespace

std::vector<std::uint8_t> BuildQdSide(const std::vector<std::uint8_t>& file,
                                      const std::vector<MztRecordView>& records, Crc16& crc,
                                      std::vector<InfoRecord>& infos) {
    std::vector<std::uint8_t> stream;
    stream.reserve(kSideStreamBytes);
    Append(stream, kGapByte, kLeadingGapBytes);
    Append(stream, kSyncByte, kSyncBeforeBytes);
    const auto blockcount = static_cast<std::uint8_t>(2 * records.size());
    AppendBlock(stream, crc, {idmark, blockcount}, nullptr, 0);
    Append(stream, kSyncByte, kSyncAfterBytes);

    infos.clear();
    for (const MztRecordView& record : records) {
        Append(stream, kGapByte, infos.empty() ? kFirstInfoGapBytes : kGapBytes);
        Append(stream, kSyncByte, kSyncBeforeBytes);
        const InfoRecord info = InfoRecordFromMzt(&file[record.offset]);
        infos.push_back(info);
        AppendBlock(stream, crc, BlockHead(kInfoBlockType, info.size()), info.data(), info.size());
        Append(stream, kSyncByte, kSyncAfterBytes);

        Append(stream, kGapByte, kGapBytes);
        Append(stream, kSyncByte, kSyncBeforeBytes);
        const std::uint8_t* body = file.data() + record.offset + kMztHeaderBytes;
        AppendBlock(stream, crc, BlockHead(kDataBlockType, record.size), body, record.size);
        Append(stream, kSyncByte, kSyncAfterBytes);
    }
    return stream;
}

MztSideResult EncodeMztSide(const std::vector<std::uint8_t>& file, Crc16& crc, BitWriter& writer,
                            Console& console) {
    const std::vector<MztRecordView> records = WalkMztRecords(file);
    if (!records.empty() && !MztBodyInside(file, records.back())) {
        return {MztSideStatus::kTruncated, static_cast<int>(records.size())};
    }
    const int blockcount = 2 * static_cast<int>(records.size());
    if (blockcount > kMaxBlockCount) return {MztSideStatus::kTooManyBlocks, blockcount};
    console.Out(kBlocks, blockcount);

    std::vector<InfoRecord> infos;
    std::vector<std::uint8_t> stream = BuildQdSide(file, records, crc, infos);
    for (const InfoRecord& info : infos) PrintFileInformation(console, info);
    console.Line(kRecordsDone);
    if (stream.size() > static_cast<std::size_t>(kSideStreamBytes))
        return {MztSideStatus::kSizeOver, 0};
    stream.resize(kSideStreamBytes, kGapByte);
    EncodeSide(writer, stream.data(), stream.size());
    return {MztSideStatus::kOk, 0};
}
