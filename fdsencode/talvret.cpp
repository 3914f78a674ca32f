// Talvret: an FDS image to one raw bit-stream image per side (at most two).
#include <cstdint>
#include <string>
#include <vector>

#include "common/bitstream.h"
#include "common/console.h"
#include "common/crc16.h"
#include "common/messages.h"
#include "common/pathlib.h"
#include "common/platform.h"
#include "common/wholefile.h"
#include "fds/fds_image.h"
#include "fds/fds_layout.h"
#include "fds/side_encoder.h"
#include "fdsencode/messages.h"

// Holds the component runtime for the run, as each program always has;
// no program calls the folder browser that needs it.
static Pathlib pathlib;

using namespace talvret;

namespace {

// The state of one run: the writer's memory carries from side to side.
struct Run {
    std::vector<std::uint8_t> fdsbuffer;
    std::vector<std::uint8_t> rawbuffer;
    BitWriter writer;
    Crc16 crc{kFdsWriterCrc};
};

bool ReportImageCheck(Console& console, FdsImageCheck check) {
    switch (check) {
        case FdsImageCheck::kSizeError:
            console.Err(kSizeError);
            return false;
        case FdsImageCheck::kNotFds:
            console.Err(kNotFds);
            return false;
        case FdsImageCheck::kNoSides:
            console.Err(kNoSides);
            return false;
        case FdsImageCheck::kOk:
            break;
    }
    return true;
}

bool ReportSide(Console& console, const FdsSideResult& side) {
    switch (side.status) {
        case FdsSideStatus::kEndOfImage:
            console.Err(kEndOfData);
            return false;
        case FdsSideStatus::kUnknownId:
            console.Err(kUnknownId, side.id);
            return false;
        case FdsSideStatus::kSizeOver:
            console.Err(kRawSizeOver);
            return false;
        case FdsSideStatus::kOk:
            break;
    }
    return true;
}

bool rawconvert(Run& run, Console& console, const char* filename, const char* input,
                std::size_t offset) {
    OutputFile output;
    if (!OpenOutput(console, output, filename, input, kFileOpenError)) return false;
    const FdsSideResult side =
        EncodeFdsSide(run.fdsbuffer, offset, run.rawbuffer, run.crc, run.writer);
    if (!ReportSide(console, side)) return false;
    if (!output.Save(run.writer.bitstreambuffer)) {
        console.Err(kFileWriteError);
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    TakeCommandLine(argc, argv);
    Console console;
    if (ShowUsage(console, argc, argv, 2, kName, kTitle, kUsage)) return 0;
    Run run;
    if (!LoadInput(console, argv[1], run.fdsbuffer)) return 1;
    if (IsHeaderlessFdsImage(run.fdsbuffer)) {
        const auto sides = static_cast<int>(run.fdsbuffer.size() / kFdsSideAreaBytes);
        run.fdsbuffer = WithFdsHeader(run.fdsbuffer, sides);
    }
    if (!ReportImageCheck(console, CheckFdsImage(run.fdsbuffer))) return 1;
    const int sidecount = run.fdsbuffer[kFdsSideCountOffset];
    if (sidecount > kFdsMaxSidesConverted) console.Err(kTooManySides);
    console.Out(kDiskNumber, sidecount);

    const std::string base = Pathlib::SplitFilename(argv[1]);
    for (int side = 0; side < FdsSidesToConvert(run.fdsbuffer); ++side) {
        const std::string name = base + kSideNames[side];
        console.Out(kCreateFile, name.c_str());
        if (!rawconvert(run, console, name.c_str(), argv[1], FdsSideOffset(side))) {
            console.Err(kConversionError);
            return 1;
        }
    }
    console.Line(kFinished);
    return 0;
}
