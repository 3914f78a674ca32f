#include "common/retime.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cmath>
#include <cstddef>

#include "common/dataplanes.h"
#include "common/littleendian.h"

namespace {

// A slip as the read shows it: the cell it lost or gained lies in
// [low, high].
struct Sighting {
    long long low;
    long long high;
    int sign;  // +1 a cell gained, -1 one lost
    double Middle() const { return 0.5 * static_cast<double>(low + high); }
};

// A sighting with its number among the slips, counted along the read.
struct Numbered {
    long long slip;
    const Sighting* seen;
};

// Valid intervals before and after a sighting: a slip stands alone, where
// noise breaks the MFM rule every few cells.
constexpr int kCleanAround = 8;
// Fewer numbered sightings than this tell no rate.
constexpr std::size_t kLeastSightings = 16;
// A sighting further than this from where the rate puts a slip is not one.
constexpr double kMostOff = 4;
// The rate is taken along the read over this many sightings at a time, so
// that one that drifts slowly is followed.
constexpr std::size_t kFitSightings = 64;
// The slips between this many numbered sightings are placed by them and by
// half as many on either side.
constexpr std::size_t kChunk = 32;

bool Valid(long long interval) {
    return interval >= 2 && interval <= 4;
}

// A raw image's cells, 64 at a time from any cell.
class CellView {
public:
    explicit CellView(const std::vector<std::uint8_t>& raw)
        : m_raw(raw), m_cells(static_cast<long long>(raw.size()) * 8) {}
    long long cells() const { return m_cells; }
    bool At(long long cell) const {
        return cell >= 0 && cell < m_cells &&
               ((m_raw[static_cast<std::size_t>(cell / 8)] >> (cell % 8)) & 1u);
    }
    // Cells [at, at + 64), the first in bit 0; cells outside the image are 0.
    std::uint64_t Word(long long at) const {
        if (at >= 0 && at + 72 <= m_cells)
            return Le64(&m_raw[static_cast<std::size_t>(at / 8)]) >> (at % 8) |
                   (at % 8 ? std::uint64_t{m_raw[static_cast<std::size_t>(at / 8) + 8]}
                                 << (64 - at % 8)
                           : 0);
        std::uint64_t word = 0;
        for (int k = 0; k < 64; ++k)
            if (At(at + k)) word |= std::uint64_t{1} << k;
        return word;
    }

private:
    const std::vector<std::uint8_t>& m_raw;
    long long m_cells;
};

// Cells where the next one is the same: none in a gap, whose flux cells
// alternate with empty ones.
std::uint64_t Alike(const CellView& view, long long at) {
    const std::uint64_t cells = view.Word(at);
    return ~(cells ^ (cells >> 1 | view.Word(at + 64) << 63));
}

// The sighting of a slip whose cells break the rule at `cell`, if the
// intervals around it keep it: two flux cells together is a lost cell, an
// interval of 5 a gained one, and so is a lone interval of 3 in a gap
// (`ingap`).
std::optional<Sighting> Sighted(const CellView& view, long long cell, bool ingap) {
    constexpr long long kReach = 48;
    std::array<long long, 128> flux{};
    std::size_t count = 0;
    for (long long at = cell - kReach; at < cell + kReach; at += 64)
        for (std::uint64_t cells = view.Word(at); cells != 0; cells &= cells - 1)
            flux[count++] = at + LowestBit(cells);
    std::size_t k = 0;
    while (k + 1 < count && flux[k + 1] <= cell) ++k;
    if (k < kCleanAround || k + 1 + kCleanAround >= count || flux[k] > cell) return std::nullopt;
    for (std::size_t j = k - kCleanAround; j <= k + kCleanAround; ++j)
        if (j != k && !Valid(flux[j + 1] - flux[j])) return std::nullopt;
    const long long t = flux[k], d = flux[k + 1] - flux[k];
    if (d == 1) return Sighting{t, t + 1, -1};
    if (d == 5) return Sighting{t + 1, t + 4, +1};
    if (d == 3 && ingap) return Sighting{t + 1, t + 2, +1};
    return std::nullopt;
}

// Every slip the read shows, in order: where two flux cells lie together or
// four empty cells follow one another, or a lone pair of empty cells breaks
// a long gap.
std::vector<Sighting> Sightings(const CellView& view) {
    std::vector<Sighting> seen;
    long long past = -1;  // cells before this are judged
    std::uint64_t alikebefore = ~std::uint64_t{0}, alike = Alike(view, 0);
    for (long long at = 0; at < view.cells(); at += 64) {
        const std::uint64_t cells = view.Word(at), next = view.Word(at + 64);
        const std::uint64_t alikeafter = Alike(view, at + 64);
        const std::uint64_t one = cells >> 1 | next << 63, two = cells >> 2 | next << 62,
                            three = cells >> 3 | next << 61;
        std::uint64_t odd = (cells & one) | ~(cells | one | two | three);
        // A lone pair of empty cells in a long gap.
        const bool gap = alikebefore == 0 && alikeafter == 0 && alike != 0 &&
                         (alike & (alike - 1)) == 0 && (cells & alike) == 0;
        if (gap) odd |= alike;
        for (; odd != 0; odd &= odd - 1) {
            const long long cell = at + LowestBit(odd);
            if (cell < past) continue;
            const bool lone = gap && (std::uint64_t{1} << LowestBit(odd)) == alike;
            if (std::optional<Sighting> sighting = Sighted(view, cell, lone)) {
                seen.push_back(*sighting);
                past = sighting->high + 1;
            }
        }
        alikebefore = alike;
        alike = alikeafter;
    }
    return seen;
}

// The cells between neighbouring slips: spacings of neighbouring
// sightings are whole numbers of it, and the shortest are one.
double FirstSpacing(const std::vector<Sighting>& seen) {
    std::vector<double> spacing;
    for (std::size_t k = 1; k < seen.size(); ++k)
        spacing.push_back(seen[k].Middle() - seen[k - 1].Middle());
    std::sort(spacing.begin(), spacing.end());
    const double guess = spacing[spacing.size() / 10];
    if (guess < 1) return 0;
    double cells = 0, slips = 0;
    for (double d : spacing) {
        const double whole = std::round(d / guess);
        if (whole < 1 || whole > 8 || std::fabs(d - whole * guess) > 0.05 * guess + 2) continue;
        cells += d;
        slips += whole;
    }
    return slips > 0 ? cells / slips : 0;
}

struct Line {
    double spacing;  // cells a slip
    double at;       // the cell of slip 0
    double Cell(long long slip) const { return at + spacing * static_cast<double>(slip); }
};

// The least squares line through numbered sightings [from, to).
Line Fitted(const std::vector<Numbered>& numbered, std::size_t from, std::size_t to, Line was) {
    double sm = 0, sx = 0, smm = 0, smx = 0;
    const auto count = static_cast<double>(to - from);
    const double base = static_cast<double>(numbered[from].slip);
    for (std::size_t k = from; k < to; ++k) {
        const double m = static_cast<double>(numbered[k].slip) - base;
        const double x = numbered[k].seen->Middle();
        sm += m;
        sx += x;
        smm += m * m;
        smx += m * x;
    }
    const double det = count * smm - sm * sm;
    if (count < 3 || det <= 0) return was;
    const double spacing = (count * smx - sm * sx) / det;
    return {spacing, (sx - spacing * sm) / count - spacing * base};
}

// Each sighting numbered by the line fitted to those before it; one that
// lies off every slip's place is left out.
std::vector<Numbered> Numbering(const std::vector<Sighting>& seen, double spacing) {
    std::vector<Numbered> numbered{{0, &seen.front()}};
    Line line{spacing, seen.front().Middle()};
    for (std::size_t k = 1; k < seen.size(); ++k) {
        const double x = seen[k].Middle();
        const long long slip = std::llround((x - line.at) / line.spacing);
        if (slip <= numbered.back().slip || std::fabs(x - line.Cell(slip)) > kMostOff) continue;
        numbered.push_back({slip, &seen[k]});
        const std::size_t from =
            numbered.size() > kFitSightings ? numbered.size() - kFitSightings : 0;
        line = Fitted(numbered, from, numbered.size(), line);
    }
    return numbered;
}

// The slips' cells are floor(at + spacing * slip) for the rate in force:
// with the least squares spacing, the start that puts the most sightings
// of [from, to) inside their cells (a reader's own rounding may put one a
// cell off), in the middle of the starts that do as well.
Line Exact(const std::vector<Numbered>& numbered, std::size_t from, std::size_t to, Line rough) {
    std::vector<std::pair<double, int>> edges;
    for (std::size_t k = from; k < to; ++k) {
        const double shift = rough.spacing * static_cast<double>(numbered[k].slip);
        edges.push_back({static_cast<double>(numbered[k].seen->low) - shift, +1});
        edges.push_back({static_cast<double>(numbered[k].seen->high + 1) - shift, -1});
    }
    std::sort(edges.begin(), edges.end());
    int inside = 0, most = 0;
    double first = rough.at, last = rough.at;
    for (std::size_t k = 0; k + 1 < edges.size(); ++k) {
        inside += edges[k].second;
        if (inside > most) {
            most = inside;
            first = edges[k].first;
            last = edges[k + 1].first;
        } else if (inside == most && edges[k].first == last) {
            last = edges[k + 1].first;
        }
    }
    return {rough.spacing, 0.5 * (first + last)};
}

// Every slip's cell in the read, in order.
std::vector<long long> SlipCells(const std::vector<Numbered>& numbered, long long cells) {
    std::vector<long long> slips;
    for (std::size_t first = 0; first < numbered.size(); first += kChunk) {
        const std::size_t last = std::min(numbered.size(), first + kChunk);
        const std::size_t from = first > kChunk / 2 ? first - kChunk / 2 : 0;
        const std::size_t to = std::min(numbered.size(), last + kChunk / 2);
        const Line line = Exact(numbered, from, to, Fitted(numbered, from, to, {0, 0}));
        if (line.spacing < 1) continue;
        long long slip = numbered[first].slip;
        if (first == 0)
            slip -= static_cast<long long>(std::ceil(line.Cell(slip) / line.spacing)) + 1;
        const long long end = last < numbered.size() ? numbered[last].slip : LLONG_MAX;
        for (; slip < end; ++slip) {
            const auto cell = static_cast<long long>(std::floor(line.Cell(slip)));
            if (cell >= cells) break;
            if (cell >= 0 && (slips.empty() || cell > slips.back())) slips.push_back(cell);
        }
    }
    return slips;
}

// Cells written one after another, 64 to a word.
class CellWriter {
public:
    long long size() const { return m_size; }
    void Put(std::uint64_t cells, int count) {
        const auto word = static_cast<std::size_t>(m_size / 64);
        const int shift = static_cast<int>(m_size % 64);
        if (m_words.size() < word + 2) m_words.resize(word + 2 + m_words.size() / 2, 0);
        if (count < 64) cells &= (std::uint64_t{1} << count) - 1;
        m_words[word] |= cells << shift;
        if (shift != 0) m_words[word + 1] |= cells >> (64 - shift);
        m_size += count;
    }
    void Copy(const CellView& view, long long from, long long to) {
        for (; from < to; from += 32)
            Put(view.Word(from), static_cast<int>(std::min<long long>(32, to - from)));
    }
    bool Last() const { return m_size > 0 && At(m_size - 1); }
    void DropLast() { --m_size; }  // an empty cell
    // The last flux cell, within 64 cells of the end (-64 where none).
    long long LastFlux() const {
        for (long long cell = m_size - 1; cell >= 0 && cell >= m_size - 64; --cell)
            if (At(cell)) return cell;
        return m_size - 128;
    }
    std::vector<std::uint8_t> Bytes() const {
        std::vector<std::uint8_t> bytes(static_cast<std::size_t>((m_size + 7) / 8), 0);
        for (std::size_t k = 0; k < bytes.size(); ++k)
            bytes[k] = static_cast<std::uint8_t>(m_words[k / 8] >> (8 * (k % 8)));
        if (m_size % 8) bytes.back() &= static_cast<std::uint8_t>((1u << (m_size % 8)) - 1);
        return bytes;
    }

private:
    bool At(long long cell) const {
        return (m_words[static_cast<std::size_t>(cell / 64)] >> (cell % 64)) & 1u;
    }
    std::vector<std::uint64_t> m_words;
    long long m_size = 0;
};

// Which cells of the mended read are clocks: those the flux cells of the
// first stretch of gap take (-1: none seen).
int ClockParity(const CellView& view, const std::vector<long long>& slips) {
    for (long long at = 0; at + 64 < view.cells(); at += 64) {
        const std::uint64_t cells = view.Word(at);
        if (cells == 0 || Alike(view, at) != 0) continue;
        const long long flux = at + LowestBit(cells);
        const auto before = std::lower_bound(slips.begin(), slips.end(), flux) - slips.begin();
        return static_cast<int>((flux + before) & 1);
    }
    return -1;
}

// The cells with each slip undone: a gained empty cell left out, a lost
// one put back beside the cell that took it.
std::vector<std::uint8_t> Undone(const CellView& view, const std::vector<long long>& slips,
                                 int sign) {
    const int clock = ClockParity(view, slips);
    // Whether a flux cell there keeps the MFM rule with its neighbours: a
    // run of three empty cells lies between two data cells.
    const auto fits = [&](long long before, long long flux, long long after) {
        if (!Valid(flux - before) || !Valid(after - flux)) return false;
        if (clock < 0) return true;
        const auto data = [&](long long cell) { return (cell & 1) != clock; };
        return (flux - before != 4 || (data(before) && data(flux))) &&
               (after - flux != 4 || (data(flux) && data(after)));
    };
    CellWriter out;
    long long from = 0;
    for (long long slip : slips) {
        if (slip < from) continue;
        out.Copy(view, from, slip);
        from = slip + 1;
        const bool flux = view.At(slip);
        if (sign > 0) {
            // The gained cell is empty; next to a flux cell, the empty one beside it.
            if (!flux) continue;
            if (!out.Last() && out.size() > 0) {
                out.DropLast();
            } else if (!view.At(from)) {
                ++from;
            }
            out.Put(1, 1);
            continue;
        }
        if (!flux) {
            out.Put(0, 2);
            continue;
        }
        // Which of the two cells held the reversal: the one that keeps the
        // MFM rule, the first where both do.
        const std::uint64_t ahead = view.Word(from);
        const long long next = out.size() + 2 + (ahead == 0 ? 64 : LowestBit(ahead));
        const long long before = out.LastFlux();
        const bool first = fits(before, out.size(), next);
        const bool second = fits(before, out.size() + 1, next);
        out.Put(first || !second ? 1 : 2, 2);
    }
    out.Copy(view, from, view.cells());
    return out.Bytes();
}

}  // namespace

std::optional<std::vector<std::uint8_t>> RetimedRead(const std::vector<std::uint8_t>& raw) {
    const CellView view(raw);
    std::vector<Sighting> seen = Sightings(view);
    long balance = 0;
    for (const Sighting& s : seen) balance += s.sign;
    const int sign = balance > 0 ? +1 : -1;
    seen.erase(
        std::remove_if(seen.begin(), seen.end(), [&](const Sighting& s) { return s.sign != sign; }),
        seen.end());
    if (seen.size() < kLeastSightings) return std::nullopt;
    const double spacing = FirstSpacing(seen);
    if (spacing < 2 * kCleanAround) return std::nullopt;
    const std::vector<Numbered> numbered = Numbering(seen, spacing);
    if (numbered.size() < kLeastSightings) return std::nullopt;
    const std::vector<long long> slips = SlipCells(numbered, view.cells());
    if (slips.empty()) return std::nullopt;
    return Undone(view, slips, sign);
}
