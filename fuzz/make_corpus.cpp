// Writes the fuzzers' seeds: valid inputs of every kind and damaged
// variants of them, one folder per target below the folder given.
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "common/bitstream.h"
#include "common/crc16.h"
#include "common/wholefile.h"
#include "fds/fds_layout.h"
#include "fds/fds_qd_image.h"
#include "fds/side_encoder.h"
#include "qd/hxc_qd.h"
#include "qd/mzq.h"
#include "qd/mzt.h"
#include "qd/qd_image.h"
#include "qd/qd_layout.h"
#include "qd/side_encoder.h"
#include "samples/imagegen.h"

namespace {

std::string g_root;

void Seed(const char* target, const std::string& name, const ByteVector& bytes) {
    const std::filesystem::path folder = std::filesystem::path(g_root) / target;
    std::filesystem::create_directories(folder);
    SaveFile((folder / name).string().c_str(), bytes);
}

ByteVector Cut(ByteVector bytes, std::size_t size) {
    bytes.resize(std::min(size, bytes.size()));
    return bytes;
}

ByteVector Flip(ByteVector bytes, std::size_t at) {
    if (at < bytes.size()) bytes[at] ^= 0x10;
    return bytes;
}

// Every cell one place later.
ByteVector Shift(const ByteVector& raw) {
    ByteVector late(raw.size() + 1, 0);
    for (std::size_t i = 0; i < raw.size(); ++i) {
        late[i] = static_cast<std::uint8_t>(late[i] | raw[i] << 1);
        late[i + 1] = static_cast<std::uint8_t>(raw[i] >> 7);
    }
    return late;
}

ByteVector FdsRaw(const ByteVector& image) {
    ByteVector stream;
    Crc16 crc(kFdsWriterCrc);
    BitWriter writer;
    EncodeFdsSide(image, kFdsHeaderBytes, stream, crc, writer);
    return writer.bitstreambuffer;
}

ByteVector QdRaw(const ByteVector& mzt) {
    Crc16 crc(kQdWriterCrc);
    BitWriter writer;
    EncodeQdSide(mzt, crc, writer);
    return writer.bitstreambuffer;
}

ByteVector QdImageOf(const ByteVector& raw) {
    ByteVector image = QdImageHeader();
    BitReader reader(raw);
    for (std::int32_t b; (b = reader.ReadByte()) >= 0;)
        image.push_back(static_cast<std::uint8_t>(b));
    return image;
}

void FdsSeeds() {
    FdsSideContent none, one_empty, several, more, short_of;
    one_empty.files = {ByteVector{}};
    several.files = {Pattern(100, 1), Pattern(2000, 2), Pattern(7, 3)};
    more.files = {Pattern(10, 4), Pattern(20, 5), Pattern(30, 6)};
    more.announced = 1;
    short_of = several;
    short_of.announced = 4;
    const std::vector<std::pair<std::string, ByteVector>> images = {
        {"none", FdsImage({none})},
        {"one_empty", FdsImage({one_empty})},
        {"several", FdsImage({several})},
        {"more", FdsImage({more})},
        {"two_sides", FdsImage({several, more})},
        {"five_sides", FdsImage({several, more}, 5)},
    };
    for (const auto& [name, image] : images) {
        Seed("talvret", name, image);
        const ByteVector raw = FdsRaw(image);
        Seed("omblisk", name, raw);
        Seed("omblisk", name + "_flipped", Flip(raw, 2 * (kFdsLeadingGapBytes + 200)));
        Seed("omblisk", name + "_cut", Cut(raw, raw.size() / 2));
        Seed("omblisk", name + "_late", Shift(raw));
    }
    // An FDS .qd image of two sides, for qdkit.
    const ByteVector two = FdsImage({several, more});
    ByteVector qd;
    for (int side = 0; side < 2; ++side) {
        const auto area = two.begin() + static_cast<std::ptrdiff_t>(FdsSideOffset(side));
        AppendFdsQdSide(ByteVector(area, area + kFdsSideAreaBytes), qd);
    }
    Seed("qdkit", "fds_qd_two_sides", qd);
    Seed("talvret", "short_of", FdsImage({short_of}));
    Seed("talvret", "cut_block", Cut(FdsImage({several}), 16 + 56 + 2 + 16 + 50));
    Seed("talvret", "count_past_end", Cut(FdsImage({several}), 16 + 56 + 1));
    Seed("omblisk", "lead_in_only", ByteVector(kFdsSkippedRawBytes, kFdsGapCells));
}

void QdSeeds() {
    MztEntry text;
    text.attribute = 3;
    text.name = "TEXT";
    text.body = {0x05, 0x00, 'A', 'B', 0x1A, 'C'};
    MztEntry binary;
    binary.name = "BIN%";
    binary.body = Pattern(3000, 7);
    MztEntry empty;
    empty.name = "EMPTY";
    const std::vector<std::pair<std::string, ByteVector>> files = {
        {"one", MztFile({binary})},
        {"three", MztFile({text, binary, empty})},
        {"empty_body", MztFile({empty})},
        {"many", MztFile(std::vector<MztEntry>(40, empty))},
    };
    for (const auto& [name, mzt] : files) {
        Seed("surbeck", name, mzt);
        const ByteVector raw = QdRaw(mzt);
        Seed("pelgrane", name, raw);
        Seed("pelgrane", name + "_flipped", Flip(raw, 2 * 7700));
        Seed("pelgrane", name + "_cut", Cut(raw, 2 * 7800));
        Seed("pelgrane", name + "_late", Shift(raw));
        Seed("wenmark", name, QdImageOf(raw));
    }
    // The three records as an MZQ image and an HxC QD image, for qdkit.
    const ByteVector three = MztFile({text, binary, empty});
    ByteVector mzq;
    const ByteVector count{kQdIdMark, 6};
    AppendMzqBlock(mzq, count.data(), count.size());
    for (const MztRecordView& record : WalkMztRecords(three)) {
        const QdInfoRecord info = InfoRecordFromMzt(&three[record.offset]);
        ByteVector block{kQdIdMark, kQdInfoBlockType, kQdInfoRecordBytes, 0};
        block.insert(block.end(), info.begin(), info.end());
        AppendMzqBlock(mzq, block.data(), block.size());
        block = {kQdIdMark, kQdDataBlockType, static_cast<std::uint8_t>(record.size),
                 static_cast<std::uint8_t>(record.size >> 8)};
        const auto body =
            three.begin() + static_cast<std::ptrdiff_t>(record.offset) + kMztHeaderBytes;
        block.insert(block.end(), body, body + record.size);
        AppendMzqBlock(mzq, block.data(), block.size());
    }
    Seed("qdkit", "mzq_three", mzq);
    Seed("qdkit", "hxc_three", HxcQdOfCells(QdRaw(three)));
    Seed("surbeck", "cut_body", Cut(MztFile({text, binary}), 128 + 6 + 128 + 100));
    Seed("surbeck", "trailing", Cut(MztFile({text, empty}), 128 + 6 + 100));
    Seed("pelgrane", "skipped_only", ByteVector(kQdSkippedRawBytes, kQdGapCells));
}

}  // namespace

int main(int argc, char** argv) {
    g_root = argc > 1 ? argv[1] : "corpus";
    FdsSeeds();
    QdSeeds();
    return 0;
}
