// blank: an image a drive emulator can format, as its own firmware makes one.
#include "qd/hxc_qd.h"
#include "qdkit/commands.h"
#include "qdkit/output.h"
#include "qdkit/report.h"

int RunBlank(const BlankOptions& options) {
    const Bytes image = FlashFloppyBlankQd();
    FileReport report({});  // the guard's texts name the output
    OutputGuard guard({}, options.force);
    std::string error = guard.Refusal(options.output, {});
    if (error.empty()) error = guard.Write({{options.output, &image}}, {});
    if (!error.empty()) report.Fail(error);
    if (!report.Failed()) {
        PrintProgress(options.output + " (hxc-qd, blank: lead-in " +
                      std::to_string(kFlashFloppyLeadInMs) + " ms, window " +
                      std::to_string(kFlashFloppyWindowMs) + " ms, " +
                      std::to_string(kFlashFloppyTotalMs) + " ms in all)");
    }
    PrintMessages(report);
    return OutputWritten() && !report.Failed() ? 0 : 1;
}
