#include "common/console.h"

#include <gtest/gtest.h>

#include "common/messages.h"
#include "common/shiftjis.h"

namespace {

TEST(ShiftJis, KitMessagesBecomeUtf8) {
    const struct {
        std::string shiftjis, utf8;
    } cases[] = {
        {kEndOfData, "ERROR : ファイルの終端に達しました。\n"},
        {kConversionDone, "変換が終了しました"},
        {"NAME:%s\n", "NAME:%s\n"},
        {"\x83\x74\xFF", "フ\xFF"},  // a byte that is no lead byte passes
        {"\x88\x9F", "\x88\x9F"},    // a character the table lacks passes
        {"A\x83", "A\x83"},          // a lead byte at the end passes
        {"\x95\\\x8E\xA6", "表示"},  // a backslash as second byte
    };
    for (const auto& c : cases) EXPECT_EQ(c.utf8, ShiftJisToUtf8(c.shiftjis)) << c.shiftjis;
}

TEST(Console, CapturesBytesUnchanged) {
    std::string out, err;
    Console console(&out, &err);
    console.Out("NAME:%s\n", "\x83\x74");
    console.Line(kConversionDone);
    console.Err(kFileNotFound, "x");
    EXPECT_EQ(std::string("NAME:\x83\x74\n") + kConversionDone + "\n", out);
    EXPECT_EQ("ERROR : file not found. [x]\n", err);
}

}  // namespace
