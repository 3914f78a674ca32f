// Damage made to order, as real reads of a disk suffer it, on a raw side's
// cells; and captures of a side as a flux dumper writes them. Tests and
// measurements make their damaged reads here, never from elsewhere.
#pragma once

#include <cstddef>
#include <cstdint>
#include <random>
#include <vector>

using ByteVector = std::vector<std::uint8_t>;

struct Fault {
    enum Kind {
        kSlip,         // one cell dropped at `at`
        kExtraCell,    // one empty cell added at `at`
        kFlip,         // the cell at `at` flipped
        kBurst,        // `length` random cells from `at` on, in place of the cells there
        kDrift,        // from `at`, over `length` cells, one cell dropped (or added, `every`
                       // negative) every |every| cells
        kNoiseBefore,  // `length` random cells before the read's first
        kLateStart,    // the read begins `length` cells late
        kCutShort,     // the read ends after `length` cells
    };
    Kind kind;
    std::size_t at = 0;
    std::size_t length = 0;
    long every = 0;
};

// Cells of the clean side that a fault touched, [first, end), in its cells.
struct Touched {
    std::size_t first;
    std::size_t end;
};

struct DamagedRead {
    ByteVector raw;
    std::vector<Touched> touched;
};

// The faults on the raw side's cells, each placed in the clean side's cells;
// random cells come from rng.
DamagedRead Damage(const ByteVector& raw, std::vector<Fault> faults, std::mt19937& rng);

// A capture as the flux dumper writes it: one byte per flux interval, in
// ticks of its timer, 31 ticks to a cell at nominal speed; the speed wanders
// by up to `wander` (0.03 for 3%) over the side and each interval jitters
// by up to `jitter` ticks.
ByteVector TickCapture(const ByteVector& raw, double wander, int jitter, std::mt19937& rng);
// The same intervals as the dumper's classes, four to a byte, the first in
// time in the top bits: 0 short, 1 medium, 2 long, 3 none of them.
ByteVector PackedCapture(const ByteVector& raw);
