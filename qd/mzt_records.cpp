#include "qd/mzt_records.h"

#include <algorithm>

MztRecords SplitMzt(const std::vector<std::uint8_t>& mzt) {
    MztRecords split;
    std::size_t end = 0;
    for (const MztRecordView& record : WalkMztRecords(mzt)) {
        end = std::min(mzt.size(), record.offset + kMztHeaderBytes + record.size);
        split.records.emplace_back(mzt.begin() + static_cast<std::ptrdiff_t>(record.offset),
                                   mzt.begin() + static_cast<std::ptrdiff_t>(end));
    }
    split.trailing.assign(mzt.begin() + static_cast<std::ptrdiff_t>(end), mzt.end());
    return split;
}

std::vector<std::uint8_t> JoinMzt(const MztRecords& records) {
    std::vector<std::uint8_t> mzt;
    for (const auto& record : records.records) mzt.insert(mzt.end(), record.begin(), record.end());
    mzt.insert(mzt.end(), records.trailing.begin(), records.trailing.end());
    return mzt;
}

std::vector<std::uint8_t> MztNameBytes(const std::uint8_t* header) {
    const std::uint8_t* name = header + kMztName;
    return {name, std::find(name, name + kQdFileNameBytes, kQdNameEnd)};
}

bool SetMztName(std::uint8_t* header, const std::vector<std::uint8_t>& name) {
    if (name.size() > static_cast<std::size_t>(kQdFileNameBytes)) return false;
    std::uint8_t* at = header + kMztName;
    std::fill(at, at + kQdFileNameBytes, 0x00);
    std::copy(name.begin(), name.end(), at);
    if (name.size() < static_cast<std::size_t>(kQdFileNameBytes)) at[name.size()] = kQdNameEnd;
    return true;
}
