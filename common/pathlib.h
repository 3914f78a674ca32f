// Path strings. Every result fits a 260-byte path buffer (259 characters and
// the terminator); longer input is cut, never written past. Both '/' and '\'
// separate folders on every platform.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

inline constexpr std::size_t kMaxPath = 260;

class Pathlib {
public:
    // Starts and ends the component runtime that the folder browser needs
    // (only where that browser exists).
    Pathlib();
    virtual ~Pathlib();

    // "games\disk1.fds" -> "disk1"; "side.a.raw" -> "side.a".
    static std::string SplitFilename(const char* path);
    static std::string SplitFile(const char* path);
    static std::string SplitPath(const char* path);
    // Joins a path that begins with "..\" or ".\" onto base and resolves it;
    // any other path is returned as it is.
    static std::string CreatePath(const char* base, const char* path);
    static std::string CreateFilePath(const char* base, const char* path, const char* file);
    // As CreateFilePath, adding ext when the file name has no extension.
    static std::string CreateFilePathExt(const char* base, const char* path, const char* file,
                                         const char* ext);
    // Lets the user pick a folder; folder (kMaxPath bytes) gives the start
    // and receives the choice with a trailing separator. False when cancelled
    // or when the platform has no folder browser.
    static bool SelectFolder(void* owner, const char* title, char* folder);
    static int BffCallback(void* window, unsigned message, std::intptr_t param, std::intptr_t data);
};
