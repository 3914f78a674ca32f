// The kit's Japanese messages are Shift-JIS bytes. A UTF-8 terminal shows
// them through this table, which holds every character they use.
#pragma once

#include <string>

// Shift-JIS characters of the table become UTF-8; every other byte,
// including any character the table lacks, passes unchanged.
std::string ShiftJisToUtf8(const std::string& text);
