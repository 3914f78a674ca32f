// An FDS side as files, and back: its disk info block, its file amount
// block's count, each file's header block and data, the CRCs a .qd image
// stores where they are not the blocks' own, and the bytes after the last
// block; an image's header and its sides. trailer: bytes behind each block
// (2 for a .qd image's CRC, 0 for an image's side area).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "fds/fds_layout.h"

struct FdsSideFile {
    std::array<std::uint8_t, kFdsFileHeaderBlockBytes> header{};
    std::vector<std::uint8_t> data;                   // the data block without its ID
    std::optional<std::uint16_t> headercrc, datacrc;  // stored, where not the block's own
};

struct FdsSideFiles {
    std::array<std::uint8_t, kFdsDiskInfoBlockBytes> diskinfo{};
    std::optional<std::uint16_t> diskinfocrc;
    int announced = 0;  // the file amount block's count
    std::optional<std::uint16_t> amountcrc;
    std::vector<FdsSideFile> files;
    // After the last block, up to the last byte that is not 0x00 fill.
    std::vector<std::uint8_t> trailing;
};

enum class FdsSplit {
    kFiles,
    kBlank,             // nothing but 0x00
    kNoDiskInfo,        // the first block is no disk info block
    kNoFileAmount,      // the second block is no file amount block
    kOutOfOrder,        // a block at offset breaks header, data, header, data
    kCutShort,          // the block at offset runs past the end of the side
    kHeaderWithoutData  // the last block is a file header
};

struct FdsSideSplit {
    FdsSplit how = FdsSplit::kBlank;
    std::size_t offset = 0;  // kOutOfOrder, kCutShort
    FdsSideFiles files;      // kFiles
};

// side: a whole side area (65500 bytes) or .qd side (65536 bytes).
FdsSideSplit SplitFdsSide(const std::vector<std::uint8_t>& side, std::size_t trailer);
// The side's blocks (each file header's size that of its data), their
// trailers (the stored CRC, else the block's own) and the trailing bytes;
// not filled.
std::vector<std::uint8_t> FdsSideOfFiles(const FdsSideFiles& files, std::size_t trailer);

// The disk info block's named fields in the block's order, the verification
// text among them; text: the field holds characters, not numbers.
struct FdsInfoField {
    FdsField field;
    bool text;
};
std::vector<FdsInfoField> FdsDiskInfoNamedFields();
// The runs of the block's bytes past its ID that no named field covers.
std::vector<FdsField> FdsDiskInfoUnnamedRuns();

// The side stream a side area's blocks take on a disk as the kit lays them.
std::size_t FdsSideStreamNeeded(const std::vector<std::uint8_t>& area);

// Where the last byte that is not 0x00 ends.
std::size_t FdsContentEnd(const std::vector<std::uint8_t>& bytes);

// An FDS image as it lies in a file: the header (when there is one) and
// each side's whole area; the last side perhaps cut short.
struct FdsImageParts {
    std::optional<std::array<std::uint8_t, kFdsHeaderBytes>> header;
    std::vector<std::vector<std::uint8_t>> sides;  // each a whole area
    std::size_t lastbytes = 0;                     // of the last side, in the file
};
FdsImageParts FdsImagePartsOf(const std::vector<std::uint8_t>& image);
// .qd images: sides of 65536 bytes, no header.
FdsImageParts FdsQdImagePartsOf(const std::vector<std::uint8_t>& image);
// The file of such parts: the header, then each side filled with 0x00 to
// sidebytes, the last one cut to lastbytes (unless it holds more).
std::vector<std::uint8_t> FdsImageOfParts(const FdsImageParts& parts, std::size_t sidebytes);
