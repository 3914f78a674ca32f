#include "common/fileio.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "common/wholefile.h"
#include "tests/support.h"

namespace {

TEST(CFile, SizesByMode) {
    TempDir dir;
    const std::string path = dir / "f.bin";
    WriteFile(path, Repeat(7, 100));
    const struct {
        const char* mode;
        std::int64_t size;
    } cases[] = {{"rb", 100}, {"r+b", 100}, {"ab", 0}, {"wb", 0}};
    for (const auto& c : cases) {
        CFile file;
        ASSERT_TRUE(file.Open(path.c_str(), c.mode)) << c.mode;
        EXPECT_EQ(c.size, file.size()) << c.mode;
        EXPECT_EQ(c.size == 0, file.IsWriteMode()) << c.mode;
        if (c.size > 0) {
            EXPECT_EQ(0, std::ftell(file.fp())) << "measuring keeps the position";
        }
        EXPECT_TRUE(file.Close());
        EXPECT_EQ(nullptr, file.fp());
    }
}

TEST(CFile, CountsWhatIsWritten) {
    TempDir dir;
    CFile file;
    ASSERT_TRUE(file.Open((dir / "out").c_str(), "wb"));
    const Bytes block(64, 0xAB);
    EXPECT_TRUE(file.Write(block.data(), 64));
    EXPECT_EQ(64, file.size());
    EXPECT_FALSE(file.Write(block.data(), 0));  // a zero-byte block moves nothing
    EXPECT_EQ(64, file.size());

    CFile header;
    ASSERT_TRUE(header.Open((dir / "hdr").c_str(), "wb"));
    header.Puts("-QD format-");
    for (int i = 0; i < 5; ++i) header.Putc(0xFF);
    EXPECT_EQ(16, header.size());
}

TEST(CFile, FailedWritesShowAtWriteOrClose) {
    if (!FileExists("/dev/full")) GTEST_SKIP() << "no /dev/full";
    CFile big;
    ASSERT_TRUE(big.Open("/dev/full", "wb"));
    const Bytes block(1 << 20, 0);
    EXPECT_FALSE(big.Write(block.data(), static_cast<std::int64_t>(block.size())));
    EXPECT_EQ(0, big.size());

    CFile small;
    ASSERT_TRUE(small.Open("/dev/full", "wb"));
    small.Putc('x');
    EXPECT_EQ(1, small.size());  // counted whether or not it was written
    EXPECT_FALSE(small.Close());
}

TEST(CFile, DestructorCloses) {
    TempDir dir;
    {
        CFile file;
        ASSERT_TRUE(file.Open((dir / "a").c_str(), "wb"));
        file.Putc('z');
    }
    EXPECT_TRUE(SameBytes(Bytes{'z'}, ReadFile(dir / "a")));
    CFile closed;  // destroying a closed object does nothing
}

TEST(CFileDeathTest, OperationsOnAClosedFileAssert) {
    CFile file;
    EXPECT_DEATH(file.Putc('x'), "m_fp");
}

TEST(LoadInput, Outcomes) {
    TempDir dir;
    WriteFile(dir / "data", Hex("01 02 03"));
    WriteFile(dir / "empty", {});
    std::filesystem::create_directory(dir / "folder");
    const struct {
        std::string name;
        LoadStatus status;
    } cases[] = {
        {"data", LoadStatus::kOk},
        {"empty", LoadStatus::kReadError},
        {"missing", LoadStatus::kNotFound},
        {"folder", LoadStatus::kReadError},
    };
    for (const auto& c : cases) {
        Bytes loaded{9, 9, 9, 9};
        EXPECT_EQ(c.status, LoadInput((dir / c.name).c_str(), loaded)) << c.name;
        if (c.status == LoadStatus::kOk) {
            EXPECT_TRUE(SameBytes(Hex("01 02 03"), loaded));
        }
    }
}

}  // namespace
