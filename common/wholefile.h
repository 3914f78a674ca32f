// Whole-file loading and saving, the same steps in every program.
#pragma once

#include <cstdint>
#include <vector>

#include "common/console.h"
#include "common/fileio.h"
#include "common/messages.h"
#include "common/outputfile.h"

// Far beyond any disk image; a larger input is not held in memory.
inline constexpr std::int64_t kMaxInputBytes = std::int64_t{256} << 20;

enum class LoadStatus { kOk, kNotFound, kReadError };

// Opens path for reading and measures it. Anything but a regular file (a
// folder, a pipe, a device) is a read error, and is never opened, since
// opening a FIFO would wait for a writer.
LoadStatus OpenInput(CFile& file, const char* path);
// Reads the whole measured file in one block and closes it.
LoadStatus ReadInput(CFile& file, std::vector<std::uint8_t>& out);
LoadStatus LoadInput(const char* path, std::vector<std::uint8_t>& out);

// Prints the load failure's message; nothing for kOk.
void ReportLoad(Console& console, LoadStatus status, const char* path);
// LoadInput, reporting a failure; true when out holds the whole file.
bool LoadInput(Console& console, const char* path, std::vector<std::uint8_t>& out);

// Opens, writes and closes; false when the file did not get every byte.
bool SaveFile(const char* path, const std::vector<std::uint8_t>& bytes);

// Opens an output of the program that read input, printing why it failed:
// kOutputIsInput, or the program's own open error (openerror, given path).
bool OpenOutput(Console& console, OutputFile& output, const char* path, const char* input,
                const char* openerror);
