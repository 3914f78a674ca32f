#include "qd/side_encoder.h"

#include <algorithm>

#include "common/littleendian.h"

namespace {

void Append(std::vector<std::uint8_t>& stream, std::uint8_t byte, int count) {
    stream.insert(stream.end(), static_cast<std::size_t>(count), byte);
}

// The gap before block n (0 the block-count block) on a freshly formatted
// side: the leading gap, a long one before the first file, then short ones.
int GapBefore(std::size_t n) {
    return n == 0 ? kQdLeadingGapBytes : n == 1 ? kQdFirstInfoGapBytes : kQdGapBytes;
}

std::array<std::uint8_t, 4> BlockHead(std::uint8_t type, std::size_t bodysize) {
    std::array<std::uint8_t, 4> head{kQdIdMark, type};
    PutLe16(&head[2], static_cast<unsigned>(bodysize));
    return head;
}

}  // namespace

QdBlockView CheckedQdBlock(const std::uint8_t* head, std::size_t headsize, const std::uint8_t* body,
                           std::size_t bodysize, Crc16& crc) {
    crc.Update(head, headsize, true);
    QdBlockView view{head, headsize, body, bodysize, {}};
    PutLe16(view.crc.data(), crc.Update(body, bodysize, false));
    return view;
}

std::vector<std::uint8_t> LayQdBlocks(const std::vector<QdBlockView>& blocks) {
    std::size_t length = 0;
    for (std::size_t n = 0; n < blocks.size(); ++n) {
        length += GapBefore(n) + kQdSyncBeforeBytes + blocks[n].headsize + blocks[n].bodysize +
                  kQdCrcBytes + kQdSyncAfterBytes;
    }
    // Room for a side's fill too: growing into it would move the stream.
    std::vector<std::uint8_t> stream;
    stream.reserve(std::max<std::size_t>(length, kQdSideStreamBytes));
    for (std::size_t n = 0; n < blocks.size(); ++n) {
        const QdBlockView& block = blocks[n];
        Append(stream, kQdGapByte, GapBefore(n));
        Append(stream, kQdSyncByte, kQdSyncBeforeBytes);
        stream.insert(stream.end(), block.head, block.head + block.headsize);
        stream.insert(stream.end(), block.body, block.body + block.bodysize);
        stream.insert(stream.end(), block.crc.begin(), block.crc.end());
        Append(stream, kQdSyncByte, kQdSyncAfterBytes);
    }
    return stream;
}

std::size_t QdRecordStreamBytes(std::size_t n, const MztRecordView& record) {
    return (n == 0 ? kQdFirstInfoGapBytes : kQdGapBytes) + kQdRecordFrameBytes + record.size;
}

std::size_t QdSideStreamLength(const std::vector<MztRecordView>& records) {
    std::size_t length = kQdSideHeaderBytes;
    for (std::size_t i = 0; i < records.size(); ++i) length += QdRecordStreamBytes(i, records[i]);
    return length;
}

std::vector<std::uint8_t> LayQdRecords(const std::vector<std::uint8_t>& file,
                                       const std::vector<MztRecordView>& records, Crc16& crc) {
    // The blocks' fields and information records, kept while they are laid.
    const std::array<std::uint8_t, 2> count{kQdIdMark,
                                            static_cast<std::uint8_t>(2 * records.size())};
    std::vector<std::array<std::uint8_t, 4>> heads;
    std::vector<QdInfoRecord> infos;
    heads.reserve(2 * records.size());
    infos.reserve(records.size());
    std::vector<QdBlockView> blocks{CheckedQdBlock(count.data(), count.size(), nullptr, 0, crc)};
    for (const MztRecordView& record : records) {
        infos.push_back(InfoRecordFromMzt(&file[record.offset]));
        heads.push_back(BlockHead(kQdInfoBlockType, kQdInfoRecordBytes));
        blocks.push_back(CheckedQdBlock(heads.back().data(), heads.back().size(),
                                        infos.back().data(), kQdInfoRecordBytes, crc));
        heads.push_back(BlockHead(kQdDataBlockType, record.size));
        blocks.push_back(CheckedQdBlock(heads.back().data(), heads.back().size(),
                                        file.data() + record.offset + kMztHeaderBytes, record.size,
                                        crc));
    }
    return LayQdBlocks(blocks);
}

QdSideResult BuildQdSide(const std::vector<std::uint8_t>& file, Crc16& crc,
                         std::vector<std::uint8_t>& stream) {
    const std::vector<MztRecordView> records = WalkMztRecords(file);
    if (!records.empty() && !MztBodyInside(file, records.back())) {
        return {QdSideStatus::kTruncated, static_cast<int>(records.size()), 0, {}};
    }
    const int blockcount = 2 * static_cast<int>(records.size());
    if (blockcount > kQdMaxBlockCount) {
        return {QdSideStatus::kTooManyBlocks, 0, blockcount, {}};
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
            result.record = static_cast<int>(i + 1);
            result.needed = bytes;
            result.left = kQdSideStreamBytes - length;
            return result;
        }
        length += bytes;
    }
    stream = LayQdRecords(file, records, crc);
    stream.resize(kQdSideStreamBytes, kQdGapByte);
    return result;
}

QdSideResult EncodeQdSide(const std::vector<std::uint8_t>& file, Crc16& crc, BitWriter& writer) {
    std::vector<std::uint8_t> stream;
    QdSideResult result = BuildQdSide(file, crc, stream);
    if (result.status == QdSideStatus::kOk) EncodeSide(writer, stream.data(), stream.size());
    return result;
}

CellComparison CompareWithCanonicalQd(const std::vector<std::uint8_t>& raw,
                                      const std::vector<std::uint8_t>& mzt) {
    Crc16 crc(kQdWriterCrc);
    std::vector<std::uint8_t> stream;
    if (BuildQdSide(mzt, crc, stream).status != QdSideStatus::kOk) return {};
    return {true, FirstCellOffEncoding(raw, stream)};
}
