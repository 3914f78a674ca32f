#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <set>

#include "common/pathlib.h"
#include "common/platform.h"
#include "qdkit/commands.h"
#include "qdkit/conversions.h"
#include "qdkit/detect.h"
#include "qdkit/output.h"
#include "qdkit/report.h"

namespace {

// The kinds each kind converts to; the first is the default.
std::vector<Kind> Targets(Kind from) {
    switch (from) {
        case Kind::kFds:
            return {Kind::kFdsRaw};
        case Kind::kFdsRaw:
            return {Kind::kFds};
        case Kind::kMzt:
            return {Kind::kQdRaw, Kind::kQdf};
        case Kind::kQdf:
            return {Kind::kQdRaw, Kind::kMzt};
        case Kind::kQdRaw:
            return {Kind::kMzt, Kind::kQdf};
    }
    return {};
}

std::vector<Produced> Convert(const Input& input, Kind to, const ConvertOptions& options,
                              FileReport& report) {
    const Kind from = *input.kind;
    if (!options.sides.empty() && from != Kind::kFds) {
        report.Fail("--side applies to FDS images only");
        return {};
    }
    if (from == Kind::kFds) {
        std::vector<int> chosen;
        for (int side : std::set<int>(options.sides.begin(), options.sides.end())) {
            chosen.push_back(side - 1);
        }
        return FdsToRawSides(input.bytes, chosen, report);
    }
    if (from == Kind::kMzt && to == Kind::kQdRaw) {
        return {{kQdRawSuffix, MztToQdRaw(input.bytes, report)}};
    }
    if (from == Kind::kQdf && to == Kind::kQdRaw) {
        return {{kQdRawSuffix, QdfToQdRaw(input.bytes, report)}};
    }
    const bool keep = options.force;
    if (from == Kind::kFdsRaw) return {{kFdsSuffix, FdsRawToFds(input.bytes, keep, report)}};
    if (from == Kind::kQdRaw && to == Kind::kMzt) {
        return {{kMztSuffix, QdRawToMzt(input.bytes, keep, report)}};
    }
    if (from == Kind::kQdRaw && to == Kind::kQdf) {
        return {{kQdfSuffix, QdRawToQdf(input.bytes, keep, report)}};
    }
    // The two-step ones go through a raw side in memory.
    const Bytes raw =
        from == Kind::kMzt ? MztToQdRaw(input.bytes, report) : QdfToQdRaw(input.bytes, report);
    if (report.Failed()) return {};
    if (to == Kind::kQdf) return {{kQdfSuffix, QdRawToQdf(raw, false, report)}};
    return {{kMztSuffix, QdRawToMzt(raw, false, report)}};
}

std::string OutputPath(const ConvertOptions& options, const std::string& name) {
    if (options.folder.empty()) return name;
    return KitName(NativePath(options.folder) / NativePath(name));
}

}  // namespace

int RunConvert(const std::vector<std::string>& files, const ConvertOptions& options) {
    const OutputGuard guard(files, options.force);
    bool failed = false;
    for (const std::string& file : files) {
        FileReport report(file);
        const Input input = ReadKnownFile(file);
        std::vector<Produced> outputs;
        if (!input.kind) {
            report.Fail(input.error);
        } else {
            report.kind = KindName(*input.kind);
            const std::vector<Kind> targets = Targets(*input.kind);
            const Kind to = options.to.value_or(targets.front());
            if (std::find(targets.begin(), targets.end(), to) == targets.end()) {
                report.Fail(std::string("a ") + KindName(*input.kind) +
                            " file does not convert to " + KindName(to));
            } else {
                outputs = Convert(input, to, options, report);
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
            paths.push_back(OutputPath(options, name));
        }
        if (!report.Failed()) {
            for (const std::string& path : paths) {
                const std::string refusal = guard.Refusal(path);
                if (!refusal.empty()) report.Fail(refusal);
            }
        }
        if (!report.Failed()) {
            for (std::size_t i = 0; i < outputs.size(); ++i) {
                const std::string error = guard.Write(paths[i], outputs[i].bytes);
                if (!error.empty()) {
                    report.Fail(error);
                } else {
                    std::printf("%s -> %s\n", file.c_str(), paths[i].c_str());
                }
            }
        }
        PrintMessages(report);
        failed = failed || report.Failed();
    }
    std::fflush(stdout);
    return failed ? 1 : 0;
}
