#include "qdkit/qdside.h"

#include "common/bitstream.h"
#include "common/crc16.h"
#include "common/littleendian.h"
#include "qd/mzt.h"
#include "qd/qd_image.h"
#include "qd/side_encoder.h"
#include "qd/side_outputs.h"
#include "qdkit/text.h"

namespace {

// The outputs need somewhere to hand files to; nothing is written here.
class NoFiles : public QdOutputFiles {
public:
    void BlockCount(int) override {}
    bool Information(const InfoRecord&, int) override { return true; }
    bool DataDumpDone(const std::vector<std::uint8_t>&) override { return true; }
};

// Hands the decoding to the decoder's own outputs and keeps the blocks seen.
class QdRecorder : public QdDecodeSink {
public:
    QdRecorder(QdRawRead& read, QdSideOutputs& outputs) : m_read(read), m_outputs(outputs) {}

    void BlockCount(int count) override {
        m_read.blockcount = count;
        m_outputs.BlockCount(count);
    }
    void Block(const QdBlockSeen& block) override { m_read.blocks.push_back(block); }
    void ImageByte(std::uint8_t byte) override { m_outputs.ImageByte(byte); }
    bool DataByte(std::uint8_t byte, int offset) override {
        return m_outputs.DataByte(byte, offset);
    }
    bool Information(const InfoRecord& record, int blocknumber) override {
        m_read.infos.push_back(record);
        return m_outputs.Information(record, blocknumber);
    }

private:
    QdRawRead& m_read;
    QdSideOutputs& m_outputs;
};

}  // namespace

QdRawRead ReadQdRaw(const Bytes& raw) {
    QdRawRead read{};
    QdOptions options;
    options.image = true;
    options.mzt = true;
    NoFiles files;
    QdSideOutputs outputs(options, files);
    QdRecorder recorder(read, outputs);
    QdReader qd(raw);
    Crc16 crc(kQdCheckerCrc);
    read.result = DecodeQdSide(qd, crc, recorder);
    outputs.Finish(read.result.outcome == QdDecodeOutcome::kNormalEnd);
    read.image = outputs.image();
    read.mzt = outputs.mzt();
    return read;
}

std::string QdWalkText(const QdRawRead& read) {
    const std::string block = "block " + std::to_string(read.blocks.size() + 1);
    const std::string last = "block " + std::to_string(read.blocks.size());
    const unsigned value = static_cast<unsigned>(read.result.value);
    switch (read.result.outcome) {
        case QdDecodeOutcome::kNormalEnd:
        case QdDecodeOutcome::kOutputFailed:
            break;
        case QdDecodeOutcome::kGapError:
            return "no gap before " + block;
        case QdDecodeOutcome::kEndOfFile:
            return "the data ends before " + block + " of " + std::to_string(read.blockcount + 1);
        case QdDecodeOutcome::kIdError:
            return block + " begins with " + HexValue(value, 2) + ", not an ID mark";
        case QdDecodeOutcome::kCrcError:
            return last + " fails its CRC";
        case QdDecodeOutcome::kUnknownType:
            return block + " has the unknown type " + HexValue(value, 2);
    }
    return {};
}

void QdSideFacts(const QdRawRead& read, FileReport& report) {
    report.facts["block_count"] = read.blockcount < 0 ? Json() : Json(read.blockcount);
    Json blocks = Json::array();
    for (const QdBlockSeen& block : read.blocks) {
        blocks.push_back({{"type", block.type < 0 ? Json() : Json(block.type)},
                          {"size", block.size},
                          {"crc_ok", block.check == 0}});
    }
    report.facts["blocks"] = blocks;
    Json files = Json::array();
    for (const InfoRecord& info : read.infos) {
        files.push_back({{"attribute", info[kInfoAttribute]},
                         {"name", ReadableName(&info[kInfoName], kFileNameBytes)},
                         {"size", Le16(&info[kInfoSize])},
                         {"load", Le16(&info[kInfoLoad])},
                         {"exec", Le16(&info[kInfoExec])}});
    }
    report.facts["files"] = files;
    report.facts["complete"] = read.result.outcome == QdDecodeOutcome::kNormalEnd;
    const std::string text = QdWalkText(read);
    if (!text.empty()) report.Fail(text);
}

QdRawRead ReadQdSide(const Bytes& raw, bool keep, FileReport& report) {
    QdRawRead read = ReadQdRaw(raw);
    const std::string text = QdWalkText(read);
    if (!text.empty()) Damage(text, keep, report);
    if (read.blockcount < 0) report.Fail("no QD block decoded");
    return read;
}

Bytes MztAsEncoded(const Bytes& mzt, FileReport& report) {
    Bytes file = mzt;
    const std::vector<MztRecordView> records = WalkMztRecords(file);
    if (records.empty()) {
        report.Fail("no record");
        return {};
    }
    const MztRecordView& last = records.back();
    const std::size_t end = last.offset + kMztHeaderBytes + last.size;
    if (end > file.size()) {
        report.Warn("record " + std::to_string(records.size()) + " is cut short by " +
                    std::to_string(end - file.size()) + " bytes; its body is filled with 0x00");
    } else if (end < file.size()) {
        report.Warn(std::to_string(file.size() - end) + " bytes after the last record are ignored");
    }
    file.resize(end, 0x00);
    return file;
}

Bytes MztToQdRaw(const Bytes& mzt, FileReport& report) {
    const Bytes file = MztAsEncoded(mzt, report);
    if (file.empty()) return {};
    Crc16 crc(kQdWriterCrc);
    BitWriter writer;
    const QdSideResult side = EncodeQdSide(file, crc, writer);
    switch (side.status) {
        case QdSideStatus::kOk:
            return writer.bitstreambuffer;
        case QdSideStatus::kTooManyBlocks:
            report.Fail(std::to_string(side.value / 2) + " records are more than a side holds (" +
                        std::to_string(kQdMaxBlockCount / 2) + ")");
            break;
        case QdSideStatus::kSizeOver: {
            const InfoRecord& info = side.infos[static_cast<std::size_t>(side.value - 1)];
            report.Fail("record " + std::to_string(side.value) + " (" +
                        ReadableName(&info[kInfoName], kFileNameBytes) +
                        ") does not fit on the side: it needs " + std::to_string(side.needed) +
                        " bytes, the side has " + std::to_string(side.left) + " left");
            break;
        }
        case QdSideStatus::kTruncated:  // the body was filled above
            report.Fail("the records cannot be laid on a side");
            break;
    }
    return {};
}

Bytes QdfToQdRaw(const Bytes& qdf, FileReport& report) {
    Bytes image = qdf;
    if (image.size() < static_cast<std::size_t>(kQdImageBytes)) {
        report.Warn("the side stream is " + std::to_string(image.size() - kQdImageHeaderBytes) +
                    " of " + std::to_string(kQdSideStreamBytes) + " bytes; the rest taken as gap");
        image.resize(kQdImageBytes, kQdGapByte);
    }
    BitWriter writer;
    EncodeQdImage(writer, image);
    return writer.bitstreambuffer;
}

std::optional<Bytes> CanonicalQdRaw(const Bytes& mzt) {
    BitWriter writer;
    Crc16 crc(kQdWriterCrc);
    if (EncodeQdSide(mzt, crc, writer).status != QdSideStatus::kOk) return std::nullopt;
    return writer.bitstreambuffer;
}
