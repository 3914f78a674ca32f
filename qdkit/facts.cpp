#include "qdkit/facts.h"

#include <algorithm>

#include "common/littleendian.h"
#include "fds/fds_blocks.h"
#include "qd/mzt.h"
#include "qdkit/conversions.h"
#include "qdkit/sides.h"
#include "qdkit/text.h"

namespace {

Json FieldValue(const std::uint8_t* block, const FdsField& field) {
    if (field.bytes == 1) return block[field.offset];
    return std::vector<int>(block + field.offset, block + field.offset + field.bytes);
}

Json DiskInfoFacts(const std::uint8_t* block) {
    Json info = Json::object();
    info["game_name"] = ReadableBytes(block + kDiskInfoGameName.offset, kDiskInfoGameName.bytes);
    for (const FdsField& field : kDiskInfoFields) info[field.name] = FieldValue(block, field);
    return info;
}

Json FdsFileFacts(const std::uint8_t* header) {
    Json file = Json::object();
    file["number"] = header[kFdsFileNumberOffset];
    file["id"] = header[kFdsFileIdOffset];
    file["name"] = ReadableBytes(header + kFdsFileNameOffset, kFdsFileNameBytes);
    file["type"] = header[kFdsFileTypeOffset];
    file["size"] = Le16(header + kFdsFileSizeOffset);
    file["load"] = Le16(header + kFdsFileLoadOffset);
    file["data"] = false;
    return file;
}

void InspectFds(const Input& input, FileReport& report) {
    const FdsImageLayout layout = MeasureFdsImage(input.bytes);
    report.facts["header"] = layout.header;
    report.facts["header_sides"] = layout.header ? Json(layout.headersides) : Json();
    CheckFdsLayout(layout, report);
    Json sides = Json::array();
    for (int side = 0; side < layout.sides; ++side) {
        sides.push_back(FdsSideFacts(FdsSideArea(input.bytes, layout, side), side, report));
    }
    report.facts["sides"] = sides;
}

void InspectMzt(const Input& input, FileReport& report) {
    const std::vector<std::uint8_t>& file = input.bytes;
    const std::vector<MztRecordView> records = WalkMztRecords(file);
    Json list = Json::array();
    std::size_t end = 0;
    for (std::size_t n = 0; n < records.size(); ++n) {
        const MztRecordView& record = records[n];
        const std::uint8_t* header = &file[record.offset];
        const std::size_t body =
            std::min<std::size_t>(record.size, file.size() - record.offset - kMztHeaderBytes);
        Json facts = Json::object();
        facts["attribute"] = header[kMztAttribute];
        facts["name"] = ReadableName(header + kMztName, kFileNameBytes);
        facts["size"] = record.size;
        facts["load"] = Le16(header + kMztLoad);
        facts["exec"] = Le16(header + kMztExec);
        facts["body_bytes"] = body;
        list.push_back(facts);
        if (body < record.size) {
            report.Warn("record " + std::to_string(n + 1) + " is cut short: its body has " +
                        std::to_string(body) + " of " + std::to_string(record.size) + " bytes");
        }
        end = record.offset + kMztHeaderBytes + body;
    }
    report.facts["records"] = list;
    report.facts["trailing_bytes"] = file.size() - end;
    if (file.size() > end) {
        report.Warn(std::to_string(file.size() - end) + " bytes after the last record are ignored");
    }
}

std::string FdsProblemText(const FdsProblemSeen& seen) {
    switch (seen.problem) {
        case FdsDecodeProblem::kDataEnded:
            return "the data ends before the side is complete";
        case FdsDecodeProblem::kNoFirstSync:
            return "no block start after the lead-in";
        case FdsDecodeProblem::kBadBlockId:
            return "a block begins with " + HexValue(static_cast<unsigned>(seen.a), 2) +
                   ", which is no block ID (raw byte " + std::to_string(seen.b) + ")";
        case FdsDecodeProblem::kSyncLost:  // told by the side's facts
        case FdsDecodeProblem::kBadCrc:    // told per block
            break;
    }
    return {};
}

void CompareCells(const Bytes& raw, const std::optional<Bytes>& encoded, FileReport& report) {
    const std::optional<std::size_t> cell =
        encoded ? FirstDifferentCell(raw, *encoded) : std::nullopt;
    report.facts["canonical"] = encoded && !cell;
    report.facts["first_difference"] = cell ? Json(*cell) : Json();
}

void InspectFdsRaw(const Input& input, FileReport& report) {
    const FdsRawRead read = ReadFdsRaw(input.bytes);
    Json blocks = Json::array();
    for (const FdsBlockSeen& block : read.blocks) {
        blocks.push_back({{"id", block.id}, {"size", block.length}, {"crc_ok", block.check == 0}});
    }
    for (const std::string& text : FdsReadDamage(read)) report.Fail(text);
    report.facts["blocks"] = blocks;
    const Bytes area = DecodedFdsArea(read.image);
    report.facts["side"] = FdsSideFacts(area, 0, report);
    report.facts["complete"] = read.outcome == FdsDecodeOutcome::kComplete;
    CompareCells(input.bytes, CanonicalFdsRaw(area), report);
}

}  // namespace

std::vector<std::string> FdsReadDamage(const FdsRawRead& read) {
    std::vector<std::string> damage;
    for (std::size_t n = 0; n < read.blocks.size(); ++n) {
        const FdsBlockSeen& block = read.blocks[n];
        if (block.check != 0) {
            damage.push_back("block " + std::to_string(n + 1) + " (ID " + HexValue(block.id, 2) +
                             ") fails its CRC");
        }
    }
    for (const FdsProblemSeen& problem : read.problems) {
        const std::string text = FdsProblemText(problem);
        if (!text.empty()) damage.push_back(text);
    }
    return damage;
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

namespace {

// The blocks and files of a QD side as the decoder read them.
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

void InspectQdRaw(const Input& input, FileReport& report) {
    const QdRawRead read = ReadQdRaw(input.bytes);
    QdSideFacts(read, report);
    CompareCells(input.bytes, CanonicalQdRaw(read.mzt), report);
}

void InspectQdf(const Input& input, FileReport& report) {
    QdSideFacts(ReadQdRaw(QdfToQdRaw(input.bytes, report)), report);
}

}  // namespace

std::optional<std::size_t> FirstDifferentCell(const Bytes& a, const Bytes& b) {
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        const unsigned differ = a[i] ^ b[i];
        if (differ == 0) continue;
        std::size_t bit = 0;
        while ((differ >> bit & 1) == 0) ++bit;
        return i * 8 + bit;
    }
    if (a.size() != b.size()) return n * 8;
    return std::nullopt;
}

void CheckFdsLayout(const FdsImageLayout& layout, FileReport& report) {
    if (!layout.header) report.Warn("no header: the file holds the side areas alone");
    if (layout.header && layout.headersides != layout.sides) {
        report.Warn("the header announces " + std::to_string(layout.headersides) +
                    " sides, the file holds " + std::to_string(layout.sides));
    }
    if (layout.sides == 0) report.Fail("the file holds no side");
    if (layout.sides > 0 && layout.lastareabytes < static_cast<std::size_t>(kFdsSideAreaBytes)) {
        report.Warn("side " + SideLabel(layout.sides - 1) +
                    " is cut short by the end of the file (" +
                    std::to_string(layout.lastareabytes) + " of " +
                    std::to_string(kFdsSideAreaBytes) + " bytes; the rest taken as 0x00)");
    }
}

bool IsBlankArea(const std::vector<std::uint8_t>& area) {
    return std::all_of(area.begin(), area.end(), [](std::uint8_t b) { return b == 0; });
}

std::string SideLabel(int side) {
    std::string label;
    for (int n = side + 1; n > 0; n = (n - 1) / 26) {
        label.insert(label.begin(), static_cast<char>('A' + (n - 1) % 26));
    }
    return label;
}

Json FdsSideFacts(const std::vector<std::uint8_t>& area, int side, FileReport& report) {
    const std::string where = "side " + SideLabel(side) + ": ";
    Json facts = Json::object();
    facts["side"] = side + 1;
    facts["label"] = SideLabel(side);
    const bool blank = IsBlankArea(area);
    facts["blank"] = blank;
    facts["disk_info"] = Json();
    facts["announced_files"] = Json();
    Json files = Json::array();
    if (blank) {
        report.Warn(where + "blank");
        facts["files"] = files;
        return facts;
    }
    int blocks = 0;
    const FdsWalkResult walk = WalkFdsBlocks(area, 0, area.size(), [&](const FdsBlockRef& block) {
        const std::uint8_t* bytes = &area[block.offset];
        if (blocks++ == 0 && block.id == kFdsDiskInfoBlock)
            facts["disk_info"] = DiskInfoFacts(bytes);
        if (block.id == kFdsFileHeaderBlock) files.push_back(FdsFileFacts(bytes));
        if (block.id == kFdsFileDataBlock && !files.empty()) files.back()["data"] = true;
    });
    if (walk.announced >= 0) facts["announced_files"] = walk.announced;
    facts["files"] = files;

    if (blocks == 0) {
        report.Fail(where + "no block at the start of the side (byte " + HexValue(area[0], 2) +
                    ")");
    } else if (area[0] != kFdsDiskInfoBlock) {
        report.Warn(where + "the side does not begin with a disk info block");
    } else if (!StartsWithDiskInfo(area.data(), area.size())) {
        report.Warn(where + "the disk info block lacks its text " + kFdsDiskVerification);
    }
    switch (walk.end) {
        case FdsWalkEnd::kComplete:
            break;
        case FdsWalkEnd::kUnknownId:
        case FdsWalkEnd::kEndOfImage:
            if (blocks > 0 && walk.announced < 0) {
                report.Warn(where + "no file amount block");
            } else if (blocks > 0) {
                report.Warn(where + "the file amount block announces " +
                            std::to_string(walk.announced) + " files, the side holds " +
                            std::to_string(walk.datablocks));
            }
            break;
        case FdsWalkEnd::kCutShort:
            report.Fail(where + "the block at offset " + std::to_string(walk.position) +
                        " runs past the end of the side");
            break;
    }
    return facts;
}

void Inspect(const Input& input, FileReport& report) {
    if (!input.kind) return;
    report.kind = KindName(*input.kind);
    report.facts["size"] = input.size;
    switch (*input.kind) {
        case Kind::kFds:
            InspectFds(input, report);
            break;
        case Kind::kMzt:
            InspectMzt(input, report);
            break;
        case Kind::kQdf:
            InspectQdf(input, report);
            break;
        case Kind::kFdsRaw:
            InspectFdsRaw(input, report);
            break;
        case Kind::kQdRaw:
            InspectQdRaw(input, report);
            break;
    }
}
