// Bytes read from a disk, shown so that a terminal or a JSON string can
// carry them: printable ASCII as is, every other byte as \xNN.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// All of the bytes.
std::string ReadableBytes(const std::uint8_t* bytes, std::size_t size);
// The bytes up to the first 0x0D, the end of a QD or MZ file name.
std::string ReadableName(const std::uint8_t* bytes, std::size_t size);
// "%02X"-style hex of a value, width digits.
std::string HexValue(unsigned value, int width);
