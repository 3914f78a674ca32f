#include "qdkit/dat.h"

#include <algorithm>
#include <cctype>
#include <rapidxml/rapidxml.hpp>

#include "qdkit/text.h"

namespace {

bool IsBlank(char c) {
    return std::isspace(static_cast<unsigned char>(c)) != 0;
}

// A hash as listed, in lower case; empty when it is none ("-", garbage).
// A CRC that lost its leading zeros gets them back.
std::string HashText(std::string text, std::size_t digits) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (text.rfind("0x", 0) == 0) text.erase(0, 2);
    if (text.empty() || text.size() > digits ||
        !std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isxdigit(c); }))
        return {};
    if (digits == 8) text.insert(0, digits - text.size(), '0');
    return text.size() == digits ? text : std::string();
}

std::optional<std::uint64_t> SizeText(const std::string& text) {
    const bool hex = text.rfind("0x", 0) == 0 || text.rfind("0X", 0) == 0;
    const std::string digits = hex ? text.substr(2) : text;
    if (digits.empty() || digits.size() > 15) return std::nullopt;
    const auto valid = [&](unsigned char c) { return hex ? std::isxdigit(c) : std::isdigit(c); };
    if (!std::all_of(digits.begin(), digits.end(), valid)) return std::nullopt;
    return std::stoull(digits, nullptr, hex ? 16 : 10);
}

// One attribute or field of a rom.
void SetRomField(DatRom& rom, const std::string& key, const std::string& value) {
    if (key == "name") {
        rom.name = value;
    } else if (key == "size") {
        rom.size = SizeText(value);
    } else if (key == "crc" || key == "crc32") {
        rom.crc32 = HashText(value, 8);
    } else if (key == "md5") {
        rom.md5 = HashText(value, 32);
    } else if (key == "sha1") {
        rom.sha1 = HashText(value, 40);
    }
}

std::size_t LineOf(const std::string& text, std::size_t offset) {
    return 1 +
           static_cast<std::size_t>(std::count(
               text.begin(),
               text.begin() + static_cast<std::ptrdiff_t>(std::min(offset, text.size())), '\n'));
}

// Logiqx XML: <datafile>, its <game> or <machine> elements, their <rom>s.
bool ParseXml(const std::string& text, Dat& dat, std::string& error) {
    std::vector<char> buffer(text.begin(), text.end());
    buffer.push_back('\0');
    rapidxml::xml_document<> document;
    try {
        document.parse<rapidxml::parse_validate_closing_tags>(buffer.data());
    } catch (const rapidxml::parse_error& e) {
        const std::size_t at = static_cast<std::size_t>(e.where<char>() - buffer.data());
        error = "line " + std::to_string(LineOf(text, at)) + ": not well-formed XML: " + e.what();
        return false;
    }
    const rapidxml::xml_node<>* root = document.first_node("datafile");
    if (root == nullptr) {
        error = "an XML file without the <datafile> element of a Logiqx DAT";
        return false;
    }
    for (const rapidxml::xml_node<>* game = root->first_node(); game != nullptr;
         game = game->next_sibling()) {
        const std::string kind(game->name(), game->name_size());
        if (kind != "game" && kind != "machine") continue;
        const rapidxml::xml_attribute<>* name = game->first_attribute("name");
        const std::string title = name != nullptr ? name->value() : "";
        for (const rapidxml::xml_node<>* node = game->first_node("rom"); node != nullptr;
             node = node->next_sibling("rom")) {
            DatRom rom;
            rom.game = title;
            for (const rapidxml::xml_attribute<>* a = node->first_attribute(); a != nullptr;
                 a = a->next_attribute())
                SetRomField(rom, a->name(), a->value());
            dat.roms.push_back(rom);
        }
    }
    return true;
}

// clrmamepro's text form: `game ( name "..." rom ( name x size n crc c ) )`.
struct Token {
    std::string text;
    bool quoted;
    std::size_t line;
};

bool Tokenize(const std::string& text, std::size_t start, std::vector<Token>& tokens,
              std::string& error) {
    std::size_t line = 1;
    for (std::size_t i = start; i < text.size();) {
        const char c = text[i];
        if (c == '\n') ++line;
        if (IsBlank(c)) {
            ++i;
        } else if (c == '(' || c == ')') {
            tokens.push_back({std::string(1, c), false, line});
            ++i;
        } else if (c == '"') {
            const std::size_t end = text.find('"', i + 1);
            if (end == std::string::npos) {
                error = "line " + std::to_string(line) + ": a quoted text is not closed";
                return false;
            }
            tokens.push_back({text.substr(i + 1, end - i - 1), true, line});
            line += static_cast<std::size_t>(
                std::count(text.begin() + static_cast<std::ptrdiff_t>(i),
                           text.begin() + static_cast<std::ptrdiff_t>(end), '\n'));
            i = end + 1;
        } else {
            std::size_t end = i;
            while (end < text.size() && !IsBlank(text[end]) && text[end] != '(' &&
                   text[end] != ')' && text[end] != '"')
                ++end;
            tokens.push_back({text.substr(i, end - i), false, line});
            i = end;
        }
    }
    return true;
}

// A word of a file that may be no DAT at all, short and readable.
std::string Shown(const std::string& word) {
    constexpr std::size_t kMost = 24;
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(word.data());
    return ReadableBytes(bytes, std::min(word.size(), kMost)) + (word.size() > kMost ? "..." : "");
}

bool IsRomKey(const std::string& word) {
    static const char* const kKeys[] = {"name",  "size",    "crc",    "crc32",  "md5",    "sha1",
                                        "flags", "date",    "merge",  "status", "serial", "region",
                                        "offs",  "baddump", "nodump", "header"};
    return std::any_of(std::begin(kKeys), std::end(kKeys),
                       [&](const char* key) { return word == key; });
}

class TextDat {
public:
    TextDat(std::vector<Token> tokens, Dat& dat) : m_tokens(std::move(tokens)), m_dat(dat) {}

    bool Parse(std::string& error) {
        while (m_at < m_tokens.size()) {
            const Token& word = m_tokens[m_at++];
            if (word.text == "(" || word.text == ")" || !Opens()) {
                error = "line " + std::to_string(word.line) + ": '" + Shown(word.text) +
                        "' where a block such as game ( ... ) should begin";
                return false;
            }
            const bool game =
                word.text == "game" || word.text == "machine" || word.text == "resource";
            if (!Block(word, game ? Part::kGame : Part::kOther, error)) return false;
        }
        return true;
    }

private:
    enum class Part { kGame, kRom, kOther };

    bool Opens() const {
        return m_at < m_tokens.size() && m_tokens[m_at].text == "(" && !m_tokens[m_at].quoted;
    }
    bool Closes() const { return m_tokens[m_at].text == ")" && !m_tokens[m_at].quoted; }

    // The block after its opening word, from its "(" to its ")".
    bool Block(const Token& opening, Part part, std::string& error) {
        if (++m_depth > kMaxDepth) {
            error = "line " + std::to_string(opening.line) + ": blocks nested too deep";
            return false;
        }
        ++m_at;  // (
        DatRom rom;
        std::vector<DatRom> roms;
        while (m_at < m_tokens.size() && !Closes()) {
            const Token& key = m_tokens[m_at++];
            if (Opens()) {
                const std::size_t before = m_dat.roms.size();
                const bool isrom = part == Part::kGame && key.text == "rom";
                if (!Block(key, isrom ? Part::kRom : Part::kOther, error)) return false;
                // A game's name may come after its roms.
                for (std::size_t n = before; n < m_dat.roms.size(); ++n) m_pending.push_back(n);
                continue;
            }
            if (m_at >= m_tokens.size() || Closes() || m_tokens[m_at].text == "(") continue;
            std::string value = m_tokens[m_at++].text;
            // An unquoted name with blanks runs to the next field.
            if (part == Part::kRom && key.text == "name" && !m_tokens[m_at - 1].quoted) {
                while (m_at < m_tokens.size() && !m_tokens[m_at].quoted && !Closes() &&
                       m_tokens[m_at].text != "(" && !IsRomKey(m_tokens[m_at].text))
                    value += " " + m_tokens[m_at++].text;
            }
            if (part == Part::kRom) SetRomField(rom, key.text, value);
            if (part == Part::kGame && key.text == "name") m_game = value;
        }
        if (m_at >= m_tokens.size()) {
            error = "line " + std::to_string(opening.line) + ": the ( of " + opening.text +
                    " is not closed";
            return false;
        }
        ++m_at;  // )
        --m_depth;
        if (part == Part::kRom) m_dat.roms.push_back(rom);
        if (part == Part::kGame) {
            for (std::size_t n : m_pending) m_dat.roms[n].game = m_game;
            m_pending.clear();
            m_game.clear();
        }
        return true;
    }

    static constexpr int kMaxDepth = 16;
    std::vector<Token> m_tokens;
    Dat& m_dat;
    std::size_t m_at = 0;
    int m_depth = 0;
    std::string m_game;                  // the name of the game being read
    std::vector<std::size_t> m_pending;  // its roms so far
};

}  // namespace

bool ParseDat(const std::string& text, Dat& dat, std::string& error) {
    const std::size_t bom = text.rfind("\xEF\xBB\xBF", 0) == 0 ? 3 : 0;
    std::size_t first = bom;
    while (first < text.size() && IsBlank(text[first])) ++first;
    if (first < text.size() && text[first] == '<') return ParseXml(text, dat, error);
    std::vector<Token> tokens;
    if (!Tokenize(text, bom, tokens, error)) return false;
    if (tokens.empty()) {
        error = "neither a Logiqx XML DAT nor a clrmamepro DAT: no block in it";
        return false;
    }
    return TextDat(std::move(tokens), dat).Parse(error);
}

bool RomMatches(const DatRom& rom, const Digests& digests) {
    if (rom.crc32.empty() && rom.md5.empty() && rom.sha1.empty()) return false;
    if (rom.size && *rom.size != digests.size) return false;
    return (rom.crc32.empty() || rom.crc32 == digests.crc32) &&
           (rom.md5.empty() || rom.md5 == digests.md5) &&
           (rom.sha1.empty() || rom.sha1 == digests.sha1);
}
