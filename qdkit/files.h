// The files on a disk: extract writes each input's files and a manifest
// into a folder of their own; pack builds the image back from such a folder.
#pragma once

#include <string>
#include <vector>

#include "qdkit/batch.h"
#include "qdkit/kinds/kind.h"

namespace CLI {
class App;
}
struct CommandLine;

struct ExtractOptions {
    BatchOptions batch;
    std::string folder;  // -C: where the folders go; empty for the current folder
    bool force = false;  // write over an existing folder's files
    bool noclobber = false;
};

int RunExtract(const std::vector<std::string>& files, const ExtractOptions& options);

struct PackOptions {
    std::string folder;            // DIR
    std::string output;            // -o: the image ("-" the standard output)
    const FileKind* to = nullptr;  // the manifest's kind when none
    bool force = false;            // replace an existing image
    bool json = false;
};

int RunPack(const std::string& folder, const PackOptions& options);

// Their command lines (files_cli.cpp, in the program alone).
void ExtractOptionsOf(CLI::App* extract, CommandLine& line);
void PackOptionsOf(CLI::App* pack, CommandLine& line);
int RunExtractLine(CommandLine& line);
int RunPackLine(CommandLine& line);
