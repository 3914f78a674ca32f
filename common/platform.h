// Where the kit meets the platform's text. File names inside the kit are
// UTF-8 on Windows, which hands them over as UTF-16 (a narrow command line
// loses what the system code page lacks), and bytes as given elsewhere.
#pragma once

#include <cstdio>
#include <filesystem>
#include <string>

// Replaces argc and argv with the command line in the kit's own form: on
// Windows read wide and held as UTF-8 for the whole run; elsewhere as given.
void TakeCommandLine(int& argc, char**& argv);

// A name of the kit as a path to examine, and back.
std::filesystem::path NativePath(const std::string& name);
std::string KitName(const std::filesystem::path& path);
// fopen by the kit's name.
std::FILE* OpenByName(const char* name, const char* mode);
// A new file to write ("wb"), which may be removed while it is open.
std::FILE* OpenTemporaryByName(const char* name);
// The standard input or output carries bytes as they are (Windows opens
// them in text mode).
void BinaryStandardStream(std::FILE* stream);
// rename, replacing a file of the new name.
bool RenameOver(const std::string& from, const std::string& to);

// UTF-8 and UTF-16. A byte that starts no well-formed character becomes
// U+FFFD, and so does an unpaired surrogate going the other way.
std::u16string Utf8ToUtf16(const std::string& text);
std::string Utf16ToUtf8(const std::u16string& text);

// The bytes a name is printed as in files and pipes: on Windows in the
// system code page, as the kit always printed its narrow command line, with
// '?' for each character the code page lacks; elsewhere the name itself.
std::string NameBytes(const std::string& name);

#ifdef _WIN32
// NameBytes in the given code page.
std::string NameBytes(const std::string& name, unsigned codepage);
// Bytes in the system code page, as a console is to show them.
std::u16string SystemBytesToUtf16(const std::string& bytes);
#endif
