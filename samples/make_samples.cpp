// Writes the kit's sample inputs into a folder: an FDS image with one side
// and an MZT file with a few records, all made here from fixed patterns.
#include <cstdio>
#include <string>

#include "common/wholefile.h"
#include "samples/imagegen.h"

namespace {

MztEntry Program(const char* name, std::uint8_t attribute, std::uint16_t load, ByteVector body) {
    MztEntry entry;
    entry.name = name;
    entry.attribute = attribute;
    entry.load = load;
    entry.exec = load;
    entry.body = std::move(body);
    return entry;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string folder = argc > 1 ? argv[1] : ".";

    FdsSideContent side;
    side.files = {Pattern(1024, 1), Pattern(8192, 2), Pattern(300, 3), ByteVector{}};
    const ByteVector fds = FdsImage({side});

    const std::string text = "10 PRINT \"HELLO\"\r20 GOTO 10\r";
    ByteVector textbody = {0x05, 0x00};
    textbody.insert(textbody.end(), text.begin(), text.end());
    textbody.push_back(0x1A);
    const ByteVector mzt = MztFile({
        Program("MONITOR", 1, 0x0000, Pattern(4096, 4)),
        Program("HELLO", 3, 0x1200, textbody),
        Program("GAME DATA", 4, 0x3000, Pattern(20000, 5)),
    });

    if (!SaveFile((folder + "/sample.fds").c_str(), fds) ||
        !SaveFile((folder + "/sample.mzt").c_str(), mzt)) {
        std::fprintf(stderr, "cannot write the samples into %s\n", folder.c_str());
        return 1;
    }
    std::printf("%s/sample.fds\n%s/sample.mzt\n", folder.c_str(), folder.c_str());
    return 0;
}
