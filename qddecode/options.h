// Pelgrane's command line: options and the image file name in any order.
#pragma once

#include <string>

// What the walk's outputs are written to.
struct QdOptions {
    bool image = false;  // -d: the QD image file
    bool split = false;  // -s: a dump file per block
    bool mzt = false;    // -m: the MZT file
    bool Any() const { return image || split || mzt; }
};

struct QdCommandLine {
    QdOptions options;
    std::string imagefile;  // empty when none was given
};

// An argument beginning with '-' is an option, and so is one beginning with
// '/' unless a further '/' or '\' makes it a path. The option is the second
// character, in any case; unknown ones are ignored.
QdCommandLine ParseQdCommandLine(int argc, const char* const* argv);
