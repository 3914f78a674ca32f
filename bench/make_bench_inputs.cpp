// Writes the benchmark's inputs into a folder: full.fds and full.mzt.
#include <cstdio>
#include <string>

#include "bench/bench_inputs.h"

namespace {

bool Save(const std::string& path, const ByteVector& bytes) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) return false;
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && written;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string folder = argc > 1 ? argv[1] : ".";
    if (!Save(folder + "/full.fds", FullFdsImage()) || !Save(folder + "/full.mzt", FullMztFile())) {
        std::fprintf(stderr, "cannot write the inputs into %s\n", folder.c_str());
        return 1;
    }
    return 0;
}
