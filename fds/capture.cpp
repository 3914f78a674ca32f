#include "fds/capture.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <utility>

#include "fds/side_rescue.h"

namespace {

// How far the tracked cell length may stray from nominal: well beyond a
// drive's wander, short of taking one class for the next.
constexpr double kMostDrift = 0.15;
// Only an interval this close to whole cells moves the cell length.
constexpr double kSureCells = 0.25;
// The share of the way each sure interval moves the cell length towards its
// own: slow enough to ride over jitter, quick enough for a drive's wander.
constexpr double kFollow = 1.0 / 32;
// A damaged interval becomes at most this many cells.
constexpr int kMostCells = 8;

constexpr int kClassesPerByte = 8 / kFdsCaptureClassBits;
constexpr unsigned kClassMask = (1u << kFdsCaptureClassBits) - 1;

// The raw image, one interval after the other.
class CellWriter {
public:
    explicit CellWriter(std::size_t intervals) { m_raw.reserve(intervals * 3 / 8 + 1); }

    void Interval(int cells) {
        m_raw.resize((m_cells + static_cast<std::size_t>(cells) + 7) / 8, 0);
        m_raw[m_cells / 8] |= static_cast<std::uint8_t>(1u << (m_cells % 8));
        m_cells += static_cast<std::size_t>(cells);
    }
    std::vector<std::uint8_t> Take() { return std::move(m_raw); }

private:
    std::vector<std::uint8_t> m_raw;
    std::size_t m_cells = 0;
};

// The class of a byte's k-th interval in time.
unsigned ClassAt(std::uint8_t byte, int k, FdsCaptureLayout layout) {
    const int place = layout == FdsCaptureLayout::kPackedLowFirst ? k : kClassesPerByte - 1 - k;
    return (byte >> (kFdsCaptureClassBits * place)) & kClassMask;
}

// Whether the file is short enough and nearly every byte could be intervals
// of the layout: cheap, and enough to pass over most files that are no
// capture without decoding them.
bool Plausible(FdsCaptureLayout layout, const std::array<std::size_t, 256>& histogram,
               std::size_t bytes) {
    std::size_t damaged = 0, intervals = bytes;
    if (layout == FdsCaptureLayout::kTicks) {
        for (std::size_t b = 0; b < histogram.size(); ++b) {
            if (b < kFdsCaptureShortestTicks || b >= kFdsCaptureBeyondTicks)
                damaged += histogram[b];
        }
    } else {
        intervals *= kClassesPerByte;
        for (std::size_t b = 0; b < histogram.size(); ++b) {
            for (int k = 0; k < kClassesPerByte; ++k) {
                if (ClassAt(static_cast<std::uint8_t>(b), k, layout) == kFdsCaptureInvalidClass)
                    damaged += histogram[b];
            }
        }
    }
    return intervals <= kFdsCaptureMostIntervals && damaged * kFdsCaptureDamageShare <= intervals;
}

}  // namespace

std::vector<std::uint8_t> FdsTickCaptureCells(const std::vector<std::uint8_t>& ticks) {
    const double nominal = kFdsCaptureTicksPerCell;
    double cell = nominal;
    int carried = 0;  // a glitch's ticks, joining the next interval's
    CellWriter writer(ticks.size());
    for (const std::uint8_t byte : ticks) {
        const int length = carried + byte;
        if (length < kFdsCaptureShortestTicks) {
            carried = length;
            continue;
        }
        carried = 0;
        const double cells = length / cell;
        const int n = std::min(kMostCells, static_cast<int>(std::lround(cells)));
        if (n >= kFdsCaptureShortCells && n <= kFdsCaptureLongCells &&
            std::fabs(cells - n) <= kSureCells) {
            cell += (length / static_cast<double>(n) - cell) * kFollow;
            cell = std::clamp(cell, nominal * (1 - kMostDrift), nominal * (1 + kMostDrift));
        }
        writer.Interval(n);
    }
    return writer.Take();
}

std::vector<std::uint8_t> FdsPackedCaptureCells(const std::vector<std::uint8_t>& packed,
                                                FdsCaptureLayout layout) {
    CellWriter writer(packed.size() * kClassesPerByte);
    for (const std::uint8_t byte : packed) {
        for (int k = 0; k < kClassesPerByte; ++k) {
            const unsigned code = ClassAt(byte, k, layout);
            // Its length unknown, an invalid class is left to the CRC of the
            // block it falls in.
            if (code != kFdsCaptureInvalidClass)
                writer.Interval(kFdsCaptureShortCells + static_cast<int>(code));
        }
    }
    return writer.Take();
}

std::optional<FdsCapture> ReadFdsCapture(const std::vector<std::uint8_t>& file) {
    if (file.empty() || file.size() > kFdsCaptureMostIntervals) return std::nullopt;
    std::array<std::size_t, 256> histogram{};
    for (const std::uint8_t byte : file) ++histogram[byte];
    for (const FdsCaptureLayout layout :
         {FdsCaptureLayout::kTicks, FdsCaptureLayout::kPacked, FdsCaptureLayout::kPackedLowFirst}) {
        if (!Plausible(layout, histogram, file.size())) continue;
        FdsCapture capture{layout, layout == FdsCaptureLayout::kTicks
                                       ? FdsTickCaptureCells(file)
                                       : FdsPackedCaptureCells(file, layout)};
        if (HoldsFdsSideStart(capture.raw)) return capture;
    }
    return std::nullopt;
}
