#include "qdkit/text.h"

#include <cstdio>

#include "qd/qd_layout.h"

std::string ReadableBytes(const std::uint8_t* bytes, std::size_t size) {
    std::string text;
    for (std::size_t i = 0; i < size; ++i) {
        const std::uint8_t b = bytes[i];
        // The backslash is escaped too, so that the text reads back unambiguously.
        if (b >= 0x20 && b < 0x7F && b != '\\') {
            text += static_cast<char>(b);
        } else {
            char escaped[5];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", b);
            text += escaped;
        }
    }
    return text;
}

std::string ReadableName(const std::uint8_t* bytes, std::size_t size) {
    std::size_t length = 0;
    while (length < size && bytes[length] != kQdNameEnd) ++length;
    return ReadableBytes(bytes, length);
}

std::string HexValue(unsigned value, int width) {
    char text[16];
    std::snprintf(text, sizeof text, "%0*X", width, value);
    return text;
}
