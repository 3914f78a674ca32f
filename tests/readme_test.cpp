// The README's and qdkit's man page's sessions run as written, one after
// the other in one folder: every block of "$ command" lines and what they
// print (the standard output and error stream as a terminal shows them;
// "..." stands for any lines), and every JSON example, on inputs the kit
// makes itself.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <regex>
#include <sstream>

#include "qdkit/hashes.h"
#include "tests/qdkit_support.h"

namespace {

namespace fs = std::filesystem;

constexpr char kIndent[] = "    ";
constexpr char kPrompt[] = "    $ ";
constexpr char kAnyLines[] = "...";

struct Step {
    std::string command;
    std::vector<std::string> expected;
};

struct Session {
    std::size_t line;  // in the README, from 1
    std::vector<Step> steps;
};

std::vector<std::string> SourceLines(const std::string& name) {
    std::ifstream in(std::string(KIT_SOURCE_DIR) + "/" + name);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

std::vector<std::string> ReadmeLines() {
    return SourceLines("README.md");
}

// A man page's text as it reads: roff's escapes for the characters the
// examples use.
std::string Unroff(std::string line) {
    const std::pair<const char*, const char*> escapes[] = {
        {"\\-", "-"}, {"\\&", ""}, {"\\e", "\\"}, {"\\(dq", "\""}, {"\\~", " "}};
    for (const auto& [escape, character] : escapes) {
        for (std::size_t at = 0; (at = line.find(escape, at)) != std::string::npos;) {
            line.replace(at, std::string(escape).size(), character);
            at += std::string(character).size();
        }
    }
    return line;
}

// The examples of a man page, between .EX and .EE, as indented blocks; a
// command continued on the next line with a backslash is one line.
std::vector<std::string> ManExamples(const std::vector<std::string>& page) {
    std::vector<std::string> lines;
    bool inside = false;
    for (const std::string& raw : page) {
        if (raw == ".EX" || raw == ".EE") {
            inside = raw == ".EX";
            lines.push_back("");
            continue;
        }
        if (!inside) continue;
        const std::string line = Unroff(raw);
        if (!lines.empty() && !lines.back().empty() && lines.back().back() == '\\') {
            lines.back().pop_back();
            lines.back() += line.substr(line.find_first_not_of(' '));
        } else {
            lines.push_back(kIndent + line);
        }
    }
    return lines;
}

bool StartsWith(const std::string& text, const std::string& start) {
    return text.compare(0, start.size(), start) == 0;
}

// Indented blocks whose first line is a prompt.
std::vector<Session> Sessions(const std::vector<std::string>& lines) {
    std::vector<Session> sessions;
    for (std::size_t n = 0; n < lines.size(); ++n) {
        if (!StartsWith(lines[n], kPrompt) || (n > 0 && StartsWith(lines[n - 1], kIndent)))
            continue;
        Session session{n + 1, {}};
        for (; n < lines.size() && StartsWith(lines[n], kIndent); ++n) {
            if (StartsWith(lines[n], kPrompt)) {
                session.steps.push_back({lines[n].substr(sizeof kPrompt - 1), {}});
            } else {
                session.steps.back().expected.push_back(lines[n].substr(sizeof kIndent - 1));
            }
        }
        sessions.push_back(session);
    }
    return sessions;
}

// Whether the lines match the expected ones, "..." matching any number.
bool Matches(const std::vector<std::string>& expected, std::size_t e,
             const std::vector<std::string>& actual, std::size_t a) {
    if (e == expected.size()) return a == actual.size();
    if (expected[e] == kAnyLines) {
        for (std::size_t skip = a; skip <= actual.size(); ++skip)
            if (Matches(expected, e + 1, actual, skip)) return true;
        return false;
    }
    return a < actual.size() && expected[e] == actual[a] && Matches(expected, e + 1, actual, a + 1);
}

// What a command prints in folder, both streams as a terminal shows them.
std::string Shell(const std::string& folder, const std::string& command, bool errors = true) {
    const std::string out = folder + "/.said";
    const std::string line = "cd '" + folder + "' && PATH='" + KIT_BIN_DIR +
                             "':\"$PATH\" bash -c '" + command + "' >'" + out + "' " +
                             (errors ? "2>&1" : "2>/dev/null");
    if (std::system(line.c_str()) == -1) return "cannot run " + command;
    const std::string said = Text(ReadFile(out));
    fs::remove(out);
    return said;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

// One cell later: each cell moves to the next, eight to a byte, first in bit 0.
Bytes OneCellLater(const Bytes& raw) {
    Bytes later(raw.size());
    for (std::size_t i = 0; i < raw.size(); ++i)
        later[i] = static_cast<std::uint8_t>(raw[i] << 1 | (i > 0 ? raw[i - 1] >> 7 : 0));
    return later;
}

// A clrmamepro DAT that lists the samples, for match.
std::string DatGame(const std::string& game, const std::string& rom, const Bytes& bytes) {
    const Digests d = Digest(bytes);
    return "game (\n\tname \"" + game + "\"\n\trom ( name \"" + rom + "\" size " +
           std::to_string(d.size) + " crc " + d.crc32 + " md5 " + d.md5 + " sha1 " + d.sha1 +
           " )\n)\n";
}

// Every file the README's sessions name, as the kit makes them.
void MakeInputs(const std::string& folder) {
    ASSERT_EQ(0, RunProgram(folder, "make_samples", {"."}).status);
    ASSERT_EQ(0, RunProgram(folder, "qdkit", {"convert", "-q", "sample.fds", "sample.mzt"}).status);
    ASSERT_EQ(0,
              RunProgram(folder, "qdkit", {"convert", "-q", "--to", "qdf", "sample.mzt"}).status);
    const Bytes tape = ReadFile(folder + "/sample.mzt");
    WriteFile(folder + "/tape.mzt", tape);
    WriteFile(folder + "/music.mzt", Bytes(tape.begin(), tape.end() - 11));
    WriteFile(folder + "/game.fds",
              FdsImage({FdsSide(1, 10), FdsSide(2, 20), FdsSide(3, 30), FdsSide(4, 40)}));
    WriteFile(folder + "/notes.txt", {'n', 'o', 't', 'e', 's', '\n'});
    WriteFile(folder + "/shifted.DKA", OneCellLater(ReadFile(folder + "/sample.DKA")));
    fs::create_directories(fs::u8path(folder + "/collection/disks"));
    fs::copy_file(fs::u8path(folder + "/game.fds"),
                  fs::u8path(folder + "/collection/disks/game.fds"));
    WriteFile(folder + "/collection/tape.mzt", tape);
    const std::string dat =
        "clrmamepro (\n\tname \"Kit\"\n)\n\n" +
        DatGame("Sample (Kit)", "Sample (Kit).fds", Headerless(ReadFile(folder + "/sample.fds"))) +
        DatGame("Sample Tape (Kit)", "Sample Tape (Kit).mzt", tape);
    WriteFile(folder + "/kit.dat", Bytes(dat.begin(), dat.end()));
}

// In one folder, in order, as a reader who follows along runs them.
void RunSessions(const std::string& source, const std::vector<std::string>& lines) {
    const std::vector<Session> sessions = Sessions(lines);
    ASSERT_GE(sessions.size(), 3u) << source;
    TempDir dir;
    MakeInputs(dir.path());
    for (const Session& session : sessions) {
        for (const Step& step : session.steps) {
            const std::vector<std::string> said = Lines(Shell(dir.path(), step.command));
            EXPECT_TRUE(Matches(step.expected, 0, said, 0))
                << source << ":" << session.line << ": $ " << step.command << "\nprints:\n"
                << ::testing::PrintToString(said);
        }
    }
}

TEST(Readme, SessionsRunAsWritten) {
#ifdef _WIN32
    GTEST_SKIP() << "the sessions are bash sessions";
#endif
    RunSessions("README.md", ReadmeLines());
}

// The line numbers count the examples' lines, not the page's.
TEST(Readme, ManPageExamplesRunAsWritten) {
#ifdef _WIN32
    GTEST_SKIP() << "the sessions are bash sessions";
#endif
    RunSessions("man/qdkit.1 examples", ManExamples(SourceLines("man/qdkit.1")));
}

// A JSON block after a paragraph that ends with "`COMMAND`:".
TEST(Readme, JsonExamplesAsPrinted) {
#ifdef _WIN32
    GTEST_SKIP() << "the examples run in bash";
#endif
    const std::vector<std::string> lines = ReadmeLines();
    const std::regex command(".*`(qdkit [^`]*)`:$");
    int examples = 0;
    for (std::size_t n = 2; n + 1 < lines.size(); ++n) {
        std::smatch match;
        const std::string& before = lines[n - 1].empty() ? lines[n - 2] : lines[n - 1];
        if (lines[n] != "```json" || !std::regex_match(before, match, command)) continue;
        std::string block;
        for (std::size_t k = n + 1; k < lines.size() && lines[k] != "```"; ++k)
            block += lines[k] + "\n";
        TempDir dir;
        MakeInputs(dir.path());
        const std::string printed = Shell(dir.path(), match[1].str(), false);
        EXPECT_EQ(nlohmann::json::parse(block), nlohmann::json::parse(printed))
            << "README.md:" << n + 1;
        ++examples;
    }
    EXPECT_GE(examples, 1);
}

}  // namespace
