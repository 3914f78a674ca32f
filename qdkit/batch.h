// What the commands that take many files share: the files a call names,
// folders walked with --recursive, a long batch's progress on a terminal,
// and the count of files done, skipped and failed at its end.
#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "common/interrupt.h"
#include "qdkit/detect.h"
#include "qdkit/output.h"
#include "qdkit/report.h"

// The options every batch command takes.
struct BatchOptions {
    bool json = false;       // one JSON document instead of the lines for people
    bool recursive = false;  // folders are walked
};

// One file of a batch.
struct BatchFile {
    std::string path;
    std::string subfolder;  // found in a walk: its folder under the walked one
    bool walked = false;
    std::string unread;  // a folder the walk could not read: why
};

enum class Outcome { kDone, kSkipped, kFailed };

class Batch {
public:
    // verb: what done means for the command ("converted").
    Batch(const std::vector<std::string>& names, const BatchOptions& options, const char* verb);

    const std::vector<BatchFile>& files() const { return m_files; }
    // Reads a file as every command does; a folder not walked says how to.
    Input Read(const BatchFile& file, FileReport& report) const;
    // As Read, for a command that tells the kind itself: the file whole,
    // unknown set for one of no kind's evidence (an empty one in a walk).
    bool LoadWhole(const BatchFile& file, Bytes& bytes, FileReport& report, bool& unknown) const;
    // A file a walk found that is of no known kind: skipped without a word.
    bool SkipsUnknown(const BatchFile& file, const Input& input);
    // One file finished, and how.
    void Count(Outcome outcome);
    // The last line when more than one file was given or found; the exit
    // status of the call.
    int End();

private:
    // The errors of a file that could not be read, told as a batch tells
    // them; true for an empty file a walk found, which is no error.
    bool Unknown(const BatchFile& file, FileReport& report) const;
    void Progress();

    std::vector<BatchFile> m_files;
    const char* m_verb;
    bool m_recursive;
    std::size_t m_done = 0, m_skipped = 0, m_failed = 0;
    std::chrono::steady_clock::time_point m_start, m_drawn;
    bool m_terminal;
};

// What one input of a batch that writes files gave: a line for people per
// output in place, its object for --json, and whether it was skipped
// (nothing written, nothing failed: outputs kept for --no-clobber).
struct FileOutputs {
    std::vector<std::string> lines;
    Json record;
    bool skipped = false;
};
// Makes and places one input's outputs with the guard; held holds
// interrupts from the moment one is in place, until its line is out.
using OutputStep = std::function<FileOutputs(const BatchFile&, const Input&, OutputGuard&,
                                             std::optional<InterruptsHeld>&, FileReport&)>;
// The loop of the commands that write files for each input: the files
// read, the step run, lines or one JSON document, the count at the end.
int RunOutputBatch(const std::vector<std::string>& files, const BatchOptions& options, bool force,
                   const char* verb, const OutputStep& step);
