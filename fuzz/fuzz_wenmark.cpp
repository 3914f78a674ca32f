// Wenmark's conversion on any QD image file.
#include <cstdint>
#include <vector>

#include "common/bitstream.h"
#include "qd/qd_image.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::vector<std::uint8_t> image(data, data + size);
    if (CheckQdImage(image) != QdImageCheck::kOk) return 0;
    BitWriter writer;
    EncodeQdImage(writer, image);
    if (writer.bitstreambuffer.size() != 2 * (size - kQdImageHeaderBytes)) __builtin_trap();
    return 0;
}
