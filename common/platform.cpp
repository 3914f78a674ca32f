#include "common/platform.h"

#include <cstdint>
#include <system_error>
#include <vector>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <windows.h>
// needs windows.h first
#include <shellapi.h>

#include <cerrno>
#endif

namespace fs = std::filesystem;

namespace {

constexpr char32_t kReplacement = 0xFFFD;

// The character starting at text[i], moving i past it.
char32_t DecodeUtf8(const std::string& text, std::size_t& i) {
    const auto byte = [&](std::size_t at) { return static_cast<std::uint8_t>(text[at]); };
    const std::uint8_t lead = byte(i++);
    if (lead < 0x80) return lead;
    if (lead < 0xC2 || lead > 0xF4) return kReplacement;
    // The lead byte tells how many bytes follow, and so the least character
    // they may make.
    const int length = lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : 1;
    const char32_t least = length == 1 ? 0x80 : length == 2 ? 0x800 : 0x10000;
    char32_t c = lead & (0x3F >> length);
    std::size_t at = i;
    for (int k = 0; k < length; ++k, ++at) {
        if (at >= text.size() || (byte(at) & 0xC0) != 0x80) return kReplacement;
        c = (c << 6) | (byte(at) & 0x3F);
    }
    if (c < least || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return kReplacement;
    i = at;
    return c;
}

void EncodeUtf8(char32_t c, std::string& out) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

#ifdef _WIN32
std::wstring Wide(const std::string& name) {
    const std::u16string text = Utf8ToUtf16(name);
    return std::wstring(text.begin(), text.end());
}

// What fopen would have left in errno for the reasons a new file fails.
int ErrnoOf(DWORD error) {
    switch (error) {
        case ERROR_ACCESS_DENIED:
        case ERROR_WRITE_PROTECT:
            return EACCES;
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_NAME:
            return ENOENT;
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL:
            return ENOSPC;
        default:
            return EIO;
    }
}
#endif

}  // namespace

std::u16string Utf8ToUtf16(const std::string& text) {
    std::u16string out;
    for (std::size_t i = 0; i < text.size();) {
        const char32_t c = DecodeUtf8(text, i);
        if (c < 0x10000) {
            out += static_cast<char16_t>(c);
        } else {
            out += static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
            out += static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
        }
    }
    return out;
}

std::string Utf16ToUtf8(const std::u16string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = kReplacement;
        }
        EncodeUtf8(c, out);
    }
    return out;
}

#ifdef _WIN32

void TakeCommandLine(int& argc, char**& argv) {
    static std::vector<std::string> words;
    static std::vector<char*> pointers;
    int count = 0;
    LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (wide == nullptr) return;  // keep the narrow words
    words.clear();
    for (int i = 0; i < count; ++i) {
        const std::wstring word = wide[i];
        words.push_back(Utf16ToUtf8(std::u16string(word.begin(), word.end())));
    }
    LocalFree(wide);
    pointers.clear();
    for (std::string& word : words) pointers.push_back(word.data());
    pointers.push_back(nullptr);
    argc = count;
    argv = pointers.data();
}

fs::path NativePath(const std::string& name) {
    return fs::path(Wide(name));
}

std::string KitName(const fs::path& path) {
    const std::wstring& native = path.native();
    return Utf16ToUtf8(std::u16string(native.begin(), native.end()));
}

std::FILE* OpenByName(const char* name, const char* mode) {
    return _wfopen(Wide(name).c_str(), Wide(mode).c_str());
}

void BinaryStandardStream(std::FILE* stream) {
    if (stream != stdin) std::fflush(stream);
    _setmode(_fileno(stream), _O_BINARY);
}

std::FILE* OpenTemporaryByName(const char* name) {
    // _wfopen shares no deletion; an interrupt must remove the file open.
    const DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    const HANDLE handle = CreateFileW(Wide(name).c_str(), GENERIC_WRITE, share, nullptr,
                                      CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        errno = ErrnoOf(GetLastError());
        return nullptr;
    }
    const int descriptor = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_BINARY);
    if (descriptor == -1) {
        CloseHandle(handle);
        return nullptr;
    }
    std::FILE* file = _fdopen(descriptor, "wb");
    if (file == nullptr) _close(descriptor);
    return file;
}

bool RenameOver(const std::string& from, const std::string& to) {
    return MoveFileExW(Wide(from).c_str(), Wide(to).c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
}

std::string NameBytes(const std::string& name) {
    return NameBytes(name, GetACP());
}

std::string NameBytes(const std::string& name, unsigned codepage) {
    if (codepage == CP_UTF8 || name.empty()) return name;
    const std::wstring wide = Wide(name);
    const int size = static_cast<int>(wide.size());
    const DWORD flags = WC_NO_BEST_FIT_CHARS;
    const int length =
        WideCharToMultiByte(codepage, flags, wide.data(), size, nullptr, 0, "?", nullptr);
    std::string bytes(static_cast<std::size_t>(length), '\0');
    WideCharToMultiByte(codepage, flags, wide.data(), size, bytes.data(), length, "?", nullptr);
    return bytes;
}

std::u16string SystemBytesToUtf16(const std::string& bytes) {
    if (bytes.empty()) return {};
    const int size = static_cast<int>(bytes.size());
    const int length = MultiByteToWideChar(CP_ACP, 0, bytes.data(), size, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_ACP, 0, bytes.data(), size, wide.data(), length);
    return std::u16string(wide.begin(), wide.end());
}

#else

void TakeCommandLine(int&, char**&) {}

fs::path NativePath(const std::string& name) {
    return fs::path(name);
}

std::string KitName(const fs::path& path) {
    return path.string();
}

std::FILE* OpenByName(const char* name, const char* mode) {
    return std::fopen(name, mode);
}

void BinaryStandardStream(std::FILE*) {}

std::FILE* OpenTemporaryByName(const char* name) {
    return std::fopen(name, "wb");
}

bool RenameOver(const std::string& from, const std::string& to) {
    std::error_code error;
    fs::rename(from, to, error);
    return !error;
}

std::string NameBytes(const std::string& name) {
    return name;
}

#endif
