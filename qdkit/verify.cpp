#include <cstdio>

#include "qdkit/commands.h"
#include "qdkit/detect.h"
#include "qdkit/report.h"

int RunVerify(const std::vector<std::string>& files) {
    bool failed = false;
    for (const std::string& file : files) {
        FileReport report(file);
        const Input input = ReadKnownFile(file);
        if (input.kind == nullptr) {
            report.Fail(input.error);
        } else {
            input.kind->Verify(input.bytes, report);
        }
        PrintMessages(report);
        if (report.Failed()) {
            std::printf("%s: FAILED: %s\n", file.c_str(), report.errors.front().c_str());
        } else {
            std::printf("%s: OK\n", file.c_str());
        }
        failed = failed || report.Failed();
    }
    std::fflush(stdout);
    return failed ? 1 : 0;
}
