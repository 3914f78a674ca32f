#include "fds/side_decoder.h"

#include "common/littleendian.h"
#include "fds/fds_layout.h"

namespace {

// Bytes read after the start mark: ID, payload and CRC; 0 for no block.
int BytesToRead(int id, int filesize) {
    if (id == kFdsFileDataBlock) return filesize + 1 + kFdsCrcBytes;
    const int block = FdsBlockBytes(static_cast<std::uint8_t>(id), 0);
    return block == 0 ? 0 : block + kFdsCrcBytes;
}

struct SideWalk {
    BitReader& reader;
    std::vector<std::uint8_t>& image;
    Crc16& crc;
    FdsDecodeEvents& events;
    int sidebytes = 0;
    int announced = 0;
    int filesdone = 0;
    int headersseen = 0;  // disk info and file amount blocks
    int filesize = 0;
    bool headerpending = false;  // a file header waits for its data
    bool damaged = false;

    bool Complete() const { return headersseen >= 2 && filesdone >= announced && !headerpending; }

    FdsDecodeOutcome Finish() {
        if (sidebytes < kFdsSideAreaBytes) {
            image.resize(image.size() + (kFdsSideAreaBytes - sidebytes), kFdsImageFillByte);
            sidebytes = kFdsSideAreaBytes;
        }
        return damaged ? FdsDecodeOutcome::kDamaged : FdsDecodeOutcome::kComplete;
    }

    FdsDecodeOutcome EndOfData() {
        if (!Complete()) {
            events.Problem(FdsDecodeProblem::kDataEnded, 0, 0);
            damaged = true;
        }
        return Finish();
    }

    FdsDecodeOutcome BadBlockId(std::int32_t id) {
        events.Problem(FdsDecodeProblem::kBadBlockId, id, static_cast<int>(reader.bitstreampos));
        return FdsDecodeOutcome::kFailed;
    }

    FdsDecodeOutcome Run();
};

FdsDecodeOutcome SideWalk::Run() {
    for (;;) {
        const std::int32_t id = reader.ReadByte();
        if (id < 0) return EndOfData();
        crc.CRC_check(static_cast<std::uint8_t>(id), true);
        // Data only right after its header: a header hidden by damage would
        // otherwise lend the data block the previous file's size, and a read
        // that long passes its CRC on the zero gap behind the block.
        if (headerpending != (id == kFdsFileDataBlock)) return BadBlockId(id);
        headerpending = id == kFdsFileHeaderBlock;
        if (id == kFdsEndOfSideId) return Finish();
        if (id == kFdsFileHeaderBlock) filesize = 0;
        const int length = BytesToRead(id, filesize);
        if (length == 0) return Complete() ? Finish() : BadBlockId(id);
        // The payload goes straight into the image, the CRC bytes beside it.
        const std::size_t blockstart = image.size();
        const auto payload = static_cast<std::size_t>(length - 1 - kFdsCrcBytes);
        image.resize(blockstart + 1 + payload);
        image[blockstart] = static_cast<std::uint8_t>(id);
        std::uint8_t* body = image.data() + blockstart + 1;
        const std::size_t got = reader.ReadBytes(body, payload);
        std::uint8_t stored[kFdsCrcBytes] = {};
        const std::size_t gotcrc = got < payload ? 0 : reader.ReadBytes(stored, kFdsCrcBytes);
        image.resize(blockstart + 1 + got);
        sidebytes += static_cast<int>(1 + got);
        crc.Update(body, got, false);
        const std::uint16_t value = crc.Update(stored, gotcrc, false);
        if (id == kFdsFileAmountBlock && got >= kFdsFileCountOffset) {
            announced = body[kFdsFileCountOffset - 1];
            events.FileCount(announced);
        }
        if (id == kFdsFileHeaderBlock && got > kFdsFileSizeOffset) {
            filesize = static_cast<int>(Le16(body + kFdsFileSizeOffset - 1));
        }
        if (gotcrc < kFdsCrcBytes) return EndOfData();
        events.Block({static_cast<std::uint8_t>(id), blockstart, length - kFdsCrcBytes, value,
                      reader.Cell()});
        if (value != 0) {
            events.Problem(FdsDecodeProblem::kBadCrc, filesdone, value);
            damaged = true;
        }
        if (id == kFdsDiskInfoBlock || id == kFdsFileAmountBlock) ++headersseen;
        if (id == kFdsFileDataBlock) ++filesdone;
        if (SearchSync(reader) < 0) {
            if (Complete()) return Finish();
            events.Problem(FdsDecodeProblem::kSyncLost, filesdone, announced);
            return FdsDecodeOutcome::kFailed;
        }
    }
}

}  // namespace

int SearchSync(BitReader& reader) {
    int groups = 0;
    while (groups <= kFdsSyncGapGroups) {
        // Gap in step passes a word at a time.
        groups += static_cast<int>(reader.SkipGroups(
            kFdsGapCells, static_cast<std::uint32_t>(kFdsSyncGapGroups + 1 - groups)));
        if (groups > kFdsSyncGapGroups) break;
        const std::int32_t cells = reader.ReadBits(8);
        if (cells < 0) return -1;
        if (cells == kFdsGapCells) {
            ++groups;
        } else {
            // Out of step: drop a cell to fall in.
            if (cells == kFdsGapCellsOutOfStep) reader.ReadBits(1);
            groups = 0;
        }
    }
    return reader.FindPair(kFdsStartMarkCells);
}

FdsDecodeOutcome DecodeFdsSide(const std::vector<std::uint8_t>& raw,
                               std::vector<std::uint8_t>& image, Crc16& crc,
                               FdsDecodeEvents& events) {
    image.assign(kFdsMagic, kFdsMagic + kFdsMagicBytes);
    image.push_back(1);
    image.resize(kFdsHeaderBytes, kFdsImageFillByte);
    image.reserve(kFdsHeaderBytes + kFdsSideAreaBytes);

    BitReader reader(raw);
    constexpr std::size_t kSkipped = kFdsSkippedRawBytes / kRawBytesPerByte;
    if (reader.SkipBytes(kSkipped) < kSkipped) {
        events.Problem(FdsDecodeProblem::kDataEnded, 0, 0);
        return FdsDecodeOutcome::kFailed;
    }
    if (SearchSync(reader) < 0) {
        events.Problem(FdsDecodeProblem::kNoFirstSync, 0, 0);
        return FdsDecodeOutcome::kFailed;
    }
    SideWalk walk{reader, image, crc, events};
    return walk.Run();
}
