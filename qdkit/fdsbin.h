// What qdkit tells of a side held in the FDSStick and FDSemu byte layouts,
// shared by the .bin and the flash slot kinds.
#pragma once

#include <string>
#include <vector>

#include "fds/fds_bin_image.h"
#include "qdkit/report.h"

// What is wrong with the side as read: blocks that fail their CRC, a
// block out of its place, data that ends inside a block, no block at all.
std::vector<std::string> FdsBinDamage(const FdsBinSideRead& read);
// Each block: ID, size, where it lies in the file, whether its CRC holds.
Json FdsBinBlockFacts(const FdsBinSideRead& read);
// The side's facts for info and verify, its damage errors; label its name.
Json FdsBinSideFacts(const FdsBinSideRead& read, int side, FileReport& report);
// The side as read, its damage an error (or with keep a warning); false
// when no block was read.
bool TakeFdsBinSide(const FdsBinSideRead& read, int side, bool keep, FileReport& report);
