#include "fds/capture.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <utility>

#include "fds/side_rescue.h"

namespace {

// How far the tracked cell length may stray from nominal: beyond a drive's
// error and wobble with a worn belt slipping on top, short of taking one
// class for the next.
constexpr double kMostDrift = 0.2;
// The capture's first intervals, whose best fitting cell length the loop
// starts from, and the steps in ticks in which it is sought.
constexpr std::size_t kAcquireIntervals = 512;
constexpr double kAcquireStep = 0.1;
// An interval that no MFM interval fits counts as a whole cell off.
constexpr double kNoMfmMisfit = 1.0;
// A transition this far from the nearest whole cell is placed with the next
// transition's help.
constexpr double kSureCells = 0.3;
// The share of a transition's distance from its cell that moves the grid,
// and the share (per cell) that moves the cell length: a loop quick enough
// for a drive's wobble and a slipping belt, and slow enough that one
// shifted transition barely moves it.
constexpr double kPhaseGain = 0.1;
constexpr double kFrequencyGain = 0.015;
// The share by which each transition's misfit moves the average of its view.
constexpr double kMisfitWeight = 1.0 / 64;
// A transition less than a cell after the last is a glitch: no shift brings
// two real ones that close.
constexpr double kGlitchCells = 1.0;
// A damaged interval becomes at most this many cells.
constexpr int kMostCells = 8;

constexpr int kClassesPerByte = 8 / kFdsCaptureClassBits;
constexpr unsigned kClassMask = (1u << kFdsCaptureClassBits) - 1;

// The raw image, one interval after the other.
class CellWriter {
public:
    // Room for every interval at its longest, trimmed when taken.
    explicit CellWriter(std::size_t intervals) : m_raw(intervals * kMostCells / 8 + 1, 0) {}

    void Interval(int cells) {
        m_raw[m_cells / 8] |= static_cast<std::uint8_t>(1u << (m_cells % 8));
        m_cells += static_cast<std::size_t>(std::min(cells, kMostCells));
    }
    std::vector<std::uint8_t> Take() {
        m_raw.resize((m_cells + 7) / 8);
        return std::move(m_raw);
    }

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

// The whole number nearest a count of cells that is never negative.
int Nearest(double cells) {
    return static_cast<int>(cells + 0.5);
}

bool MfmInterval(int cells) {
    return cells >= kFdsCaptureShortCells && cells <= kFdsCaptureLongCells;
}

// The cell length in ticks that puts the capture's first intervals nearest
// whole MFM intervals: the loop starts locked to a drive well off speed.
double FirstCell(const std::vector<std::uint8_t>& ticks) {
    const double nominal = kFdsCaptureTicksPerCell;
    double best = nominal, least = std::numeric_limits<double>::infinity();
    for (double cell = nominal * (1 - kMostDrift); cell <= nominal * (1 + kMostDrift);
         cell += kAcquireStep) {
        double misfit = 0;
        for (std::size_t i = 0; i < ticks.size() && i < kAcquireIntervals; ++i) {
            const double x = ticks[i] / cell;
            const double n = std::round(x);
            misfit += (x - n) * (x - n) + (MfmInterval(static_cast<int>(n)) ? 0 : kNoMfmMisfit);
        }
        if (misfit < least) {
            least = misfit;
            best = cell;
        }
    }
    return best;
}

// A drive's data separator in ticks, with two views of where a transition
// falls: from a grid of cells that follows the drive's speed, which one
// transition's jitter or shift towards its neighbour barely moves; and from
// the last transition, as its interval alone tells. The view that has lately
// fitted whole cells better decides: the grid's where transitions move on
// their own, the interval's where the timing of each interval errs on its
// own.
class Separator {
public:
    explicit Separator(double cell) : m_cell(cell), m_percell(1 / cell) {}

    // The cells from the last transition to one `ticks` after it, `next`
    // ticks before the following one (0: none); 0 for a glitch, whose ticks
    // join the next interval.
    int Interval(int ticks, int next) {
        m_grid += ticks;
        m_alone += ticks;
        const bool bygrid = m_gridmisfit <= m_alonemisfit;
        const double x = (bygrid ? m_grid : m_alone) * m_percell;
        if (x < kGlitchCells) return 0;
        int n = std::min(kMostCells, Nearest(x));
        const bool sure = std::fabs(x - n) <= kSureCells && MfmInterval(n);
        if (!sure && next > 0) n = std::min(kMostCells, SplitPair(x, x + next * m_percell));
        if (n == 0) return 0;
        if (sure && n == kFdsCaptureLongCells) m_dataparity = static_cast<int>(m_at & 1);
        m_at += n;
        Follow(n, sure, bygrid);
        return n;
    }

private:
    // Four cells apart lie only two data cells' flux: a clock cell's flux
    // four from another's would set the clock between them.
    //   data bits 1 0 1 -> cells 01 00 01
    bool Allows(long long at, int n) const {
        return n != kFdsCaptureLongCells || m_dataparity < 0 || (at & 1) == m_dataparity;
    }

    // A transition between two whole cells, x cells on, judged with the
    // next, after cells on: the pair's sum holds where a shift moved one
    // transition. Of the two cells, the one that keeps both intervals within
    // the MFM rule; none (0) for a transition too early to be one, where
    // only the pair's sum keeps the rule: a glitch; else the nearer.
    int SplitPair(double x, double after) const {
        const int nearer = Nearest(x);
        const int other = x < nearer ? nearer - 1 : nearer + 1;
        const int total = Nearest(after);
        const auto fits = [&](int n) {
            return MfmInterval(n) && MfmInterval(total - n) && Allows(m_at, n) &&
                   Allows(m_at + n, total - n);
        };
        if (fits(nearer)) return nearer;
        if (fits(other)) return other;
        const bool glitch =
            nearer < kFdsCaptureShortCells && MfmInterval(total) && Allows(m_at, total);
        return glitch ? 0 : nearer;
    }

    // Both views, their misfits and the cell length moved towards where
    // the transition fell, n cells on.
    void Follow(int n, bool sure, bool bygrid) {
        const auto misfit = [&](double since) {
            const double off = since * m_percell - n;
            return off * off;
        };
        m_gridmisfit += (misfit(m_grid) - m_gridmisfit) * kMisfitWeight;
        m_alonemisfit += (misfit(m_alone) - m_alonemisfit) * kMisfitWeight;
        const auto error = [&](double since) {
            return std::clamp(since - n * m_cell, -m_cell / 2, m_cell / 2);
        };
        const double grid = error(m_grid), alone = error(m_alone);
        const double nominal = kFdsCaptureTicksPerCell;
        m_cell += kFrequencyGain * (bygrid ? grid : alone) / n;
        m_cell = std::clamp(m_cell, nominal * (1 - kMostDrift), nominal * (1 + kMostDrift));
        // One Newton step keeps the inverse, the length having moved by a hair.
        m_percell *= 2 - m_cell * m_percell;
        m_grid = grid * (1 - kPhaseGain);
        // An interval judged with the next hands it what it took or gave.
        m_alone = sure ? 0 : alone;
    }

    double m_cell;
    double m_percell;    // its inverse: a multiplication where a division costs ten
    double m_grid = 0;   // ticks from the last transition's cell in the grid
    double m_alone = 0;  // ticks from the last transition, or from its cell after a pair
    double m_gridmisfit = 0, m_alonemisfit = 0;  // each view's lately squared miss, in cells
    long long m_at = 0;                          // the last transition's cell
    int m_dataparity = -1;  // which cells hold data bits, even (0) or odd (1); -1 unknown
};

}  // namespace

std::vector<std::uint8_t> FdsTickCaptureCells(const std::vector<std::uint8_t>& ticks) {
    Separator separator(FirstCell(ticks));
    CellWriter writer(ticks.size());
    for (std::size_t i = 0; i < ticks.size(); ++i) {
        const int next = i + 1 < ticks.size() ? ticks[i + 1] : 0;
        if (const int n = separator.Interval(ticks[i], next)) writer.Interval(n);
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
        if (HoldsFdsSideStart(DataPlanes(capture.raw))) return capture;
    }
    return std::nullopt;
}
