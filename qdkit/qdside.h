// QD sides as qdkit tells of them: what the decoder read of a side, in
// facts and messages, and the checks written out sides and tapes get.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "common/blocks.h"
#include "qd/mzt.h"
#include "qd/side_decoder.h"
#include "qdkit/report.h"

// Why a side's decoding stopped early; empty after a normal end.
std::string QdWalkText(const QdSideRead& read);
// The blocks and files of a side as the decoder read them; a side that does
// not decode to its end fails the report (for a raw side, with the hint that
// the rescue may do more).
void QdSideFacts(const QdSideRead& read, bool raw, FileReport& report);
// Files whose information record gives another size than their data block
// holds: "block N: ..." for each (index from 0).
std::string SizeMismatchText(std::size_t index, unsigned infosize, std::size_t datasize);
std::vector<std::string> SizeMismatches(const QdSideRead& read);
// What an MZT file written of such a side does about it.
inline constexpr char kSizeRepair[] = "; the MZT header gives the data block's size";
// The MZT file of a side as the decoder wrote it, each record's size that
// of its data block (a warning names each repair); none, with an error,
// when a data block has no information block or one has no data block.
Bytes SideMzt(const QdSideRead& read, FileReport& report);
// The decoder on a side that is to be written out: what stops it is damage
// (see Damage), and a side without a block-count block an error.
QdSideRead ReadQdSideChecked(const Bytes& raw, bool keep, FileReport& report,
                             QdReadFiles files = QdReadFiles::kBoth);

// Bytes after a tape's last record, fewer than a header: ignored.
void WarnTrailing(std::size_t bytes, FileReport& report);
// A tape whose one record is empty, which Surbeck refuses.
void WarnEmptyTape(const std::vector<MztRecordView>& records, FileReport& report);
// The MZT file as it goes onto a side (MztAsEncoded), with a warning for
// what that changes. Empty, with an error, when it holds no record.
Bytes MztAsEncodedTold(const Bytes& mzt, FileReport& report);
// The raw side the kit's encoder makes of an MZT file; empty when it cannot.
Bytes MztToQdRaw(const Bytes& mzt, FileReport& report);
// The warning for a QD image file of size bytes whose side stream is short.
void CheckQdfLength(std::uint64_t size, FileReport& report);
