// FDS image files: the header, where the sides' areas lie, the checks the
// encoder makes, and the blocks of a side area as the encoder walks them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "fds/fds_layout.h"

// Whether bytes begin with the FDS image header's "FDS" and 0x1A.
bool HasFdsMagic(const std::uint8_t* bytes, std::size_t size);
// Whether bytes begin with a disk info block's ID and text: the start of
// every side area, and of an image that has no header.
bool StartsWithDiskInfo(const std::uint8_t* bytes, std::size_t size);

struct FdsBlockRef {
    std::uint8_t id;
    std::size_t offset;  // of the ID byte
    int length;          // with the ID byte
};

enum class FdsWalkEnd {
    kComplete,    // the announced files are in: ended at a byte that is no ID, or at the end
    kUnknownId,   // a byte that is no block ID while announced files were missing
    kEndOfImage,  // the end, while announced files were missing
    kCutShort,    // a block runs past the end
};

struct FdsWalkResult {
    FdsWalkEnd end;
    std::size_t position;  // where the walk stopped
    std::uint8_t id;       // the byte there, for kUnknownId
    int announced;         // the file amount block's count; -1 without one
    int datablocks;        // file data blocks walked
};

// Walks the blocks from offset to at most end, as the encoder lays them on a
// side, handing each whole block to visit. trailer: bytes that follow each
// block (a .qd image's CRC); a block counts as whole only with them.
FdsWalkResult WalkFdsBlocks(const std::vector<std::uint8_t>& image, std::size_t offset,
                            std::size_t end, const std::function<void(const FdsBlockRef&)>& visit,
                            std::size_t trailer = 0);

// Where the side areas of an FDS image lie: behind the 16-byte header, or
// from the start of an image that has none. The last area may be cut short.
struct FdsImageLayout {
    bool header;
    int headersides;            // the header's side count; 0 without a header
    std::size_t firstarea;      // offset of side 1's area
    int sides;                  // areas the file holds, whole or begun
    std::size_t lastareabytes;  // bytes of the last area present
};

FdsImageLayout MeasureFdsImage(const std::vector<std::uint8_t>& image);
// Side side's area (from 0), with the bytes the file lacks as 0x00.
std::vector<std::uint8_t> FdsSideArea(const std::vector<std::uint8_t>& image,
                                      const FdsImageLayout& layout, int side);

enum class FdsImageCheck { kOk, kSizeError, kNotFds, kNoSides };

FdsImageCheck CheckFdsImage(const std::vector<std::uint8_t>& fdsbuffer);
// Many images are the side areas alone: a whole number of them, the first
// beginning with the disk info block.
bool IsHeaderlessFdsImage(const std::vector<std::uint8_t>& image);
// The same image with the header that counts its sides in front.
std::vector<std::uint8_t> WithFdsHeader(const std::vector<std::uint8_t>& areas, int sides);
// Sides to convert: the header's count, at most two.
int FdsSidesToConvert(const std::vector<std::uint8_t>& fdsbuffer);

// One side of an image: its number (from 0) and its area, the blocks back
// to back and then fill.
struct FdsImageSide {
    int number;
    std::vector<std::uint8_t> area;
};

// A side area of nothing but 0x00: no side was ever written there.
bool IsBlankFdsArea(const std::vector<std::uint8_t>& area);

// What follows a side's last block in its area, from end on: fill, a few
// stray bytes as some tools leave them, or bytes that are neither.
struct FdsAreaTail {
    enum Kind { kFill, kStray, kOther } kind;
    std::size_t first;  // of the first byte that is no fill
    std::size_t count;  // stray bytes, from first to the last that is no fill
};
FdsAreaTail CheckFdsAreaTail(const std::vector<std::uint8_t>& area, std::size_t end);
