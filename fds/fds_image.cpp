#include "fds/fds_image.h"

#include <algorithm>

#include "common/littleendian.h"

bool HasFdsMagic(const std::uint8_t* bytes, std::size_t size) {
    return size >= static_cast<std::size_t>(kFdsMagicBytes) &&
           std::equal(kFdsMagic, kFdsMagic + kFdsMagicBytes, bytes);
}

bool StartsWithDiskInfo(const std::uint8_t* bytes, std::size_t size) {
    if (size < static_cast<std::size_t>(1 + kFdsDiskVerificationBytes)) return false;
    return bytes[0] == kFdsDiskInfoBlock &&
           std::equal(kFdsDiskVerification, kFdsDiskVerification + kFdsDiskVerificationBytes,
                      bytes + 1,
                      [](char c, std::uint8_t b) { return static_cast<std::uint8_t>(c) == b; });
}

FdsWalkResult WalkFdsBlocks(const std::vector<std::uint8_t>& image, std::size_t offset,
                            std::size_t end, const std::function<void(const FdsBlockRef&)>& visit,
                            std::size_t trailer) {
    end = std::min(end, image.size());
    std::size_t position = offset;
    int announced = -1;
    int datablocks = 0;
    // Data blocks since the file amount block; -1 before it. A data block
    // ahead of that block counts as the first file, as on the encoder.
    int filesdone = -1;
    std::uint16_t filesize = 0;
    const auto pending = [&] { return filesdone < 0 || filesdone < announced; };
    const auto stop = [&](FdsWalkEnd how, std::uint8_t id) {
        return FdsWalkResult{how, position, id, announced, datablocks};
    };

    for (;;) {
        if (position >= end) {
            return stop(pending() ? FdsWalkEnd::kEndOfImage : FdsWalkEnd::kComplete, 0);
        }
        const std::uint8_t id = image[position];
        const int length = FdsBlockBytes(id, filesize);
        if (length == 0)
            return stop(pending() ? FdsWalkEnd::kUnknownId : FdsWalkEnd::kComplete, id);
        if (end - position < static_cast<std::size_t>(length) + trailer)
            return stop(FdsWalkEnd::kCutShort, id);
        const std::uint8_t* block = &image[position];
        visit({id, position, length});
        if (id == kFdsFileAmountBlock) {
            announced = block[kFdsFileCountOffset];
            filesdone = 0;
        } else if (id == kFdsFileHeaderBlock) {
            filesize = static_cast<std::uint16_t>(Le16(block + kFdsFileSizeOffset));
        } else if (id == kFdsFileDataBlock) {
            ++filesdone;
            ++datablocks;
        }
        position += static_cast<std::size_t>(length) + trailer;
    }
}

FdsImageLayout MeasureFdsImage(const std::vector<std::uint8_t>& image) {
    FdsImageLayout layout{};
    layout.header = HasFdsMagic(image.data(), image.size());
    if (layout.header) {
        layout.firstarea = std::min(image.size(), static_cast<std::size_t>(kFdsHeaderBytes));
        if (image.size() > static_cast<std::size_t>(kFdsSideCountOffset))
            layout.headersides = image[kFdsSideCountOffset];
    }
    const std::size_t areabytes = image.size() - layout.firstarea;
    const std::size_t area = kFdsSideAreaBytes;
    layout.sides = static_cast<int>((areabytes + area - 1) / area);
    layout.lastareabytes = layout.sides == 0 ? 0 : areabytes - (layout.sides - 1) * area;
    return layout;
}

std::vector<std::uint8_t> FdsSideArea(const std::vector<std::uint8_t>& image,
                                      const FdsImageLayout& layout, int side) {
    const std::size_t start = layout.firstarea + static_cast<std::size_t>(side) * kFdsSideAreaBytes;
    std::vector<std::uint8_t> area(kFdsSideAreaBytes, 0x00);
    if (start < image.size()) {
        const std::size_t n = std::min(area.size(), image.size() - start);
        std::copy_n(image.begin() + static_cast<std::ptrdiff_t>(start), n, area.begin());
    }
    return area;
}

FdsImageCheck CheckFdsImage(const std::vector<std::uint8_t>& fdsbuffer) {
    if (fdsbuffer.size() < static_cast<std::size_t>(kFdsMinImageBytes)) {
        return FdsImageCheck::kSizeError;
    }
    if (!HasFdsMagic(fdsbuffer.data(), fdsbuffer.size())) return FdsImageCheck::kNotFds;
    if (fdsbuffer[kFdsSideCountOffset] == 0) return FdsImageCheck::kNoSides;
    return FdsImageCheck::kOk;
}

bool IsHeaderlessFdsImage(const std::vector<std::uint8_t>& image) {
    const std::size_t sides = image.size() / kFdsSideAreaBytes;
    if (sides == 0 || sides > kFdsMaxSideCount || image.size() % kFdsSideAreaBytes != 0) {
        return false;
    }
    return StartsWithDiskInfo(image.data(), image.size());
}

std::vector<std::uint8_t> WithFdsHeader(const std::vector<std::uint8_t>& areas, int sides) {
    std::vector<std::uint8_t> image(kFdsMagic, kFdsMagic + kFdsMagicBytes);
    image.push_back(static_cast<std::uint8_t>(sides));
    image.resize(kFdsHeaderBytes, kFdsImageFillByte);
    image.insert(image.end(), areas.begin(), areas.end());
    return image;
}

int FdsSidesToConvert(const std::vector<std::uint8_t>& fdsbuffer) {
    return std::min<int>(fdsbuffer[kFdsSideCountOffset], kFdsMaxSidesConverted);
}

bool IsBlankFdsArea(const std::vector<std::uint8_t>& area) {
    return std::all_of(area.begin(), area.end(), [](std::uint8_t b) { return b == 0; });
}

FdsAreaTail CheckFdsAreaTail(const std::vector<std::uint8_t>& area, std::size_t end) {
    constexpr std::size_t kMostStray = 16;
    const auto nonzero = [](std::uint8_t b) { return b != kFdsImageFillByte; };
    const auto first =
        std::find_if(area.begin() + static_cast<std::ptrdiff_t>(std::min(end, area.size())),
                     area.end(), nonzero);
    if (first == area.end()) return {FdsAreaTail::kFill, area.size(), 0};
    const auto last = std::find_if(area.rbegin(), area.rend(), nonzero).base();
    const auto at = static_cast<std::size_t>(first - area.begin());
    const auto count = static_cast<std::size_t>(last - first);
    return {count > kMostStray ? FdsAreaTail::kOther : FdsAreaTail::kStray, at, count};
}
