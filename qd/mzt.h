// MZT files: records back to back, each a 128-byte header and a body of the
// header's size. Fewer than 128 bytes left at a record's start are ignored.
#pragma once

#include <cstddef>
#include <cstdint>
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

// The same fields in both arrangements; all other bytes are 0.
QdInfoRecord InfoRecordFromMzt(const std::uint8_t* header);
MztHeader MztHeaderFromInfo(const QdInfoRecord& record);
