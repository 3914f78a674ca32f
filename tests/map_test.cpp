// The map of a rescued side: a document a browser takes, one band per read
// and one for the result, every status shown in the legend, the blocks in
// side order along the axis.
#include "qdkit/map.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "fds/side_rescue.h"
#include "qd/side_rescue.h"
#include "samples/faults.h"
#include "tests/qdkit_support.h"

namespace {

SideRescue Rescue(bool fds, const std::vector<Bytes>& reads) {
    std::vector<const Bytes*> pointers;
    for (const Bytes& read : reads) pointers.push_back(&read);
    return fds ? RescueFdsSide(pointers) : RescueQdSide(pointers);
}

// The cell, in the clean side, `bytes` into its block `block`.
std::size_t Into(bool fds, const Bytes& clean, std::size_t block, std::size_t bytes) {
    return static_cast<std::size_t>(*Rescue(fds, {clean}).blocks.at(block).cell) + 16 * bytes;
}

Bytes Damaged(const Bytes& clean, const std::vector<Fault>& faults) {
    std::mt19937 rng(7);
    return Damage(clean, faults, rng).raw;
}

struct Case {
    const char* name;
    bool fds;
    std::function<std::vector<Bytes>()> reads;
    BlockStatus shown;  // a status the rescue is to hold
    bool unaligned;     // a read matched nothing
};

// Made when first asked, not when the test list is.
const Bytes& Fds() {
    static const Bytes raw = FdsRaw(FdsSide(3, 5));
    return raw;
}
const Bytes& Qd() {
    static const Bytes raw =
        QdRaw(QdStream(MztFile({Entry("ONE", 300, 1), Entry("TWO", 3000, 2)})));
    return raw;
}

const Case kCases[] = {
    {"clean FDS side", true, [] { return std::vector<Bytes>{Fds()}; }, BlockStatus::kGood, false},
    {"damaged QD side", false,
     [] {
         return std::vector<Bytes>{
             Damaged(Qd(), {{Fault::kBurst, Into(false, Qd(), 4, 1000), 64}})};
     },
     BlockStatus::kBad, false},
    {"three damaged FDS reads", true,
     [] {
         std::vector<Bytes> reads;
         for (std::size_t r = 0; r < 3; ++r) {
             std::vector<Fault> faults = {{Fault::kBurst, Into(true, Fds(), 7, 100 + 200 * r), 48}};
             if (r == 1) faults.push_back({Fault::kNoiseBefore, 0, 3000});
             if (r == 2) faults.push_back({Fault::kBurst, Into(true, Fds(), 5, 200), 48});
             reads.push_back(Damaged(Fds(), faults));
         }
         return reads;
     },
     BlockStatus::kVoted, false},
    {"QD read that matches nothing", false,
     [] {
         const Bytes other = QdRaw(QdStream(MztFile({Entry("THREE", 500, 3)})));
         return std::vector<Bytes>{Qd(),
                                   Damaged(other, {{Fault::kLateStart, 0, other.size() * 4}})};
     },
     BlockStatus::kGood, true},
};

// Every tag closed in the order opened.
bool Balanced(const std::string& svg) {
    std::vector<std::string> open;
    for (std::size_t at = svg.find('<'); at != std::string::npos; at = svg.find('<', at + 1)) {
        const std::size_t end = svg.find('>', at);
        if (end == std::string::npos) return false;
        const std::string tag = svg.substr(at + 1, end - at - 1);
        const std::string name = tag.substr(0, tag.find_first_of(" /"));
        if (tag.back() == '/') continue;
        if (tag[0] != '/') {
            open.push_back(name);
        } else if (open.empty() || open.back() != tag.substr(1)) {
            return false;
        } else {
            open.pop_back();
        }
    }
    return open.empty();
}

std::size_t Count(const std::string& text, const std::string& what) {
    std::size_t count = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++count;
    return count;
}

// The x of each result block's rect, in the order of their numbers.
std::vector<double> ResultXs(const std::string& svg) {
    std::vector<double> xs;
    for (std::size_t n = 1;; ++n) {
        const std::size_t at = svg.find("data-block=\"" + std::to_string(n) + "\"");
        if (at == std::string::npos) return xs;
        const std::size_t x = svg.find(" x=\"", svg.rfind("<rect", at));
        xs.push_back(std::stod(svg.substr(x + 4)));
    }
}

TEST(SideMap, DrawsEveryReadAndTheResult) {
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        const SideRescue rescue = Rescue(c.fds, c.reads());
        const std::string svg =
            SideMap(rescue, c.fds ? kFdsRescue : kQdRescue, {"first.raw", "<second & more>"});
        EXPECT_EQ(svg.rfind("<svg xmlns=", 0), 0u);
        EXPECT_EQ(svg.substr(svg.size() - 7), "</svg>\n");
        EXPECT_TRUE(Balanced(svg));
        EXPECT_EQ(Count(svg, "class=\"band read\""), rescue.reads.size());
        EXPECT_EQ(Count(svg, "class=\"band result\""), 1u);
        EXPECT_EQ(Count(svg, "unaligned"), c.unaligned ? 1u : 0u);
        const std::string legend = svg.substr(svg.find("class=\"legend\""));
        bool shown = false;
        for (const RescuedBlock& block : rescue.blocks) {
            shown = shown || block.status == c.shown;
            EXPECT_NE(legend.find(std::string(">") + BlockStatusName(block.status) + "<"),
                      std::string::npos);
        }
        EXPECT_TRUE(shown) << BlockStatusName(c.shown);
        const std::vector<double> xs = ResultXs(svg);
        ASSERT_EQ(xs.size(), rescue.blocks.size());
        EXPECT_TRUE(std::is_sorted(xs.begin(), xs.end()));
    }
}

}  // namespace
