// MZT files: records back to back, each a 128-byte header and a body of the
// header's size. Fewer than 128 bytes left at a record's start are ignored.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "qd/qd_layout.h"

inline constexpr int kMztHeaderBytes = 128;
inline constexpr int kMztAttribute = 0;
inline constexpr int kMztName = 1;
inline constexpr int kMztSize = 18;
inline constexpr int kMztLoad = 20;
inline constexpr int kMztExec = 22;
inline constexpr int kMztCarried = 62;

using MztHeader = std::array<std::uint8_t, kMztHeaderBytes>;

struct MztRecordView {
    std::size_t offset;  // of the header in the file
    std::uint16_t size;  // of the body, from the header
};

std::vector<MztRecordView> WalkMztRecords(const std::vector<std::uint8_t>& file);
// Whether the record's body, by its size field, lies whole inside the file.
bool MztBodyInside(const std::vector<std::uint8_t>& file, const MztRecordView& record);

// Whether a record header is one an MZ machine writes: a file mode (1 to 5)
// and a name as real tapes hold it (shown characters ending at 0x0D, or
// padded with 0x00 or blanks, or 17 printable ASCII characters).
bool LooksLikeMztHeader(const std::uint8_t* header);
// Whether a file of size bytes is an MZT file: every record header along the
// chain looks like one, and the records cover the file to its end, or with
// the last body cut short, or with fewer bytes than a header left over.
// Only the headers are read, each by read(offset, header), false when it
// cannot be.
bool IsMztChain(std::uint64_t size,
                const std::function<bool(std::uint64_t offset, std::uint8_t* header)>& read);

// The same fields in both arrangements; all other bytes are 0.
QdInfoRecord InfoRecordFromMzt(const std::uint8_t* header);
MztHeader MztHeaderFromInfo(const QdInfoRecord& record);

// An MZT file as it goes onto a side: a body cut short filled with 0x00,
// bytes after the last record left out; nothing when it holds no record.
struct MztForSide {
    std::vector<std::uint8_t> file;
    std::vector<MztRecordView> records;
    std::size_t shortby = 0;   // bytes the last body lacked
    std::size_t trailing = 0;  // bytes after the last record, left out
};
MztForSide MztAsEncoded(const std::vector<std::uint8_t>& mzt);
// The MZT file as a side holds it: the header fields an information record
// carries, every other header byte 0, and the body.
std::vector<std::uint8_t> MztAsSideHolds(const std::vector<std::uint8_t>& file);
