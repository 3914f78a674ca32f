// What extract writes and pack reads: a disk's files and a manifest.json
// that holds everything else the image held, so that pack gives it back
// byte for byte; and the disk a manifest, perhaps edited, describes.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "qdkit/kinds/kind.h"
#include "qdkit/report.h"

inline constexpr char kManifestName[] = "manifest.json";
inline constexpr char kManifestFormat[] = "qdkit extract 1";

struct FolderFile {
    std::string name;
    Bytes bytes;
};

struct Extraction {
    Json manifest;
    std::vector<FolderFile> files;  // the disk's files, then manifest.json
};

// An input of any kind as files and a manifest; what is wrong or unusual
// goes to the report. No files when the report failed. file: the file
// itself where the kind loads it as something else (a QD image file's
// layout is kept from it), else empty.
Extraction ExtractFiles(const FileKind& kind, const Bytes& input, const Bytes& file,
                        FileReport& report);

// Reads a file the manifest names: false, having said why in the report.
using FolderReader = std::function<bool(const std::string& name, Bytes& bytes)>;

// The manifest's kind, or nullptr with an error.
const FileKind* ManifestKind(const Json& manifest, FileReport& report);
// The disk the manifest describes, as files of kind `to` (of the manifest's
// medium); nothing when the report failed.
std::vector<Produced> PackFiles(const Json& manifest, const FileKind& to, const FolderReader& read,
                                FileReport& report);
