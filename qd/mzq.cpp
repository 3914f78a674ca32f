#include "qd/mzq.h"

#include <algorithm>

#include "common/littleendian.h"

namespace {

bool IsMark(std::uint8_t byte) {
    return byte == kQdIdMark || byte == kQdAltIdMark;
}

}  // namespace

bool StartsAsMzq(const std::uint8_t* bytes, std::size_t size) {
    constexpr std::size_t kText = kMzqBlockLeadBytes + kQdBlockCountBlockBytes - kQdCrcBytes;
    return size >= kText + kMzqCrcTextBytes &&
           std::equal(kMzqBlockLead, kMzqBlockLead + kMzqBlockLeadBytes, bytes) &&
           IsMark(bytes[kMzqBlockLeadBytes]) &&
           std::equal(kMzqCrcText, kMzqCrcText + kMzqCrcTextBytes, bytes + kText);
}

MzqWalk WalkMzq(const std::vector<std::uint8_t>& file) {
    MzqWalk walk{MzqEnd::kComplete, 0, -1, {}};
    const std::size_t size = file.size();
    std::size_t& at = walk.position;
    while (walk.blockcount < 0 || static_cast<int>(walk.blocks.size()) <= walk.blockcount) {
        const bool count = walk.blockcount < 0;
        if (size - at < kMzqBlockLeadBytes + 1u ||
            !std::equal(kMzqBlockLead, kMzqBlockLead + kMzqBlockLeadBytes, &file[at]) ||
            !IsMark(file[at + kMzqBlockLeadBytes])) {
            walk.end = MzqEnd::kNoLead;
            return walk;
        }
        const std::size_t mark = at + kMzqBlockLeadBytes;
        const std::size_t head =
            count ? kQdBlockCountBlockBytes - kQdCrcBytes : kQdBlockHeaderBytes;
        if (size - mark < head) {
            walk.end = MzqEnd::kCutShort;
            return walk;
        }
        if (!count && file[mark + 1] > kQdMaxBlockType) {
            walk.end = MzqEnd::kUnknownType;
            return walk;
        }
        const std::size_t body = count ? 0 : Le16(&file[mark + 2]);
        const std::size_t end = mark + head + body;
        if (size - mark < head + body + kMzqCrcTextBytes) {
            walk.end = MzqEnd::kCutShort;
            return walk;
        }
        if (!std::equal(kMzqCrcText, kMzqCrcText + kMzqCrcTextBytes, &file[end])) {
            at = end;
            walk.end = MzqEnd::kNoCrcText;
            return walk;
        }
        if (count) walk.blockcount = file[mark + 1];
        walk.blocks.push_back({mark, head, body});
        at = end + kMzqCrcTextBytes;
    }
    return walk;
}

std::vector<QdBlockView> MzqBlockViews(const std::vector<std::uint8_t>& file, const MzqWalk& walk) {
    std::vector<QdBlockView> views;
    Crc16 crc(kQdWriterCrc);
    for (const MzqBlock& block : walk.blocks) {
        const std::uint8_t* head = &file[block.offset];
        views.push_back(
            CheckedQdBlock(head, block.headsize, head + block.headsize, block.bodysize, crc));
    }
    return views;
}

void AppendMzqBlock(std::vector<std::uint8_t>& file, const std::uint8_t* block, std::size_t n) {
    file.insert(file.end(), kMzqBlockLead, kMzqBlockLead + kMzqBlockLeadBytes);
    file.insert(file.end(), block, block + n);
    file.insert(file.end(), kMzqCrcText, kMzqCrcText + kMzqCrcTextBytes);
}
