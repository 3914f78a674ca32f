#include "fds/fds_layout.h"
#include "qdkit/commands.h"
#include "qdkit/detect.h"
#include "qdkit/fdsside.h"
#include "qdkit/output.h"
#include "qdkit/report.h"
#include "qdkit/text.h"

namespace {

// The one side a SIDE argument brings: a raw side decoded, or the one side
// of an image.
bool TakeSide(const Input& input, bool salvage, Content& joined, FileReport& report) {
    if (input.kind->medium() != Medium::kFds) {
        report.Fail(WithArticle(input.kind->name()) + " file is no FDS side");
        return false;
    }
    const Content content = input.kind->Read(input.bytes, salvage, report);
    if (report.Failed() && content.sides.empty()) return false;
    if (content.sides.size() != 1) {
        report.Fail("an image of " + std::to_string(content.sides.size()) +
                    " sides; join takes one side from each file");
        return false;
    }
    if (!FitsSideArea(content.sides.front().number, content.sides.front().area, report))
        return false;
    joined.sides.push_back({static_cast<int>(joined.sides.size()), content.sides.front().area});
    return true;
}

// Every side, in order; false when any failed.
bool TakeSides(const std::vector<std::string>& sides, bool salvage, Content& joined) {
    bool failed = false;
    for (const std::string& side : sides) {
        FileReport report(side);
        const Input input = ReadKnownFile(side, report);
        if (input.kind != nullptr) {
            Guarded(report, [&] { TakeSide(input, salvage, joined, report); });
        }
        PrintMessages(report);
        failed = failed || report.Failed();
    }
    return !failed;
}

}  // namespace

int RunJoin(const std::vector<std::string>& sides, const JoinOptions& options) {
    Content joined;
    bool taken = TakeSides(sides, options.salvage, joined);
    if (taken && sides.size() > static_cast<std::size_t>(kFdsMaxSideCount)) {
        PrintError(options.output,
                   "an image holds at most " + std::to_string(kFdsMaxSideCount) + " sides");
        taken = false;
    }
    if (!taken) {
        OutputWritten();
        return 1;
    }
    FileReport report(options.output);
    const FileKind& to = options.to != nullptr ? *options.to : FdsKind();
    std::vector<Produced> image;
    Guarded(report, [&] { image = WriteAs(to, joined, options.salvage, report); });
    if (!report.Failed() && image.size() != 1) report.Fail("nothing to write");
    if (report.Failed()) {
        PrintMessages(report);
        OutputWritten();
        return 1;
    }
    PrintMessages(report);
    OutputGuard guard(sides, options.force);
    std::string error = guard.Refusal(options.output, options.output);
    if (error.empty())
        error = guard.Write({{options.output, &image.front().bytes}}, options.output);
    if (!error.empty()) {
        PrintError({}, error);  // it names the output
        return 1;
    }
    PrintProgress(options.output + " <- " +
                  (sides.size() == 1 ? "1 side" : std::to_string(sides.size()) + " sides"));
    return OutputWritten() ? 0 : 1;
}
