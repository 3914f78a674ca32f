// qdkit through the built binary: its command line, and info on every kind
// of file the kit knows, in both printers.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <random>

#include "common/version.h"
#include "samples/faults.h"
#include "samples/imagegen.h"
#include "tests/qdkit_support.h"
#include "tests/support.h"

namespace {

namespace fs = std::filesystem;
using Json = nlohmann::json;

// "A:2/3 B:blank" for an FDS image (files listed / announced), "NAME:size"
// per QD file, "NAME:present/size" per MZT record, the blocks, bad CRCs and
// how the cells compare for a side: the facts a table can pin.
std::string Summary(const Json& object) {
    std::string text;
    const auto add = [&](const std::string& item) { text += (text.empty() ? "" : " ") + item; };
    for (const Json& side : object.value("sides", Json::array())) {
        const std::string label = side["label"];
        if (side["blank"].get<bool>()) {
            add(label + ":blank");
            continue;
        }
        const Json& announced = side["announced_files"];
        add(label + ":" + std::to_string(side["files"].size()) + "/" +
            (announced.is_null() ? "-" : announced.dump()));
    }
    if (object.contains("side")) add(Summary({{"sides", {object["side"]}}}));
    for (const Json& file : object.value("files", Json::array())) {
        add(file["name"].get<std::string>() + ":" + file["size"].dump());
    }
    if (object.contains("blocks")) {
        add("blocks=" + std::to_string(object["blocks"].size()));
        for (std::size_t n = 0; n < object["blocks"].size(); ++n) {
            if (!object["blocks"][n]["crc_ok"].get<bool>()) add("bad=" + std::to_string(n + 1));
        }
        if (!object["complete"].get<bool>()) add("incomplete");
    }
    if (object.contains("canonical")) {
        add(object["canonical"].get<bool>() ? "canonical"
                                            : "cell=" + object["first_difference"].dump());
    }
    for (const Json& record : object.value("records", Json::array())) {
        const std::string size = record["size"].dump();
        const std::string present = record["body_bytes"].dump();
        add(record["name"].get<std::string>() + ":" +
            (present == size ? size : present + "/" + size));
    }
    return text;
}

TEST(Qdkit, CommandLine) {
    TempDir dir;
    WriteFile(dir / "a.mzt", MztFile({Entry("A", 10, 1)}));
    const struct {
        std::vector<std::string> args;
        int status;
        std::string out;  // found in the standard output
        std::string err;  // found in the standard error stream
    } cases[] = {
        {{"--version"}, 0, std::string("qdkit ") + KIT_VERSION + "\n", ""},
        {{"--help"}, 0, "Usage: qdkit", ""},
        {{"info", "--help"}, 0, "--json", ""},
        {{"verify", "--help"}, 0, "FILE", ""},
        {{"convert", "--help"}, 0, "--strict", ""},
        {{}, 2, "", "qdkit: error: "},
        {{"info"}, 2, "", "qdkit: error: "},
        {{"info", "--bogus", "a.mzt"}, 2, "", "qdkit: error: "},
        {{"frobnicate", "a.mzt"}, 2, "", "qdkit: error: "},
        {{"convert", "--to", "disk", "a.mzt"}, 2, "", "qdkit: error: "},
        {{"convert", "-o", "x", "a.mzt", "a.mzt"}, 2, "", "qdkit: error: -o names one output"},
        {{"info", "a.mzt"}, 0, "a.mzt: mzt", ""},
    };
    for (const auto& c : cases) {
        const RunResult run = RunProgram(dir.path(), "qdkit", c.args);
        const std::string what = ::testing::PrintToString(c.args);
        EXPECT_EQ(c.status, run.status) << what;
        EXPECT_NE(std::string::npos, run.out.find(c.out)) << what << run.out;
        EXPECT_NE(std::string::npos, run.err.find(c.err)) << what << run.err;
        if (c.err.empty()) EXPECT_EQ("", run.err) << what;
    }
}

TEST(Qdkit, InfoOnEveryKind) {
    const Bytes four = FdsImage({FdsSide(1, 10), FdsSide(2, 20), FdsSide(3, 30), FdsSide(4, 40)});
    const Bytes one = FdsImage({FdsSide(2, 1)});
    const Bytes mzt = MztFile({Entry("MONITOR", 4096, 1), Entry("HELLO", 31, 2)});
    const struct {
        std::string name;
        Bytes bytes;
        std::string kind;  // empty for none
        std::string summary;
        std::vector<std::string> warnings;
        std::string error;
    } cases[] = {
        {"one.fds", one, "fds", "A:2/2", {}, ""},
        {"four.fds", four, "fds", "A:1/1 B:2/2 C:3/3 D:4/4", {}, ""},
        {"one.bin",
         Headerless(one),
         "fds",
         "A:2/2",
         {"no header: the file holds the side areas alone"},
         ""},
        {"four",
         Headerless(four),
         "fds",
         "A:1/1 B:2/2 C:3/3 D:4/4",
         {"no header: the file holds the side areas alone"},
         ""},
        {"trick.fds",
         FdsImage({FdsSide(2, 1, 3)}),
         "fds",
         "A:2/3",
         {"side A: the file amount block announces 3 files, the side holds 2"},
         ""},
        {"blank.fds", WithBlankSide(one), "fds", "A:2/2 B:blank", {"side B: blank"}, ""},
        {"short.fds",
         Bytes(one.begin(), one.begin() + 3000),
         "fds",
         "A:2/2",
         {"side A is cut short by the end of the file (2984 of 65500 bytes; the rest taken as "
          "0x00)"},
         ""},
        {"count.fds",
         FdsImage({FdsSide(1, 1)}, 2),
         "fds",
         "A:1/1",
         {"the header announces 2 sides, the file holds 1"},
         ""},
        {"one.mzt", MztFile({Entry("PROG", 256, 3)}), "mzt", "PROG:256", {}, ""},
        {"tape.mzf", mzt, "mzt", "MONITOR:4096 HELLO:31", {}, ""},
        {"cut.mzt",
         Bytes(mzt.begin(), mzt.end() - 11),
         "mzt",
         "MONITOR:4096 HELLO:20/31",
         {"record 2 is cut short: its body has 20 of 31 bytes"},
         ""},
        {"tail.m12",
         Concat({mzt, Bytes(5, 0x1A)}),
         "mzt",
         "MONITOR:4096 HELLO:31",
         {"5 bytes after the last record are ignored"},
         ""},
        {"side.DKA", FdsRaw(FdsSide(2, 1)), "fds-raw", "A:2/2 blocks=6 canonical", {}, ""},
        {"trick.DKB",
         FdsRaw(FdsSide(2, 1, 3)),
         "fds-raw",
         "A:2/3 blocks=6 incomplete canonical",
         {"side A: the file amount block announces 3 files, the side holds 2"},
         ""},
        {"crc.DKA",
         FlipDataBit(FdsRaw(FdsSide(2, 1)), 4700),
         "fds-raw",
         "A:2/2 blocks=6 bad=4 incomplete cell=75202",
         {},
         "block 4 (ID 04) fails its CRC (qdkit recover may rescue more)"},
        {"shift.raw", FdsRaw(FdsSide(2, 1), 1), "fds-raw", "A:2/2 blocks=6 cell=0", {}, ""},
        {"side.QDK",
         QdRaw(QdStream(mzt)),
         "qd-raw",
         "MONITOR:4096 HELLO:31 blocks=5 canonical",
         {},
         ""},
        {"crc.QDK",
         FlipDataBit(QdRaw(QdStream(mzt)), 8000),
         "qd-raw",
         "MONITOR:4096 blocks=3 bad=3 incomplete cell=76738",
         {},
         "block 3 fails its CRC (qdkit recover may rescue more)"},
        {"shift.QDK",
         QdRaw(QdStream(mzt), 1),
         "qd-raw",
         "MONITOR:4096 HELLO:31 blocks=5 cell=0",
         {},
         ""},
        {"side.qdf", QdImageOf(mzt), "qdf", "MONITOR:4096 HELLO:31 blocks=5", {}, ""},
        {"junk.bin", Pattern(3000, 7), "", "", {}, "not a known kind of file"},
        {"empty.fds", {}, "", "", {}, "empty file"},
    };
    TempDir dir;
    for (const auto& c : cases) WriteFile(dir / c.name, c.bytes);
    for (const auto& c : cases) {
        const RunResult run = RunProgram(dir.path(), "qdkit", {"info", "--json", c.name});
        EXPECT_EQ(c.error.empty() ? 0 : 1, run.status) << c.name;
        const Json all = Json::parse(run.out);
        ASSERT_EQ(1u, all.size());
        const Json& object = all[0];
        EXPECT_EQ(c.name, object["file"]);
        EXPECT_EQ(c.kind.empty() ? Json() : Json(c.kind), object["kind"]) << c.name;
        EXPECT_EQ(c.summary, Summary(object)) << c.name;
        EXPECT_EQ(Json(c.warnings), object["warnings"]) << c.name;
        const std::vector<std::string> errors =
            c.error.empty() ? std::vector<std::string>{} : std::vector<std::string>{c.error};
        EXPECT_EQ(Json(errors), object["errors"]) << c.name;
        std::string err;
        for (const std::string& w : c.warnings)
            err += "qdkit: warning: " + c.name + ": " + w + "\n";
        for (const std::string& e : errors) err += "qdkit: error: " + c.name + ": " + e + "\n";
        EXPECT_EQ(err, run.err) << c.name;

        // The table tells the same story.
        const RunResult human = RunProgram(dir.path(), "qdkit", {"info", c.name});
        EXPECT_EQ(run.status, human.status);
        EXPECT_EQ(run.err, human.err);
        if (!c.kind.empty()) EXPECT_EQ(0u, human.out.find(c.name + ": " + c.kind + ", ")) << c.name;
    }

    // Several files in one call, one failing: every file is reported.
    const RunResult run =
        RunProgram(dir.path(), "qdkit", {"info", "--json", "junk.bin", "one.fds", "none"});
    EXPECT_EQ(1, run.status);
    const Json all = Json::parse(run.out);
    ASSERT_EQ(3u, all.size());
    EXPECT_EQ("fds", all[1]["kind"]);
    EXPECT_EQ(Json({"cannot open: no such file or directory"}), all[2]["errors"]);
}

// A two-file image announcing three whose second file is numbered as given.
Bytes SecondFileNumbered(int number) {
    Bytes image = FdsImage({FdsSide(2, 1, 3)});
    image[kFdsHeaderBytes + kFdsDiskInfoBlockBytes + kFdsFileAmountBlockBytes +
          kFdsFileHeaderBlockBytes + 1 + 100 + kFdsFileNumberOffset] =
        static_cast<std::uint8_t>(number);
    return image;
}

TEST(Qdkit, Verify) {
    const Bytes mzt = MztFile({Entry("MONITOR", 4096, 1), Entry("HELLO", 31, 2)});
    // Numbered around a gap that the missing file fills: lost; around a
    // wider one: numbered freely, and so on its raw side too.
    const Bytes lost = SecondFileNumbered(2);
    const Bytes free = SecondFileNumbered(32);
    FdsSideContent tiny;
    tiny.files.assign(600, Bytes(1, 0x55));
    const struct {
        std::string name;
        Bytes bytes;
        std::string verdict;  // after "NAME: "
    } cases[] = {
        {"one.fds", FdsImage({FdsSide(2, 1)}), "OK"},
        {"four", Headerless(FdsImage({FdsSide(1, 1), FdsSide(2, 2), FdsSide(3, 3), FdsSide(4, 4)})),
         "OK"},
        {"trick.fds", FdsImage({FdsSide(2, 1, 3)}), "OK"},
        {"blank.fds", WithBlankSide(FdsImage({FdsSide(2, 1)})), "OK"},
        {"lost.fds", lost, "FAILED: side A: file 1 is missing: the file after file 0 is file 2"},
        {"lost.DKA", QdRaw(FdsStream(lost, kFdsHeaderBytes)),
         "FAILED: file 1 is missing: the file after file 0 is file 2 (qdkit recover may rescue "
         "more)"},
        {"free.fds", free, "OK"},
        {"free.DKA", QdRaw(FdsStream(free, kFdsHeaderBytes)), "OK"},
        {"tiny.fds", FdsImage({FdsSide(1, 1), tiny}),
         "FAILED: side B: the blocks do not fit on a side"},
        {"tape.mzt", mzt, "OK"},
        {"cut.mzt", Bytes(mzt.begin(), mzt.end() - 11), "OK"},
        {"big.mzt", MztFile({Entry("SMALL", 30000, 1), Entry("BIG", 50000, 2)}),
         "FAILED: record 2 (BIG) does not fit on the side: it needs 50620 bytes, the side has "
         "43996 left"},
        {"side.qdf", QdImageOf(mzt), "OK"},
        {"side.DKA", FdsRaw(FdsSide(2, 1)), "OK"},
        {"trick.DKB", FdsRaw(FdsSide(2, 1, 3)), "OK"},
        {"crc.DKA", FlipDataBit(FdsRaw(FdsSide(2, 1)), 4700),
         "FAILED: block 4 (ID 04) fails its CRC (qdkit recover may rescue more)"},
        {"shift.raw", FdsRaw(FdsSide(2, 1), 1),
         "FAILED: the cells differ from the kit's encoding from cell 0"},
        {"side.QDK", QdRaw(QdStream(mzt)), "OK"},
        {"crc.QDK", FlipDataBit(QdRaw(QdStream(mzt)), 8000),
         "FAILED: block 3 fails its CRC (qdkit recover may rescue more)"},
        {"shift.QDK", QdRaw(QdStream(mzt), 1),
         "FAILED: the cells differ from the kit's encoding from cell 0"},
        {"junk.bin", Pattern(3000, 7), "FAILED: not a known kind of file"},
    };
    TempDir dir;
    std::vector<std::string> all;
    std::string lines;
    for (const auto& c : cases) {
        WriteFile(dir / c.name, c.bytes);
        const RunResult run = RunProgram(dir.path(), "qdkit", {"verify", c.name});
        EXPECT_EQ(c.name + ": " + c.verdict + "\n", run.out);
        EXPECT_EQ(c.verdict == "OK" ? 0 : 1, run.status) << c.name;
        all.push_back(c.name);
        lines += run.out;
    }
    // One call goes on past the files that fail.
    all.insert(all.begin(), "verify");
    const RunResult run = RunProgram(dir.path(), "qdkit", all);
    EXPECT_EQ(lines, run.out);
    EXPECT_EQ(1, run.status);
}

TEST(Qdkit, InfoFields) {
    TempDir dir;
    Bytes image = FdsImage({FdsSide(2, 5)});
    const Bytes name = {'G', 'A', 'M'};
    std::copy(name.begin(), name.end(), image.begin() + 16 + 16);
    WriteFile(dir / "g.fds", image);
    MztEntry entry = Entry("ODD\x90NAME", 3, 9);
    entry.attribute = 5;
    WriteFile(dir / "g.mzt", MztFile({entry}));

    const RunResult run = RunProgram(dir.path(), "qdkit", {"info", "--json", "g.fds", "g.mzt"});
    ASSERT_EQ(0, run.status) << run.err;
    const Json all = Json::parse(run.out);
    const Json& side = all[0]["sides"][0];
    const Json& info = side["disk_info"];
    EXPECT_EQ("GAM", info["game_name"]);
    const std::uint8_t* block = &image[16];
    EXPECT_EQ(block[15], info["maker"]);
    EXPECT_EQ(block[21], info["side"]);
    EXPECT_EQ(block[22], info["disk"]);
    EXPECT_EQ(Json({block[31], block[32], block[33]}), info["manufactured"]);
    const Json& file = side["files"][1];
    EXPECT_EQ(Json::parse(R"({"number":1,"id":1,"name":"        ","type":0,"size":400,)"
                          R"("load":24576,"data":true})"),
              file);
    EXPECT_EQ(Json::parse(R"({"attribute":5,"name":"ODD\\x90NAME","size":3,"load":4608,)"
                          R"("exec":4608,"body_bytes":3})"),
              all[1]["records"][0]);

    const RunResult human = RunProgram(dir.path(), "qdkit", {"info", "g.mzt"});
    EXPECT_EQ(
        "g.mzt: mzt, 131 bytes\n"
        "  #  ATTR  NAME         SIZE  LOAD   EXEC\n"
        "  1  $05   ODD\\x90NAME     3  $1200  $1200\n",
        human.out);
}

// Each kind by positive evidence, never by what is left over: what is no
// kind stays none, and the variants real files show are told right.
TEST(Qdkit, KindsByEvidence) {
    const FdsSideContent three = FdsSide(3, 1);
    std::mt19937 rng(5);
    Bytes stream;
    Crc16 crc(kFdsWriterCrc);
    BuildFdsSide(FdsImage({three}), 16, stream, crc, MissingFiles::kEndSide);
    // File 1's header block, start mark to gap, gone.
    const std::size_t header1 = 4224 + 184 + 130 + 144 + 129 + 100;
    stream.erase(stream.begin() + static_cast<std::ptrdiff_t>(header1),
                 stream.begin() + static_cast<std::ptrdiff_t>(header1 + 144));
    std::vector<Fault> flips;  // no gap after file 0 long enough for the classic search
    for (std::size_t cell = 16 * (header1 + 16); cell < 16 * 60000; cell += 400)
        flips.push_back({Fault::kFlip, cell});
    const Bytes tape = MztFile({Entry("PROG", 3000, 5)});
    Bytes padded = MztFile({Entry("ABCDEFGHIJKLMNOP", 4, 6)});
    padded[17] = 0x00;  // the name padded with 0x00, not ended by 0x0D
    const struct {
        std::string name;
        Bytes bytes;
        std::string kind;     // empty for none
        std::string message;  // the start of the first warning or error
        int status;
    } cases[] = {
        {"notes.txt", Bytes(300, 'M'), "", "not a known kind of file", 1},
        {"main.cpp", Concat({Bytes{'#', 'i', 'n', 'c'}, Bytes(200, ';')}), "", "not a known", 1},
        {"picture.png", Concat({Hex("89 50 4E 47 0D 0A 1A 0A 00 00 00 0D"), Pattern(5000, 1)}), "",
         "not a known", 1},
        {"archive.gz", Concat({Hex("1F 8B 08 00"), Pattern(5000, 2)}), "", "not a known", 1},
        {"program", ReadFile(ProgramPath("Talvret")), "", "not a known", 1},
        {"late.DKA", Damage(FdsRaw(three), {{Fault::kLateStart, 0, 25000}}, rng).raw, "fds-raw",
         "the first block found has the ID 03", 1},
        {"late.QDK", Damage(QdRaw(QdStream(tape)), {{Fault::kNoiseBefore, 0, 90000}}, rng).raw,
         "qd-raw", "block 1 begins with", 1},
        {"cut.mzt", Bytes(tape.begin(), tape.end() - 1000), "mzt", "record 1 is cut short", 0},
        {"padded.mzt", padded, "mzt", "", 0},
        {"lost.DKA", QdRaw(stream), "fds-raw", "a block with ID 04 breaks the order", 1},
        {"trick.DKA", FdsRaw(FdsSide(2, 1, 3)), "fds-raw",
         "side A: the file amount block announces 3 files, the side holds 2", 0},
        {"early.DKA", Damage(FdsRaw(three), flips, rng).raw, "fds-raw",
         "the side ends early: 1 of 3 files; a block follows at cell", 1},
    };
    TempDir dir;
    for (const auto& c : cases) {
        WriteFile(dir / c.name, c.bytes);
        const RunResult run = RunProgram(dir.path(), "qdkit", {"info", "--json", c.name});
        EXPECT_EQ(c.status, run.status) << c.name << run.err;
        const Json object = Json::parse(run.out)[0];
        EXPECT_EQ(c.kind.empty() ? Json() : Json(c.kind), object["kind"]) << c.name;
        const Json& said = object["errors"].empty() ? object["warnings"] : object["errors"];
        const std::string first = said.empty() ? "" : said[0].get<std::string>();
        EXPECT_EQ(c.message, first.substr(0, c.message.size())) << c.name;
    }
}

// recover's exit status, outputs and JSON on reads the fault maker damaged.
TEST(Qdkit, Recover) {
    std::mt19937 rng(9);
    const Bytes clean = FdsRaw(FdsSide(2, 1));
    // The first file's data block (the fourth block) damaged in a read.
    const auto damaged = [&](std::size_t cell) {
        return Damage(clean, {{Fault::kBurst, cell, 64}}, rng).raw;
    };
    const Bytes worn1 = damaged(16 * 4700), worn2 = damaged(16 * 4730), worn3 = damaged(16 * 4760);
    const struct {
        std::vector<std::string> args;
        int status;
        std::string statuses;  // of the blocks, from --json
        std::string output;    // written, or empty for none
    } cases[] = {
        {{"recover", "clean.DKA"}, 0, "good good good good good good", "clean.fds"},
        {{"recover", "worn1.DKA"}, 1, "good good good bad good good", "worn1.fds"},
        {{"recover", "--strict", "worn1.DKA"}, 1, "good good good bad good good", ""},
        {{"recover", "worn1.DKA", "worn2.DKA", "worn3.DKA"},
         0,
         "good good good voted good good",
         "worn1.fds"},
        {{"recover", "-o", "tape.mzt", "side.QDK"}, 0, "good good good", "tape.mzt"},
        {{"recover", "--to", "qdf", "side.QDK"}, 0, "good good good", "side.qdf"},
        {{"recover", "clean.DKA", "side.QDK"}, 1, "", ""},
    };
    for (const auto& c : cases) {
        TempDir dir;
        WriteFile(dir / "clean.DKA", clean);
        WriteFile(dir / "worn1.DKA", worn1);
        WriteFile(dir / "worn2.DKA", worn2);
        WriteFile(dir / "worn3.DKA", worn3);
        WriteFile(dir / "side.QDK", QdRaw(QdStream(MztFile({Entry("ONE", 100, 1)}))));
        std::vector<std::string> args = c.args;
        args.insert(args.begin() + 1, "--json");
        const RunResult run = RunProgram(dir.path(), "qdkit", args);
        const std::string what = ::testing::PrintToString(c.args);
        EXPECT_EQ(c.status, run.status) << what << run.err;
        const Json object = Json::parse(run.out);
        std::string statuses;
        for (const Json& block : object["blocks"])
            statuses += (statuses.empty() ? "" : " ") + block["status"].get<std::string>();
        EXPECT_EQ(c.statuses, statuses) << what;
        EXPECT_EQ(c.output.empty() ? Json() : Json(c.output), object["output"]) << what;
        if (!c.output.empty()) EXPECT_TRUE(FileExists(dir / c.output)) << what;
        EXPECT_EQ(c.status == 0, object["complete"].get<bool>()) << what;
    }
}

// Every command opens its inputs alike, recover's reads included.
TEST(Qdkit, InputsThatAreNoFiles) {
    TempDir dir;
    fs::create_directory(dir / "folder");
    WriteFile(dir / "empty", {});
    std::vector<std::pair<std::string, std::string>> inputs = {
        {"missing", "cannot open: no such file or directory"},
        {"folder", "a folder"},
        {"empty", "empty file"},
    };
#ifndef _WIN32  // the system's own words for a link loop differ there
    std::error_code error;
    fs::create_symlink("loop2", dir / "loop1", error);
    fs::create_symlink("loop1", dir / "loop2", error);
    if (!error) inputs.emplace_back("loop1", "cannot open: too many levels of symbolic links");
#endif
    for (const char* command : {"info", "verify", "convert", "recover"}) {
        for (const auto& [name, message] : inputs) {
            const RunResult run = RunProgram(dir.path(), "qdkit", {command, name});
            EXPECT_EQ(1, run.status) << command << " " << name;
            // A command that takes many files says how to read a folder's.
            const bool walks = name == "folder" && std::string(command) != "recover";
            const std::string why = message + (walks ? " (--recursive reads the files in it)" : "");
            EXPECT_EQ("qdkit: error: " + name + ": " + why + "\n", run.err) << command;
        }
    }
}

TEST(Qdkit, RandomFileIsToldQuickly) {
    TempDir dir;
    const Bytes chunk = Pattern(1 << 20, 77);
    {
        std::ofstream out(dir / "random.bin", std::ios::binary);
        for (int i = 0; i < 256; ++i)
            out.write(reinterpret_cast<const char*>(chunk.data()), chunk.size());
    }
    const auto start = std::chrono::steady_clock::now();
    const RunResult run = RunProgram(dir.path(), "qdkit", {"info", "random.bin"});
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(1, run.status);
    EXPECT_EQ("qdkit: error: random.bin: not a known kind of file\n", run.err);
    EXPECT_LT(took, std::chrono::seconds(2));
}

}  // namespace
