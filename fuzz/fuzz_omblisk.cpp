// Omblisk's conversion on any raw side.
#include <cstdint>
#include <vector>

#include "common/crc16.h"
#include "fds/fds_layout.h"
#include "fds/side_decoder.h"

namespace {

struct Problems : FdsDecodeEvents {
    void Problem(const FdsProblemSeen&) override { ++count; }
    int count = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::vector<std::uint8_t> raw(data, data + size);
    Problems problems;
    Crc16 crc(kFdsCheckerCrc);
    const FdsDecodeResult result = DecodeFdsSide(raw, crc, problems);
    const FdsDecodeOutcome outcome = result.outcome;
    const std::vector<std::uint8_t>& image = result.image;
    // A completed side is always a whole image. A failed one holds what was
    // read so far, unfilled: more than a side area when its blocks were.
    const bool whole = image.size() >= static_cast<std::size_t>(kFdsMinImageBytes);
    if (outcome != FdsDecodeOutcome::kFailed && !whole) __builtin_trap();
    if (outcome == FdsDecodeOutcome::kDamaged && problems.count == 0) __builtin_trap();
    return 0;
}
