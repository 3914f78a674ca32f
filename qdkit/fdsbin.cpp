#include "qdkit/fdsbin.h"

#include "qdkit/fdsside.h"
#include "qdkit/human.h"
#include "qdkit/text.h"

std::vector<std::string> FdsBinDamage(const FdsBinSideRead& read) {
    std::vector<std::string> damage;
    for (std::size_t n = 0; n < read.blocks.size(); ++n) {
        const FdsBinBlock& block = read.blocks[n];
        if (block.stored == block.crc) continue;
        damage.push_back("block " + std::to_string(n + 1) + " (ID " + HexValue(block.block.id, 2) +
                         ", byte " + std::to_string(block.block.offset) +
                         ") fails its CRC: " + HexValue(block.stored, 4) + " stored, " +
                         HexValue(block.crc, 4) + " computed");
    }
    const std::string at = " (byte " + std::to_string(read.position) + ")";
    switch (read.end) {
        case FdsBinEnd::kComplete:
            break;
        // Fewer files than announced is damage only where data follows that
        // no start mark opens; else the side's facts tell of it.
        case FdsBinEnd::kNoMoreMarks:
            if (read.unmarked != 0) {
                const std::string files =
                    read.announced < 0
                        ? "no file amount block"
                        : std::to_string(read.datablocks) + " of " +
                              Plural(static_cast<std::size_t>(read.announced), "file");
                damage.push_back("the side ends early: " + files + "; data follows at byte " +
                                 std::to_string(read.unmarked) + " with no start mark before it");
            }
            break;
        case FdsBinEnd::kNoBlock:
            damage.push_back("no start mark with a disk info block behind it");
            break;
        case FdsBinEnd::kBadId:
            damage.push_back("the start mark" + at + " is followed by " + HexValue(read.id, 2) +
                             ", no block that may come there");
            break;
        case FdsBinEnd::kCutShort:
            damage.push_back("the data ends inside the block at its start mark" + at);
            break;
    }
    return damage;
}

Json FdsBinBlockFacts(const FdsBinSideRead& read) {
    Json blocks = Json::array();
    for (const FdsBinBlock& block : read.blocks) {
        blocks.push_back({{"id", block.block.id},
                          {"size", block.block.length},
                          {"offset", block.block.offset},
                          {"crc_ok", block.stored == block.crc}});
    }
    return blocks;
}

Json FdsBinSideFacts(const FdsBinSideRead& read, int side, FileReport& report) {
    const std::string where = side < 0 ? "" : "side " + SideLabel(side) + ": ";
    for (const std::string& text : FdsBinDamage(read)) report.Fail(where + text);
    Json facts = FdsSideFacts(read.area, side < 0 ? 0 : side, report);
    FitsSideArea({side < 0 ? 0 : side, read.area}, report);
    facts["blocks"] = FdsBinBlockFacts(read);
    facts["complete"] = read.end == FdsBinEnd::kComplete;
    return facts;
}

bool TakeFdsBinSide(const FdsBinSideRead& read, int side, bool keep, FileReport& report) {
    const std::string where = side < 0 ? "" : "side " + SideLabel(side) + ": ";
    for (const std::string& text : FdsBinDamage(read)) {
        if (keep) {
            report.Warn(where + text + " (kept as read)");
        } else {
            report.Fail(where + text + " (--salvage keeps what was read)");
        }
    }
    if (read.blocks.empty()) {
        report.Fail(where + "no FDS block decoded");
        return false;
    }
    FdsSideFacts(read.area, side < 0 ? 0 : side, report);
    return true;
}
