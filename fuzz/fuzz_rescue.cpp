// The tolerant readers of both media on any read, alone and as three reads
// (the read, and the read one and two cells later).
#include <cstdint>
#include <vector>

#include "fds/side_rescue.h"
#include "qd/side_rescue.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Later(const Bytes& raw, int cells) {
    Bytes late(raw.size() + 1, 0);
    for (std::size_t i = 0; i < raw.size(); ++i) {
        late[i] = static_cast<std::uint8_t>(late[i] | raw[i] << cells);
        late[i + 1] = static_cast<std::uint8_t>(raw[i] >> (8 - cells));
    }
    return late;
}

// A complete side has every block sure, and a sure block its bytes.
void Check(const SideRescue& rescue) {
    for (const RescuedBlock& block : rescue.blocks) {
        if (IsSure(block.status) && block.bytes.empty()) __builtin_trap();
    }
    if (!rescue.complete) return;
    for (const RescuedBlock& block : rescue.blocks) {
        if (block.status == BlockStatus::kMissing) __builtin_trap();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const Bytes raw(data, data + size);
    const Bytes one = Later(raw, 1), two = Later(raw, 2);
    for (const std::vector<const Bytes*>& reads :
         std::vector<std::vector<const Bytes*>>{{&raw}, {&raw, &one, &two}}) {
        Check(RescueFdsSide(reads));
        Check(RescueQdSide(reads));
        RescuedFdsImage(RescueFdsSide(reads));
    }
    return 0;
}
