// Recognises a file by its content, asking each kind in turn and reading
// only what telling its kind needs.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "qdkit/kinds/kind.h"

struct Input {
    const FileKind* kind = nullptr;
    std::uint64_t size = 0;
    Bytes bytes;        // the whole file when its kind is known
    std::string error;  // why not, otherwise
};

Input ReadKnownFile(const std::string& path);
