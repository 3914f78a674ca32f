#include "qdkit/detect.h"

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "common/fileio.h"
#include "common/platform.h"
#include "common/wholefile.h"

Input ReadKnownFile(const std::string& path) {
    Input input;
    std::error_code error;
    const std::filesystem::path native = NativePath(path);
    const auto status = std::filesystem::status(native, error);
    if (error || !std::filesystem::exists(status)) {
        input.error = "cannot open: no such file";
        return input;
    }
    if (!std::filesystem::is_regular_file(status)) {
        input.error = "not a regular file";
        return input;
    }
    input.size = std::filesystem::file_size(native, error);
    if (!error && input.size == 0) {
        input.error = "empty file";
        return input;
    }
    CFile file;
    if (error || !file.Open(path.c_str(), "rb")) {
        input.error = std::string("cannot open: ") + std::strerror(errno);
        return input;
    }
    Probe probe(file);
    const FileKind* kind = nullptr;
    for (const FileKind* candidate : Kinds()) {
        if (!probe.failed() && candidate->Recognise(probe)) {
            kind = candidate;
            break;
        }
    }
    if (probe.failed()) {
        input.error = "read error";
        return input;
    }
    if (kind == nullptr) {
        input.error = "not a known kind of file";
        return input;
    }
    if (!probe.TakeWhole(input.bytes)) {
        input.bytes.clear();
        input.error = input.size > static_cast<std::uint64_t>(kMaxInputBytes)
                          ? "too large to hold in memory"
                          : "read error";
        return input;
    }
    input.kind = kind;
    return input;
}
