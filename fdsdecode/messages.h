// Everything Omblisk prints of its own.
#pragma once

namespace omblisk {

inline constexpr const char* kName = "Omblisk";
inline constexpr const char* kTitle = "FDS image decoder";
inline constexpr const char* kUsage = " Usage : Omblisk filename";
inline constexpr const char* kOutputFile = "出力ファイル:%s\n";
inline constexpr const char* kConverting = "変換しています...";
inline constexpr const char* kFileNum = "FILE NUM: %d\n";
inline constexpr const char* kNoFirstSync = "ERROR : Syncデータが見つかりません。(ERROR 21)\n";
inline constexpr const char* kSyncLost = "ERROR : Syncデータが見つかりません。%3d/%3d\n";
inline constexpr const char* kBadBlockId = "ERROR : BLOCK ID が正しくありません。 ID=%02X %6X\n";
inline constexpr const char* kBadCrc = "ERROR : CRC が正しくありません。index:%d crc:%04X\n";

inline constexpr const char* kExtension = ".fds";

inline constexpr const char* kMessages[] = {
    kTitle,       kUsage,    kOutputFile, kConverting, kFileNum,
    kNoFirstSync, kSyncLost, kBadBlockId, kBadCrc,
};

}  // namespace omblisk
