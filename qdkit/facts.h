// The facts of `qdkit info`, one kind at a time, gathered into the report.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "fds/fds_blocks.h"
#include "qdkit/detect.h"
#include "qdkit/report.h"
#include "qdkit/sides.h"

// "A", "B", ... "Z", "AA", ...: side n (from 0), as in output names.
std::string SideLabel(int side);

// A side area of nothing but 0x00: no side was ever written there.
bool IsBlankArea(const std::vector<std::uint8_t>& area);

// What is unusual about where an FDS image's sides lie.
void CheckFdsLayout(const FdsImageLayout& layout, FileReport& report);

// One FDS side area (65500 bytes, or a decoded side's blocks): its disk
// info, announced count and files; what is unusual goes to the report with
// the side's label in front.
Json FdsSideFacts(const std::vector<std::uint8_t>& area, int side, FileReport& report);

// The first cell (eight to a byte, first in bit 0) where two raw sides
// differ; a shorter side differs where it ends.
std::optional<std::size_t> FirstDifferentCell(const std::vector<std::uint8_t>& a,
                                              const std::vector<std::uint8_t>& b);

// What went wrong decoding an FDS raw side: blocks that fail their CRC, an
// early end. A side that ends after fewer files than announced is no damage.
std::vector<std::string> FdsReadDamage(const FdsRawRead& read);
// Why a QD side's walk stopped early; empty after a normal end.
std::string QdWalkText(const QdRawRead& read);

// Fills report (kind, facts, warnings, errors) for a file of a known kind.
void Inspect(const Input& input, FileReport& report);
