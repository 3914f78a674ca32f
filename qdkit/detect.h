// Recognises a file by its content, reading only what telling its kind needs.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

enum class Kind { kFds, kFdsRaw, kQdRaw, kQdf, kMzt };

const char* KindName(Kind kind);
std::optional<Kind> KindFromName(const std::string& name);

struct Input {
    std::optional<Kind> kind;
    std::uint64_t size = 0;
    std::vector<std::uint8_t> bytes;  // the whole file when its kind is known
    std::string error;                // why not, otherwise
};

Input ReadKnownFile(const std::string& path);

// The same tests on bytes already in memory (a side decoded or built).
bool IsFdsRawSide(const std::vector<std::uint8_t>& raw);
bool IsQdRawSide(const std::vector<std::uint8_t>& raw);
