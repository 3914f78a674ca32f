#include <cstdio>

#include "fds/fds_blocks.h"
#include "fds/side_encoder.h"
#include "qdkit/commands.h"
#include "qdkit/conversions.h"
#include "qdkit/detect.h"
#include "qdkit/facts.h"
#include "qdkit/output.h"
#include "qdkit/report.h"

namespace {

// The side area a SIDE argument brings: a raw side decoded, or the one side
// of an image.
Bytes SideArea(const Input& input, bool force, FileReport& report) {
    if (input.kind == Kind::kFdsRaw) {
        const Bytes image = FdsRawToFds(input.bytes, force, report);
        if (report.Failed()) return {};
        const Bytes area = DecodedFdsArea(image);
        if (area.size() > static_cast<std::size_t>(kFdsSideAreaBytes)) {
            report.Fail("the side holds " + std::to_string(area.size()) +
                        " bytes, more than a side area (" + std::to_string(kFdsSideAreaBytes) +
                        ")");
            return {};
        }
        return area;
    }
    if (input.kind == Kind::kFds) {
        const FdsImageLayout layout = MeasureFdsImage(input.bytes);
        CheckFdsLayout(layout, report);
        if (layout.sides != 1) {
            report.Fail("an image of " + std::to_string(layout.sides) +
                        " sides; join takes one side from each file");
            return {};
        }
        return FdsSideArea(input.bytes, layout, 0);
    }
    report.Fail(std::string("a ") + KindName(*input.kind) + " file is no FDS side");
    return {};
}

}  // namespace

int RunJoin(const std::vector<std::string>& sides, const std::string& output, bool force) {
    Bytes areas;
    bool failed = false;
    for (const std::string& side : sides) {
        FileReport report(side);
        const Input input = ReadKnownFile(side);
        if (!input.kind) {
            report.Fail(input.error);
        } else {
            const Bytes area = SideArea(input, force, report);
            areas.insert(areas.end(), area.begin(), area.end());
        }
        PrintMessages(report);
        failed = failed || report.Failed();
    }
    if (!failed && sides.size() > static_cast<std::size_t>(kFdsMaxSideCount)) {
        PrintError(output, "an image holds at most " + std::to_string(kFdsMaxSideCount) + " sides");
        failed = true;
    }
    if (failed) {
        std::fflush(stdout);
        return 1;
    }
    const OutputGuard guard(sides, force);
    std::string error = guard.Refusal(output);
    if (error.empty()) error = guard.Write(output, WithFdsHeader(areas));
    if (!error.empty()) {
        PrintError(output, error);
        return 1;
    }
    std::printf("%s <- %s sides\n", output.c_str(), std::to_string(sides.size()).c_str());
    std::fflush(stdout);
    return 0;
}
