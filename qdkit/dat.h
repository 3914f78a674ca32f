// Catalogues of known good dumps (DAT files): Logiqx XML, as No-Intro
// publishes them, and clrmamepro's older text form. Each lists games (or
// machines), each game its files ("roms") by size and hashes.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "qdkit/hashes.h"

struct DatRom {
    std::string game;  // the game's name
    std::string name;  // the file's
    std::optional<std::uint64_t> size;
    std::string crc32, md5, sha1;  // lower-case hex; empty when not listed
};

struct Dat {
    std::string path;
    std::vector<DatRom> roms;
};

// The DAT in text, told XML or clrmamepro by its first character; false,
// with why (and where: "line 12: ...") in error, when it is neither.
bool ParseDat(const std::string& text, Dat& dat, std::string& error);

// Whether a rom lists digests as those of a file: the size when it gives
// one, and every hash it gives, at least one.
bool RomMatches(const DatRom& rom, const Digests& digests);
