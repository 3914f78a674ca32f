#include "fds/fds_bin_image.h"

#include <algorithm>

#include "common/crcblock.h"
#include "common/littleendian.h"
#include "fds/fds_layout.h"
#include "fds/fds_qd_image.h"
#include "fds/side_encoder.h"

namespace {

constexpr std::size_t kNone = static_cast<std::size_t>(-1);

// The next start mark from `from`: at `begin` or behind nothing but 0x00
// bytes from there when lead, else behind a gap.
std::size_t NextMark(const std::vector<std::uint8_t>& bytes, std::size_t begin, std::size_t from,
                     std::size_t end, bool lead) {
    std::size_t zeros = 0;
    for (std::size_t p = from; p < end; ++p) {
        if (bytes[p] == kFdsBlockStartMark &&
            (zeros >= kFdsBinLeastGapBytes || (lead && zeros == p - begin)))
            return p;
        zeros = bytes[p] == kFdsGapByte ? zeros + 1 : 0;
    }
    return kNone;
}

// The first byte other than 0x00 behind the first gap from `from` on (the
// junk a write head leaves may come before it); 0 for none.
std::size_t UnmarkedData(const std::vector<std::uint8_t>& bytes, std::size_t from,
                         std::size_t end) {
    std::size_t zeros = 0;
    for (std::size_t p = from; p < end; ++p) {
        if (bytes[p] != kFdsGapByte && zeros >= kFdsBinLeastGapBytes) return p;
        zeros = bytes[p] == kFdsGapByte ? zeros + 1 : 0;
    }
    return 0;
}

// Whether a disk info block with its text and a CRC that holds lies at at.
bool DiskInfoAt(const std::vector<std::uint8_t>& bytes, std::size_t at) {
    constexpr std::size_t n = kFdsDiskInfoBlockBytes;
    return at <= bytes.size() && bytes.size() - at >= n + kFdsCrcBytes &&
           StartsWithDiskInfo(&bytes[at], n) && Le16(&bytes[at + n]) == FdsBlockCrc(&bytes[at], n);
}

}  // namespace

FdsBinSideRead ReadFdsBinSide(const std::vector<std::uint8_t>& bytes, std::size_t begin,
                              std::size_t end) {
    end = std::min(end, bytes.size());
    FdsBinSideRead read;
    int announced = -1;
    int filesdone = 0;
    std::uint16_t filesize = 0;
    std::uint8_t previous = 0;
    const auto complete = [&] {
        return announced >= 0 && filesdone >= announced && previous != kFdsFileHeaderBlock;
    };
    std::size_t from = begin;
    for (;;) {
        const std::size_t mark = NextMark(bytes, begin, from, end, read.blocks.empty());
        if (mark == kNone) {
            read.end = read.blocks.empty() ? FdsBinEnd::kNoBlock
                       : complete()        ? FdsBinEnd::kComplete
                                           : FdsBinEnd::kNoMoreMarks;
            read.position = end;
            break;
        }
        read.position = mark;
        const std::size_t at = mark + 1;
        if (at >= end) {
            read.end = read.blocks.empty() ? FdsBinEnd::kNoBlock : FdsBinEnd::kCutShort;
            break;
        }
        const std::uint8_t id = bytes[at];
        const int length = FdsBlockBytes(id, filesize);
        const bool first = read.blocks.empty();
        if (length == 0 || (first && id != kFdsDiskInfoBlock) || !FdsBlockInOrder(previous, id)) {
            read.id = id;
            read.end = first        ? FdsBinEnd::kNoBlock
                       : complete() ? FdsBinEnd::kComplete
                                    : FdsBinEnd::kBadId;
            break;
        }
        const auto n = static_cast<std::size_t>(length);
        if (end - at < n + kFdsCrcBytes) {
            read.end = FdsBinEnd::kCutShort;
            break;
        }
        const std::uint8_t* block = &bytes[at];
        read.blocks.push_back(
            {{id, at, length}, static_cast<std::uint16_t>(Le16(block + n)), FdsBlockCrc(block, n)});
        read.area.insert(read.area.end(), block, block + n);
        if (id == kFdsFileAmountBlock) announced = block[kFdsFileCountOffset];
        if (id == kFdsFileHeaderBlock)
            filesize = static_cast<std::uint16_t>(Le16(block + kFdsFileSizeOffset));
        if (id == kFdsFileDataBlock) ++filesdone;
        previous = id;
        from = at + n + kFdsCrcBytes;
    }
    read.announced = announced;
    read.datablocks = filesdone;
    if (read.end == FdsBinEnd::kNoMoreMarks) read.unmarked = UnmarkedData(bytes, from, end);
    if (read.area.size() < static_cast<std::size_t>(kFdsSideAreaBytes))
        read.area.resize(kFdsSideAreaBytes, kFdsImageFillByte);
    return read;
}

bool StartsAsFdsBin(const std::vector<std::uint8_t>& bytes) {
    const auto mark =
        std::find_if(bytes.begin(), bytes.end(), [](std::uint8_t b) { return b != 0; });
    if (mark == bytes.end() || *mark != kFdsBlockStartMark) return false;
    return DiskInfoAt(bytes, static_cast<std::size_t>(mark - bytes.begin()) + 1);
}

std::optional<std::vector<std::uint8_t>> FdsBinReadCells(const std::vector<std::uint8_t>& file) {
    if (file.size() > kFdsBinMostBytes) return std::nullopt;
    const std::size_t mark = NextMark(file, 0, 0, file.size(), true);
    if (mark == kNone || mark + 1 >= file.size() || FdsBlockBytes(file[mark + 1], 0) == 0)
        return std::nullopt;
    // A read saved from its first mark on still needs a gap for the raw
    // side's sync to be found.
    std::vector<std::uint8_t> stream;
    if (mark < kFdsBinLeastGapBytes) stream.assign(kFdsBinLeastGapBytes - mark, kFdsGapByte);
    stream.insert(stream.end(), file.begin(), file.end());
    BitWriter writer;
    EncodeSide(writer, stream.data(), stream.size());
    return std::move(writer.bitstreambuffer);
}

std::size_t FdsFlashSlotCount(std::size_t size) {
    return (size + kFdsFlashSlotBytes - 1) / kFdsFlashSlotBytes;
}

FdsFlashSlot ReadFdsFlashSlot(const std::vector<std::uint8_t>& file, std::size_t slot) {
    const std::size_t start = slot * kFdsFlashSlotBytes;
    std::vector<std::uint8_t> bytes(kFdsFlashSlotBytes, 0x00);
    if (start < file.size()) {
        std::copy_n(file.begin() + static_cast<std::ptrdiff_t>(start),
                    std::min(bytes.size(), file.size() - start), bytes.begin());
    }
    FdsFlashSlot read;
    for (std::size_t c = 0; c < kFdsFlashNameChars; ++c) {
        const auto unit = static_cast<char16_t>(Le16(&bytes[2 * c]));
        if (unit == 0 || unit == kFdsFlashEmptySlot) break;
        read.name.push_back(unit);
    }
    read.empty = Le16(bytes.data()) == kFdsFlashEmptySlot;
    read.leadinbits = static_cast<std::uint16_t>(Le16(&bytes[kFdsFlashLeadInOffset]));
    read.side = ReadFdsBinSide(bytes, kFdsFlashHeaderBytes, bytes.size());
    // Offsets in the file, not the slot.
    for (FdsBinBlock& block : read.side.blocks) block.block.offset += start;
    read.side.position += start;
    return read;
}

bool StartsAsFdsFlash(const std::vector<std::uint8_t>& bytes) {
    return bytes.size() > kFdsFlashHeaderBytes &&
           bytes[kFdsFlashHeaderBytes] == kFdsBlockStartMark &&
           DiskInfoAt(bytes, kFdsFlashHeaderBytes + 1);
}

FdsFlashResult AppendFdsFlashSlot(const std::vector<std::uint8_t>& area, const std::u16string& name,
                                  std::vector<std::uint8_t>& file) {
    std::vector<std::uint8_t> slot(kFdsFlashHeaderBytes, 0x00);
    for (std::size_t c = 0; c < std::min(name.size(), kFdsFlashNameChars - 1); ++c) {
        slot[2 * c] = static_cast<std::uint8_t>(name[c] & 0xFF);
        slot[2 * c + 1] = static_cast<std::uint8_t>(name[c] >> 8);
    }
    slot[kFdsFlashLeadInOffset] = kFdsFlashDefaultLeadInBits & 0xFF;
    slot[kFdsFlashLeadInOffset + 1] = kFdsFlashDefaultLeadInBits >> 8;
    std::size_t last = kFdsFlashHeaderBytes;  // where the last block's CRC ends
    const FdsWalkResult walk = WalkFdsBlocks(area, 0, area.size(), [&](const FdsBlockRef& block) {
        const std::uint8_t* at = &area[block.offset];
        const auto n = static_cast<std::size_t>(block.length);
        slot.push_back(kFdsBlockStartMark);
        slot.insert(slot.end(), at, at + n);
        AppendCrc(slot, FdsBlockCrc(at, n));
        last = slot.size();
        slot.insert(slot.end(), kFdsFlashGapBytes, kFdsGapByte);
    });
    const std::size_t bytes = last - kFdsFlashHeaderBytes;
    if (walk.end == FdsWalkEnd::kCutShort) return {FdsFlashStatus::kCutShort, bytes};
    // The gap behind the last block may run past the slot's end.
    if (last > kFdsFlashSlotBytes) return {FdsFlashStatus::kTooLarge, bytes};
    slot.resize(kFdsFlashSlotBytes, kFdsGapByte);
    file.insert(file.end(), slot.begin(), slot.end());
    return {FdsFlashStatus::kOk, bytes};
}
