// Messages that several programs print, byte for byte. Japanese texts are
// Shift-JIS; the readable text stands beside each.
#pragma once

inline constexpr const char* kFileNotFound = "ERROR : file not found. [%s]\n";
inline constexpr const char* kFileReadError = "ERROR : file read error.\n";
inline constexpr const char* kFileOpenError = "ERROR : file open error.\n";
inline constexpr const char* kFileWriteError = "ERROR : file write error.\n";
// The encoders' closing line for the raw image they wrote.
inline constexpr const char* kCompleteLine = "Complete.";
inline constexpr const char* kRawSizeOver = "ERROR : raw file size is over.\n";

// ERROR : ファイルの終端に達しました。
inline constexpr const char* kEndOfData =
    "ERROR : \x83t\x83@\x83"
    "C\x83\x8B\x82\xCC\x8FI\x92[\x82\xC9\x92"
    "B\x82\xB5\x82\xDC\x82\xB5\x82\xBD\x81"
    "B\n";
// 変換が終了しました
inline constexpr const char* kConversionDone =
    "\x95\xCF\x8A\xB7\x82\xAA\x8FI\x97\xB9\x82\xB5\x82\xDC\x82\xB5\x82\xBD";
