#include "tests/support.h"

#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

Bytes Hex(const std::string& text) {
    Bytes bytes;
    std::istringstream in(text);
    std::string word;
    while (in >> word) bytes.push_back(static_cast<std::uint8_t>(std::stoul(word, nullptr, 16)));
    return bytes;
}

std::vector<int> Cells(const std::string& text) {
    std::vector<int> cells;
    for (char c : text) {
        if (c == '0' || c == '1') cells.push_back(c - '0');
    }
    return cells;
}

namespace {

std::string Dump(const Bytes& bytes, std::size_t from, std::size_t to) {
    std::string text;
    char cell[8];
    for (std::size_t i = from; i < to && i < bytes.size(); ++i) {
        std::snprintf(cell, sizeof cell, "%02X ", bytes[i]);
        text += cell;
    }
    return text;
}

}  // namespace

::testing::AssertionResult SameBytes(const Bytes& expected, const Bytes& actual) {
    std::size_t i = 0;
    while (i < expected.size() && i < actual.size() && expected[i] == actual[i]) ++i;
    if (i == expected.size() && i == actual.size()) return ::testing::AssertionSuccess();
    const std::size_t from = i < 8 ? 0 : i - 8;
    return ::testing::AssertionFailure()
           << "sizes " << expected.size() << " and " << actual.size() << ", first difference at "
           << i << "\n  expected: " << Dump(expected, from, i + 8)
           << "\n  actual:   " << Dump(actual, from, i + 8);
}

Bytes Concat(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& part : parts) all.insert(all.end(), part.begin(), part.end());
    return all;
}

Bytes Repeat(std::uint8_t value, std::size_t count) {
    return Bytes(count, value);
}

std::string Text(const Bytes& bytes) {
    return std::string(bytes.begin(), bytes.end());
}

Bytes ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFile(const std::string& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

bool FileExists(const std::string& path) {
    std::error_code error;
    return std::filesystem::exists(std::filesystem::symlink_status(path, error));
}

TempDir::TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "kit-test-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) std::abort();
    m_path = pattern;
}

TempDir::~TempDir() {
    std::error_code error;
    std::filesystem::remove_all(m_path, error);
}

namespace {

std::string Quote(const std::string& word) {
    std::string quoted = "'";
    for (char c : word) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

std::string Slurp(const std::string& path) {
    std::string text = Text(ReadFile(path));
    std::remove(path.c_str());
    return text;
}

}  // namespace

RunResult RunProgram(const std::string& folder, const std::string& program,
                     const std::vector<std::string>& args) {
    const std::string capture = std::filesystem::temp_directory_path() / "kit-run";
    static int serial = 0;
    const std::string out =
        capture + "-" + std::to_string(getpid()) + "-" + std::to_string(++serial);
    std::string command =
        "cd " + Quote(folder) + " && " + Quote(std::string(KIT_BIN_DIR) + "/" + program);
    for (const std::string& arg : args) command += " " + Quote(arg);
    command += " </dev/null >" + Quote(out + ".out") + " 2>" + Quote(out + ".err");
    const int raw = std::system(command.c_str());
    RunResult result;
    result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    result.out = Slurp(out + ".out");
    result.err = Slurp(out + ".err");
    return result;
}
