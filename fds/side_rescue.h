// The tolerant reader of FDS sides, beside the exact decoder: every block it
// can find in a raw read, at any cell phase and with no blind lead-in, and
// the side rebuilt from one read or several. A block's start is a run of
// zero data bits and the start mark's one set bit; a slipped or flipped cell
// or a burst of noise in the gap before it does not hide it.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "common/dataplanes.h"
#include "common/rescue.h"

// The blocks of one read, in the order they lie, each judged by this read
// alone. A file data block takes its size only from the file header right
// before it (the header's end, then one gap); anywhere else its end is
// looked for by its CRC and the gap behind it, and it is inferred at best.
ReadScan ScanFdsRead(const DataPlanes& planes);

// Whether a read holds a disk info block that passes its CRC: the opening
// of an FDS side, found anywhere in it.
bool HoldsFdsSideStart(const DataPlanes& planes);
// Whether that block lies in the first kOpeningRawBytes of a raw read: a
// quick yes that HoldsFdsSideStart would give too.
bool FdsSideOpensEarly(const std::vector<std::uint8_t>& raw);
// The cell where the first block start after `cell` lies, at any phase, if
// any: a read that ends before its side is complete yet holds one has lost
// its blocks, not ended.
std::optional<std::size_t> NextFdsBlockStart(const DataPlanes& planes, std::size_t cell);

// How FDS blocks make a side: disk info, file amount, then a file header
// and its data for every file.
extern const RescueMedium kFdsRescue;

// Several reads of one side, each scanned here.
SideRescue RescueFdsSide(const std::vector<const std::vector<std::uint8_t>*>& reads,
                         const RescueOptions& options = {});

// The rescued side as a one-side FDS image, laid out as the decoder lays it
// out: the header, every block that has bytes, then 0x00 to a side area.
std::vector<std::uint8_t> RescuedFdsImage(const SideRescue& rescue);
