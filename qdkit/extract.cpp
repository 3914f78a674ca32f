#include <filesystem>
#include <optional>
#include <system_error>

#include "common/interrupt.h"
#include "common/pathlib.h"
#include "common/platform.h"
#include "qdkit/detect.h"
#include "qdkit/files.h"
#include "qdkit/manifest.h"
#include "qdkit/output.h"
#include "qdkit/report.h"
#include "qdkit/text.h"

namespace {

namespace fs = std::filesystem;

// Where an input's folder goes: named after it, in -C (or the current
// folder), in the same folder under it as the input was found in a walk.
std::string FolderFor(const BatchFile& file, const ExtractOptions& options) {
    const std::string parent =
        file.subfolder.empty() ? options.folder : OutputPath(options.folder, file.subfolder);
    return OutputPath(parent, Pathlib::SplitFilename(file.path.c_str()));
}

struct Placed {
    std::string folder;
    std::vector<std::string> written;
    bool kept = false;
    std::string line;
};

// Why the folder may not take the files, or empty; kept for --no-clobber.
// Two inputs of one base name would share a folder: no option mends that.
std::string FolderRefusal(const std::string& folder, const ExtractOptions& options,
                          const OutputGuard& guard, bool& kept) {
    const std::string earlier = guard.WroteInto(folder);
    if (!earlier.empty()) {
        return "folder " + folder + " was written from " + earlier +
               ", of the same name, in this call (extract this file in a call of its own, with "
               "-C DIR)";
    }
    std::error_code error;
    const fs::path native = NativePath(folder);
    const auto status = fs::status(native, error);
    if (!fs::exists(status)) return {};
    if (!fs::is_directory(status)) return "output " + folder + " exists and is not a folder";
    if (fs::is_empty(native, error)) return {};
    if (options.noclobber) {
        kept = true;
        return {};
    }
    if (!options.force) return "folder " + folder + " exists (--force writes over its files)";
    return {};
}

Placed Place(const BatchFile& file, const Extraction& extraction, const ExtractOptions& options,
             OutputGuard& guard, std::optional<InterruptsHeld>& held, FileReport& report) {
    Placed placed;
    placed.folder = FolderFor(file, options);
    const std::string refusal = FolderRefusal(placed.folder, options, guard, placed.kept);
    if (!refusal.empty()) {
        report.Fail(refusal);
        return {};
    }
    if (placed.kept) {
        placed.line = file.path + ": " + placed.folder + " exists, kept";
        return placed;
    }
    std::vector<Output> writes;
    for (const FolderFile& out : extraction.files) {
        const std::string path = OutputPath(placed.folder, out.name);
        const std::string why = guard.Refusal(path, file.path);
        if (!why.empty()) report.Fail(why);
        writes.push_back({path, &out.bytes});
    }
    if (report.Failed()) return {};
    std::error_code error;
    const fs::path native = NativePath(placed.folder);
    const bool made = fs::create_directories(native, error);
    if (error) {
        report.Fail("cannot create the folder " + placed.folder + ": " +
                    SystemReason(error.value()));
        return {};
    }
    const std::string failed = guard.Write(writes, file.path, held);
    if (!failed.empty()) {
        report.Fail(failed);
        if (made) fs::remove(native, error);  // only when still empty
        return {};
    }
    for (const Output& write : writes) placed.written.push_back(write.path);
    const std::size_t files = extraction.files.size() - 1;
    placed.line = file.path + " -> " + placed.folder + " (" + std::to_string(files) +
                  (files == 1 ? " file" : " files") + " and " + kManifestName + ")";
    return placed;
}

Json ExtractJson(const FileReport& report, const Placed& placed) {
    Json object = Json::object();
    object["file"] = report.file;
    object["kind"] = report.kind.empty() ? Json() : Json(report.kind);
    object["folder"] = placed.folder.empty() ? Json() : Json(placed.folder);
    object["outputs"] = placed.written;
    object["kept"] = placed.kept;
    object["warnings"] = report.warnings;
    object["errors"] = report.errors;
    return object;
}

// One input's files and manifest, made and placed.
FileOutputs ExtractOne(const ExtractOptions& options, const BatchFile& file, const Input& input,
                       OutputGuard& guard, std::optional<InterruptsHeld>& held,
                       FileReport& report) {
    Extraction extraction;
    if (input.kind != nullptr) {
        Guarded(report, [&] {
            // A QD image file loads as its raw side; its layout is in the file.
            Bytes whole;
            FileReport reread(file.path);
            if (input.kind == &QdfKind()) LoadWholeInput(file.path, whole, reread);
            extraction = ExtractFiles(*input.kind, input.bytes, whole, report);
        });
    }
    Placed placed;
    if (!report.Failed()) placed = Place(file, extraction, options, guard, held, report);
    FileOutputs done{{}, ExtractJson(report, placed), placed.kept};
    if (!placed.line.empty()) done.lines.push_back(placed.line);
    return done;
}

}  // namespace

int RunExtract(const std::vector<std::string>& files, const ExtractOptions& options) {
    return RunOutputBatch(files, options.batch, options.force, "extracted",
                          [&](auto&&... step) { return ExtractOne(options, step...); });
}
