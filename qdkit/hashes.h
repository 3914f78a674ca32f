// The hashes preservation catalogues list (CRC32, MD5, SHA-1), and the forms
// of a file they list them for: an FDS disk as its headerless image (65500
// bytes a side) and as its .qd image (65536 bytes a side), a QD side as the
// MZT file it gives.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "common/blocks.h"
#include "qdkit/kinds/kind.h"
#include "qdkit/report.h"

struct Digests {
    std::uint64_t size = 0;
    std::string crc32, md5, sha1;  // lower-case hex
};

Digests Digest(const std::uint8_t* bytes, std::size_t size);
inline Digests Digest(const Bytes& bytes) {
    return Digest(bytes.data(), bytes.size());
}

// A form a catalogue lists, in the order match tells them.
enum class Form { kImage, kQd, kMzt, kFile };

// "image", "qd", "mzt", "file": its name in JSON.
const char* FormName(Form form);
// "headerless image", ".qd image", "MZT", "the file itself": in a line.
const char* FormText(Form form);

struct FormBytes {
    Form form;
    Bytes bytes;
    std::vector<std::size_t> sides;  // each side's bytes, in order, for an FDS form
};

// The forms of a file of kind, loaded as the kind loads it: for an FDS kind
// its headerless image and its .qd image, for a QD kind its MZT file. A
// form the file does not give cleanly (a damaged side) is left out, and
// why goes to errors when given; warnings of reading it are not told.
std::vector<FormBytes> CatalogueForms(const FileKind& kind, const Bytes& loaded,
                                      std::vector<std::string>* errors = nullptr);

// The facts `hashes` (and for FDS `hashes_qd`), each with its `sides`
// where the form has sides; null for a form the file does not give.
void AddHashFacts(const FileKind& kind, const Bytes& loaded, FileReport& report);
// The hashes' table under `info --hash`.
void PrintHashFacts(const Json& facts);
