// The seven lines that show one file's information record.
#pragma once

#include <string>

#include "common/console.h"
#include "qddecode/qd_layout.h"

// All 17 name bytes: '%' doubled, control bytes as %XX, the rest as is.
std::string ShownName(const InfoRecord& record);
void PrintFileInformation(Console& console, const InfoRecord& record);
