#include "samples/faults.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <utility>

#include "fds/capture.h"

namespace {

std::vector<std::uint8_t> Unpack(const ByteVector& raw) {
    std::vector<std::uint8_t> cells(raw.size() * 8);
    for (std::size_t byte = 0; byte < raw.size(); ++byte) {
        for (int bit = 0; bit < 8; ++bit) cells[byte * 8 + bit] = (raw[byte] >> bit) & 1u;
    }
    return cells;
}

// Cells are 0 or 1.
ByteVector Pack(const std::vector<std::uint8_t>& cells) {
    ByteVector raw((cells.size() + 7) / 8, 0);
    for (std::size_t i = 0; i < cells.size(); ++i)
        raw[i / 8] |= static_cast<std::uint8_t>(cells[i] << (i % 8));
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

// One cell dropped (or an empty one added before it, every negative) every
// |every| cells of [at, end), counted back from its end.
void Drift(std::vector<std::uint8_t>& cells, std::size_t at, std::size_t end, long every) {
    const std::size_t step = static_cast<std::size_t>(std::labs(every));
    if (step == 0 || end < at + step) return;
    std::vector<std::uint8_t> drifted(cells.begin(),
                                      cells.begin() + static_cast<std::ptrdiff_t>(at));
    drifted.reserve(cells.size() + (end - at) / step);
    for (std::size_t q = at; q < cells.size(); ++q) {
        const bool here = q + step <= end && (end - q) % step == 0;
        if (here && every < 0) drifted.push_back(0);
        if (!here || every < 0) drifted.push_back(cells[q]);
    }
    cells = std::move(drifted);
}

// Each flux cell moved to where it falls at another cell rate; two that fall
// in one cell are one, as a sampler sees them.
std::vector<std::uint8_t> Resampled(const std::vector<std::uint8_t>& cells, long every) {
    if (every == 0) return cells;
    const double scale = 1.0 - 1.0 / static_cast<double>(every);
    std::vector<std::uint8_t> out(
        static_cast<std::size_t>(std::lround(static_cast<double>(cells.size()) * scale)), 0);
    for (std::size_t i = 0; i < cells.size(); ++i) {
        const auto at = static_cast<std::size_t>((static_cast<double>(i) + 0.5) * scale);
        if (cells[i] && at < out.size()) out[at] = 1;
    }
    return out;
}

// The faults at a place in the read's cells; false for one that shapes the
// whole read instead.
bool DamageAt(const Fault& fault, std::vector<std::uint8_t>& cells, std::mt19937& rng,
              std::vector<Touched>& touched) {
    const std::size_t at = std::min(fault.at, cells.size());
    const auto here = cells.begin() + static_cast<std::ptrdiff_t>(at);
    const std::size_t end = std::min(cells.size(), at + fault.length);
    const auto there = cells.begin() + static_cast<std::ptrdiff_t>(end);
    switch (fault.kind) {
        case Fault::kSlip:
            if (at < cells.size()) cells.erase(here);
            touched.push_back({at, at + 1});
            return true;
        case Fault::kExtraCell:
            cells.insert(here, 0);
            touched.push_back({at, at + 1});
            return true;
        case Fault::kFlip:
            if (at < cells.size()) cells[at] ^= 1u;
            touched.push_back({at, at + 1});
            return true;
        case Fault::kBurst: {
            const std::vector<std::uint8_t> random = RandomCells(end - at, rng);
            std::copy(random.begin(), random.end(), here);
            touched.push_back({at, end});
            return true;
        }
        case Fault::kDrift:
            Drift(cells, at, end, fault.every);
            touched.push_back({at, end});
            return true;
        case Fault::kGlitch: {
            const std::vector<std::uint8_t> random = RandomCells(fault.length, rng);
            cells.insert(here, random.begin(), random.end());
            touched.push_back({at, at + 1});
            return true;
        }
        case Fault::kNoise:
            std::fill(here, there, 0);
            for (std::size_t cell = at + 1 + rng() % 4; cell < end; cell += 2 + rng() % 3)
                cells[cell] = 1;
            touched.push_back({at, end});
            return true;
        case Fault::kDropout:
            std::fill(here, there, 0);
            touched.push_back({at, end});
            return true;
        case Fault::kLost:
            cells.erase(here, there);
            touched.push_back({at, end});
            return true;
        case Fault::kRepeated: {
            const std::vector<std::uint8_t> again(here, there);
            cells.insert(there, again.begin(), again.end());
            touched.push_back({at, end});
            return true;
        }
        case Fault::kWeak:
            for (std::size_t cell = at; cell < end; ++cell)
                if (rng() % static_cast<unsigned long>(std::max(1L, fault.every)) == 0)
                    cells[cell] ^= 1u;
            touched.push_back({at, end});
            return true;
        default:
            return false;
    }
}

// What the faults that shape the whole read make of it.
struct Shape {
    std::size_t late = 0;
    std::size_t cut;  // a read lasts as long as the side, whatever its faults added
    std::size_t noise = 0;
    const Fault* runon = nullptr;
    long rate = 0;
};

void NoteShape(const Fault& fault, std::size_t sidecells, Shape& shape,
               std::vector<Touched>& touched) {
    switch (fault.kind) {
        case Fault::kNoiseBefore:
            shape.noise = fault.length;
            break;
        case Fault::kLateStart:
            shape.late = fault.length;
            touched.push_back({0, fault.length});
            break;
        case Fault::kCutShort:
            shape.cut = fault.length;
            touched.push_back({fault.length, sidecells});
            break;
        case Fault::kRunOn:
            shape.runon = &fault;
            break;
        case Fault::kBitRate:
            shape.rate = fault.every;
            touched.push_back({0, sidecells});
            break;
        default:
            break;
    }
}

std::vector<std::uint8_t> Shaped(std::vector<std::uint8_t> cells, const ByteVector& raw,
                                 const Shape& shape, std::mt19937& rng) {
    if (shape.cut < cells.size()) cells.resize(shape.cut);
    cells.erase(cells.begin(),
                cells.begin() + static_cast<std::ptrdiff_t>(std::min(shape.late, cells.size())));
    if (shape.runon) {
        const std::vector<std::uint8_t> between = RandomCells(shape.runon->between, rng);
        const std::vector<std::uint8_t> side = Unpack(raw);
        const std::size_t length = std::min(shape.runon->length, side.size());
        cells.insert(cells.end(), between.begin(), between.end());
        cells.insert(cells.end(), side.begin(), side.begin() + static_cast<std::ptrdiff_t>(length));
    }
    const std::vector<std::uint8_t> before = RandomCells(shape.noise, rng);
    cells.insert(cells.begin(), before.begin(), before.end());
    return Resampled(cells, shape.rate);
}

}  // namespace

DamagedRead Damage(const ByteVector& raw, std::vector<Fault> faults, std::mt19937& rng) {
    std::vector<std::uint8_t> cells = Unpack(raw);
    DamagedRead read;
    // From the last place to the first, so that each stays where it was.
    std::stable_sort(faults.begin(), faults.end(),
                     [](const Fault& a, const Fault& b) { return a.at > b.at; });
    Shape shape{0, raw.size() * 8};
    for (const Fault& fault : faults) {
        if (!DamageAt(fault, cells, rng, read.touched))
            NoteShape(fault, raw.size() * 8, shape, read.touched);
    }
    read.raw = Pack(Shaped(std::move(cells), raw, shape, rng));
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

namespace {

// The most ticks the dumper's byte holds.
constexpr long kMostTicks = 255;

// The dumper's timer readings of a worn disk's transitions. Worn coating
// lets a transition's pulse lean on its nearer neighbour's, so that it is
// seen that much closer to it and the pair's sum holds; which way it leans
// needs both neighbours, so each transition goes out once the next is known.
class Readings {
public:
    Readings(const CaptureFaults& faults, std::mt19937& rng, std::size_t expected)
        : m_faults(faults),
          m_disk(faults.wear),
          m_wear(faults.wear ? m_disk : rng),
          m_rng(rng),
          m_shake(static_cast<float>(-faults.jitter), static_cast<float>(faults.jitter)),
          m_shift(faults.leastshift, faults.mostshift) {
        m_ticks.reserve(expected);
    }

    // A transition at `cell` of the side, passing the head `time` ticks
    // after the capture began.
    void Transition(std::size_t cell, double time) {
        if (m_count > 0) Send(m_count == 1 ? m_time : Leaned(cell));
        m_before = m_cell;
        m_cell = cell;
        m_time = time;
        ++m_count;
    }

    ByteVector Take() {
        if (m_count > 0) Send(m_time);
        return std::move(m_ticks);
    }

private:
    double Leaned(std::size_t next) {
        if (m_chance(m_wear) >= m_faults.shifted) return m_time;
        const std::size_t before = m_cell - m_before, after = next - m_cell;
        const bool later = after < before || (after == before && m_wear() % 2);
        const int ticks = m_shift(m_wear);
        return later ? m_time + ticks : m_time - ticks;
    }

    // The timer runs on: each interval is the difference of two readings of
    // it, so rounding never gathers along the capture.
    void Send(double time) {
        const long now = std::lround(time + (m_faults.jitter > 0 ? m_shake(m_rng) : 0.0f));
        m_ticks.push_back(
            static_cast<std::uint8_t>(std::clamp<long>(now - m_reading, 1, kMostTicks)));
        m_reading = now;
    }

    const CaptureFaults& m_faults;
    std::mt19937 m_disk;
    std::mt19937& m_wear;  // draws which transitions lean
    std::mt19937& m_rng;   // draws the jitter
    // Floats take one draw of the engine where doubles take two.
    std::uniform_real_distribution<float> m_chance{0, 1}, m_shake;
    std::uniform_int_distribution<int> m_shift;
    ByteVector m_ticks;
    std::size_t m_count = 0, m_before = 0, m_cell = 0;  // transitions so far, the last two's cells
    double m_time = 0;                                  // the last one's
    long m_reading = 0;
};

}  // namespace

ByteVector TickCapture(const ByteVector& raw, const CaptureFaults& faults, std::mt19937& rng) {
    const double pi = std::acos(-1.0);
    const double start = std::uniform_real_distribution<double>(0, 2 * pi)(rng);
    // The wobble's phase as a point on the unit circle, turned a step a byte
    // of cells: a multiplication where a sine would cost ten.
    const double step = 2 * pi * std::max(1.0, faults.turns) / static_cast<double>(raw.size());
    const double stepcos = std::cos(step), stepsin = std::sin(step);
    double cosine = std::cos(start), sine = std::sin(start);
    Readings readings(faults, rng, raw.size() * 4);
    double time = 0;
    // A rising gain's transitions: the next one's time, -1 outside it.
    double noise = -1;
    std::uniform_real_distribution<double> apart(kFdsCaptureTicksPerCell / 3.0,
                                                 5.0 * kFdsCaptureTicksPerCell);
    for (std::size_t byte = 0; byte < raw.size(); ++byte) {
        const double turned = sine * stepcos + cosine * stepsin;
        cosine = cosine * stepcos - sine * stepsin;
        sine = turned;
        const double cell = kFdsCaptureTicksPerCell / (1 + faults.speed + faults.wobble * sine);
        for (int bit = 0; bit < 8; ++bit) {
            const std::size_t at = byte * 8 + bit;
            bool flux = (raw[byte] >> bit) & 1u, gain = false;
            double slower = 0;
            for (const CaptureMoment& moment : faults.moments) {
                if (at < moment.at || at - moment.at >= moment.length) continue;
                if (moment.kind == CaptureMoment::kSlow) {
                    const double ease = std::max(1.0, moment.length / 10.0);
                    const double into = static_cast<double>(at - moment.at) + 1;
                    const double left = static_cast<double>(moment.length - (at - moment.at));
                    slower += moment.slower * std::min({1.0, into / ease, left / ease});
                } else {
                    flux = false;
                    gain = gain || moment.kind == CaptureMoment::kGainNoise;
                }
            }
            time += cell / (1 - slower);
            if (!gain) {
                noise = -1;
            } else {
                if (noise < 0) noise = time - cell + apart(rng);
                for (; noise <= time; noise += apart(rng)) readings.Transition(at, noise);
            }
            if (flux) readings.Transition(at, time);
        }
    }
    return readings.Take();
}
