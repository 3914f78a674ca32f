#include "qdkit/output.h"

#include <filesystem>
#include <system_error>

#include "common/outputfile.h"
#include "common/platform.h"

std::string OutputGuard::Refusal(const std::string& path) const {
    std::error_code error;
    if (!std::filesystem::exists(std::filesystem::symlink_status(NativePath(path), error)))
        return {};
    for (const std::string& input : m_inputs) {
        if (SameFile(path.c_str(), input.c_str()))
            return "output " + path + " is an input of this call";
    }
    if (!m_force) return "output " + path + " exists (--force replaces it)";
    return {};
}

std::string OutputGuard::Write(const std::string& path,
                               const std::vector<std::uint8_t>& bytes) const {
    OutputFile file;
    if (file.Open(path.c_str(), nullptr) != OutputOpen::kOk) return "cannot create " + path;
    if (!file.Save(bytes)) return "cannot write " + path;
    return {};
}
