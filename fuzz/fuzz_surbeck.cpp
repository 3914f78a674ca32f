// Surbeck's conversion on any MZT file.
#include <cstdint>
#include <vector>

#include "common/bitstream.h"
#include "common/crc16.h"
#include "qd/side_encoder.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::vector<std::uint8_t> file(data, data + size);
    Crc16 crc(kQdWriterCrc);
    BitWriter writer;
    const QdSideResult result = EncodeQdSide(file, crc, writer);
    if (result.status == QdSideStatus::kOk && writer.bitstreambuffer.size() != kQdRawSideBytes)
        __builtin_trap();
    return 0;
}
