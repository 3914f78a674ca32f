// Talvret's conversion on any bytes: image checks, then every side.
#include <cstdint>
#include <vector>

#include "common/bitstream.h"
#include "common/crc16.h"
#include "fds/fds_image.h"
#include "fds/fds_layout.h"
#include "fds/side_encoder.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::vector<std::uint8_t> fdsbuffer(data, data + size);
    if (CheckFdsImage(fdsbuffer) != FdsImageCheck::kOk) return 0;
    // One run's state, fresh for every input.
    std::vector<std::uint8_t> rawbuffer;
    BitWriter writer;
    Crc16 crc(kFdsWriterCrc);
    for (int side = 0; side < FdsSidesToConvert(fdsbuffer); ++side) {
        const FdsSideResult result =
            EncodeFdsSide(fdsbuffer, FdsSideOffset(side), rawbuffer, crc, writer);
        if (result.status != FdsSideStatus::kOk) break;
        if (writer.bitstreambuffer.size() != kFdsRawSideBytes) __builtin_trap();
    }
    return 0;
}
