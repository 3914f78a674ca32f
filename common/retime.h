// A read sampled at another cell rate than its side was written at: a
// reader without a data separator of its own, or one clocked a little off,
// loses a cell every few hundred (or gains an empty one), so that every long
// block fails its CRC though nothing on the disk is damaged.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

// The read put back on the side's cells: each slip found where it shows
// (two flux cells together, a run of four empty cells, or a long cell in a
// gap), the rest placed by the rate that those give, and undone. None when
// the read does not show such a rate. Where a lost cell held a flux
// reversal, which of the two cells held it is not known; a block that a
// wrong guess spoils fails its CRC.
std::optional<std::vector<std::uint8_t>> RetimedRead(const std::vector<std::uint8_t>& raw);
