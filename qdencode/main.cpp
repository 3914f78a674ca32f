// Wenmark: a QD image file to the raw bit-stream image of its side.
#include <cstdint>
#include <vector>

#include "common/console.h"
#include "common/pathlib.h"
#include "common/wholefile.h"
#include "qdencode/qd_image.h"

static Pathlib pathlib;

namespace {

constexpr const char* kTitle = "QD image encoder";
constexpr const char* kUsage = " Usage : Wenmark imagefile outname";
constexpr const char* kSizeError = "ERROR : file size error.\n";
constexpr const char* kFormatError = "ERROR : file format error.\n";
constexpr const char* kOpenError = "ERROR : file open error. [%s]\n";

}  // namespace

int main(int argc, char** argv) {
    Console console;
    if (argc < 3) {
        PrintUsage(console, kTitle, {kUsage});
        return 0;
    }
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

    CFile output;
    if (!output.Open(outname, "wb")) {
        console.Err(kOpenError, outname);
        return 1;
    }
    BitWriter writer;
    EncodeQdImage(writer, image);
    if (!SaveOutput(output, writer.bitstreambuffer)) {
        console.Err(kFileWriteError);
        return 1;
    }
    console.Line(kCompleteLine);
    return 0;
}
