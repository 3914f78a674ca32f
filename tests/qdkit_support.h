// Inputs for the qdkit tests, all made by the image generator.
#pragma once

#include "samples/imagegen.h"
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
