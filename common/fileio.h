// CFile: one open stdio stream and the count of bytes that passed it.
#pragma once

#include <cstdint>
#include <cstdio>
#include <vector>

class CFile {
public:
    CFile() = default;
    CFile(const CFile&) = delete;
    CFile& operator=(const CFile&) = delete;
    virtual ~CFile() { Close(); }

    // A mode holding 'r' measures the file: m_size is then its size, or -1
    // when it cannot be measured (a pipe, say). Other modes leave m_size 0.
    bool Open(const char* path, const char* mode);
    // A new file to write, which an interrupt may remove while it is open.
    bool OpenTemporary(const char* path);
    // False when the stream could not be flushed and closed cleanly.
    bool Close();

    bool Read(void* buffer, std::int64_t n);
    bool Write(const void* buffer, std::int64_t n);
    // Counts the byte even when it could not be written.
    int Putc(int c);
    int Puts(const char* text);
    int Seek(std::int64_t offset, int origin);

    bool IsOpen() const { return m_fp != nullptr; }
    bool IsWriteMode() const { return m_writemode; }
    std::FILE* fp() const { return m_fp; }
    // A mode holding 'r': the measured size. Otherwise the bytes that passed.
    std::int64_t size() const { return m_size; }

private:
    std::FILE* m_fp = nullptr;
    std::int64_t m_size = 0;
    bool m_writemode = false;
};

// Writes bytes whole to a file already open for writing and closes it;
// false when any byte did not reach the file.
bool SaveOutput(CFile& file, const std::vector<std::uint8_t>& bytes);
