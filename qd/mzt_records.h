// An MZT file as its records, each one a .mzf file of its own (its header
// and its body as the file holds them, the last perhaps cut short), and
// back; fewer bytes than a header after the last record are kept apart.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "qd/mzt.h"

struct MztRecords {
    std::vector<std::vector<std::uint8_t>> records;
    std::vector<std::uint8_t> trailing;
};

MztRecords SplitMzt(const std::vector<std::uint8_t>& mzt);
std::vector<std::uint8_t> JoinMzt(const MztRecords& records);

// A record name's bytes up to its 0x0D end (all 17 without one).
std::vector<std::uint8_t> MztNameBytes(const std::uint8_t* header);
// Sets a record's name: the bytes, then 0x0D, then 0x00, as an MZ writes a
// shorter name; false when it is longer than a name holds.
bool SetMztName(std::uint8_t* header, const std::vector<std::uint8_t>& name);
