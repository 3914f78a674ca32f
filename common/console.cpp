#include "common/console.h"

#include <cstdarg>
#include <cstdio>

#include "common/shiftjis.h"

#ifndef _WIN32
#include <unistd.h>
#endif

namespace {

// A Windows console shows Shift-JIS itself; elsewhere a terminal is taken
// to speak UTF-8. Files and pipes always get the Shift-JIS bytes.
bool IsTerminal(std::FILE* stream) {
#ifdef _WIN32
    (void)stream;
    return false;
#else
    return isatty(fileno(stream)) != 0;
#endif
}

std::string Format(const char* format, std::va_list args) {
    std::va_list copy;
    va_copy(copy, args);
    const int length = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    if (length <= 0) return {};
    std::string text(static_cast<std::size_t>(length) + 1, '\0');
    std::vsnprintf(text.data(), text.size(), format, args);
    text.pop_back();
    return text;
}

}  // namespace

void Console::Out(const char* format, ...) {
    std::va_list args;
    va_start(args, format);
    Emit(false, Format(ForStream(false, format).c_str(), args));
    va_end(args);
}

void Console::Err(const char* format, ...) {
    std::va_list args;
    va_start(args, format);
    Emit(true, Format(ForStream(true, format).c_str(), args));
    va_end(args);
}

void Console::Line(const char* text) {
    Emit(false, ForStream(false, text) + "\n");
}

// Only the kit's own text is converted, never the values printed in it
// (names read from a disk, paths).
std::string Console::ForStream(bool error, const char* text) const {
    const bool captured = (error ? m_err : m_out) != nullptr;
    if (captured || !IsTerminal(error ? stderr : stdout)) return Utf8ToShiftJis(text);
    return text;
}

void Console::Emit(bool error, const std::string& text) {
    std::string* sink = error ? m_err : m_out;
    if (sink != nullptr) {
        sink->append(text);
        return;
    }
    std::FILE* stream = error ? stderr : stdout;
    // Keep the two streams in order on a terminal.
    if (error) std::fflush(stdout);
    std::fwrite(text.data(), 1, text.size(), stream);
}

void PrintUsage(Console& console, const char* title, const char* usage) {
    console.Out("%s%s\n", title, kOwnerNotice);
    console.Line(usage);
}

bool ShowUsage(Console& console, int argc, int needed, const char* title, const char* usage) {
    if (argc >= needed) return false;
    PrintUsage(console, title, usage);
    return true;
}
