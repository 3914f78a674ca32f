#include "qdkit/output.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

#ifdef _WIN32
#include <process.h>
#define getpid _getpid
#else
#include <unistd.h>
#endif

namespace fs = std::filesystem;

namespace {

bool WriteAll(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    std::FILE* fp = std::fopen(path.c_str(), "wb");
    if (fp == nullptr) return false;
    const bool written = bytes.empty() || std::fwrite(bytes.data(), bytes.size(), 1, fp) == 1;
    const bool closed = std::fclose(fp) == 0;
    return written && closed;
}

}  // namespace

std::string OutputGuard::Refusal(const std::string& path) const {
    std::error_code error;
    if (!fs::exists(fs::symlink_status(path, error))) return {};
    for (const std::string& input : m_inputs) {
        if (fs::equivalent(path, input, error))
            return "output " + path + " is an input of this call";
    }
    if (!m_force) return "output " + path + " exists (--force replaces it)";
    return {};
}

std::string OutputGuard::Write(const std::string& path,
                               const std::vector<std::uint8_t>& bytes) const {
    std::error_code error;
    const fs::file_status status = fs::status(path, error);
    // A device or a pipe cannot be replaced: it is written as it is.
    if (fs::exists(status) && !fs::is_regular_file(status)) {
        return WriteAll(path, bytes) ? "" : "cannot write " + path;
    }
    // A link to a file stays; the file it points to is replaced.
    fs::path target = path;
    if (fs::is_symlink(fs::symlink_status(path, error))) {
        target = fs::canonical(path, error);
        if (error) return "cannot resolve " + path + ": " + error.message();
    }

    static int serial = 0;
    fs::path temporary = target;
    temporary += ".qdkit-" + std::to_string(getpid()) + "-" + std::to_string(++serial) + ".tmp";
    if (!WriteAll(temporary.string(), bytes)) {
        fs::remove(temporary, error);
        return "cannot write " + path;
    }
    fs::rename(temporary, target, error);
    if (error) {
        std::error_code ignored;
        fs::remove(temporary, ignored);
        return "cannot write " + path + ": " + error.message();
    }
    return {};
}
