// An output file that a failed run never leaves half written: the bytes go
// to a temporary file beside it, moved into place only when complete, so an
// earlier file of that name stays as it was until then. What is not a
// regular file (a device, a FIFO, a link to one) is written directly, so
// that its write errors are seen; a link to a regular file is followed.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "common/fileio.h"

// Whether two paths name the very same file, however spelled (another
// path, a hard or symbolic link). False when either does not exist.
bool SameFile(const char* a, const char* b);

enum class OutputOpen { kOk, kIsInput, kOpenError };

class OutputFile {
public:
    OutputFile() = default;
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;
    // An output never saved leaves nothing behind.
    ~OutputFile() { Discard(); }

    // Refuses the program's own input; touches nothing then.
    OutputOpen Open(const char* path, const char* input);
    // Writes the bytes whole, closes and moves the file into place; false,
    // with nothing left behind, when any of it failed.
    bool Save(const std::vector<std::uint8_t>& bytes);
    // Save in two steps, for outputs that go into place all or none: the
    // bytes written and closed, then moved into place.
    bool Stage(const std::vector<std::uint8_t>& bytes);
    bool Commit();
    void Discard();
    bool IsOpen() const { return m_file.IsOpen(); }

private:
    CFile m_file;
    std::string m_target;     // where the output belongs
    std::string m_temporary;  // empty when written directly
};
