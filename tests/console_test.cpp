#include "common/console.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#endif

#include "common/messages.h"
#include "common/platform.h"
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

std::vector<const char*> AllMessages() {
    std::vector<const char*> all(std::begin(kCommonMessages), std::end(kCommonMessages));
    for (const auto& list :
         {std::vector<const char*>(std::begin(talvret::kMessages), std::end(talvret::kMessages)),
          std::vector<const char*>(std::begin(omblisk::kMessages), std::end(omblisk::kMessages)),
          std::vector<const char*>(std::begin(pelgrane::kMessages), std::end(pelgrane::kMessages)),
          std::vector<const char*>(std::begin(surbeck::kMessages), std::end(surbeck::kMessages)),
          std::vector<const char*>(std::begin(wenmark::kMessages), std::end(wenmark::kMessages))}) {
        all.insert(all.end(), list.begin(), list.end());
    }
    return all;
}

// Every message of every program: each character that is not ASCII becomes
// two Shift-JIS bytes (the table holds it), and comes back unchanged.
TEST(Messages, EveryOneConvertsBothWays) {
    for (const char* text : AllMessages()) {
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
    console.Out(omblisk::kFileNum, 3);
    console.Raw("NAME:\x8A\xBF%\n");  // bytes from a disk go out as they are
    console.Line(kConversionDone);
    console.Err(kFileNotFound, "x");
    console.Err(omblisk::kBadBlockId, 0x2A, 0xABCDEFu);
    EXPECT_EQ("FILE NUM: 3\nNAME:\x8A\xBF%\n" + Utf8ToShiftJis(kConversionDone) + "\n", out);
    EXPECT_EQ("ERROR : file not found. [x]\n" +
                  Utf8ToShiftJis("ERROR : BLOCK ID が正しくありません。") + " ID=2A ABCDEF\n",
              err);
}

// A Windows console gets every message as UTF-16, character for character.
TEST(Console, EveryMessageReachesAWindowsConsoleAsUtf16) {
    for (const char* text : AllMessages()) {
        std::u16string out, err;
        Console console(&out, &err);
        console.Line(text);
        const std::string utf8 = std::string(text) + "\n";
        EXPECT_EQ(utf8, Utf16ToUtf8(out)) << text;
        std::size_t characters = 0;
        for (char c : utf8) characters += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
        EXPECT_EQ(characters, out.size()) << text;  // one unit each: no U+FFFD pairs
        for (char16_t unit : out) {
            EXPECT_NE(0xFFFD, unit) << text;
            // Beyond ASCII, only characters of the Shift-JIS table.
            if (unit >= 0x80) EXPECT_EQ(2u, Utf8ToShiftJis(Utf16ToUtf8({unit})).size()) << text;
        }
#ifdef _WIN32
        // Windows' own conversion agrees.
        const int length =
            MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
        std::wstring wide(static_cast<std::size_t>(length), L'\0');
        MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(),
                            length);
        EXPECT_EQ(std::u16string(wide.begin(), wide.end()), out) << text;
#endif
    }
    std::u16string out, err;
    Console console(&out, &err);
    console.Line(kConversionDone);
    console.Err(pelgrane::kCrcError, 0xBEEF);
    EXPECT_EQ(u"変換が終了しました\n", out);
    EXPECT_EQ(u"ERROR : CRCエラー(BEEF)\n", err);
}

// Names hold what no code page has: a console shows them whole, files and
// pipes get the system code page with '?' for what it lacks.
TEST(Console, NamesOutsideTheCodePage) {
    const std::string name = "한글表.fds";  // Hangul, then a kanji with a '\' second byte
    std::u16string wide, widerr;
    Console console(&wide, &widerr);
    console.Out(omblisk::kOutputFile, name.c_str());
    console.Err(kFileNotFound, name.c_str());
    EXPECT_EQ(u"出力ファイル:한글表.fds\n", wide);
    EXPECT_EQ(u"ERROR : file not found. [한글表.fds]\n", widerr);

    std::string out, err;
    Console pipe(&out, &err);
    pipe.Out(omblisk::kOutputFile, name.c_str());
    EXPECT_EQ(Utf8ToShiftJis("出力ファイル:") + NameBytes(name) + "\n", out);
#ifdef _WIN32
    EXPECT_EQ("??\x95\\.fds", NameBytes(name, 932));
    EXPECT_EQ("???.fds", NameBytes(name, 1252));
    EXPECT_EQ("\xE9t\xE9.fds", NameBytes("été.fds", 1252));
    EXPECT_EQ(name, NameBytes(name, CP_UTF8));
#else
    EXPECT_EQ(name, NameBytes(name));
#endif
}

TEST(Utf16, ConvertsBothWays) {
    const struct {
        std::string utf8;
        std::u16string utf16;
    } cases[] = {
        {"", u""},
        {"A/\\.fds", u"A/\\.fds"},
        {"é表한", u"é表한"},
        {"\xF0\x9F\x92\xBE", u"\U0001F4BE"},  // beyond the first plane: a surrogate pair
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.utf16, Utf8ToUtf16(c.utf8)) << c.utf8;
        EXPECT_EQ(c.utf8, Utf16ToUtf8(c.utf16)) << c.utf8;
    }
    // What is not well formed becomes U+FFFD, never a wrong character.
    EXPECT_EQ(u"\uFFFDA\uFFFD\uFFFD", Utf8ToUtf16("\x95"
                                                  "A\xC0\xAF"));
    EXPECT_EQ(u"\uFFFD\uFFFD", Utf8ToUtf16("\xE8\xA1"));            // cut short
    EXPECT_EQ(u"\uFFFD\uFFFD\uFFFD", Utf8ToUtf16("\xED\xA0\x80"));  // a surrogate
    EXPECT_EQ("\xEF\xBF\xBD", Utf16ToUtf8(std::u16string(1, char16_t(0xD800))));
}

}  // namespace
