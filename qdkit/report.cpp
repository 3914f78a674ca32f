#include "qdkit/report.h"

#include <cstdio>

namespace {

void Print(const char* level, const std::string& file, const std::string& text) {
    std::fflush(stdout);
    std::fprintf(stderr, "qdkit: %s: %s: %s\n", level, file.c_str(), text.c_str());
}

}  // namespace

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
