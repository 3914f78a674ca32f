#include "common/console.h"

#include <cassert>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <vector>

#include "common/platform.h"
#include "common/shiftjis.h"
#include "common/version.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace {

// A piece of a message, by where its bytes come from.
struct Piece {
    // The kit's message text, a file name, bytes read from a disk, and text
    // that is UTF-8 everywhere.
    enum Kind { kText, kName, kBytes, kUtf8 } kind;
    std::string bytes;
};
using Message = std::vector<Piece>;

// Splits a message into its text and the values it inserts. The kit's
// formats insert names (%s) and numbers (d, i, u, x, X, c, with flags and a
// width); numbers become text.
Message Format(const char* format, std::va_list args) {
    Message message;
    const auto text = [&](const std::string& bytes) {
        if (message.empty() || message.back().kind != Piece::kText) {
            message.push_back({Piece::kText, {}});
        }
        message.back().bytes += bytes;
    };
    for (const char* p = format; *p != '\0';) {
        if (*p != '%') {
            const char* next = std::strchr(p, '%');
            const std::size_t length = next == nullptr ? std::strlen(p) : next - p;
            text(std::string(p, length));
            p += length;
            continue;
        }
        const std::size_t length = 1 + std::strspn(p + 1, "-+ #0123456789");
        const char conversion = p[length];
        const std::string directive(p, length + 1);
        p += conversion == '\0' ? length : length + 1;
        char number[64] = "";
        switch (conversion) {
            case '%':
                text("%");
                break;
            case 's':
                message.push_back({Piece::kName, va_arg(args, const char*)});
                break;
            case 'd':
            case 'i':
            case 'c':
                std::snprintf(number, sizeof number, directive.c_str(), va_arg(args, int));
                text(number);
                break;
            case 'u':
            case 'x':
            case 'X':
                std::snprintf(number, sizeof number, directive.c_str(), va_arg(args, unsigned));
                text(number);
                break;
            default:
                assert(!"a conversion the kit's messages do not use");
        }
    }
    return message;
}

Message Text(const std::string& text) {
    return {{Piece::kText, text}};
}

// What files and pipes get, or a terminal outside Windows.
std::string ToBytes(const Message& message, bool terminal) {
    std::string bytes;
    for (const Piece& piece : message) {
        switch (piece.kind) {
            case Piece::kText:
                bytes += terminal ? piece.bytes : Utf8ToShiftJis(piece.bytes);
                break;
            case Piece::kName:
                bytes += NameBytes(piece.bytes);
                break;
            case Piece::kBytes:
            case Piece::kUtf8:
                bytes += piece.bytes;
                break;
        }
    }
    return bytes;
}

// What a Windows console gets.
std::u16string ToWide(const Message& message) {
    std::u16string wide;
    for (const Piece& piece : message) {
#ifdef _WIN32
        if (piece.kind == Piece::kBytes) {
            wide += SystemBytesToUtf16(piece.bytes);
            continue;
        }
#endif
        wide += Utf8ToUtf16(piece.bytes);
    }
    return wide;
}

#ifdef _WIN32
// The stream's console, or nullptr when it goes to a file or a pipe.
HANDLE ConsoleOf(bool error) {
    const HANDLE handle = GetStdHandle(error ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE);
    DWORD mode = 0;
    return handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode) ? handle : nullptr;
}
#endif

// Where a message goes: a test's string, or the stream.
void Emit(std::string* sink, std::u16string* widesink, bool error, const Message& message) {
    if (widesink != nullptr) {
        widesink->append(ToWide(message));
        return;
    }
    if (sink != nullptr) {
        sink->append(ToBytes(message, false));
        return;
    }
    std::FILE* stream = error ? stderr : stdout;
    // Keep the two streams in order on a terminal.
    if (error) std::fflush(stdout);
#ifdef _WIN32
    if (const HANDLE console = ConsoleOf(error)) {
        std::fflush(stream);
        const std::u16string wide = ToWide(message);
        DWORD written = 0;
        WriteConsoleW(console, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr);
        return;
    }
    const bool terminal = false;
#else
    const bool terminal = isatty(fileno(stream)) != 0;
#endif
    const std::string bytes = ToBytes(message, terminal);
    std::fwrite(bytes.data(), 1, bytes.size(), stream);
}

}  // namespace

void Console::Out(const char* format, ...) {
    std::va_list args;
    va_start(args, format);
    Emit(m_out, m_wideout, false, Format(format, args));
    va_end(args);
}

void Console::Err(const char* format, ...) {
    std::va_list args;
    va_start(args, format);
    Emit(m_err, m_wideerr, true, Format(format, args));
    va_end(args);
}

void Console::Line(const char* text) {
    Emit(m_out, m_wideout, false, Text(std::string(text) + "\n"));
}

void Console::Raw(const std::string& text) {
    Emit(m_out, m_wideout, false, {{Piece::kBytes, text}});
}

void PutUtf8(bool error, const std::string& text) {
    Emit(nullptr, nullptr, error, {{Piece::kUtf8, text}});
}

bool IsTerminal(bool error) {
#ifdef _WIN32
    return ConsoleOf(error) != nullptr;
#else
    return isatty(fileno(error ? stderr : stdout)) != 0;
#endif
}

void PrintUsage(Console& console, const char* title, const char* usage) {
    console.Line((std::string(title) + kOwnerNotice).c_str());
    console.Line(usage);
}

bool ShowUsage(Console& console, int argc, const char* const* argv, int needed, const char* name,
               const char* title, const char* usage) {
    const std::string first = argc > 1 ? argv[1] : "";
    if (first == "--version") {
        console.Line((std::string(name) + " " + KIT_VERSION).c_str());
        return true;
    }
    if (argc >= needed && first != "--help") return false;
    PrintUsage(console, title, usage);
    return true;
}
