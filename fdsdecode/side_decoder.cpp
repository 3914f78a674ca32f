#include "fdsdecode/side_decoder.h"

#include "common/messages.h"
#include "fdsencode/fds_format.h"

namespace {

// Syncデータが見つかりません。(ERROR 21)
constexpr const char* kNoFirstSync =
    "ERROR : Sync\x83"
    "f\x81[\x83^\x82\xAA\x8C\xA9\x82\xC2\x82\xA9\x82\xE8\x82\xDC\x82\xB9\x82\xF1\x81"
    "B(ERROR 21)\n";
// Syncデータが見つかりません。%3d/%3d
constexpr const char* kSyncLost =
    "ERROR : Sync\x83"
    "f\x81[\x83^\x82\xAA\x8C\xA9\x82\xC2\x82\xA9\x82\xE8\x82\xDC\x82\xB9\x82\xF1\x81"
    "B%3d/%3d\n";
// BLOCK ID が正しくありません。 ID=%02X %6X
constexpr const char* kBadBlockId =
    "ERROR : BLOCK ID \x82\xAA\x90\xB3\x82\xB5\x82\xAD\x82\xA0\x82\xE8\x82\xDC\x82\xB9\x82\xF1\x81"
    "B ID=%02X %6X\n";
// CRC が正しくありません。index:%d crc:%04X
constexpr const char* kBadCrc =
    "ERROR : CRC \x82\xAA\x90\xB3\x82\xB5\x82\xAD\x82\xA0\x82\xE8\x82\xDC\x82\xB9\x82\xF1\x81"
    "Bindex:%d crc:%04X\n";
constexpr const char* kFileNum = "FILE NUM: %d\n";

// An ID byte 5 where a block begins ends the side at once.
constexpr std::uint8_t kEndOfSideId = 5;

// Bytes read after the start mark: ID, payload and CRC; 0 for no block.
int BytesToRead(int id, int filesize) {
    if (id == kFileDataBlock) return filesize + 1 + kFdsCrcBytes;
    const int block = FdsBlockBytes(static_cast<std::uint8_t>(id), 0);
    return block == 0 ? 0 : block + kFdsCrcBytes;
}

struct SideWalk {
    BitReader& reader;
    std::vector<std::uint8_t>& image;
    Crc16& crc;
    Console& console;
    int sidebytes = 0;
    int announced = 0;
    int filesdone = 0;
    int headersseen = 0;  // disk info and file amount blocks
    int filesize = 0;
    bool damaged = false;

    bool Complete() const { return headersseen >= 2 && filesdone >= announced; }

    void Write(std::uint8_t byte) {
        image.push_back(byte);
        ++sidebytes;
    }

    FdsDecodeOutcome Finish() {
        while (sidebytes < kFdsSideAreaBytes) Write(0x00);
        return damaged ? FdsDecodeOutcome::kDamaged : FdsDecodeOutcome::kComplete;
    }

    FdsDecodeOutcome EndOfData() {
        if (!Complete()) {
            console.Err(kEndOfData);
            damaged = true;
        }
        return Finish();
    }

    FdsDecodeOutcome Run();
};

FdsDecodeOutcome SideWalk::Run() {
    for (;;) {
        const std::int32_t id = reader.ReadByte();
        if (id < 0) return EndOfData();
        std::uint16_t value = crc.CRC_check(static_cast<std::uint8_t>(id), true);
        if (id == kEndOfSideId) return Finish();
        if (id == kFileHeaderBlock) filesize = 0;
        const int length = BytesToRead(id, filesize);
        if (length == 0) {
            if (Complete()) return Finish();
            console.Err(kBadBlockId, id, static_cast<unsigned>(reader.bitstreampos));
            return FdsDecodeOutcome::kFailed;
        }
        Write(static_cast<std::uint8_t>(id));
        for (int k = 1; k < length; ++k) {
            const std::int32_t b = reader.ReadByte();
            if (b < 0) return EndOfData();
            if (k < length - kFdsCrcBytes) Write(static_cast<std::uint8_t>(b));
            value = crc.CRC_check(static_cast<std::uint8_t>(b), false);
            if (id == kFileAmountBlock && k == kFileCountOffset) {
                console.Out(kFileNum, b);
                announced = b;
            }
            if (id == kFileHeaderBlock && k == kFileSizeOffset) filesize = b;
            if (id == kFileHeaderBlock && k == kFileSizeOffset + 1) filesize += 256 * b;
        }
        if (value != 0) {
            console.Err(kBadCrc, filesdone, value);
            damaged = true;
        }
        if (id == kDiskInfoBlock || id == kFileAmountBlock) ++headersseen;
        if (id == kFileDataBlock) ++filesdone;
        if (SearchSync(reader) < 0) {
            if (Complete()) return Finish();
            console.Err(kSyncLost, filesdone, announced);
            return FdsDecodeOutcome::kFailed;
        }
    }
}

}  // namespace

int SearchSync(BitReader& reader) {
    int groups = 0;
    while (groups <= kFdsSyncGapGroups) {
        const std::int32_t cells = reader.ReadBits(8);
        if (cells < 0) return -1;
        if (cells == 0x55) {
            ++groups;
        } else {
            // 0xAA is the gap one cell out of step: drop a cell to fall in.
            if (cells == 0xAA) reader.ReadBits(1);
            groups = 0;
        }
    }
    // The start mark's one set data bit: clock 0, data 1.
    for (;;) {
        const std::int32_t pair = reader.ReadBits(2);
        if (pair < 0) return -1;
        if (pair == 2) return 1;
    }
}

FdsDecodeOutcome DecodeFdsSide(const std::vector<std::uint8_t>& raw,
                               std::vector<std::uint8_t>& image, Crc16& crc, Console& console) {
    image.assign(kFdsMagic, kFdsMagic + kFdsMagicBytes);
    image.push_back(1);
    image.resize(kFdsHeaderBytes, 0x00);

    BitReader reader(raw);
    for (int i = 0; i < kFdsSkippedBytes; ++i) {
        if (reader.ReadByte() < 0) {
            console.Err(kEndOfData);
            return FdsDecodeOutcome::kFailed;
        }
    }
    if (SearchSync(reader) < 0) {
        console.Err(kNoFirstSync);
        return FdsDecodeOutcome::kFailed;
    }
    SideWalk walk{reader, image, crc, console};
    return walk.Run();
}
