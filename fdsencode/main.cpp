// Talvret: an FDS image to one raw bit-stream image per side (at most two).
#include <cstdint>
#include <string>
#include <vector>

#include "common/bitstream.h"
#include "common/console.h"
#include "common/crc16.h"
#include "common/pathlib.h"
#include "common/wholefile.h"
#include "fdsencode/fds_format.h"
#include "fdsencode/side_encoder.h"

static Pathlib pathlib;

namespace {

constexpr const char* kTitle = "FDS image encoder";
constexpr const char* kUsage = " Usage : Talvret filename";
constexpr const char* kSideNames[kFdsMaxSidesConverted] = {".DKA", ".DKB"};
// FDS形式のファイルサイズが正しくありません
constexpr const char* kSizeError =
    "ERROR : FDS\x8C`\x8E\xAE\x82\xCC\x83t\x83@\x83"
    "C\x83\x8B\x83T\x83"
    "C\x83Y\x82\xAA\x90\xB3\x82\xB5\x82\xAD\x82\xA0\x82\xE8\x82\xDC\x82\xB9\x82\xF1\n";
// FDS形式ではありません
constexpr const char* kNotFds =
    "ERROR : FDS\x8C`\x8E\xAE\x82\xC5\x82\xCD\x82\xA0\x82\xE8\x82\xDC\x82\xB9\x82\xF1\n";
// FDSの面数が正しくありません
constexpr const char* kNoSides =
    "ERROR : FDS\x82\xCC\x96\xCA\x90\x94\x82\xAA\x90\xB3\x82\xB5\x82\xAD\x82\xA0\x82\xE8\x82\xDC"
    "\x82\xB9\x82\xF1\n";
// Warning : FDSの面数は2面までしか変換しません
constexpr const char* kTooManySides =
    "Warning : FDS\x82\xCC\x96\xCA\x90\x94\x82\xCD"
    "2\x96\xCA\x82\xDC\x82\xC5\x82\xB5\x82\xA9\x95\xCF\x8A\xB7\x82\xB5\x82\xDC\x82\xB9\x82\xF1\n";
constexpr const char* kDiskNumber = "FDS disk number : %d\n";
constexpr const char* kCreateFile = "Create file: %s\n";
constexpr const char* kUnknownId = "ERROR: Unknown ID : %02X\n";
// 変換でエラーが発生しました
constexpr const char* kConversionError =
    "ERROR : \x95\xCF\x8A\xB7\x82\xC5\x83G\x83\x89\x81[\x82\xAA\x94\xAD\x90\xB6\x82\xB5\x82\xDC"
    "\x82\xB5\x82\xBD\n";
// 変換が終了しました。
constexpr const char* kFinished =
    "\x95\xCF\x8A\xB7\x82\xAA\x8FI\x97\xB9\x82\xB5\x82\xDC\x82\xB5\x82\xBD\x81"
    "B";

// The state of one run: the writer's memory carries from side to side.
struct Run {
    std::vector<std::uint8_t> fdsbuffer;
    std::vector<std::uint8_t> rawbuffer;
    BitWriter writer;
    Crc16 crc{kFdsWriterCrc};
};

int rawconvert(Run& run, Console& console, const char* filename, std::size_t offset) {
    CFile output;
    if (!output.Open(filename, "wb")) {
        console.Err(kFileOpenError);
        return 1;
    }
    const FdsSideResult side = BuildFdsSide(run.fdsbuffer, offset, run.rawbuffer, run.crc);
    switch (side.status) {
        case FdsSideStatus::kEndOfImage:
            console.Err(kEndOfData);
            return 1;
        case FdsSideStatus::kUnknownId:
            console.Err(kUnknownId, side.id);
            return 1;
        case FdsSideStatus::kSizeOver:
            console.Err(kRawSizeOver);
            return 1;
        case FdsSideStatus::kOk:
            break;
    }
    EncodeSide(run.writer, run.rawbuffer.data(), run.rawbuffer.size());
    if (!SaveOutput(output, run.writer.bitstreambuffer)) {
        console.Err(kFileWriteError);
        return 1;
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    Console console;
    if (argc < 2) {
        PrintUsage(console, kTitle, {kUsage});
        return 0;
    }
    Run run;
    if (!LoadInput(console, argv[1], run.fdsbuffer)) return 1;
    switch (CheckFdsImage(run.fdsbuffer)) {
        case FdsImageCheck::kSizeError:
            console.Err(kSizeError);
            return 1;
        case FdsImageCheck::kNotFds:
            console.Err(kNotFds);
            return 1;
        case FdsImageCheck::kNoSides:
            console.Err(kNoSides);
            return 1;
        case FdsImageCheck::kOk:
            break;
    }
    const int sidecount = run.fdsbuffer[kFdsSideCountOffset];
    if (sidecount > kFdsMaxSidesConverted) console.Err(kTooManySides);
    console.Out(kDiskNumber, sidecount);

    const std::string base = Pathlib::SplitFilename(argv[1]);
    for (int side = 0; side < FdsSidesToConvert(run.fdsbuffer); ++side) {
        const std::string name = base + kSideNames[side];
        console.Out(kCreateFile, name.c_str());
        if (rawconvert(run, console, name.c_str(), FdsSideOffset(side)) != 0) {
            console.Err(kConversionError);
            return 1;
        }
    }
    console.Line(kFinished);
    return 0;
}
