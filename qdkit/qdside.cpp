#include "qdkit/qdside.h"

#include <algorithm>

#include "common/bitstream.h"
#include "common/crc16.h"
#include "common/littleendian.h"
#include "qd/mzt.h"
#include "qd/qd_image.h"
#include "qd/side_encoder.h"
#include "qdkit/human.h"
#include "qdkit/text.h"

std::string QdWalkText(const QdSideRead& read) {
    const std::string block = "block " + std::to_string(read.blocks.size() + 1);
    const std::string last = "block " + std::to_string(read.blocks.size());
    const unsigned byte = read.result.byte;
    switch (read.result.outcome) {
        case QdDecodeOutcome::kNormalEnd:
        case QdDecodeOutcome::kOutputFailed:
            break;
        case QdDecodeOutcome::kGapError:
            return "no gap before " + block;
        case QdDecodeOutcome::kEndOfFile:
            return "the data ends before " + block + " of " + std::to_string(read.blockcount + 1);
        case QdDecodeOutcome::kIdError:
            return block + " begins with " + HexValue(byte, 2) + ", not an ID mark";
        case QdDecodeOutcome::kCrcError:
            return last + " fails its CRC";
        case QdDecodeOutcome::kUnknownType:
            return block + " has the unknown type " + HexValue(byte, 2);
    }
    return {};
}

void QdSideFacts(const QdSideRead& read, bool raw, FileReport& report) {
    report.facts["block_count"] = read.blockcount < 0 ? Json() : Json(read.blockcount);
    Json blocks = Json::array();
    for (const BlockSeen& block : read.blocks) {
        const bool count = block.role == BlockRole::kOpening;
        blocks.push_back({{"type", count ? Json() : Json(block.code)},
                          {"size", count ? 0 : block.length - kQdBlockHeaderBytes},
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

std::string BlockName(std::size_t index) {
    return "block " + std::to_string(index + 1);
}

}  // namespace

std::string SizeMismatchText(std::size_t index, unsigned infosize, std::size_t datasize) {
    return BlockName(index) + ": its information record gives the size " +
           std::to_string(infosize) + ", its data block holds " + Plural(datasize, "byte");
}

std::vector<std::string> SizeMismatches(const QdSideRead& read) {
    std::vector<std::string> texts;
    for (const QdSizeMismatch& mismatch : QdSizeMismatches(read))
        texts.push_back(SizeMismatchText(mismatch.block, mismatch.recordsize, mismatch.blocksize));
    return texts;
}

Bytes SideMzt(const QdSideRead& read, FileReport& report) {
    QdSideMzt mzt = MztOfQdSide(read);
    switch (mzt.fault) {
        case QdSideMzt::kNone:
            break;
        case QdSideMzt::kInfoWithoutData:
            report.Fail(BlockName(mzt.block) +
                        ": an information block without its data block cannot go into an MZT "
                        "file");
            return {};
        case QdSideMzt::kDataWithoutInfo:
            report.Fail(BlockName(mzt.block) +
                        ": a data block without its information block cannot go into an MZT "
                        "file");
            return {};
    }
    for (const std::string& text : SizeMismatches(read)) report.Warn(text + kSizeRepair);
    return std::move(mzt.file);
}

QdSideRead ReadQdSideChecked(const Bytes& raw, bool keep, FileReport& report, QdReadFiles files) {
    QdSideRead read = ReadQdSide(raw, files);
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

Bytes MztAsEncodedTold(const Bytes& mzt, FileReport& report) {
    MztForSide side = MztAsEncoded(mzt);
    if (side.records.empty()) {
        report.Fail("no record");
        return {};
    }
    WarnEmptyTape(side.records, report);
    if (side.shortby > 0) {
        report.Warn("record " + std::to_string(side.records.size()) + " is cut short by " +
                    Plural(side.shortby, "byte") + "; its body is filled with 0x00");
    } else if (side.trailing > 0) {
        WarnTrailing(side.trailing, report);
    }
    return std::move(side.file);
}

Bytes MztToQdRaw(const Bytes& mzt, FileReport& report) {
    const Bytes file = MztAsEncodedTold(mzt, report);
    if (file.empty()) return {};
    Crc16 crc(kQdWriterCrc);
    BitWriter writer;
    const QdSideResult side = EncodeQdSide(file, crc, writer);
    switch (side.status) {
        case QdSideStatus::kOk:
            return writer.bitstreambuffer;
        case QdSideStatus::kTooManyBlocks:
            report.Fail(std::to_string(side.blockcount / 2) +
                        " records are more than a side holds (" +
                        std::to_string(kQdMaxBlockCount / 2) + ")");
            break;
        case QdSideStatus::kSizeOver: {
            const QdInfoRecord& info = side.infos[static_cast<std::size_t>(side.record - 1)];
            report.Fail("record " + std::to_string(side.record) + " (" +
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
