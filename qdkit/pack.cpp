#include <cerrno>
#include <filesystem>
#include <system_error>

#include "common/fileio.h"
#include "common/platform.h"
#include "common/wholefile.h"
#include "qdkit/detect.h"
#include "qdkit/files.h"
#include "qdkit/manifest.h"
#include "qdkit/output.h"
#include "qdkit/report.h"
#include "qdkit/text.h"

namespace {

// A file of the folder, whole, empty ones too: a disk may hold empty files.
bool ReadFolderFile(const std::string& path, const std::string& name, Bytes& bytes,
                    FileReport& report) {
    std::error_code error;
    if (std::filesystem::is_directory(NativePath(path), error)) {
        report.Fail(name + ": a folder");
        return false;
    }
    // An empty file reads as no bytes, where ReadInput would call it an error.
    if (std::filesystem::file_size(NativePath(path), error) == 0 && !error) {
        bytes.clear();
        return true;
    }
    CFile file;
    errno = 0;
    if (!file.Open(path.c_str(), "rb")) {
        report.Fail(name + ": cannot open: " + SystemReason(errno));
        return false;
    }
    if (ReadInput(file, bytes) != LoadStatus::kOk) {
        report.Fail(name + ": read error");
        return false;
    }
    return true;
}

// "a folder of fds files does not pack to mzt; it packs to fds-raw, fds-qd"
std::string Refused(const FileKind& from, const FileKind& to) {
    std::string targets = from.name();
    for (const FileKind* kind : TargetsOf(from))
        if (kind != &from) targets += std::string(", ") + kind->name();
    return "the folder holds " + WithArticle(from.name()) + " disk, which does not pack to " +
           to.name() + "; it packs to " + targets;
}

std::vector<Produced> Pack(const std::string& folder, const PackOptions& options,
                           std::vector<std::string>& read, FileReport& report) {
    const std::string manifestpath = OutputPath(folder, kManifestName);
    Bytes text;
    if (!ReadFolderFile(manifestpath, kManifestName, text, report)) return {};
    read.push_back(manifestpath);
    Json manifest;
    try {
        manifest = Json::parse(text.begin(), text.end());
    } catch (const Json::parse_error& error) {
        report.Fail(std::string(kManifestName) + ": not JSON: " + error.what());
        return {};
    }
    const FileKind* kind = ManifestKind(manifest, report);
    if (kind == nullptr) return {};
    report.kind = kind->name();
    const FileKind& to = options.to != nullptr ? *options.to : *kind;
    report.facts["to"] = to.name();
    if (to.medium() != kind->medium()) {
        report.Fail(Refused(*kind, to));
        return {};
    }
    const FolderReader reader = [&](const std::string& name, Bytes& bytes) {
        const std::string path = OutputPath(folder, name);
        if (!ReadFolderFile(path, name, bytes, report)) return false;
        read.push_back(path);
        return true;
    };
    std::vector<Produced> outputs = PackFiles(manifest, to, reader, report);
    if (!report.Failed() && outputs.size() != 1) {
        report.Fail("-o names one output, but the disk packs to " + std::to_string(outputs.size()) +
                    " " + to.name() + " files (pack to fds, then convert)");
    }
    return outputs;
}

}  // namespace

int RunPack(const std::string& folder, const PackOptions& options) {
    FileReport report(folder);
    std::vector<std::string> read;
    std::vector<Produced> outputs;
    Guarded(report, [&] { outputs = Pack(folder, options, read, report); });
    std::string written;
    if (!report.Failed()) {
        OutputGuard guard(read, options.force);
        std::string error = guard.Refusal(options.output, folder);
        if (error.empty()) error = guard.Write({{options.output, &outputs.front().bytes}}, folder);
        if (error.empty()) {
            written = options.output;
        } else {
            report.Fail(error);
        }
    }
    if (options.json) {
        Json object = Json::object();
        object["folder"] = folder;
        object["kind"] = report.kind.empty() ? Json() : Json(report.kind);
        object["to"] = report.facts.value("to", Json());
        object["output"] = written.empty() ? Json() : Json(written);
        object["warnings"] = report.warnings;
        object["errors"] = report.errors;
        PrintDocument(object);
    } else if (!written.empty()) {
        PrintProgress(written + " <- " + folder + " (" + report.facts["to"].get<std::string>() +
                      ")");
    }
    PrintMessages(report);
    return OutputWritten() && !report.Failed() ? 0 : 1;
}
