#include "common/console.h"

#include <gtest/gtest.h>

#include <string>

#include "common/messages.h"
#include "common/shiftjis.h"
#include "fdsdecode/messages.h"
#include "fdsencode/messages.h"
#include "mztencode/messages.h"
#include "qddecode/messages.h"
#include "qdencode/messages.h"

namespace {

TEST(ShiftJis, ConvertsBothWays) {
    const struct {
        std::string shiftjis, utf8;
    } cases[] = {
        {"NAME:%s\n", "NAME:%s\n"}, {"\x95\\\x8E\xA6", "表示"},  // a backslash as second byte
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.utf8, ShiftJisToUtf8(c.shiftjis)) << c.shiftjis;
        EXPECT_EQ(c.shiftjis, Utf8ToShiftJis(c.utf8)) << c.utf8;
    }
    // What the table lacks passes unchanged, either way.
    const std::string strays[] = {"\x83\x74\xFF", "\x88\x9F", "A\x83", "漢", "\xE3\x81"};
    EXPECT_EQ("フ\xFF", ShiftJisToUtf8(strays[0]));
    for (int i = 1; i < 3; ++i) EXPECT_EQ(strays[i], ShiftJisToUtf8(strays[i])) << i;
    for (int i = 3; i < 5; ++i) EXPECT_EQ(strays[i], Utf8ToShiftJis(strays[i])) << i;
}

// The bytes every Japanese message has always had in files and pipes.
TEST(Messages, JapaneseOnesKeepTheirBytes) {
    const struct {
        const char* text;
        std::string shiftjis;
    } cases[] = {
        {kEndOfData,
         "ERROR : \x83t\x83@\x83"
         "C\x83\x8B\x82\xCC\x8FI\x92[\x82\xC9\x92"
         "B\x82\xB5\x82\xDC\x82\xB5\x82\xBD\x81"
         "B\n"},
        {kConversionDone, "\x95\xCF\x8A\xB7\x82\xAA\x8FI\x97\xB9\x82\xB5\x82\xDC\x82\xB5\x82\xBD"},
        {omblisk::kOutputFile,
         "\x8Fo\x97\xCD\x83t\x83@\x83"
         "C\x83\x8B:%s\n"},
        {omblisk::kConverting, "\x95\xCF\x8A\xB7\x82\xB5\x82\xC4\x82\xA2\x82\xDC\x82\xB7..."},
        {omblisk::kNoFirstSync,
         "ERROR : Sync\x83"
         "f\x81[\x83^\x82\xAA\x8C\xA9\x82\xC2\x82\xA9\x82\xE8\x82\xDC\x82\xB9\x82\xF1\x81"
         "B(ERROR 21)\n"},
        {omblisk::kSyncLost,
         "ERROR : Sync\x83"
         "f\x81[\x83^\x82\xAA\x8C\xA9\x82\xC2\x82\xA9\x82\xE8\x82\xDC\x82\xB9\x82\xF1\x81"
         "B%3d/%3d\n"},
        {omblisk::kBadBlockId,
         "ERROR : BLOCK ID "
         "\x82\xAA\x90\xB3\x82\xB5\x82\xAD\x82\xA0\x82\xE8\x82\xDC\x82\xB9\x82\xF1\x81"
         "B ID=%02X %6X\n"},
        {omblisk::kBadCrc,
         "ERROR : CRC \x82\xAA\x90\xB3\x82\xB5\x82\xAD\x82\xA0\x82\xE8\x82\xDC\x82\xB9\x82\xF1\x81"
         "Bindex:%d crc:%04X\n"},
        {talvret::kSizeError,
         "ERROR : FDS\x8C`\x8E\xAE\x82\xCC\x83t\x83@\x83"
         "C\x83\x8B\x83T\x83"
         "C\x83Y\x82\xAA\x90\xB3\x82\xB5\x82\xAD\x82\xA0\x82\xE8\x82\xDC\x82\xB9\x82\xF1\n"},
        {talvret::kNotFds,
         "ERROR : FDS\x8C`\x8E\xAE\x82\xC5\x82\xCD\x82\xA0\x82\xE8\x82\xDC\x82\xB9\x82\xF1\n"},
        {talvret::kNoSides,
         "ERROR : "
         "FDS\x82\xCC\x96\xCA\x90\x94\x82\xAA\x90\xB3\x82\xB5\x82\xAD\x82\xA0\x82\xE8\x82\xDC\x82"
         "\xB9\x82\xF1\n"},
        {talvret::kTooManySides,
         "Warning : FDS\x82\xCC\x96\xCA\x90\x94\x82\xCD"
         "2\x96\xCA\x82\xDC\x82\xC5\x82\xB5\x82\xA9\x95\xCF\x8A\xB7\x82\xB5\x82\xDC\x82\xB9\x82\xF1"
         "\n"},
        {talvret::kConversionError,
         "ERROR : "
         "\x95\xCF\x8A\xB7\x82\xC5\x83G\x83\x89\x81["
         "\x82\xAA\x94\xAD\x90\xB6\x82\xB5\x82\xDC\x82\xB5\x82\xBD\n"},
        {talvret::kFinished,
         "\x95\xCF\x8A\xB7\x82\xAA\x8FI\x97\xB9\x82\xB5\x82\xDC\x82\xB5\x82\xBD\x81"
         "B"},
        {pelgrane::kNoFilename,
         "ERROR: filename \x82\xAA\x82\xA0\x82\xE8\x82\xDC\x82\xB9\x82\xF1\n"},
        {pelgrane::kConverting,
         "\x83t\x83@\x83"
         "C\x83\x8B\x82\xF0\x95\xCF\x8A\xB7\x82\xB5\x82\xDC\x82\xB7..."},
        {pelgrane::kListing,
         "\x83t\x83@\x83"
         "C\x83\x8B\x8F\xEE\x95\xF1\x82\xCC\x82\xDD\x95\\\x8E\xA6\x82\xB5\x82\xDC\x82\xB7..."},
        {pelgrane::kGapError,
         "ERROR : Gap\x83"
         "f\x81[\x83^\x82\xAA\x8C\xA9\x82\xC2\x82\xA9\x82\xE8\x82\xDC\x82\xB9\x82\xF1\x81"
         "B\n"},
        {pelgrane::kIdError,
         "ERROR : \x83u\x83\x8D\x83"
         "b\x83NID\x82\xAA\x88\xD9\x8F\xED\x82\xC5\x82\xB7(%02X)\n"},
        {pelgrane::kCrcError, "ERROR : CRC\x83G\x83\x89\x81[(%04X)\n"},
    };
    for (const auto& c : cases) EXPECT_EQ(c.shiftjis, Utf8ToShiftJis(c.text)) << c.text;
}

// Every message of every program: each character that is not ASCII becomes
// two Shift-JIS bytes (the table holds it), and comes back unchanged.
TEST(Messages, EveryOneConvertsBothWays) {
    std::vector<const char*> all(std::begin(kCommonMessages), std::end(kCommonMessages));
    for (const auto& list :
         {std::vector<const char*>(std::begin(talvret::kMessages), std::end(talvret::kMessages)),
          std::vector<const char*>(std::begin(omblisk::kMessages), std::end(omblisk::kMessages)),
          std::vector<const char*>(std::begin(pelgrane::kMessages), std::end(pelgrane::kMessages)),
          std::vector<const char*>(std::begin(surbeck::kMessages), std::end(surbeck::kMessages)),
          std::vector<const char*>(std::begin(wenmark::kMessages), std::end(wenmark::kMessages))}) {
        all.insert(all.end(), list.begin(), list.end());
    }
    for (const char* text : all) {
        const std::string bytes = Utf8ToShiftJis(text);
        EXPECT_EQ(text, ShiftJisToUtf8(bytes)) << text;
        std::size_t expected = 0;
        for (const char* p = text; *p != '\0'; ++p) {
            const auto byte = static_cast<unsigned char>(*p);
            expected += byte < 0x80 ? 1 : byte >= 0xC0 ? 2 : 0;
        }
        EXPECT_EQ(expected, bytes.size()) << text;
    }
}

TEST(Console, CapturesPipeBytes) {
    std::string out, err;
    Console console(&out, &err);
    console.Out("NAME:%s\n", "漢");  // values are never converted
    console.Line(kConversionDone);
    console.Err(kFileNotFound, "x");
    EXPECT_EQ(std::string("NAME:漢\n") + Utf8ToShiftJis(kConversionDone) + "\n", out);
    EXPECT_EQ("ERROR : file not found. [x]\n", err);
}

}  // namespace
