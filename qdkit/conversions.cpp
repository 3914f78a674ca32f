#include "qdkit/conversions.h"

#include <algorithm>

#include "common/bitstream.h"
#include "common/crc16.h"
#include "fds/fds_blocks.h"
#include "fds/side_encoder.h"
#include "qd/mzt.h"
#include "qd/qd_image.h"
#include "qd/side_encoder.h"
#include "qdkit/facts.h"
#include "qdkit/sides.h"
#include "qdkit/text.h"

std::string RawSideSuffix(int side) {
    return ".DK" + SideLabel(side);
}

std::vector<Produced> FdsToRawSides(const Bytes& image, const std::vector<int>& chosen,
                                    FileReport& report) {
    const FdsImageLayout layout = MeasureFdsImage(image);
    CheckFdsLayout(layout, report);
    std::vector<int> sides = chosen;
    if (sides.empty()) {
        for (int side = 0; side < layout.sides; ++side) sides.push_back(side);
    }
    std::vector<Produced> outputs;
    // One writer for the run, as the classic encoder keeps it from side to side.
    BitWriter writer;
    Crc16 crc(kFdsWriterCrc);
    for (int side : sides) {
        const std::string where = "side " + SideLabel(side) + ": ";
        if (side >= layout.sides) {
            report.Fail("side " + std::to_string(side + 1) + ": the image has " +
                        std::to_string(layout.sides) + (layout.sides == 1 ? " side" : " sides"));
            continue;
        }
        const Bytes area = FdsSideArea(image, layout, side);
        if (IsBlankArea(area)) {
            report.Warn(where + "blank, skipped");
            continue;
        }
        const std::size_t before = report.errors.size();
        FdsSideFacts(area, side, report);
        if (report.errors.size() != before) continue;
        Bytes stream;
        const FdsSideResult built =
            EncodeFdsSide(area, 0, stream, crc, writer, MissingFiles::kEndSide);
        switch (built.status) {
            case FdsSideStatus::kOk:
                outputs.push_back({RawSideSuffix(side), writer.bitstreambuffer});
                break;
            case FdsSideStatus::kSizeOver:
                report.Fail(where + "the blocks do not fit on a side");
                break;
            case FdsSideStatus::kEndOfImage:
            case FdsSideStatus::kUnknownId:
                report.Fail(where + "the blocks run past the end of the side");
                break;
        }
    }
    return outputs;
}

std::optional<Bytes> CanonicalFdsRaw(const Bytes& area) {
    BitWriter writer;
    Crc16 crc(kFdsWriterCrc);
    Bytes stream;
    if (EncodeFdsSide(area, 0, stream, crc, writer, MissingFiles::kEndSide).status !=
        FdsSideStatus::kOk) {
        return std::nullopt;
    }
    return writer.bitstreambuffer;
}

std::optional<Bytes> CanonicalQdRaw(const Bytes& mzt) {
    BitWriter writer;
    Crc16 crc(kQdWriterCrc);
    if (EncodeQdSide(mzt, crc, writer).status != QdSideStatus::kOk) return std::nullopt;
    return writer.bitstreambuffer;
}

Bytes DecodedFdsArea(const Bytes& image) {
    Bytes area(image.begin() + std::min<std::ptrdiff_t>(kFdsHeaderBytes, image.size()),
               image.end());
    if (area.size() < static_cast<std::size_t>(kFdsSideAreaBytes)) {
        area.resize(kFdsSideAreaBytes, kFdsImageFillByte);
    }
    return area;
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

namespace {

void Damage(const std::string& text, bool keep, FileReport& report) {
    if (keep) {
        report.Warn(text + " (kept as decoded)");
    } else {
        report.Fail(text + " (--force keeps what was decoded)");
    }
}

QdRawRead ReadQdSide(const Bytes& raw, bool keep, FileReport& report) {
    QdRawRead read = ReadQdRaw(raw);
    const std::string text = QdWalkText(read);
    if (!text.empty()) Damage(text, keep, report);
    if (read.blockcount < 0) report.Fail("no QD block decoded");
    return read;
}

}  // namespace

Bytes FdsRawToFds(const Bytes& raw, bool keep, FileReport& report) {
    FdsRawRead read = ReadFdsRaw(raw);
    for (const std::string& text : FdsReadDamage(read)) Damage(text, keep, report);
    if (read.blocks.empty()) {
        report.Fail("no FDS block decoded");
        return {};
    }
    // The side's own warnings, such as fewer files than announced.
    FdsSideFacts(DecodedFdsArea(read.image), 0, report);
    // A side that ended early is filled as a complete one is.
    const std::size_t whole = kFdsHeaderBytes + static_cast<std::size_t>(kFdsSideAreaBytes);
    if (read.image.size() < whole) read.image.resize(whole, kFdsImageFillByte);
    return read.image;
}

Bytes QdRawToMzt(const Bytes& raw, bool keep, FileReport& report) {
    const QdRawRead read = ReadQdSide(raw, keep, report);
    if (!report.Failed() && read.infos.empty()) report.Fail("the side holds no file");
    return read.mzt;
}

Bytes QdRawToQdf(const Bytes& raw, bool keep, FileReport& report) {
    return ReadQdSide(raw, keep, report).image;
}
