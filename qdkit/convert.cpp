#include <algorithm>
#include <filesystem>
#include <optional>
#include <set>

#include "common/interrupt.h"
#include "common/pathlib.h"
#include "common/platform.h"
#include "qdkit/commands.h"
#include "qdkit/detect.h"
#include "qdkit/fdsside.h"
#include "qdkit/output.h"
#include "qdkit/report.h"
#include "qdkit/text.h"

namespace {

// The sides --side picks (counted from 1), in order, each once.
void ChooseSides(const std::vector<int>& chosen, Content& content, FileReport& report) {
    if (chosen.empty()) return;
    const int sides = static_cast<int>(content.sides.size());
    std::vector<FdsImageSide> kept;
    for (int side : std::set<int>(chosen.begin(), chosen.end())) {
        if (side > sides) {
            report.Fail("side " + SideLabel(side - 1) + ": the image has " +
                        (sides == 1
                             ? "1 side, A"
                             : std::to_string(sides) + " sides, A to " + SideLabel(sides - 1)));
        } else {
            kept.push_back(content.sides[static_cast<std::size_t>(side - 1)]);
        }
    }
    content.sides = std::move(kept);
}

// "an fds file does not convert to mzt; it converts to fds-raw, fds-qd"
std::string Refused(const FileKind& from, const FileKind& to) {
    std::string targets;
    for (const FileKind* kind : TargetsOf(from))
        targets += (targets.empty() ? "" : ", ") + std::string(kind->name());
    return WithArticle(from.name()) + " file does not convert to " + to.name() +
           "; it converts to " + targets;
}

// Through the medium's content: what the input holds, written as the target.
std::vector<Produced> Convert(const Input& input, const ConvertOptions& options,
                              FileReport& report) {
    const FileKind& from = *input.kind;
    const FileKind& to = options.to ? *options.to : *KindNamed(from.target());
    report.facts["to"] = to.name();
    if (to.medium() != from.medium() || &to == &from) {
        report.Fail(Refused(from, to));
        return {};
    }
    if (!options.sides.empty() && from.medium() != Medium::kFds) {
        report.Fail("--side applies to FDS images only");
        return {};
    }
    Content content = from.Read(input.bytes, options.salvage, report);
    if (report.Failed()) return {};
    ChooseSides(options.sides, content, report);
    return WriteAs(to, content, options.salvage, report);
}

// What --strict and the count of outputs make of a conversion.
void CheckOutputs(const std::vector<Produced>& outputs, const ConvertOptions& options,
                  FileReport& report) {
    if (options.strict && !report.warnings.empty()) {
        for (const std::string& warning : report.warnings) report.Fail(warning + " (--strict)");
        report.warnings.clear();
    }
    if (!report.Failed() && outputs.empty()) report.Fail("nothing to write");
    if (!report.Failed() && !options.output.empty() && outputs.size() != 1) {
        report.Fail("-o names one output, this conversion writes " +
                    std::to_string(outputs.size()));
    }
}

// Where a file's outputs go: beside each other in -C (or the current
// folder), in the same folder under it as the file was found in a walk.
std::vector<std::string> OutputPaths(const BatchFile& file, const std::vector<Produced>& outputs,
                                     const ConvertOptions& options) {
    const std::string folder =
        file.subfolder.empty() ? options.folder : OutputPath(options.folder, file.subfolder);
    const std::string base = Pathlib::SplitFilename(file.path.c_str());
    std::vector<std::string> paths;
    for (const Produced& output : outputs) {
        paths.push_back(
            OutputPath(folder, options.output.empty() ? base + output.suffix : options.output));
    }
    return paths;
}

// The folder a walked file's outputs go into, made when missing.
bool MakeFolderOf(const std::string& path, FileReport& report) {
    const std::filesystem::path folder = NativePath(path).parent_path();
    std::error_code error;
    if (folder.empty() || std::filesystem::create_directories(folder, error) || !error) return true;
    report.Fail("cannot create the folder " + KitName(folder) + ": " + SystemReason(error.value()));
    return false;
}

struct Placed {
    std::vector<std::string> written;
    std::vector<std::string> kept;   // existing outputs --no-clobber left alone
    std::vector<std::string> lines;  // for each output in turn
};

// Writes a file's outputs, all or none, but those --no-clobber keeps.
Placed Place(const BatchFile& file, const std::vector<Produced>& outputs,
             const std::vector<std::string>& paths, const ConvertOptions& options,
             OutputGuard& guard, std::optional<InterruptsHeld>& held, FileReport& report) {
    Placed placed;
    std::vector<Output> writes;
    for (std::size_t i = 0; i < outputs.size(); ++i) {
        if (options.noclobber && OutputExists(paths[i])) {
            placed.kept.push_back(paths[i]);
            placed.lines.push_back(file.path + ": " + paths[i] + " exists, kept");
            continue;
        }
        const std::string refusal = guard.Refusal(paths[i], file.path);
        if (!refusal.empty()) report.Fail(refusal);
        writes.push_back({paths[i], &outputs[i].bytes});
        placed.lines.push_back(file.path + " -> " + paths[i]);
    }
    if (report.Failed()) return {};
    const bool made = file.walked || !options.folder.empty();
    if (!writes.empty() && made && !MakeFolderOf(writes.front().path, report)) return {};
    const std::string error = writes.empty() ? "" : guard.Write(writes, file.path, held);
    if (!error.empty()) {
        report.Fail(error);
        return {};
    }
    for (const Output& write : writes) placed.written.push_back(write.path);
    return placed;
}

Json ConvertJson(const FileReport& report, const Placed& placed) {
    Json object = Json::object();
    object["file"] = report.file;
    object["kind"] = report.kind.empty() ? Json() : Json(report.kind);
    object["to"] = report.facts.value("to", Json());
    object["outputs"] = placed.written;
    object["kept"] = placed.kept;
    object["warnings"] = report.warnings;
    object["errors"] = report.errors;
    return object;
}

// One input's outputs, made and placed.
FileOutputs ConvertOne(const ConvertOptions& options, const BatchFile& file, const Input& input,
                       OutputGuard& guard, std::optional<InterruptsHeld>& held,
                       FileReport& report) {
    std::vector<Produced> outputs;
    if (input.kind != nullptr) Guarded(report, [&] { outputs = Convert(input, options, report); });
    CheckOutputs(outputs, options, report);
    Placed placed;
    if (!report.Failed()) {
        placed =
            Place(file, outputs, OutputPaths(file, outputs, options), options, guard, held, report);
    }
    return {placed.lines, ConvertJson(report, placed), !report.Failed() && placed.written.empty()};
}

}  // namespace

int RunConvert(const std::vector<std::string>& files, const ConvertOptions& options) {
    return RunOutputBatch(files, options.batch, options.force, "converted",
                          [&](auto&&... step) { return ConvertOne(options, step...); });
}
