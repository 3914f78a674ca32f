// What qdkit found out about one file, and its messages. Every message goes
// to the standard error stream as "qdkit: error: FILE: text" or
// "qdkit: warning: FILE: text"; the facts feed both printers.
#pragma once

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

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

// Prints the warnings, then the errors, each once.
void PrintMessages(const FileReport& report);
void PrintError(const std::string& file, const std::string& text);
// The report as one object: file, kind, the facts, warnings, errors.
Json ReportJson(const FileReport& report);
