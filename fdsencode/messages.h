// Everything Talvret prints of its own.
#pragma once

namespace talvret {

inline constexpr const char* kName = "Talvret";
inline constexpr const char* kTitle = "FDS image encoder";
inline constexpr const char* kUsage = " Usage : Talvret filename";
inline constexpr const char* kSizeError = "ERROR : FDS形式のファイルサイズが正しくありません\n";
inline constexpr const char* kNotFds = "ERROR : FDS形式ではありません\n";
inline constexpr const char* kNoSides = "ERROR : FDSの面数が正しくありません\n";
inline constexpr const char* kTooManySides = "Warning : FDSの面数は2面までしか変換しません\n";
inline constexpr const char* kDiskNumber = "FDS disk number : %d\n";
inline constexpr const char* kCreateFile = "Create file: %s\n";
inline constexpr const char* kUnknownId = "ERROR: Unknown ID : %02X\n";
inline constexpr const char* kConversionError = "ERROR : 変換でエラーが発生しました\n";
inline constexpr const char* kFinished = "変換が終了しました。";

// Output names: the input's base name and one of these per side.
inline constexpr const char* kSideNames[] = {".DKA", ".DKB"};

inline constexpr const char* kMessages[] = {
    kTitle,      kUsage,      kSizeError, kNotFds,          kNoSides,  kTooManySides,
    kDiskNumber, kCreateFile, kUnknownId, kConversionError, kFinished,
};

}  // namespace talvret
