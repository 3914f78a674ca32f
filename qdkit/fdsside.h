// FDS sides as qdkit sees them: the facts of a side area, where an image's
// sides lie, and raw sides read back and written through the kit's own
// decoder and encoder.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "common/blocks.h"
#include "fds/fds_image.h"
#include "fds/side_decoder.h"
#include "qdkit/report.h"

// "A", "B", ... "Z", "AA", ...: side n (from 0), as in output names.
std::string SideLabel(int side);
// The sides a --side list names, each counted from 1: labels in either
// case ("A", "b", "AA"), numbers, and ranges of either ("A-C", "1-3"),
// one word each; none, with why in error, when a word names no side.
std::optional<std::vector<int>> ParseSideList(const std::vector<std::string>& words,
                                              std::string& error);
// ".DKA", ".DKB", ...: the raw side of side n.
std::string RawSideSuffix(int side);

// What is unusual about where an FDS image's sides lie.
void CheckFdsLayout(const FdsImageLayout& layout, FileReport& report);

// One FDS side area (65500 bytes, or a decoded side's blocks): its disk
// info, announced count and files; what is unusual goes to the report with
// the side's label in front.
Json FdsSideFacts(const Bytes& area, int side, FileReport& report);
// An image's side that numbers its files around a gap and lacks at least
// as many of those it announces lost them whole, as a raw read would show.
// side: the side's facts.
void CheckFdsFileNumbers(const Json& side, FileReport& report);

// What went wrong decoding raw: blocks that fail their CRC, an early end. A
// side that ends after fewer files than announced is damage only when a
// block start lies further on in the read; else it is the trick of
// announcing more files than there are.
std::vector<std::string> FdsReadDamage(const FdsSideRead& read, const Bytes& raw);
// What the decoder makes of a raw side: a one-side FDS image, no larger than
// a side area holds. A side that
// does not decode cleanly is an error, or with keep a warning, and the image
// holds what was decoded. Empty when no block was.
Bytes FdsRawToFds(const Bytes& raw, bool keep, FileReport& report);

// The sides an FDS target writes: a blank area is no side, and every
// target leaves it out with a warning (one for a run of blank sides).
std::vector<const FdsImageSide*> SidesToWrite(const std::vector<FdsImageSide>& sides,
                                              FileReport& report);
// Whether a side's blocks fit a side area of an image; an error says why not.
bool FitsSideArea(int number, const std::vector<std::uint8_t>& area, FileReport& report);
