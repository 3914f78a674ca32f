// File names the system code page cannot hold: the programs open them and
// name their outputs after them, and print them as the platform prints names.
#include <gtest/gtest.h>

#include <filesystem>

#include "common/platform.h"
#include "samples/imagegen.h"
#include "tests/support.h"

namespace {

const std::string kBase = "한글表";  // Hangul, then a kanji with a '\' second byte

TEST(Names, OutsideTheCodePage) {
    TempDir dir;
    std::filesystem::create_directory(std::filesystem::u8path(dir / kBase));
    WriteFile(dir / (kBase + "/" + kBase + ".fds"), FdsImage({FdsSideContent{}}));
    const RunResult encoded = RunProgram(dir.path(), "Talvret", {kBase + "/" + kBase + ".fds"});
    EXPECT_EQ("", encoded.err);
    EXPECT_EQ(0, encoded.status);
    EXPECT_NE(std::string::npos, encoded.out.find("Create file: " + NameBytes(kBase + ".DKA")));

    const RunResult decoded = RunProgram(dir.path(), "Omblisk", {kBase + ".DKA"});
    EXPECT_EQ(0, decoded.status) << decoded.err;
    EXPECT_TRUE(SameBytes(ReadFile(dir / (kBase + "/" + kBase + ".fds")),
                          ReadFile(dir / (kBase + ".fds"))));

    // The folder check reads the name the open uses.
    const RunResult folder = RunProgram(dir.path(), "Omblisk", {kBase});
    EXPECT_EQ("ERROR : file read error.\n", folder.err);
    const RunResult missing = RunProgram(dir.path(), "Omblisk", {kBase + ".raw"});
    EXPECT_EQ("ERROR : file not found. [" + NameBytes(kBase + ".raw") + "]\n", missing.err);
}

}  // namespace
