// MZQ images of QD sides, as an MZ-800 emulator and a QD interface card
// keep them: every block of the side from its ID mark on, led by 00 16 16
// and followed by the text "CRC" where the side has its CRC; no gaps. An
// emulator's image goes on with 0x00 to a fixed length.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "qd/qd_layout.h"
#include "qd/side_encoder.h"

inline constexpr std::uint8_t kMzqBlockLead[] = {0x00, kQdSyncByte, kQdSyncByte};
inline constexpr int kMzqBlockLeadBytes = sizeof(kMzqBlockLead);
inline constexpr std::uint8_t kMzqCrcText[] = {'C', 'R', 'C'};
inline constexpr int kMzqCrcTextBytes = sizeof(kMzqCrcText);
// The length of an image the emulator makes.
inline constexpr int kMzqEmulatorImageBytes = 61455;

// A block of the image: from its ID mark, its fields, then its body.
struct MzqBlock {
    std::size_t offset;  // of the ID mark
    std::size_t headsize;
    std::size_t bodysize;
};

enum class MzqEnd {
    kComplete,     // the block-count block and the blocks it counts
    kNoLead,       // at position, no lead and ID mark
    kNoCrcText,    // at position, where a block's "CRC" belongs
    kCutShort,     // a block runs past the end
    kUnknownType,  // the block at position
};

struct MzqWalk {
    MzqEnd end;
    std::size_t position;  // where the walk stopped
    int blockcount;        // -1 before the block-count block
    std::vector<MzqBlock> blocks;
};

// Whether bytes begin as an MZQ image does: a lead, an ID mark, a block
// count and "CRC".
bool StartsAsMzq(const std::uint8_t* bytes, std::size_t size);
MzqWalk WalkMzq(const std::vector<std::uint8_t>& file);
// The walked blocks, each with the CRC a side carries after it.
std::vector<QdBlockView> MzqBlockViews(const std::vector<std::uint8_t>& file, const MzqWalk& walk);
// Appends one block (from its ID mark through its body) as an image holds it.
void AppendMzqBlock(std::vector<std::uint8_t>& file, const std::uint8_t* block, std::size_t n);
