// qdkit on the command line as people drive it, through the built binary:
// pipes, interrupts, batches, its messages, sides by name, --force and
// --salvage, readable info, blank sides, and the scripts and completion
// that come with it. One table each.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <thread>

#include "tests/qdkit_support.h"

#ifndef _WIN32
#include <fcntl.h>
#include <pty.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace {

namespace fs = std::filesystem;
using Json = nlohmann::json;

const Bytes kTape = MztFile({Entry("MONITOR", 4096, 1), Entry("HELLO", 31, 2)});
const Bytes kTwoSides = FdsImage({FdsSide(2, 1), FdsSide(3, 2)});
const Bytes kFourSides = FdsImage({FdsSide(1, 10), FdsSide(2, 20), FdsSide(3, 30), FdsSide(4, 40)});

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

std::string LastLine(const std::string& text) {
    const std::vector<std::string> lines = Lines(text);
    return lines.empty() ? "" : lines.back();
}

// The files in a folder and the folders under it, by their path in it.
std::vector<std::string> Tree(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::recursive_directory_iterator(fs::u8path(folder))) {
        if (entry.is_regular_file())
            names.push_back(entry.path().lexically_relative(fs::u8path(folder)).generic_string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

// Item 1: "-" reads the standard input and writes the standard output.
TEST(QdkitCli, Pipes) {
    const Bytes raw = QdRaw(QdStream(kTape));
    const Bytes side = FdsRaw(FdsSide(2, 1));
    const struct {
        std::vector<std::string> args;
        std::string stdinfile;  // empty for none
        int status;
        Bytes out;            // the standard output's bytes, when not empty
        std::string outtext;  // found in the standard output
        std::string err;      // found in the standard error stream
        std::string written;  // a file the call writes
    } cases[] = {
        {{"convert", "-o", "-", "tape.mzt"}, "", 0, raw, "", "tape.mzt -> -\n", ""},
        {{"convert", "-o", "back.mzt", "-"}, "tape.QDK", 0, {}, "- -> back.mzt\n", "", "back.mzt"},
        {{"info", "-"}, "tape.mzt", 0, {}, "-: mzt, 4383 bytes\n", "", ""},
        {{"verify", "-"}, "side.DKA", 0, {}, "-: OK\n", "", ""},
        {{"join", "-o", "-", "-"}, "side.DKA", 0, FdsImage({FdsSide(2, 1)}), "", "- <- 1 side", ""},
        {{"recover", "-o", "-", "side.DKA"},
         "",
         0,
         FdsImage({FdsSide(2, 1)}),
         "",
         "side.DKA: 6 of 6 blocks good or voted, complete -> -",
         ""},
        {{"recover", "-o", "r.fds", "-"}, "side.DKA", 0, {}, "complete -> r.fds", "", "r.fds"},
        {{"convert", "-"}, "tape.mzt", 2, {}, "", "gives no name to its output", ""},
        {{"info", "-", "-"}, "tape.mzt", 2, {}, "", "is named more than once", ""},
        {{"convert", "-o", "-", "two.fds"}, "", 1, {}, "", "this conversion writes 2", ""},
        {{"convert", "--json", "-o", "-", "tape.mzt"}, "", 2, {}, "", "both write", ""},
        {{"info", "-"}, "empty", 1, {}, "", "-: empty file", ""},
    };
    TempDir dir;
    WriteFile(dir / "tape.mzt", kTape);
    WriteFile(dir / "tape.QDK", raw);
    WriteFile(dir / "side.DKA", side);
    WriteFile(dir / "two.fds", kTwoSides);
    WriteFile(dir / "empty", {});
    for (const auto& c : cases) {
        const std::string what = ::testing::PrintToString(c.args);
        const std::string in = c.stdinfile.empty() ? "" : dir / c.stdinfile;
        TempDir capture;
        const RunResult run = RunProgram(dir.path(), "qdkit", c.args, capture / "out", in);
        const Bytes out = ReadFile(capture / "out");
        EXPECT_EQ(c.status, run.status) << what << run.err;
        if (!c.out.empty()) EXPECT_TRUE(SameBytes(c.out, out)) << what;
        // Lines of text end with \r\n on Windows; the bytes of an output do not.
        std::string text = Text(out);
        text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());
        EXPECT_TRUE(Contains(text, c.outtext)) << what << text;
        EXPECT_TRUE(Contains(run.err, c.err)) << what << run.err;
        if (!c.written.empty()) EXPECT_TRUE(FileExists(dir / c.written)) << what;
    }
    EXPECT_FALSE(FileExists(dir / "-"));
}

// A pipe or FIFO named by its path is read whole, as <(cat tape.mzt) gives one.
TEST(QdkitCli, NamedPipes) {
#ifdef _WIN32
    GTEST_SKIP() << "needs a FIFO";
#else
    TempDir dir;
    for (const char* command : {"info", "verify", "convert"}) {
        const std::string fifo = dir / "fifo";
        fs::remove(fifo);
        ASSERT_EQ(0, mkfifo(fifo.c_str(), 0600));
        std::thread writer([&] { WriteFile(fifo, kTape); });
        const RunResult run = RunProgram(dir.path(), "qdkit", {command, "fifo"});
        writer.join();
        EXPECT_EQ(0, run.status) << command << run.err;
    }
    EXPECT_TRUE(FileExists(dir / "fifo.QDK"));
#endif
}

#ifndef _WIN32

// A running program: its process, its standard output and error in files.
pid_t Start(const std::string& folder, const std::vector<std::string>& args, const std::string& out,
            const std::string& err) {
    const std::string exe = ProgramPath("qdkit");
    std::vector<char*> argv{const_cast<char*>(exe.c_str())};
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    std::fflush(nullptr);
    const pid_t child = fork();
    if (child == 0) {
        const int outfd = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int errfd = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (outfd < 0 || errfd < 0 || dup2(outfd, 1) < 0 || dup2(errfd, 2) < 0 ||
            chdir(folder.c_str()) != 0)
            _exit(127);
        execv(exe.c_str(), argv.data());
        _exit(127);
    }
    return child;
}

int Wait(pid_t child) {
    int raw = 0;
    while (waitpid(child, &raw, 0) < 0) {
        if (errno != EINTR) return -1;
    }
    return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
}

#endif  // _WIN32

// Item 2: a batch cut short by a signal leaves its finished outputs, each
// with its line in the log, and no temporary file. The last input is a FIFO
// nobody writes, so the batch is still running whenever the signal comes.
TEST(QdkitCli, InterruptedBatch) {
#ifdef _WIN32
    GTEST_SKIP() << "needs signals to a running process";
#else
    constexpr int kInputs = 40;
    const struct {
        int signal;
        int status;
    } cases[] = {{SIGINT, 130}, {SIGTERM, 143}};
    for (const auto& c : cases) {
        TempDir dir;
        std::vector<std::string> args{"convert", "-C", "out"};
        for (int i = 0; i < kInputs; ++i) {
            const std::string name = "g" + std::to_string(i) + ".fds";
            WriteFile(dir / name, kTwoSides);
            args.push_back(name);
        }
        ASSERT_EQ(0, mkfifo((dir / "stuck").c_str(), 0600));
        args.push_back("stuck");
        const pid_t child = Start(dir.path(), args, dir / "log", dir / "err");
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (Lines(Text(ReadFile(dir / "log"))).size() < 3 &&
               std::chrono::steady_clock::now() < until)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        kill(child, c.signal);
        EXPECT_EQ(c.status, Wait(child));
        std::vector<std::string> logged;
        for (const std::string& line : Lines(Text(ReadFile(dir / "log"))))
            logged.push_back(line.substr(line.find("-> out/") + 7));
        std::sort(logged.begin(), logged.end());
        EXPECT_EQ(logged, Tree(dir / "out")) << "every output in place has its line, no other";
        EXPECT_FALSE(logged.empty());
    }
#endif
}

#ifndef _WIN32

// Runs qdkit with its standard error stream on a terminal, or in a file;
// its second input is a FIFO fed only after a while, so that the batch runs
// longer than a second.
std::string SlowBatchErrors(bool terminal) {
    TempDir dir;
    WriteFile(dir / "a.mzt", kTape);
    WriteFile(dir / "c.mzt", kTape);
    const std::string fifo = dir / "b.mzt";
    mkfifo(fifo.c_str(), 0600);
    int master = -1, slave = -1;
    if (terminal && openpty(&master, &slave, nullptr, nullptr, nullptr) != 0) return "no pty";
    const std::string exe = ProgramPath("qdkit");
    std::fflush(nullptr);
    const pid_t child = fork();
    if (child == 0) {
        const int err = terminal ? slave : open((dir / "err").c_str(), O_WRONLY | O_CREAT, 0600);
        const int out = open("/dev/null", O_WRONLY);
        if (dup2(err, 2) < 0 || dup2(out, 1) < 0 || chdir(dir.path().c_str()) != 0) _exit(127);
        execl(exe.c_str(), exe.c_str(), "verify", "a.mzt", "b.mzt", "c.mzt", nullptr);
        _exit(127);
    }
    if (terminal) close(slave);
    // Once qdkit has the pipe open its batch has begun; the file then comes
    // well over a second later, however slowly the machine started it.
    int writer = -1;
    for (int tries = 0; writer < 0 && tries < 1000; ++tries) {
        writer = open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
        if (writer < 0) std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1300));
    if (writer >= 0) {
        fcntl(writer, F_SETFL, 0);
        const ssize_t wrote = write(writer, kTape.data(), kTape.size());
        (void)wrote;
        close(writer);
    }
    std::string said;
    if (terminal) {
        char buffer[4096];
        for (ssize_t n; (n = read(master, buffer, sizeof buffer)) > 0;) said.append(buffer, n);
        close(master);
    }
    Wait(child);
    return terminal ? said : Text(ReadFile(dir / "err"));
}

#endif  // _WIN32

// Item 3, on a terminal: a batch longer than a second shows its progress
// there, and wipes it before the last line; a file never gets it.
TEST(QdkitCli, ProgressOnATerminal) {
#ifdef _WIN32
    GTEST_SKIP() << "needs a pseudo-terminal";
#else
    const struct {
        bool terminal;
        bool progress;
    } cases[] = {{true, true}, {false, false}};
    for (const auto& c : cases) {
        const std::string said = SlowBatchErrors(c.terminal);
        EXPECT_EQ(c.progress, Contains(said, "\rqdkit: 2 of 3 files")) << said;
        EXPECT_TRUE(Contains(said, "qdkit: 3 files: 3 verified, 0 skipped, 0 failed")) << said;
    }
#endif
}

// Item 3: -C makes its folder, the last line counts, --quiet, --recursive,
// --no-clobber and --json.
TEST(QdkitCli, Batches) {
    const struct {
        std::vector<std::string> args;
        int status;
        std::vector<std::string> out;   // the standard output's lines
        std::string last;               // the standard error stream's last line
        std::vector<std::string> tree;  // what the folder holds afterwards, under out/
    } cases[] = {
        {{"convert", "-C", "out/deep", "a.mzt"},
         0,
         {"a.mzt -> out/deep/a.QDK"},
         "",
         {"deep/a.QDK"}},
        {{"convert", "-C", "out", "a.mzt", "b.mzt", "notes.txt"},
         1,
         {"a.mzt -> out/a.QDK", "b.mzt -> out/b.QDK"},
         "qdkit: 3 files: 2 converted, 0 skipped, 1 failed",
         {"a.QDK", "b.QDK"}},
        {{"convert", "-q", "-C", "out", "a.mzt", "b.mzt"}, 0, {}, "", {"a.QDK", "b.QDK"}},
        {{"convert", "-q", "-C", "out", "notes.txt"},
         1,
         {},
         "qdkit: error: notes.txt: not a known kind of file",
         {}},
        {{"convert", "-r", "-C", "out", "tree"},
         0,
         {"tree/one/a.mzt -> out/one/a.QDK", "tree/two.fds -> out/two.DKA",
          "tree/two.fds -> out/two.DKB"},
         "qdkit: 4 files: 2 converted, 2 skipped, 0 failed",
         {"one/a.QDK", "two.DKA", "two.DKB"}},
        {{"convert", "-r", "-C", "out", "shut"},
         1,
         {"shut/a.mzt -> out/a.QDK"},
         "qdkit: 2 files: 1 converted, 0 skipped, 1 failed",
         {"a.QDK"}},
        {{"info", "-r", "-q", "shut"},
         1,
         {},
         "qdkit: error: shut/locked: cannot read the folder: permission denied",
         {}},
        {{"convert", "-C", "out", "tree"},
         1,
         {},
         "qdkit: error: tree: a folder (--recursive reads the files in it)",
         {}},
        {{"convert", "-n", "-C", "out", "a.mzt", "two.fds"},
         0,
         {"a.mzt: out/a.QDK exists, kept", "two.fds: out/two.DKA exists, kept",
          "two.fds -> out/two.DKB"},
         "qdkit: 2 files: 1 converted, 1 skipped, 0 failed",
         {"a.QDK", "two.DKA", "two.DKB"}},
        {{"convert", "-n", "--force", "a.mzt"},
         2,
         {},
         "Run 'qdkit help convert' for more information.",
         {"a.QDK", "two.DKA"}},
    };
    for (const auto& c : cases) {
        // A folder of no permissions: root reads it all the same.
        const bool shut = c.args.back() == "shut";
#ifdef _WIN32
        if (shut) continue;
#else
        if (shut && geteuid() == 0) continue;
#endif
        TempDir dir;
        fs::create_directories(fs::u8path(dir / "tree/one"));
        WriteFile(dir / "a.mzt", kTape);
        WriteFile(dir / "b.mzt", kTape);
        WriteFile(dir / "two.fds", kTwoSides);
        WriteFile(dir / "notes.txt", Bytes(300, 'M'));
        WriteFile(dir / "tree/one/a.mzt", kTape);
        WriteFile(dir / "tree/two.fds", kTwoSides);
        WriteFile(dir / "tree/notes.txt", Bytes(300, 'M'));
        WriteFile(dir / "tree/empty", {});
        fs::create_directories(fs::u8path(dir / "shut/locked"));
        WriteFile(dir / "shut/a.mzt", kTape);
        if (shut) fs::permissions(fs::u8path(dir / "shut/locked"), fs::perms::none);
        if (c.args[1] == "-n") {
            fs::create_directory(fs::u8path(dir / "out"));
            WriteFile(dir / "out/a.QDK", Bytes(3, 1));
            WriteFile(dir / "out/two.DKA", Bytes(3, 2));
        }
        const std::string what = ::testing::PrintToString(c.args);
        const RunResult run = RunProgram(dir.path(), "qdkit", c.args);
        EXPECT_EQ(c.status, run.status) << what << run.err;
        std::string out;
        for (const std::string& line : c.out) out += line + "\n";
        // Paths as Windows joins them print with either separator.
        std::string said = run.out;
        std::replace(said.begin(), said.end(), '\\', '/');
        EXPECT_EQ(out, said) << what;
        EXPECT_EQ(c.last, LastLine(run.err)) << what << run.err;
        EXPECT_EQ(c.tree, FileExists(dir / "out") ? Tree(dir / "out") : std::vector<std::string>{})
            << what;
        if (c.args[1] == "-n") EXPECT_EQ(Bytes(3, 1), ReadFile(dir / "out/a.QDK"));
        fs::permissions(fs::u8path(dir / "shut/locked"), fs::perms::owner_all);
    }
}

// Item 3: --json for verify and convert, one object per file.
TEST(QdkitCli, JsonForEveryBatch) {
    TempDir dir;
    WriteFile(dir / "a.mzt", kTape);
    WriteFile(dir / "notes.txt", Bytes(300, 'M'));
    RunResult run = RunProgram(dir.path(), "qdkit", {"verify", "--json", "a.mzt", "notes.txt"});
    EXPECT_EQ(1, run.status);
    EXPECT_EQ(Json::parse(R"([{"file": "a.mzt", "kind": "mzt", "verified": true, "warnings": [],
                              "errors": []},
                             {"file": "notes.txt", "kind": null, "verified": false, "warnings": [],
                              "errors": ["not a known kind of file"]}])"),
              Json::parse(run.out));
    run = RunProgram(dir.path(), "qdkit", {"convert", "--json", "--to", "qdf", "a.mzt"});
    EXPECT_EQ(0, run.status) << run.err;
    EXPECT_EQ(Json::parse(R"([{"file": "a.mzt", "kind": "mzt", "to": "qdf",
                               "outputs": ["a.qdf"], "kept": [], "warnings": [], "errors": []}])"),
              Json::parse(run.out));
    EXPECT_EQ("", run.err);
}

// Item 4: errors in the kit's own words.
TEST(QdkitCli, Messages) {
    const struct {
        std::vector<std::string> args;
        int status;
        std::string err;  // the first lines of the standard error stream
        std::string out;  // found in the standard output
    } cases[] = {
        {{},
         2,
         "qdkit: error: no command given: info, verify, convert, join, recover, extract, pack, "
         "match, blank, help",
         ""},
        {{"inf", "a.mzt"}, 2, "qdkit: error: unknown command 'inf'; did you mean 'info'?", ""},
        {{"--bogus"}, 2, "qdkit: error: unknown option --bogus", ""},
        {{"help", "conver"},
         2,
         "qdkit: error: unknown command 'conver'; did you mean 'convert'?",
         ""},
        {{"info", "--jsn", "a.mzt"},
         2,
         "qdkit: error: unknown option --jsn; did you mean '--json'?",
         ""},
        {{"info", "-o", "x.fds", "a.mzt"},
         2,
         "qdkit: error: unknown option -o\nRun 'qdkit help info' for more information.",
         ""},
        {{"convert", "--to"}, 2, "qdkit: error: --to needs a value", ""},
        {{"convert"}, 2, "qdkit: error: convert needs at least one FILE", ""},
        {{"join", "a.DKA"}, 2, "qdkit: error: join needs -o OUT, the file to write", ""},
        {{"convert", "--to", "fds_raw", "a.mzt"},
         2,
         "qdkit: error: --to: 'fds_raw' is not one of fds-qd, fds, qdf, hxc-qd, mzq, fds-bin, "
         "fds-raw, qd-raw, mzt; did you mean 'fds-raw'?",
         ""},
        {{"convert", "-C", "a.mzt", "a.mzt"},
         2,
         "qdkit: error: -C a.mzt: not a folder\nRun 'qdkit help convert' for more information.",
         ""},
        {{"info", "-", "-"},
         2,
         "qdkit: error: - (the standard input) is named more than once\nRun 'qdkit help info' for "
         "more information.",
         ""},
        {{"info", "--version", "a.mzt"},
         2,
         "qdkit: error: --version goes before the command: qdkit --version",
         ""},
        {{"info", "--version"},
         2,
         "qdkit: error: --version goes before the command: qdkit --version",
         ""},
        {{"info", "--versio", "a.mzt"}, 2, "qdkit: error: unknown option --versio", ""},
        {{"help"}, 0, "", "Usage: qdkit [OPTIONS] COMMAND"},
        {{"help", "convert"}, 0, "", "Usage: qdkit convert [OPTIONS] FILE..."},
        {{"convert", "--to", "mzt", "two.fds"},
         1,
         "qdkit: error: two.fds: an fds file does not convert to mzt; it converts to fds-raw, "
         "fds-qd, fds-bin",
         ""},
        {{"convert", "--to", "fds", "a.mzt"},
         1,
         "qdkit: error: a.mzt: an mzt file does not convert to fds; it converts to qd-raw, qdf, "
         "hxc-qd, mzq",
         ""},
        {{"join", "-o", "j.fds", "a.mzt"},
         1,
         "qdkit: error: a.mzt: an mzt file is no FDS side",
         ""},
        {{"convert", "-o", "odir", "a.mzt"}, 1, "qdkit: error: a.mzt: output odir is a folder", ""},
        {{"convert", "--force", "-o", "odir", "a.mzt"},
         1,
         "qdkit: error: a.mzt: output odir is a folder",
         ""},
        {{"blank", "-o", "odir"}, 1, "qdkit: error: output odir is a folder", ""},
        {{"join", "-o", "odir", "one.fds"}, 1, "qdkit: error: output odir is a folder", ""},
        {{"info", "missing.fds"},
         1,
         "qdkit: error: missing.fds: cannot open: no such file or directory",
         ""},
#ifdef _WIN32
        {{"convert", "-o", "a.mzt/x.QDK", "a.mzt"},
         1,
         "qdkit: error: a.mzt: cannot create a.mzt/x.QDK: no such file or directory",
         ""},
#else
        {{"convert", "-o", "a.mzt/x.QDK", "a.mzt"},
         1,
         "qdkit: error: a.mzt: cannot create a.mzt/x.QDK: not a directory",
         ""},
#endif
    };
    TempDir dir;
    WriteFile(dir / "a.mzt", kTape);
    WriteFile(dir / "two.fds", kTwoSides);
    WriteFile(dir / "one.fds", FdsImage({FdsSide(1, 3)}));
    fs::create_directory(fs::u8path(dir / "odir"));
    for (const auto& c : cases) {
        const std::string what = ::testing::PrintToString(c.args);
        const RunResult run = RunProgram(dir.path(), "qdkit", c.args);
        EXPECT_EQ(c.status, run.status) << what;
        const std::vector<std::string> lines = Lines(run.err);
        std::string first;
        for (std::size_t n = 0; n < Lines(c.err).size() && n < lines.size(); ++n)
            first += (n == 0 ? "" : "\n") + lines[n];
        EXPECT_EQ(c.err, first) << what;
        EXPECT_TRUE(Contains(run.out, c.out)) << what << run.out;
    }
    // The help holds no type tags of the parser.
    for (const char* command :
         {"info", "verify", "convert", "join", "recover", "extract", "pack", "match", "blank"}) {
        const RunResult run = RunProgram(dir.path(), "qdkit", {command, "--help"});
        EXPECT_EQ(0, run.status);
        for (const char* tag : {"TEXT", "INT", "REQUIRED", "Positionals", "Subcommands"})
            EXPECT_FALSE(Contains(run.out, tag)) << command << " " << tag;
        EXPECT_EQ(run.out, RunProgram(dir.path(), "qdkit", {"help", command}).out) << command;
    }
}

// Item 5: sides by their names, in any case, one by one or in ranges.
TEST(QdkitCli, SidesByName) {
    const struct {
        std::string sides;
        int status;
        std::vector<std::string> written;
        std::string err;
    } cases[] = {
        {"A", 0, {"four.DKA"}, ""},
        {"a,c", 0, {"four.DKA", "four.DKC"}, ""},
        {"1-3", 0, {"four.DKA", "four.DKB", "four.DKC"}, ""},
        {"B-D", 0, {"four.DKB", "four.DKC", "four.DKD"}, ""},
        {"2,d", 0, {"four.DKB", "four.DKD"}, ""},
        {"E", 1, {}, "qdkit: error: four.fds: side E: the image has 4 sides, A to D\n"},
        {"C-A", 2, {}, "qdkit: error: --side: 'C-A' names no side"},
        {"x9", 2, {}, "qdkit: error: --side: 'x9' names no side"},
        {"0", 2, {}, "qdkit: error: --side: '0' names no side"},
    };
    for (const auto& c : cases) {
        TempDir dir;
        WriteFile(dir / "four.fds", kFourSides);
        const RunResult run =
            RunProgram(dir.path(), "qdkit", {"convert", "--side", c.sides, "four.fds"});
        EXPECT_EQ(c.status, run.status) << c.sides << run.err;
        std::vector<std::string> written = Tree(dir.path());
        written.erase(std::remove(written.begin(), written.end(), "four.fds"), written.end());
        EXPECT_EQ(c.written, written) << c.sides;
        EXPECT_EQ(0u, run.err.find(c.err)) << c.sides << run.err;
    }
}

// Item 6: --force replaces outputs, --salvage keeps a damaged side.
TEST(QdkitCli, ForceAndSalvage) {
    const Bytes damaged = FlipDataBit(FdsRaw(FdsSide(2, 1)), 4700);
    const std::string refused =
        "block 4 (ID 04) fails its CRC (--salvage keeps what was decoded; qdkit recover may "
        "rescue more)";
    const struct {
        std::vector<std::string> args;
        bool earlier;  // crc.fds exists before
        int status;
        std::string err;
        bool replaced;  // crc.fds holds the decoded side afterwards
    } cases[] = {
        {{"convert", "crc.DKA"}, false, 1, "crc.DKA: " + refused, false},
        {{"convert", "--force", "crc.DKA"}, true, 1, "crc.DKA: " + refused, false},
        {{"convert", "--salvage", "crc.DKA"}, false, 0, "(kept as decoded)", true},
        {{"convert", "--salvage", "crc.DKA"},
         true,
         1,
         "output crc.fds exists (--force replaces it)",
         false},
        {{"convert", "--force", "--salvage", "crc.DKA"}, true, 0, "(kept as decoded)", true},
        {{"join", "--force", "-o", "crc.fds", "crc.DKA"}, true, 1, "crc.DKA: " + refused, false},
        {{"join", "--force", "--salvage", "-o", "crc.fds", "crc.DKA"},
         true,
         0,
         "(kept as decoded)",
         true},
        {{"recover", "--salvage", "-o", "crc.fds", "crc.DKA"}, false, 1, "incomplete", true},
        {{"recover", "--salvage", "--strict", "crc.DKA"}, false, 2, "give one", false},
    };
    for (const auto& c : cases) {
        TempDir dir;
        WriteFile(dir / "crc.DKA", damaged);
        if (c.earlier) WriteFile(dir / "crc.fds", Bytes(7, 7));
        const std::string what = ::testing::PrintToString(c.args);
        const RunResult run = RunProgram(dir.path(), "qdkit", c.args);
        EXPECT_EQ(c.status, run.status) << what << run.err;
        EXPECT_TRUE(Contains(run.err, c.err)) << what << run.err;
        const Bytes after = ReadFile(dir / "crc.fds");
        EXPECT_EQ(c.replaced, after.size() == 65516u) << what;
        if (c.earlier && !c.replaced) EXPECT_EQ(Bytes(7, 7), after) << what;
    }
}

// Item 7: info for people, one notation for hex, decimal for numbers, the
// dates and the maker told; a read without its opening block points to
// recover.
TEST(QdkitCli, InfoReadable) {
    Bytes image = FdsImage({FdsSide(2, 5)});
    const auto set = [&](int offset, const Bytes& bytes) {
        std::copy(bytes.begin(), bytes.end(), image.begin() + 16 + offset);
    };
    set(15, {0x01});              // maker: Nintendo
    set(20, {0x0C});              // revision 12
    set(31, {0x61, 0x02, 0x21});  // Showa 61
    set(44, {0x01, 0x04, 0x05});  // Heisei 1
    set(52, {0x12});              // rewritten 12 times, in BCD
    Bytes late = FdsRaw(FdsSide(2, 1));
    late.erase(late.begin(), late.begin() + 9500);
    const struct {
        std::string file;
        std::string line;  // found in info's lines for people, or its error
    } cases[] = {
        {"g.fds", "side A: \"KIT\"  maker $01 Nintendo  files 2 of 2"},
        {"g.fds", "revision 12  rewrite count 12"},
        {"g.fds", "manufactured 1986-02-21 ($61 $02 $21)  rewritten 1989-04-05 ($01 $04 $05)"},
        {"g.fds", "     1  $01   "},
        {"g.fds", "PRG    400  $6000"},
        {"t.mzt", "  1  $01   MONITOR  4096  $1200  $1200"},
        {"late.DKA",
         "qdkit: error: late.DKA: not a known kind of file: no block opens a side, but it holds "
         "FDS blocks (try qdkit recover)"},
    };
    TempDir dir;
    WriteFile(dir / "g.fds", image);
    WriteFile(dir / "t.mzt", kTape);
    WriteFile(dir / "late.DKA", late);
    for (const auto& c : cases) {
        const RunResult run = RunProgram(dir.path(), "qdkit", {"info", c.file});
        EXPECT_TRUE(Contains(run.out + run.err, c.line)) << c.line << "\n" << run.out << run.err;
    }
    const RunResult run = RunProgram(dir.path(), "qdkit", {"info", "--json", "g.fds"});
    const Json info = Json::parse(run.out)[0]["sides"][0]["disk_info"];
    EXPECT_EQ("Nintendo", info["maker_name"]);
    EXPECT_EQ(Json({0x61, 0x02, 0x21}), info["manufactured"]);
    EXPECT_EQ("1986-02-21", info["manufactured_date"]);
    EXPECT_EQ("1989-04-05", info["rewritten_date"]);
}

// Item 8: blank sides are skipped alike by every FDS target, and join
// writes an FDS .qd image too.
TEST(QdkitCli, BlankSidesAndJoinToQd) {
    const std::string blank = ": sides E to AH: blank, skipped (30 sides)";
    const struct {
        std::vector<std::string> args;
        std::string output;
        std::string err;
        int sides;  // of the output image; -1 for raw sides
    } cases[] = {
        {{"convert", "--to", "fds-qd", "padded.fds"}, "padded.qd", "padded.fds" + blank, 4},
        {{"convert", "--to", "fds-raw", "padded.fds"}, "padded.DKD", "padded.fds" + blank, -1},
        {{"convert", "--to", "fds", "-o", "back.fds", "padded-qd"},
         "back.fds",
         "padded-qd" + blank,
         4},
        {{"join", "--to", "fds-qd", "-o", "j.qd", "a.DKA", "a.DKB"}, "j.qd", "", 2},
    };
    TempDir dir;
    // Four sides, then zeros as far as 30 more sides, in either kind of image.
    Bytes padded = Concat({kFourSides, Bytes(30 * 65500, 0x00)});
    padded[4] = 34;  // the header counts them all
    WriteFile(dir / "padded.fds", padded);
    WriteFile(dir / "four.fds", kFourSides);
    WriteFile(dir / "a.fds", kTwoSides);
    ASSERT_EQ(0, RunProgram(dir.path(), "qdkit", {"convert", "--to", "fds-qd", "four.fds"}).status);
    WriteFile(dir / "padded-qd", Concat({ReadFile(dir / "four.qd"), Bytes(30 * 65536, 0x00)}));
    ASSERT_EQ(0, RunProgram(dir.path(), "qdkit", {"convert", "a.fds"}).status);
    ASSERT_EQ(0, RunProgram(dir.path(), "qdkit", {"convert", "--to", "fds-qd", "a.fds"}).status);
    for (const auto& c : cases) {
        const std::string what = ::testing::PrintToString(c.args);
        const RunResult run = RunProgram(dir.path(), "qdkit", c.args);
        EXPECT_EQ(0, run.status) << what << run.err;
        EXPECT_EQ(c.err.empty() ? "" : "qdkit: warning: " + c.err + "\n", run.err) << what;
        EXPECT_TRUE(FileExists(dir / c.output)) << what;
        if (c.sides < 0) continue;
        const RunResult info = RunProgram(dir.path(), "qdkit", {"info", "--json", c.output});
        EXPECT_EQ(c.sides, static_cast<int>(Json::parse(info.out)[0]["sides"].size())) << what;
    }
    EXPECT_FALSE(FileExists(dir / "padded.DKE"));
    EXPECT_TRUE(SameBytes(kFourSides, ReadFile(dir / "back.fds")));
    EXPECT_TRUE(SameBytes(ReadFile(dir / "a.qd"), ReadFile(dir / "j.qd")));
}

#ifndef _WIN32

// What bash runs, with the source tree's folder as its own.
std::string Bash(const std::string& script, const std::string& folder = KIT_SOURCE_DIR) {
    TempDir capture;
    const std::string line =
        "cd '" + folder + "' && bash -c '" + script + "' >'" + capture / "out" + "' 2>&1";
    const int status = std::system(line.c_str());
    return Text(ReadFile(capture / "out")) + (status == 0 ? "" : "[failed]");
}

// What the completion offers for the words typed so far, the last one
// being completed.
std::string Completed(const std::string& words) {
    return Bash("source completion/qdkit.bash; read -ra W <<<\"" + words + "\"; [[ \"" + words +
                "\" == *\" \" ]] && W+=(\"\"); COMP_WORDS=(\"${W[@]}\"); "
                "COMP_CWORD=$((${#W[@]} - 1)); _qdkit; echo \"${COMPREPLY[*]}\"");
}

#endif  // _WIN32

// Item 11: bash completes commands, options, kinds and sides.
TEST(QdkitCli, Completion) {
#ifdef _WIN32
    GTEST_SKIP() << "needs bash";
#else
    const struct {
        std::string words;
        std::string offered;
    } cases[] = {
        {"qdkit ",
         "info verify convert join recover extract pack match blank help -h --help --version"},
        {"qdkit in", "info"},
        {"qdkit help co", "convert"},
        {"qdkit convert --s", "--side --salvage --strict"},
        {"qdkit convert --no", "--no-clobber"},
        {"qdkit convert --to fds-", "fds-qd fds-raw fds-bin"},
        {"qdkit join --to ", "fds fds-qd"},
        {"qdkit recover --to ", "fds mzt qdf"},
        {"qdkit convert --side ", "A B C D E F G H"},
        {"qdkit convert --side a,", "a,A a,B a,C a,D a,E a,F a,G a,H"},
        {"qdkit info -", "--hash --json -r --recursive -q --quiet -h --help"},
        {"qdkit match --d", "--dat"},
    };
    for (const auto& c : cases) EXPECT_EQ(c.offered + "\n", Completed(c.words)) << c.words;
#endif
}

// The completion offers each command's options, as its help lists them.
TEST(QdkitCli, CompletionKnowsEveryOption) {
#ifdef _WIN32
    GTEST_SKIP() << "needs bash";
#else
    TempDir dir;
    for (const char* command :
         {"info", "verify", "convert", "join", "recover", "extract", "pack", "match", "blank"}) {
        const RunResult help = RunProgram(dir.path(), "qdkit", {"help", command});
        std::vector<std::string> listed;
        for (const std::string& line : Lines(help.out)) {
            if (line.size() < 3 || line[2] != '-') continue;
            std::string names = line.substr(2, line.find(' ', 2) - 2);
            for (std::size_t comma; (comma = names.find(',')) != std::string::npos;) {
                listed.push_back(names.substr(0, comma));
                names.erase(0, comma + 1);
            }
            listed.push_back(names);
        }
        std::vector<std::string> offered = Lines(
            Bash(std::string("source completion/qdkit.bash; printf \"%s\\n\" $(_qdkit_options ") +
                 command + ")"));
        std::sort(listed.begin(), listed.end());
        std::sort(offered.begin(), offered.end());
        EXPECT_EQ(listed, offered) << command;
    }
#endif
}

// Item 9: the map renders without a browser, to the width asked for.
TEST(QdkitCli, RenderSvg) {
#ifdef _WIN32
    GTEST_SKIP() << "needs bash and rsvg-convert";
#else
    if (Bash("command -v rsvg-convert").find("[failed]") != std::string::npos)
        GTEST_SKIP() << "rsvg-convert is not installed; render-svg.sh would install it";
    TempDir dir;
    const std::string svg = R"(<svg xmlns="http://www.w3.org/2000/svg" width="400" height="100"/>)";
    WriteFile(dir / "map.svg", Bytes(svg.begin(), svg.end()));
    const struct {
        std::string args;
        std::uint32_t width, height;  // of the picture; 0 for none
    } cases[] = {{"map.svg map.png 800", 800, 200},
                 {"map.svg map.png", 1200, 300},
                 {"none.svg map.png", 0, 0}};
    for (const auto& c : cases) {
        fs::remove(fs::u8path(dir / "map.png"));
        const std::string said = Bash(
            "bash " + std::string(KIT_SOURCE_DIR) + "/scripts/render-svg.sh " + c.args, dir.path());
        const Bytes png = ReadFile(dir / "map.png");
        if (c.width == 0) {
            EXPECT_TRUE(png.empty()) << said;
            continue;
        }
        ASSERT_GE(png.size(), 24u) << said;
        const auto be32 = [&](std::size_t at) {
            return std::uint32_t(png[at]) << 24 | png[at + 1] << 16 | png[at + 2] << 8 |
                   png[at + 3];
        };
        EXPECT_EQ(Hex("89 50 4E 47"), Bytes(png.begin(), png.begin() + 4));
        EXPECT_EQ(c.width, be32(16)) << c.args;
        EXPECT_EQ(c.height, be32(20)) << c.args;
    }
#endif
}

// Item 10: the scripts that build share one build, with one set of options,
// so that demo.sh and then test.sh compile every object once.
TEST(QdkitCli, ScriptsShareOneBuild) {
#ifdef _WIN32
    GTEST_SKIP() << "needs the scripts, which run in bash";
#else
    const struct {
        std::string script;
        bool configures;  // runs cmake -S itself
        bool shares;      // builds through scripts/build.sh
    } cases[] = {
        {"scripts/build.sh", true, false},
        {"scripts/demo.sh", false, true},
        {"scripts/test.sh", false, true},
    };
    for (const auto& c : cases) {
        const std::string text = Text(ReadFile(std::string(KIT_SOURCE_DIR) + "/" + c.script));
        EXPECT_EQ(c.configures, Contains(text, "cmake -S")) << c.script;
        EXPECT_EQ(c.shares, Contains(text, "scripts/build.sh")) << c.script;
    }
#endif
}

}  // namespace
