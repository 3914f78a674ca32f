// Wenmark: a QD image file to the raw bit-stream image of its side.
#include <cstdint>
#include <vector>

#include "common/console.h"
#include "common/messages.h"
#include "common/pathlib.h"
#include "common/platform.h"
#include "common/wholefile.h"
#include "qd/qd_image.h"
#include "qdencode/messages.h"

// Holds the component runtime for the run, as each program always has;
// no program calls the folder browser that needs it.
static Pathlib pathlib;

using namespace wenmark;

int main(int argc, char** argv) {
    TakeCommandLine(argc, argv);
    Console console;
    if (ShowUsage(console, argc, argv, 3, kName, kTitle, kUsage)) return 0;
    const char* imagefile = argv[1];
    const char* outname = argv[2];

    std::vector<std::uint8_t> image;
    if (!LoadInput(console, imagefile, image)) return 1;
    switch (CheckQdImage(image)) {
        case QdImageCheck::kSizeError:
            console.Err(kSizeError);
            return 1;
        case QdImageCheck::kFormatError:
            console.Err(kFormatError);
            return 1;
        case QdImageCheck::kOk:
            break;
    }

    OutputFile output;
    if (!OpenOutput(console, output, outname, imagefile, kOpenError)) return 1;
    BitWriter writer;
    EncodeQdImage(writer, image);
    if (!output.Save(writer.bitstreambuffer)) {
        console.Err(kFileWriteError);
        return 1;
    }
    console.Line(kCompleteLine);
    return 0;
}
