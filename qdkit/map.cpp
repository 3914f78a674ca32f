#include "qdkit/map.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "common/bitstream.h"
#include "qdkit/text.h"

namespace {

constexpr double kWidth = 1200;
constexpr double kLeft = 200;  // the labels' column
constexpr double kRight = 24;
constexpr double kTop = 62;  // below the title lines
constexpr double kBand = 24;
constexpr double kDamage = 6;  // the strip under a read's band
constexpr double kReadPitch = 48;
constexpr double kResultPitch = 84;  // the result band, its labels and where to read again
constexpr double kMinBlock = 2;      // px, so that a short block still shows
constexpr double kMarker = 8;        // px, a missing block's marker
constexpr double kCharWidth = 6;     // px, about, of the small labels
constexpr long long kCrcCells = 2 * kCellsPerByte;

constexpr BlockStatus kStatuses[] = {BlockStatus::kGood,     BlockStatus::kVoted,
                                     BlockStatus::kInferred, BlockStatus::kBad,
                                     BlockStatus::kMissing,  BlockStatus::kConflict};

// Colours told apart without red and green (a colour-blind-safe palette);
// bad is striped as well, missing only outlined.
constexpr const char* kStyle =
    "<style>text{font-family:sans-serif;font-size:12px;fill:#222}"
    ".title{font-size:16px;font-weight:bold}.note{font-size:11px;fill:#555}"
    ".num{font-size:10px;fill:#333}.axis{stroke:#444;stroke-width:1}"
    ".gap{fill:#dddddd}.good{fill:#4477aa}.voted{fill:#66ccee}.inferred{fill:#ccbb44}"
    ".bad{fill:url(#bad)}.conflict{fill:#aa3377}.damage{fill:#cc3311}"
    ".missing{fill:#ffffff;stroke:#666666;stroke-width:1.5;stroke-dasharray:3 2}"
    "path.reread{fill:none;stroke:#cc3311;stroke-width:2}</style>"
    "<defs><pattern id=\"bad\" patternUnits=\"userSpaceOnUse\" width=\"6\" height=\"6\" "
    "patternTransform=\"rotate(45)\"><rect width=\"6\" height=\"6\" fill=\"#ee7733\"/>"
    "<rect width=\"2\" height=\"6\" fill=\"#7a3300\"/></pattern></defs>";

std::string Escape(const std::string& text) {
    std::string out;
    for (char c : text) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            default:
                out += c;
        }
    }
    return out;
}

// Tenths of a pixel are enough, and need no locale.
std::string Num(double value) {
    const long long tenths = std::llround(value * 10);
    std::string text = std::to_string(std::llabs(tenths) / 10);
    if (tenths % 10 != 0) text += "." + std::to_string(std::llabs(tenths) % 10);
    return tenths < 0 ? "-" + text : text;
}

std::string Cells(long long cells) {
    if (cells != 0 && cells % 1000 == 0) return std::to_string(cells / 1000) + "k";
    return std::to_string(cells);
}

// A block's cells from its first byte's: an FDS block's start mark before
// it, the CRC behind it.
struct Span {
    long long first;
    long long end;
};
Span BlockSpan(long long cell, std::size_t length, const RescueMedium& medium) {
    return {cell - medium.markcells,
            cell + static_cast<long long>(length) * kCellsPerByte + kCrcCells};
}

// Lead-read cells to pixels.
struct Scale {
    long long lo;
    long long hi;
    // Cells beyond the ends are drawn at them.
    double X(long long cell) const {
        const long long at = std::clamp(cell, lo, hi);
        return kLeft + static_cast<double>(at - lo) * (kWidth - kLeft - kRight) /
                           static_cast<double>(hi - lo);
    }
};

// A read's cells less this are the lead's; an unaligned read keeps its own.
long long Shift(const SideRescue& rescue, std::size_t read) {
    return ReadShift(rescue, read).value_or(0);
}

// The read that holds the lead pass.
std::size_t LeadRead(const SideRescue& rescue) {
    const std::size_t lead = rescue.matching.lead;
    return lead < rescue.passes.size() ? static_cast<std::size_t>(rescue.passes[lead].read) : 0;
}

// The stretch the side's blocks take in the lead's cells, with a margin:
// a short side fills the width, and the reads' long gaps run off its ends.
Scale ScaleOf(const SideRescue& rescue, const RescueMedium& medium) {
    std::optional<Scale> scale;
    const auto take = [&](const Span& span) {
        if (!scale) scale = Scale{span.first, span.end};
        scale->lo = std::min(scale->lo, span.first);
        scale->hi = std::max(scale->hi, span.end);
    };
    for (std::size_t r = 0; r < rescue.reads.size(); ++r) {
        if (!ReadShift(rescue, r)) continue;
        for (const FoundBlock& block : rescue.reads[r].blocks)
            take(BlockSpan(static_cast<long long>(block.place.Cell()) - Shift(rescue, r),
                           block.length, medium));
    }
    if (!scale) return {0, 1};
    const long long margin = std::max<long long>(1000, (scale->hi - scale->lo) / 20);
    return {scale->lo - margin, scale->hi + margin};
}

class Svg {
public:
    void Rect(double x, double y, double w, double h, const std::string& attrs,
              const std::string& tip = "") {
        out += "<rect x=\"" + Num(x) + "\" y=\"" + Num(y) + "\" width=\"" + Num(w) +
               "\" height=\"" + Num(h) + "\" " + attrs;
        out += tip.empty() ? "/>" : "><title>" + Escape(tip) + "</title></rect>";
    }
    void Text(double x, double y, const std::string& attrs, const std::string& text) {
        out += "<text x=\"" + Num(x) + "\" y=\"" + Num(y) + "\" " + attrs + ">" + Escape(text) +
               "</text>";
    }
    std::string out;
};

// A band's name and a note beneath it, right-aligned before the band.
void BandLabel(Svg& svg, double y, const std::string& name, const std::string& note) {
    svg.Text(kLeft - 10, y + 11, "text-anchor=\"end\"", name);
    svg.Text(kLeft - 10, y + 25, "text-anchor=\"end\" class=\"note\"", note);
}

// A read's name, its tail kept when too long for the labels' column.
std::string ReadLabel(const std::vector<std::string>& names, std::size_t read) {
    std::string name = read < names.size() ? names[read] : "";
    constexpr std::size_t kMost = 24;
    if (name.size() > kMost) name = "..." + name.substr(name.size() - kMost + 3);
    return std::to_string(read + 1) + (name.empty() ? "" : ": " + name);
}

// "10 good, 2 bad"
template <typename List>
std::string StatusCounts(const List& blocks) {
    std::string text;
    const char* separator = "";
    for (BlockStatus status : kStatuses) {
        const auto count = std::count_if(blocks.begin(), blocks.end(),
                                         [&](const auto& b) { return b.status == status; });
        if (count == 0) continue;
        text += separator + std::to_string(count) + " " + BlockStatusName(status);
        separator = ", ";
    }
    return text;
}

// Where a read lies against the lead, and what it holds.
std::string ReadNote(const SideRescue& rescue, std::size_t read) {
    const std::optional<long long> offset = ReadShift(rescue, read);
    const std::string blocks = StatusCounts(rescue.reads[read].blocks);
    if (!offset) return "unaligned: matched nothing; " + blocks;
    if (read == LeadRead(rescue)) return "lead; " + blocks;
    const long long shift = *offset;
    return std::string(shift >= 0 ? "+" : "") + std::to_string(shift) + " cells; " + blocks;
}

// Damage stretches closer than a pixel are drawn as one.
void DamageStrip(Svg& svg, const Scale& scale, const ReadScan& read, long long shift, double y) {
    std::optional<Span> run;
    const auto flush = [&] {
        const double x = scale.X(run->first);
        svg.Rect(x, y, std::max(1.0, scale.X(run->end) - x), kDamage, "class=\"damage\"");
    };
    for (const CellSpan& span : read.damage) {
        const Span cells{static_cast<long long>(span.first) - shift,
                         static_cast<long long>(span.end) - shift};
        if (run && scale.X(cells.first) - scale.X(run->end) < 1) {
            run->end = cells.end;
            continue;
        }
        if (run) flush();
        run = cells;
    }
    if (run) flush();
}

void ReadBand(Svg& svg, const Scale& scale, const SideRescue& rescue, std::size_t r,
              const RescueMedium& medium, const std::vector<std::string>& names, double y) {
    const ReadScan& read = rescue.reads[r];
    const long long shift = Shift(rescue, r);
    svg.out += "<g class=\"band read\" data-read=\"" + std::to_string(r + 1) + "\">";
    BandLabel(svg, y, ReadLabel(names, r), ReadNote(rescue, r));
    const double x = scale.X(-shift);
    svg.Rect(x, y, scale.X(static_cast<long long>(read.cells) - shift) - x, kBand, "class=\"gap\"",
             "read " + std::to_string(r + 1) + ": " + std::to_string(read.cells) + " cells");
    for (const FoundBlock& block : read.blocks) {
        const long long cell = static_cast<long long>(block.place.Cell());
        const Span span = BlockSpan(cell - shift, block.length, medium);
        const double x0 = scale.X(span.first);
        svg.Rect(x0, y, std::max(kMinBlock, scale.X(span.end) - x0), kBand,
                 "class=\"" + std::string(BlockStatusName(block.status)) + "\"",
                 std::string(medium.RoleName(block.role)) + ", " + BlockStatusName(block.status) +
                     ", cell " + std::to_string(cell) + " of read " + std::to_string(r + 1));
    }
    DamageStrip(svg, scale, read, shift, y + kBand + 1);
    svg.out += "</g>";
}

using Places = std::vector<std::pair<double, double>>;

// Markers of the missing blocks [n, end), spread between their placed
// neighbours, or kept close beside the one neighbour there is.
void SpreadMarkers(Places& places, std::size_t n, std::size_t end) {
    const double runs = static_cast<double>(end - n + 1);
    double step = 3 * kMarker;
    double from = n > 0 ? places[n - 1].second : kLeft;
    if (end < places.size() && n > 0) step = (places[end].first - from) / runs;
    if (end < places.size() && n == 0) from = places[end].first - runs * step;
    for (std::size_t k = n; k < end; ++k) {
        const double centre = from + step * static_cast<double>(k - n + 1);
        places[k] = {centre - kMarker / 2, centre + kMarker / 2};
    }
}

// Where each rescued block is drawn, [x0, x1) in pixels.
Places ResultPlaces(const SideRescue& rescue, const Scale& scale, const RescueMedium& medium) {
    const std::size_t count = rescue.blocks.size();
    Places places(count);
    for (std::size_t n = 0; n < count; ++n) {
        const RescuedBlock& block = rescue.blocks[n];
        if (block.leadcell < 0) continue;
        const Span span = BlockSpan(block.leadcell, block.bytes.size(), medium);
        const double x = scale.X(span.first);
        places[n] = {x, std::max(x + kMinBlock, scale.X(span.end))};
    }
    const auto placed = [&](std::size_t n) { return rescue.blocks[n].leadcell >= 0; };
    for (std::size_t n = 0; n < count; ++n) {
        if (placed(n)) continue;
        std::size_t end = n;
        while (end < count && !placed(end)) ++end;
        SpreadMarkers(places, n, end);
        n = end;
    }
    return places;
}

std::string ResultTip(const RescuedBlock& block, std::size_t n, const RescueMedium& medium) {
    std::string tip = "block " + std::to_string(n + 1) + ": " + medium.RoleName(block.role) + ", " +
                      BlockStatusName(block.status);
    if (block.length) tip += ", length " + std::to_string(*block.length);
    if (block.cell) tip += ", cell " + std::to_string(*block.cell) + " of read 1";
    for (std::size_t i = 0; i < block.goodin.size(); ++i)
        tip += (i == 0 ? ", good in read " : ", ") + std::to_string(block.goodin[i] + 1);
    for (std::size_t i = 0; i < block.outvoted.size(); ++i)
        tip += (i == 0 ? ", outvoted in read " : ", ") + std::to_string(block.outvoted[i] + 1);
    return tip;
}

// Brackets under the stretches no read holds a good copy of.
void RereadMarks(Svg& svg, const SideRescue& rescue, const Places& places, double y) {
    svg.out += "<g class=\"reread\">";
    double free = 0;
    for (const RereadStretch& stretch : rescue.reread) {
        const double x0 = places[stretch.first].first, x1 = places[stretch.last].second;
        svg.out += "<path class=\"reread\" d=\"M" + Num(x0) + " " + Num(y - 4) + "v4H" + Num(x1) +
                   "v-4\"/>";
        std::string blocks = std::to_string(stretch.first + 1);
        if (stretch.last != stretch.first) blocks += "-" + std::to_string(stretch.last + 1);
        const double centre = (x0 + x1) / 2;
        for (const std::string& label : {"read again: " + blocks, blocks}) {
            const double half = kCharWidth * static_cast<double>(label.size()) / 2;
            if (centre - half < free) continue;
            svg.Text(centre, y + 12, "text-anchor=\"middle\" class=\"num\"", label);
            free = centre + half + 4;
            break;
        }
    }
    svg.out += "</g>";
}

void ResultBand(Svg& svg, const Scale& scale, const SideRescue& rescue, const RescueMedium& medium,
                double y) {
    const std::vector<std::string> names = RescuedNames(rescue, medium);
    svg.out += "<g class=\"band result\">";
    BandLabel(svg, y, "rescued side", std::to_string(rescue.blocks.size()) + " blocks");
    svg.Rect(scale.X(scale.lo), y, scale.X(scale.hi) - scale.X(scale.lo), kBand, "class=\"gap\"");
    const Places places = ResultPlaces(rescue, scale, medium);
    double free = 0;  // where the labels' row is free again
    for (std::size_t n = 0; n < rescue.blocks.size(); ++n) {
        const RescuedBlock& block = rescue.blocks[n];
        const auto [x0, x1] = places[n];
        const bool missing = block.leadcell < 0;
        svg.Rect(x0, missing ? y - 3 : y, x1 - x0, missing ? kBand + 6 : kBand,
                 "class=\"" + std::string(BlockStatusName(block.status)) + "\" data-block=\"" +
                     std::to_string(n + 1) + "\"",
                 ResultTip(block, n, medium));
        // As much of "number name", "number kind" as fits before the next label.
        const double centre = (x0 + x1) / 2;
        const std::string number = std::to_string(n + 1);
        const std::size_t named = names[n].find_last_not_of(' ');
        const std::string name = named == std::string::npos ? "" : names[n].substr(0, named + 1);
        for (const std::string& label : {names[n].empty() ? "" : number + " " + names[n],
                                         number + " " + medium.BriefRoleName(block.role), number}) {
            if (label.empty()) continue;
            const double half = kCharWidth * static_cast<double>(label.size()) / 2;
            if (centre - half < free) continue;
            svg.Text(centre, y + kBand + 16, "text-anchor=\"middle\" class=\"num\"", label);
            free = centre + half + 4;
            break;
        }
    }
    RereadMarks(svg, rescue, places, y + kBand + 30);
    svg.out += "</g>";
}

long long TickStep(long long range) {
    long long step = 1;
    while (step * 10 <= range / 8) step *= 10;
    for (long long factor : {2LL, 5LL}) {
        if (step * factor * 8 <= range) return step * factor;
    }
    return step;
}

// Ticks in the first read's cells where it is aligned, else in the lead's.
void Axis(Svg& svg, const Scale& scale, const SideRescue& rescue, double y) {
    const std::optional<long long> offset = ReadShift(rescue, 0);
    const bool first = offset.has_value();
    const long long shift = offset.value_or(0);
    svg.out += "<g class=\"ticks\"><path class=\"axis\" d=\"M" + Num(scale.X(scale.lo)) + " " +
               Num(y) + "H" + Num(scale.X(scale.hi)) + "\"/>";
    const long long step = TickStep(scale.hi - scale.lo);
    const long long from = scale.lo + shift;
    const long long start = from > 0 ? (from + step - 1) / step : -(-from / step);
    for (long long tick = start * step; tick <= scale.hi + shift; tick += step) {
        const double x = scale.X(tick - shift);
        svg.out += "<path class=\"axis\" d=\"M" + Num(x) + " " + Num(y) + "v5\"/>";
        svg.Text(x, y + 18, "text-anchor=\"middle\" class=\"num\"", Cells(tick));
    }
    const std::size_t read = first ? 1 : LeadRead(rescue) + 1;
    svg.Text(kLeft - 10, y + 18, "text-anchor=\"end\" class=\"note\"",
             "cells of read " + std::to_string(read) + (first ? "" : " (lead)"));
    svg.out += "</g>";
}

void Legend(Svg& svg, double y) {
    svg.out += "<g class=\"legend\">";
    double x = kLeft;
    for (BlockStatus status : kStatuses) {
        const std::string name = BlockStatusName(status);
        svg.Rect(x, y - 11, 14, 14, "class=\"" + name + "\"");
        svg.Text(x + 20, y, "", name);
        x += 40 + kCharWidth * static_cast<double>(name.size());
    }
    svg.Rect(x, y - 7, 14, kDamage, "class=\"damage\"");
    svg.Text(x + 20, y, "", "damage");
    svg.Rect(x + 90, y - 11, 14, 14, "class=\"gap\"");
    svg.Text(x + 110, y, "", "gap");
    svg.out += "<path class=\"reread\" d=\"M" + Num(x + 150) + " " + Num(y - 8) + "v4h14v-4\"/>";
    svg.Text(x + 170, y, "", "read again");
    svg.out += "</g>";
}

std::string Title(const SideRescue& rescue, const RescueMedium& medium) {
    const std::size_t reads = rescue.reads.size();
    return std::string(medium.label) + " side, " + std::to_string(reads) +
           (reads == 1 ? " read, " : " reads, ") + (rescue.complete ? "complete" : "incomplete");
}

}  // namespace

std::vector<std::string> RescuedNames(const SideRescue& rescue, const RescueMedium& medium) {
    std::vector<std::string> names;
    std::string name;
    for (const RescuedBlock& block : rescue.blocks) {
        if (block.role == BlockRole::kHeader) {
            name.clear();
            const std::size_t end = medium.nameoffset + medium.namebytes;
            if (block.bytes.size() >= end) {
                const std::uint8_t* at = &block.bytes[medium.nameoffset];
                name = medium.nameends ? ReadableName(at, medium.namebytes)
                                       : ReadableBytes(at, medium.namebytes);
            }
        }
        const bool file = block.role == BlockRole::kHeader || block.role == BlockRole::kData;
        names.push_back(file ? name : "");
    }
    return names;
}

std::string SideMap(const SideRescue& rescue, const RescueMedium& medium,
                    const std::vector<std::string>& readnames) {
    const Scale scale = ScaleOf(rescue, medium);
    const double result = kTop + kReadPitch * static_cast<double>(rescue.reads.size());
    const double axis = result + kResultPitch - 12;  // below where to read again
    const double height = axis + 70;
    Svg svg;
    svg.out = "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + Num(kWidth) + "\" height=\"" +
              Num(height) + "\" viewBox=\"0 0 " + Num(kWidth) + " " + Num(height) + "\">" + kStyle;
    svg.Rect(0, 0, kWidth, height, "fill=\"#ffffff\"");
    svg.Text(kLeft, 26, "class=\"title\"", Title(rescue, medium));
    const std::size_t count = rescue.blocks.size();
    svg.Text(kLeft, 46, "class=\"note\"",
             std::to_string(count) + (count == 1 ? " block: " : " blocks: ") +
                 StatusCounts(rescue.blocks));
    for (std::size_t r = 0; r < rescue.reads.size(); ++r)
        ReadBand(svg, scale, rescue, r, medium, readnames,
                 kTop + kReadPitch * static_cast<double>(r));
    ResultBand(svg, scale, rescue, medium, result);
    Axis(svg, scale, rescue, axis);
    Legend(svg, axis + 52);
    svg.out += "</svg>\n";
    return svg.out;
}
