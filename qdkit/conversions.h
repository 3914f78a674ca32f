// Every conversion of qdkit, in memory: the same functions as the classic
// programs, with what real-world files need around them. What is unusual
// goes to the report as a warning, what stops the conversion as an error.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "qdkit/report.h"

using Bytes = std::vector<std::uint8_t>;

struct Produced {
    std::string suffix;  // of the output name: ".DKA", ".QDK", ...
    Bytes bytes;
};

// Each chosen side (from 0; all when none is chosen) to its raw side.
// Blank sides are skipped with a warning.
std::vector<Produced> FdsToRawSides(const Bytes& image, const std::vector<int>& chosen,
                                    FileReport& report);
Bytes MztToQdRaw(const Bytes& mzt, FileReport& report);
Bytes QdfToQdRaw(const Bytes& qdf, FileReport& report);

// Output name suffixes.
std::string RawSideSuffix(int side);
inline constexpr const char* kQdRawSuffix = ".QDK";
inline constexpr const char* kFdsSuffix = ".fds";
inline constexpr const char* kMztSuffix = ".mzt";
inline constexpr const char* kQdfSuffix = ".qdf";
