// Surbeck: the files of an MZT file onto a freshly formatted QD side.
#include <cstdint>
#include <string>
#include <vector>

#include "common/bitstream.h"
#include "common/console.h"
#include "common/crc16.h"
#include "common/pathlib.h"
#include "common/wholefile.h"
#include "mztencode/side_builder.h"

static Pathlib pathlib;

namespace {

constexpr const char* kTitle = "MZT image encoder";
constexpr const char* kUsage = " Usage : Surbeck mztfile";
constexpr const char* kExtension = ".QDK";
constexpr const char* kFileSizeError = "ERROR : file size error.\n";
constexpr const char* kTruncated = "ERROR : MZT record %d runs past the end of the file.\n";
constexpr const char* kBlockNumberError = "ERROR : MZT block number error. [%d]\n";

}  // namespace

int main(int argc, char** argv) {
    Console console;
    if (argc < 2) {
        PrintUsage(console, kTitle, {kUsage});
        return 0;
    }
    const char* mztfile = argv[1];
    CFile input;
    LoadStatus load = OpenInput(input, mztfile);
    if (load == LoadStatus::kOk && input.m_size >= 0 && input.m_size <= kMztHeaderBytes) {
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
    CFile output;
    if (!output.Open(outname.c_str(), "wb")) {
        console.Err(kFileOpenError);
        return 1;
    }
    Crc16 crc(kQdWriterCrc);
    BitWriter writer;
    const MztSideResult side = EncodeMztSide(file, crc, writer, console);
    switch (side.status) {
        case MztSideStatus::kTruncated:
            console.Err(kTruncated, side.value);
            return 1;
        case MztSideStatus::kTooManyBlocks:
            console.Err(kBlockNumberError, side.value);
            return 1;
        case MztSideStatus::kSizeOver:
            console.Err(kRawSizeOver);
            return 1;
        case MztSideStatus::kOk:
            break;
    }
    if (!SaveOutput(output, writer.bitstreambuffer)) {
        console.Err(kFileWriteError);
        return 1;
    }
    console.Line(kCompleteLine);
    return 0;
}
