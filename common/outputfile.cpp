#include "common/outputfile.h"

#include <cstdio>
#include <filesystem>
#include <random>
#include <system_error>

#include "common/wholefile.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace fs = std::filesystem;

namespace {

// A name beside target that nothing holds yet.
std::string TemporaryName(const fs::path& target) {
    // Drawn straight from the device: seeding a generator would cost more
    // than the few names a run needs.
    std::random_device random;
    for (;;) {
        char suffix[32];
        std::snprintf(suffix, sizeof suffix, ".%08x.tmp", static_cast<unsigned>(random()));
        fs::path candidate = target;
        candidate += suffix;
        std::error_code error;
        if (!fs::exists(fs::symlink_status(candidate, error))) return candidate.string();
    }
}

bool MoveIntoPlace(const std::string& from, const std::string& to) {
#ifdef _WIN32
    return MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
#else
    std::error_code error;
    fs::rename(from, to, error);
    return !error;
#endif
}

}  // namespace

bool SameFile(const char* a, const char* b) {
    std::error_code error;
    return fs::equivalent(a, b, error) && !error;
}

OutputOpen OutputFile::Open(const char* path, const char* input) {
    if (input != nullptr && SameFile(path, input)) return OutputOpen::kIsInput;
    std::error_code error;
    const fs::file_status status = fs::status(path, error);
    if (fs::exists(status) && !fs::is_regular_file(status)) {
        m_target.clear();
        m_temporary.clear();
        return m_file.Open(path, "wb") ? OutputOpen::kOk : OutputOpen::kOpenError;
    }
    // A link is followed: the file it points to is replaced, the link stays.
    fs::path target = path;
    if (fs::is_symlink(fs::symlink_status(target, error))) {
        target = fs::weakly_canonical(target, error);
        if (error) return OutputOpen::kOpenError;
    }
    m_target = target.string();
    m_temporary = TemporaryName(target);
    if (!m_file.Open(m_temporary.c_str(), "wb")) {
        m_temporary.clear();
        return OutputOpen::kOpenError;
    }
    // A replaced file keeps its permissions.
    if (fs::exists(status)) fs::permissions(m_temporary, status.permissions(), error);
    return OutputOpen::kOk;
}

bool OutputFile::Save(const std::vector<std::uint8_t>& bytes) {
    const bool written = SaveOutput(m_file, bytes);
    if (m_temporary.empty()) return written;
    if (written && MoveIntoPlace(m_temporary, m_target)) {
        m_temporary.clear();
        return true;
    }
    Discard();
    return false;
}

void OutputFile::Discard() {
    m_file.Close();
    if (m_temporary.empty()) return;
    std::remove(m_temporary.c_str());
    m_temporary.clear();
}
