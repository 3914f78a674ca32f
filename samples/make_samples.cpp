// Writes the kit's sample inputs into a folder: an FDS image with one side
// and an MZT file with a few records, all made here from fixed patterns.
#include <cstdio>
#include <string>

#include "common/wholefile.h"
#include "samples/imagegen.h"

int main(int argc, char** argv) {
    const std::string folder = argc > 1 ? argv[1] : ".";

    const ByteVector fds = SampleFdsImage();
    const ByteVector mzt = SampleMzt();

    if (!SaveFile((folder + "/sample.fds").c_str(), fds) ||
        !SaveFile((folder + "/sample.mzt").c_str(), mzt)) {
        std::fprintf(stderr, "cannot write the samples into %s\n", folder.c_str());
        return 1;
    }
    std::printf("%s/sample.fds\n%s/sample.mzt\n", folder.c_str(), folder.c_str());
    return 0;
}
