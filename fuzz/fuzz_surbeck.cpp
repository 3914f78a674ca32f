// Surbeck's conversion on any MZT file.
#include <cstdint>
#include <string>
#include <vector>

#include "common/bitstream.h"
#include "common/console.h"
#include "common/crc16.h"
#include "mztencode/side_builder.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::vector<std::uint8_t> file(data, data + size);
    std::string out, err;
    Console console(&out, &err);
    Crc16 crc(kQdWriterCrc);
    BitWriter writer;
    const MztSideResult result = EncodeMztSide(file, crc, writer, console);
    if (result.status == MztSideStatus::kOk && writer.bitstreambuffer.size() != kRawSideBytes)
        __builtin_trap();
    return 0;
}
