// QD side streams built block by block, so that tests can make sides the
// encoder never would: other marks, types, counts and broken CRCs.
#pragma once

#include "tests/support.h"

// The bytes from the ID mark on, followed by their CRC-16/ARC (low first).
Bytes QdBlock(const Bytes& bytes);
// An information block from an attribute and a name (padded with blanks).
Bytes QdInfoBlock(std::uint8_t attribute, const std::string& name, std::uint16_t size,
                  std::uint8_t mark = 0xA5);
Bytes QdDataBlock(const Bytes& body, std::uint8_t type = 5, std::uint8_t mark = 0xA5);
// Leading gap, sync runs and gaps as the MZT encoder lays them, around the
// given blocks (the first being the block-count block), filled to 81920.
Bytes QdSide(const std::vector<Bytes>& blocks);
// The side's raw image, optionally every cell `shift` places later.
Bytes QdRaw(const Bytes& side, int shift = 0);
