// QD sides as qdkit sees them: raw sides read back through the kit's
// decoder with everything it tells, their facts, and the encoders that make
// raw sides of MZT files and QD image files.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "qd/mzt.h"
#include "qd/side_decoder.h"
#include "qdkit/report.h"

using Bytes = std::vector<std::uint8_t>;

struct QdRawRead {
    QdDecodeResult result;
    int blockcount = -1;  // none seen
    std::vector<QdBlockSeen> blocks;
    std::vector<Bytes> blockbytes;  // each block's, from its ID mark through its CRC
    std::vector<QdInfoRecord> infos;
    Bytes image;  // the QD image file the decoder's outputs make of the side
    Bytes mzt;    // and the MZT file
};

// withfiles: whether the QD image and MZT files are made too (the facts alone
// need neither).
QdRawRead ReadQdRaw(const Bytes& raw, bool withfiles = true);
// Why a side's decoding stopped early; empty after a normal end.
std::string QdWalkText(const QdRawRead& read);
// The blocks and files of a side as the decoder read them; a side that does
// not decode to its end fails the report (for a raw side, with the hint that
// the rescue may do more).
void QdSideFacts(const QdRawRead& read, bool raw, FileReport& report);
// Files whose information record gives another size than their data block
// holds: "block N: ..." for each (index from 0).
std::string SizeMismatchText(std::size_t index, unsigned infosize, std::size_t datasize);
std::vector<std::string> SizeMismatches(const QdRawRead& read);
// What an MZT file written of such a side does about it.
inline constexpr char kSizeRepair[] = "; the MZT header gives the data block's size";
// The MZT file of a side as the decoder wrote it, each record's size that
// of its data block (a warning names each repair); none, with an error,
// when a data block has no information block or one has no data block.
Bytes SideMzt(const QdRawRead& read, FileReport& report);
// The decoder on a side that is to be written out: what stops it is damage
// (see Damage), and a side without a block-count block an error.
QdRawRead ReadQdSide(const Bytes& raw, bool keep, FileReport& report);

// Bytes after a tape's last record, fewer than a header: ignored.
void WarnTrailing(std::size_t bytes, FileReport& report);
// A tape whose one record is empty, which Surbeck refuses.
void WarnEmptyTape(const std::vector<MztRecordView>& records, FileReport& report);
// The MZT file as it goes onto a side: a body cut short filled with 0x00,
// bytes after the last record left out. Empty when it holds no record.
Bytes MztAsEncoded(const Bytes& mzt, FileReport& report);
// The raw side the kit's encoder makes of an MZT file; empty when it cannot.
Bytes MztToQdRaw(const Bytes& mzt, FileReport& report);
// The raw side of a side stream, filled with gap to a side's length.
Bytes QdStreamToQdRaw(const Bytes& stream);
// The raw side of a QD image file's side stream, filled to a side's length.
Bytes QdfToQdRaw(const Bytes& qdf, FileReport& report);
// The warning for a QD image file of size bytes whose side stream is short.
void CheckQdfLength(std::uint64_t size, FileReport& report);
// What the kit's encoder writes for the records of an MZT file, with a
// fresh writer; none when they cannot go onto a side.
std::optional<Bytes> CanonicalQdRaw(const Bytes& mzt);
