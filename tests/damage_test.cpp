// The fault maker's damage does what it claims, so that what the rescue is
// measured against is what real drives and dumpers do.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <random>

#include "fds/capture.h"
#include "samples/faults.h"
#include "tests/qdkit_support.h"

namespace {

using CellVector = std::vector<std::uint8_t>;

CellVector Unpacked(const Bytes& raw) {
    CellVector cells(raw.size() * 8);
    for (std::size_t i = 0; i < cells.size(); ++i) cells[i] = (raw[i / 8] >> (i % 8)) & 1u;
    return cells;
}

CellVector Part(const CellVector& cells, std::size_t first, std::size_t end) {
    return CellVector(cells.begin() + static_cast<std::ptrdiff_t>(first),
                      cells.begin() + static_cast<std::ptrdiff_t>(end));
}

constexpr std::size_t kAt = 20000, kLength = 4000;

TEST(Damage, EachFaultDoesWhatItSays) {
    const Bytes raw = FdsRaw(FdsSide(2, 7));
    const CellVector side = Unpacked(raw);
    const std::size_t n = side.size();
    using Check = std::function<void(const CellVector& read)>;
    const struct {
        const char* what;
        Fault fault;
        Check check;
    } cases[] = {
        {"a glitch adds its cells and moves the side's on",
         {Fault::kGlitch, kAt, 64},
         [&](const CellVector& read) {
             EXPECT_EQ(n, read.size());
             EXPECT_EQ(Part(side, 0, kAt), Part(read, 0, kAt));
             EXPECT_EQ(Part(side, kAt, n - 64), Part(read, kAt + 64, n));
         }},
        {"a dropout holds no flux, the rest as it was",
         {Fault::kDropout, kAt, kLength},
         [&](const CellVector& read) {
             EXPECT_EQ(CellVector(kLength, 0), Part(read, kAt, kAt + kLength));
             EXPECT_EQ(Part(side, kAt + kLength, n), Part(read, kAt + kLength, n));
         }},
        {"a lost transfer's cells are gone, the rest closed up behind them",
         {Fault::kLost, kAt, kLength},
         [&](const CellVector& read) {
             ASSERT_EQ(n - kLength, read.size());
             EXPECT_EQ(Part(side, 0, kAt), Part(read, 0, kAt));
             EXPECT_EQ(Part(side, kAt + kLength, n), Part(read, kAt, read.size()));
         }},
        {"a repeated transfer's cells come twice, the read as long as the side",
         {Fault::kRepeated, kAt, kLength},
         [&](const CellVector& read) {
             ASSERT_EQ(n, read.size());
             EXPECT_EQ(Part(side, 0, kAt + kLength), Part(read, 0, kAt + kLength));
             EXPECT_EQ(Part(side, kAt, n - kLength), Part(read, kAt + kLength, n));
         }},
        {"a weak stretch misreads about 1 cell in 4 there, none elsewhere",
         {Fault::kWeak, kAt, kLength, 4},
         [&](const CellVector& read) {
             std::size_t differ = 0;
             for (std::size_t i = kAt; i < kAt + kLength; ++i) differ += read[i] != side[i];
             EXPECT_GT(differ, kLength / 5);
             EXPECT_LT(differ, kLength * 3 / 10);
             EXPECT_EQ(Part(side, kAt + kLength, n), Part(read, kAt + kLength, n));
         }},
        {"noise through a data separator keeps MFM's run lengths and nothing of the side",
         {Fault::kNoise, kAt, kLength},
         [&](const CellVector& read) {
             ASSERT_EQ(n, read.size());
             std::size_t run = 0, longest = 0, shortest = kLength;
             for (std::size_t i = kAt; i < kAt + kLength; ++i) {
                 if (read[i] == 0) {
                     ++run;
                     continue;
                 }
                 if (i > kAt + run) {  // between two fluxes
                     longest = std::max(longest, run);
                     shortest = std::min(shortest, run);
                 }
                 run = 0;
             }
             EXPECT_EQ(1u, shortest);
             EXPECT_EQ(3u, longest);
             EXPECT_NE(Part(side, kAt, kAt + kLength), Part(read, kAt, kAt + kLength));
             EXPECT_EQ(Part(side, kAt + kLength, n), Part(read, kAt + kLength, n));
         }},
        {"a read that runs on holds the side's start after the noise behind its end",
         {Fault::kRunOn, 0, 30000, 0, 504},
         [&](const CellVector& read) {
             ASSERT_EQ(n + 504 + 30000, read.size());
             EXPECT_EQ(side, Part(read, 0, n));
             EXPECT_EQ(Part(side, 0, 30000), Part(read, n + 504, read.size()));
         }},
        {"a read 1 cell in 400 slow loses a cell in 400, and no flux",
         {Fault::kBitRate, 0, 0, 400},
         [&](const CellVector& read) {
             EXPECT_NEAR(static_cast<double>(n - n / 400), static_cast<double>(read.size()), 8);
             EXPECT_EQ(std::count(side.begin(), side.end(), 1),
                       std::count(read.begin(), read.end(), 1));
         }},
        {"a read 1 cell in 400 fast gains one",
         {Fault::kBitRate, 0, 0, -400},
         [&](const CellVector& read) {
             EXPECT_NEAR(static_cast<double>(n + n / 400), static_cast<double>(read.size()), 8);
         }},
    };
    std::mt19937 rng(11);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        c.check(Unpacked(Damage(raw, {c.fault}, rng).raw));
    }
    // A weak stretch is drawn anew on every read.
    const Fault weak{Fault::kWeak, kAt, kLength, 4};
    EXPECT_NE(Damage(raw, {weak}, rng).raw, Damage(raw, {weak}, rng).raw);
}

// Where each transition falls, in ticks from the capture's start.
std::vector<long> Times(const Bytes& ticks) {
    std::vector<long> times;
    long time = 0;
    for (const std::uint8_t t : ticks) times.push_back(time += t);
    return times;
}

TEST(Damage, CapturesMoveTransitionsNotIntervals) {
    const Bytes raw = FdsRaw(FdsSide(2, 7));
    std::mt19937 rng(12);
    const Bytes clean = TickCapture(raw, CaptureFaults{}, rng);
    CaptureFaults shift;
    shift.shifted = 1;
    shift.leastshift = shift.mostshift = 6;
    const Bytes shifted = TickCapture(raw, shift, rng);
    ASSERT_EQ(clean.size(), shifted.size());
    const std::vector<long> before = Times(clean), after = Times(shifted);
    // Each transition moved by the shift towards its nearer neighbour, the
    // first and the last not at all: every pair's sum holds but for them.
    for (std::size_t k = 1; k + 1 < clean.size(); ++k) {
        const long moved = after[k] - before[k];
        ASSERT_EQ(6, std::labs(moved)) << k;
        if (clean[k] != clean[k + 1]) EXPECT_EQ(clean[k + 1]<clean[k], moved> 0) << k;
    }
    EXPECT_EQ(before.back(), after.back());
    // A worn disk shifts the same transitions in every capture.
    CaptureFaults worn{0, 0, 40, 0, 0.3, 2, 6, 9};
    const Bytes once = TickCapture(raw, worn, rng);
    EXPECT_EQ(once, TickCapture(raw, worn, rng));
    worn.wear = 10;
    EXPECT_NE(once, TickCapture(raw, worn, rng));

    const struct {
        double speed;
        double wobble;
    } speeds[] = {{0.05, 0}, {-0.05, 0}, {0.03, 0.04}};
    for (const auto& s : speeds) {
        CaptureFaults drive;
        drive.speed = s.speed;
        drive.wobble = s.wobble;
        drive.turns = 4;
        const std::vector<long> times = Times(TickCapture(raw, drive, rng));
        // A whole number of turns, the wobble cancels: the speed error is left.
        EXPECT_NEAR(static_cast<double>(before.back()) / (1 + s.speed),
                    static_cast<double>(times.back()), before.back() * 0.002)
            << s.speed << " " << s.wobble;
        // In each quarter of a turn the drive runs at its speed and the wobble's.
        const std::size_t quarter = times.size() / 16;
        for (std::size_t q = 0; q + 1 < 16; ++q) {
            const double rate =
                static_cast<double>(before[(q + 1) * quarter] - before[q * quarter]) /
                static_cast<double>(times[(q + 1) * quarter] - times[q * quarter]);
            EXPECT_NEAR(1 + s.speed, rate, s.wobble + 0.005) << q;
        }
    }
}

}  // namespace
