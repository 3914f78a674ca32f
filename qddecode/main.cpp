// Pelgrane: lists the files on the raw image of one QD side and writes them
// out as a QD image file, an MZT file or a split dump.
#include <cstdint>
#include <vector>

#include "common/console.h"
#include "common/crc16.h"
#include "common/messages.h"
#include "common/pathlib.h"
#include "common/wholefile.h"
#include "qddecode/options.h"
#include "qddecode/outputs.h"
#include "qddecode/walk.h"

static Pathlib pathlib;

namespace {

constexpr const char* kTitle = "QD image decoder";
// ERROR: filename がありません
constexpr const char* kNoFilename =
    "ERROR: filename \x82\xAA\x82\xA0\x82\xE8\x82\xDC\x82\xB9\x82\xF1\n";
// ファイルを変換します...
constexpr const char* kConverting =
    "\x83t\x83@\x83"
    "C\x83\x8B\x82\xF0\x95\xCF\x8A\xB7\x82\xB5\x82\xDC\x82\xB7...";
// ファイル情報のみ表示します...
constexpr const char* kListing =
    "\x83t\x83@\x83"
    "C\x83\x8B\x8F\xEE\x95\xF1\x82\xCC\x82\xDD\x95\\\x8E\xA6\x82\xB5\x82\xDC\x82\xB7...";
// Gapデータが見つかりません。
constexpr const char* kGapError =
    "ERROR : Gap\x83"
    "f\x81[\x83^\x82\xAA\x8C\xA9\x82\xC2\x82\xA9\x82\xE8\x82\xDC\x82\xB9\x82\xF1\x81"
    "B\n";
// ブロックIDが異常です(%02X)
constexpr const char* kIdError =
    "ERROR : \x83u\x83\x8D\x83"
    "b\x83NID\x82\xAA\x88\xD9\x8F\xED\x82\xC5\x82\xB7(%02X)\n";
// CRCエラー(%04X)
constexpr const char* kCrcError = "ERROR : CRC\x83G\x83\x89\x81[(%04X)\n";
constexpr const char* kUnknownType = "ERROR: Unknown block type (%02X)\n";

void ReportWalkError(Console& console, const QdWalkResult& result) {
    switch (result.outcome) {
        case QdWalkOutcome::kGapError:
            console.Err(kGapError);
            break;
        case QdWalkOutcome::kEndOfFile:
            console.Err(kEndOfData);
            break;
        case QdWalkOutcome::kIdError:
            console.Err(kIdError, result.value);
            break;
        case QdWalkOutcome::kCrcError:
            console.Err(kCrcError, result.value);
            break;
        case QdWalkOutcome::kUnknownType:
            console.Err(kUnknownType, result.value);
            break;
        case QdWalkOutcome::kNormalEnd:
        case QdWalkOutcome::kOutputFailed:
            break;
    }
}

}  // namespace

int main(int argc, char** argv) {
    Console console;
    if (argc < 2) {
        PrintUsage(console, kTitle,
                   {"Usage : Pelgrane [option] imagefile", " Options", " -d dump file",
                    " -s split dump mode", " -m dump mzt file"});
        return 0;
    }
    const QdCommandLine line = ParseQdCommandLine(argc, argv);
    if (line.imagefile.empty()) {
        console.Err(kNoFilename);
        return 1;
    }
    std::vector<std::uint8_t> bitstreambuffer;
    if (!LoadInput(console, line.imagefile.c_str(), bitstreambuffer)) return 1;

    QdOutputs outputs(console, line.options, Pathlib::SplitFilename(line.imagefile.c_str()));
    if (!outputs.Open()) {
        outputs.Close();
        return 1;
    }
    console.Line(line.options.Any() ? kConverting : kListing);

    QdReader qd(bitstreambuffer);
    Crc16 crc(kQdCheckerCrc);
    const QdWalkResult result = WalkQdSide(qd, crc, console, outputs);
    ReportWalkError(console, result);
    const bool normal = result.outcome == QdWalkOutcome::kNormalEnd && outputs.Finish();
    const bool closed = outputs.Close();
    if (!normal || !closed) return 1;
    console.Line(kConversionDone);
    return 0;
}
