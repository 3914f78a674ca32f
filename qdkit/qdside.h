// QD sides as qdkit sees them: raw sides read back through the kit's
// decoder with everything it tells, their facts, and the encoders that make
// raw sides of MZT files and QD image files.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "qd/side_decoder.h"
#include "qdkit/report.h"

using Bytes = std::vector<std::uint8_t>;

struct QdRawRead {
    QdDecodeResult result;
    int blockcount = -1;  // none seen
    std::vector<QdBlockSeen> blocks;
    std::vector<InfoRecord> infos;
    Bytes image;  // the QD image file the decoder's outputs make of the side
    Bytes mzt;    // and the MZT file
};

QdRawRead ReadQdRaw(const Bytes& raw);
// Why a side's decoding stopped early; empty after a normal end.
std::string QdWalkText(const QdRawRead& read);
// The blocks and files of a side as the decoder read them; a side that does
// not decode to its end fails the report.
void QdSideFacts(const QdRawRead& read, FileReport& report);
// The decoder on a side that is to be written out: what stops it is damage
// (see Damage), and a side without a block-count block an error.
QdRawRead ReadQdSide(const Bytes& raw, bool keep, FileReport& report);

// The MZT file as it goes onto a side: a body cut short filled with 0x00,
// bytes after the last record left out. Empty when it holds no record.
Bytes MztAsEncoded(const Bytes& mzt, FileReport& report);
// The raw side the kit's encoder makes of an MZT file; empty when it cannot.
Bytes MztToQdRaw(const Bytes& mzt, FileReport& report);
// The raw side of a QD image file's side stream.
Bytes QdfToQdRaw(const Bytes& qdf, FileReport& report);
// What the kit's encoder writes for the records of an MZT file, with a
// fresh writer; none when they cannot go onto a side.
std::optional<Bytes> CanonicalQdRaw(const Bytes& mzt);
