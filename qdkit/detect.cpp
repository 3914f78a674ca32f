#include "qdkit/detect.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <new>

#include "common/fileio.h"
#include "common/platform.h"
#include "common/wholefile.h"

namespace {

std::string CannotOpen(const std::error_code& error) {
    std::string why = error.message();
    if (!why.empty()) why[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(why[0])));
    return "cannot open: " + why;
}

}  // namespace

const FileKind* RecogniseKind(Probe& probe) {
    for (const FileKind* kind : Kinds()) {
        if (kind->Recognise(probe)) return kind;
        if (probe.failed()) break;
    }
    return nullptr;
}

const FileKind* KindOfBytes(const Bytes& bytes) {
    Probe probe(bytes);
    return RecogniseKind(probe);
}

std::vector<Produced> WriteAs(const FileKind& kind, const Content& content, bool keep,
                              FileReport& report) {
    std::vector<Produced> outputs = kind.Write(content, keep, report);
    for (const Produced& output : outputs) {
        const FileKind* told = KindOfBytes(output.bytes);
        if (told == &kind) continue;
        report.Fail(std::string("its ") + kind.name() + " output would not read back as one" +
                    (told == nullptr ? "" : std::string(" but as ") + told->name()));
        return {};
    }
    return outputs;
}

bool OpenRegularInput(const std::string& path, CFile& file, std::uint64_t& size,
                      FileReport& report) {
    std::error_code error;
    const std::filesystem::path native = NativePath(path);
    const auto status = std::filesystem::status(native, error);
    if (error && error != std::errc::no_such_file_or_directory) {
        report.Fail(CannotOpen(error));
        return false;
    }
    if (!std::filesystem::exists(status)) {
        report.Fail("cannot open: no such file");
        return false;
    }
    if (!std::filesystem::is_regular_file(status)) {
        report.Fail("not a regular file");
        return false;
    }
    size = std::filesystem::file_size(native, error);
    if (!error && size == 0) {
        report.Fail("empty file");
        return false;
    }
    if (error || !file.Open(path.c_str(), "rb")) {
        report.Fail(std::string("cannot open: ") + std::strerror(errno));
        return false;
    }
    return true;
}

Input ReadKnownFile(const std::string& path, FileReport& report) {
    Input input;
    CFile file;
    if (!OpenRegularInput(path, file, input.size, report)) return input;
    Probe probe(file);
    const FileKind* kind = RecogniseKind(probe);
    if (probe.failed()) {
        report.Fail("read error");
        return input;
    }
    if (kind == nullptr) {
        report.Fail("not a known kind of file");
        return input;
    }
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
