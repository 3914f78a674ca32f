#include "qdkit/batch.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "common/console.h"
#include "common/platform.h"
#include "qdkit/human.h"
#include "qdkit/text.h"

namespace {

namespace fs = std::filesystem;

// A batch shows its progress once it has run this long, redrawn no more
// often than this.
constexpr auto kProgressAfter = std::chrono::seconds(1);
constexpr auto kProgressEvery = std::chrono::milliseconds(100);

// The regular files in a folder and the folders under it. A folder that
// cannot be read is one failed entry, never a silent gap in the batch.
void WalkFolder(const fs::path& root, const fs::path& folder, std::vector<BatchFile>& found) {
    std::error_code error;
    fs::directory_iterator it(folder, error), end;
    for (; !error && it != end; it.increment(error)) {
        std::error_code ignored;
        // Links to folders are not followed, so that a walk always ends.
        if (it->is_directory(ignored) && !it->is_symlink(ignored)) {
            WalkFolder(root, it->path(), found);
        } else if (it->is_regular_file(ignored)) {
            const fs::path relative = it->path().lexically_relative(root);
            found.push_back({KitName(it->path()), KitName(relative.parent_path()), true, {}});
        }
    }
    if (error) {
        const fs::path relative = folder.lexically_relative(root);
        found.push_back({KitName(folder), KitName(relative.parent_path()), true,
                         "cannot read the folder: " + SystemReason(error.value())});
    }
}

// Every file under a folder, in the order of their names.
void Walk(const std::string& folder, std::vector<BatchFile>& files) {
    std::vector<BatchFile> found;
    WalkFolder(NativePath(folder), NativePath(folder), found);
    std::sort(found.begin(), found.end(),
              [](const BatchFile& a, const BatchFile& b) { return a.path < b.path; });
    files.insert(files.end(), found.begin(), found.end());
}

bool IsFolder(const std::string& name) {
    std::error_code error;
    return name != kStandardStream && fs::is_directory(fs::status(NativePath(name), error));
}

std::string Counted(std::size_t n, const char* what) {
    return std::to_string(n) + " " + what;
}

}  // namespace

Batch::Batch(const std::vector<std::string>& names, const BatchOptions& options, const char* verb)
    : m_verb(verb),
      m_recursive(options.recursive),
      m_start(std::chrono::steady_clock::now()),
      m_drawn(m_start),
      m_terminal(IsTerminal(true)) {
    for (const std::string& name : names) {
        if (m_recursive && IsFolder(name)) {
            Walk(name, m_files);
        } else {
            m_files.push_back({name, "", false, {}});
        }
    }
}

Input Batch::Read(const BatchFile& file, FileReport& report) const {
    Input input;
    if (!file.unread.empty()) {
        report.Fail(file.unread);
        return input;
    }
    input = ReadKnownFile(file.path, report);
    input.unknown = Unknown(file, report) || input.unknown;
    return input;
}

bool Batch::LoadWhole(const BatchFile& file, Bytes& bytes, FileReport& report,
                      bool& unknown) const {
    if (!file.unread.empty()) {
        report.Fail(file.unread);
        return false;
    }
    const bool loaded = LoadWholeInput(file.path, bytes, report);
    unknown = Unknown(file, report);
    return loaded;
}

bool Batch::Unknown(const BatchFile& file, FileReport& report) const {
    if (!report.errors.empty() && report.errors.back() == "a folder" && !m_recursive)
        report.errors.back() += " (--recursive reads the files in it)";
    // An empty file holds no kind's evidence: a walk skips it as such.
    if (!file.walked || report.errors != std::vector<std::string>{kEmptyFile}) return false;
    report.errors.clear();
    return true;
}

bool Batch::SkipsUnknown(const BatchFile& file, const Input& input) {
    if (!file.walked || !input.unknown) return false;
    Count(Outcome::kSkipped);
    return true;
}

void Batch::Count(Outcome outcome) {
    switch (outcome) {
        case Outcome::kDone:
            ++m_done;
            break;
        case Outcome::kSkipped:
            ++m_skipped;
            break;
        case Outcome::kFailed:
            ++m_failed;
            break;
    }
    Progress();
}

// On a terminal only, and only once the batch has run a while: a pipe or a
// file gets nothing but the lines themselves.
void Batch::Progress() {
    if (!m_terminal) return;
    const auto now = std::chrono::steady_clock::now();
    if (now - m_start < kProgressAfter || now - m_drawn < kProgressEvery) return;
    m_drawn = now;
    const std::size_t finished = m_done + m_skipped + m_failed;
    std::string text =
        "qdkit: " + std::to_string(finished) + " of " + std::to_string(m_files.size()) + " files";
    if (m_failed > 0) text += ", " + Counted(m_failed, "failed");
    ShowProgress(text);
}

int Batch::End() {
    const bool written = OutputWritten();
    const bool walked =
        std::any_of(m_files.begin(), m_files.end(), [](const BatchFile& f) { return f.walked; });
    if (m_files.size() > 1 || walked) {
        PrintNote("qdkit: " + Plural(m_files.size(), "file") + ": " + Counted(m_done, m_verb) +
                  ", " + Counted(m_skipped, "skipped") + ", " + Counted(m_failed, "failed"));
    }
    return written && m_failed == 0 ? 0 : 1;
}

int RunOutputBatch(const std::vector<std::string>& files, const BatchOptions& options, bool force,
                   const char* verb, const OutputStep& step) {
    Batch batch(files, options, verb);
    std::vector<std::string> inputs;
    for (const BatchFile& file : batch.files()) inputs.push_back(file.path);
    OutputGuard guard(inputs, force);
    Json all = Json::array();
    for (const BatchFile& file : batch.files()) {
        FileReport report(file.path);
        const Input input = batch.Read(file, report);
        if (batch.SkipsUnknown(file, input)) continue;
        bool skipped = false;
        {
            // An output in place has its line, however the run ends.
            std::optional<InterruptsHeld> held;
            FileOutputs done = step(file, input, guard, held, report);
            skipped = done.skipped;
            if (options.json) {
                all.push_back(std::move(done.record));
            } else {
                for (const std::string& line : done.lines) PrintProgress(line);
            }
        }
        PrintMessages(report);
        batch.Count(report.Failed() ? Outcome::kFailed
                    : skipped       ? Outcome::kSkipped
                                    : Outcome::kDone);
    }
    if (options.json) PrintDocument(all);
    return batch.End();
}
