// Every line a program shows passes through here: progress to the standard
// output, errors and warnings to the standard error stream. Message texts are
// UTF-8 in the source; files and pipes get them as Shift-JIS, the bytes the
// kit has always written, and a terminal outside Windows gets the UTF-8. The
// values a message inserts with %s are file names (common/platform.h), which
// files and pipes get as the platform always printed them. A Windows console
// gets all of it as UTF-16, so that it reads right whatever its code page.
// A console made over two strings collects what a pipe or a Windows console
// would get instead, for tests.
#pragma once

#include <string>

#if defined(__GNUC__) || defined(__clang__)
#define KIT_PRINTF(fmt, args) __attribute__((format(printf, fmt, args)))
#else
#define KIT_PRINTF(fmt, args)
#endif

class Console {
public:
    Console() = default;
    Console(std::string* out, std::string* err) : m_out(out), m_err(err) {}
    Console(std::u16string* out, std::u16string* err) : m_wideout(out), m_wideerr(err) {}

    void Out(const char* format, ...) KIT_PRINTF(2, 3);
    void Err(const char* format, ...) KIT_PRINTF(2, 3);
    // A whole line: the text and a line end, as puts writes it.
    void Line(const char* text);
    // Text that holds bytes read from a disk, which go out as they are (a
    // Windows console shows them in the system code page).
    void Raw(const std::string& text);

private:
    std::string* m_out = nullptr;
    std::string* m_err = nullptr;
    std::u16string* m_wideout = nullptr;
    std::u16string* m_wideerr = nullptr;
};

// Text that is UTF-8 throughout, as qdkit's lines are, to the standard
// output or error stream: files and pipes get its bytes as they are, a
// Windows console the same text as UTF-16, whatever its code page.
void PutUtf8(bool error, const std::string& text);

// Whether the standard output or error stream is a terminal (a console).
bool IsTerminal(bool error);

// The notice that follows each program's title on its first usage line.
inline constexpr const char* kOwnerNotice = "  (C) 2026 Quick Disk kit developers";

// The usage text: the title and the owner notice, then the usage lines.
void PrintUsage(Console& console, const char* title, const char* usage);
// What every program answers alike before its own work: the usage text for
// fewer than needed words (the program's name included) or for --help as the
// first argument, and "<name> <kit version>" for --version there. Only those
// exact words in that place count; every other command line is the
// program's. True when it answered.
bool ShowUsage(Console& console, int argc, const char* const* argv, int needed, const char* name,
               const char* title, const char* usage);
