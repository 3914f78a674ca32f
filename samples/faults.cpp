#include "samples/faults.h"

#include <algorithm>
#include <cmath>

namespace {

std::vector<std::uint8_t> Unpack(const ByteVector& raw) {
    std::vector<std::uint8_t> cells(raw.size() * 8);
    for (std::size_t i = 0; i < cells.size(); ++i) cells[i] = (raw[i / 8] >> (i % 8)) & 1u;
    return cells;
}

ByteVector Pack(const std::vector<std::uint8_t>& cells) {
    ByteVector raw((cells.size() + 7) / 8, 0);
    for (std::size_t i = 0; i < cells.size(); ++i) {
        if (cells[i]) raw[i / 8] |= static_cast<std::uint8_t>(1u << (i % 8));
    }
    return raw;
}

std::vector<std::uint8_t> RandomCells(std::size_t n, std::mt19937& rng) {
    std::vector<std::uint8_t> cells(n);
    for (std::uint8_t& cell : cells) cell = static_cast<std::uint8_t>(rng() & 1u);
    return cells;
}

// The lengths, in cells, of the intervals between flux cells.
std::vector<int> Intervals(const ByteVector& raw) {
    std::vector<int> intervals;
    int run = 0;
    for (std::uint8_t cell : Unpack(raw)) {
        ++run;
        if (cell == 0) continue;
        intervals.push_back(run);
        run = 0;
    }
    return intervals;
}

}  // namespace

DamagedRead Damage(const ByteVector& raw, std::vector<Fault> faults, std::mt19937& rng) {
    std::vector<std::uint8_t> cells = Unpack(raw);
    DamagedRead read;
    // From the last place to the first, so that each stays where it was.
    std::stable_sort(faults.begin(), faults.end(),
                     [](const Fault& a, const Fault& b) { return a.at > b.at; });
    std::size_t late = 0, cut = cells.size(), noise = 0;
    for (const Fault& fault : faults) {
        const std::size_t at = std::min(fault.at, cells.size());
        const auto here = cells.begin() + static_cast<std::ptrdiff_t>(at);
        switch (fault.kind) {
            case Fault::kSlip:
                if (at < cells.size()) cells.erase(here);
                read.touched.push_back({at, at + 1});
                break;
            case Fault::kExtraCell:
                cells.insert(here, 0);
                read.touched.push_back({at, at + 1});
                break;
            case Fault::kFlip:
                if (at < cells.size()) cells[at] ^= 1u;
                read.touched.push_back({at, at + 1});
                break;
            case Fault::kBurst: {
                const std::size_t end = std::min(cells.size(), at + fault.length);
                const std::vector<std::uint8_t> random = RandomCells(end - at, rng);
                std::copy(random.begin(), random.end(), here);
                read.touched.push_back({at, end});
                break;
            }
            case Fault::kDrift: {
                const std::size_t step = static_cast<std::size_t>(std::labs(fault.every));
                const std::size_t end = std::min(cells.size(), at + fault.length);
                for (std::size_t p = end; p >= at + step && step > 0; p -= step) {
                    const auto place = cells.begin() + static_cast<std::ptrdiff_t>(p - step);
                    if (fault.every > 0) {
                        cells.erase(place);
                    } else {
                        cells.insert(place, 0);
                    }
                }
                read.touched.push_back({at, end});
                break;
            }
            case Fault::kNoiseBefore:
                noise = fault.length;
                break;
            case Fault::kLateStart:
                late = fault.length;
                read.touched.push_back({0, fault.length});
                break;
            case Fault::kCutShort:
                cut = fault.length;
                read.touched.push_back({fault.length, raw.size() * 8});
                break;
        }
    }
    if (cut < cells.size()) cells.resize(cut);
    cells.erase(cells.begin(),
                cells.begin() + static_cast<std::ptrdiff_t>(std::min(late, cells.size())));
    const std::vector<std::uint8_t> before = RandomCells(noise, rng);
    cells.insert(cells.begin(), before.begin(), before.end());
    read.raw = Pack(cells);
    return read;
}

ByteVector TickCapture(const ByteVector& raw, double wander, int jitter, std::mt19937& rng) {
    const std::vector<int> intervals = Intervals(raw);
    ByteVector ticks;
    ticks.reserve(intervals.size());
    std::uniform_int_distribution<int> shake(-jitter, jitter);
    const double pi = std::acos(-1.0);
    for (std::size_t i = 0; i < intervals.size(); ++i) {
        // The speed swings slowly, a few times over the side.
        const double phase =
            6 * pi * static_cast<double>(i) / static_cast<double>(intervals.size());
        const double cell = 31.0 * (1.0 + wander * std::sin(phase));
        const long value = std::lround(intervals[i] * cell) + shake(rng);
        ticks.push_back(static_cast<std::uint8_t>(std::clamp<long>(value, 1, 255)));
    }
    return ticks;
}

ByteVector PackedCapture(const ByteVector& raw) {
    const std::vector<int> intervals = Intervals(raw);
    ByteVector packed((intervals.size() + 3) / 4, 0);
    for (std::size_t i = 0; i < intervals.size(); ++i) {
        const int cells = intervals[i];
        const int code = cells >= 2 && cells <= 4 ? cells - 2 : 3;
        packed[i / 4] |= static_cast<std::uint8_t>(code << (6 - 2 * (i % 4)));
    }
    return packed;
}
