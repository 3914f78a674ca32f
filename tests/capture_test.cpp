// FDSStick captures of sides the kit wrote, read back by the tolerant reader.
#include "fds/capture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <random>

#include "fds/side_rescue.h"
#include "samples/faults.h"
#include "tests/qdkit_support.h"

namespace {

// The four classes of each byte in the other order.
Bytes LowFirst(Bytes packed) {
    for (std::uint8_t& byte : packed) {
        byte = static_cast<std::uint8_t>((byte >> 6) | ((byte >> 2) & 0x0C) | ((byte << 2) & 0x30) |
                                         (byte << 6));
    }
    return packed;
}

TEST(FdsCapture, EveryLayoutReadsBackWhole) {
    const FdsSideContent side = FdsSide(6, 5);
    const Bytes raw = FdsRaw(side);
    struct Case {
        std::string what;
        Bytes file;
        FdsCaptureLayout layout;
    };
    std::vector<Case> cases = {
        {"packed", PackedCapture(raw), FdsCaptureLayout::kPacked},
        {"packed, low bits first", LowFirst(PackedCapture(raw)), FdsCaptureLayout::kPackedLowFirst},
    };
    std::mt19937 rng(1);
    const struct {
        const char* what;
        double wander;
        int jitter;
    } ticks[] = {
        {"nominal", 0, 0},
        {"jitter 6", 0, 6},
        {"3% wander, jitter 3", 0.03, 3},
        {"5% wander", 0.05, 0},
        {"5%, jitter 6", 0.05, 6},
        {"8%, jitter 6", 0.08, 6},  // beyond what fixed class bounds take
    };
    for (const auto& t : ticks) {
        cases.push_back({std::string("ticks, ") + t.what, TickCapture(raw, t.wander, t.jitter, rng),
                         FdsCaptureLayout::kTicks});
    }
    const Bytes image = FdsImage({side});
    for (const Case& c : cases) {
        const std::optional<FdsCapture> capture = ReadFdsCapture(c.file);
        ASSERT_TRUE(capture) << c.what;
        EXPECT_EQ(c.layout, capture->layout) << c.what;
        const SideRescue rescue = RescueFdsSide({&capture->raw});
        EXPECT_TRUE(rescue.complete) << c.what;
        for (const RescuedBlock& block : rescue.blocks)
            EXPECT_EQ(BlockStatus::kGood, block.status) << c.what;
        EXPECT_TRUE(SameBytes(image, RescuedFdsImage(rescue))) << c.what;
    }
}

// A worn disk in a drive off speed: each transition's time moves, a share
// of them by a few ticks towards their nearer neighbour. Read interval by
// interval at a slowly tracked cell length, none of these came back whole.
TEST(FdsCapture, WornCapturesReadBackWhole) {
    const FdsSideContent side = FdsSide(6, 5);
    const Bytes raw = FdsRaw(side);
    const Bytes image = FdsImage({side});
    const struct {
        const char* what;
        CaptureFaults faults;
    } cases[] = {
        {"4% fast, 2% wobble, jitter 3, 20% shifted 2-6", {0.04, 0.02, 40, 3, 0.2, 2, 6}},
        {"5% slow, 3% wobble, jitter 4, 30% shifted 2-6", {-0.05, 0.03, 40, 4, 0.3, 2, 6}},
        {"8% fast, 3% wobble, jitter 3, 20% shifted 2-6", {0.08, 0.03, 40, 3, 0.2, 2, 6}},
        {"3% slow, 3% wobble, jitter 2, 10% shifted 4-8", {-0.03, 0.03, 40, 2, 0.1, 4, 8}},
        {"3% slow, 3% wobble, jitter 3, 20% shifted 2-6, a belt slipping 10% over 20000 cells",
         {-0.03, 0.03, 40, 3, 0.2, 2, 6, 0, {{CaptureMoment::kSlow, 80000, 20000, 0.10}}}},
    };
    std::mt19937 rng(3);
    for (const auto& c : cases) {
        const Bytes cells = FdsTickCaptureCells(TickCapture(raw, c.faults, rng));
        const SideRescue rescue = RescueFdsSide({&cells});
        EXPECT_TRUE(rescue.complete) << c.what;
        EXPECT_TRUE(SameBytes(image, RescuedFdsImage(rescue))) << c.what;
    }
}

// A pulse too early after a transition to be one, as noise makes, joins
// the interval it splits.
TEST(FdsCapture, GlitchesJoinTheIntervalTheySplit) {
    const FdsSideContent side = FdsSide(6, 5);
    const Bytes raw = FdsRaw(side);
    std::mt19937 rng(4);
    Bytes ticks = TickCapture(raw, CaptureFaults{0.04, 0.02, 40, 3, 0.2, 2, 6}, rng);
    for (int n = 0; n < 200; ++n) {
        const auto at = static_cast<std::ptrdiff_t>(1 + rng() % (ticks.size() - 1));
        const auto early = static_cast<std::uint8_t>(5 + rng() % 36);  // up to 1.3 cells
        ticks[at] = static_cast<std::uint8_t>(ticks[at] - early);
        ticks.insert(ticks.begin() + at, early);
    }
    const Bytes cells = FdsTickCaptureCells(ticks);
    const SideRescue rescue = RescueFdsSide({&cells});
    EXPECT_TRUE(rescue.complete);
    EXPECT_TRUE(SameBytes(FdsImage({side}), RescuedFdsImage(rescue)));
}

TEST(FdsCapture, OtherFilesAreNoCapture) {
    const FdsSideContent side = FdsSide(2, 9);
    const Bytes raw = FdsRaw(side);
    std::mt19937 rng(2);
    Bytes random(1 << 20);
    for (std::uint8_t& byte : random) byte = static_cast<std::uint8_t>(rng());
    std::string text;
    while (text.size() < 100000) text += "Not_a_capture,just_text:0123456789.\n";
    Bytes ticks = TickCapture(raw, 0, 0, rng), packed = PackedCapture(raw);
    ticks.resize(kFdsCaptureMostIntervals + 1, 2 * kFdsCaptureTicksPerCell);
    packed.resize(kFdsCaptureMostIntervals / 4 + 1, 0x00);  // short intervals
    const struct {
        const char* what;
        Bytes file;
    } cases[] = {
        {"nothing", {}},
        {"random bytes", random},
        {"a raw side", raw},
        {"an FDS image", FdsImage({side})},
        {"a text", Bytes(text.begin(), text.end())},
        {"a ticks capture beyond the bound", ticks},
        {"a packed capture beyond the bound", packed},
    };
    for (const auto& c : cases) EXPECT_FALSE(ReadFdsCapture(c.file)) << c.what;
}

// Where interval n begins in a capture's cells: at its flux cell.
std::size_t FluxCell(const Bytes& raw, std::size_t n) {
    for (std::size_t cell = 0; cell < raw.size() * 8; ++cell) {
        if (((raw[cell / 8] >> (cell % 8)) & 1u) && n-- == 0) return cell;
    }
    return raw.size() * 8;
}

// The block of a rescue of the same kind near where `block` lies in another.
const RescuedBlock* Near(const SideRescue& rescue, const RescuedBlock& block) {
    for (const RescuedBlock& other : rescue.blocks) {
        if (other.code == block.code && other.cell && std::llabs(*other.cell - *block.cell) < 512)
            return &other;
    }
    return nullptr;
}

TEST(FdsCapture, DamageSparesTheBlocksItMisses) {
    const Bytes raw = FdsRaw(FdsSide(20, 3));  // blocks over most of the side
    const struct {
        const char* what;
        std::size_t intervals;  // in a byte
        std::uint32_t seed;
    } cases[] = {{"ticks", 1, 1}, {"ticks", 1, 2}, {"packed", 4, 3}, {"packed", 4, 4}};
    for (const auto& c : cases) {
        std::mt19937 rng(c.seed);
        const auto cells = [&](const Bytes& file) {
            return c.intervals == 1 ? FdsTickCaptureCells(file) : FdsPackedCaptureCells(file);
        };
        const Bytes clean = c.intervals == 1 ? TickCapture(raw, 0.03, 3, rng) : PackedCapture(raw);
        const Bytes cleancells = cells(clean);
        Bytes damaged = clean;
        std::vector<CellSpan> touched;
        for (int n = 0; n < 4; ++n) {
            const std::size_t at = rng() % clean.size();
            damaged[at] = static_cast<std::uint8_t>(rng());
            // A glitch's ticks join the interval after it.
            touched.push_back({FluxCell(cleancells, at * c.intervals),
                               FluxCell(cleancells, (at + 1) * c.intervals + 1)});
        }
        const Bytes damagedcells = cells(damaged);
        const SideRescue before = RescueFdsSide({&cleancells});
        const SideRescue after = RescueFdsSide({&damagedcells});
        for (const RescuedBlock& block : before.blocks) {
            // The start mark before the block through its CRC.
            const std::size_t first = static_cast<std::size_t>(*block.cell) - 2 * kCellsPerByte;
            const std::size_t end = first + (*block.length + 4) * kCellsPerByte;
            const bool hit = std::any_of(touched.begin(), touched.end(), [&](const CellSpan& span) {
                return span.first < end && first < span.end;
            });
            if (hit) continue;
            const RescuedBlock* found = Near(after, block);
            ASSERT_TRUE(found) << c.what << " " << c.seed << ": block at " << *block.cell;
            EXPECT_TRUE(IsSure(found->status) || found->status == BlockStatus::kInferred)
                << c.what << " " << c.seed << ": block at " << *block.cell;
            EXPECT_EQ(block.bytes, found->bytes) << c.what << " " << c.seed;
        }
        for (const RescuedBlock& block : after.blocks) {
            if (!IsSure(block.status)) continue;
            const RescuedBlock* found = Near(before, block);
            ASSERT_TRUE(found) << c.what << " " << c.seed << ": block at " << *block.cell;
            EXPECT_EQ(found->bytes, block.bytes) << c.what << " " << c.seed;
        }
    }
}

}  // namespace
