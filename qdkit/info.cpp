#include <cstdio>

#include "qdkit/commands.h"
#include "qdkit/detect.h"
#include "qdkit/facts.h"
#include "qdkit/human.h"
#include "qdkit/report.h"

int RunInfo(const std::vector<std::string>& files, bool json) {
    Json all = Json::array();
    bool failed = false;
    for (const std::string& file : files) {
        FileReport report(file);
        const Input input = ReadKnownFile(file);
        if (input.kind) {
            Inspect(input, report);
        } else {
            report.Fail(input.error);
        }
        PrintMessages(report);
        if (json) {
            all.push_back(ReportJson(report));
        } else {
            PrintHuman(report);
        }
        failed = failed || report.Failed();
    }
    if (json) {
        // Paths need not be UTF-8; JSON text must be.
        const std::string text = all.dump(2, ' ', false, Json::error_handler_t::replace);
        std::printf("%s\n", text.c_str());
    }
    std::fflush(stdout);
    return failed ? 1 : 0;
}
