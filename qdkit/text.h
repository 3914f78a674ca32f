// Bytes read from a disk, shown so that a terminal or a JSON string can
// carry them: printable ASCII as is, every other byte as \xNN.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// All of the bytes.
std::string ReadableBytes(const std::uint8_t* bytes, std::size_t size);
// A QD or MZ file name: the bytes up to its end byte.
std::string ReadableName(const std::uint8_t* bytes, std::size_t size);
// "%02X"-style hex of a value, width digits.
std::string HexValue(unsigned value, int width);

// What the system says of an errno value, in the kit's lower case:
// "permission denied".
std::string SystemReason(int error);
// A kind's name with its article, as the letters are spoken: "an fds",
// "a qd-raw".
std::string WithArticle(const std::string& name);
// A name in capitals, as a table's heading: "ID".
std::string Heading(const std::string& name);
// "a, b, c"
std::string Listed(const std::vector<std::string>& names);
// The name a mistyped word most likely meant: one a few letters away, or
// the only one it begins; empty when none is near.
std::string NearestName(const std::string& word, const std::vector<std::string>& names);
