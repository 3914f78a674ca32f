// Omblisk: the raw bit-stream image of one FDS side to an FDS image.
#include <cstdint>
#include <string>
#include <vector>

#include "common/console.h"
#include "common/crc16.h"
#include "common/pathlib.h"
#include "common/wholefile.h"
#include "fdsdecode/side_decoder.h"

static Pathlib pathlib;

namespace {

constexpr const char* kTitle = "FDS image decoder";
constexpr const char* kUsage = " Usage : Omblisk filename";
constexpr const char* kExtension = ".fds";
// 出力ファイル:%s
constexpr const char* kOutputFile =
    "\x8Fo\x97\xCD\x83t\x83@\x83"
    "C\x83\x8B:%s\n";
// 変換しています...
constexpr const char* kConverting = "\x95\xCF\x8A\xB7\x82\xB5\x82\xC4\x82\xA2\x82\xDC\x82\xB7...";

}  // namespace

int main(int argc, char** argv) {
    Console console;
    if (argc < 2) {
        PrintUsage(console, kTitle, {kUsage});
        return 0;
    }
    std::vector<std::uint8_t> bitstreambuffer;
    if (!LoadInput(console, argv[1], bitstreambuffer)) return 1;
    const std::string outname = Pathlib::SplitFilename(argv[1]) + kExtension;
    CFile output;
    if (!output.Open(outname.c_str(), "wb")) {
        console.Err(kFileOpenError);
        return 1;
    }
    console.Out(kOutputFile, outname.c_str());
    console.Line(kConverting);

    std::vector<std::uint8_t> image;
    Crc16 crc(kFdsCheckerCrc);
    const FdsDecodeOutcome outcome = DecodeFdsSide(bitstreambuffer, image, crc, console);
    if (!SaveOutput(output, image)) {
        console.Err(kFileWriteError);
        return 1;
    }
    if (outcome == FdsDecodeOutcome::kFailed) return 1;
    console.Line(kConversionDone);
    // A damaged side is salvaged, never reported as a clean success.
    return outcome == FdsDecodeOutcome::kComplete ? 0 : 1;
}
