// Recognises a file by its content, asking each kind in turn and reading
// only what telling its kind needs, then loads it as its kind works on it.
#pragma once

#include <cstdint>
#include <string>

#include "common/fileio.h"
#include "qdkit/kinds/kind.h"

struct Input {
    const FileKind* kind = nullptr;  // none when the file failed; the report says why
    std::uint64_t size = 0;
    Bytes bytes;  // as the kind loads it
};

// The kind whose evidence the probe's file holds, asking each in turn.
const FileKind* RecogniseKind(Probe& probe);
// The kind bytes in memory would be told for, as if read from a file.
const FileKind* KindOfBytes(const Bytes& bytes);
// Content written as kind, every output told for that kind again: an error
// and nothing when one would not be.
std::vector<Produced> WriteAs(const FileKind& kind, const Content& content, bool keep,
                              FileReport& report);

// Opens path as a regular file that holds bytes, and measures it; false,
// with the reason in the report, for anything else.
bool OpenRegularInput(const std::string& path, CFile& file, std::uint64_t& size,
                      FileReport& report);
// Reads path; what goes wrong, and what is unusual about loading it, goes to
// the report (whose kind it sets).
Input ReadKnownFile(const std::string& path, FileReport& report);
