// The kit's Japanese messages are written in UTF-8 and leave the kit as
// Shift-JIS bytes; one table, which holds every character they use, converts
// both ways.
#pragma once

#include <string>

// Shift-JIS characters of the table become UTF-8; every other byte,
// including any character the table lacks, passes unchanged.
std::string ShiftJisToUtf8(const std::string& text);
// The reverse: characters of the table become Shift-JIS, the rest passes.
std::string Utf8ToShiftJis(const std::string& text);
