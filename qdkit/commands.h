// The commands of qdkit. Each handles its files one after the other and
// returns the exit status: 0 when every file succeeded, 1 when any failed.
#pragma once

#include <string>
#include <vector>

#include "qdkit/kinds/kind.h"

int RunInfo(const std::vector<std::string>& files, bool json);
int RunVerify(const std::vector<std::string>& files);

struct ConvertOptions {
    const FileKind* to = nullptr;  // the target kind; the input kind's own when none
    std::string output;            // -o: the one output's name
    std::string folder;            // -C: where outputs go; empty for the current folder
    std::vector<int> sides;        // --side: FDS sides, counted from 1; empty for all
    bool force = false;            // replace existing outputs
    bool strict = false;           // every warning fails its file
};

int RunConvert(const std::vector<std::string>& files, const ConvertOptions& options);

// Joins sides (raw FDS sides, one-side FDS images) into one FDS image.
int RunJoin(const std::vector<std::string>& sides, const std::string& output, bool force);
