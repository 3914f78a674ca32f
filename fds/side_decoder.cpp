#include "fds/side_decoder.h"

#include <algorithm>

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
    FdsReader& fds;
    BitReader& reader;
    std::vector<std::uint8_t>& image;
    Crc16& crc;
    FdsDecodeEvents& events;
    int sidebytes = 0;
    int announced = 0;
    int filesdone = 0;
    int headersseen = 0;  // disk info and file amount blocks
    int filesize = 0;
    std::uint8_t last = 0;  // the last block's ID, 0 before the first
    bool damaged = false;

    bool Complete() const {
        return headersseen >= 2 && filesdone >= announced && last != kFdsFileHeaderBlock;
    }

    FdsDecodeOutcome Finish() {
        if (sidebytes < kFdsSideAreaBytes) {
            image.resize(image.size() + (kFdsSideAreaBytes - sidebytes), kFdsImageFillByte);
            sidebytes = kFdsSideAreaBytes;
        }
        return damaged ? FdsDecodeOutcome::kDamaged : FdsDecodeOutcome::kComplete;
    }

    FdsDecodeOutcome EndOfData() {
        if (!Complete()) {
            events.Problem({FdsDecodeProblem::kDataEnded});
            damaged = true;
        }
        return Finish();
    }

    FdsDecodeOutcome BadBlockId(std::int32_t id) {
        FdsProblemSeen problem{FdsDecodeProblem::kBadBlockId};
        problem.byte = id;
        problem.position = reader.bitstreampos;
        events.Problem(problem);
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
        if (!FdsBlockInOrder(last, static_cast<std::uint8_t>(id))) return BadBlockId(id);
        last = static_cast<std::uint8_t>(id);
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
        const auto code = static_cast<std::uint8_t>(id);
        events.Block({FdsBlockRole(code), code, static_cast<std::size_t>(length - kFdsCrcBytes),
                      value, blockstart, reader.Cell()});
        if (value != 0) {
            FdsProblemSeen problem{FdsDecodeProblem::kBadCrc};
            problem.filesdone = filesdone;
            problem.check = value;
            events.Problem(problem);
            damaged = true;
        }
        if (id == kFdsDiskInfoBlock || id == kFdsFileAmountBlock) ++headersseen;
        if (id == kFdsFileDataBlock) ++filesdone;
        if (fds.SearchSync() == SyncSearch::kEnd) {
            if (Complete()) return Finish();
            FdsProblemSeen problem{FdsDecodeProblem::kSyncLost};
            problem.filesdone = filesdone;
            problem.announced = announced;
            events.Problem(problem);
            return FdsDecodeOutcome::kFailed;
        }
    }
}

}  // namespace

SyncSearch FdsReader::SearchSync() {
    int groups = 0;
    while (groups <= kFdsSyncGapGroups) {
        // Gap in step passes a word at a time.
        groups += static_cast<int>(reader.SkipGroups(
            kFdsGapCells, static_cast<std::uint32_t>(kFdsSyncGapGroups + 1 - groups)));
        if (groups > kFdsSyncGapGroups) break;
        const std::int32_t cells = reader.ReadBits(8);
        if (cells < 0) return SyncSearch::kEnd;
        if (cells == kFdsGapCells) {
            ++groups;
        } else {
            // Out of step: drop a cell to fall in.
            if (cells == kFdsGapCellsOutOfStep) reader.ReadBits(1);
            groups = 0;
        }
    }
    return reader.FindPair(kFdsStartMarkCells) < 0 ? SyncSearch::kEnd : SyncSearch::kFound;
}

FdsDecodeResult DecodeFdsSide(const std::vector<std::uint8_t>& raw, Crc16& crc,
                              FdsDecodeEvents& events) {
    FdsDecodeResult result{FdsDecodeOutcome::kFailed, {}};
    std::vector<std::uint8_t>& image = result.image;
    image.assign(kFdsMagic, kFdsMagic + kFdsMagicBytes);
    image.push_back(1);
    image.resize(kFdsHeaderBytes, kFdsImageFillByte);
    image.reserve(kFdsHeaderBytes + kFdsSideAreaBytes);

    FdsReader fds(raw);
    constexpr std::size_t kSkipped = kFdsSkippedRawBytes / kRawBytesPerByte;
    if (fds.reader.SkipBytes(kSkipped) < kSkipped) {
        events.Problem({FdsDecodeProblem::kDataEnded});
        return result;
    }
    if (fds.SearchSync() == SyncSearch::kEnd) {
        events.Problem({FdsDecodeProblem::kNoFirstSync});
        return result;
    }
    SideWalk walk{fds, fds.reader, image, crc, events};
    result.outcome = walk.Run();
    return result;
}

namespace {

class Recorder : public FdsDecodeEvents {
public:
    explicit Recorder(FdsSideRead& read) : m_read(read) {}
    void Block(const BlockSeen& block) override { m_read.blocks.push_back(block); }
    void Problem(const FdsProblemSeen& problem) override { m_read.problems.push_back(problem); }

private:
    FdsSideRead& m_read;
};

}  // namespace

FdsSideRead ReadFdsSide(const std::vector<std::uint8_t>& raw) {
    FdsSideRead read{};
    Recorder recorder(read);
    Crc16 crc(kFdsCheckerCrc);
    FdsDecodeResult result = DecodeFdsSide(raw, crc, recorder);
    read.outcome = result.outcome;
    read.image = std::move(result.image);
    return read;
}

std::vector<std::uint8_t> DecodedFdsArea(std::vector<std::uint8_t> image) {
    image.erase(image.begin(),
                image.begin() + std::min<std::ptrdiff_t>(kFdsHeaderBytes, image.size()));
    if (image.size() < static_cast<std::size_t>(kFdsSideAreaBytes)) {
        image.resize(kFdsSideAreaBytes, kFdsImageFillByte);
    }
    return image;
}
