#include "qdkit/report.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>

#include "common/bitstream.h"
#include "common/console.h"
#include "qdkit/text.h"

namespace {

struct LineMode {
    bool quiet = false;
    bool tostderr = false;  // the standard output carries an output's bytes
    std::size_t shown = 0;  // characters of a progress line on the terminal
    bool salvage = false;   // the command has --salvage
};
LineMode g_mode;

// A progress line is wiped before anything else reaches the terminal.
void ClearProgress() {
    if (g_mode.shown == 0) return;
    PutUtf8(true, "\r" + std::string(g_mode.shown, ' ') + "\r");
    g_mode.shown = 0;
}

void Put(bool error, const std::string& text) {
    ClearProgress();
    PutUtf8(error, text);
}

void Print(const char* level, const std::string& file, const std::string& text) {
    Put(true,
        std::string("qdkit: ") + level + ": " + (file.empty() ? "" : file + ": ") + text + "\n");
}

}  // namespace

void SetQuiet(bool quiet) {
    g_mode.quiet = quiet;
}

void TakeStandardOutput() {
    g_mode.tostderr = true;
}

void OfferSalvage(bool offered) {
    g_mode.salvage = offered;
}

std::string SalvageHint(const std::string& what) {
    return g_mode.salvage ? " (--salvage " + what + ")" : "";
}

void PrintLine(const std::string& line) {
    if (!g_mode.quiet) Put(g_mode.tostderr, line + "\n");
}

void PrintProgress(const std::string& line) {
    if (g_mode.quiet) return;
    Put(g_mode.tostderr, line + "\n");
    std::fflush(g_mode.tostderr ? stderr : stdout);
}

void PrintDocument(const Json& document) {
    // Paths need not be UTF-8; JSON text must be.
    Put(false, document.dump(2, ' ', false, Json::error_handler_t::replace) + "\n");
}

void PrintNote(const std::string& line) {
    if (!g_mode.quiet) Put(true, line + "\n");
}

void ShowProgress(const std::string& text) {
    if (g_mode.quiet) return;
    const std::size_t shown = g_mode.shown;
    g_mode.shown = 0;
    const std::string pad(shown > text.size() ? shown - text.size() : 0, ' ');
    PutUtf8(true, "\r" + text + pad);
    g_mode.shown = text.size();
}

bool OutputWritten() {
    ClearProgress();
    errno = 0;
    if (std::fflush(stdout) == 0 && std::ferror(stdout) == 0) return true;
    const std::string why = errno != 0 ? ": " + SystemReason(errno) : "";
    PutUtf8(true, "qdkit: error: cannot write the standard output" + why + "\n");
    return false;
}

void PrintError(const std::string& file, const std::string& text) {
    Print("error", file, text);
}

void PrintMessages(const FileReport& report) {
    if (!g_mode.quiet) {
        for (const std::string& text : report.warnings) Print("warning", report.file, text);
    }
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
        report.Fail(text +
                    (g_mode.salvage
                         ? " (--salvage keeps what was decoded; qdkit recover may rescue more)"
                         : " (qdkit recover may rescue more)"));
    }
}

void CompareCells(const CellComparison& comparison, FileReport& report) {
    const std::optional<std::size_t>& cell = comparison.first_difference;
    report.facts["canonical"] = comparison.encodable && !cell;
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
