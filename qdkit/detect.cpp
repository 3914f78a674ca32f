#include "qdkit/detect.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>

#include "common/littleendian.h"
#include "common/platform.h"
#include "common/wholefile.h"
#include "fds/fds_blocks.h"
#include "qd/mzt.h"
#include "qd/qd_image.h"
#include "qdkit/sides.h"
#include "qdkit/text.h"

namespace {

constexpr const char* kKindNames[] = {"fds", "fds-raw", "qd-raw", "qdf", "mzt"};

// Captures vary in length, but one many times a nominal side holds no side.
constexpr std::uint64_t kMaxRawSideBytes = 4 * static_cast<std::uint64_t>(kQdRawSideBytes);
// Enough of any file to tell the kinds that carry a header apart.
constexpr std::size_t kProbeBytes = 64;

struct FileCloser {
    void operator()(std::FILE* fp) const { std::fclose(fp); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

bool ReadAt(std::FILE* fp, std::uint64_t offset, std::uint8_t* buffer, std::size_t n) {
#ifdef _WIN32
    if (_fseeki64(fp, static_cast<__int64>(offset), SEEK_SET) != 0) return false;
#else
    if (fseeko(fp, static_cast<off_t>(offset), SEEK_SET) != 0) return false;
#endif
    return std::fread(buffer, 1, n, fp) == n;
}

bool IsFdsImageStart(const std::vector<std::uint8_t>& prefix) {
    return HasFdsMagic(prefix.data(), prefix.size()) ||
           StartsWithDiskInfo(prefix.data(), prefix.size());
}

// A tape header: an attribute, and a name of no control bytes before its end.
bool LooksLikeMztHeader(const std::uint8_t* header) {
    const std::uint8_t attribute = header[kMztAttribute];
    if (attribute == 0 || attribute >= 0x80) return false;
    for (int i = 0; i < kFileNameBytes; ++i) {
        const std::uint8_t b = header[kMztName + i];
        if (b == kQdNameEnd) return i > 0;
        if (b < 0x20) return false;
    }
    return true;
}

// Every record header along the chain looks like one; only the headers are read.
bool IsMztFile(std::FILE* fp, std::uint64_t size) {
    std::uint64_t offset = 0;
    std::uint8_t header[kMztHeaderBytes];
    while (size - offset >= static_cast<std::uint64_t>(kMztHeaderBytes)) {
        if (!ReadAt(fp, offset, header, sizeof header) || !LooksLikeMztHeader(header)) return false;
        offset += kMztHeaderBytes + static_cast<std::uint64_t>(Le16(header + kMztSize));
        if (offset >= size) break;
    }
    return offset > 0;
}

bool ReadWhole(std::FILE* fp, std::uint64_t size, std::vector<std::uint8_t>& bytes) {
    if (size > static_cast<std::uint64_t>(kMaxInputBytes)) return false;
    bytes.resize(static_cast<std::size_t>(size));
    return bytes.empty() || ReadAt(fp, 0, bytes.data(), bytes.size());
}

}  // namespace

const char* KindName(Kind kind) {
    return kKindNames[static_cast<int>(kind)];
}

std::optional<Kind> KindFromName(const std::string& name) {
    for (int i = 0; i < static_cast<int>(std::size(kKindNames)); ++i) {
        if (name == kKindNames[i]) return static_cast<Kind>(i);
    }
    return std::nullopt;
}

bool IsFdsRawSide(const std::vector<std::uint8_t>& raw) {
    const FdsRawRead read = ReadFdsRaw(raw);
    return !read.blocks.empty() && read.blocks.front().id == kFdsDiskInfoBlock;
}

bool IsQdRawSide(const std::vector<std::uint8_t>& raw) {
    return ReadQdRaw(raw).blockcount >= 0;
}

Input ReadKnownFile(const std::string& path) {
    Input input;
    std::error_code error;
    const std::filesystem::path native = NativePath(path);
    const auto status = std::filesystem::status(native, error);
    if (error || !std::filesystem::exists(status)) {
        input.error = "cannot open: no such file";
        return input;
    }
    if (!std::filesystem::is_regular_file(status)) {
        input.error = "not a regular file";
        return input;
    }
    input.size = std::filesystem::file_size(native, error);
    if (!error && input.size == 0) {
        input.error = "empty file";
        return input;
    }
    FilePtr fp(OpenByName(path.c_str(), "rb"));
    if (error || !fp) {
        input.error = std::string("cannot open: ") + std::strerror(errno);
        return input;
    }
    std::vector<std::uint8_t> prefix(
        static_cast<std::size_t>(std::min<std::uint64_t>(input.size, kProbeBytes)));
    if (!prefix.empty() && !ReadAt(fp.get(), 0, prefix.data(), prefix.size())) {
        input.error = "read error";
        return input;
    }

    std::optional<Kind> kind;
    if (IsQdImageHeader(prefix.data(), prefix.size())) {
        kind = Kind::kQdf;
    } else if (IsFdsImageStart(prefix)) {
        kind = Kind::kFds;
    } else if (input.size <= kMaxRawSideBytes) {
        if (!ReadWhole(fp.get(), input.size, input.bytes)) {
            input.error = "read error";
            return input;
        }
        if (IsFdsRawSide(input.bytes)) {
            kind = Kind::kFdsRaw;
        } else if (IsQdRawSide(input.bytes)) {
            kind = Kind::kQdRaw;
        }
    }
    if (!kind && IsMztFile(fp.get(), input.size)) kind = Kind::kMzt;
    if (!kind) {
        input.bytes.clear();
        input.error = "not a known kind of file";
        return input;
    }
    if (input.bytes.size() != input.size && !ReadWhole(fp.get(), input.size, input.bytes)) {
        input.bytes.clear();
        input.error = input.size > static_cast<std::uint64_t>(kMaxInputBytes)
                          ? "too large to hold in memory"
                          : "read error";
        return input;
    }
    input.kind = kind;
    return input;
}
