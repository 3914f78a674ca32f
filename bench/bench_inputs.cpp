#include "bench/bench_inputs.h"

#include <string>

ByteVector FullFdsImage() {
    std::vector<FdsSideContent> sides(2);
    for (int side = 0; side < 2; ++side) {
        for (int n = 0; n < 8; ++n)
            sides[side].files.push_back(Pattern(8100, static_cast<std::uint32_t>(100 * side + n)));
    }
    return FdsImage(sides);
}

ByteVector FullMztFile() {
    std::vector<MztEntry> records(4);
    for (int n = 0; n < 4; ++n) {
        records[n].name = "RECORD " + std::to_string(n);
        records[n].body = Pattern(18000, static_cast<std::uint32_t>(200 + n));
    }
    return MztFile(records);
}
