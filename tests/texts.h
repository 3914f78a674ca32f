// The programs' Shift-JIS texts as the tests expect them, byte for byte,
// written out here rather than taken from the code under test.
#pragma once

#include <string>

// ERROR : ファイルの終端に達しました。
inline const std::string kEndOfDataText =
    "ERROR : \x83t\x83@\x83"
    "C\x83\x8B\x82\xCC\x8FI\x92[\x82\xC9\x92"
    "B\x82\xB5\x82\xDC\x82\xB5\x82\xBD\x81"
    "B\n";
// ERROR : 変換でエラーが発生しました
inline const std::string kConversionErrorText =
    "ERROR : \x95\xCF\x8A\xB7\x82\xC5\x83G\x83\x89\x81[\x82\xAA\x94\xAD\x90\xB6\x82\xB5\x82\xDC"
    "\x82\xB5\x82\xBD\n";
// 変換が終了しました, the decoders' closing line
inline const std::string kDoneText =
    "\x95\xCF\x8A\xB7\x82\xAA\x8FI\x97\xB9\x82\xB5\x82\xDC\x82\xB5\x82\xBD\n";
// 変換が終了しました。, Talvret's closing line
inline const std::string kFinishedText =
    "\x95\xCF\x8A\xB7\x82\xAA\x8FI\x97\xB9\x82\xB5\x82\xDC\x82\xB5\x82\xBD\x81"
    "B\n";
// ファイル情報のみ表示します...
inline const std::string kListingText =
    "\x83t\x83@\x83"
    "C\x83\x8B\x8F\xEE\x95\xF1\x82\xCC\x82\xDD\x95\\\x8E\xA6\x82\xB5\x82\xDC\x82\xB7...\n";
// ファイルを変換します...
inline const std::string kConvertingText =
    "\x83t\x83@\x83"
    "C\x83\x8B\x82\xF0\x95\xCF\x8A\xB7\x82\xB5\x82\xDC\x82\xB7...\n";
// ERROR : Gapデータが見つかりません。
inline const std::string kGapErrorText =
    "ERROR : Gap\x83"
    "f\x81[\x83^\x82\xAA\x8C\xA9\x82\xC2\x82\xA9\x82\xE8\x82\xDC\x82\xB9\x82\xF1\x81"
    "B\n";
// ERROR : BLOCK ID が正しくありません。 ID=, before the ID and position
inline const std::string kBadBlockIdText =
    "ERROR : BLOCK ID \x82\xAA\x90\xB3\x82\xB5\x82\xAD\x82\xA0\x82\xE8\x82\xDC\x82\xB9\x82\xF1"
    "\x81"
    "B ID=";
