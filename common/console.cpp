#include "common/console.h"

#include <cstdarg>
#include <cstdio>

namespace {

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
    Emit(false, Format(format, args));
    va_end(args);
}

void Console::Err(const char* format, ...) {
    std::va_list args;
    va_start(args, format);
    Emit(true, Format(format, args));
    va_end(args);
}

void Console::Line(const char* text) {
    Emit(false, std::string(text) + "\n");
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
