#include "qdkit/batch.h"
#include "qdkit/commands.h"
#include "qdkit/detect.h"
#include "qdkit/report.h"

int RunVerify(const std::vector<std::string>& files, const BatchOptions& options) {
    Batch batch(files, options, "verified");
    Json all = Json::array();
    for (const BatchFile& file : batch.files()) {
        FileReport report(file.path);
        const Input input = batch.Read(file, report);
        if (batch.SkipsUnknown(file, input)) continue;
        if (input.kind != nullptr) {
            Guarded(report, [&] { input.kind->Verify(input.bytes, report); });
        }
        PrintMessages(report);
        if (options.json) {
            all.push_back({{"file", report.file},
                           {"kind", report.kind.empty() ? Json() : Json(report.kind)},
                           {"verified", !report.Failed()},
                           {"warnings", report.warnings},
                           {"errors", report.errors}});
        } else if (report.Failed()) {
            PrintLine(file.path + ": FAILED: " + report.errors.front());
        } else {
            PrintLine(file.path + ": OK");
        }
        batch.Count(report.Failed() ? Outcome::kFailed : Outcome::kDone);
    }
    if (options.json) PrintDocument(all);
    return batch.End();
}
