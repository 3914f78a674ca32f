// QD image file: a 16-byte header and then the side stream, one byte per 16
// cells, at least the nominal side length and with no upper bound.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "common/bitstream.h"
#include "qd/qd_layout.h"

inline constexpr char kQdImageMagic[] = "-QD format-";
inline constexpr int kQdImageMagicBytes = sizeof(kQdImageMagic) - 1;
inline constexpr std::uint8_t kQdImagePadByte = 0xFF;
inline constexpr int kQdImageHeaderBytes = 16;
inline constexpr int kQdImageBytes = kQdImageHeaderBytes + kQdSideStreamBytes;
static_assert(kQdImageMagicBytes == 11);
static_assert(kQdImageBytes == 0x14010);

enum class QdImageCheck { kOk, kSizeError, kFormatError };

// The header alone: the magic, then pad bytes.
std::vector<std::uint8_t> QdImageHeader();
// An image file of a side stream, filled with gap to a side's length.
std::vector<std::uint8_t> QdImageOfStream(const std::vector<std::uint8_t>& stream);
QdImageCheck CheckQdImage(const std::vector<std::uint8_t>& image);
// The magic and its padding, whatever the size.
bool IsQdImageHeader(const std::uint8_t* bytes, std::size_t size);
// Codes every byte after the header into writer.bitstreambuffer.
void EncodeQdImage(BitWriter& writer, const std::vector<std::uint8_t>& image);

// The raw side of a side stream, filled with gap to a side's length.
std::vector<std::uint8_t> QdRawOfStream(const std::vector<std::uint8_t>& stream);
// The raw side of an image file whose stream may be short: filled the same.
std::vector<std::uint8_t> QdRawOfImage(const std::vector<std::uint8_t>& image);
