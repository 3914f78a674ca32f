// Builds FDS images and MZT files from a few parameters: the kit's own
// sample inputs and the tests' inputs come from here, never from elsewhere.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

using ByteVector = std::vector<std::uint8_t>;

struct FdsSideContent {
    std::vector<ByteVector> files;  // contents of each file, in order
    int announced = -1;             // file amount block's count; -1: files.size()
};

// A side's blocks back to back: disk info, file amount, then a file header
// and a file data block per file. Not padded.
ByteVector FdsSideBlocks(const FdsSideContent& side);
// A whole FDS image: header with sidecount, then each side's blocks padded
// with 0x00 to 65500 bytes.
ByteVector FdsImage(const std::vector<FdsSideContent>& sides, int sidecount = -1);

struct MztEntry {
    std::uint8_t attribute = 1;
    std::string name;  // up to 17 bytes, 0x0D-terminated when shorter
    std::uint16_t load = 0x1200;
    std::uint16_t exec = 0x1200;
    std::uint8_t carried[2] = {0, 0};
    ByteVector body;
};

ByteVector MztRecord(const MztEntry& entry);
ByteVector MztFile(const std::vector<MztEntry>& records);

// The kit's own samples: an FDS image of one side with four files, and an
// MZT file of three records (a program, a text, data).
ByteVector SampleFdsImage();
ByteVector SampleMzt();

// Deterministic filler bytes.
ByteVector Pattern(std::size_t length, std::uint32_t seed);
