// What qdkit found out about one file, and its messages. Every message goes
// to the standard error stream as "qdkit: error: FILE: text" or
// "qdkit: warning: FILE: text"; the facts feed both printers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <new>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

#include "common/bitstream.h"

using Json = nlohmann::ordered_json;

struct FileReport {
    explicit FileReport(std::string path) : file(std::move(path)) {}

    void Warn(const std::string& text) { warnings.push_back(text); }
    void Fail(const std::string& text) { errors.push_back(text); }
    bool Failed() const { return !errors.empty(); }

    std::string file;
    std::string kind;  // empty when none was recognised
    Json facts = Json::object();
    std::vector<std::string> warnings;
    std::vector<std::string> errors;
};

// How the run's lines go out, set once from the command line: --quiet
// leaves errors only (and a JSON document asked for); an output written to
// the standard output sends every line to the standard error stream.
void SetQuiet(bool quiet);
void TakeStandardOutput();
// Whether the command has --salvage: a hint names only options it has.
void OfferSalvage(bool offered);
// " (--salvage what)" when the command has --salvage, else empty.
std::string SalvageHint(const std::string& what);

// A line of the command's own output (a table, a verdict), on the
// standard output.
void PrintLine(const std::string& line);
// "FILE -> OUT": as PrintLine, and on its way at once, so that a log shows
// every output in place even when the run is cut short.
void PrintProgress(const std::string& line);
// One JSON document, alone on the standard output.
void PrintDocument(const Json& document);
// A line for the standard error stream that --quiet leaves out.
void PrintNote(const std::string& line);
// A batch's progress on a terminal's last line, redrawn in place; the next
// line of any kind clears it first.
void ShowProgress(const std::string& text);
// Flushes the standard output; false, having said so on the standard error
// stream, when any of it could not be written.
bool OutputWritten();

// Runs one file's work; memory that runs out fails that file, not the run.
template <typename Work>
void Guarded(FileReport& report, Work&& work) {
    try {
        work();
    } catch (const std::bad_alloc&) {
        report.Fail("too large to hold in memory");
    }
}

// Prints the warnings, then the errors, each once.
void PrintMessages(const FileReport& report);
// No file: the text names what it is about itself.
void PrintError(const std::string& file, const std::string& text);
// The report as one object: file, kind, the facts, warnings, errors.
Json ReportJson(const FileReport& report);

// A side that does not decode cleanly: an error, or with keep a warning
// that its output holds what was decoded.
void Damage(const std::string& text, bool keep, FileReport& report);

// A raw side is sound when it decoded cleanly (the report holds no error)
// and its cells are the kit's own encoding of its blocks.
void VerifyCanonical(FileReport& report);
// The facts canonical and first_difference of a raw side against the
// kit's encoding of its blocks.
void CompareCells(const CellComparison& comparison, FileReport& report);
