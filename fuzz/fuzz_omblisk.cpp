// Omblisk's conversion on any raw side.
#include <cstdint>
#include <string>
#include <vector>

#include "common/console.h"
#include "common/crc16.h"
#include "fdsdecode/side_decoder.h"
#include "fdsencode/fds_format.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::vector<std::uint8_t> raw(data, data + size);
    std::string out, err;
    Console console(&out, &err);
    Crc16 crc(kFdsCheckerCrc);
    std::vector<std::uint8_t> image;
    const FdsDecodeOutcome outcome = DecodeFdsSide(raw, image, crc, console);
    // A completed side is always a whole image; a failed one never.
    const bool whole = image.size() >= static_cast<std::size_t>(kFdsMinImageBytes);
    if ((outcome != FdsDecodeOutcome::kFailed) != whole) __builtin_trap();
    if (outcome == FdsDecodeOutcome::kDamaged && err.empty()) __builtin_trap();
    return 0;
}
