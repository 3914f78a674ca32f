#include "qdkit/commands.h"
#include "qdkit/detect.h"
#include "qdkit/report.h"

int RunVerify(const std::vector<std::string>& files) {
    bool failed = false;
    for (const std::string& file : files) {
        FileReport report(file);
        const Input input = ReadKnownFile(file, report);
        if (input.kind != nullptr) {
            Guarded(report, [&] { input.kind->Verify(input.bytes, report); });
        }
        PrintMessages(report);
        if (report.Failed()) {
            PrintLine(file + ": FAILED: " + report.errors.front());
        } else {
            PrintLine(file + ": OK");
        }
        failed = failed || report.Failed();
    }
    return OutputWritten() && !failed ? 0 : 1;
}
