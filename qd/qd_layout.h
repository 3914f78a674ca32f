// The layout of one QD side as a side stream: gaps of 0x00, runs of sync
// bytes, and blocks that each begin with the ID mark and end with a CRC-16
// (CRC-16/ARC, stored low byte first) over the block from its ID mark on.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "common/crc16.h"

inline constexpr std::uint8_t kQdGapByte = 0x00;
inline constexpr std::uint8_t kQdSyncByte = 0x16;
inline constexpr std::uint8_t kQdIdMark = 0xA5;
// A side may use this mark instead, on every one of its blocks.
inline constexpr std::uint8_t kQdAltIdMark = 0x01;

inline constexpr int kQdSideStreamBytes = 81920;
inline constexpr int kQdRawSideBytes = kQdSideStreamBytes * 2;

inline constexpr int kQdCrcBytes = 2;
// CRC-16/ARC, computed shifting right; the decoder's checker shifts left.
inline constexpr CrcVariant kQdWriterCrc = MakeCrcVariant(true, 0xA001, 0x0000);
inline constexpr CrcVariant kQdCheckerCrc = MakeCrcVariant(false, 0x8005, 0x0000);
// Block-count block: ID mark, block count, CRC.
inline constexpr int kQdBlockCountBlockBytes = 2 + kQdCrcBytes;
inline constexpr int kQdMaxBlockCount = 255;
inline constexpr int kQdBlockCountOffset = 1;
// Every other block: ID mark, block type, body size (LE), body, CRC.
inline constexpr int kQdBlockTypeOffset = 1;
inline constexpr int kQdBlockSizeOffset = 2;
inline constexpr int kQdBlockHeaderBytes = 4;
// A block's bytes from its ID mark to its CRC, by its header.
inline std::size_t QdBlockLength(const std::uint8_t* header) {
    return kQdBlockHeaderBytes + (header[kQdBlockSizeOffset] | header[kQdBlockSizeOffset + 1] << 8);
}

// Bit 0 of the block type tells the kinds apart.
inline constexpr std::uint8_t kQdInfoBlockType = 0;
inline constexpr std::uint8_t kQdDataBlockType = 5;
inline constexpr std::uint8_t kQdMaxBlockType = 7;
inline constexpr bool IsQdDataBlock(std::uint8_t type) {
    return (type & 1) != 0;
}

// Information record: the body of an information block.
inline constexpr int kQdInfoRecordBytes = 64;
inline constexpr int kQdInfoAttribute = 0;
inline constexpr int kQdInfoName = 1;
inline constexpr int kQdFileNameBytes = 17;
// A shorter name ends with this byte.
inline constexpr std::uint8_t kQdNameEnd = 0x0D;
inline constexpr int kQdInfoCarried = 18;  // two bytes carried unread
inline constexpr int kQdInfoSize = 20;
inline constexpr int kQdInfoLoad = 22;
inline constexpr int kQdInfoExec = 24;
static_assert(kQdInfoName + kQdFileNameBytes == kQdInfoCarried);
using QdInfoRecord = std::array<std::uint8_t, kQdInfoRecordBytes>;

// The attribute whose data the split dump trims.
inline constexpr std::uint8_t kQdTextAttribute = 3;

// A freshly formatted side, as the kit builds it.
inline constexpr int kQdLeadingGapBytes = 4785;
inline constexpr int kQdFirstInfoGapBytes = 2755;
inline constexpr int kQdGapBytes = 256;
inline constexpr int kQdSyncBeforeBytes = 10;
inline constexpr int kQdSyncAfterBytes = 6;

// leading gap + sync + block-count block + sync
inline constexpr int kQdSideHeaderBytes =
    kQdLeadingGapBytes + kQdSyncBeforeBytes + kQdBlockCountBlockBytes + kQdSyncAfterBytes;
static_assert(kQdSideHeaderBytes == 4805);
// What a record adds besides its leading gap and its body: the information
// block and the data block, each in its sync runs, and the gap between them.
inline constexpr int kQdRecordFrameBytes = kQdSyncBeforeBytes + kQdBlockHeaderBytes +
                                           kQdInfoRecordBytes + kQdCrcBytes + kQdSyncAfterBytes +
                                           kQdGapBytes + kQdSyncBeforeBytes + kQdBlockHeaderBytes +
                                           kQdCrcBytes + kQdSyncAfterBytes;
static_assert(kQdRecordFrameBytes == 364);
static_assert(kQdSideHeaderBytes + kQdFirstInfoGapBytes + kQdRecordFrameBytes == 7924);

// Reading a side back.
// The decoder never reads this much of a raw image's start.
inline constexpr int kQdSkippedRawBytes = 6144;
// The first sync run must lie beyond what the decoder skips.
static_assert(2 * kQdLeadingGapBytes > kQdSkippedRawBytes);
// Eight cells of a gap, two zero data bits: in step 0x55, one cell late 0xAA.
inline constexpr std::int32_t kQdGapCells = 0x55;
inline constexpr std::int32_t kQdGapCellsOutOfStep = 0xAA;
// Cells searched for the sync byte after a gap, in data bits.
inline constexpr int kQdSyncSearchBits = 16;
// Bytes passed over blindly after the byte that ends a block's sync run.
inline constexpr int kQdPostBlockSkipBytes = 32;
