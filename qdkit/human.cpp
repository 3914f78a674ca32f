#include "qdkit/human.h"

#include <algorithm>
#include <optional>

#include "fds/disk_info.h"
#include "fds/fds_layout.h"
#include "qdkit/text.h"

namespace {

const char* FdsFileType(unsigned type) {
    switch (type) {
        case kFdsProgramFile:
            return "PRG";
        case kFdsCharacterFile:
            return "CHR";
        case kFdsNameTableFile:
            return "NT";
        default:
            return "?";
    }
}

}  // namespace

void PrintTable(const std::string& indent, const std::vector<Row>& rows,
                const std::vector<bool>& right) {
    std::vector<std::size_t> widths(right.size(), 0);
    for (const Row& row : rows) {
        for (std::size_t c = 0; c < row.size(); ++c) widths[c] = std::max(widths[c], row[c].size());
    }
    for (const Row& row : rows) {
        std::string line = indent;
        for (std::size_t c = 0; c < row.size(); ++c) {
            const std::string pad(widths[c] - row[c].size(), ' ');
            line += right[c] ? pad + row[c] : row[c] + (c + 1 < row.size() ? pad : "");
            if (c + 1 < row.size()) line += "  ";
        }
        PrintLine(line);
    }
}

std::string Hex(const Json& value, int width) {
    if (value.is_null()) return "-";
    if (value.is_array()) {
        std::string text;
        for (const Json& item : value) text += (text.empty() ? "" : " ") + Hex(item, 2);
        return text;
    }
    return "$" + HexValue(value.get<unsigned>(), width);
}

std::string Count(const Json& value) {
    return value.is_null() ? "-" : std::to_string(value.get<long long>());
}

std::string Plural(std::size_t n, const char* word) {
    return std::to_string(n) + " " + word + (n == 1 ? "" : "s");
}

namespace {

enum class Shown { kNumber, kCode, kBcdNumber, kDate };

struct InfoField {
    const char* key;    // in the side's disk_info object
    const char* label;  // for people
    Shown shown;
};

// The disk info fields after the game name and maker, a line each for the
// numbers, the codes and the dates.
constexpr InfoField kNumbers[] = {{"disk", "disk number", Shown::kNumber},
                                  {"side", "side number", Shown::kNumber},
                                  {"actual_side", "actual side", Shown::kNumber},
                                  {"revision", "revision", Shown::kNumber},
                                  {"rewrite_count", "rewrite count", Shown::kBcdNumber}};
constexpr InfoField kCodes[] = {{"game_type", "game type", Shown::kCode},
                                {"disk_type", "disk type", Shown::kCode},
                                {"boot_file", "boot file", Shown::kCode},
                                {"country", "country", Shown::kCode}};
constexpr InfoField kDates[] = {{"manufactured", "manufactured", Shown::kDate},
                                {"rewritten", "rewritten", Shown::kDate}};

std::string FieldText(const Json& info, const InfoField& field) {
    const Json& value = info[field.key];
    switch (field.shown) {
        case Shown::kNumber:
            return Count(value);
        case Shown::kCode:
            return Hex(value, 2);
        case Shown::kBcdNumber: {
            const std::optional<int> n = DecodeBcd(value.get<std::uint8_t>());
            return n ? std::to_string(*n) : Hex(value, 2);
        }
        case Shown::kDate: {
            const Json& date = info[std::string(field.key) + "_date"];
            return date.is_null() ? Hex(value, 2)
                                  : date.get<std::string>() + " (" + Hex(value, 2) + ")";
        }
    }
    return {};
}

template <std::size_t N>
void PrintInfoLine(const Json& info, const InfoField (&fields)[N]) {
    std::string line;
    for (const InfoField& field : fields)
        line +=
            (line.empty() ? "" : "  ") + std::string(field.label) + " " + FieldText(info, field);
    PrintLine("    " + line);
}

}  // namespace

void PrintFdsSide(const Json& side) {
    std::string line = "  side " + side["label"].get<std::string>() + ":";
    if (side["blank"].get<bool>()) {
        PrintLine(line + " blank");
        return;
    }
    const Json& info = side["disk_info"];
    if (info.is_null()) {
        line += " no disk info block";
    } else {
        const Json& name = info["maker_name"];
        line += " \"" + info["game_name"].get<std::string>() + "\"  maker " +
                Hex(info["maker"], 2) + (name.is_null() ? "" : " " + name.get<std::string>());
    }
    line +=
        "  files " + std::to_string(side["files"].size()) + " of " + Count(side["announced_files"]);
    PrintLine(line);
    if (!info.is_null()) {
        PrintInfoLine(info, kNumbers);
        PrintInfoLine(info, kCodes);
        PrintInfoLine(info, kDates);
    }
    if (side["files"].empty()) return;
    std::vector<Row> rows{{"NO", "ID", "NAME", "TYPE", "SIZE", "LOAD"}};
    for (const Json& file : side["files"]) {
        rows.push_back(
            {Count(file["number"]), Hex(file["id"], 2),
             file["name"].get<std::string>() + (file["data"].get<bool>() ? "" : " (no data)"),
             FdsFileType(file["type"].get<unsigned>()), Count(file["size"]), Hex(file["load"], 4)});
    }
    PrintTable("    ", rows, {true, false, false, false, true, false});
}

void PrintSideState(const Json& facts) {
    const Json& blocks = facts["blocks"];
    std::string bad;
    for (std::size_t n = 0; n < blocks.size(); ++n) {
        if (!blocks[n]["crc_ok"].get<bool>())
            bad += (bad.empty() ? "" : ", ") + std::to_string(n + 1);
    }
    std::string line = "  " + Plural(blocks.size(), "block");
    if (facts.contains("block_count")) line += " (count " + Count(facts["block_count"]) + ")";
    line += bad.empty() ? ", all CRCs good" : ", CRC bad in block " + bad;
    line += facts["complete"].get<bool>() ? ", complete" : ", incomplete";
    if (facts.contains("canonical")) {
        const Json& cell = facts["first_difference"];
        line += facts["canonical"].get<bool>() ? ", canonical"
                : cell.is_null()               ? ", not what the kit would write"
                                 : ", differs from the kit's cells at cell " + Count(cell);
    }
    PrintLine(line);
}

void PrintQdFiles(const Json& facts) {
    std::vector<Row> rows{{"#", "ATTR", "NAME", "SIZE", "LOAD", "EXEC"}};
    int n = 0;
    for (const Json& file : facts["files"]) {
        rows.push_back({std::to_string(++n), Hex(file["attribute"], 2),
                        file["name"].get<std::string>(), Count(file["size"]), Hex(file["load"], 4),
                        Hex(file["exec"], 4)});
    }
    if (n > 0) PrintTable("  ", rows, {true, false, false, true, false, false});
}
