#include "common/fileio.h"

#include <cassert>
#include <cstring>

#include "common/platform.h"

namespace {

std::int64_t Tell(std::FILE* fp) {
#ifdef _WIN32
    return _ftelli64(fp);
#else
    return ftello(fp);
#endif
}

int SeekStream(std::FILE* fp, std::int64_t offset, int origin) {
#ifdef _WIN32
    return _fseeki64(fp, offset, origin);
#else
    return fseeko(fp, static_cast<off_t>(offset), origin);
#endif
}

}  // namespace

bool CFile::Open(const char* path, const char* mode) {
    assert(m_fp == nullptr);
    m_writemode = std::strchr(mode, 'r') == nullptr;
    m_fp = OpenByName(path, mode);
    if (m_fp == nullptr) return false;
    m_size = 0;
    if (m_writemode) return true;

    const std::int64_t here = Tell(m_fp);
    std::int64_t end = -1;
    if (here >= 0 && Seek(0, SEEK_END) == 0) end = Tell(m_fp);
    if (here < 0 || end < 0 || Seek(here, SEEK_SET) != 0) end = -1;
    m_size = end;
    return true;
}

bool CFile::OpenTemporary(const char* path) {
    assert(m_fp == nullptr);
    m_writemode = true;
    m_size = 0;
    m_fp = OpenTemporaryByName(path);
    return m_fp != nullptr;
}

bool CFile::Close() {
    if (m_fp == nullptr) return true;
    const bool clean = std::ferror(m_fp) == 0;
    const bool closed = std::fclose(m_fp) == 0;
    m_fp = nullptr;
    return clean && closed;
}

bool CFile::Read(void* buffer, std::int64_t n) {
    assert(m_fp);
    if (n <= 0) return false;
    return std::fread(buffer, static_cast<std::size_t>(n), 1, m_fp) == 1;
}

bool CFile::Write(const void* buffer, std::int64_t n) {
    assert(m_fp);
    if (n <= 0) return false;
    if (std::fwrite(buffer, static_cast<std::size_t>(n), 1, m_fp) != 1) return false;
    m_size += n;
    return true;
}

int CFile::Putc(int c) {
    assert(m_fp);
    ++m_size;
    return std::fputc(c, m_fp);
}

int CFile::Puts(const char* text) {
    assert(m_fp);
    const int result = std::fputs(text, m_fp);
    if (result != EOF) m_size += static_cast<std::int64_t>(std::strlen(text));
    return result;
}

int CFile::Seek(std::int64_t offset, int origin) {
    assert(m_fp);
    return SeekStream(m_fp, offset, origin);
}

bool SaveOutput(CFile& file, const std::vector<std::uint8_t>& bytes) {
    const bool written =
        bytes.empty() || file.Write(bytes.data(), static_cast<std::int64_t>(bytes.size()));
    const bool closed = file.Close();
    return written && closed;
}
