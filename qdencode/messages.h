// Everything Wenmark prints of its own.
#pragma once

namespace wenmark {

inline constexpr const char* kName = "Wenmark";
inline constexpr const char* kTitle = "QD image encoder";
inline constexpr const char* kUsage = " Usage : Wenmark imagefile outname";
inline constexpr const char* kSizeError = "ERROR : file size error.\n";
inline constexpr const char* kFormatError = "ERROR : file format error.\n";
inline constexpr const char* kOpenError = "ERROR : file open error. [%s]\n";

inline constexpr const char* kMessages[] = {kTitle, kUsage, kSizeError, kFormatError, kOpenError};

}  // namespace wenmark
