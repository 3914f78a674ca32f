// The tolerant reader of QD sides, beside the exact decoder: every block it
// can find in a raw read, at any cell phase and with no blind lead-in, and
// the side rebuilt from one read or several. A block's start is a sync byte
// and the ID mark; where damage took the sync bytes, the mark alone is
// looked for between the blocks found, and taken only when its block passes
// its CRC. A bad block does not stop the reading.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "common/dataplanes.h"
#include "common/rescue.h"

// The kind of the block-count block in FoundBlock and RescuedBlock; every
// other block's kind is its block type.
inline constexpr int kQdBlockCountKind = -1;

// The blocks of one read, in the order they lie, each judged by this read alone.
ReadScan ScanQdRead(const std::vector<std::uint8_t>& raw, const DataPlanes& planes);

// Whether a read holds a block-count block that passes its CRC after at
// least two sync bytes: the opening of a QD side, found anywhere in it.
bool HoldsQdSideStart(const std::vector<std::uint8_t>& raw);

// Several reads of one side, matched block by block: the block-count block,
// then the blocks it counts, an information block and a data block for each
// file. Complete when the block-count block and every block it counts are
// good or voted.
SideRescue RescueQdSide(const std::vector<const std::vector<std::uint8_t>*>& reads);
