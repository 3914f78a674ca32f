#include "common/pathlib.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

TEST(Pathlib, SplitFilename) {
    const struct {
        const char* path;
        const char* base;
    } cases[] = {
        {"C:\\games\\disk1.fds", "disk1"},
        {"games\\disk.fds", "disk"},
        {"games/disk.fds", "disk"},
        {"/home/user/side.a.raw", "side.a"},
        {"dir\\a.b.c", "a.b"},
        {"image", "image"},
        {"dir.d/image", "image"},  // a dot in a folder is no extension
        {".hidden", ".hidden"},
        {"", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(c.base, Pathlib::SplitFilename(c.path)) << c.path;
}

TEST(Pathlib, SplitFileAndPath) {
    const struct {
        const char* path;
        const char* file;
        const char* folder;
    } cases[] = {
        {"C:\\work\\side.raw", "side.raw", "C:\\work"},
        {"a/b/c.mzt", "c.mzt", "a/b"},
        {"/c.mzt", "c.mzt", "/"},
        {"C:\\c.mzt", "c.mzt", "C:\\"},
        {"c.mzt", "c.mzt", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.file, Pathlib::SplitFile(c.path)) << c.path;
        EXPECT_EQ(c.folder, Pathlib::SplitPath(c.path)) << c.path;
    }
}

TEST(Pathlib, CreatePath) {
    const struct {
        const char* base;
        const char* path;
        const char* result;
    } cases[] = {
        {"C:\\work", "..\\out", "C:\\out"},
        {"C:\\work", ".\\out", "C:\\work\\out"},
        {"C:\\work\\", ".\\a\\..\\b", "C:\\work\\b"},
        {"C:\\work", "out", "out"},
        {"C:\\work", "../x", "../x"},  // only the backslash prefixes join
        {"C:\\work", "D:\\abs", "D:\\abs"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.result, Pathlib::CreatePath(c.base, c.path)) << c.base << " + " << c.path;
    }
    EXPECT_EQ("C:\\work\\out\\f.txt", Pathlib::CreateFilePath("C:\\work", ".\\out", "f.txt"));
    EXPECT_EQ("C:\\work\\f.txt", Pathlib::CreateFilePathExt("C:\\work", ".\\", "f.txt", ".bin"));
    EXPECT_EQ("C:\\work\\f.bin", Pathlib::CreateFilePathExt("C:\\work", ".\\", "f", ".bin"));
}

TEST(Pathlib, LongInputStaysInsideThePathLimit) {
    const std::string longname(5000, 'x');
    const std::string longpath = "..\\" + longname;
    for (const std::string& result :
         {Pathlib::SplitFilename(longname.c_str()), Pathlib::SplitPath((longname + "/a").c_str()),
          Pathlib::CreatePath(longname.c_str(), longpath.c_str()),
          Pathlib::CreateFilePathExt(longname.c_str(), ".\\", longname.c_str(), ".x")}) {
        EXPECT_LT(result.size(), kMaxPath);
    }
}

TEST(Pathlib, FolderBrowserAbsentHere) {
    EXPECT_EQ(1, Pathlib::BffCallback(nullptr, 1, 1, 0));
#ifndef _WIN32
    char folder[kMaxPath] = "/tmp/";
    EXPECT_FALSE(Pathlib::SelectFolder(nullptr, "title", folder));
    EXPECT_STREQ("/tmp", folder);  // the start folder, without its separator
#endif
}

}  // namespace
