#include <cstdio>

#include "fds/fds_blocks.h"
#include "qd/mzt.h"
#include "qdkit/commands.h"
#include "qdkit/conversions.h"
#include "qdkit/detect.h"
#include "qdkit/facts.h"
#include "qdkit/report.h"
#include "qdkit/sides.h"
#include "qdkit/text.h"

namespace {

std::string ByteAt(const Bytes& bytes, std::size_t at) {
    return at < bytes.size() ? HexValue(bytes[at], 2) : "nothing";
}

// Each side's blocks go onto a raw side and come back byte for byte.
void VerifyFds(const Input& input, FileReport& report) {
    const FdsImageLayout layout = MeasureFdsImage(input.bytes);
    CheckFdsLayout(layout, report);
    for (int side = 0; side < layout.sides; ++side) {
        const std::string where = "side " + SideLabel(side) + ": ";
        const Bytes area = FdsSideArea(input.bytes, layout, side);
        if (IsBlankArea(area)) {
            report.Warn(where + "blank, skipped");
            continue;
        }
        const std::size_t errors = report.errors.size();
        FdsSideFacts(area, side, report);
        if (report.errors.size() != errors) continue;
        const std::optional<Bytes> raw = CanonicalFdsRaw(area);
        if (!raw) {
            report.Fail(where + "the blocks do not fit on a side");
            continue;
        }
        const FdsRawRead read = ReadFdsRaw(*raw);
        const Bytes back = DecodedFdsArea(read.image);
        const std::size_t end =
            WalkFdsBlocks(area, 0, area.size(), [](const FdsBlockRef&) {}).position;
        for (std::size_t i = 0; i < end; ++i) {
            if (back[i] != area[i]) {
                report.Fail(where + "byte " + std::to_string(i) + " of the side comes back as " +
                            ByteAt(back, i) + ", not " + HexValue(area[i], 2));
                break;
            }
        }
    }
}

// The MZT file as a side holds it: the header fields an information record
// carries, every other header byte 0, and the body.
Bytes MztAsSideHolds(const Bytes& file) {
    Bytes held;
    for (const MztRecordView& record : WalkMztRecords(file)) {
        const MztHeader header = MztHeaderFromInfo(InfoRecordFromMzt(&file[record.offset]));
        held.insert(held.end(), header.begin(), header.end());
        const auto body =
            file.begin() + static_cast<std::ptrdiff_t>(record.offset + kMztHeaderBytes);
        held.insert(held.end(), body, body + record.size);
    }
    return held;
}

void VerifyMzt(const Input& input, FileReport& report) {
    const Bytes raw = MztToQdRaw(input.bytes, report);
    if (report.Failed()) return;
    const QdRawRead read = ReadQdRaw(raw);
    if (read.result.outcome != QdDecodeOutcome::kNormalEnd) {
        report.Fail("the side does not read back: " + QdWalkText(read));
        return;
    }
    const Bytes file = MztAsEncoded(input.bytes, report);
    const Bytes expected = MztAsSideHolds(file);
    const std::optional<std::size_t> cell = FirstDifferentCell(expected, read.mzt);
    if (!cell) return;
    const std::size_t at = *cell / 8;
    const std::vector<MztRecordView> records = WalkMztRecords(file);
    for (std::size_t n = 0; n < records.size(); ++n) {
        const std::size_t body = records[n].offset + kMztHeaderBytes;
        if (at >= body + records[n].size) continue;
        const std::string part = at < body ? "header byte " + std::to_string(at - records[n].offset)
                                           : "body byte " + std::to_string(at - body);
        report.Fail("record " + std::to_string(n + 1) + ": " + part + " comes back as " +
                    ByteAt(read.mzt, at) + ", not " + HexValue(expected[at], 2));
        return;
    }
    report.Fail("the side gives back more than the file holds");
}

// The side stream goes onto a raw side and is decoded as the decoder writes
// a QD image; that image must hold the same blocks. The sync runs and gaps
// between blocks are the decoder's own.
void VerifyQdf(const Input& input, FileReport& report) {
    const QdRawRead first = ReadQdRaw(QdfToQdRaw(input.bytes, report));
    if (first.result.outcome != QdDecodeOutcome::kNormalEnd) {
        report.Fail("the side does not read back: " + QdWalkText(first));
        return;
    }
    FileReport quiet(report.file);
    const QdRawRead again = ReadQdRaw(QdfToQdRaw(first.image, quiet));
    if (again.result.outcome != QdDecodeOutcome::kNormalEnd) {
        report.Fail("the decoded image does not read back: " + QdWalkText(again));
        return;
    }
    const bool same = first.blockcount == again.blockcount && first.infos == again.infos &&
                      first.mzt == again.mzt && first.blocks.size() == again.blocks.size();
    if (!same) report.Fail("the decoded image holds other blocks");
}

// A raw side is sound when it decodes cleanly and its cells are the kit's own.
void VerifyRaw(const Input& input, FileReport& report) {
    Inspect(input, report);
    if (report.Failed()) return;
    const Json& cell = report.facts["first_difference"];
    if (!report.facts["canonical"].get<bool>()) {
        report.Fail(cell.is_null()
                        ? "the kit's encoder cannot write these blocks"
                        : "the cells differ from the kit's encoding from cell " + cell.dump());
    }
}

}  // namespace

int RunVerify(const std::vector<std::string>& files) {
    bool failed = false;
    for (const std::string& file : files) {
        FileReport report(file);
        const Input input = ReadKnownFile(file);
        if (!input.kind) {
            report.Fail(input.error);
        } else {
            switch (*input.kind) {
                case Kind::kFds:
                    VerifyFds(input, report);
                    break;
                case Kind::kMzt:
                    VerifyMzt(input, report);
                    break;
                case Kind::kQdf:
                    VerifyQdf(input, report);
                    break;
                case Kind::kFdsRaw:
                case Kind::kQdRaw:
                    VerifyRaw(input, report);
                    break;
            }
        }
        PrintMessages(report);
        if (report.Failed()) {
            std::printf("%s: FAILED: %s\n", file.c_str(), report.errors.front().c_str());
        } else {
            std::printf("%s: OK\n", file.c_str());
        }
        failed = failed || report.Failed();
    }
    std::fflush(stdout);
    return failed ? 1 : 0;
}
