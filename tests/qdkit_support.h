// Inputs for the qdkit tests, all made by the image generator.
#pragma once

#include "common/crc16.h"
#include "fds/fds_layout.h"
#include "fds/side_encoder.h"
#include "qd/mzt.h"
#include "qd/qd_image.h"
#include "qd/side_encoder.h"
#include "samples/imagegen.h"
#include "tests/qd_side.h"
#include "tests/support.h"

// A side of files of 100, 400, 700, ... bytes; announced as given, or the count.
inline FdsSideContent FdsSide(int files, std::uint32_t seed, int announced = -1) {
    FdsSideContent side;
    for (int i = 0; i < files; ++i) {
        side.files.push_back(Pattern(100 + 300 * static_cast<std::size_t>(i), seed + i));
    }
    side.announced = announced;
    return side;
}

// The side areas alone, as many dumps are.
inline Bytes Headerless(const Bytes& image) {
    return Bytes(image.begin() + 16, image.end());
}

// One more side, never written: its area all 0x00.
inline Bytes WithBlankSide(Bytes image) {
    image.resize(image.size() + 65500, 0x00);
    ++image[4];
    return image;
}

inline MztEntry Entry(const std::string& name, std::size_t size, std::uint32_t seed) {
    MztEntry entry;
    entry.name = name;
    entry.body = Pattern(size, seed);
    return entry;
}

// The side stream the kit's encoder makes of the image's side at offset:
// also what an FDSStick or FDSemu disk read of that side saves (a .bin).
inline Bytes FdsStream(const Bytes& image, std::size_t offset) {
    Crc16 crc(kFdsWriterCrc);
    Bytes stream;
    BuildFdsSide(image, offset, stream, crc, MissingFiles::kEndSide);
    return stream;
}

// The raw side of an FDS side, as the kit's encoder lays it out; `shift`
// cells later when asked.
inline Bytes FdsRaw(const FdsSideContent& side, int shift = 0) {
    return QdRaw(FdsStream(FdsImage({side}), 16), shift);
}

// The side stream the kit's encoder makes of an MZT file's records.
inline Bytes QdStream(const Bytes& mzt) {
    Crc16 crc(kQdWriterCrc);
    Bytes stream = LayQdRecords(mzt, WalkMztRecords(mzt), crc);
    stream.resize(81920, 0x00);
    return stream;
}

inline Bytes QdImageOf(const Bytes& mzt) {
    return Concat({QdImageHeader(), QdStream(mzt)});
}

// Flips the data bit 0 of side stream byte `at` in a raw side.
inline Bytes FlipDataBit(Bytes raw, std::size_t at) {
    raw[2 * at] ^= 0x02;
    return raw;
}
