#include "fds/fds_format.h"
#include "qdkit/commands.h"
#include "qdkit/detect.h"
#include "qdkit/fdsside.h"
#include "qdkit/output.h"
#include "qdkit/report.h"

namespace {

// The one side a SIDE argument brings: a raw side decoded, or the one side
// of an image.
bool TakeSide(const Input& input, bool force, Content& joined, FileReport& report) {
    if (input.kind->medium() != Medium::kFds) {
        report.Fail(std::string("a ") + input.kind->name() + " file is no FDS side");
        return false;
    }
    const Content content = input.kind->Read(input.bytes, force, report);
    if (report.Failed() && content.sides.empty()) return false;
    if (content.sides.size() != 1) {
        report.Fail("an image of " + std::to_string(content.sides.size()) +
                    " sides; join takes one side from each file");
        return false;
    }
    if (!FitsSideArea(content.sides.front(), report)) return false;
    joined.sides.push_back({static_cast<int>(joined.sides.size()), content.sides.front().area});
    return true;
}

}  // namespace

int RunJoin(const std::vector<std::string>& sides, const std::string& output, bool force) {
    Content joined;
    bool failed = false;
    for (const std::string& side : sides) {
        FileReport report(side);
        const Input input = ReadKnownFile(side, report);
        if (input.kind != nullptr) {
            Guarded(report, [&] { TakeSide(input, force, joined, report); });
        }
        PrintMessages(report);
        failed = failed || report.Failed();
    }
    if (!failed && sides.size() > static_cast<std::size_t>(kFdsMaxSideCount)) {
        PrintError(output, "an image holds at most " + std::to_string(kFdsMaxSideCount) + " sides");
        failed = true;
    }
    if (failed) {
        OutputWritten();
        return 1;
    }
    FileReport report(output);
    const std::vector<Produced> image = FdsKind().Write(joined, force, report);
    if (report.Failed()) {
        PrintMessages(report);
        OutputWritten();
        return 1;
    }
    OutputGuard guard(sides, force);
    std::string error = guard.Refusal(output, output);
    if (error.empty()) error = guard.Write({{output, &image.front().bytes}}, output);
    if (!error.empty()) {
        PrintError(output, error);
        return 1;
    }
    PrintLine(output + " <- " +
              (sides.size() == 1 ? "1 side" : std::to_string(sides.size()) + " sides"));
    return OutputWritten() ? 0 : 1;
}
