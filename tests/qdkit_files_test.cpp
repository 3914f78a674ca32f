// qdkit extract and pack through the built binary: every kind back byte for
// byte, a manifest edited, and a disk that no longer fits.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "tests/qdkit_support.h"

namespace {

using Json = nlohmann::ordered_json;

const Bytes kTape = MztFile({Entry("MONITOR", 4096, 1), Entry("HELLO", 31, 2)});
const Bytes kTwoSides = FdsImage({FdsSide(2, 1), FdsSide(3, 2)});

// Bytes written over an image at an offset.
Bytes Patched(Bytes bytes, std::size_t at, const Bytes& with) {
    std::copy(with.begin(), with.end(), bytes.begin() + static_cast<std::ptrdiff_t>(at));
    return bytes;
}

// Three files, one counted, and stray bytes after the last block.
Bytes HiddenFiles() {
    const FdsSideContent side = FdsSide(3, 7, 1);
    return Patched(FdsImage({side}), 16 + FdsSideBlocks(side).size() + 2, Hex("5a a5 01"));
}

Json ReadJson(const std::string& path) {
    const Bytes text = ReadFile(path);
    return Json::parse(text.begin(), text.end());
}

void WriteJson(const std::string& path, const Json& json) {
    const std::string text = json.dump(2);
    WriteFile(path, Bytes(text.begin(), text.end()));
}

TEST(QdkitFiles, ExtractThenPackGivesEveryKindBack) {
    const struct {
        std::string input;
        Bytes bytes;
        std::vector<std::string> made;  // qdkit convert arguments that make the input from it
        std::size_t files;              // in the folder, the manifest too
    } cases[] = {
        {"two.fds", kTwoSides, {}, 6},
        {"sample.fds", SampleFdsImage(), {}, 5},
        {"plain", Headerless(kTwoSides), {}, 6},
        {"hidden.fds", HiddenFiles(), {}, 4},
        {"trick.fds", FdsImage({FdsSide(2, 1, 3)}), {}, 3},
        {"short.fds", Bytes(kTwoSides.begin(), kTwoSides.end() - 60000), {}, 6},
        {"blank.fds", WithBlankSide(FdsImage({FdsSide(1, 3)})), {}, 2},
        {"odd.fds", Patched(kTwoSides, 16 + 58, Hex("04")), {}, 5},
        {"two.qd", kTwoSides, {"--to", "fds-qd"}, 6},
        {"bad.qd", kTwoSides, {"--to", "fds-qd"}, 6},
        {"side.DKA", FdsRaw(FdsSide(3, 4)), {}, 4},
        {"two.bin", kTwoSides, {"--to", "fds-bin"}, 6},
        {"tape.mzt", kTape, {}, 3},
        {"cut.mzt", Bytes(kTape.begin(), kTape.end() - 11), {}, 3},
        {"tail.mzt", Concat({kTape, Bytes(5, 0x1A)}), {}, 3},
        {"side.QDK", QdRaw(QdStream(kTape)), {}, 3},
        {"tape.qdf", kTape, {"--to", "qdf"}, 3},
        {"laid.qdf", QdImageOf(kTape), {}, 3},
        {"tape.mzq", kTape, {"--to", "mzq"}, 3},
        {"tape.qd", kTape, {"--to", "hxc-qd"}, 3},
    };
    for (const auto& c : cases) {
        TempDir dir;
        if (c.made.empty()) {
            WriteFile(dir / c.input, c.bytes);
        } else {
            WriteFile(dir / "from", c.bytes);
            std::vector<std::string> args{"convert", "-o", c.input};
            args.insert(args.end(), c.made.begin(), c.made.end());
            args.push_back("from");
            ASSERT_EQ(0, RunProgram(dir.path(), "qdkit", args).status) << c.input;
        }
        // A .qd side carrying 0000 where its disk info block's CRC belongs.
        if (c.input == "two.qd")
            WriteFile(dir / c.input, Patched(ReadFile(dir / c.input), 56, Hex("00 00")));
        // One whose data block a flipped bit damaged: kept, and said.
        if (c.input == "bad.qd") {
            Bytes bad = ReadFile(dir / c.input);
            bad[85] ^= 1;  // in the first file's data
            WriteFile(dir / c.input, bad);
        }
        const Bytes original = ReadFile(dir / c.input);
        RunResult run = RunProgram(dir.path(), "qdkit", {"extract", "-C", "out", c.input});
        ASSERT_EQ(0, run.status) << c.input << run.err;
        EXPECT_EQ(c.input == "bad.qd",
                  run.err.find("fails its CRC (kept as read)") != std::string::npos)
            << c.input << run.err;
        const std::string base = c.input.substr(0, c.input.find('.'));
        std::size_t files = 0;
        for (const auto& entry : std::filesystem::directory_iterator(dir / ("out/" + base))) {
            (void)entry;
            ++files;
        }
        EXPECT_EQ(c.files, files) << c.input;
        run = RunProgram(dir.path(), "qdkit", {"pack", "-o", "back", "out/" + base});
        ASSERT_EQ(0, run.status) << c.input << run.err;
        EXPECT_EQ("", run.err) << c.input;
        EXPECT_TRUE(SameBytes(original, ReadFile(dir / "back"))) << c.input;
    }
}

TEST(QdkitFiles, HiddenFilesAndStrayBytesInTheManifest) {
    TempDir dir;
    WriteFile(dir / "hidden.fds", HiddenFiles());
    ASSERT_EQ(0, RunProgram(dir.path(), "qdkit", {"extract", "hidden.fds"}).status);
    const Json side = ReadJson(dir / "hidden/manifest.json")["sides"][0];
    EXPECT_FALSE(side["files"][0].contains("hidden"));
    EXPECT_EQ(true, side["files"][1]["hidden"]);
    EXPECT_EQ(true, side["files"][2]["hidden"]);
    EXPECT_EQ("00005aa501", side["trailing"]);
    EXPECT_EQ("*NINTENDO-HVC*", side["disk_info"]["verification"]);
    EXPECT_EQ("KIT", side["disk_info"]["game_name"]);
    EXPECT_TRUE(SameBytes(Pattern(400, 8), ReadFile(dir / "hidden/A-01.bin")));
}

// Removing, replacing and adding files, and changing a field, builds the
// disk the generator makes of the same files.
TEST(QdkitFiles, AnEditedManifestBuildsTheChangedDisk) {
    TempDir dir;
    WriteFile(dir / "two.fds", kTwoSides);
    ASSERT_EQ(0, RunProgram(dir.path(), "qdkit", {"extract", "two.fds"}).status);
    Json manifest = ReadJson(dir / "two/manifest.json");
    manifest["sides"][0]["files"].erase(1);
    WriteFile(dir / "two/B-01.bin", Pattern(1000, 99));
    WriteFile(dir / "two/new.bin", Pattern(50, 98));
    manifest["sides"][1]["files"].push_back({{"file", "new.bin"}, {"load", 0x6000}});
    manifest["sides"][1]["disk_info"]["side"] = 1;
    WriteJson(dir / "two/manifest.json", manifest);
    const RunResult run = RunProgram(dir.path(), "qdkit", {"pack", "-o", "new.fds", "two"});
    EXPECT_EQ(0, run.status) << run.err;
    EXPECT_EQ("new.fds <- two (fds)\n", run.out);
    FdsSideContent b = FdsSide(3, 2);
    b.files[1] = Pattern(1000, 99);
    b.files.push_back(Pattern(50, 98));
    Bytes expected = FdsImage({FdsSide(1, 1), b});
    expected[16 + 65500 + 21] = 1;
    EXPECT_TRUE(SameBytes(expected, ReadFile(dir / "new.fds")));

    WriteFile(dir / "tape.mzt", kTape);
    ASSERT_EQ(0, RunProgram(dir.path(), "qdkit", {"extract", "tape.mzt"}).status);
    manifest = ReadJson(dir / "tape/manifest.json");
    EXPECT_EQ("02-HELLO.mzf", manifest["records"][1]["file"]);
    manifest["records"].erase(0);
    manifest["records"][0]["load"] = 0x3000;
    manifest["records"][0]["name"] = "HI";
    WriteFile(dir / "tape/03.mzf", MztRecord(Entry("DATA", 300, 3)));
    manifest["records"].push_back({{"file", "03.mzf"}});
    WriteJson(dir / "tape/manifest.json", manifest);
    ASSERT_EQ(0, RunProgram(dir.path(), "qdkit", {"pack", "-o", "new.mzt", "tape"}).status);
    MztEntry hello = Entry("HI", 31, 2);
    hello.load = 0x3000;
    EXPECT_TRUE(SameBytes(MztFile({hello, Entry("DATA", 300, 3)}), ReadFile(dir / "new.mzt")));
}

TEST(QdkitFiles, ASideThatNoLongerFitsNamesTheBytesMissing) {
    TempDir dir;
    WriteFile(dir / "two.fds", kTwoSides);
    WriteFile(dir / "tape.mzt", kTape);
    ASSERT_EQ(0, RunProgram(dir.path(), "qdkit", {"extract", "two.fds", "tape.mzt"}).status);
    Json manifest = ReadJson(dir / "two/manifest.json");
    WriteFile(dir / "two/big.bin", Pattern(65000, 5));
    manifest["sides"][0]["files"].push_back({{"file", "big.bin"}});
    WriteJson(dir / "two/manifest.json", manifest);
    // 58 + 17 + 100 + 17 + 400 + 17 + 65000
    RunResult run = RunProgram(dir.path(), "qdkit", {"pack", "-o", "big.fds", "two"});
    EXPECT_EQ(1, run.status);
    EXPECT_EQ(
        "qdkit: error: two: side A does not fit: it takes 65609 bytes, 109 more than a side area "
        "holds (65500)\n",
        run.err);
    EXPECT_FALSE(FileExists(dir / "big.fds"));

    manifest = ReadJson(dir / "tape/manifest.json");
    WriteFile(dir / "tape/big.mzf", MztRecord(Entry("BIG", 40000, 4)));
    manifest["records"].push_back({{"file", "big.mzf"}});
    manifest["records"].push_back({{"file", "big.mzf"}});
    WriteJson(dir / "tape/manifest.json", manifest);
    run = RunProgram(dir.path(), "qdkit", {"pack", "--to", "qd-raw", "-o", "big.QDK", "tape"});
    EXPECT_EQ(1, run.status);
    EXPECT_EQ(
        "qdkit: error: tape: the records do not fit on a side: they take 93911 bytes of side "
        "stream, 11991 more than a side holds (81920)\n",
        run.err);
}

// What a manifest may not say is refused, naming where, and nothing is written.
TEST(QdkitFiles, AManifestThatCannotBeIsRefused) {
    const struct {
        std::string path;  // in the manifest: side, file, key
        Json value;
        std::string error;
    } cases[] = {
        {"/sides/0/files/0/load", 70000,
         "side A, file 1, load: not a whole number from 0 to 65535"},
        {"/sides/0/files/0/hidden", true,
         "side A, file 2, hidden: a file the file amount block counts follows the hidden file 1: "
         "the counted files come first"},
        {"/sides/0/disk_info/game_name", "LONG",
         "side A, disk_info, game_name: 4 bytes, more "
         "than the 3 it holds"},
        {"/sides/0/files/1/name", "\\xZZ", "side A, file 2, name: printable ASCII and \\xNN only"},
    };
    for (const auto& c : cases) {
        TempDir dir;
        WriteFile(dir / "two.fds", kTwoSides);
        ASSERT_EQ(0, RunProgram(dir.path(), "qdkit", {"extract", "two.fds"}).status);
        Json manifest = ReadJson(dir / "two/manifest.json");
        manifest[Json::json_pointer(c.path)] = c.value;
        WriteJson(dir / "two/manifest.json", manifest);
        const RunResult run = RunProgram(dir.path(), "qdkit", {"pack", "-o", "new.fds", "two"});
        EXPECT_EQ(1, run.status) << c.path;
        EXPECT_EQ("qdkit: error: two: manifest.json: " + c.error + "\n", run.err) << c.path;
        EXPECT_FALSE(FileExists(dir / "new.fds"));
    }
}

TEST(QdkitFiles, FoldersAreWrittenSafely) {
    TempDir dir;
    WriteFile(dir / "tape.mzt", kTape);
    ASSERT_EQ(0, RunProgram(dir.path(), "qdkit", {"extract", "tape.mzt"}).status);
    RunResult run = RunProgram(dir.path(), "qdkit", {"extract", "tape.mzt"});
    EXPECT_EQ(1, run.status);
    EXPECT_EQ("qdkit: error: tape.mzt: folder tape exists (--force writes over its files)\n",
              run.err);
    run = RunProgram(dir.path(), "qdkit", {"extract", "-n", "tape.mzt"});
    EXPECT_EQ(0, run.status);
    EXPECT_EQ("tape.mzt: tape exists, kept\n", run.out);
    EXPECT_EQ(0, RunProgram(dir.path(), "qdkit", {"extract", "--force", "tape.mzt"}).status);
    // --force cannot help two inputs of one name: it is not offered.
    WriteFile(dir / "tape.fds", kTwoSides);
    run = RunProgram(dir.path(), "qdkit", {"extract", "--force", "tape.mzt", "tape.fds"});
    EXPECT_EQ(1, run.status);
    EXPECT_EQ(
        "qdkit: error: tape.fds: folder tape was written from tape.mzt, of the same name, in this "
        "call (extract this file in a call of its own, with -C DIR)\n"
        "qdkit: 2 files: 1 extracted, 0 skipped, 1 failed\n",
        run.err);
    run = RunProgram(dir.path(), "qdkit", {"pack", "-o", "tape.mzt", "tape"});
    EXPECT_EQ(1, run.status);
    EXPECT_EQ("qdkit: error: tape: output tape.mzt exists (--force replaces it)\n", run.err);
    run = RunProgram(dir.path(), "qdkit", {"pack", "--to", "fds", "-o", "x", "tape"});
    EXPECT_EQ(
        "qdkit: error: tape: the folder holds an mzt disk, which does not pack to fds; it "
        "packs to mzt, qd-raw, qdf, hxc-qd, mzq\n",
        run.err);
}

}  // namespace
