// Every line a program shows passes through here: progress to the standard
// output, errors and warnings to the standard error stream. Message texts are
// UTF-8 in the source; files and pipes get them as Shift-JIS, the bytes the
// kit has always written, and a terminal outside Windows gets the UTF-8.
// A console made over two strings collects the pipe bytes instead, for tests.
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

    void Out(const char* format, ...) KIT_PRINTF(2, 3);
    void Err(const char* format, ...) KIT_PRINTF(2, 3);
    // A whole line: the text and a line end, as puts writes it.
    void Line(const char* text);

private:
    std::string ForStream(bool error, const char* text) const;
    void Emit(bool error, const std::string& text);

    std::string* m_out = nullptr;
    std::string* m_err = nullptr;
};

// The notice that follows each program's title on its first usage line.
inline constexpr const char* kOwnerNotice = "  (C) 2026 Quick Disk kit developers";

// The usage text: the title and the owner notice, then the usage lines.
void PrintUsage(Console& console, const char* title, const char* usage);
// Prints the usage text when the command line has fewer than needed words
// (the program's name included); true when it did.
bool ShowUsage(Console& console, int argc, int needed, const char* title, const char* usage);
