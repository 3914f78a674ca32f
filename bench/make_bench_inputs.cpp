// Writes the benchmark's inputs into a folder: full.fds, two sides whose
// areas are nearly full, and full.mzt, records that fill a QD side.
#include <cstdio>
#include <string>

#include "samples/imagegen.h"

namespace {

// Eight files of 8100 bytes leave a side stream 158 bytes short of full.
constexpr int kFdsFiles = 8;
constexpr std::size_t kFdsFileBytes = 8100;
// Four records of 18000 bytes leave a QD side 136 bytes short of full.
constexpr int kMztRecords = 4;
constexpr std::size_t kMztBodyBytes = 18000;

bool Save(const std::string& path, const ByteVector& bytes) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) return false;
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && written;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string folder = argc > 1 ? argv[1] : ".";
    std::vector<FdsSideContent> sides(2);
    for (int side = 0; side < 2; ++side) {
        for (int n = 0; n < kFdsFiles; ++n)
            sides[side].files.push_back(Pattern(kFdsFileBytes, 100 * side + n));
    }
    std::vector<MztEntry> records(kMztRecords);
    for (int n = 0; n < kMztRecords; ++n) {
        records[n].name = "RECORD " + std::to_string(n);
        records[n].body = Pattern(kMztBodyBytes, 200 + n);
    }
    if (!Save(folder + "/full.fds", FdsImage(sides)) ||
        !Save(folder + "/full.mzt", MztFile(records))) {
        std::fprintf(stderr, "cannot write the inputs into %s\n", folder.c_str());
        return 1;
    }
    return 0;
}
