#include "common/shiftjis.h"

#include <algorithm>
#include <cstdint>
#include <iterator>

namespace {

struct Character {
    std::uint16_t shiftjis;
    std::uint16_t unicode;
};

// Sorted by the Shift-JIS code; the one table for both directions.
constexpr Character kCharacters[] = {
    {0x8142, 0x3002},  // 。
    {0x815B, 0x30FC},  // ー
    {0x82A0, 0x3042},  // あ
    {0x82A2, 0x3044},  // い
    {0x82A9, 0x304B},  // か
    {0x82AA, 0x304C},  // が
    {0x82AD, 0x304F},  // く
    {0x82B5, 0x3057},  // し
    {0x82B7, 0x3059},  // す
    {0x82B9, 0x305B},  // せ
    {0x82BD, 0x305F},  // た
    {0x82C2, 0x3064},  // つ
    {0x82C4, 0x3066},  // て
    {0x82C5, 0x3067},  // で
    {0x82C9, 0x306B},  // に
    {0x82CC, 0x306E},  // の
    {0x82CD, 0x306F},  // は
    {0x82DC, 0x307E},  // ま
    {0x82DD, 0x307F},  // み
    {0x82E8, 0x308A},  // り
    {0x82F0, 0x3092},  // を
    {0x82F1, 0x3093},  // ん
    {0x8340, 0x30A1},  // ァ
    {0x8343, 0x30A4},  // イ
    {0x8347, 0x30A8},  // エ
    {0x834E, 0x30AF},  // ク
    {0x8354, 0x30B5},  // サ
    {0x8359, 0x30BA},  // ズ
    {0x835E, 0x30BF},  // タ
    {0x8362, 0x30C3},  // ッ
    {0x8366, 0x30C7},  // デ
    {0x8374, 0x30D5},  // フ
    {0x8375, 0x30D6},  // ブ
    {0x8389, 0x30E9},  // ラ
    {0x838B, 0x30EB},  // ル
    {0x838D, 0x30ED},  // ロ
    {0x88D9, 0x7570},  // 異
    {0x8AB7, 0x63DB},  // 換
    {0x8C60, 0x5F62},  // 形
    {0x8CA9, 0x898B},  // 見
    {0x8EA6, 0x793A},  // 示
    {0x8EAE, 0x5F0F},  // 式
    {0x8F49, 0x7D42},  // 終
    {0x8F6F, 0x51FA},  // 出
    {0x8FED, 0x5E38},  // 常
    {0x8FEE, 0x60C5},  // 情
    {0x9094, 0x6570},  // 数
    {0x90B3, 0x6B63},  // 正
    {0x90B6, 0x751F},  // 生
    {0x9242, 0x9054},  // 達
    {0x925B, 0x7AEF},  // 端
    {0x94AD, 0x767A},  // 発
    {0x955C, 0x8868},  // 表
    {0x95CF, 0x5909},  // 変
    {0x95F1, 0x5831},  // 報
    {0x96CA, 0x9762},  // 面
    {0x97B9, 0x4E86},  // 了
    {0x97CD, 0x529B},  // 力
};

bool IsLeadByte(unsigned char byte) {
    return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

void AppendUtf8(std::string& out, std::uint16_t code) {
    if (code < 0x800) {
        out += static_cast<char>(0xC0 | code >> 6);
    } else {
        out += static_cast<char>(0xE0 | code >> 12);
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    }
    out += static_cast<char>(0x80 | (code & 0x3F));
}

// Bytes of the UTF-8 sequence of at most three bytes that starts at i, or 1.
std::size_t Utf8Length(const std::string& text, std::size_t i) {
    const auto lead = static_cast<unsigned char>(text[i]);
    const std::size_t length = (lead & 0xE0) == 0xC0 ? 2 : (lead & 0xF0) == 0xE0 ? 3 : 1;
    if (i + length > text.size()) return 1;
    for (std::size_t k = 1; k < length; ++k) {
        if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) return 1;
    }
    return length;
}

std::uint16_t DecodeUtf8(const std::string& text, std::size_t i, std::size_t length) {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[i + k]); };
    if (length == 2) return static_cast<std::uint16_t>((byte(0) & 0x1F) << 6 | (byte(1) & 0x3F));
    return static_cast<std::uint16_t>((byte(0) & 0x0F) << 12 | (byte(1) & 0x3F) << 6 |
                                      (byte(2) & 0x3F));
}

}  // namespace

std::string ShiftJisToUtf8(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto lead = static_cast<unsigned char>(text[i]);
        if (IsLeadByte(lead) && i + 1 < text.size()) {
            const auto code =
                static_cast<std::uint16_t>(lead << 8 | static_cast<unsigned char>(text[i + 1]));
            const auto found = std::lower_bound(
                std::begin(kCharacters), std::end(kCharacters), code,
                [](const Character& c, std::uint16_t v) { return c.shiftjis < v; });
            if (found != std::end(kCharacters) && found->shiftjis == code) {
                AppendUtf8(out, found->unicode);
                ++i;
                continue;
            }
        }
        out += text[i];
    }
    return out;
}

std::string Utf8ToShiftJis(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const std::size_t length = Utf8Length(text, i);
        const std::uint16_t code = length > 1 ? DecodeUtf8(text, i, length) : 0;
        const auto found =
            std::find_if(std::begin(kCharacters), std::end(kCharacters),
                         [code](const Character& c) { return code != 0 && c.unicode == code; });
        if (found == std::end(kCharacters)) {
            out += text[i];
            continue;
        }
        out += static_cast<char>(found->shiftjis >> 8);
        out += static_cast<char>(found->shiftjis & 0xFF);
        i += length - 1;
    }
    return out;
}
