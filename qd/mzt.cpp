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
    {kMztAttribute, kQdInfoAttribute, 1}, {kMztName, kQdInfoName, kQdFileNameBytes},
    {kMztSize, kQdInfoSize, 2},           {kMztLoad, kQdInfoLoad, 2},
    {kMztExec, kQdInfoExec, 2},           {kMztCarried, kQdInfoCarried, 2},
};

// The file modes an MZ machine writes.
constexpr std::uint8_t kFirstAttribute = 0x01;
constexpr std::uint8_t kLastAttribute = 0x05;

bool IsShown(std::uint8_t b) {
    return (b >= 0x20 && b < 0x7F) || b >= 0x80;
}

bool LooksLikeMztName(const std::uint8_t* name) {
    int shown = 0;
    while (shown < kQdFileNameBytes && IsShown(name[shown])) ++shown;
    if (shown == 0) return false;
    if (shown == kQdFileNameBytes) {
        return std::all_of(name, name + kQdFileNameBytes, [](std::uint8_t b) { return b < 0x7F; });
    }
    if (name[shown] == kQdNameEnd) return true;
    return std::all_of(name + shown, name + kQdFileNameBytes,
                       [](std::uint8_t b) { return b == 0x00 || b == ' '; });
}

}  // namespace

bool LooksLikeMztHeader(const std::uint8_t* header) {
    const std::uint8_t attribute = header[kMztAttribute];
    return attribute >= kFirstAttribute && attribute <= kLastAttribute &&
           LooksLikeMztName(header + kMztName);
}

bool IsMztChain(std::uint64_t size,
                const std::function<bool(std::uint64_t offset, std::uint8_t* header)>& read) {
    std::uint64_t offset = 0;
    std::uint8_t header[kMztHeaderBytes];
    while (size - offset >= static_cast<std::uint64_t>(kMztHeaderBytes)) {
        if (!read(offset, header) || !LooksLikeMztHeader(header)) return false;
        offset += kMztHeaderBytes + static_cast<std::uint64_t>(Le16(header + kMztSize));
        if (offset >= size) break;
    }
    return offset > 0;
}

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

QdInfoRecord InfoRecordFromMzt(const std::uint8_t* header) {
    QdInfoRecord record{};
    for (const FieldPair& field : kFields) {
        std::copy_n(header + field.mzt, field.bytes, record.begin() + field.info);
    }
    return record;
}

MztHeader MztHeaderFromInfo(const QdInfoRecord& record) {
    MztHeader header{};
    for (const FieldPair& field : kFields) {
        std::copy_n(record.begin() + field.info, field.bytes, header.begin() + field.mzt);
    }
    return header;
}

MztForSide MztAsEncoded(const std::vector<std::uint8_t>& mzt) {
    MztForSide side{mzt, WalkMztRecords(mzt)};
    if (side.records.empty()) return {};
    const MztRecordView& last = side.records.back();
    const std::size_t end = last.offset + kMztHeaderBytes + last.size;
    if (end > mzt.size()) side.shortby = end - mzt.size();
    if (end < mzt.size()) side.trailing = mzt.size() - end;
    side.file.resize(end, 0x00);
    return side;
}

std::vector<std::uint8_t> MztAsSideHolds(const std::vector<std::uint8_t>& file) {
    std::vector<std::uint8_t> held;
    for (const MztRecordView& record : WalkMztRecords(file)) {
        const MztHeader header = MztHeaderFromInfo(InfoRecordFromMzt(&file[record.offset]));
        held.insert(held.end(), header.begin(), header.end());
        const auto body =
            file.begin() + static_cast<std::ptrdiff_t>(record.offset + kMztHeaderBytes);
        held.insert(held.end(), body, body + record.size);
    }
    return held;
}
