#include "qd/qd_stream.h"

#include <algorithm>

#include "qd/qd_layout.h"

namespace {

std::size_t Run(const std::vector<std::uint8_t>& stream, std::size_t& at, std::uint8_t byte) {
    const std::size_t start = at;
    while (at < stream.size() && stream[at] == byte) ++at;
    return at - start;
}

}  // namespace

bool SplitQdStream(const std::vector<std::uint8_t>& stream, QdStreamParts& parts) {
    parts = {};
    std::size_t at = 0;
    int count = -1;
    while (count < 0 || static_cast<int>(parts.blocks.size()) <= count) {
        QdStreamBlock block;
        block.gap = Run(stream, at, kQdGapByte);
        block.syncbefore = Run(stream, at, kQdSyncByte);
        const std::size_t left = stream.size() - at;
        if (left < static_cast<std::size_t>(kQdBlockHeaderBytes) ||
            (stream[at] != kQdIdMark && stream[at] != kQdAltIdMark))
            return false;
        const std::size_t length =
            count < 0 ? kQdBlockCountBlockBytes : QdBlockLength(&stream[at]) + kQdCrcBytes;
        if (left < length) return false;
        if (count < 0) count = stream[at + kQdBlockCountOffset];
        block.bytes.assign(stream.begin() + static_cast<std::ptrdiff_t>(at),
                           stream.begin() + static_cast<std::ptrdiff_t>(at + length));
        at += length;
        block.syncafter = Run(stream, at, kQdSyncByte);
        parts.blocks.push_back(std::move(block));
    }
    parts.fill = Run(stream, at, kQdGapByte);
    return at == stream.size();
}

std::vector<std::uint8_t> JoinQdStream(const QdStreamParts& parts) {
    std::vector<std::uint8_t> stream;
    for (const QdStreamBlock& block : parts.blocks) {
        stream.insert(stream.end(), block.gap, kQdGapByte);
        stream.insert(stream.end(), block.syncbefore, kQdSyncByte);
        stream.insert(stream.end(), block.bytes.begin(), block.bytes.end());
        stream.insert(stream.end(), block.syncafter, kQdSyncByte);
    }
    stream.insert(stream.end(), parts.fill, kQdGapByte);
    return stream;
}
