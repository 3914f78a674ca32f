// Recognises a file by its content, asking each kind in turn and reading
// only what telling its kind needs, then loads it as its kind works on it.
#pragma once

#include <cstdint>
#include <string>

#include "common/fileio.h"
#include "qdkit/kinds/kind.h"

struct Input {
    const FileKind* kind = nullptr;  // none when the file failed; the report says why
    bool unknown = false;            // read, but no kind's evidence was found in it
    std::uint64_t size = 0;
    Bytes bytes;  // as the kind loads it
};

// The name that stands for the standard input, and for the standard output
// as an output's name.
inline constexpr char kStandardStream[] = "-";
// The error of a file that holds nothing.
inline constexpr char kEmptyFile[] = "empty file";

// An input opened as the commands open them: a regular file, measured and
// read only as far as needed; or a stream (the standard input, a pipe or a
// FIFO), read whole within the same bound as a file.
struct OpenedInput {
    CFile file;
    std::uint64_t size = 0;
    bool streamed = false;
    Bytes bytes;  // a stream's
};

// The kind whose evidence the probe's file holds, asking each in turn.
const FileKind* RecogniseKind(Probe& probe);
// The kind bytes in memory would be told for, as if read from a file.
const FileKind* KindOfBytes(const Bytes& bytes);
// Whether bytes in memory would be told for kind, as KindOfBytes tells,
// sparing the looks that only speed up telling other kinds.
bool ReadsBackAs(const Bytes& bytes, const FileKind& kind);
// Content written as kind, every output told for that kind again: an error
// and nothing when one would not be.
std::vector<Produced> WriteAs(const FileKind& kind, const Content& content, bool keep,
                              FileReport& report);

// Opens path ("-" the standard input); false, with the reason in the
// report, for a file that is missing, empty, a folder or a device.
bool OpenInput(const std::string& path, OpenedInput& input, FileReport& report);
// The whole of path, as OpenInput opens it.
bool LoadWholeInput(const std::string& path, Bytes& bytes, FileReport& report);
// Reads path; what goes wrong, and what is unusual about loading it, goes to
// the report (whose kind it sets).
Input ReadKnownFile(const std::string& path, FileReport& report);
