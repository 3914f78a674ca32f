// FDS sides as qdkit sees them: the facts of a side area, where an image's
// sides lie, and raw sides read back and written through the kit's own
// decoder and encoder.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "fds/fds_image.h"
#include "fds/side_decoder.h"
#include "qdkit/report.h"

using Bytes = std::vector<std::uint8_t>;

// "A", "B", ... "Z", "AA", ...: side n (from 0), as in output names.
std::string SideLabel(int side);
// The sides a --side list names, each counted from 1: labels in either
// case ("A", "b", "AA"), numbers, and ranges of either ("A-C", "1-3"),
// one word each; none, with why in error, when a word names no side.
std::optional<std::vector<int>> ParseSideList(const std::vector<std::string>& words,
                                              std::string& error);
// ".DKA", ".DKB", ...: the raw side of side n.
std::string RawSideSuffix(int side);

// A side area of nothing but 0x00: no side was ever written there.
bool IsBlankArea(const Bytes& area);

// What is unusual about where an FDS image's sides lie.
void CheckFdsLayout(const FdsImageLayout& layout, FileReport& report);

// One FDS side area (65500 bytes, or a decoded side's blocks): its disk
// info, announced count and files; what is unusual goes to the report with
// the side's label in front.
Json FdsSideFacts(const Bytes& area, int side, FileReport& report);

struct FdsProblemSeen {
    FdsDecodeProblem problem;
    int a;
    int b;
};

// A raw side through the kit's decoder, with everything its events tell.
struct FdsRawRead {
    FdsDecodeOutcome outcome;
    Bytes image;  // as the decoder leaves it: header, blocks, fill unless it failed
    std::vector<FdsBlockSeen> blocks;
    std::vector<FdsProblemSeen> problems;
};

FdsRawRead ReadFdsRaw(const Bytes& raw);
// What went wrong decoding raw: blocks that fail their CRC, an early end. A
// side that ends after fewer files than announced is damage only when a
// block start lies further on in the read; else it is the trick of
// announcing more files than there are.
std::vector<std::string> FdsReadDamage(const FdsRawRead& read, const Bytes& raw);
// The side area of a decoded one-side image, at least a whole area long.
Bytes DecodedFdsArea(const Bytes& image);
// What the decoder makes of a raw side: a one-side FDS image, no larger than
// a side area holds. A side that
// does not decode cleanly is an error, or with keep a warning, and the image
// holds what was decoded. Empty when no block was.
Bytes FdsRawToFds(const Bytes& raw, bool keep, FileReport& report);

struct FdsSide;
struct Content;
// The sides an FDS target writes: a blank area is no side, and every
// target leaves it out with a warning (one for a run of blank sides).
std::vector<const FdsSide*> SidesToWrite(const Content& content, FileReport& report);
// Whether a side's blocks fit a side area of an image; an error says why not.
bool FitsSideArea(const FdsSide& side, FileReport& report);

// What the kit's encoder writes for a side area, with a fresh writer; none
// when the blocks do not fit.
std::optional<Bytes> CanonicalFdsRaw(const Bytes& area);
