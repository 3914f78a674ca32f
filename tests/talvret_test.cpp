#include <gtest/gtest.h>

#include <filesystem>

#include "samples/imagegen.h"
#include "tests/support.h"
#include "tests/texts.h"

namespace {

FdsSideContent TwoFiles() {
    FdsSideContent side;
    side.files = {Pattern(300, 1), Pattern(17, 2)};
    return side;
}

TEST(Talvret, Usage) {
    TempDir dir;
    const RunResult run = RunProgram(dir.path(), "Talvret", {});
    EXPECT_EQ("FDS image encoder  (C) 2026 Quick Disk kit developers\n Usage : Talvret filename\n",
              run.out);
    EXPECT_EQ(0, run.status);
}

TEST(Talvret, SidesAndNames) {
    const struct {
        std::string input;
        int sidecount;
        int images;
        std::string err;
    } cases[] = {
        {"games/disk.fds", 1, 1, ""},
        {"games/disk.fds", 2, 2, ""},
        {"games\\disk.fds", 2, 2, ""},
        {"disk.fds", 5, 2,
         "Warning : FDS\x82\xCC\x96\xCA\x90\x94\x82\xCD"
         "2\x96\xCA\x82\xDC\x82\xC5\x82\xB5\x82\xA9\x95\xCF\x8A\xB7\x82\xB5\x82\xDC\x82\xB9\x82"
         "\xF1\n"},
    };
    for (const auto& c : cases) {
        TempDir dir;
        std::filesystem::create_directory(dir / "games");
        WriteFile(dir / c.input, FdsImage({TwoFiles(), FdsSideContent{}}, c.sidecount));
        const RunResult run = RunProgram(dir.path(), "Talvret", {c.input});
        std::string out =
            "FDS disk number : " + std::to_string(c.sidecount) + "\nCreate file: disk.DKA\n";
        if (c.images == 2) out += "Create file: disk.DKB\n";
        EXPECT_EQ(out + kFinishedText, run.out) << c.input;
        EXPECT_EQ(c.err, run.err);
        EXPECT_EQ(0, run.status);
        EXPECT_EQ(143360u, ReadFile(dir / "disk.DKA").size());
        EXPECT_EQ(c.images == 2, FileExists(dir / "disk.DKB"));
        if (c.images == 2) {
            EXPECT_EQ(143360u, ReadFile(dir / "disk.DKB").size());
        }
    }
}

TEST(Talvret, BothSidesBeginWithTheSameCells) {
    TempDir dir;
    WriteFile(dir / "d.fds", FdsImage({TwoFiles(), TwoFiles()}));
    ASSERT_EQ(0, RunProgram(dir.path(), "Talvret", {"d.fds"}).status);
    EXPECT_TRUE(SameBytes(ReadFile(dir / "d.DKA"), ReadFile(dir / "d.DKB")));
}

TEST(Talvret, InputFailures) {
    Bytes good = FdsImage({TwoFiles()});
    Bytes not_fds = good;
    not_fds[0] = 'f';
    Bytes no_sides = good;
    no_sides[4] = 0;
    const struct {
        Bytes image;
        std::string err;
    } cases[] = {
        {{}, "ERROR : file read error.\n"},
        {Bytes(good.begin(), good.end() - 1),
         "ERROR : FDS\x8C`\x8E\xAE\x82\xCC\x83t\x83@\x83"
         "C\x83\x8B\x83T\x83"
         "C\x83Y\x82\xAA\x90\xB3\x82\xB5\x82\xAD\x82\xA0\x82\xE8\x82\xDC\x82\xB9\x82\xF1\n"},
        {not_fds,
         "ERROR : FDS\x8C`\x8E\xAE\x82\xC5\x82\xCD\x82\xA0\x82\xE8\x82\xDC\x82\xB9\x82\xF1\n"},
        {no_sides,
         "ERROR : FDS\x82\xCC\x96\xCA\x90\x94\x82\xAA\x90\xB3\x82\xB5\x82\xAD\x82\xA0\x82\xE8\x82"
         "\xDC\x82\xB9\x82\xF1\n"},
    };
    for (const auto& c : cases) {
        TempDir dir;
        WriteFile(dir / "d.fds", c.image);
        const RunResult run = RunProgram(dir.path(), "Talvret", {"d.fds"});
        EXPECT_EQ("", run.out);
        EXPECT_EQ(c.err, run.err);
        EXPECT_EQ(1, run.status);
        EXPECT_FALSE(FileExists(dir / "d.DKA"));
    }
    TempDir dir;
    const RunResult missing = RunProgram(dir.path(), "Talvret", {"no\\such.fds"});
    EXPECT_EQ("ERROR : file not found. [no\\such.fds]\n", missing.err);
    EXPECT_EQ(1, missing.status);
}

TEST(Talvret, SideFailures) {
    FdsSideContent three_of_two = TwoFiles();
    three_of_two.announced = 3;
    Bytes two_sides_one_area = FdsImage({TwoFiles()}, 2);
    FdsSideContent over;
    over.files = {Pattern(65535, 3), Pattern(1062, 4)};  // 71681 bytes
    const struct {
        const char* what;
        Bytes image;
        std::string out;
        std::string err;
        bool dkb;
    } cases[] = {
        {"3 announced, 2 carried", FdsImage({three_of_two}), "Create file: d.DKA\n",
         "ERROR: Unknown ID : 00\n", false},
        {"second side past the end", two_sides_one_area, "Create file: d.DKA\nCreate file: d.DKB\n",
         kEndOfDataText, true},
        {"side stream over 71680 bytes", FdsImage({over}), "Create file: d.DKA\n",
         "ERROR : raw file size is over.\n", false},
    };
    for (const auto& c : cases) {
        TempDir dir;
        WriteFile(dir / "d.fds", c.image);
        const RunResult run = RunProgram(dir.path(), "Talvret", {"d.fds"});
        const int sides = c.image[4];
        EXPECT_EQ("FDS disk number : " + std::to_string(sides) + "\n" + c.out, run.out) << c.what;
        EXPECT_EQ(c.err + kConversionErrorText, run.err) << c.what;
        EXPECT_EQ(1, run.status) << c.what;
        EXPECT_FALSE(FileExists(dir / (c.dkb ? "d.DKB" : "d.DKA"))) << c.what;
        if (c.dkb) {
            EXPECT_EQ(143360u, ReadFile(dir / "d.DKA").size());
        }
    }
}

TEST(Talvret, OutputFailures) {
    TempDir dir;
    WriteFile(dir / "d.fds", FdsImage({TwoFiles()}));
    std::filesystem::create_directory(dir / "d.DKA");
    const RunResult blocked = RunProgram(dir.path(), "Talvret", {"d.fds"});
    EXPECT_EQ("ERROR : file open error.\n" + kConversionErrorText, blocked.err);
    EXPECT_EQ(1, blocked.status);

    if (!FileExists("/dev/full")) return;
    std::filesystem::remove(dir / "d.DKA");
    std::filesystem::create_symlink("/dev/full", dir / "d.DKA");
    const RunResult full = RunProgram(dir.path(), "Talvret", {"d.fds"});
    EXPECT_EQ("ERROR : file write error.\n" + kConversionErrorText, full.err);
    EXPECT_EQ(1, full.status);
}

// Side areas without the header convert as if the header were there; other
// files are judged as always.
TEST(Talvret, ImagesWithoutTheHeader) {
    const std::string verification = "*NINTENDO-HVC*";
    Bytes one = FdsImage({TwoFiles()}), two = FdsImage({TwoFiles(), FdsSideContent{}});
    for (Bytes* image : {&one, &two}) {
        std::copy(verification.begin(), verification.end(), image->begin() + 17);
    }
    const std::string sizeerror =
        "ERROR : FDS\x8C`\x8E\xAE\x82\xCC\x83t\x83@\x83"
        "C\x83\x8B\x83T\x83"
        "C\x83Y\x82\xAA\x90\xB3\x82\xB5\x82\xAD\x82\xA0\x82\xE8\x82\xDC\x82\xB9\x82\xF1\n";
    const std::string notfds =
        "ERROR : FDS\x8C`\x8E\xAE\x82\xC5\x82\xCD\x82\xA0\x82\xE8\x82\xDC\x82\xB9\x82\xF1\n";
    Bytes unmarked = Bytes(two.begin() + 16, two.end());
    unmarked[5] = '#';
    Bytes longer = Bytes(two.begin() + 16, two.end());
    longer.push_back(0);
    const struct {
        const char* what;
        Bytes headerless;
        Bytes same;  // the image it stands for; empty when it is refused
        std::string err;
    } cases[] = {
        {"one side", Bytes(one.begin() + 16, one.end()), one, ""},
        {"two sides", Bytes(two.begin() + 16, two.end()), two, ""},
        {"one side, unmarked", Bytes(unmarked.begin(), unmarked.begin() + 65500), {}, sizeerror},
        {"two sides, unmarked", unmarked, {}, notfds},
        {"a byte too many", longer, {}, notfds},
    };
    for (const auto& c : cases) {
        TempDir dir;
        WriteFile(dir / "bare.fds", c.headerless);
        const RunResult bare = RunProgram(dir.path(), "Talvret", {"bare.fds"});
        EXPECT_EQ(c.err, bare.err) << c.what;
        if (c.same.empty()) {
            EXPECT_EQ(1, bare.status) << c.what;
            continue;
        }
        WriteFile(dir / "full.fds", c.same);
        const RunResult full = RunProgram(dir.path(), "Talvret", {"full.fds"});
        EXPECT_EQ(0, bare.status) << c.what;
        std::string shown = bare.out;
        for (std::size_t at; (at = shown.find("bare.")) != std::string::npos;) {
            shown.replace(at, 4, "full");
        }
        EXPECT_EQ(full.out, shown) << c.what;
        for (const char* side : {".DKA", ".DKB"}) {
            EXPECT_EQ(ReadFile(dir / (std::string("full") + side)),
                      ReadFile(dir / (std::string("bare") + side)))
                << c.what << side;
        }
    }
}

}  // namespace
