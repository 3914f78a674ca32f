// The tolerant reader of QD sides, beside the exact decoder: every block it
// can find in a raw read, at any cell phase and with no blind lead-in, and
// the side rebuilt from one read or several. A block's start is a sync byte
// and the ID mark; where damage took the sync bytes, the mark alone is
// looked for between the blocks found, and taken only when its block passes
// its CRC. A bad block does not stop the reading.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "common/dataplanes.h"
#include "common/rescue.h"

// The blocks of one read, in the order they lie, each judged by this read alone.
ReadScan ScanQdRead(const DataPlanes& planes);

// Whether a read holds a block-count block that passes its CRC after at
// least two sync bytes: the opening of a QD side, found anywhere in it.
bool HoldsQdSideStart(const DataPlanes& planes);
// Whether that block lies in the first kOpeningRawBytes of a raw read: a
// quick yes that HoldsQdSideStart would give too.
bool QdSideOpensEarly(const std::vector<std::uint8_t>& raw);

// How QD blocks make a side: the block-count block, then the blocks it
// counts, an information block and a data block for each file.
extern const RescueMedium kQdRescue;

// Several reads of one side, each scanned here.
SideRescue RescueQdSide(const std::vector<const std::vector<std::uint8_t>*>& reads,
                        const RescueOptions& options = {});

// What the MZT file of a rescued side did with one of its files.
enum class RescuedFileNote {
    kLeftOut,    // it lacks its information block or its data
    kUnsound,    // its information record makes no header an MZ machine writes
    kSizeTaken,  // the record gives another size than the data block holds; the header takes the
                 // block's
    kFitted,     // a data block that is not sure, cut or padded to its sure record's size
};
struct RescuedFileEvent {
    RescuedFileNote note;
    std::size_t block;      // the information block's index among the side's blocks
    unsigned recordsize;    // the size its information record gives
    std::size_t blocksize;  // the body its data block holds
};
struct RescuedMzt {
    std::vector<std::uint8_t> file;
    std::vector<RescuedFileEvent> events;
};
// An MZT record for each information block and the data block behind it.
RescuedMzt RescuedMztFile(const SideRescue& rescue);

// The rescued side as a QD image file: its blocks, each with the CRC bytes
// its kept copy holds, laid on a side as the kit lays one.
std::vector<std::uint8_t> RescuedQdImage(const SideRescue& rescue);
