// Omblisk: the raw bit-stream image of one FDS side to an FDS image.
#include <cstdint>
#include <string>
#include <vector>

#include "common/console.h"
#include "common/crc16.h"
#include "common/messages.h"
#include "common/pathlib.h"
#include "common/platform.h"
#include "common/wholefile.h"
#include "fds/fds_layout.h"
#include "fds/side_decoder.h"
#include "fdsdecode/messages.h"

// Holds the component runtime for the run, as each program always has;
// no program calls the folder browser that needs it.
static Pathlib pathlib;

using namespace omblisk;

namespace {

// The decode's events as the run's lines, in the order they happen.
class Printer : public FdsDecodeEvents {
public:
    explicit Printer(Console& console) : m_console(console) {}

    void FileCount(int announced) override { m_console.Out(kFileNum, announced); }
    void Block(const BlockSeen&) override { ++m_blocks; }

    void Problem(const FdsProblemSeen& seen) override {
        switch (seen.problem) {
            case FdsDecodeProblem::kDataEnded:
                m_console.Err(kEndOfData);
                break;
            case FdsDecodeProblem::kNoFirstSync:
                m_console.Err(kNoFirstSync);
                break;
            case FdsDecodeProblem::kSyncLost:
                m_console.Err(kSyncLost, seen.filesdone, seen.announced);
                break;
            case FdsDecodeProblem::kBadBlockId:
                m_console.Err(kBadBlockId, seen.byte, static_cast<unsigned>(seen.position));
                break;
            case FdsDecodeProblem::kBadCrc:
                m_console.Err(kBadCrc, seen.filesdone, static_cast<int>(seen.check));
                break;
        }
    }

    // Whether the image holds anything read from the side.
    bool AnyBlock() const { return m_blocks > 0; }

private:
    Console& m_console;
    int m_blocks = 0;
};

}  // namespace

int main(int argc, char** argv) {
    TakeCommandLine(argc, argv);
    Console console;
    if (ShowUsage(console, argc, argv, 2, kName, kTitle, kUsage)) return 0;
    std::vector<std::uint8_t> bitstreambuffer;
    if (!LoadInput(console, argv[1], bitstreambuffer)) return 1;
    const std::string outname = Pathlib::SplitFilename(argv[1]) + kExtension;
    OutputFile output;
    if (!OpenOutput(console, output, outname.c_str(), argv[1], kFileOpenError)) return 1;
    console.Out(kOutputFile, outname.c_str());
    console.Line(kConverting);

    Crc16 crc(kFdsCheckerCrc);
    Printer printer(console);
    const FdsDecodeResult decoded = DecodeFdsSide(bitstreambuffer, crc, printer);
    const FdsDecodeOutcome outcome = decoded.outcome;
    // An image of header and fill alone would only destroy an earlier one.
    if (printer.AnyBlock() && !output.Save(decoded.image)) {
        console.Err(kFileWriteError);
        return 1;
    }
    if (outcome == FdsDecodeOutcome::kFailed) return 1;
    console.Line(kConversionDone);
    // A damaged side is salvaged, never reported as a clean success.
    return outcome == FdsDecodeOutcome::kComplete ? 0 : 1;
}
