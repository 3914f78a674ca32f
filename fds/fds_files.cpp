#include "fds/fds_files.h"

#include <algorithm>

#include "common/littleendian.h"
#include "fds/fds_image.h"
#include "fds/fds_qd_image.h"

namespace {

std::optional<std::uint16_t> StoredCrc(const std::vector<std::uint8_t>& side,
                                       const FdsBlockRef& block, std::size_t trailer) {
    if (trailer < static_cast<std::size_t>(kFdsCrcBytes)) return std::nullopt;
    const std::uint8_t* at = &side[block.offset];
    const auto n = static_cast<std::size_t>(block.length);
    const auto stored = static_cast<std::uint16_t>(Le16(at + n));
    if (stored == FdsBlockCrc(at, n)) return std::nullopt;
    return stored;
}

void AppendBlock(std::vector<std::uint8_t>& side, const std::uint8_t* block, std::size_t n,
                 std::size_t trailer, const std::optional<std::uint16_t>& stored) {
    side.insert(side.end(), block, block + n);
    if (trailer < static_cast<std::size_t>(kFdsCrcBytes)) return;
    const std::uint16_t crc = stored ? *stored : FdsBlockCrc(block, n);
    side.push_back(static_cast<std::uint8_t>(crc & 0xFF));
    side.push_back(static_cast<std::uint8_t>(crc >> 8));
}

std::vector<std::vector<std::uint8_t>> Areas(const std::vector<std::uint8_t>& image,
                                             std::size_t first, std::size_t bytes,
                                             std::size_t& lastbytes) {
    std::vector<std::vector<std::uint8_t>> sides;
    for (std::size_t at = first; at < image.size(); at += bytes) {
        const std::size_t n = std::min(bytes, image.size() - at);
        sides.emplace_back(image.begin() + static_cast<std::ptrdiff_t>(at),
                           image.begin() + static_cast<std::ptrdiff_t>(at + n));
        sides.back().resize(bytes, kFdsImageFillByte);
        lastbytes = n;
    }
    return sides;
}

FdsSideSplit Unsplit(FdsSplit how, std::size_t offset = 0) {
    FdsSideSplit split;
    split.how = how;
    split.offset = offset;
    return split;
}

}  // namespace

std::vector<FdsInfoField> FdsDiskInfoNamedFields() {
    std::vector<FdsInfoField> fields{{{"verification", 1, kFdsDiskVerificationBytes}, true}};
    for (const FdsField& field : kDiskInfoFields) {
        fields.push_back({field, false});
        if (field.offset == kDiskInfoGameName.offset - 1)
            fields.push_back({kDiskInfoGameName, true});
    }
    return fields;
}

std::vector<FdsField> FdsDiskInfoUnnamedRuns() {
    std::vector<bool> named(kFdsDiskInfoBlockBytes, false);
    named[0] = true;  // the ID
    for (const FdsInfoField& info : FdsDiskInfoNamedFields()) {
        for (int i = 0; i < info.field.bytes; ++i) named[info.field.offset + i] = true;
    }
    std::vector<FdsField> runs;
    for (int i = 0; i < kFdsDiskInfoBlockBytes; ++i) {
        if (named[i]) continue;
        if (!runs.empty() && runs.back().offset + runs.back().bytes == i) {
            ++runs.back().bytes;
        } else {
            runs.push_back({nullptr, i, 1});
        }
    }
    return runs;
}

std::size_t FdsSideStreamNeeded(const std::vector<std::uint8_t>& area) {
    std::size_t stream = kFdsLeadingGapBytes;
    WalkFdsBlocks(area, 0, area.size(), [&](const FdsBlockRef& block) {
        stream += static_cast<std::size_t>(block.length) + kFdsBlockOverheadBytes;
    });
    return stream;
}

std::size_t FdsContentEnd(const std::vector<std::uint8_t>& bytes) {
    std::size_t end = bytes.size();
    while (end > 0 && bytes[end - 1] == kFdsImageFillByte) --end;
    return end;
}

FdsSideSplit SplitFdsSide(const std::vector<std::uint8_t>& side, std::size_t trailer) {
    if (FdsContentEnd(side) == 0) return Unsplit(FdsSplit::kBlank);
    std::vector<FdsBlockRef> blocks;
    const FdsWalkResult walk = WalkFdsBlocks(
        side, 0, side.size(), [&](const FdsBlockRef& block) { blocks.push_back(block); }, trailer);
    if (walk.end == FdsWalkEnd::kCutShort) return Unsplit(FdsSplit::kCutShort, walk.position);
    if (blocks.empty() || blocks[0].id != kFdsDiskInfoBlock) return Unsplit(FdsSplit::kNoDiskInfo);
    if (blocks.size() < 2 || blocks[1].id != kFdsFileAmountBlock)
        return Unsplit(FdsSplit::kNoFileAmount);
    FdsSideSplit split = Unsplit(FdsSplit::kFiles);
    FdsSideFiles& files = split.files;
    std::copy_n(&side[0], kFdsDiskInfoBlockBytes, files.diskinfo.begin());
    files.diskinfocrc = StoredCrc(side, blocks[0], trailer);
    files.announced = side[blocks[1].offset + kFdsFileCountOffset];
    files.amountcrc = StoredCrc(side, blocks[1], trailer);
    for (std::size_t n = 2; n < blocks.size(); ++n) {
        const FdsBlockRef& block = blocks[n];
        const bool header = (n % 2) == 0;
        if (block.id != (header ? kFdsFileHeaderBlock : kFdsFileDataBlock))
            return Unsplit(FdsSplit::kOutOfOrder, block.offset);
        const std::uint8_t* at = &side[block.offset];
        if (header) {
            files.files.emplace_back();
            std::copy_n(at, kFdsFileHeaderBlockBytes, files.files.back().header.begin());
            files.files.back().headercrc = StoredCrc(side, block, trailer);
        } else {
            files.files.back().data.assign(at + 1, at + block.length);
            files.files.back().datacrc = StoredCrc(side, block, trailer);
        }
    }
    if (blocks.size() % 2 != 0) return Unsplit(FdsSplit::kHeaderWithoutData);
    const std::size_t end = std::max(FdsContentEnd(side), walk.position);
    files.trailing.assign(side.begin() + static_cast<std::ptrdiff_t>(walk.position),
                          side.begin() + static_cast<std::ptrdiff_t>(end));
    return split;
}

std::vector<std::uint8_t> FdsSideOfFiles(const FdsSideFiles& files, std::size_t trailer) {
    std::vector<std::uint8_t> side;
    AppendBlock(side, files.diskinfo.data(), files.diskinfo.size(), trailer, files.diskinfocrc);
    const std::uint8_t amount[kFdsFileAmountBlockBytes] = {
        kFdsFileAmountBlock, static_cast<std::uint8_t>(files.announced)};
    AppendBlock(side, amount, sizeof amount, trailer, files.amountcrc);
    for (const FdsSideFile& file : files.files) {
        std::array<std::uint8_t, kFdsFileHeaderBlockBytes> header = file.header;
        header[0] = kFdsFileHeaderBlock;
        PutLe16(&header[kFdsFileSizeOffset], static_cast<unsigned>(file.data.size()));
        AppendBlock(side, header.data(), header.size(), trailer, file.headercrc);
        std::vector<std::uint8_t> data{kFdsFileDataBlock};
        data.insert(data.end(), file.data.begin(), file.data.end());
        AppendBlock(side, data.data(), data.size(), trailer, file.datacrc);
    }
    side.insert(side.end(), files.trailing.begin(), files.trailing.end());
    return side;
}

FdsImageParts FdsImagePartsOf(const std::vector<std::uint8_t>& image) {
    FdsImageParts parts;
    std::size_t first = 0;
    if (HasFdsMagic(image.data(), image.size())) {
        parts.header.emplace();
        parts.header->fill(kFdsImageFillByte);
        first = std::min(image.size(), static_cast<std::size_t>(kFdsHeaderBytes));
        std::copy_n(image.begin(), first, parts.header->begin());
    }
    parts.sides = Areas(image, first, kFdsSideAreaBytes, parts.lastbytes);
    return parts;
}

FdsImageParts FdsQdImagePartsOf(const std::vector<std::uint8_t>& image) {
    FdsImageParts parts;
    parts.sides = Areas(image, 0, kFdsQdSideBytes, parts.lastbytes);
    return parts;
}

std::vector<std::uint8_t> FdsImageOfParts(const FdsImageParts& parts, std::size_t sidebytes) {
    std::vector<std::uint8_t> image;
    if (parts.header) image.assign(parts.header->begin(), parts.header->end());
    for (std::size_t n = 0; n < parts.sides.size(); ++n) {
        std::vector<std::uint8_t> side = parts.sides[n];
        if (side.size() < sidebytes) side.resize(sidebytes, kFdsImageFillByte);
        if (n + 1 == parts.sides.size() && parts.lastbytes < side.size())
            side.resize(std::max(parts.lastbytes, FdsContentEnd(side)));
        image.insert(image.end(), side.begin(), side.end());
    }
    return image;
}
