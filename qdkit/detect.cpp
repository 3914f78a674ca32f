#include "qdkit/detect.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <new>

#include "common/dataplanes.h"
#include "common/fileio.h"
#include "common/platform.h"
#include "common/rescue.h"
#include "common/wholefile.h"
#include "fds/side_rescue.h"
#include "qd/side_rescue.h"
#include "qdkit/text.h"

namespace {

std::string CannotOpen(const std::error_code& error) {
    return "cannot open: " + SystemReason(error.value());
}

// A stream read to its end, no further than the bound of a file in memory.
bool ReadStream(std::FILE* stream, Bytes& bytes, FileReport& report) {
    constexpr std::size_t kChunk = 1 << 16;
    std::size_t held = 0;
    for (;;) {
        if (held > static_cast<std::size_t>(kMaxInputBytes)) {
            report.Fail("too large to hold in memory");
            return false;
        }
        bytes.resize(held + kChunk);
        const std::size_t got = std::fread(bytes.data() + held, 1, kChunk, stream);
        held += got;
        if (got < kChunk) break;
    }
    bytes.resize(held);
    if (std::ferror(stream) != 0) {
        report.Fail("read error: " + SystemReason(errno));
        return false;
    }
    if (held == 0) {
        report.Fail(kEmptyFile);
        return false;
    }
    return true;
}

// A pipe or a FIFO named by its path, read whole.
bool ReadNamedStream(const std::string& path, OpenedInput& input, FileReport& report) {
    CFile file;
    if (!file.Open(path.c_str(), "rb")) {
        report.Fail(std::string("cannot open: ") + SystemReason(errno));
        return false;
    }
    input.streamed = true;
    return ReadStream(file.fp(), input.bytes, report);
}

// Whether bytes that no kind claims are a raw read all the same: blocks
// of a side whose opening block is lost, which only recover reads.
const char* MediumOfLooseBlocks(const DataPlanes& planes) {
    const auto good = [](const ReadScan& scan) {
        return std::any_of(scan.blocks.begin(), scan.blocks.end(),
                           [](const FoundBlock& b) { return b.status == BlockStatus::kGood; });
    };
    if (good(ScanFdsRead(planes))) return "FDS";
    if (good(ScanQdRead(planes))) return "QD";
    return nullptr;
}

// No kind's evidence: perhaps a raw read that lost the block opening its
// side. True when it is nothing the kit reads.
bool NoKnownKind(Probe& probe, FileReport& report) {
    const DataPlanes* planes = probe.Planes(kMaxRawSideBytes);
    const char* medium = planes != nullptr ? MediumOfLooseBlocks(*planes) : nullptr;
    if (medium == nullptr) {
        report.Fail("not a known kind of file");
        return true;
    }
    report.Fail(std::string("not a known kind of file: no block opens a side, but it holds ") +
                medium + " blocks (try qdkit recover)");
    return false;
}

}  // namespace

const FileKind* RecogniseKind(Probe& probe) {
    const std::vector<const FileKind*>& kinds = Kinds();
    std::size_t searching = 0;
    for (; searching < kinds.size() && !kinds[searching]->SearchesCells(); ++searching) {
        if (kinds[searching]->Recognise(probe)) return kinds[searching];
        if (probe.failed()) return nullptr;
    }
    // A raw side that opens where sides open is told without searching
    // all its cells, and spares the other medium's search too.
    for (std::size_t n = searching; n < kinds.size() && kinds[n]->SearchesCells(); ++n) {
        if (kinds[n]->OpensEarly(probe)) return kinds[n];
        if (probe.failed()) return nullptr;
    }
    for (std::size_t n = searching; n < kinds.size(); ++n) {
        if (kinds[n]->Recognise(probe)) return kinds[n];
        if (probe.failed()) break;
    }
    return nullptr;
}

const FileKind* KindOfBytes(const Bytes& bytes) {
    Probe probe(bytes, Probe::Borrowed{});
    return RecogniseKind(probe);
}

bool ReadsBackAs(const Bytes& bytes, const FileKind& kind) {
    Probe probe(bytes, Probe::Borrowed{});
    if (kind.SearchesCells()) return RecogniseKind(probe) == &kind;
    // No earlier kind may claim it. Their full searches say all that the
    // early looks at where sides open would, and no more.
    for (const FileKind* other : Kinds()) {
        if (other == &kind) return kind.Recognise(probe);
        if (other->Recognise(probe) || probe.failed()) return false;
    }
    return false;
}

std::vector<Produced> WriteAs(const FileKind& kind, const Content& content, bool keep,
                              FileReport& report) {
    std::vector<Produced> outputs = kind.Write(content, keep, report);
    for (const Produced& output : outputs) {
        if (ReadsBackAs(output.bytes, kind)) continue;
        const FileKind* told = KindOfBytes(output.bytes);
        report.Fail(std::string("its ") + kind.name() + " output would not read back as one" +
                    (told == nullptr ? "" : std::string(" but as ") + told->name()));
        return {};
    }
    return outputs;
}

bool OpenInput(const std::string& path, OpenedInput& input, FileReport& report) {
    if (path == kStandardStream) {
        BinaryStandardStream(stdin);
        input.streamed = true;
        return ReadStream(stdin, input.bytes, report);
    }
    std::error_code error;
    const std::filesystem::path native = NativePath(path);
    const auto status = std::filesystem::status(native, error);
    if (error && error != std::errc::no_such_file_or_directory) {
        report.Fail(CannotOpen(error));
        return false;
    }
    if (!std::filesystem::exists(status)) {
        report.Fail(CannotOpen(std::make_error_code(std::errc::no_such_file_or_directory)));
        return false;
    }
    if (std::filesystem::is_directory(status)) {
        report.Fail("a folder");
        return false;
    }
    if (std::filesystem::is_fifo(status)) return ReadNamedStream(path, input, report);
    if (!std::filesystem::is_regular_file(status)) {
        report.Fail("not a regular file");
        return false;
    }
    input.size = std::filesystem::file_size(native, error);
    if (!error && input.size == 0) {
        report.Fail(kEmptyFile);
        return false;
    }
    if (error || !input.file.Open(path.c_str(), "rb")) {
        report.Fail(std::string("cannot open: ") + SystemReason(errno));
        return false;
    }
    return true;
}

bool LoadWholeInput(const std::string& path, Bytes& bytes, FileReport& report) {
    OpenedInput input;
    if (!OpenInput(path, input, report)) return false;
    if (input.streamed) {
        bytes = std::move(input.bytes);
        return true;
    }
    if (input.size > static_cast<std::uint64_t>(kMaxInputBytes)) {
        report.Fail("too large to hold in memory");
        return false;
    }
    if (ReadInput(input.file, bytes) != LoadStatus::kOk) {
        report.Fail("read error");
        return false;
    }
    return true;
}

Input ReadKnownFile(const std::string& path, FileReport& report) {
    Input input;
    OpenedInput opened;
    if (!OpenInput(path, opened, report)) return input;
    Probe probe = opened.streamed ? Probe(std::move(opened.bytes)) : Probe(opened.file);
    const FileKind* kind = RecogniseKind(probe);
    if (probe.failed()) {
        report.Fail("read error");
        return input;
    }
    if (kind == nullptr) {
        input.unknown = NoKnownKind(probe, report);
        return input;
    }
    input.size = opened.streamed ? probe.size() : opened.size;
    try {
        if (!kind->Load(probe, input.bytes, report)) {
            report.Fail(input.size > static_cast<std::uint64_t>(kMaxInputBytes)
                            ? "too large to hold in memory"
                            : "read error");
            return input;
        }
    } catch (const std::bad_alloc&) {
        report.Fail("too large to hold in memory");
        return input;
    }
    input.kind = kind;
    report.kind = kind->name();
    return input;
}
