#include "common/wholefile.h"

#include <filesystem>
#include <system_error>

#include "common/platform.h"

LoadStatus OpenInput(CFile& file, const char* path) {
    std::error_code error;
    // The very name the open uses.
    const auto status = std::filesystem::status(NativePath(path), error);
    if (!error && std::filesystem::exists(status) && !std::filesystem::is_regular_file(status)) {
        return LoadStatus::kReadError;
    }
    return file.Open(path, "rb") ? LoadStatus::kOk : LoadStatus::kNotFound;
}

LoadStatus ReadInput(CFile& file, std::vector<std::uint8_t>& out) {
    const std::int64_t size = file.size();
    if (size <= 0 || size > kMaxInputBytes) return LoadStatus::kReadError;
    try {
        out.assign(static_cast<std::size_t>(size), 0);
    } catch (const std::bad_alloc&) {
        return LoadStatus::kReadError;
    }
    if (!file.Read(out.data(), size)) return LoadStatus::kReadError;
    file.Close();
    return LoadStatus::kOk;
}

LoadStatus LoadInput(const char* path, std::vector<std::uint8_t>& out) {
    CFile file;
    const LoadStatus status = OpenInput(file, path);
    return status == LoadStatus::kOk ? ReadInput(file, out) : status;
}

void ReportLoad(Console& console, LoadStatus status, const char* path) {
    if (status == LoadStatus::kNotFound) console.Err(kFileNotFound, path);
    if (status == LoadStatus::kReadError) console.Err(kFileReadError);
}

bool LoadInput(Console& console, const char* path, std::vector<std::uint8_t>& out) {
    const LoadStatus status = LoadInput(path, out);
    ReportLoad(console, status, path);
    return status == LoadStatus::kOk;
}

bool SaveFile(const char* path, const std::vector<std::uint8_t>& bytes) {
    CFile file;
    return file.Open(path, "wb") && SaveOutput(file, bytes);
}

bool OpenOutput(Console& console, OutputFile& output, const char* path, const char* input,
                const char* openerror) {
    switch (output.Open(path, input)) {
        case OutputOpen::kOk:
            return true;
        case OutputOpen::kIsInput:
            console.Err(kOutputIsInput, path);
            return false;
        case OutputOpen::kOpenError:
            console.Err(openerror, path);
            return false;
    }
    return false;
}
