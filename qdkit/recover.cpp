// qdkit recover: one side rescued from one read of it or several, block by
// block, with what became of each.
#include <algorithm>
#include <optional>

#include "common/dataplanes.h"
#include "common/littleendian.h"
#include "common/pathlib.h"
#include "common/rescue.h"
#include "common/wholefile.h"
#include "fds/side_rescue.h"
#include "qd/hxc_qd.h"
#include "qd/side_rescue.h"
#include "qdkit/commands.h"
#include "qdkit/detect.h"
#include "qdkit/human.h"
#include "qdkit/map.h"
#include "qdkit/match.h"
#include "qdkit/output.h"
#include "qdkit/qdside.h"
#include "qdkit/report.h"
#include "qdkit/text.h"

namespace {

// A read with its data planes, scanned by its medium's reader.
struct Read {
    std::string path;
    Bytes cells;
    std::optional<DataPlanes> planes;
    ReadScan scan;
    const RescueMedium* medium = nullptr;  // none when it holds no block
    std::optional<std::size_t> copyof;     // the read before it with the same bytes
};

std::size_t GoodIn(const ReadScan& scan) {
    return static_cast<std::size_t>(
        std::count_if(scan.blocks.begin(), scan.blocks.end(),
                      [](const FoundBlock& b) { return b.status == BlockStatus::kGood; }));
}

// The reader a read of this many bytes is more likely for: the medium whose
// raw side is nearer its length, so that a whole side is scanned once.
const RescueMedium* const kMedia[] = {&kFdsRescue, &kQdRescue};

const RescueMedium* Likelier(std::size_t bytes) {
    const auto from = [&](const RescueMedium* medium) {
        return std::llabs(static_cast<long long>(bytes) - medium->rawsidebytes);
    };
    return from(kMedia[0]) <= from(kMedia[1]) ? kMedia[0] : kMedia[1];
}

// The medium whose blocks a read holds, good ones first; the likelier
// reader first. `only`: the medium of the reads before; the other is taken
// only where it finds good blocks.
void Scan(Read& read, const RescueMedium* only) {
    read.planes.emplace(read.cells);
    const RescueMedium* first = only != nullptr ? only : Likelier(read.cells.size());
    const RescueMedium* second = first == kMedia[0] ? kMedia[1] : kMedia[0];
    ReadScan scan = first->scan(*read.planes);
    if (GoodIn(scan) == 0) {
        ReadScan other = second->scan(*read.planes);
        const bool more = only == nullptr && other.blocks.size() > scan.blocks.size();
        if (GoodIn(other) > 0 || more) {
            read.scan = std::move(other);
            read.medium = second;
            return;
        }
    }
    if (scan.blocks.empty()) return;
    read.scan = std::move(scan);
    read.medium = first;
}

// A read whose cells slip against the side's, put back in step where that
// gives more good blocks.
void Retime(Read& read, FileReport& report) {
    std::optional<RetimedScan> retimed = Retimed(*read.medium, read.cells, read.scan);
    if (!retimed) return;
    read.cells = std::move(retimed->raw);
    read.planes.emplace(read.cells);
    read.scan = std::move(retimed->scan);
    report.Warn(
        "the read slips a cell every so often, as one taken at another cell rate does: its "
        "blocks are read with the slips undone, and the cells shown for it count in the read "
        "so mended");
}

std::optional<Read> LoadRead(const std::string& path, const RescueMedium* medium,
                             FileReport& report) {
    Read read{path, {}, std::nullopt, {}, nullptr, std::nullopt};
    if (!LoadWholeInput(path, read.cells, report)) return std::nullopt;
    Scan(read, medium);
    // Not the kit's raw image: perhaps a dumper's capture of a side.
    for (const RescueMedium* other : kMedia) {
        if (read.medium != nullptr) break;
        if (other->capture == nullptr || (medium != nullptr && medium != other)) continue;
        if (std::optional<Bytes> cells = other->capture(read.cells)) {
            read.cells = std::move(*cells);
            read.planes.emplace(read.cells);
            read.scan = other->scan(*read.planes);
            read.medium = other;
        }
    }
    if (read.medium != nullptr) Retime(read, report);
    return read;
}

// "blocks 5-6 (cells 612345-700001)"
std::string StretchText(const RereadStretch& stretch) {
    std::string text = stretch.first == stretch.last
                           ? "block " + std::to_string(stretch.first + 1)
                           : "blocks " + std::to_string(stretch.first + 1) + "-" +
                                 std::to_string(stretch.last + 1);
    if (stretch.cells)
        text += " (cells " + std::to_string(stretch.cells->first) + "-" +
                std::to_string(stretch.cells->end) + ")";
    return text;
}

Json BlocksJson(const SideRescue& rescue, const RescueMedium& medium) {
    Json blocks = Json::array();
    const std::vector<std::string> names = RescuedNames(rescue, medium);
    for (std::size_t n = 0; n < rescue.blocks.size(); ++n) {
        const RescuedBlock& block = rescue.blocks[n];
        Json object = Json::object();
        object["number"] = n + 1;
        const bool coded = block.role != BlockRole::kOpening || medium.openingcoded;
        object[medium.codename] = coded ? Json(block.code) : Json();
        object["name"] = names[n].empty() ? Json() : Json(names[n]);
        const std::optional<std::size_t> size = medium.ShownSize(block);
        object["size"] = size ? Json(*size) : Json();
        object["status"] = BlockStatusName(block.status);
        object["good_in"] = block.goodin;  // read indices from 0, as scripts count
        object["outvoted"] = block.outvoted;
        object["cell"] = block.cell ? Json(*block.cell) : Json();
        blocks.push_back(object);
    }
    return blocks;
}

Json RereadJson(const SideRescue& rescue) {
    Json stretches = Json::array();
    for (const RereadStretch& stretch : rescue.reread) {
        Json cells = Json();
        if (stretch.cells) cells = {stretch.cells->first, stretch.cells->end};
        stretches.push_back({{"blocks", {stretch.first + 1, stretch.last + 1}}, {"cells", cells}});
    }
    return stretches;
}

// What the MZT file left out or changed, told per file.
void TellMzt(const std::vector<RescuedFileEvent>& events, FileReport& report) {
    for (const RescuedFileEvent& event : events) {
        const std::string which = "block " + std::to_string(event.block + 1);
        switch (event.note) {
            case RescuedFileNote::kLeftOut:
                report.Warn(which +
                            ": a file that lacks its information block or its data is left "
                            "out of the MZT file");
                break;
            case RescuedFileNote::kUnsound:
                report.Warn(which +
                            ": its information record is too damaged for an MZT header; the "
                            "file is left out of the MZT file (--to qdf keeps it)");
                break;
            case RescuedFileNote::kSizeTaken:
                report.Warn(SizeMismatchText(event.block, event.recordsize, event.blocksize) +
                            kSizeRepair);
                break;
            case RescuedFileNote::kFitted:
                report.Warn(SizeMismatchText(event.block, event.recordsize, event.blocksize) +
                            "; the data block, not sure, is " +
                            (event.blocksize > event.recordsize ? "cut" : "padded with 0x00") +
                            " to the record's size");
                break;
        }
    }
}

// The rescued side as the file `to` names; empty when nothing was rescued.
Bytes RescuedFile(const SideRescue& rescue, const std::string& to, FileReport& report) {
    const bool any = std::any_of(rescue.blocks.begin(), rescue.blocks.end(),
                                 [](const RescuedBlock& b) { return !b.bytes.empty(); });
    if (!any) return {};
    if (to == "fds") return RescuedFdsImage(rescue);
    if (to == "qdf") {
        if (rescue.blocks.front().bytes.empty())
            report.Warn(
                "the side's block-count block is missing: the image begins with the next block");
        return RescuedQdImage(rescue);
    }
    RescuedMzt mzt = RescuedMztFile(rescue);
    TellMzt(mzt.events, report);
    return std::move(mzt.file);
}

void PrintBlocks(const SideRescue& rescue, const RescueMedium& medium) {
    std::vector<Row> rows{
        {"#", Heading(medium.codename), "NAME", "SIZE", "STATUS", "GOOD IN", "CELL"}};
    const std::vector<std::string> names = RescuedNames(rescue, medium);
    for (std::size_t n = 0; n < rescue.blocks.size(); ++n) {
        const RescuedBlock& block = rescue.blocks[n];
        std::string goodin;
        for (int read : block.goodin)
            goodin += (goodin.empty() ? "" : ",") + std::to_string(read + 1);
        const std::string kind = block.role == BlockRole::kOpening && !medium.openingcoded
                                     ? medium.BriefRoleName(block.role)
                                     : HexValue(static_cast<unsigned>(block.code), 2);
        const std::optional<std::size_t> size = medium.ShownSize(block);
        rows.push_back({std::to_string(n + 1), kind, names[n], size ? std::to_string(*size) : "-",
                        BlockStatusName(block.status), goodin.empty() ? "-" : goodin,
                        block.cell ? std::to_string(*block.cell) : "-"});
    }
    PrintTable("", rows, {true, false, false, true, false, false, true});
}

// Blocks good or voted, whether the side is whole, and where to read again.
std::string Summary(const SideRescue& rescue) {
    std::size_t sure = 0;
    for (const RescuedBlock& block : rescue.blocks) sure += IsSure(block.status) ? 1 : 0;
    std::string text = std::to_string(sure) + " of " + Plural(rescue.blocks.size(), "block") +
                       " good or voted, " + (rescue.complete ? "complete" : "incomplete");
    for (std::size_t n = 0; n < rescue.reread.size(); ++n)
        text += (n == 0 ? "; read again: " : ", ") + StretchText(rescue.reread[n]);
    return text;
}

// "pass N" when the pass's read holds more than one; else nothing.
std::string PassNumber(const SideRescue& rescue, const ReadPass& pass) {
    const bool more = std::count_if(rescue.passes.begin(), rescue.passes.end(),
                                    [&](const ReadPass& p) { return p.read == pass.read; }) > 1;
    return more ? "pass " + std::to_string(pass.number + 1) : "";
}

// A pass by its read's name, and which pass when the read holds more.
std::string PassName(const SideRescue& rescue, const ReadPass& pass,
                     const std::vector<std::string>& paths) {
    const std::string number = PassNumber(rescue, pass);
    return paths[static_cast<std::size_t>(pass.read)] + (number.empty() ? "" : " (" + number + ")");
}

// What a message about a pass begins with: its name, but for the first
// read's, whose report it is.
std::string PassSubject(const SideRescue& rescue, const ReadPass& pass,
                        const std::vector<std::string>& paths) {
    if (pass.read != 0) return PassName(rescue, pass, paths) + ": ";
    const std::string number = PassNumber(rescue, pass);
    return number.empty() ? "" : number + ": ";
}

// What became of each read and pass, and what keeps the side from being whole.
void TellRescue(const SideRescue& rescue, const std::vector<std::string>& paths,
                FileReport& report) {
    for (const ReadPass& pass : rescue.passes) {
        const std::string subject = PassSubject(rescue, pass, paths);
        if (pass.number > 0)
            report.Warn(subject + "another pass of the side begins at cell " +
                        std::to_string(pass.cells.first) + "; it is matched as a read of its own");
        switch (pass.fate) {
            case PassFate::kUsed:
            case PassFate::kNoBlocks:  // told when it was read
                break;
            case PassFate::kUnplaced:
                report.Warn(subject + "no block of it matches the other reads'; it is left out");
                break;
            case PassFate::kOtherSide:
                report.Warn(subject + "holds another side than the one rescued; it is left out");
                break;
        }
    }
    for (std::size_t n = 0; n < rescue.blocks.size(); ++n) {
        std::vector<std::string> names;
        for (int read : rescue.blocks[n].outvoted)
            names.push_back(paths[static_cast<std::size_t>(read)]);
        if (!names.empty())
            report.Warn("block " + std::to_string(n + 1) +
                        ": other bytes that pass the CRC too, in " + Listed(names) +
                        ", are outvoted");
    }
    for (std::size_t n : rescue.misplaced)
        report.Fail("block " + std::to_string(n + 1) +
                    " repeats a file or is out of the order of the side");
    if (rescue.endunseen) {
        std::size_t last = rescue.blocks.size();
        while (last > 1 && rescue.blocks[last - 1].status == BlockStatus::kMissing) --last;
        report.Warn("no read goes on past block " + std::to_string(last) +
                    " far enough to show that no file follows it");
    }
    if (!rescue.complete) report.Fail("the side is incomplete");
}

std::string SidesText(const SideRescue& rescue, const std::vector<std::string>& paths) {
    std::string text;
    for (const std::vector<std::size_t>& group : rescue.sides) {
        std::string passes;
        for (std::size_t p : group)
            passes += (passes.empty() ? "" : ", ") + PassName(rescue, rescue.passes[p], paths);
        text += (text.empty() ? "" : "; ") + passes;
    }
    return "the reads hold different sides: " + text +
           " (--side-of READ rescues the side of that read)";
}

// Reads the files, each scanned once; false when one cannot be.
bool LoadReads(const std::vector<std::string>& paths, std::vector<Read>& reads,
               FileReport& report) {
    const RescueMedium* medium = nullptr;
    std::string first;  // the first read that holds blocks
    for (const std::string& path : paths) {
        FileReport one(path);
        std::optional<Read> read;
        Guarded(one, [&] { read = LoadRead(path, medium, one); });
        // The report is the first read's: its own messages need no name.
        for (const std::string& text : one.errors)
            report.Fail(path == paths.front() ? text : path + ": " + text);
        for (const std::string& text : one.warnings)
            report.Warn(path == paths.front() ? text : path + ": " + text);
        if (!read) continue;
        if (read->medium == nullptr) {
            report.Warn((path == paths.front() ? "" : path + ": ") +
                        (IsBlankHxcQd(read->cells)
                             ? "a blank QD image: no blocks"
                             : "no block of an FDS or a QD side found in it") +
                        "; it is left out");
        } else if (const auto same = std::find_if(
                       reads.begin(), reads.end(),
                       [&](const Read& r) { return r.medium && r.cells == read->cells; });
                   same != reads.end()) {
            // One read twice is no second witness: it would outvote a read
            // that disagrees with it.
            report.Warn(path +
                        (same->path == path ? " is named more than once"
                                            : ": the same bytes as " + same->path) +
                        "; it counts once");
            read->medium = nullptr;
            read->scan = {};
            read->copyof = static_cast<std::size_t>(same - reads.begin());
        } else if (medium != nullptr && read->medium != medium) {
            report.Fail(path + ": a read of another medium than " + first);
        } else if (medium == nullptr) {
            medium = read->medium;
            first = path;
        }
        reads.push_back(std::move(*read));
    }
    return !report.Failed();
}

// The catalogues' entries the rescued file's forms match.
std::vector<DatMatch> Lookup(const std::vector<Dat>& dats, const FileKind& kind,
                             const Bytes& file) {
    FileReport scratch("");
    Probe probe(file);
    Bytes loaded;
    if (!kind.Load(probe, loaded, scratch)) return {};
    return FindMatches(dats, DigestForms(CatalogueForms(kind, loaded), Digest(file)));
}

// Whether the medium's reads make files of kind `to`.
void CheckTarget(const RescueMedium& kind, const std::string& to, FileReport& report) {
    const auto made = std::find_if(kind.outputs.begin(), kind.outputs.end(),
                                   [&](const char* o) { return o != nullptr && to == o; });
    if (made != kind.outputs.end()) return;
    std::string takes;
    for (const char* output : kind.outputs)
        if (output != nullptr) takes += (takes.empty() ? "" : " or ") + std::string(output);
    report.Fail(std::string(kind.label) + " reads do not make " + to + " files; --to takes " +
                takes);
}

// The read --side-of names, by its place among the reads; none when unnamed.
std::optional<int> SideOfRead(const std::vector<Read>& reads, const std::string& named,
                              FileReport& report) {
    if (named.empty()) return std::nullopt;
    const auto at =
        std::find_if(reads.begin(), reads.end(), [&](const Read& r) { return r.path == named; });
    if (at == reads.end()) {
        report.Fail("--side-of " + named + " is not one of the reads");
        return std::nullopt;
    }
    // A copy left out stands for the read it copies.
    return static_cast<int>(at->copyof.value_or(static_cast<std::size_t>(at - reads.begin())));
}

// What one call rescues from its reads, and what it is to make.
struct RecoverCall {
    const std::vector<std::string>& paths;
    const RecoverOptions& options;
    const std::vector<Dat>& dats;
    const RescueMedium& kind;
    std::string to;
    std::optional<int> sideof;
};

struct Recovered {
    SideRescue rescue;
    std::optional<std::string> written;
    std::optional<std::vector<DatMatch>> matches;  // with --dat, once a side was rescued
};

// The map and the rescued file, each through the guard of the call's outputs.
void WriteRescued(const RecoverCall& call, const std::vector<Read>& reads, Recovered& out,
                  FileReport& report) {
    const RecoverOptions& options = call.options;
    const std::string& first = call.paths.front();
    OutputGuard guard(call.paths, options.force);
    const auto save = [&](const std::string& name, const Bytes& bytes) {
        const std::string path = OutputPath(options.folder, name);
        std::string error = guard.Refusal(path, first);
        if (error.empty()) error = guard.Write({{path, &bytes}}, first);
        if (!error.empty()) report.Fail(error);
        return error.empty() ? std::optional<std::string>(path) : std::nullopt;
    };
    if (!options.map.empty()) {
        for (std::size_t r = 0; r < reads.size(); ++r)
            out.rescue.reads[r].damage = MfmDamage(reads[r].cells);
        const std::string svg = SideMap(out.rescue, call.kind, call.paths);
        save(options.map, Bytes(svg.begin(), svg.end()));
    }
    const Bytes bytes = RescuedFile(out.rescue, call.to, report);
    if (bytes.empty()) {
        report.Fail("nothing was rescued; no " + call.to + " file written");
        return;
    }
    // The file must read as what it claims to be.
    const FileKind* told = KindNamed(call.to);
    if (told == nullptr || !ReadsBackAs(bytes, *told)) {
        report.Fail("the rescued " + call.to + " file would not read back as one; none written");
        return;
    }
    if (!call.options.dats.empty()) out.matches = Lookup(call.dats, *told, bytes);
    out.written =
        save(options.output.empty() ? Pathlib::SplitFilename(first.c_str()) + "." + call.to
                                    : options.output,
             bytes);
}

void RescueAndWrite(const RecoverCall& call, std::vector<Read>& reads, Recovered& out,
                    FileReport& report) {
    std::vector<const DataPlanes*> planes;
    std::vector<ReadScan> scans;
    for (Read& read : reads) {
        planes.push_back(read.planes ? &*read.planes : nullptr);
        scans.push_back(read.medium == &call.kind ? std::move(read.scan) : ReadScan{});
    }
    out.rescue = RescueSide(call.kind, planes, std::move(scans), {call.sideof});
    if (!out.rescue.sides.empty()) {
        report.Fail(SidesText(out.rescue, call.paths));
        return;
    }
    TellRescue(out.rescue, call.paths, report);
    if (call.options.strict && !out.rescue.complete) return;
    WriteRescued(call, reads, out, report);
}

// The call's one JSON document.
Json RecoverJson(const RecoverCall& call, const Recovered& out, const FileReport& report) {
    Json object = Json::object();
    object["reads"] = call.paths;
    object["medium"] = call.kind.name;
    object["blocks"] = BlocksJson(out.rescue, call.kind);
    object["complete"] = out.rescue.complete;
    object["reread"] = RereadJson(out.rescue);
    object["output"] = out.written ? Json(*out.written) : Json();
    if (!call.options.dats.empty()) {
        Json list = Json::array();
        for (const DatMatch& match : out.matches.value_or(std::vector<DatMatch>{}))
            list.push_back(MatchJson(match));
        object["matches"] = list;
    }
    object["warnings"] = report.warnings;
    object["errors"] = report.errors;
    return object;
}

// The blocks' table, the summary line and what the DATs say.
void PrintRecovered(const RecoverCall& call, const Recovered& out) {
    const std::string& first = call.paths.front();
    PrintBlocks(out.rescue, call.kind);
    PrintLine(first + ": " + Summary(out.rescue) + (out.written ? " -> " + *out.written : ""));
    if (out.matches && out.matches->empty())
        PrintLine(first + ": the rescued side matches no dump the DATs list");
    for (const DatMatch& match : out.matches.value_or(std::vector<DatMatch>{}))
        PrintLine(first + ": the rescued side is " + MatchText(match));
}

}  // namespace

int RunRecover(const std::vector<std::string>& paths, const RecoverOptions& options) {
    std::vector<Dat> dats;
    if (!LoadDats(options.dats, dats)) return 1;
    FileReport report(paths.front());
    std::vector<Read> reads;
    const bool loaded = LoadReads(paths, reads, report);
    const RescueMedium* medium = nullptr;
    for (const Read& read : reads) medium = medium ? medium : read.medium;
    if (loaded && medium == nullptr) report.Fail("no read holds a block of an FDS or a QD side");
    const RescueMedium& kind = medium ? *medium : *kMedia[0];
    RecoverCall call{
        paths,       options, dats, kind, !options.to.empty() ? options.to : kind.outputs.front(),
        std::nullopt};
    if (!report.Failed()) CheckTarget(kind, call.to, report);
    if (!report.Failed()) call.sideof = SideOfRead(reads, options.sideof, report);
    Recovered out;
    if (!report.Failed()) Guarded(report, [&] { RescueAndWrite(call, reads, out, report); });
    if (options.json) {
        PrintDocument(RecoverJson(call, out, report));
    } else if (!out.rescue.blocks.empty()) {
        PrintRecovered(call, out);
    }
    PrintMessages(report);
    return OutputWritten() && !report.Failed() ? 0 : 1;
}
