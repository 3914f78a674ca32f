#include "qdkit/output.h"

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <system_error>

#include "common/outputfile.h"
#include "common/platform.h"
#include "qdkit/detect.h"
#include "qdkit/text.h"

namespace {

// One name for one file, however a path spells it.
std::string SystemName(const std::string& path) {
    std::error_code error;
    const std::filesystem::path canonical =
        std::filesystem::weakly_canonical(NativePath(path), error);
    return error ? path : KitName(canonical);
}

// The one output of a call that goes to the standard output.
std::string WriteStandardOutput(const std::vector<std::uint8_t>& bytes) {
    BinaryStandardStream(stdout);
    errno = 0;
    const bool written = bytes.empty() || std::fwrite(bytes.data(), bytes.size(), 1, stdout) == 1;
    if (written && std::fflush(stdout) == 0) return {};
    return "cannot write the standard output" +
           (errno != 0 ? ": " + SystemReason(errno) : std::string());
}

// Why an output could not be made, as the system tells it.
std::string Failed(const char* what, const std::string& path) {
    const int error = errno;
    return std::string(what) + " " + path + (error != 0 ? ": " + SystemReason(error) : "");
}

}  // namespace

std::string OutputPath(const std::string& folder, const std::string& name) {
    if (folder.empty() || name == kStandardStream) return name;
    return KitName(NativePath(folder) / NativePath(name));
}

std::string OutputGuard::Refusal(const std::string& path, const std::string& input) const {
    if (path == kStandardStream) return {};
    const auto written = m_written.find(SystemName(path));
    if (written != m_written.end()) {
        return "output " + path + " was written from " + written->second +
               " in this call; the output of " + input + " would replace it";
    }
    std::error_code error;
    const std::filesystem::path native = NativePath(path);
    if (!std::filesystem::exists(std::filesystem::symlink_status(native, error))) return {};
    if (std::filesystem::is_directory(std::filesystem::status(native, error)))
        return "output " + path + " is a folder";
    for (const std::string& other : m_inputs) {
        if (SameFile(path.c_str(), other.c_str()))
            return "output " + path + " is an input of this call";
    }
    if (!m_force) return "output " + path + " exists (--force replaces it)";
    return {};
}

std::string OutputGuard::WroteInto(const std::string& folder) const {
    const std::string name = SystemName(folder);
    for (const auto& [path, input] : m_written) {
        if (KitName(NativePath(path).parent_path()) == name) return input;
    }
    return {};
}

std::string OutputGuard::Write(const std::vector<Output>& outputs, const std::string& input) {
    std::optional<InterruptsHeld> held;
    return Write(outputs, input, held);
}

std::string OutputGuard::Write(const std::vector<Output>& outputs, const std::string& input,
                               std::optional<InterruptsHeld>& held) {
    if (outputs.size() == 1 && outputs.front().path == kStandardStream)
        return WriteStandardOutput(*outputs.front().bytes);
    std::vector<std::unique_ptr<OutputFile>> files;
    for (const Output& output : outputs) {
        files.push_back(std::make_unique<OutputFile>());
        errno = 0;
        if (files.back()->Open(output.path.c_str(), nullptr) != OutputOpen::kOk)
            return Failed("cannot create", output.path);
    }
    for (std::size_t i = 0; i < outputs.size(); ++i) {
        errno = 0;
        if (!files[i]->Stage(*outputs[i].bytes)) return Failed("cannot write", outputs[i].path);
    }
    held.emplace();
    for (std::size_t i = 0; i < outputs.size(); ++i) {
        errno = 0;
        if (!files[i]->Commit()) return Failed("cannot write", outputs[i].path);
        m_written[SystemName(outputs[i].path)] = input;
    }
    return {};
}

bool OutputExists(const std::string& path) {
    if (path == kStandardStream) return false;
    std::error_code error;
    return std::filesystem::exists(std::filesystem::symlink_status(NativePath(path), error));
}
