#include "qdkit/report.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "common/console.h"

namespace {

void Print(const char* level, const std::string& file, const std::string& text) {
    PutUtf8(true, std::string("qdkit: ") + level + ": " + file + ": " + text + "\n");
}

}  // namespace

void PrintLine(const std::string& line) {
    PutUtf8(false, line + "\n");
}

bool OutputWritten() {
    errno = 0;
    if (std::fflush(stdout) == 0 && std::ferror(stdout) == 0) return true;
    const std::string why = errno != 0 ? std::string(": ") + std::strerror(errno) : "";
    PutUtf8(true, "qdkit: error: cannot write the standard output" + why + "\n");
    return false;
}

void PrintError(const std::string& file, const std::string& text) {
    Print("error", file, text);
}

void PrintMessages(const FileReport& report) {
    for (const std::string& text : report.warnings) Print("warning", report.file, text);
    for (const std::string& text : report.errors) Print("error", report.file, text);
}

Json ReportJson(const FileReport& report) {
    Json object = Json::object();
    object["file"] = report.file;
    object["kind"] = report.kind.empty() ? Json() : Json(report.kind);
    for (const auto& item : report.facts.items()) object[item.key()] = item.value();
    object["warnings"] = report.warnings;
    object["errors"] = report.errors;
    return object;
}

void Damage(const std::string& text, bool keep, FileReport& report) {
    if (keep) {
        report.Warn(text + " (kept as decoded)");
    } else {
        report.Fail(text + " (--force keeps what was decoded; qdkit recover may rescue more)");
    }
}

std::optional<std::size_t> FirstDifferentCell(const std::vector<std::uint8_t>& a,
                                              const std::vector<std::uint8_t>& b) {
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        const unsigned differ = a[i] ^ b[i];
        if (differ == 0) continue;
        std::size_t bit = 0;
        while ((differ >> bit & 1) == 0) ++bit;
        return i * 8 + bit;
    }
    if (a.size() != b.size()) return n * 8;
    return std::nullopt;
}

void CompareCells(const std::vector<std::uint8_t>& raw,
                  const std::optional<std::vector<std::uint8_t>>& encoded, FileReport& report) {
    const std::optional<std::size_t> cell =
        encoded ? FirstDifferentCell(raw, *encoded) : std::nullopt;
    report.facts["canonical"] = encoded && !cell;
    report.facts["first_difference"] = cell ? Json(*cell) : Json();
}

void VerifyCanonical(FileReport& report) {
    if (report.Failed()) return;
    const Json& cell = report.facts["first_difference"];
    if (!report.facts["canonical"].get<bool>()) {
        report.Fail(cell.is_null()
                        ? "the kit's encoder cannot write these blocks"
                        : "the cells differ from the kit's encoding from cell " + cell.dump());
    }
}
