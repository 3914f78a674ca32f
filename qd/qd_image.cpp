#include "qd/qd_image.h"

#include <algorithm>

std::vector<std::uint8_t> QdImageHeader() {
    std::vector<std::uint8_t> header(kQdImageMagic, kQdImageMagic + kQdImageMagicBytes);
    header.resize(kQdImageHeaderBytes, kQdImagePadByte);
    return header;
}

std::vector<std::uint8_t> QdImageOfStream(const std::vector<std::uint8_t>& stream) {
    std::vector<std::uint8_t> image = QdImageHeader();
    image.reserve(std::max<std::size_t>(kQdImageBytes, kQdImageHeaderBytes + stream.size()));
    image.insert(image.end(), stream.begin(), stream.end());
    if (image.size() < static_cast<std::size_t>(kQdImageBytes))
        image.resize(kQdImageBytes, kQdGapByte);
    return image;
}

QdImageCheck CheckQdImage(const std::vector<std::uint8_t>& image) {
    if (image.size() < static_cast<std::size_t>(kQdImageBytes)) return QdImageCheck::kSizeError;
    return IsQdImageHeader(image.data(), image.size()) ? QdImageCheck::kOk
                                                       : QdImageCheck::kFormatError;
}

bool IsQdImageHeader(const std::uint8_t* bytes, std::size_t size) {
    if (size < static_cast<std::size_t>(kQdImageHeaderBytes)) return false;
    const auto magic = reinterpret_cast<const std::uint8_t*>(kQdImageMagic);
    return std::equal(magic, magic + kQdImageMagicBytes, bytes) &&
           std::all_of(bytes + kQdImageMagicBytes, bytes + kQdImageHeaderBytes,
                       [](std::uint8_t b) { return b == kQdImagePadByte; });
}

void EncodeQdImage(BitWriter& writer, const std::vector<std::uint8_t>& image) {
    EncodeSide(writer, image.data() + kQdImageHeaderBytes, image.size() - kQdImageHeaderBytes);
}

std::vector<std::uint8_t> QdRawOfStream(const std::vector<std::uint8_t>& stream) {
    BitWriter writer;
    EncodeQdImage(writer, QdImageOfStream(stream));
    return std::move(writer.bitstreambuffer);
}

std::vector<std::uint8_t> QdRawOfImage(const std::vector<std::uint8_t>& image) {
    BitWriter writer;
    if (image.size() >= static_cast<std::size_t>(kQdImageBytes)) {
        EncodeQdImage(writer, image);
    } else {
        std::vector<std::uint8_t> whole = image;
        whole.resize(kQdImageBytes, kQdGapByte);
        EncodeQdImage(writer, whole);
    }
    return std::move(writer.bitstreambuffer);
}
