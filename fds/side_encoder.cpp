#include "fds/side_encoder.h"

#include <algorithm>

#include "common/crcblock.h"
#include "fds/fds_image.h"
#include "fds/fds_layout.h"

namespace {

// Start mark, the block, its CRC and the gap behind it.
void AppendBlock(std::vector<std::uint8_t>& stream, Crc16& crc, const std::uint8_t* block,
                 int length) {
    stream.push_back(kFdsBlockStartMark);
    AppendCrc(stream, AppendChecked(stream, crc, block, static_cast<std::size_t>(length), true));
    stream.insert(stream.end(), kFdsBlockGapBytes, kFdsGapByte);
}

}  // namespace

FdsSideResult BuildFdsSide(const std::vector<std::uint8_t>& fdsbuffer, std::size_t offset,
                           std::vector<std::uint8_t>& stream, Crc16& crc, MissingFiles missing) {
    stream.reserve(kFdsSideStreamBytes);
    stream.assign(kFdsLeadingGapBytes, kFdsGapByte);
    // Once the stream cannot fit, the walk goes on to find any error that
    // comes before the size error, but no longer grows the stream: an image
    // of many tiny blocks would otherwise take 129 bytes for each of its own.
    bool over = false;
    const FdsWalkResult walk =
        WalkFdsBlocks(fdsbuffer, offset, fdsbuffer.size(), [&](const FdsBlockRef& block) {
            over = over || stream.size() + block.length + kFdsBlockOverheadBytes >
                               static_cast<std::size_t>(kFdsSideStreamBytes);
            if (!over) AppendBlock(stream, crc, &fdsbuffer[block.offset], block.length);
        });
    const bool strict = missing == MissingFiles::kError;
    switch (walk.end) {
        case FdsWalkEnd::kComplete:
            break;
        case FdsWalkEnd::kUnknownId:
            if (strict) return {FdsSideStatus::kUnknownId, walk.id};
            break;
        case FdsWalkEnd::kEndOfImage:
            if (strict) return {FdsSideStatus::kEndOfImage, 0};
            break;
        // A block cut short by the end of the image fails whether or not
        // the announced files are in.
        case FdsWalkEnd::kCutShort:
            return {FdsSideStatus::kEndOfImage, 0};
    }
    if (over) return {FdsSideStatus::kSizeOver, 0};
    stream.resize(kFdsSideStreamBytes, kFdsGapByte);
    return {FdsSideStatus::kOk, 0};
}

FdsSideResult EncodeFdsSide(const std::vector<std::uint8_t>& fdsbuffer, std::size_t offset,
                            std::vector<std::uint8_t>& stream, Crc16& crc, BitWriter& writer,
                            MissingFiles missing) {
    const FdsSideResult side = BuildFdsSide(fdsbuffer, offset, stream, crc, missing);
    if (side.status == FdsSideStatus::kOk) EncodeSide(writer, stream.data(), stream.size());
    return side;
}

std::optional<std::vector<std::uint8_t>> CanonicalFdsRaw(const std::vector<std::uint8_t>& area) {
    BitWriter writer;
    Crc16 crc(kFdsWriterCrc);
    std::vector<std::uint8_t> stream;
    if (EncodeFdsSide(area, 0, stream, crc, writer, MissingFiles::kEndSide).status !=
        FdsSideStatus::kOk) {
        return std::nullopt;
    }
    return std::move(writer.bitstreambuffer);
}

CellComparison CompareWithCanonicalFds(const std::vector<std::uint8_t>& raw,
                                       const std::vector<std::uint8_t>& area) {
    Crc16 crc(kFdsWriterCrc);
    std::vector<std::uint8_t> stream;
    if (BuildFdsSide(area, 0, stream, crc, MissingFiles::kEndSide).status != FdsSideStatus::kOk) {
        return {};
    }
    return {true, FirstCellOffEncoding(raw, stream)};
}
