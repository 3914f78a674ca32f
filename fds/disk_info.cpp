#include "fds/disk_info.h"

#include <algorithm>
#include <cstdio>
#include <iterator>

namespace {

// The FDS came out in Showa 61 (1986): an earlier Showa year on a disk is a
// Heisei year, counted from 1989.
constexpr int kShowaBase = 1925;
constexpr int kHeiseiBase = 1988;
constexpr int kFirstShowaYear = 61;
constexpr int kMonths = 12;
constexpr int kMostDays = 31;

struct Licensee {
    std::uint8_t code;
    const char* name;
};

// Sorted by code, looked up only when a listing asks: nothing is built at
// start-up.
constexpr Licensee kLicensees[] = {
    {0x01, "Nintendo"},
    {0x08, "Capcom"},
    {0x09, "Hot-B"},
    {0x0A, "Jaleco"},
    {0x0B, "Coconuts Japan"},
    {0x0C, "Elite Systems"},
    {0x13, "Electronic Arts"},
    {0x18, "Hudson Soft"},
    {0x19, "ITC Entertainment"},
    {0x1A, "Yanoman"},
    {0x1D, "Japan Clary"},
    {0x1F, "Virgin"},
    {0x24, "PCM Complete"},
    {0x25, "San-X"},
    {0x28, "Kotobuki Systems"},
    {0x29, "Seta"},
    {0x30, "Infogrames"},
    {0x31, "Nintendo"},
    {0x32, "Bandai"},
    {0x34, "Konami"},
    {0x35, "HectorSoft"},
    {0x38, "Capcom"},
    {0x39, "Banpresto"},
    {0x3E, "Gremlin"},
    {0x41, "Ubisoft"},
    {0x42, "Atlus"},
    {0x44, "Malibu"},
    {0x46, "Angel"},
    {0x47, "Spectrum HoloByte"},
    {0x49, "Irem"},
    {0x4A, "Virgin"},
    {0x4D, "Malibu"},
    {0x4F, "U.S. Gold"},
    {0x50, "Absolute"},
    {0x51, "Acclaim"},
    {0x52, "Activision"},
    {0x53, "American Sammy"},
    {0x54, "GameTek"},
    {0x55, "Park Place"},
    {0x56, "LJN"},
    {0x57, "Matchbox"},
    {0x59, "Milton Bradley"},
    {0x5A, "Mindscape"},
    {0x5B, "Romstar"},
    {0x5C, "Naxat Soft"},
    {0x5D, "Tradewest"},
    {0x60, "Titus"},
    {0x61, "Virgin"},
    {0x67, "Ocean"},
    {0x69, "Electronic Arts"},
    {0x6E, "Elite Systems"},
    {0x6F, "Electro Brain"},
    {0x70, "Infogrames"},
    {0x71, "Interplay"},
    {0x72, "Broderbund"},
    {0x73, "Sculptured Software"},
    {0x75, "The Sales Curve"},
    {0x78, "THQ"},
    {0x79, "Accolade"},
    {0x7A, "Triffix Entertainment"},
    {0x7C, "MicroProse"},
    {0x7F, "Kemco"},
    {0x80, "Misawa Entertainment"},
    {0x83, "Lozc"},
    {0x86, "Tokuma Shoten"},
    {0x8B, "Bullet-Proof Software"},
    {0x8C, "Vic Tokai"},
    {0x8E, "Ape"},
    {0x8F, "I'Max"},
    {0x91, "Chunsoft"},
    {0x92, "Video System"},
    {0x93, "Tsuburaya Productions"},
    {0x95, "Varie"},
    {0x96, "Yonezawa/S'Pal"},
    {0x97, "Kaneko"},
    {0x99, "Arc"},
    {0x9A, "Nihon Bussan"},
    {0x9B, "Tecmo"},
    {0x9C, "Imagineer"},
    {0x9D, "Banpresto"},
    {0x9F, "Nova"},
    {0xA1, "Hori Electric"},
    {0xA2, "Bandai"},
    {0xA4, "Konami"},
    {0xA6, "Kawada"},
    {0xA7, "Takara"},
    {0xA9, "Technos Japan"},
    {0xAA, "Broderbund"},
    {0xAC, "Toei Animation"},
    {0xAD, "Toho"},
    {0xAF, "Namco"},
    {0xB0, "Acclaim"},
    {0xB1, "ASCII"},
    {0xB2, "Bandai"},
    {0xB4, "Enix"},
    {0xB6, "HAL Laboratory"},
    {0xB7, "SNK"},
    {0xB9, "Pony Canyon"},
    {0xBA, "Culture Brain"},
    {0xBB, "Sunsoft"},
    {0xBD, "Sony Imagesoft"},
    {0xBF, "Sammy"},
    {0xC0, "Taito"},
    {0xC2, "Kemco"},
    {0xC3, "Square"},
    {0xC4, "Tokuma Shoten"},
    {0xC5, "Data East"},
    {0xC6, "Tonkin House"},
    {0xC8, "Koei"},
    {0xC9, "UFL"},
    {0xCA, "Ultra"},
    {0xCB, "VAP"},
    {0xCC, "Use Corporation"},
    {0xCD, "Meldac"},
    {0xCE, "Pony Canyon"},
    {0xCF, "Angel"},
    {0xD0, "Taito"},
    {0xD1, "Sofel"},
    {0xD2, "Quest"},
    {0xD3, "Sigma Enterprises"},
    {0xD4, "ASK Kodansha"},
    {0xD6, "Naxat Soft"},
    {0xD7, "Copya System"},
    {0xD9, "Banpresto"},
    {0xDA, "Tomy"},
    {0xDB, "LJN"},
    {0xDD, "NCS"},
    {0xDE, "Human"},
    {0xDF, "Altron"},
    {0xE0, "Jaleco"},
    {0xE1, "Towa Chiki"},
    {0xE2, "Yutaka"},
    {0xE3, "Varie"},
    {0xE5, "Epoch"},
    {0xE7, "Athena"},
    {0xE8, "Asmik"},
    {0xE9, "Natsume"},
    {0xEA, "King Records"},
    {0xEB, "Atlus"},
    {0xEC, "Epic/Sony Records"},
    {0xEE, "IGS"},
    {0xF0, "A Wave"},
    {0xF3, "Extreme Entertainment"},
    {0xFF, "LJN"},
};

constexpr bool SortedByCode() {
    for (std::size_t i = 1; i < std::size(kLicensees); ++i) {
        if (kLicensees[i - 1].code >= kLicensees[i].code) return false;
    }
    return true;
}
static_assert(SortedByCode(), "the look-up halves the table");

}  // namespace

std::optional<int> DecodeBcd(std::uint8_t byte) {
    const int high = byte >> 4;
    const int low = byte & 0x0F;
    if (high > 9 || low > 9) return std::nullopt;
    return high * 10 + low;
}

std::optional<FdsDate> DecodeFdsDate(const std::uint8_t* bytes) {
    const std::optional<int> year = DecodeBcd(bytes[0]);
    const std::optional<int> month = DecodeBcd(bytes[1]);
    const std::optional<int> day = DecodeBcd(bytes[2]);
    if (!year || !month || !day || *month < 1 || *month > kMonths || *day < 1 || *day > kMostDays) {
        return std::nullopt;
    }
    const int base = *year >= kFirstShowaYear ? kShowaBase : kHeiseiBase;
    return FdsDate{base + *year, *month, *day};
}

std::string FdsDateText(const FdsDate& date) {
    char text[16];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d", date.year, date.month, date.day);
    return text;
}

const char* FdsLicenseeName(std::uint8_t code) {
    const auto* end = std::end(kLicensees);
    const auto* found =
        std::lower_bound(std::begin(kLicensees), end, code,
                         [](const Licensee& l, std::uint8_t c) { return l.code < c; });
    return found != end && found->code == code ? found->name : nullptr;
}
