// Everything Pelgrane prints of its own; the file information lines are
// shared with Surbeck (qd/fileinfo.h).
#pragma once

namespace pelgrane {

inline constexpr const char* kName = "Pelgrane";
inline constexpr const char* kTitle = "QD image decoder";
inline constexpr const char* kUsage =
    "Usage : Pelgrane [option] imagefile\n"
    " Options\n"
    " -d dump file\n"
    " -s split dump mode\n"
    " -m dump mzt file";
inline constexpr const char* kNoFilename = "ERROR: filename がありません\n";
inline constexpr const char* kConverting = "ファイルを変換します...";
inline constexpr const char* kListing = "ファイル情報のみ表示します...";
inline constexpr const char* kBlockNum = "BLOCK NUM:%d\n";
inline constexpr const char* kGapError = "ERROR : Gapデータが見つかりません。\n";
inline constexpr const char* kIdError = "ERROR : ブロックIDが異常です(%02X)\n";
inline constexpr const char* kCrcError = "ERROR : CRCエラー(%04X)\n";
inline constexpr const char* kUnknownType = "ERROR: Unknown block type (%02X)\n";
inline constexpr const char* kDumpFile = "dump file:%s\n";
inline constexpr const char* kMztFile = "MZT file:%s\n";
inline constexpr const char* kDumpOpenError = "ERROR : file open error (%s)\n";
inline constexpr const char* kDumpWriteError = "ERROR : file write error (%s)\n";

// Output names from the input's base name.
inline constexpr const char* kImageExtension = ".qdf";
inline constexpr const char* kMztExtension = ".mzt";
inline constexpr const char* kInfoDumpName = "%s.%02d.QDINFO";
inline constexpr const char* kDataDumpName = "%s.%02d.QDDATA";

inline constexpr const char* kMessages[] = {
    kTitle,   kUsage,    kNoFilename,  kConverting, kListing, kBlockNum,      kGapError,
    kIdError, kCrcError, kUnknownType, kDumpFile,   kMztFile, kDumpOpenError, kDumpWriteError,
};

}  // namespace pelgrane
