// The tolerant readers of both media on any read: alone, and beside its own
// second half one cell later (a read that started late, out of step). The
// input's length picks the medium and the set, so that each input costs
// one rescue.
#include <cstdint>
#include <vector>

#include "fds/side_rescue.h"
#include "qd/side_rescue.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

// Bytes [from, end) of raw, every cell one place later.
Bytes Later(const Bytes& raw, std::size_t from) {
    Bytes late(raw.size() - from + 1, 0);
    for (std::size_t i = from; i < raw.size(); ++i) {
        late[i - from] = static_cast<std::uint8_t>(late[i - from] | raw[i] << 1);
        late[i - from + 1] = static_cast<std::uint8_t>(raw[i] >> 7);
    }
    return late;
}

// A sure block has its bytes, a complete side every block sure, once and in
// its order, and reads of different sides rescue nothing.
void Check(const SideRescue& rescue) {
    for (const RescuedBlock& block : rescue.blocks) {
        if (IsSure(block.status) && block.bytes.empty()) __builtin_trap();
        if (rescue.complete && !IsSure(block.status)) __builtin_trap();
    }
    if (rescue.complete && (!rescue.misplaced.empty() || !rescue.reread.empty())) __builtin_trap();
    if (!rescue.sides.empty() && !rescue.blocks.empty()) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const Bytes raw(data, data + size);
    const bool several = size % 3 == 2;
    const bool fds = several ? size / 3 % 2 == 0 : size % 3 == 0;
    std::vector<const Bytes*> reads = {&raw};
    Bytes half;
    if (several) {
        half = Later(raw, size / 2);
        reads.push_back(&half);
    }
    const SideRescue rescue = fds ? RescueFdsSide(reads) : RescueQdSide(reads);
    Check(rescue);
    if (fds) {
        RescuedFdsImage(rescue);
    } else {
        RescuedMztFile(rescue);
        RescuedQdImage(rescue);
    }
    return 0;
}
