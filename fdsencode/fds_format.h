// FDS images and the on-disk layout of an FDS side.
//
// Image: a 16-byte header ("FDS", 0x1A, side count) and one 65500-byte area
// per side holding the side's blocks back to back, then 0x00 bytes.
// Side on disk: a leading gap, then for every block a start mark, the block,
// its CRC (low byte first) and a gap, filled with 0x00 to a fixed length.
#pragma once

#include <cstddef>
#include <cstdint>

inline constexpr std::uint8_t kFdsMagic[] = {'F', 'D', 'S', 0x1A};
inline constexpr int kFdsMagicBytes = sizeof(kFdsMagic);
inline constexpr int kFdsSideCountOffset = 4;
inline constexpr int kFdsHeaderBytes = 16;
inline constexpr int kFdsSideAreaBytes = 65500;
inline constexpr int kFdsMinImageBytes = kFdsHeaderBytes + kFdsSideAreaBytes;
inline constexpr int kFdsMaxSidesConverted = 2;
static_assert(kFdsMinImageBytes == 65516);

inline constexpr std::size_t FdsSideOffset(int side) {
    return kFdsHeaderBytes + static_cast<std::size_t>(kFdsSideAreaBytes) * side;
}

// Block IDs, each block's first byte.
inline constexpr std::uint8_t kDiskInfoBlock = 1;
inline constexpr std::uint8_t kFileAmountBlock = 2;
inline constexpr std::uint8_t kFileHeaderBlock = 3;
inline constexpr std::uint8_t kFileDataBlock = 4;

// Lengths with the ID byte; a file data block is the ID and the file.
inline constexpr int kDiskInfoBlockBytes = 56;
inline constexpr int kFileAmountBlockBytes = 2;
inline constexpr int kFileHeaderBlockBytes = 16;
inline constexpr int kFileCountOffset = 1;  // in the file amount block
inline constexpr int kFileSizeOffset = 13;  // in the file header block, LE

// ID and payload length of a block, 0 for a byte that is no block ID.
inline constexpr int FdsBlockBytes(std::uint8_t id, std::uint16_t filesize) {
    switch (id) {
        case kDiskInfoBlock:
            return kDiskInfoBlockBytes;
        case kFileAmountBlock:
            return kFileAmountBlockBytes;
        case kFileHeaderBlock:
            return kFileHeaderBlockBytes;
        case kFileDataBlock:
            return 1 + filesize;
        default:
            return 0;
    }
}

// The side stream as written.
inline constexpr int kFdsLeadingGapBytes = 4224;
// Seven zero bits that continue the gap, then the first set bit after it.
inline constexpr std::uint8_t kBlockStartMark = 0x80;
inline constexpr int kFdsCrcBytes = 2;
inline constexpr int kFdsBlockGapBytes = 125;
// What each block costs beyond its own bytes: mark, CRC and gap.
inline constexpr int kFdsBlockOverheadBytes = 1 + kFdsCrcBytes + kFdsBlockGapBytes;
static_assert(kFdsBlockOverheadBytes == 128);
inline constexpr int kFdsSideStreamBytes = 71680;
inline constexpr int kFdsRawSideBytes = kFdsSideStreamBytes * 2;
static_assert(kFdsRawSideBytes == 143360);
