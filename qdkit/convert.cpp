#include <algorithm>
#include <filesystem>
#include <set>

#include "common/pathlib.h"
#include "common/platform.h"
#include "qdkit/commands.h"
#include "qdkit/detect.h"
#include "qdkit/output.h"
#include "qdkit/report.h"

namespace {

// The sides --side picks (counted from 1), in order, each once.
void ChooseSides(const std::vector<int>& chosen, Content& content, FileReport& report) {
    if (chosen.empty()) return;
    const int sides = static_cast<int>(content.sides.size());
    std::vector<FdsSide> kept;
    for (int side : std::set<int>(chosen.begin(), chosen.end())) {
        if (side > sides) {
            report.Fail("side " + std::to_string(side) + ": the image has " +
                        std::to_string(sides) + (sides == 1 ? " side" : " sides"));
        } else {
            kept.push_back(content.sides[static_cast<std::size_t>(side - 1)]);
        }
    }
    content.sides = std::move(kept);
}

// Through the medium's content: what the input holds, written as the target.
std::vector<Produced> Convert(const Input& input, const FileKind& to, const ConvertOptions& options,
                              FileReport& report) {
    const FileKind& from = *input.kind;
    if (!options.sides.empty() && from.medium() != Medium::kFds) {
        report.Fail("--side applies to FDS images only");
        return {};
    }
    Content content = from.Read(input.bytes, options.force, report);
    if (report.Failed()) return {};
    ChooseSides(options.sides, content, report);
    return WriteAs(to, content, options.force, report);
}

}  // namespace

int RunConvert(const std::vector<std::string>& files, const ConvertOptions& options) {
    OutputGuard guard(files, options.force);
    bool failed = false;
    for (const std::string& file : files) {
        FileReport report(file);
        const Input input = ReadKnownFile(file, report);
        std::vector<Produced> outputs;
        if (input.kind != nullptr) {
            const FileKind& to = options.to ? *options.to : *KindNamed(input.kind->target());
            if (to.medium() != input.kind->medium() || &to == input.kind) {
                report.Fail(std::string("a ") + input.kind->name() + " file does not convert to " +
                            to.name());
            } else {
                Guarded(report, [&] { outputs = Convert(input, to, options, report); });
            }
        }
        if (options.strict && !report.warnings.empty()) {
            for (const std::string& warning : report.warnings) report.Fail(warning + " (--strict)");
            report.warnings.clear();
        }
        if (!report.Failed() && outputs.empty()) report.Fail("nothing to write");
        if (!report.Failed() && !options.output.empty() && outputs.size() != 1) {
            report.Fail("-o names one output, this conversion writes " +
                        std::to_string(outputs.size()));
        }
        std::vector<std::string> paths;
        const std::string base = Pathlib::SplitFilename(file.c_str());
        for (const Produced& output : outputs) {
            const std::string name = options.output.empty() ? base + output.suffix : options.output;
            paths.push_back(OutputPath(options.folder, name));
        }
        if (!report.Failed()) {
            for (const std::string& path : paths) {
                const std::string refusal = guard.Refusal(path, file);
                if (!refusal.empty()) report.Fail(refusal);
            }
        }
        if (!report.Failed()) {
            std::vector<Output> written;
            for (std::size_t i = 0; i < outputs.size(); ++i)
                written.push_back({paths[i], &outputs[i].bytes});
            const std::string error = guard.Write(written, file);
            if (!error.empty()) report.Fail(error);
            for (std::size_t i = 0; i < paths.size() && error.empty(); ++i)
                PrintLine(file + " -> " + paths[i]);
        }
        PrintMessages(report);
        failed = failed || report.Failed();
    }
    return OutputWritten() && !failed ? 0 : 1;
}
