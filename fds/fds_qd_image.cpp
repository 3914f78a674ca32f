#include "fds/fds_qd_image.h"

#include <algorithm>

#include "common/crc16.h"
#include "common/crcblock.h"
#include "common/littleendian.h"
#include "fds/fds_layout.h"

namespace {

// Where the last byte other than 0x00 ends, from 'from' on.
std::size_t ContentEnd(const std::vector<std::uint8_t>& bytes, std::size_t from, std::size_t end) {
    while (end > from && bytes[end - 1] == 0x00) --end;
    return end;
}

}  // namespace

std::uint16_t FdsBlockCrc(const std::uint8_t* block, std::size_t n) {
    Crc16 crc(kFdsWriterCrc);
    return crc.Update(block, n, true);
}

int FdsQdSideCount(std::size_t size) {
    return static_cast<int>((size + kFdsQdSideBytes - 1) / kFdsQdSideBytes);
}

FdsQdSideRead ReadFdsQdSide(const std::vector<std::uint8_t>& file, int side) {
    const std::size_t start = static_cast<std::size_t>(side) * kFdsQdSideBytes;
    std::vector<std::uint8_t> bytes(kFdsQdSideBytes, 0x00);
    if (start < file.size()) {
        std::copy_n(file.begin() + static_cast<std::ptrdiff_t>(start),
                    std::min(bytes.size(), file.size() - start), bytes.begin());
    }
    FdsQdSideRead read{};
    read.walk = WalkFdsBlocks(
        bytes, 0, bytes.size(),
        [&](const FdsBlockRef& block) {
            const std::uint8_t* at = &bytes[block.offset];
            const auto n = static_cast<std::size_t>(block.length);
            read.blocks.push_back(
                {block, static_cast<std::uint16_t>(Le16(at + n)), FdsBlockCrc(at, n)});
            read.area.insert(read.area.end(), at, at + n);
        },
        kFdsCrcBytes);
    const std::size_t end = ContentEnd(bytes, read.walk.position, bytes.size());
    read.area.insert(read.area.end(),
                     bytes.begin() + static_cast<std::ptrdiff_t>(read.walk.position),
                     bytes.begin() + static_cast<std::ptrdiff_t>(end));
    if (read.area.size() < static_cast<std::size_t>(kFdsSideAreaBytes))
        read.area.resize(kFdsSideAreaBytes, kFdsImageFillByte);
    return read;
}

FdsQdSideResult AppendFdsQdSide(const std::vector<std::uint8_t>& area,
                                std::vector<std::uint8_t>& file) {
    std::vector<std::uint8_t> side;
    side.reserve(kFdsQdSideBytes);
    const FdsWalkResult walk = WalkFdsBlocks(area, 0, area.size(), [&](const FdsBlockRef& block) {
        const std::uint8_t* at = &area[block.offset];
        const auto n = static_cast<std::size_t>(block.length);
        side.insert(side.end(), at, at + n);
        AppendCrc(side, FdsBlockCrc(at, n));
    });
    if (walk.end == FdsWalkEnd::kCutShort) return {FdsQdSideStatus::kCutShort, side.size()};
    const std::size_t end = ContentEnd(area, walk.position, area.size());
    side.insert(side.end(), area.begin() + static_cast<std::ptrdiff_t>(walk.position),
                area.begin() + static_cast<std::ptrdiff_t>(end));
    if (side.size() > static_cast<std::size_t>(kFdsQdSideBytes))
        return {FdsQdSideStatus::kTooLarge, side.size()};
    const std::size_t bytes = side.size();
    side.resize(kFdsQdSideBytes, 0x00);
    file.insert(file.end(), side.begin(), side.end());
    return {FdsQdSideStatus::kOk, bytes};
}
