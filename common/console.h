// Every line a program shows passes through here: progress to the standard
// output, errors and warnings to the standard error stream. Message texts are
// the kit's own bytes (Japanese ones in Shift-JIS) and go out unchanged to
// files and pipes; a terminal outside Windows gets them in UTF-8.
// A console made over two strings collects the text instead, for tests.
#pragma once

#include <initializer_list>
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

// The usage text: the title and the owner notice, then each line.
void PrintUsage(Console& console, const char* title, std::initializer_list<const char*> lines);
