// A picture of a rescued side for a browser: each read's blocks, gaps and
// damage along the cell axis, one band per read, and the side the rescue
// made of them beneath.
#pragma once

#include <string>
#include <vector>

#include "common/rescue.h"

// The rescue as a standalone SVG document, naming blocks as the medium
// does; readnames label the reads in their order (a read past their end is
// labelled by its number).
// The name each block's file goes by, as its header block gives it; empty
// for blocks of no file or whose header holds no name.
std::vector<std::string> RescuedNames(const SideRescue& rescue, const RescueMedium& medium);

std::string SideMap(const SideRescue& rescue, const RescueMedium& medium,
                    const std::vector<std::string>& readnames);
