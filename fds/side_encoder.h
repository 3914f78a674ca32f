// The encoding of one FDS side, from an image's side area.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "common/bitstream.h"
#include "common/crc16.h"

enum class FdsSideStatus { kOk, kEndOfImage, kUnknownId, kSizeOver };

struct FdsSideResult {
    FdsSideStatus status;
    std::uint8_t id;  // the offending byte, for kUnknownId
};

// What a side whose file amount block announces more files than follow
// gives: an error, or a side that ends where the blocks do, as on the disk.
enum class MissingFiles { kError, kEndSide };

// Lays out the side whose blocks begin at offset into stream: a whole side
// stream on success. The walk ends at the first byte that is no block ID once the
// announced files are in; it never reads past fdsbuffer.
FdsSideResult BuildFdsSide(const std::vector<std::uint8_t>& fdsbuffer, std::size_t offset,
                           std::vector<std::uint8_t>& stream, Crc16& crc,
                           MissingFiles missing = MissingFiles::kError);

// BuildFdsSide, then on success the side's cells into writer.bitstreambuffer.
FdsSideResult EncodeFdsSide(const std::vector<std::uint8_t>& fdsbuffer, std::size_t offset,
                            std::vector<std::uint8_t>& stream, Crc16& crc, BitWriter& writer,
                            MissingFiles missing = MissingFiles::kError);

// What the kit's encoder writes for a side area, with a fresh writer; none
// when the blocks do not fit on a side.
std::optional<std::vector<std::uint8_t>> CanonicalFdsRaw(const std::vector<std::uint8_t>& area);

// A raw side against CanonicalFdsRaw(area), without making it whole.
CellComparison CompareWithCanonicalFds(const std::vector<std::uint8_t>& raw,
                                       const std::vector<std::uint8_t>& area);
