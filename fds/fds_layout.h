// FDS images and the on-disk layout of an FDS side.
//
// Image: a 16-byte header ("FDS", 0x1A, side count) and one 65500-byte area
// per side holding the side's blocks back to back, then 0x00 bytes.
// Side on disk: a leading gap, then for every block a start mark, the block,
// its CRC (low byte first) and a gap, filled with 0x00 to a fixed length.
#pragma once

#include <cstddef>
#include <cstdint>

#include "common/blocks.h"
#include "common/crc16.h"

inline constexpr std::uint8_t kFdsMagic[] = {'F', 'D', 'S', 0x1A};
inline constexpr int kFdsMagicBytes = sizeof(kFdsMagic);
inline constexpr int kFdsSideCountOffset = 4;
inline constexpr int kFdsHeaderBytes = 16;
inline constexpr int kFdsSideAreaBytes = 65500;
inline constexpr int kFdsMinImageBytes = kFdsHeaderBytes + kFdsSideAreaBytes;
inline constexpr int kFdsMaxSidesConverted = 2;
inline constexpr int kFdsMaxSideCount = 255;  // what the header's count byte holds
// What pads the header and each side area.
inline constexpr std::uint8_t kFdsImageFillByte = 0x00;
static_assert(kFdsMinImageBytes == 65516);

inline constexpr std::size_t FdsSideOffset(int side) {
    return kFdsHeaderBytes + static_cast<std::size_t>(kFdsSideAreaBytes) * side;
}

// Block IDs, each block's first byte.
inline constexpr std::uint8_t kFdsDiskInfoBlock = 1;
inline constexpr std::uint8_t kFdsFileAmountBlock = 2;
inline constexpr std::uint8_t kFdsFileHeaderBlock = 3;
inline constexpr std::uint8_t kFdsFileDataBlock = 4;
// An ID byte 5 where a block begins ends a side at once.
inline constexpr std::uint8_t kFdsEndOfSideId = 5;

// Lengths with the ID byte; a file data block is the ID and the file.
inline constexpr int kFdsDiskInfoBlockBytes = 56;
inline constexpr int kFdsFileAmountBlockBytes = 2;
inline constexpr int kFdsFileHeaderBlockBytes = 16;
inline constexpr int kFdsFileCountOffset = 1;  // in the file amount block
// The blocks of a side of n files: disk info, file amount, then a header
// and a data block for each.
inline constexpr std::size_t FdsSideBlockCount(std::size_t files) {
    return 2 + 2 * files;
}
inline constexpr int kFdsFileSizeOffset = 13;  // in the file header block, LE

// The disk info block opens with its ID and this verification text.
inline constexpr char kFdsDiskVerification[] = "*NINTENDO-HVC*";
inline constexpr int kFdsDiskVerificationBytes = sizeof(kFdsDiskVerification) - 1;

struct FdsField {
    const char* name;
    int offset;  // in the block, counting its ID byte
    int bytes;
};

// The disk info block's fields that identify a disk; the game name is text.
inline constexpr FdsField kDiskInfoGameName{"game_name", 16, 3};
inline constexpr FdsField kDiskInfoFields[] = {
    {"maker", 15, 1},   {"game_type", 19, 1}, {"revision", 20, 1},      {"side", 21, 1},
    {"disk", 22, 1},    {"disk_type", 23, 1}, {"boot_file", 25, 1},     {"manufactured", 31, 3},
    {"country", 34, 1}, {"rewritten", 44, 3}, {"rewrite_count", 52, 1}, {"actual_side", 53, 1},
};

// The file header block's fields.
inline constexpr int kFdsFileNumberOffset = 1;
inline constexpr int kFdsFileIdOffset = 2;
inline constexpr int kFdsFileNameOffset = 3;
inline constexpr int kFdsFileNameBytes = 8;
inline constexpr int kFdsFileLoadOffset = 11;
inline constexpr int kFdsFileTypeOffset = 15;
inline constexpr std::uint8_t kFdsProgramFile = 0;
inline constexpr std::uint8_t kFdsCharacterFile = 1;
inline constexpr std::uint8_t kFdsNameTableFile = 2;

// ID and payload length of a block, 0 for a byte that is no block ID.
inline constexpr int FdsBlockBytes(std::uint8_t id, std::uint16_t filesize) {
    switch (id) {
        case kFdsDiskInfoBlock:
            return kFdsDiskInfoBlockBytes;
        case kFdsFileAmountBlock:
            return kFdsFileAmountBlockBytes;
        case kFdsFileHeaderBlock:
            return kFdsFileHeaderBlockBytes;
        case kFdsFileDataBlock:
            return 1 + filesize;
        default:
            return 0;
    }
}

// A side's blocks in their order: the disk info block, the file amount
// block, then for each file its header and right after it its data. A
// data block that follows no header would take the previous file's size.
constexpr std::uint8_t FdsBlockAfter(std::uint8_t previous) {
    switch (previous) {
        case 0:
            return kFdsDiskInfoBlock;
        case kFdsDiskInfoBlock:
            return kFdsFileAmountBlock;
        case kFdsFileHeaderBlock:
            return kFdsFileDataBlock;
        default:
            return kFdsFileHeaderBlock;
    }
}
// Whether a block may follow another (0: none) as the files' blocks go:
// a file header is followed by its data block, and data follows nothing else.
constexpr bool FdsBlockInOrder(std::uint8_t previous, std::uint8_t id) {
    return (previous == kFdsFileHeaderBlock) == (id == kFdsFileDataBlock);
}

// What a block is to its side.
constexpr BlockRole FdsBlockRole(std::uint8_t id) {
    switch (id) {
        case kFdsDiskInfoBlock:
            return BlockRole::kOpening;
        case kFdsFileAmountBlock:
            return BlockRole::kFileCount;
        case kFdsFileHeaderBlock:
            return BlockRole::kHeader;
        default:
            return BlockRole::kData;
    }
}

// Block CRCs over the ID and payload, stored low byte first. The encoder's
// register shifts right, the decoder's left; both start from what a zero
// register holds after the start mark 0x80, so the CRC in effect covers it.
inline constexpr CrcVariant kFdsWriterCrc = MakeCrcVariant(true, 0x8408, 0x8408);
inline constexpr CrcVariant kFdsCheckerCrc = MakeCrcVariant(false, 0x1021, 0x1021);

// FDS .qd image: per side, the blocks back to back, each followed by the
// CRC the side carries after it, then 0x00 to a fixed length.
inline constexpr int kFdsQdSideBytes = 65536;

// The side stream as written.
inline constexpr int kFdsLeadingGapBytes = 4224;
inline constexpr std::uint8_t kFdsGapByte = 0x00;
// Seven zero bits that continue the gap, then the first set bit after it.
inline constexpr std::uint8_t kFdsBlockStartMark = 0x80;
inline constexpr int kFdsCrcBytes = 2;
inline constexpr int kFdsBlockGapBytes = 125;
// What each block costs beyond its own bytes: mark, CRC and gap.
inline constexpr int kFdsBlockOverheadBytes = 1 + kFdsCrcBytes + kFdsBlockGapBytes;
static_assert(kFdsBlockOverheadBytes == 128);
inline constexpr int kFdsSideStreamBytes = 71680;
inline constexpr int kFdsRawSideBytes = kFdsSideStreamBytes * 2;
static_assert(kFdsRawSideBytes == 143360);

// Reading a side back.
// Raw bytes passed over blindly at the start of a raw side.
inline constexpr int kFdsSkippedRawBytes = 5632;
// Eight cells of a gap, two zero data bits: in step 0x55, one cell late 0xAA.
inline constexpr std::int32_t kFdsGapCells = 0x55;
inline constexpr std::int32_t kFdsGapCellsOutOfStep = 0xAA;
// More than this many gap cell groups in step make a gap before a start mark.
inline constexpr int kFdsSyncGapGroups = 128;
// The start mark's one set data bit as a cell pair: clock 0, data 1.
inline constexpr std::int32_t kFdsStartMarkCells = 2;
