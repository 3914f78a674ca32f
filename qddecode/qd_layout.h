// The layout of one QD side as a side stream: gaps of 0x00, runs of sync
// bytes, and blocks that each begin with the ID mark and end with a CRC-16
// (CRC-16/ARC, stored low byte first) over the block from its ID mark on.
#pragma once

#include <array>
#include <cstdint>

inline constexpr std::uint8_t kGapByte = 0x00;
inline constexpr std::uint8_t kSyncByte = 0x16;
inline constexpr std::uint8_t idmark = 0xA5;
// A side may use this mark instead, on every one of its blocks.
inline constexpr std::uint8_t kAltIdMark = 0x01;

inline constexpr int kSideStreamBytes = 81920;
inline constexpr int kRawSideBytes = kSideStreamBytes * 2;
// The decoder never reads this much of a raw image's start.
inline constexpr std::uint32_t kSkippedRawBytes = 6144;

inline constexpr int kCrcBytes = 2;
// Block-count block: ID mark, block count, CRC.
inline constexpr int kBlockCountBlockBytes = 2 + kCrcBytes;
inline constexpr int kMaxBlockCount = 255;
// Every other block: ID mark, block type, body size (LE), body, CRC.
inline constexpr int kBlockHeaderBytes = 4;

// Bit 0 of the block type tells the kinds apart.
inline constexpr std::uint8_t kInfoBlockType = 0;
inline constexpr std::uint8_t kDataBlockType = 5;
inline constexpr std::uint8_t kMaxBlockType = 7;
inline constexpr bool IsDataBlock(std::uint8_t type) {
    return (type & 1) != 0;
}

// Information record: the body of an information block.
inline constexpr int kInfoRecordBytes = 64;
inline constexpr int kInfoAttribute = 0;
inline constexpr int kInfoName = 1;
inline constexpr int kFileNameBytes = 17;
inline constexpr int kInfoCarried = 18;  // two bytes carried unread
inline constexpr int kInfoSize = 20;
inline constexpr int kInfoLoad = 22;
inline constexpr int kInfoExec = 24;
static_assert(kInfoName + kFileNameBytes == kInfoCarried);
using InfoRecord = std::array<std::uint8_t, kInfoRecordBytes>;

// The attribute whose data the split dump trims.
inline constexpr std::uint8_t kTextAttribute = 3;
