#include "common/pathlib.h"

#include <cstring>
#include <vector>

#ifdef _WIN32
#include <objbase.h>
#include <shlobj.h>
#include <windows.h>
#endif

namespace {

constexpr std::size_t kMaxLength = kMaxPath - 1;

bool IsSeparator(char c) {
    return c == '/' || c == '\\';
}

// What a fixed path buffer keeps of a string.
std::string Bounded(std::string text) {
    if (text.size() > kMaxLength) text.resize(kMaxLength);
    return text;
}

std::size_t FileNameStart(const std::string& path) {
    std::size_t start = 0;
    for (std::size_t i = 0; i < path.size(); ++i) {
        if (IsSeparator(path[i])) start = i + 1;
    }
    return start;
}

// The separator a path already uses, else the platform's own.
char SeparatorOf(const std::string& path) {
    for (char c : path) {
        if (IsSeparator(c)) return c;
    }
#ifdef _WIN32
    return '\\';
#else
    return '/';
#endif
}

// A leading dot names a file, it does not start an extension.
std::size_t ExtensionStart(const std::string& path) {
    const std::size_t name = FileNameStart(path);
    const std::size_t dot = path.rfind('.');
    if (dot == std::string::npos || dot <= name) return std::string::npos;
    return dot;
}

// Joins with exactly one separator; base is kept when the result would not fit.
std::string Append(const std::string& base, const std::string& more) {
    std::string head = base;
    while (!head.empty() && IsSeparator(head.back())) head.pop_back();
    std::size_t skip = 0;
    while (skip < more.size() && IsSeparator(more[skip])) ++skip;
    const std::string tail = more.substr(skip);
    std::string joined = head.empty()   ? tail
                         : tail.empty() ? head
                                        : head + SeparatorOf(base) + tail;
    return joined.size() > kMaxLength ? base : joined;
}

// Resolves "." and ".." components; ".." never climbs above the root.
std::string Canonical(const std::string& path) {
    std::size_t rootend = 0;
    if (path.size() >= 2 && path[1] == ':') rootend = 2;
    if (rootend < path.size() && IsSeparator(path[rootend])) ++rootend;
    const std::string root = path.substr(0, rootend);
    const char separator = SeparatorOf(path);

    std::vector<std::string> parts;
    std::size_t start = rootend;
    while (start <= path.size()) {
        std::size_t end = start;
        while (end < path.size() && !IsSeparator(path[end])) ++end;
        const std::string part = path.substr(start, end - start);
        if (part == "..") {
            if (!parts.empty()) parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        start = end + 1;
    }
    std::string result = root;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        if (i > 0) result += separator;
        result += parts[i];
    }
    return result;
}

}  // namespace

std::string Pathlib::SplitFilename(const char* path) {
    std::string name = Bounded(SplitFile(path));
    const std::size_t dot = ExtensionStart(name);
    if (dot != std::string::npos) name.resize(dot);
    return name;
}

std::string Pathlib::SplitFile(const char* path) {
    const std::string text(path);
    return text.substr(FileNameStart(text));
}

std::string Pathlib::SplitPath(const char* path) {
    std::string text = Bounded(path);
    std::size_t start = FileNameStart(text);
    if (start == 0) return {};
    // Keep a root separator ("/x" -> "/", "C:\x" -> "C:\").
    const bool root = start == 1 || (start == 3 && text[1] == ':');
    text.resize(root ? start : start - 1);
    return text;
}

std::string Pathlib::CreatePath(const char* base, const char* path) {
    const bool relative = std::strncmp(path, "..\\", 3) == 0 || std::strncmp(path, ".\\", 2) == 0;
    if (!relative) return path;
    return Canonical(Append(Bounded(base), path));
}

std::string Pathlib::CreateFilePath(const char* base, const char* path, const char* file) {
    return Append(Bounded(CreatePath(base, path)), file);
}

std::string Pathlib::CreateFilePathExt(const char* base, const char* path, const char* file,
                                       const char* ext) {
    std::string result = CreateFilePath(base, path, file);
    if (ExtensionStart(result) == std::string::npos &&
        result.size() + std::strlen(ext) <= kMaxLength) {
        result += ext;
    }
    return result;
}

#ifdef _WIN32

namespace {

int CALLBACK BrowseCallback(HWND window, UINT message, LPARAM param, LPARAM data) {
    return Pathlib::BffCallback(window, message, param, data);
}

}  // namespace

Pathlib::Pathlib() {
    (void)CoInitialize(nullptr);
}
Pathlib::~Pathlib() {
    CoUninitialize();
}

bool Pathlib::SelectFolder(void* owner, const char* title, char* folder) {
    std::size_t length = std::strlen(folder);
    if (length > 0 && IsSeparator(folder[length - 1])) folder[--length] = '\0';

    BROWSEINFOA info{};
    info.hwndOwner = static_cast<HWND>(owner);
    info.lpszTitle = title;
    info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE;
    info.lpfn = BrowseCallback;
    info.lParam = reinterpret_cast<LPARAM>(folder);
    LPITEMIDLIST item = SHBrowseForFolderA(&info);
    if (item == nullptr) return false;

    SHGetPathFromIDListA(item, folder);
    length = std::strlen(folder);
    if (length + 1 < kMaxPath && (length == 0 || !IsSeparator(folder[length - 1]))) {
        folder[length] = '\\';
        folder[length + 1] = '\0';
    }
    IMalloc* allocator = nullptr;
    if (SUCCEEDED(SHGetMalloc(&allocator)) && allocator != nullptr) {
        allocator->Free(item);
        allocator->Release();
    }
    return true;
}

int Pathlib::BffCallback(void* window, unsigned message, std::intptr_t, std::intptr_t data) {
    if (message == BFFM_INITIALIZED && data != 0) {
        SendMessageA(static_cast<HWND>(window), BFFM_SETSELECTIONA, TRUE, data);
    }
    return 1;
}

#else

Pathlib::Pathlib() = default;
Pathlib::~Pathlib() = default;

bool Pathlib::SelectFolder(void*, const char*, char* folder) {
    std::size_t length = std::strlen(folder);
    if (length > 0 && IsSeparator(folder[length - 1])) folder[length - 1] = '\0';
    return false;
}

int Pathlib::BffCallback(void*, unsigned, std::intptr_t, std::intptr_t) {
    return 1;
}

#endif
