// Captures of an FDS side made with the FDSStick dumper, turned into raw
// cell images for the tolerant reader. The dumper times the intervals
// between flux transitions; an interval of n cells becomes one flux cell
// and n-1 empty ones, at whatever cell phase the capture began.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

// The ticks layout: one byte per interval, in ticks of a 6 MHz timer.
inline constexpr int kFdsCaptureTicksPerCell = 31;  // at nominal speed
// The dumper's client takes shorter intervals for glitches, and from
// kFdsCaptureBeyondTicks on for none it knows. Between, it splits short,
// medium and long at 0x50 and 0x70, halfway between 2, 3 and 4 cells of
// about 32 ticks: what rounding to a tracked cell length does too.
inline constexpr int kFdsCaptureShortestTicks = 0x30;
inline constexpr int kFdsCaptureBeyondTicks = 0xA0;

// The packed layout: four 2-bit classes a byte, the first in time in the top
// bits. A class is the interval's cells less two: short, medium, long.
inline constexpr int kFdsCaptureShortCells = 2;
inline constexpr int kFdsCaptureLongCells = 4;
inline constexpr int kFdsCaptureClassBits = 2;
inline constexpr std::uint8_t kFdsCaptureInvalidClass = 3;

// A side passes in about half a million intervals; a file of far more is no
// capture, and is not worth decoding to find out.
inline constexpr std::size_t kFdsCaptureMostIntervals = std::size_t{4} << 20;
// A capture holds at most one damaged interval in this many.
inline constexpr std::size_t kFdsCaptureDamageShare = 16;

enum class FdsCaptureLayout {
    kTicks,
    kPacked,
    kPackedLowFirst,  // the first class in the low bits, as one third-party note has it
};

// The cells of a ticks capture, read as a drive's data separator reads:
// its cell length follows the drive's speed error and wobble, and a
// transition shifted towards its neighbour, or jittered, is placed in a grid
// of cells that it barely moves, judged with the next where it lies between
// two cells.
std::vector<std::uint8_t> FdsTickCaptureCells(const std::vector<std::uint8_t>& ticks);
// The cells of a packed capture; an invalid class adds none.
std::vector<std::uint8_t> FdsPackedCaptureCells(
    const std::vector<std::uint8_t>& packed, FdsCaptureLayout layout = FdsCaptureLayout::kPacked);

struct FdsCapture {
    FdsCaptureLayout layout;
    std::vector<std::uint8_t> raw;
};

// The file as a capture, when one of the layouts gives cells that hold the
// opening of an FDS side (a disk info block that passes its CRC); none else.
std::optional<FdsCapture> ReadFdsCapture(const std::vector<std::uint8_t>& file);
