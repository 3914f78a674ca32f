#include "tests/support.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <sstream>

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#endif

Bytes Hex(const std::string& text) {
    Bytes bytes;
    std::istringstream in(text);
    std::string word;
    while (in >> word) bytes.push_back(static_cast<std::uint8_t>(std::stoul(word, nullptr, 16)));
    return bytes;
}

std::vector<int> Cells(const std::string& text) {
    std::vector<int> cells;
    for (char c : text) {
        if (c == '0' || c == '1') cells.push_back(c - '0');
    }
    return cells;
}

namespace {

std::string Dump(const Bytes& bytes, std::size_t from, std::size_t to) {
    std::string text;
    char cell[8];
    for (std::size_t i = from; i < to && i < bytes.size(); ++i) {
        std::snprintf(cell, sizeof cell, "%02X ", bytes[i]);
        text += cell;
    }
    return text;
}

}  // namespace

::testing::AssertionResult SameBytes(const Bytes& expected, const Bytes& actual) {
    std::size_t i = 0;
    while (i < expected.size() && i < actual.size() && expected[i] == actual[i]) ++i;
    if (i == expected.size() && i == actual.size()) return ::testing::AssertionSuccess();
    const std::size_t from = i < 8 ? 0 : i - 8;
    return ::testing::AssertionFailure()
           << "sizes " << expected.size() << " and " << actual.size() << ", first difference at "
           << i << "\n  expected: " << Dump(expected, from, i + 8)
           << "\n  actual:   " << Dump(actual, from, i + 8);
}

Bytes Concat(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& part : parts) all.insert(all.end(), part.begin(), part.end());
    return all;
}

Bytes Repeat(std::uint8_t value, std::size_t count) {
    return Bytes(count, value);
}

std::string Text(const Bytes& bytes) {
    return std::string(bytes.begin(), bytes.end());
}

Bytes ReadFile(const std::string& path) {
    std::ifstream in(std::filesystem::u8path(path), std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFile(const std::string& path, const Bytes& bytes) {
    std::ofstream out(std::filesystem::u8path(path), std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

bool FileExists(const std::string& path) {
    std::error_code error;
    return std::filesystem::exists(
        std::filesystem::symlink_status(std::filesystem::u8path(path), error));
}

TempDir::TempDir() {
    // A name no other test process holds: create_directory fails on a taken one.
    static std::mt19937_64 random{std::random_device{}()};
    const std::filesystem::path base = std::filesystem::temp_directory_path();
    for (;;) {
        const std::filesystem::path candidate = base / ("kit-test-" + std::to_string(random()));
        std::error_code error;
        if (std::filesystem::create_directory(candidate, error)) {
            m_path = candidate.u8string();
            return;
        }
        if (error && !std::filesystem::exists(candidate)) std::abort();
    }
}

TempDir::~TempDir() {
    std::error_code error;
    std::filesystem::remove_all(m_path, error);
}

namespace {

std::string Slurp(const std::filesystem::path& path) {
    std::string text = Text(ReadFile(path.u8string()));
#ifdef _WIN32
    // Text mode ends lines with \r\n; the tests compare lines.
    std::string lines;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')) lines += text[i];
    }
    text = lines;
#endif
    return text;
}

#ifdef _WIN32

std::wstring Wide(const std::string& utf8) {
    if (utf8.empty()) return {};
    const int size = static_cast<int>(utf8.size());
    const int length = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, wide.data(), length);
    return wide;
}

// One argument as the C runtime splits a command line: quoted, with the
// backslashes before a quote doubled.
std::wstring QuoteArgument(const std::wstring& arg) {
    if (!arg.empty() && arg.find_first_of(L" \t\"") == std::wstring::npos) return arg;
    std::wstring quoted = L"\"";
    std::size_t backslashes = 0;
    for (wchar_t c : arg) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        quoted.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        quoted += c;
    }
    quoted.append(backslashes * 2, L'\\');
    return quoted + L"\"";
}

// The tests and the programs are built into one folder.
std::filesystem::path ProgramFolder() {
    std::wstring self(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length =
            GetModuleFileNameW(nullptr, self.data(), static_cast<DWORD>(self.size()));
        if (length < self.size()) {
            self.resize(length);
            break;
        }
        self.resize(self.size() * 2);
    }
    return std::filesystem::path(self).parent_path();
}

HANDLE OpenForChild(const std::filesystem::path& path, bool write) {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    return CreateFileW(path.c_str(), write ? GENERIC_WRITE : GENERIC_READ,
                       FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                       write ? CREATE_ALWAYS : OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

std::filesystem::path Executable(const std::string& program) {
    return ProgramFolder() / (program + ".exe");
}

int Run(const std::string& folder, const std::string& program, const std::vector<std::string>& args,
        const std::filesystem::path& in, const std::filesystem::path& out,
        const std::filesystem::path& err) {
    const std::filesystem::path exe = Executable(program);
    std::wstring command = QuoteArgument(exe.wstring());
    for (const std::string& arg : args) command += L" " + QuoteArgument(Wide(arg));

    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = OpenForChild(in.empty() ? std::filesystem::path(L"NUL") : in, false);
    startup.hStdOutput = OpenForChild(out, true);
    startup.hStdError = OpenForChild(err, true);
    PROCESS_INFORMATION process{};
    const std::wstring directory = Wide(folder);
    const bool started = CreateProcessW(exe.c_str(), command.data(), nullptr, nullptr, TRUE, 0,
                                        nullptr, directory.c_str(), &startup, &process) != 0;
    CloseHandle(startup.hStdInput);
    CloseHandle(startup.hStdOutput);
    CloseHandle(startup.hStdError);
    if (!started) {
        std::fprintf(stderr, "cannot start %s: error %lu\n", program.c_str(), GetLastError());
        return -1;
    }
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD status = 0;
    const bool known = GetExitCodeProcess(process.hProcess, &status) != 0;
    if (!known) std::fprintf(stderr, "no exit status: error %lu\n", GetLastError());
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return known ? static_cast<int>(status) : -1;
}

#else

std::filesystem::path Executable(const std::string& program) {
    return std::string(KIT_BIN_DIR) + "/" + program;
}

int Run(const std::string& folder, const std::string& program, const std::vector<std::string>& args,
        const std::filesystem::path& in, const std::filesystem::path& out,
        const std::filesystem::path& err) {
    const std::string exe = Executable(program).string();
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(exe.c_str()));
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);

    std::fflush(nullptr);
    const pid_t child = fork();
    if (child < 0) return -1;
    if (child == 0) {
        const int infd = open(in.empty() ? "/dev/null" : in.c_str(), O_RDONLY);
        const int outfd = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int errfd = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (infd < 0 || outfd < 0 || errfd < 0 || dup2(infd, 0) < 0 || dup2(outfd, 1) < 0 ||
            dup2(errfd, 2) < 0 || chdir(folder.c_str()) != 0) {
            _exit(127);
        }
        execv(exe.c_str(), argv.data());
        _exit(127);
    }
    int raw = 0;
    while (waitpid(child, &raw, 0) < 0) {
        if (errno != EINTR) return -1;
    }
    return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
}

#endif

}  // namespace

std::string ProgramPath(const std::string& program) {
    return Executable(program).u8string();
}

RunResult RunProgram(const std::string& folder, const std::string& program,
                     const std::vector<std::string>& args, const std::string& stdoutfile,
                     const std::string& stdinfile) {
    const TempDir capture;
    const std::filesystem::path out = stdoutfile.empty() ? capture.path() + "/out" : stdoutfile;
    const std::filesystem::path err = capture.path() + "/err";
    RunResult result;
    const std::filesystem::path in =
        stdinfile.empty() ? std::filesystem::path() : std::filesystem::u8path(stdinfile);
    result.status = Run(folder, program, args, in, out, err);
    if (stdoutfile.empty()) result.out = Slurp(out);
    result.err = Slurp(err);
    return result;
}
