// The commands of qdkit. Each handles its files one after the other and
// returns the exit status: 0 when every file succeeded, 1 when any failed.
#pragma once

#include <string>
#include <vector>

#include "qdkit/batch.h"
#include "qdkit/kinds/kind.h"

// hashes: the hashes' table in the view for people (JSON always has them).
int RunInfo(const std::vector<std::string>& files, const BatchOptions& options,
            bool hashes = false);
int RunVerify(const std::vector<std::string>& files, const BatchOptions& options);

struct ConvertOptions {
    BatchOptions batch;
    const FileKind* to = nullptr;  // the target kind; the input kind's own when none
    std::string output;            // -o: the one output's name ("-" the standard output)
    std::string folder;            // -C: where outputs go; empty for the current folder
    std::vector<int> sides;        // --side: FDS sides, counted from 1; empty for all
    bool force = false;            // replace existing outputs
    bool noclobber = false;        // keep existing outputs, writing the others
    bool salvage = false;          // keep what a side that does not decode cleanly gave
    bool strict = false;           // every warning fails its file
};

int RunConvert(const std::vector<std::string>& files, const ConvertOptions& options);

struct RecoverOptions {
    std::string output;  // -o: the rescued side's name ("-" the standard output)
    std::string folder;  // -C: where outputs go
    std::string to;      // --to: fds, mzt or qdf; the medium's first when empty
    std::string map;     // --map: the picture's name, none when empty
    std::string sideof;  // --side-of: the read whose side is rescued, when they differ
    bool json = false;
    bool strict = false;            // write nothing unless the side is complete
    bool force = false;             // replace existing outputs
    bool salvage = false;           // keep what was rescued, as recover always does
    std::vector<std::string> dats;  // --dat: catalogues the rescued side is looked up in
};

// Rescues one side from one read of it or several.
int RunRecover(const std::vector<std::string>& reads, const RecoverOptions& options);

struct MatchOptions {
    BatchOptions batch;
    std::vector<std::string> dats;  // --dat: the catalogues
};

// Looks each file up in catalogues of known good dumps.
int RunMatch(const std::vector<std::string>& files, const MatchOptions& options);

struct JoinOptions {
    std::string output;            // -o: the image ("-" the standard output)
    const FileKind* to = nullptr;  // fds (the default) or fds-qd
    bool force = false;            // replace an existing image
    bool salvage = false;          // keep a side that does not decode cleanly as decoded
};

// Joins sides (raw FDS sides, one-side FDS images) into one FDS image.
int RunJoin(const std::vector<std::string>& sides, const JoinOptions& options);

struct BlankOptions {
    std::string output;  // -o: the image ("-" the standard output)
    bool force = false;  // replace an existing file
};

// Writes a blank QD image as FlashFloppy makes one, for a Gotek to format.
int RunBlank(const BlankOptions& options);
