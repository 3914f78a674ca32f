#include "qdkit/qdside.h"

#include <algorithm>

#include "common/bitstream.h"
#include "common/crc16.h"
#include "common/littleendian.h"
#include "qd/mzt.h"
#include "qd/qd_image.h"
#include "qd/side_encoder.h"
#include "qd/side_outputs.h"
#include "qdkit/human.h"
#include "qdkit/text.h"

namespace {

// The outputs need somewhere to hand files to; nothing is written here.
class NoFiles : public QdOutputFiles {
public:
    void BlockCount(int) override {}
    bool Information(const QdInfoRecord&, int) override { return true; }
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
    // A block's bytes are the last the stream took before its CRC was known.
    void Block(const QdBlockSeen& block) override {
        m_read.blocks.push_back(block);
        const std::size_t n = block.type < 0 ? kQdBlockCountBlockBytes
                                             : kQdBlockHeaderBytes + block.size + kQdCrcBytes;
        m_read.blockbytes.emplace_back(m_taken.end() - std::min(n, m_taken.size()), m_taken.end());
        m_taken.clear();
    }
    void ImageByte(std::uint8_t byte) override {
        m_taken.push_back(byte);
        Bound();
        m_outputs.ImageByte(byte);
    }
    void ImageBytes(const std::uint8_t* bytes, std::size_t n) override {
        m_taken.insert(m_taken.end(), bytes, bytes + n);
        Bound();
        m_outputs.ImageBytes(bytes, n);
    }
    // Runs are gap, never part of a block.
    void ImageRun(std::uint8_t byte, std::size_t n) override {
        m_taken.clear();
        m_outputs.ImageRun(byte, n);
    }
    bool DataByte(std::uint8_t byte, int offset) override {
        return m_outputs.DataByte(byte, offset);
    }
    bool Information(const QdInfoRecord& record, int blocknumber) override {
        m_read.infos.push_back(record);
        return m_outputs.Information(record, blocknumber);
    }

private:
    // No block is longer than this; a long sync run must not pile up.
    void Bound() {
        constexpr std::size_t kLongest = kQdBlockHeaderBytes + 0xFFFF + kQdCrcBytes;
        if (m_taken.size() > 2 * kLongest) m_taken.erase(m_taken.begin(), m_taken.end() - kLongest);
    }

    QdRawRead& m_read;
    QdSideOutputs& m_outputs;
    Bytes m_taken;  // since the last gap or block
};

}  // namespace

QdRawRead ReadQdRaw(const Bytes& raw, bool withfiles) {
    QdRawRead read{};
    QdOptions options;
    options.image = withfiles;
    options.mzt = withfiles;
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

void QdSideFacts(const QdRawRead& read, bool raw, FileReport& report) {
    report.facts["block_count"] = read.blockcount < 0 ? Json() : Json(read.blockcount);
    Json blocks = Json::array();
    for (const QdBlockSeen& block : read.blocks) {
        blocks.push_back({{"type", block.type < 0 ? Json() : Json(block.type)},
                          {"size", block.size},
                          {"crc_ok", block.check == 0}});
    }
    report.facts["blocks"] = blocks;
    Json files = Json::array();
    for (const QdInfoRecord& info : read.infos) {
        files.push_back({{"attribute", info[kQdInfoAttribute]},
                         {"name", ReadableName(&info[kQdInfoName], kQdFileNameBytes)},
                         {"size", Le16(&info[kQdInfoSize])},
                         {"load", Le16(&info[kQdInfoLoad])},
                         {"exec", Le16(&info[kQdInfoExec])}});
    }
    report.facts["files"] = files;
    report.facts["complete"] = read.result.outcome == QdDecodeOutcome::kNormalEnd;
    const std::string text = QdWalkText(read);
    if (!text.empty()) report.Fail(text + (raw ? " (qdkit recover may rescue more)" : ""));
}

namespace {

// Each file as the decoder read it: its information block and its data
// block, by their numbers among the blocks after the block-count block.
struct FilePair {
    std::size_t info;  // the block's index in read.blocks
    std::size_t data;
};

std::string BlockName(std::size_t index) {
    return "block " + std::to_string(index + 1);
}

}  // namespace

std::string SizeMismatchText(std::size_t index, unsigned infosize, std::size_t datasize) {
    return BlockName(index) + ": its information record gives the size " +
           std::to_string(infosize) + ", its data block holds " + Plural(datasize, "byte");
}

std::vector<std::string> SizeMismatches(const QdRawRead& read) {
    std::vector<std::string> texts;
    std::size_t info = 0;
    for (std::size_t n = 1; n + 1 < read.blocks.size(); ++n) {
        const QdBlockSeen& block = read.blocks[n];
        if (IsQdDataBlock(static_cast<std::uint8_t>(block.type)) || block.check != 0) continue;
        const QdBlockSeen& data = read.blocks[n + 1];
        const unsigned size = Le16(&read.infos[info++][kQdInfoSize]);
        if (!IsQdDataBlock(static_cast<std::uint8_t>(data.type)) ||
            static_cast<int>(size) == data.size)
            continue;
        texts.push_back(SizeMismatchText(n, size, static_cast<std::size_t>(data.size)));
    }
    return texts;
}

Bytes SideMzt(const QdRawRead& read, FileReport& report) {
    Bytes mzt = read.mzt;
    std::size_t at = 0;
    bool header = false;  // a header waits for its body
    for (std::size_t n = 1; n < read.blocks.size(); ++n) {
        const QdBlockSeen& block = read.blocks[n];
        if (!IsQdDataBlock(static_cast<std::uint8_t>(block.type))) {
            if (header) {
                report.Fail(BlockName(n - 1) +
                            ": an information block without its data block "
                            "cannot go into an MZT file");
                return {};
            }
            header = block.check == 0;
            at += header ? kMztHeaderBytes : 0;
            continue;
        }
        if (!header) {
            report.Fail(BlockName(n) +
                        ": a data block without its information block cannot "
                        "go into an MZT file");
            return {};
        }
        std::uint8_t* size = &mzt[at - kMztHeaderBytes + kMztSize];
        PutLe16(size, static_cast<unsigned>(block.size));
        at += static_cast<std::size_t>(block.size);
        header = false;
    }
    for (const std::string& text : SizeMismatches(read)) report.Warn(text + kSizeRepair);
    return mzt;
}

QdRawRead ReadQdSide(const Bytes& raw, bool keep, FileReport& report) {
    QdRawRead read = ReadQdRaw(raw);
    const std::string text = QdWalkText(read);
    if (!text.empty()) Damage(text, keep, report);
    if (read.blockcount < 0) report.Fail("no QD block decoded");
    return read;
}

void WarnTrailing(std::size_t bytes, FileReport& report) {
    report.Warn(bytes == 1 ? "1 byte after the last record is ignored"
                           : std::to_string(bytes) + " bytes after the last record are ignored");
}

void WarnEmptyTape(const std::vector<MztRecordView>& records, FileReport& report) {
    if (records.size() == 1 && records.front().size == 0)
        report.Warn("the tape's only record is empty (size 0), which Surbeck refuses");
}

Bytes MztAsEncoded(const Bytes& mzt, FileReport& report) {
    Bytes file = mzt;
    const std::vector<MztRecordView> records = WalkMztRecords(file);
    if (records.empty()) {
        report.Fail("no record");
        return {};
    }
    WarnEmptyTape(records, report);
    const MztRecordView& last = records.back();
    const std::size_t end = last.offset + kMztHeaderBytes + last.size;
    if (end > file.size()) {
        report.Warn("record " + std::to_string(records.size()) + " is cut short by " +
                    Plural(end - file.size(), "byte") + "; its body is filled with 0x00");
    } else if (end < file.size()) {
        WarnTrailing(file.size() - end, report);
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
            const QdInfoRecord& info = side.infos[static_cast<std::size_t>(side.value - 1)];
            report.Fail("record " + std::to_string(side.value) + " (" +
                        ReadableName(&info[kQdInfoName], kQdFileNameBytes) +
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

void CheckQdfLength(std::uint64_t size, FileReport& report) {
    if (size >= static_cast<std::uint64_t>(kQdImageBytes)) return;
    report.Warn("the side stream is " + std::to_string(size - kQdImageHeaderBytes) + " of " +
                std::to_string(kQdSideStreamBytes) + " bytes; the rest taken as gap");
}

Bytes QdStreamToQdRaw(const Bytes& stream) {
    BitWriter writer;
    EncodeQdImage(writer, QdImageOfStream(stream));
    return writer.bitstreambuffer;
}

Bytes QdfToQdRaw(const Bytes& qdf, FileReport& report) {
    CheckQdfLength(qdf.size(), report);
    BitWriter writer;
    if (qdf.size() >= static_cast<std::size_t>(kQdImageBytes)) {
        EncodeQdImage(writer, qdf);
    } else {
        Bytes image = qdf;
        image.resize(kQdImageBytes, kQdGapByte);
        EncodeQdImage(writer, image);
    }
    return writer.bitstreambuffer;
}

std::optional<Bytes> CanonicalQdRaw(const Bytes& mzt) {
    BitWriter writer;
    Crc16 crc(kQdWriterCrc);
    if (EncodeQdSide(mzt, crc, writer).status != QdSideStatus::kOk) return std::nullopt;
    return writer.bitstreambuffer;
}
