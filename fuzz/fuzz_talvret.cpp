// Talvret's conversion on any bytes: image checks, then every side.
#include <cstdint>
#include <vector>

#include "common/bitstream.h"
#include "common/crc16.h"
#include "fdsencode/fds_format.h"
#include "fdsencode/side_encoder.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::vector<std::uint8_t> fdsbuffer(data, data + size);
    if (CheckFdsImage(fdsbuffer) != FdsImageCheck::kOk) return 0;
    // One run's state, fresh for every input.
    std::vector<std::uint8_t> rawbuffer;
    BitWriter writer;
    Crc16 crc(kFdsWriterCrc);
    for (int side = 0; side < FdsSidesToConvert(fdsbuffer); ++side) {
        if (BuildFdsSide(fdsbuffer, FdsSideOffset(side), rawbuffer, crc).status !=
            FdsSideStatus::kOk)
            break;
        EncodeSide(writer, rawbuffer.data(), rawbuffer.size());
        if (writer.bitstreambuffer.size() != kFdsRawSideBytes) __builtin_trap();
    }
    return 0;
}
