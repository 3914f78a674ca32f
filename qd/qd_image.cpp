#include "qd/qd_image.h"

#include <algorithm>

std::vector<std::uint8_t> QdImageHeader() {
    std::vector<std::uint8_t> header(kQdImageMagic, kQdImageMagic + kQdImageMagicBytes);
    header.resize(kQdImageHeaderBytes, kQdImagePadByte);
    return header;
}

QdImageCheck CheckQdImage(const std::vector<std::uint8_t>& image) {
    if (image.size() < static_cast<std::size_t>(kQdImageBytes)) return QdImageCheck::kSizeError;
    const auto magic = reinterpret_cast<const std::uint8_t*>(kQdImageMagic);
    const auto pad = image.begin() + kQdImageMagicBytes;
    const bool header = std::equal(magic, magic + kQdImageMagicBytes, image.begin()) &&
                        std::all_of(pad, image.begin() + kQdImageHeaderBytes,
                                    [](std::uint8_t b) { return b == kQdImagePadByte; });
    return header ? QdImageCheck::kOk : QdImageCheck::kFormatError;
}

void EncodeQdImage(BitWriter& writer, const std::vector<std::uint8_t>& image) {
    EncodeSide(writer, image.data() + kQdImageHeaderBytes, image.size() - kQdImageHeaderBytes);
}
