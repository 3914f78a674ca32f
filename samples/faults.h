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
        // A spike or a capture device's glitch: `length` random cells added
        // at `at`, none of the side's lost there (a read lasts as long as the
        // side, so its last cells go).
        kGlitch,
        // Coating worn off: `length` cells from `at` on hold no flux at all.
        kDropout,
        // Weak coating: from `at`, over `length` cells, each cell misread with
        // a chance of 1 in `every`, drawn anew on every read.
        kWeak,
        // A read not stopped at the side's end goes on while the head comes
        // back: `between` random cells, then `length` cells of the side's
        // next pass, from its first cell.
        kRunOn,
        // The whole read sampled at another cell rate than the side was
        // written at: each flux cell moves to its place at that rate, so that
        // a cell is lost every `every` cells (gained, `every` negative).
        kBitRate,
        // A capture device's transfer lost on the way to the host: the
        // `length` cells from `at` on are missing from the read.
        kLost,
        // A transfer delivered twice: the `length` cells from `at` on come
        // again right behind themselves.
        kRepeated,
        // Noise as a drive's data separator passes it on: the `length` cells
        // from `at` on hold flux at random intervals of two to four cells,
        // as MFM allows, so that they read as bytes, wrong ones.
        kNoise,
    };
    Kind kind;
    std::size_t at = 0;
    std::size_t length = 0;
    long every = 0;
    std::size_t between = 0;  // kRunOn's
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
// A stretch of a capture that the side's cells do not make, placed in them.
struct CaptureMoment {
    enum Kind {
        kSilent,  // coating worn off: no transition at all
        // Coating worn off under a drive whose gain rises to find a signal:
        // transitions at random, as close as a third of a cell.
        kGainNoise,
        // The motor slowed by `slower` (0.08 for 8%), easing in and out
        // over a tenth of the stretch each, as a slipping belt does.
        kSlow,
    };
    Kind kind;
    std::size_t at;
    std::size_t length;
    double slower = 0;
};

// How a drive, its disk and the dumper bend a capture's intervals.
struct CaptureFaults {
    double speed = 0;    // the drive's own error, 0.04 for 4% fast: every interval shorter
    double wobble = 0;   // the speed's swing with each turn of the disk, 0.02 for 2% either way
    double turns = 40;   // turns of the disk while the side passes the head
    double jitter = 0;   // each transition early or late by up to this many ticks
    double shifted = 0;  // the share of transitions pulled towards their nearer neighbour
    int leastshift = 0;  // by this many ticks
    int mostshift = 0;   // up to this many
    // Which transitions a worn disk shifts, and by how much, is the disk's:
    // captures with the same non-zero seed shift the same ones; 0 draws anew.
    std::uint32_t wear = 0;
    std::vector<CaptureMoment> moments = {};
};

// A capture of the side by a drive and a disk with those faults, in the
// ticks layout. Each transition's time is what moves, never an interval
// alone: an interval that a shift or jitter shortens lengthens the next.
ByteVector TickCapture(const ByteVector& raw, const CaptureFaults& faults, std::mt19937& rng);
// The same intervals as the dumper's classes, four to a byte, the first in
// time in the top bits: 0 short, 1 medium, 2 long, 3 none of them.
ByteVector PackedCapture(const ByteVector& raw);
