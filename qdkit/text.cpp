#include "qdkit/text.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <system_error>

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

std::string SystemReason(int error) {
    std::string why = std::generic_category().message(error);
    if (!why.empty()) why[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(why[0])));
    return why;
}

std::string WithArticle(const std::string& name) {
    // Spoken letter by letter: "ef-dee-es", "em-zee-tee", "aitch-ex-see".
    constexpr char kVowelSounds[] = "aefhilmnorsx";
    const bool an = !name.empty() && std::strchr(kVowelSounds, std::tolower(name[0])) != nullptr;
    return (an ? "an " : "a ") + name;
}

std::string Heading(const std::string& name) {
    std::string heading = name;
    for (char& c : heading) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return heading;
}

namespace {

// Letters to insert, delete or change to turn a into b.
std::size_t EditDistance(const std::string& a, const std::string& b) {
    std::vector<std::size_t> row(b.size() + 1);
    for (std::size_t j = 0; j <= b.size(); ++j) row[j] = j;
    for (std::size_t i = 1; i <= a.size(); ++i) {
        std::size_t diagonal = row[0];
        row[0] = i;
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const std::size_t above = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] != b[j - 1])});
            diagonal = above;
        }
    }
    return row[b.size()];
}

}  // namespace

std::string Listed(const std::vector<std::string>& names) {
    std::string text;
    for (const std::string& name : names) text += (text.empty() ? "" : ", ") + name;
    return text;
}

std::string NearestName(const std::string& word, const std::vector<std::string>& names) {
    // A typo of a short word is a letter or two; more would suggest anything.
    constexpr std::size_t kMostEdits = 2;
    std::string nearest;
    std::size_t best = kMostEdits + 1;
    std::size_t prefixed = 0;
    std::string prefix;
    for (const std::string& name : names) {
        const std::size_t edits = EditDistance(word, name);
        // Some letter must stay: any one-letter option is an edit from -h.
        const std::size_t letters =
            name.size() - std::min(name.find_first_not_of('-'), name.size());
        if (edits < best && edits < letters) {
            best = edits;
            nearest = name;
        }
        if (!word.empty() && name.compare(0, word.size(), word) == 0) {
            ++prefixed;
            prefix = name;
        }
    }
    if (!nearest.empty()) return nearest;
    return prefixed == 1 ? prefix : std::string();
}
