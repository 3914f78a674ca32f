#include "qd/mzt.h"

#include <algorithm>

#include "common/littleendian.h"

namespace {

struct FieldPair {
    int mzt;
    int info;
    int bytes;
};

constexpr FieldPair kFields[] = {
    {kMztAttribute, kInfoAttribute, 1}, {kMztName, kInfoName, kFileNameBytes},
    {kMztSize, kInfoSize, 2},           {kMztLoad, kInfoLoad, 2},
    {kMztExec, kInfoExec, 2},           {kMztCarried, kInfoCarried, 2},
};

}  // namespace

std::vector<MztRecordView> WalkMztRecords(const std::vector<std::uint8_t>& file) {
    std::vector<MztRecordView> records;
    std::size_t offset = 0;
    while (file.size() - offset >= static_cast<std::size_t>(kMztHeaderBytes)) {
        const auto size = static_cast<std::uint16_t>(Le16(&file[offset + kMztSize]));
        records.push_back({offset, size});
        offset += kMztHeaderBytes + static_cast<std::size_t>(size);
        if (offset > file.size()) break;
    }
    return records;
}

bool MztBodyInside(const std::vector<std::uint8_t>& file, const MztRecordView& record) {
    return record.offset + kMztHeaderBytes + record.size <= file.size();
}

InfoRecord InfoRecordFromMzt(const std::uint8_t* header) {
    InfoRecord record{};
    for (const FieldPair& field : kFields) {
        std::copy_n(header + field.mzt, field.bytes, record.begin() + field.info);
    }
    return record;
}

MztHeader MztHeaderFromInfo(const InfoRecord& record) {
    MztHeader header{};
    for (const FieldPair& field : kFields) {
        std::copy_n(record.begin() + field.info, field.bytes, header.begin() + field.mzt);
    }
    return header;
}
