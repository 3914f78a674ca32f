// Every kind of file qdkit knows: one file each in this folder, one line
// each in the table that detection and the commands loop over. A kind says
// how it is recognised, what `info` shows of it, how `verify` checks it, and
// how it is read into and written from its medium's content.
//
// Adding a kind: a file here with a class derived from FileKind, a function
// that returns its one object, and that function in the table (table.cpp),
// where the order is the order in which detection asks.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "common/blocks.h"
#include "fds/fds_image.h"
#include "qdkit/probe.h"
#include "qdkit/report.h"

enum class Medium { kFds, kQd };

// What the kinds of a medium are read into and written from: an FDS disk's
// sides, or the raw cells of one QD side. Only the medium's own part is used.
struct Content {
    std::vector<FdsImageSide> sides;
    Bytes raw;
};

struct Produced {
    std::string suffix;  // of the output name: ".DKA", ".QDK", ...
    Bytes bytes;
};

// A call's one output, its bytes moved in: a list in braces would copy them.
inline std::vector<Produced> OneOutput(std::string suffix, Bytes bytes) {
    std::vector<Produced> outputs;
    outputs.push_back({std::move(suffix), std::move(bytes)});
    return outputs;
}

class FileKind {
public:
    FileKind(const char* name, Medium medium, const char* target, const char* outputs)
        : m_name(name), m_medium(medium), m_target(target), m_outputs(outputs) {}
    virtual ~FileKind() = default;
    FileKind(const FileKind&) = delete;
    FileKind& operator=(const FileKind&) = delete;

    const char* name() const { return m_name; }
    Medium medium() const { return m_medium; }
    // The kind that convert makes of this one without --to.
    const char* target() const { return m_target; }
    // The names convert gives files of this kind, BASE the input's.
    const char* outputs() const { return m_outputs; }

    // Whether the file is of this kind, by positive evidence in its content.
    virtual bool Recognise(Probe& probe) const = 0;
    // Kinds told by a search of all of a file's cells; before any such
    // search, each may say yes from where its sides open (OpensEarly), a
    // yes that Recognise would give too.
    virtual bool SearchesCells() const { return false; }
    virtual bool OpensEarly(Probe&) const { return false; }
    // The file as the kind works on it: the file itself unless the kind says
    // otherwise. What is unusual about it goes to the report; false when it
    // could not be read.
    virtual bool Load(Probe& probe, Bytes& bytes, FileReport&) const {
        return probe.TakeWhole(bytes);
    }
    // What `info` shows: facts for both printers, and what is unusual.
    virtual void Inspect(const Bytes& file, FileReport& report) const = 0;
    // The facts for people, after the file's own line.
    virtual void Print(const Json& facts) const = 0;
    // Whether the file survives the trip through a real side.
    virtual void Verify(const Bytes& file, FileReport& report) const = 0;
    // The file as its medium's content. keep: a side that does not decode
    // cleanly is kept as decoded, with a warning, instead of failing.
    virtual Content Read(const Bytes& file, bool keep, FileReport& report) const = 0;
    // Content as files of this kind; nothing when the report failed.
    virtual std::vector<Produced> Write(const Content& content, bool keep,
                                        FileReport& report) const = 0;

private:
    const char* m_name;
    Medium m_medium;
    const char* m_target;
    const char* m_outputs;
};

// Every kind, in the order detection asks them.
const std::vector<const FileKind*>& Kinds();
// The kind of that name, or nullptr.
const FileKind* KindNamed(const std::string& name);
// The kinds a kind converts to: its default target first, then the other
// kinds of its medium in the table's order.
std::vector<const FileKind*> TargetsOf(const FileKind& kind);

// The kinds, one function each (kinds/*.cpp).
const FileKind& FdsKind();
const FileKind& FdsQdKind();
const FileKind& HxcQdKind();
const FileKind& MzqKind();
const FileKind& QdfKind();
const FileKind& FdsBinKind();
const FileKind& FdsRawKind();
const FileKind& QdRawKind();
const FileKind& MztKind();
