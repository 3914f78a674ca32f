#include "qd/mzt.h"

#include <gtest/gtest.h>

#include "samples/imagegen.h"
#include "tests/support.h"

namespace {

MztEntry Record(std::size_t size, std::uint32_t seed = 1) {
    MztEntry entry;
    entry.name = "R" + std::to_string(seed);
    entry.body = Pattern(size, seed);
    return entry;
}

TEST(MztWalk, Records) {
    const Bytes two = MztFile({Record(10), Record(0, 2)});
    const struct {
        const char* what;
        Bytes file;
        std::vector<std::size_t> offsets;
        std::vector<std::uint16_t> sizes;
    } cases[] = {
        {"one record of 10", MztFile({Record(10)}), {0}, {10}},
        {"one byte", MztFile({Record(1)}), {0}, {1}},
        {"size 0 then the next header", two, {0, 138}, {10, 0}},
        {"100 bytes after two records", Concat({two, Repeat(7, 100)}), {0, 138}, {10, 0}},
        {"128 bytes after two records", Concat({two, Repeat(0, 128)}), {0, 138, 266}, {10, 0, 0}},
        {"header only", Repeat(0, 128), {0}, {0}},
        {"too short", Repeat(0, 127), {}, {}},
    };
    for (const auto& c : cases) {
        const std::vector<MztRecordView> records = WalkMztRecords(c.file);
        ASSERT_EQ(c.offsets.size(), records.size()) << c.what;
        for (std::size_t i = 0; i < records.size(); ++i) {
            EXPECT_EQ(c.offsets[i], records[i].offset) << c.what;
            EXPECT_EQ(c.sizes[i], records[i].size) << c.what;
            EXPECT_TRUE(MztBodyInside(c.file, records[i])) << c.what;
        }
    }
}

TEST(MztWalk, BodyPastTheEnd) {
    Bytes file = MztFile({Record(10), Record(300, 2)});
    file.resize(file.size() - 1);
    const std::vector<MztRecordView> records = WalkMztRecords(file);
    ASSERT_EQ(2u, records.size());
    EXPECT_TRUE(MztBodyInside(file, records[0]));
    EXPECT_FALSE(MztBodyInside(file, records[1]));
}

TEST(MztHeader, FieldsMapBothWays) {
    Bytes header = Pattern(128, 5);
    const QdInfoRecord info = InfoRecordFromMzt(header.data());
    const struct {
        int mzt, info, bytes;
    } fields[] = {{0, 0, 1}, {1, 1, 17}, {18, 20, 2}, {20, 22, 2}, {22, 24, 2}, {62, 18, 2}};
    QdInfoRecord expected{};
    MztHeader back_expected{};
    for (const auto& f : fields) {
        for (int i = 0; i < f.bytes; ++i) {
            expected[f.info + i] = header[f.mzt + i];
            back_expected[f.mzt + i] = header[f.mzt + i];
        }
    }
    EXPECT_EQ(expected, info);
    EXPECT_EQ(back_expected, MztHeaderFromInfo(info));
}

}  // namespace
