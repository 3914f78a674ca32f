// Helpers shared by the tests: byte and cell literals, hex dumps, files and
// runs of the built programs in a temporary folder.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

using Bytes = std::vector<std::uint8_t>;

// "55 95 0a" -> {0x55, 0x95, 0x0A}
Bytes Hex(const std::string& text);
// "10 01 1" -> {1, 0, 0, 1, 1}; blanks only separate
std::vector<int> Cells(const std::string& text);
// Hex dump around the first difference, for failure messages.
::testing::AssertionResult SameBytes(const Bytes& expected, const Bytes& actual);

Bytes Concat(std::initializer_list<Bytes> parts);
Bytes Repeat(std::uint8_t value, std::size_t count);
std::string Text(const Bytes& bytes);

// Why a case that fails writes through /dev/full is skipped where it is missing.
inline constexpr const char* kNoDevFull = "no /dev/full here to make writes fail";

// Paths are UTF-8, as names inside the kit are on Windows.
Bytes ReadFile(const std::string& path);
void WriteFile(const std::string& path, const Bytes& bytes);
bool FileExists(const std::string& path);

// A fresh folder under the system's temporary folder, removed afterwards.
class TempDir {
public:
    TempDir();
    ~TempDir();
    const std::string& path() const { return m_path; }
    std::string operator/(const std::string& name) const { return m_path + "/" + name; }

private:
    std::string m_path;
};

// Where a built program lies.
std::string ProgramPath(const std::string& program);

struct RunResult {
    std::string out;
    std::string err;
    int status = -1;
};

// Runs a built program (Talvret, Omblisk, ...) with the given arguments in
// folder; its standard output goes to stdoutfile when one is named, and its
// standard input comes from stdinfile, empty when none is named.
RunResult RunProgram(const std::string& folder, const std::string& program,
                     const std::vector<std::string>& args, const std::string& stdoutfile = {},
                     const std::string& stdinfile = {});
