// The byte layouts FDSStick and FDSemu keep disks in: the .bin a disk read
// is saved as, and the flash slot the devices play a side from. Both hold
// the side's data bits least significant first, each block behind a
// byte-aligned start mark 0x80 and followed by its two CRC bytes, 0x00
// bytes between. A .bin begins with the lead-in as read, 0x00 bytes; a
// flash slot is a 256-byte header (the name in UTF-16, the lead-in length
// in bits) and then the blocks from the first start mark on.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "fds/fds_image.h"

// The devices' clients read at most this much of a side.
inline constexpr std::size_t kFdsBinMostBytes = 0xA0000;
// A gap before a start mark holds at least this many 0x00 bytes, as the raw
// decoder's sync search asks of it; junk the write head left behind a
// block's CRC comes before them.
inline constexpr std::size_t kFdsBinLeastGapBytes = 64;

inline constexpr std::size_t kFdsFlashSlotBytes = 0x10000;
inline constexpr std::size_t kFdsFlashHeaderBytes = 0x100;
inline constexpr std::size_t kFdsFlashNameChars = 120;  // UTF-16, ending at 0
inline constexpr std::size_t kFdsFlashLeadInOffset = 0xFE;
inline constexpr std::uint16_t kFdsFlashDefaultLeadInBits = 28300;
inline constexpr std::size_t kFdsFlashGapBytes = 121;
// A slot's first name character: 0xFFFF an empty (erased) slot, 0 a side
// that continues the disk of the slot before it.
inline constexpr std::uint16_t kFdsFlashEmptySlot = 0xFFFF;

struct FdsBinBlock {
    FdsBlockRef block;     // offset of the ID in the file
    std::uint16_t stored;  // the CRC behind it
    std::uint16_t crc;     // the block's own
};

enum class FdsBinEnd {
    kComplete,     // the announced files are in, and no further block follows
    kNoBlock,      // no start mark with a disk info block behind it
    kBadId,        // a start mark is followed by no block that may come there
    kCutShort,     // a block or its CRC runs past the end of the data
    kNoMoreMarks,  // no further start mark, with announced files missing
};

struct FdsBinSideRead {
    FdsBinEnd end = FdsBinEnd::kNoBlock;
    std::size_t position = 0;  // of the mark where the read stopped
    std::uint8_t id = 0;       // the byte behind it, for kBadId
    int announced = -1;        // the file amount block's count; -1 without one
    int datablocks = 0;        // file data blocks read
    // kNoMoreMarks: where bytes other than 0x00 lie beyond the gap behind
    // the last block, which a lost start mark leaves; 0 for none.
    std::size_t unmarked = 0;
    std::vector<FdsBinBlock> blocks;
    // The blocks back to back, then 0x00 to a side area (at least).
    std::vector<std::uint8_t> area;
};

// The blocks of the side held in bytes [begin, end): the first start mark
// may stand at begin or behind 0x00 bytes, every further one behind a gap.
FdsBinSideRead ReadFdsBinSide(const std::vector<std::uint8_t>& bytes, std::size_t begin,
                              std::size_t end);
// Whether bytes begin as a .bin does: 0x00 bytes (perhaps none), a start
// mark, and a disk info block with its text whose CRC holds.
bool StartsAsFdsBin(const std::vector<std::uint8_t>& bytes);

// The cells of the side a disk read holds, for a rescue to read as a raw
// side, damage and all: none unless the file is within a read's size and
// holds a start mark with a block ID behind it, behind 0x00 bytes.
std::optional<std::vector<std::uint8_t>> FdsBinReadCells(const std::vector<std::uint8_t>& file);

// Flash slots, one after another: the last may be cut short (read as 0x00).
std::size_t FdsFlashSlotCount(std::size_t size);
struct FdsFlashSlot {
    std::u16string name;
    std::uint16_t leadinbits;
    bool empty;  // an erased slot
    FdsBinSideRead side;
};
FdsFlashSlot ReadFdsFlashSlot(const std::vector<std::uint8_t>& file, std::size_t slot);
// Whether a file begins with a flash slot whose data opens with a start
// mark and a disk info block with its text whose CRC holds.
bool StartsAsFdsFlash(const std::vector<std::uint8_t>& bytes);

enum class FdsFlashStatus { kOk, kCutShort, kTooLarge };
struct FdsFlashResult {
    FdsFlashStatus status;
    std::size_t bytes;  // the blocks' with marks, CRCs and gaps
};
// A side area as a flash slot, appended to file (nothing when not kOk);
// name goes in the header, the lead-in is the devices' default.
FdsFlashResult AppendFdsFlashSlot(const std::vector<std::uint8_t>& area, const std::u16string& name,
                                  std::vector<std::uint8_t>& file);
