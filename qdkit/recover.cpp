// qdkit recover: one side rescued from one read of it or several, block by
// block, with what became of each.
#include <algorithm>
#include <optional>

#include "common/dataplanes.h"
#include "common/littleendian.h"
#include "common/pathlib.h"
#include "common/rescue.h"
#include "common/wholefile.h"
#include "fds/capture.h"
#include "fds/fds_format.h"
#include "fds/side_rescue.h"
#include "qd/mzt.h"
#include "qd/qd_image.h"
#include "qd/qd_layout.h"
#include "qd/side_encoder.h"
#include "qd/side_rescue.h"
#include "qdkit/commands.h"
#include "qdkit/detect.h"
#include "qdkit/human.h"
#include "qdkit/map.h"
#include "qdkit/output.h"
#include "qdkit/qdside.h"
#include "qdkit/report.h"
#include "qdkit/text.h"

namespace {

struct Read {
    std::string path;
    Bytes cells;
    Medium medium;
};

// The medium whose blocks a read holds most of with a good CRC, anywhere.
std::optional<Medium> MediumOf(const Bytes& cells) {
    const DataPlanes planes(cells);
    const auto good = [](const ReadScan& scan) {
        return std::count_if(scan.blocks.begin(), scan.blocks.end(),
                             [](const FoundBlock& b) { return b.status == BlockStatus::kGood; });
    };
    const auto fds = good(ScanFdsRead(cells, planes));
    const auto qd = good(ScanQdRead(cells, planes));
    if (fds == 0 && qd == 0) return std::nullopt;
    return fds >= qd ? Medium::kFds : Medium::kQd;
}

std::optional<Read> LoadRead(const std::string& path, FileReport& report) {
    Read read{path, {}, Medium::kFds};
    if (!LoadWholeInput(path, read.cells, report)) return std::nullopt;
    if (const std::optional<Medium> medium = MediumOf(read.cells)) {
        read.medium = *medium;
        return read;
    }
    // Not the kit's raw image: perhaps a dumper's capture of an FDS side.
    if (std::optional<FdsCapture> capture = ReadFdsCapture(read.cells)) {
        read.cells = std::move(capture->raw);
        return read;
    }
    report.Fail("no block of an FDS or a QD side found in it");
    return std::nullopt;
}

// The name a block's file goes by: an FDS file header's, a QD file's.
std::vector<std::string> BlockNames(const SideRescue& rescue, Medium medium) {
    std::vector<std::string> names;
    std::string name;
    for (const RescuedBlock& block : rescue.blocks) {
        const bool fds = medium == Medium::kFds;
        const bool header = fds ? block.kind == kFdsFileHeaderBlock
                                : block.kind != kQdBlockCountKind &&
                                      !IsQdDataBlock(static_cast<std::uint8_t>(block.kind));
        if (header) {
            name.clear();
            const std::size_t at = fds ? kFdsFileNameOffset : kQdBlockHeaderBytes + kInfoName;
            const std::size_t bytes = fds ? kFdsFileNameBytes : kFileNameBytes;
            if (block.bytes.size() >= at + bytes) {
                name = fds ? ReadableBytes(&block.bytes[at], bytes)
                           : ReadableName(&block.bytes[at], bytes);
            }
        }
        const bool data = fds ? block.kind == kFdsFileDataBlock
                              : block.kind != kQdBlockCountKind &&
                                    IsQdDataBlock(static_cast<std::uint8_t>(block.kind));
        names.push_back(header || data ? name : "");
    }
    return names;
}

Json BlocksJson(const SideRescue& rescue, Medium medium) {
    Json blocks = Json::array();
    const std::vector<std::string> names = BlockNames(rescue, medium);
    for (std::size_t n = 0; n < rescue.blocks.size(); ++n) {
        const RescuedBlock& block = rescue.blocks[n];
        Json object = Json::object();
        object["number"] = n + 1;
        if (medium == Medium::kFds) {
            object["id"] = block.kind;
        } else {
            object["type"] = block.kind == kQdBlockCountKind ? Json() : Json(block.kind);
        }
        object["name"] = names[n].empty() ? Json() : Json(names[n]);
        object["size"] = block.size ? Json(*block.size) : Json();
        object["status"] = BlockStatusName(block.status);
        object["good_in"] = block.goodin;  // read indices from 0, as scripts count
        object["cell"] = block.cell ? Json(*block.cell) : Json();
        blocks.push_back(object);
    }
    return blocks;
}

// The MZT file of a rescued QD side: a record for each information block
// and the data block behind it; a file that lacks either is left out.
Bytes RescuedMzt(const SideRescue& rescue, FileReport& report) {
    Bytes mzt;
    const std::vector<RescuedBlock>& blocks = rescue.blocks;
    for (std::size_t n = 1; n < blocks.size(); ++n) {
        const RescuedBlock& info = blocks[n];
        if (IsQdDataBlock(static_cast<std::uint8_t>(info.kind))) continue;
        const RescuedBlock* data = n + 1 < blocks.size() ? &blocks[n + 1] : nullptr;
        const std::string which = "block " + std::to_string(n + 1);
        if (data == nullptr || !IsQdDataBlock(static_cast<std::uint8_t>(data->kind)) ||
            data->bytes.empty() || info.bytes.size() < kQdBlockHeaderBytes + kInfoRecordBytes) {
            report.Warn(which +
                        ": a file that lacks its information block or its data is left "
                        "out of the MZT file");
            continue;
        }
        InfoRecord record{};
        std::copy_n(info.bytes.begin() + kQdBlockHeaderBytes, kInfoRecordBytes, record.begin());
        MztHeader header = MztHeaderFromInfo(record);
        const std::size_t body = data->bytes.size() - kQdBlockHeaderBytes;
        if (Le16(&header[kMztSize]) != body) {
            report.Warn(SizeMismatchText(n, Le16(&header[kMztSize]), body) + kSizeRepair);
            PutLe16(&header[kMztSize], static_cast<unsigned>(body));
        }
        mzt.insert(mzt.end(), header.begin(), header.end());
        mzt.insert(mzt.end(), data->bytes.begin() + kQdBlockHeaderBytes, data->bytes.end());
    }
    return mzt;
}

// The QD image file of a rescued side: its blocks, each with the CRC bytes
// its kept copy holds, laid on a side as the kit lays one.
Bytes RescuedQdf(const SideRescue& rescue, FileReport& report) {
    std::vector<QdBlockView> blocks;
    for (const RescuedBlock& block : rescue.blocks) {
        if (block.bytes.empty()) continue;
        const std::size_t head =
            std::min<std::size_t>(block.bytes.size(), block.kind == kQdBlockCountKind
                                                          ? kQdBlockCountBlockBytes - kQdCrcBytes
                                                          : kQdBlockHeaderBytes);
        blocks.push_back({block.bytes.data(), head, block.bytes.data() + head,
                          block.bytes.size() - head, block.crc});
    }
    if (rescue.blocks.front().bytes.empty())
        report.Warn(
            "the side's block-count block is missing: the image begins with the next block");
    return QdImageOfStream(LayQdBlocks(blocks));
}

void PrintBlocks(const SideRescue& rescue, Medium medium) {
    const bool fds = medium == Medium::kFds;
    std::vector<Row> rows{{"#", fds ? "ID" : "TYPE", "NAME", "SIZE", "STATUS", "GOOD IN", "CELL"}};
    const std::vector<std::string> names = BlockNames(rescue, medium);
    for (std::size_t n = 0; n < rescue.blocks.size(); ++n) {
        const RescuedBlock& block = rescue.blocks[n];
        std::string goodin;
        for (int read : block.goodin)
            goodin += (goodin.empty() ? "" : ",") + std::to_string(read + 1);
        const std::string kind = block.kind == kQdBlockCountKind && !fds
                                     ? "count"
                                     : HexValue(static_cast<unsigned>(block.kind), 2);
        rows.push_back({std::to_string(n + 1), kind, names[n],
                        block.size ? std::to_string(*block.size) : "-",
                        BlockStatusName(block.status), goodin.empty() ? "-" : goodin,
                        block.cell ? std::to_string(*block.cell) : "-"});
    }
    PrintTable("", rows, {true, false, false, true, false, false, true});
}

// Blocks the side announces that are not sure, for the summary.
std::string Summary(const SideRescue& rescue) {
    std::size_t sure = 0;
    for (const RescuedBlock& block : rescue.blocks) sure += IsSure(block.status) ? 1 : 0;
    return std::to_string(sure) + " of " + std::to_string(rescue.blocks.size()) +
           (rescue.blocks.size() == 1 ? " block" : " blocks") + " good or voted, " +
           (rescue.complete ? "complete" : "incomplete");
}

}  // namespace

int RunRecover(const std::vector<std::string>& paths, const RecoverOptions& options) {
    FileReport report(paths.front());
    std::vector<Read> reads;
    for (const std::string& path : paths) {
        FileReport one(path);
        Guarded(one, [&] {
            if (std::optional<Read> read = LoadRead(path, one)) reads.push_back(std::move(*read));
        });
        // The report is the first read's: its own messages need no name.
        for (const std::string& text : one.errors)
            report.Fail(path == paths.front() ? text : path + ": " + text);
    }
    const Medium medium = reads.empty() ? Medium::kFds : reads.front().medium;
    for (const Read& read : reads) {
        if (read.medium != medium)
            report.Fail(read.path + ": a read of another medium than " + reads.front().path);
    }
    const bool fds = medium == Medium::kFds;
    const std::string to = !options.to.empty() ? options.to : fds ? "fds" : "mzt";
    if (!report.Failed() && (fds ? to != "fds" : to == "fds"))
        report.Fail(std::string(fds ? "FDS" : "QD") + " reads do not make " + to +
                    " files; --to takes " + (fds ? "fds" : "mzt or qdf"));
    SideRescue rescue;
    std::optional<std::string> written;
    if (!report.Failed()) {
        std::vector<const Bytes*> cells;
        for (const Read& read : reads) cells.push_back(&read.cells);
        Guarded(report, [&] {
            rescue = fds ? RescueFdsSide(cells) : RescueQdSide(cells);
            for (std::size_t r = 0; r < reads.size(); ++r) {
                if (!rescue.matching.offsets[r])
                    report.Warn(reads[r].path +
                                ": no block of it matches the other reads'; it is left out");
            }
            if (!rescue.complete) report.Fail("the side is incomplete");
            if (options.strict && !rescue.complete) return;
            OutputGuard guard(paths, options.force);
            const auto save = [&](const std::string& name, const Bytes& bytes) {
                const std::string path = OutputPath(options.folder, name);
                std::string error = guard.Refusal(path, paths.front());
                if (error.empty()) error = guard.Write({{path, &bytes}}, paths.front());
                if (!error.empty()) report.Fail(error);
                return error.empty() ? std::optional<std::string>(path) : std::nullopt;
            };
            if (!options.map.empty()) {
                for (std::size_t r = 0; r < reads.size(); ++r)
                    rescue.reads[r].damage = MfmDamage(reads[r].cells);
                const std::string svg = SideMap(rescue, fds, paths);
                save(options.map, Bytes(svg.begin(), svg.end()));
            }
            const Bytes bytes = fds           ? RescuedFdsImage(rescue)
                                : to == "qdf" ? RescuedQdf(rescue, report)
                                              : RescuedMzt(rescue, report);
            // The file must read as what it claims to be.
            const FileKind* told = KindOfBytes(bytes);
            if (told == nullptr || told->name() != to) {
                report.Fail("the rescued " + to + " file would not read back as one; none written");
                return;
            }
            written = save(options.output.empty()
                               ? Pathlib::SplitFilename(paths.front().c_str()) + "." + to
                               : options.output,
                           bytes);
        });
    }
    if (options.json) {
        Json object = Json::object();
        object["reads"] = paths;
        object["medium"] = fds ? "fds" : "qd";
        object["blocks"] = BlocksJson(rescue, medium);
        object["complete"] = rescue.complete;
        object["output"] = written ? Json(*written) : Json();
        object["warnings"] = report.warnings;
        object["errors"] = report.errors;
        PrintDocument(object);
    } else if (!rescue.blocks.empty()) {
        PrintBlocks(rescue, medium);
        PrintLine(paths.front() + ": " + Summary(rescue) + (written ? " -> " + *written : ""));
    }
    PrintMessages(report);
    return OutputWritten() && !report.Failed() ? 0 : 1;
}
