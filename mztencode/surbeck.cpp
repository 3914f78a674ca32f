// Surbeck: the files of an MZT file onto a freshly formatted QD side.
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
#include "mztencode/messages.h"
#include "qd/fileinfo.h"
#include "qd/side_encoder.h"

// Holds the component runtime for the run, as each program always has;
// no program calls the folder browser that needs it.
static Pathlib pathlib;

using namespace surbeck;

namespace {

// The lines of a side that was laid out, and its error; true when none.
bool Report(Console& console, const QdSideResult& side) {
    switch (side.status) {
        case QdSideStatus::kTruncated:
            console.Err(kTruncated, side.record);
            return false;
        case QdSideStatus::kTooManyBlocks:
            console.Err(kBlockNumberError, side.blockcount);
            return false;
        case QdSideStatus::kSizeOver:
        case QdSideStatus::kOk:
            break;
    }
    console.Out(kBlocks, side.blockcount);
    for (const QdInfoRecord& info : side.infos) {
        console.Raw(FileInformationText(info));
    }
    console.Line(kRecordsDone);
    if (side.status != QdSideStatus::kSizeOver) return true;
    console.Err(kRawSizeOver);
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    TakeCommandLine(argc, argv);
    Console console;
    if (ShowUsage(console, argc, argv, 2, kName, kTitle, kUsage)) return 0;
    const char* mztfile = argv[1];
    CFile input;
    LoadStatus load = OpenInput(input, mztfile);
    if (load == LoadStatus::kOk && input.size() >= 0 && input.size() <= kMztHeaderBytes) {
        console.Err(kFileSizeError);
        return 1;
    }
    std::vector<std::uint8_t> file;
    if (load == LoadStatus::kOk) load = ReadInput(input, file);
    if (load != LoadStatus::kOk) {
        ReportLoad(console, load, mztfile);
        return 1;
    }

    const std::string outname = Pathlib::SplitFilename(mztfile) + kExtension;
    OutputFile output;
    if (!OpenOutput(console, output, outname.c_str(), mztfile, kFileOpenError)) return 1;
    Crc16 crc(kQdWriterCrc);
    BitWriter writer;
    if (!Report(console, EncodeQdSide(file, crc, writer))) return 1;
    if (!output.Save(writer.bitstreambuffer)) {
        console.Err(kFileWriteError);
        return 1;
    }
    console.Line(kCompleteLine);
    return 0;
}
