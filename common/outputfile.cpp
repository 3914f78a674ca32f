#include "common/outputfile.h"

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <random>
#include <system_error>

#include "common/interrupt.h"
#include "common/platform.h"

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
        if (!fs::exists(fs::symlink_status(candidate, error))) return KitName(candidate);
    }
}

}  // namespace

bool SameFile(const char* a, const char* b) {
    std::error_code error;
    return fs::equivalent(NativePath(a), NativePath(b), error) && !error;
}

OutputOpen OutputFile::Open(const char* path, const char* input) {
    std::error_code error;
    const fs::path native = NativePath(path);
    const fs::file_status status = fs::status(native, error);
    const bool exists = fs::exists(status);
    // Only a file that exists can be the input.
    if (exists && input != nullptr && SameFile(path, input)) return OutputOpen::kIsInput;
    if (exists && !fs::is_regular_file(status)) {
        m_target.clear();
        m_temporary.clear();
        return m_file.Open(path, "wb") ? OutputOpen::kOk : OutputOpen::kOpenError;
    }
    // A link is followed: the file it points to is replaced, the link stays.
    fs::path target = native;
    if (fs::is_symlink(fs::symlink_status(target, error))) {
        target = fs::weakly_canonical(target, error);
        if (error) return OutputOpen::kOpenError;
    }
    m_target = KitName(target);
    m_temporary = TemporaryName(target);
    // Recorded before it exists, so that an interrupt never misses it.
    RecordTemporary(m_temporary);
    if (!m_file.OpenTemporary(m_temporary.c_str())) {
        const int why = errno;  // the caller may tell it
        ForgetTemporary(m_temporary);
        m_temporary.clear();
        errno = why;
        return OutputOpen::kOpenError;
    }
    // A replaced file keeps its permissions.
    if (exists) fs::permissions(NativePath(m_temporary), status.permissions(), error);
    return OutputOpen::kOk;
}

bool OutputFile::Save(const std::vector<std::uint8_t>& bytes) {
    return Stage(bytes) && Commit();
}

bool OutputFile::Stage(const std::vector<std::uint8_t>& bytes) {
    if (SaveOutput(m_file, bytes)) return true;
    Discard();
    return false;
}

bool OutputFile::Commit() {
    if (m_temporary.empty()) return true;
    if (RenameOver(m_temporary, m_target)) {
        ForgetTemporary(m_temporary);
        m_temporary.clear();
        return true;
    }
    Discard();
    return false;
}

void OutputFile::Discard() {
    m_file.Close();
    if (m_temporary.empty()) return;
    std::error_code error;
    fs::remove(NativePath(m_temporary), error);
    ForgetTemporary(m_temporary);
    m_temporary.clear();
}
