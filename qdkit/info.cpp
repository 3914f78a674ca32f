#include "qdkit/batch.h"
#include "qdkit/commands.h"
#include "qdkit/detect.h"
#include "qdkit/hashes.h"
#include "qdkit/report.h"

namespace {

void PrintHuman(const Input& input, const FileReport& report, bool hashes) {
    if (input.kind == nullptr) return;
    PrintLine(report.file + ": " + report.kind + ", " + std::to_string(input.size) + " bytes");
    input.kind->Print(report.facts);
    if (hashes) PrintHashFacts(report.facts);
}

}  // namespace

int RunInfo(const std::vector<std::string>& files, const BatchOptions& options, bool hashes) {
    Batch batch(files, options, "read");
    Json all = Json::array();
    for (const BatchFile& file : batch.files()) {
        FileReport report(file.path);
        const Input input = batch.Read(file, report);
        if (batch.SkipsUnknown(file, input)) continue;
        if (input.kind != nullptr) {
            report.facts["size"] = input.size;
            Guarded(report, [&] {
                input.kind->Inspect(input.bytes, report);
                // Digests cost more than the rest of info: made only to be shown.
                if (options.json || hashes) AddHashFacts(*input.kind, input.bytes, report);
            });
        }
        PrintMessages(report);
        if (options.json) {
            all.push_back(ReportJson(report));
        } else {
            PrintHuman(input, report, hashes);
        }
        batch.Count(report.Failed() ? Outcome::kFailed : Outcome::kDone);
    }
    if (options.json) PrintDocument(all);
    return batch.End();
}
