#include "samples/imagegen.h"

#include <algorithm>

#include "fds/fds_image.h"
#include "fds/fds_layout.h"
#include "qd/mzt.h"

ByteVector Pattern(std::size_t length, std::uint32_t seed) {
    ByteVector bytes(length);
    std::uint32_t state = seed * 2654435761u + 1;
    for (std::uint8_t& b : bytes) {
        state = state * 1103515245u + 12345u;
        b = static_cast<std::uint8_t>(state >> 16);
    }
    return bytes;
}

ByteVector FdsSideBlocks(const FdsSideContent& side) {
    ByteVector blocks(kFdsDiskInfoBlockBytes);
    blocks[0] = kFdsDiskInfoBlock;
    const ByteVector info = Pattern(kFdsDiskInfoBlockBytes - 1, 1);
    std::copy(info.begin(), info.end(), blocks.begin() + 1);
    std::copy_n(kFdsDiskVerification, kFdsDiskVerificationBytes, blocks.begin() + 1);
    const char name[] = "KIT";
    std::copy_n(name, kDiskInfoGameName.bytes, blocks.begin() + kDiskInfoGameName.offset);

    const int announced =
        side.announced >= 0 ? side.announced : static_cast<int>(side.files.size());
    blocks.push_back(kFdsFileAmountBlock);
    blocks.push_back(static_cast<std::uint8_t>(announced));

    for (std::size_t n = 0; n < side.files.size(); ++n) {
        const ByteVector& file = side.files[n];
        ByteVector header(kFdsFileHeaderBlockBytes, 0x20);
        header[0] = kFdsFileHeaderBlock;
        header[1] = static_cast<std::uint8_t>(n);
        header[2] = static_cast<std::uint8_t>(n);
        header[11] = 0x00;
        header[12] = 0x60;
        header[kFdsFileSizeOffset] = static_cast<std::uint8_t>(file.size() & 0xFF);
        header[kFdsFileSizeOffset + 1] = static_cast<std::uint8_t>(file.size() >> 8);
        header[15] = 0x00;
        blocks.insert(blocks.end(), header.begin(), header.end());
        blocks.push_back(kFdsFileDataBlock);
        blocks.insert(blocks.end(), file.begin(), file.end());
    }
    return blocks;
}

ByteVector FdsImage(const std::vector<FdsSideContent>& sides, int sidecount) {
    ByteVector image(kFdsMagic, kFdsMagic + kFdsMagicBytes);
    image.push_back(
        static_cast<std::uint8_t>(sidecount >= 0 ? sidecount : static_cast<int>(sides.size())));
    image.resize(kFdsHeaderBytes, 0x00);
    for (const FdsSideContent& side : sides) {
        ByteVector area = FdsSideBlocks(side);
        if (area.size() < static_cast<std::size_t>(kFdsSideAreaBytes))
            area.resize(kFdsSideAreaBytes, 0);
        image.insert(image.end(), area.begin(), area.end());
    }
    return image;
}

ByteVector MztRecord(const MztEntry& entry) {
    // Sized whole up front: GCC 12 misreads an insert after a fixed-size start.
    ByteVector record(kMztHeaderBytes + entry.body.size(), 0x00);
    record[0] = entry.attribute;
    for (std::size_t i = 0; i < 17; ++i) {
        record[1 + i] = i < entry.name.size()    ? static_cast<std::uint8_t>(entry.name[i])
                        : i == entry.name.size() ? 0x0D
                                                 : 0x00;
    }
    const auto put16 = [&](int offset, std::size_t value) {
        record[offset] = static_cast<std::uint8_t>(value & 0xFF);
        record[offset + 1] = static_cast<std::uint8_t>((value >> 8) & 0xFF);
    };
    put16(kMztSize, entry.body.size());
    put16(kMztLoad, entry.load);
    put16(kMztExec, entry.exec);
    record[kMztCarried] = entry.carried[0];
    record[kMztCarried + 1] = entry.carried[1];
    std::copy(entry.body.begin(), entry.body.end(), record.begin() + kMztHeaderBytes);
    return record;
}

ByteVector MztFile(const std::vector<MztEntry>& records) {
    ByteVector file;
    for (const MztEntry& entry : records) {
        const ByteVector record = MztRecord(entry);
        file.insert(file.end(), record.begin(), record.end());
    }
    return file;
}

namespace {

MztEntry Program(const char* name, std::uint8_t attribute, std::uint16_t load, ByteVector body) {
    MztEntry entry;
    entry.name = name;
    entry.attribute = attribute;
    entry.load = load;
    entry.exec = load;
    entry.body = std::move(body);
    return entry;
}

}  // namespace

ByteVector SampleFdsImage() {
    FdsSideContent side;
    side.files = {Pattern(1024, 1), Pattern(8192, 2), Pattern(300, 3), ByteVector{}};
    return FdsImage({side});
}

ByteVector SampleMzt() {
    const std::string text = "10 PRINT \"HELLO\"\r20 GOTO 10\r";
    ByteVector textbody = {0x05, 0x00};
    textbody.insert(textbody.end(), text.begin(), text.end());
    textbody.push_back(0x1A);
    return MztFile({
        Program("MONITOR", 1, 0x0000, Pattern(4096, 4)),
        Program("HELLO", 3, 0x1200, textbody),
        Program("GAME DATA", 4, 0x3000, Pattern(20000, 5)),
    });
}
