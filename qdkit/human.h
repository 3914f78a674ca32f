// `qdkit info` for people: compact aligned tables on the standard output,
// made from the same facts as the JSON document. The pieces the kinds'
// printers are made of.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "qdkit/report.h"

using Row = std::vector<std::string>;

// Columns padded to their widest cell; those marked right (numbers, and
// their headings) to the right.
void PrintTable(const std::string& indent, const std::vector<Row>& rows,
                const std::vector<bool>& right);
// A number or a list of bytes in hex, width digits each, in the one
// notation every listing uses ("$27", "$61 $02 $21"); "-" for none.
std::string Hex(const Json& value, int width);
// A number in decimal; "-" for none.
std::string Count(const Json& value);
// "1 side", "2 sides".
std::string Plural(std::size_t n, const char* word);

// An FDS side object: its disk info and its files.
void PrintFdsSide(const Json& side);
// "10 blocks, all CRCs good, complete, canonical" for a raw side.
void PrintSideState(const Json& facts);
// The files of a QD side.
void PrintQdFiles(const Json& facts);
