// Messages that several programs print, byte for byte (Japanese ones leave
// the kit as Shift-JIS).
#pragma once

inline constexpr const char* kFileNotFound = "ERROR : file not found. [%s]\n";
inline constexpr const char* kFileReadError = "ERROR : file read error.\n";
inline constexpr const char* kFileOpenError = "ERROR : file open error.\n";
inline constexpr const char* kFileWriteError = "ERROR : file write error.\n";
// In place of an output's open error when the output is the input itself.
inline constexpr const char* kOutputIsInput = "ERROR : output file is the input file. [%s]\n";
// The encoders' closing line for the raw image they wrote.
inline constexpr const char* kCompleteLine = "Complete.";
inline constexpr const char* kRawSizeOver = "ERROR : raw file size is over.\n";
inline constexpr const char* kEndOfData = "ERROR : ファイルの終端に達しました。\n";
// The decoders' closing line.
inline constexpr const char* kConversionDone = "変換が終了しました";

inline constexpr const char* kCommonMessages[] = {
    kFileNotFound, kFileReadError, kFileOpenError, kFileWriteError,
    kCompleteLine, kRawSizeOver,   kEndOfData,     kConversionDone,
};
