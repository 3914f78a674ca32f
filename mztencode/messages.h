// Everything Surbeck prints of its own; the file information lines are
// shared with Pelgrane (qd/fileinfo.h).
#pragma once

namespace surbeck {

inline constexpr const char* kName = "Surbeck";
inline constexpr const char* kTitle = "MZT image encoder";
inline constexpr const char* kUsage = " Usage : Surbeck mztfile";
inline constexpr const char* kFileSizeError = "ERROR : file size error.\n";
inline constexpr const char* kTruncated = "ERROR : MZT record %d runs past the end of the file.\n";
inline constexpr const char* kBlockNumberError = "ERROR : MZT block number error. [%d]\n";
inline constexpr const char* kBlocks = "MZT blocks: %d\n";
inline constexpr const char* kRecordsDone = "End of data.";

inline constexpr const char* kExtension = ".QDK";

inline constexpr const char* kMessages[] = {
    kTitle, kUsage, kFileSizeError, kTruncated, kBlockNumberError, kBlocks, kRecordsDone,
};

}  // namespace surbeck
