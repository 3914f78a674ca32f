#include "qdkit/commands.h"
#include "qdkit/detect.h"
#include "qdkit/report.h"

namespace {

void PrintHuman(const Input& input, const FileReport& report) {
    if (input.kind == nullptr) return;
    PrintLine(report.file + ": " + report.kind + ", " + std::to_string(input.size) + " bytes");
    input.kind->Print(report.facts);
}

}  // namespace

int RunInfo(const std::vector<std::string>& files, bool json) {
    Json all = Json::array();
    bool failed = false;
    for (const std::string& file : files) {
        FileReport report(file);
        const Input input = ReadKnownFile(file, report);
        if (input.kind != nullptr) {
            report.facts["size"] = input.size;
            Guarded(report, [&] { input.kind->Inspect(input.bytes, report); });
        }
        PrintMessages(report);
        if (json) {
            all.push_back(ReportJson(report));
        } else {
            PrintHuman(input, report);
        }
        failed = failed || report.Failed();
    }
    if (json) {
        // Paths need not be UTF-8; JSON text must be.
        const std::string text = all.dump(2, ' ', false, Json::error_handler_t::replace);
        PrintLine(text);
    }
    return OutputWritten() && !failed ? 0 : 1;
}
