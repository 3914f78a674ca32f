// --help and --version, which every classic program answers alike, and the
// command lines near them that stay each program's own.
#include <gtest/gtest.h>

#include <filesystem>

#include "common/version.h"
#include "tests/support.h"

namespace {

const char* const kPrograms[] = {"Talvret", "Omblisk", "Pelgrane", "Surbeck", "Wenmark"};

// ERROR: filename がありません
const std::string kNoFilename =
    "ERROR: filename \x82\xAA\x82\xA0\x82\xE8\x82\xDC\x82\xB9\x82\xF1\n";

TEST(HelpVersion, AnsweredByEveryProgram) {
    TempDir dir;
    for (const std::string program : kPrograms) {
        SCOPED_TRACE(program);
        const RunResult usage = RunProgram(dir.path(), program, {});
        ASSERT_EQ(0, usage.status);
        for (const std::vector<std::string>& args :
             {std::vector<std::string>{"--help"}, {"--help", "in.raw", "out.raw"}}) {
            const RunResult help = RunProgram(dir.path(), program, args);
            EXPECT_EQ(usage.out, help.out);
            EXPECT_EQ("", help.err);
            EXPECT_EQ(0, help.status);
        }
        for (const std::vector<std::string>& args :
             {std::vector<std::string>{"--version"}, {"--version", "in.raw", "out.raw"}}) {
            const RunResult version = RunProgram(dir.path(), program, args);
            EXPECT_EQ(program + " " + KIT_VERSION + "\n", version.out);
            EXPECT_EQ("", version.err);
            EXPECT_EQ(0, version.status);
        }
    }
    EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
}

// Only the exact words as the first argument are answered.
TEST(HelpVersion, OtherCommandLinesAreThePrograms) {
    const struct {
        const char* program;
        std::vector<std::string> args;
        std::string err;
    } cases[] = {
        {"Talvret", {"--HELP"}, "ERROR : file not found. [--HELP]\n"},
        {"Omblisk", {"-help"}, "ERROR : file not found. [-help]\n"},
        {"Surbeck", {"in.mzt", "--version"}, "ERROR : file not found. [in.mzt]\n"},
        {"Wenmark", {"--versions", "out.raw"}, "ERROR : file not found. [--versions]\n"},
        {"Wenmark", {"in.qdf", "--help"}, "ERROR : file not found. [in.qdf]\n"},
        {"Pelgrane", {"--helpme"}, kNoFilename},
        {"Pelgrane", {"-d", "--version"}, kNoFilename},
    };
    TempDir dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.program) + " " + c.args[0]);
        const RunResult run = RunProgram(dir.path(), c.program, c.args);
        EXPECT_EQ("", run.out);
        EXPECT_EQ(c.err, run.err);
        EXPECT_EQ(1, run.status);
    }
}

}  // namespace
