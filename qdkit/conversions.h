// Every conversion of qdkit, in memory: the same functions as the classic
// programs, with what real-world files need around them. What is unusual
// goes to the report as a warning, what stops the conversion as an error.
#pragma once

#include <cstdint>
#include <optional>
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
// The MZT file as it goes onto a side: a body cut short filled with 0x00,
// bytes after the last record left out. Empty when it holds no record.
Bytes MztAsEncoded(const Bytes& mzt, FileReport& report);
Bytes MztToQdRaw(const Bytes& mzt, FileReport& report);
Bytes QdfToQdRaw(const Bytes& qdf, FileReport& report);

// What the decoders make of a raw side: a one-side FDS image, an MZT file,
// a QD image file. A side that does not decode cleanly is an error, or with
// keep a warning, and its output holds what was decoded.
Bytes FdsRawToFds(const Bytes& raw, bool keep, FileReport& report);
Bytes QdRawToMzt(const Bytes& raw, bool keep, FileReport& report);
Bytes QdRawToQdf(const Bytes& raw, bool keep, FileReport& report);

// What the kit's encoders write for a side's blocks, with a fresh writer:
// an FDS side area, or the records of an MZT file. None when they cannot.
std::optional<Bytes> CanonicalFdsRaw(const Bytes& area);
std::optional<Bytes> CanonicalQdRaw(const Bytes& mzt);
// The side area of a decoded one-side image, at least a whole area long.
Bytes DecodedFdsArea(const Bytes& image);

// Output name suffixes.
std::string RawSideSuffix(int side);
inline constexpr const char* kQdRawSuffix = ".QDK";
inline constexpr const char* kFdsSuffix = ".fds";
inline constexpr const char* kMztSuffix = ".mzt";
inline constexpr const char* kQdfSuffix = ".qdf";
