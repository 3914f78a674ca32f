// The hashes catalogues list, and qdkit match and recover --dat against
// DATs the tests write: digests against published test vectors, each
// kind's forms against bytes the test makes itself, the DAT readers, and
// the commands through the built binary.
#include <gtest/gtest.h>

#include <cstdlib>
#include <nlohmann/json.hpp>
#include <random>
#include <sstream>

#include "qdkit/dat.h"
#include "qdkit/hashes.h"
#include "samples/faults.h"
#include "tests/qdkit_support.h"

namespace {

using Json = nlohmann::json;

Bytes Of(const std::string& text) {
    return Bytes(text.begin(), text.end());
}

std::string LastLine(const std::string& text) {
    std::istringstream in(text);
    std::string last;
    for (std::string line; std::getline(in, line);) last = line;
    return last;
}

std::string Join(const Digests& d) {
    return std::to_string(d.size) + " " + d.crc32 + " " + d.md5 + " " + d.sha1;
}

std::string Join(const Json& d) {
    return d.is_null() ? "null"
                       : d["size"].dump() + " " + d["crc32"].get<std::string>() + " " +
                             d["md5"].get<std::string>() + " " + d["sha1"].get<std::string>();
}

// RFC 1321's and FIPS 180's vectors, and CRC-32's check value.
TEST(Hashes, KnownVectors) {
    const struct {
        Bytes bytes;
        std::string digests;
    } cases[] = {
        {{},
         "0 00000000 d41d8cd98f00b204e9800998ecf8427e da39a3ee5e6b4b0d3255bfef95601890afd80709"},
        {Of("abc"),
         "3 352441c2 900150983cd24fb0d6963f7d28e17f72 a9993e364706816aba3e25717850c26c9cd0d89d"},
        {Of("123456789"),
         "9 cbf43926 25f9e794323b453885f5181f1b624d0b f7c3bc1d808e04732adf679965ccc34ca7ae3441"},
        {Of("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"),
         "56 171a3f5f 8215ef0796a20bcaaae116d3876c664a 84983e441c3bd26ebaae4aa1f95129e5e54670f1"},
        {Bytes(1000000, 'a'),
         "1000000 dc25bfbc 7707d6ae4e027c70eea2a935c2296f21 "
         "34aa973cd4c4daa4f61eeb2bdbad27316534016f"},
    };
    for (const auto& c : cases) EXPECT_EQ(c.digests, Join(Digest(c.bytes))) << c.bytes.size();
}

// What the system's own tools say of a file, where they are.
TEST(Hashes, AsTheSystemToolsSay) {
#ifdef _WIN32
    GTEST_SKIP() << "needs md5sum and sha1sum";
#else
    if (std::system("command -v md5sum >/dev/null && command -v sha1sum >/dev/null") != 0)
        GTEST_SKIP() << "md5sum or sha1sum is missing";
    TempDir dir;
    const Bytes image = Headerless(FdsImage({FdsSide(2, 1), FdsSide(3, 2)}));
    WriteFile(dir / "disk.fds", image);
    const std::string line =
        "cd '" + dir.path() + "' && (md5sum disk.fds; sha1sum disk.fds) | cut -d' ' -f1 > said";
    ASSERT_EQ(0, std::system(line.c_str()));
    const Digests d = Digest(image);
    EXPECT_EQ(d.md5 + "\n" + d.sha1 + "\n", Text(ReadFile(dir / "said")));
#endif
}

// Two roms in an XML DAT, two in a text DAT, however they are quoted.
TEST(Dat, Readers) {
    const struct {
        std::string text;
        std::string roms;  // game/rom/size/crc/md5/sha1, ";" between
        std::string error;
    } cases[] = {
        {R"x(<?xml version="1.0"?>
<!DOCTYPE datafile PUBLIC "-//Logiqx//DTD ROM Management Datafile//EN" "x.dtd">
<datafile><header><name>Kit</name></header>
<game name="Disk &amp; Co (Japan)"><description>Disk</description>
<rom name="Disk.fds" size="131000" crc="0A0B0C0D" md5="00112233445566778899AABBCCDDEEFF" sha1="0123456789abcdef0123456789abcdef01234567"/></game>
<machine name="Tape"><rom name="tape.mzt" size="4224" crc="1234"/></machine></datafile>)x",
         "Disk & Co (Japan)/Disk.fds/131000/0a0b0c0d/00112233445566778899aabbccddeeff/"
         "0123456789abcdef0123456789abcdef01234567;Tape/tape.mzt/4224/00001234//",
         ""},
        {"clrmamepro (\n\tname \"Kit\"\n\tdescription \"Kit (2026)\"\n)\n\n"
         "game (\n\tname \"Disk (Japan)\"\n\tdescription \"Disk (Japan)\"\n"
         "\trom ( name \"Disk (Japan).fds\" size 131000 crc 0A0B0C0D md5 "
         "00112233445566778899aabbccddeeff )\n)\n"
         "game(name Tape rom(name Tape One.mzt size 4224 crc ffffffff flags verified))\n",
         "Disk (Japan)/Disk (Japan).fds/131000/0a0b0c0d/00112233445566778899aabbccddeeff/;"
         "Tape/Tape One.mzt/4224/ffffffff//",
         ""},
        {"game ( rom ( name a.fds size 1 crc 01 ) name \"After\" )", "After/a.fds/1/00000001//",
         ""},
        {"<datafile><game name=\"x\"><rom name=\"a\"></game></datafile>", "",
         "line 1: not well-formed XML: invalid closing tag name"},
        {"<games/>", "", "an XML file without the <datafile> element of a Logiqx DAT"},
        {"clrmamepro ( name \"Kit )\n", "", "line 1: a quoted text is not closed"},
        {"game ( name x\n rom ( name a size 1 )\n", "", "line 1: the ( of game is not closed"},
        {"game name x", "", "line 1: 'game' where a block such as game ( ... ) should begin"},
        {"  \n", "", "neither a Logiqx XML DAT nor a clrmamepro DAT: no block in it"},
    };
    for (const auto& c : cases) {
        Dat dat;
        std::string error;
        const bool parsed = ParseDat(c.text, dat, error);
        EXPECT_EQ(c.error.empty(), parsed) << c.text;
        EXPECT_EQ(c.error, error) << c.text;
        std::string roms;
        for (const DatRom& r : dat.roms) {
            roms += (roms.empty() ? "" : ";") + r.game + "/" + r.name + "/" +
                    (r.size ? std::to_string(*r.size) : "-") + "/" + r.crc32 + "/" + r.md5 + "/" +
                    r.sha1;
        }
        if (parsed) EXPECT_EQ(c.roms, roms) << c.text;
    }
}

// Sides one after another, each its share of the form.
Json SidesOf(const Bytes& form, std::size_t each) {
    Json sides = Json::array();
    for (std::size_t at = 0; at < form.size(); at += each) {
        const Digests d = Digest(form.data() + at, std::min(each, form.size() - at));
        sides.push_back(d.crc32);
    }
    return sides;
}

Json SideCrcs(const Json& hashes) {
    Json crcs = Json::array();
    if (hashes.is_null()) return crcs;
    for (const Json& side : hashes["sides"]) crcs.push_back(side["crc32"]);
    return crcs;
}

// info's hashes for every kind, against the forms the test makes: the side
// areas without the header, the .qd image and the tape the kit writes.
TEST(Hashes, InfoForEveryKind) {
    TempDir dir;
    const Bytes disk = FdsImage({FdsSide(2, 1), FdsSide(3, 2)});
    const Bytes one = FdsImage({FdsSide(2, 5)});
    const Bytes tape = MztFile({Entry("MONITOR", 4096, 1), Entry("HELLO", 31, 2)});
    WriteFile(dir / "disk.fds", disk);
    WriteFile(dir / "bare.fds", Headerless(disk));
    WriteFile(dir / "one.fds", one);
    WriteFile(dir / "blank.fds", WithBlankSide(one));
    WriteFile(dir / "tape.mzt", tape);
    for (const auto& args :
         std::vector<std::vector<std::string>>{{"--to", "fds-qd", "disk.fds"},
                                               {"--to", "fds-qd", "-o", "one.qd", "one.fds"},
                                               {"one.fds"},
                                               {"tape.mzt"},
                                               {"--to", "qdf", "tape.mzt"},
                                               {"--to", "mzq", "tape.mzt"},
                                               {"--to", "hxc-qd", "tape.mzt"}}) {
        std::vector<std::string> call{"convert", "-q"};
        call.insert(call.end(), args.begin(), args.end());
        ASSERT_EQ(0, RunProgram(dir.path(), "qdkit", call).status) << args.back();
    }
    WriteFile(dir / "bad.DKA", FlipDataBit(ReadFile(dir / "one.DKA"), 4550));
    const Bytes qd = ReadFile(dir / "disk.qd");
    const Bytes onequd = ReadFile(dir / "one.qd");
    const struct {
        std::string file;
        std::string kind;
        Bytes image;  // the headerless image, or the MZT; empty for none
        Bytes qdform;
    } cases[] = {
        {"disk.fds", "fds", Headerless(disk), qd},
        {"bare.fds", "fds", Headerless(disk), qd},
        {"disk.qd", "fds-qd", Headerless(disk), qd},
        {"one.DKA", "fds-raw", Headerless(one), onequd},
        // A blank side is left out of the .qd form, as convert leaves it out.
        {"blank.fds", "fds", Headerless(WithBlankSide(one)), onequd},
        {"bad.DKA", "fds-raw", {}, {}},
        {"tape.mzt", "mzt", tape, {}},
        {"tape.QDK", "qd-raw", tape, {}},
        {"tape.qdf", "qdf", tape, {}},
        {"tape.mzq", "mzq", tape, {}},
        {"tape.qd", "hxc-qd", tape, {}},
    };
    for (const auto& c : cases) {
        const RunResult run = RunProgram(dir.path(), "qdkit", {"info", "--json", c.file});
        const Json object = Json::parse(run.out).at(0);
        EXPECT_EQ(c.kind, object["kind"]) << c.file;
        EXPECT_EQ(c.image.empty() ? "null" : Join(Digest(c.image)), Join(object["hashes"]))
            << c.file;
        if (c.kind.rfind("fds", 0) != 0) {
            EXPECT_FALSE(object.contains("hashes_qd")) << c.file;
            continue;
        }
        EXPECT_EQ(c.qdform.empty() ? "null" : Join(Digest(c.qdform)), Join(object["hashes_qd"]))
            << c.file;
        EXPECT_EQ(SidesOf(c.image, 65500), SideCrcs(object["hashes"])) << c.file;
        EXPECT_EQ(SidesOf(c.qdform, 65536), SideCrcs(object["hashes_qd"])) << c.file;
    }
}

// --hash in the view for people: one row per form, and per side of more.
TEST(Hashes, InfoTable) {
    TempDir dir;
    const Bytes disk = FdsImage({FdsSide(2, 1), FdsSide(3, 2)});
    WriteFile(dir / "disk.fds", disk);
    WriteFile(dir / "tape.mzt", MztFile({Entry("HELLO", 31, 2)}));
    const RunResult run =
        RunProgram(dir.path(), "qdkit", {"info", "--hash", "disk.fds", "tape.mzt"});
    EXPECT_EQ(0, run.status) << run.err;
    const Digests image = Digest(Headerless(disk));
    const Digests side = Digest(Bytes(disk.begin() + 16, disk.begin() + 16 + 65500));
    for (const std::string& row : std::vector<std::string>{
             "  FORM            SIZE  CRC32     MD5",
             "  image         131000  " + image.crc32 + "  " + image.md5 + "  " + image.sha1,
             "  image side A   65500  " + side.crc32 + "  " + side.md5 + "  " + side.sha1,
             "  .qd side B     65536  ", "  mzt    159  "}) {
        EXPECT_NE(std::string::npos, run.out.find(row)) << row << "\n" << run.out;
    }
    EXPECT_EQ(std::string::npos,
              RunProgram(dir.path(), "qdkit", {"info", "disk.fds"}).out.find("SHA1"));
}

std::string XmlRom(const std::string& game, const std::string& rom, const Bytes& bytes) {
    const Digests d = Digest(bytes);
    return "<game name=\"" + game + "\"><description>" + game + "</description><rom name=\"" + rom +
           "\" size=\"" + std::to_string(d.size) + "\" crc=\"" + d.crc32 + "\" md5=\"" + d.md5 +
           "\" sha1=\"" + d.sha1 + "\"/></game>\n";
}

std::string TextRom(const std::string& game, const std::string& rom, const Bytes& bytes) {
    const Digests d = Digest(bytes);
    return "game (\n\tname \"" + game + "\"\n\trom ( name \"" + rom + "\" size " +
           std::to_string(d.size) + " crc " + d.crc32 + " sha1 " + d.sha1 + " )\n)\n";
}

// match through the binary, DATs in both forms naming the forms of the
// test's own images, and files of every sort beside them.
TEST(Match, Table) {
    TempDir dir;
    const Bytes disk = FdsImage({FdsSide(2, 1), FdsSide(3, 2)});
    const Bytes one = FdsImage({FdsSide(2, 5)});
    const Bytes tape = MztFile({Entry("MONITOR", 4096, 1), Entry("HELLO", 31, 2)});
    WriteFile(dir / "disk.fds", disk);
    WriteFile(dir / "one.fds", one);
    WriteFile(dir / "tape.mzt", tape);
    WriteFile(dir / "other.fds", FdsImage({FdsSide(1, 9)}));
    WriteFile(dir / "notes.txt", Of("notes\n"));
    for (const auto& args : std::vector<std::vector<std::string>>{
             {"--to", "fds-qd", "disk.fds"}, {"one.fds"}, {"tape.mzt"}}) {
        std::vector<std::string> call{"convert", "-q"};
        call.insert(call.end(), args.begin(), args.end());
        ASSERT_EQ(0, RunProgram(dir.path(), "qdkit", call).status);
    }
    std::mt19937 rng(7);
    WriteFile(dir / "one.cap", TickCapture(ReadFile(dir / "one.DKA"), 0.0, 0, rng));
    WriteFile(dir / "bad.DKA", FlipDataBit(ReadFile(dir / "one.DKA"), 4550));
    Bytes badqd = ReadFile(dir / "disk.qd");
    badqd[300] ^= 1;  // in side A's last file: its CRC fails
    WriteFile(dir / "bad.qd", badqd);
    Bytes near = Headerless(one);
    near.back() ^= 1;  // the same size, other hashes
    WriteFile(dir / "kit.xml",
              Of("<?xml version=\"1.0\"?>\n<datafile>\n<header><name>Kit</name></header>\n" +
                 XmlRom("Disk (Japan)", "Disk (Japan).fds", Headerless(disk)) +
                 XmlRom("Disk (Japan) [qd]", "Disk (Japan).qd", ReadFile(dir / "disk.qd")) +
                 XmlRom("Near", "near.fds", near) + "</datafile>\n"));
    WriteFile(dir / "kit.dat",
              Of("clrmamepro ( name \"Kit\" )\n" + TextRom("One", "One.fds", Headerless(one)) +
                 TextRom("Tape", "Tape.mzt", tape) + TextRom("Notes", "notes.txt", Of("notes\n"))));
    const std::string disks = "\"Disk (Japan)\" rom \"Disk (Japan).fds\" (headerless image)";
    const std::string diskqd = "\"Disk (Japan) [qd]\" rom \"Disk (Japan).qd\" (.qd image)";
    const std::string ones = "\"One\" rom \"One.fds\" (headerless image)";
    const std::string tapes = "\"Tape\" rom \"Tape.mzt\" (MZT)";
    WriteFile(dir / "bad.dat", Of("game ( name x\n game ( name y rom ( name a crc 1 ) )\n"));
    const auto match = [](std::vector<std::string> files) {
        std::vector<std::string> args{"match", "--dat", "kit.xml", "--dat", "kit.dat"};
        args.insert(args.end(), files.begin(), files.end());
        return args;
    };
    const struct {
        std::vector<std::string> args;
        int status;
        std::vector<std::string> out;
        std::string last;  // the standard error stream's last line
    } cases[] = {
        {match({"disk.fds", "disk.qd"}),
         0,
         {"disk.fds: " + disks, "disk.fds: " + diskqd, "disk.qd: " + disks, "disk.qd: " + diskqd},
         "qdkit: 2 files: 2 matched, 0 skipped, 0 failed"},
        {match({"one.fds", "one.DKA", "one.cap", "tape.mzt", "tape.QDK", "notes.txt"}),
         0,
         {"one.fds: " + ones, "one.DKA: " + ones, "one.cap: " + ones, "tape.mzt: " + tapes,
          "tape.QDK: " + tapes, "notes.txt: \"Notes\" rom \"notes.txt\" (the file itself)"},
         "qdkit: 6 files: 6 matched, 0 skipped, 0 failed"},
        {match({"other.fds"}), 1, {"other.fds: no match"}, ""},
        {match({"bad.DKA", "missing.fds"}),
         1,
         {"bad.DKA: no match", "missing.fds: FAILED: cannot open: no such file or directory"},
         "qdkit: 2 files: 0 matched, 0 skipped, 2 failed"},
        {match({"bad.qd"}),
         1,
         {"bad.qd: no match"},
         "qdkit: error: bad.qd: side A: block 6 (ID 04) fails its CRC: E3B3 stored, 9F61 computed"},
        {{"match", "one.fds"}, 2, {}, "Run 'qdkit help match' for more information."},
        {{"match", "--dat", "none.dat", "one.fds"},
         1,
         {},
         "qdkit: error: none.dat: cannot open: no such file or directory"},
        {{"match", "--dat", "bad.dat", "one.fds"},
         1,
         {},
         "qdkit: error: bad.dat: line 1: the ( of game is not closed"},
        {{"recover", "--dat", "kit.dat", "-o", "r.fds", "one.DKA"},
         0,
         {"...", "one.DKA: the rescued side is " + ones},
         ""},
        {{"recover", "--dat", "kit.xml", "-o", "s.fds", "one.DKA"},
         0,
         {"...", "one.DKA: the rescued side matches no dump the DATs list"},
         ""},
    };
    for (const auto& c : cases) {
        const RunResult run = RunProgram(dir.path(), "qdkit", c.args);
        const std::string what = ::testing::PrintToString(c.args);
        EXPECT_EQ(c.status, run.status) << what << run.err;
        std::string out;
        for (const std::string& line : c.out) out += line + "\n";
        if (!c.out.empty() && c.out.front() == "...") {
            EXPECT_EQ(c.out.back(), LastLine(run.out)) << what;
        } else {
            EXPECT_EQ(out, run.out) << what;
        }
        EXPECT_EQ(c.last, LastLine(run.err)) << what << run.err;
    }
}

// One object per file, with the entries that matched.
TEST(Match, Json) {
    TempDir dir;
    const Bytes tape = MztFile({Entry("HELLO", 31, 2)});
    WriteFile(dir / "tape.mzt", tape);
    WriteFile(dir / "kit.dat", Of(TextRom("Tape", "Tape.mzt", tape)));
    WriteFile(dir / "notes.txt", Of("notes\n"));
    const RunResult run = RunProgram(
        dir.path(), "qdkit", {"match", "--json", "--dat", "kit.dat", "tape.mzt", "notes.txt"});
    EXPECT_EQ(1, run.status);
    EXPECT_EQ(Json::parse(R"([{"file": "tape.mzt", "kind": "mzt", "matched": true,
                               "matches": [{"dat": "kit.dat", "game": "Tape", "rom": "Tape.mzt",
                                            "form": "mzt"}],
                               "warnings": [], "errors": []},
                              {"file": "notes.txt", "kind": null, "matched": false,
                               "matches": [], "warnings": [], "errors": []}])"),
              Json::parse(run.out));
}

}  // namespace
