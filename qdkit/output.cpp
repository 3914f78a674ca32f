#include "qdkit/output.h"

#include <filesystem>
#include <memory>
#include <system_error>

#include "common/outputfile.h"
#include "common/platform.h"

namespace {

// One name for one file, however a path spells it.
std::string SystemName(const std::string& path) {
    std::error_code error;
    const std::filesystem::path canonical =
        std::filesystem::weakly_canonical(NativePath(path), error);
    return error ? path : KitName(canonical);
}

}  // namespace

std::string OutputPath(const std::string& folder, const std::string& name) {
    if (folder.empty()) return name;
    return KitName(NativePath(folder) / NativePath(name));
}

std::string OutputGuard::Refusal(const std::string& path, const std::string& input) const {
    const auto written = m_written.find(SystemName(path));
    if (written != m_written.end()) {
        return "output " + path + " was written from " + written->second +
               " in this call; the output of " + input + " would replace it";
    }
    std::error_code error;
    if (!std::filesystem::exists(std::filesystem::symlink_status(NativePath(path), error)))
        return {};
    for (const std::string& other : m_inputs) {
        if (SameFile(path.c_str(), other.c_str()))
            return "output " + path + " is an input of this call";
    }
    if (!m_force) return "output " + path + " exists (--force replaces it)";
    return {};
}

std::string OutputGuard::Write(const std::vector<Output>& outputs, const std::string& input) {
    std::vector<std::unique_ptr<OutputFile>> files;
    for (const Output& output : outputs) {
        files.push_back(std::make_unique<OutputFile>());
        if (files.back()->Open(output.path.c_str(), nullptr) != OutputOpen::kOk)
            return "cannot create " + output.path;
    }
    for (std::size_t i = 0; i < outputs.size(); ++i) {
        if (!files[i]->Stage(*outputs[i].bytes)) return "cannot write " + outputs[i].path;
    }
    for (std::size_t i = 0; i < outputs.size(); ++i) {
        if (!files[i]->Commit()) return "cannot write " + outputs[i].path;
        m_written[SystemName(outputs[i].path)] = input;
    }
    return {};
}
