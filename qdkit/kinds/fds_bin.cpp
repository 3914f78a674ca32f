// FDSStick and FDSemu images. Two layouts hold a side's data bits from a
// start mark on, each block byte-aligned behind its mark with its CRC: the
// .bin a disk read is saved as (the lead-in as read, no header, one side) and
// the flash slots the devices play a disk from (per side a 256-byte header,
// sides one after another). Both are read; the flash slots are written.
#include "common/platform.h"
#include "fds/fds_bin_image.h"
#include "fds/fds_image.h"
#include "qdkit/fdsside.h"
#include "qdkit/human.h"
#include "qdkit/kinds/kind.h"
#include "qdkit/text.h"

namespace {

// What is wrong with the side as read: blocks that fail their CRC, a
// block out of its place, data that ends inside a block, no block at all.
std::vector<std::string> Damage(const FdsBinSideRead& read) {
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

std::string Where(int side, bool several) {
    return several ? "side " + SideLabel(side) + ": " : "";
}

// The sides the file holds: one for a disk read (no name, no lead-in); for
// flash slots every slot up to an erased one or one that names another
// disk, either of which ends the disk.
struct BinFile {
    bool flash;
    std::vector<FdsFlashSlot> sides;
};

BinFile ReadBin(const Bytes& file, FileReport& report) {
    BinFile bin{StartsAsFdsFlash(file), {}};
    if (!bin.flash) {
        bin.sides.push_back({{}, 0, false, ReadFdsBinSide(file, 0, file.size())});
        return bin;
    }
    const std::size_t count = FdsFlashSlotCount(file.size());
    for (std::size_t n = 0; n < count; ++n) {
        FdsFlashSlot slot = ReadFdsFlashSlot(file, n);
        if (slot.empty) {
            report.Warn("slot " + std::to_string(n + 1) + " is empty; the disk ends before it");
            break;
        }
        if (n > 0 && !slot.name.empty()) {
            report.Warn("slot " + std::to_string(n + 1) + " begins another disk (\"" +
                        Utf16ToUtf8(slot.name) + "\"); qdkit reads the first");
            break;
        }
        if (n + 1 == count && file.size() % kFdsFlashSlotBytes != 0) {
            report.Warn("side " + SideLabel(static_cast<int>(n)) +
                        " is cut short by the end of the file (" +
                        std::to_string(file.size() % kFdsFlashSlotBytes) + " of " +
                        std::to_string(kFdsFlashSlotBytes) + " bytes; the rest taken as 0x00)");
        }
        bin.sides.push_back(std::move(slot));
    }
    return bin;
}

// The name a written disk carries: the game's from its disk info block.
std::u16string SlotName(const Bytes& area) {
    std::string name = ReadableBytes(&area[kDiskInfoGameName.offset], kDiskInfoGameName.bytes);
    while (!name.empty() && name.back() == ' ') name.pop_back();
    return Utf8ToUtf16(name.empty() ? "FDS" : name);
}

class FdsBin final : public FileKind {
public:
    FdsBin() : FileKind("fds-bin", Medium::kFds, "fds", "BASE.bin") {}

    // A flash slot's data, or a disk read after its 0x00 bytes, opens with a
    // start mark and a disk info block whose CRC holds; a headerless .fds
    // begins with the block itself.
    bool Recognise(Probe& probe) const override {
        Bytes head(kFdsFlashHeaderBytes + 1 + kFdsDiskInfoBlockBytes + kFdsCrcBytes);
        if (probe.ReadAt(0, head.data(), head.size()) && StartsAsFdsFlash(head)) return true;
        const Bytes& prefix = probe.Prefix();
        if (prefix.empty() || (prefix[0] != 0x00 && prefix[0] != kFdsBlockStartMark)) return false;
        const Bytes* whole = probe.Whole(kFdsBinMostBytes);
        return whole != nullptr && StartsAsFdsBin(*whole);
    }

    void Inspect(const Bytes& file, FileReport& report) const override {
        const BinFile bin = ReadBin(file, report);
        Json sides = Json::array();
        int number = 0;
        for (const FdsFlashSlot& slot : bin.sides) {
            for (const std::string& text : Damage(slot.side))
                report.Fail(Where(number, bin.flash) + text);
            Json facts = FdsSideFacts(slot.side.area, number, report);
            CheckFdsFileNumbers(facts, report);
            FitsSideArea(number, slot.side.area, report);
            Json blocks = Json::array();
            for (const FdsBinBlock& block : slot.side.blocks) {
                blocks.push_back({{"id", block.block.id},
                                  {"size", block.block.length},
                                  {"offset", block.block.offset},
                                  {"crc_ok", block.stored == block.crc}});
            }
            facts["blocks"] = blocks;
            facts["complete"] = slot.side.end == FdsBinEnd::kComplete;
            if (bin.flash) {
                facts["name"] = Utf16ToUtf8(slot.name);
                facts["lead_in_bits"] = slot.leadinbits;
            }
            sides.push_back(facts);
            ++number;
        }
        report.facts["layout"] = bin.flash ? "flash" : "read";
        report.facts["sides"] = sides;
    }

    void Print(const Json& facts) const override {
        const bool flash = facts["layout"] == "flash";
        PrintLine(flash ? "  flash slots, " + Plural(facts["sides"].size(), "side")
                        : std::string("  a disk read of one side"));
        for (const Json& side : facts["sides"]) {
            if (flash) {
                PrintLine("  slot " + Count(side["side"]) + ": name \"" +
                          side["name"].get<std::string>() + "\", lead-in " +
                          Count(side["lead_in_bits"]) + " bits");
            }
            PrintSideState(side);
            PrintFdsSide(side);
        }
    }

    // The CRCs, then the sides as an FDS image's are verified.
    void Verify(const Bytes& file, FileReport& report) const override {
        Bytes areas;
        int number = 0;
        const BinFile bin = ReadBin(file, report);
        for (const FdsFlashSlot& slot : bin.sides) {
            for (const std::string& text : Damage(slot.side))
                report.Fail(Where(number, bin.flash) + text);
            if (!FitsSideArea(number++, slot.side.area, report)) return;
            areas.insert(areas.end(), slot.side.area.begin(), slot.side.area.end());
        }
        if (!report.Failed() && !bin.sides.empty())
            FdsKind().Verify(WithFdsHeader(areas, number), report);
    }

    // Each side as read, its damage an error (with keep a warning).
    Content Read(const Bytes& file, bool keep, FileReport& report) const override {
        Content content;
        BinFile bin = ReadBin(file, report);
        for (FdsFlashSlot& slot : bin.sides) {
            const int number = static_cast<int>(content.sides.size());
            const std::string where = Where(number, bin.flash);
            for (const std::string& text : Damage(slot.side)) {
                if (keep) {
                    report.Warn(where + text + " (kept as read)");
                } else {
                    report.Fail(where + text + SalvageHint("keeps what was read"));
                }
            }
            if (slot.side.blocks.empty()) {
                report.Fail(where + "no FDS block decoded");
                return {};
            }
            FdsSideFacts(slot.side.area, number, report);
            content.sides.push_back({number, std::move(slot.side.area)});
        }
        return content;
    }

    // Flash slots, sides one after another, the first named after the game.
    std::vector<Produced> Write(const Content& content, bool, FileReport& report) const override {
        const std::vector<const FdsImageSide*> sides = SidesToWrite(content.sides, report);
        Bytes file;
        for (const FdsImageSide* side : sides) {
            const std::string where = "side " + SideLabel(side->number) + ": ";
            const std::u16string name = file.empty() ? SlotName(side->area) : std::u16string();
            const FdsFlashResult result = AppendFdsFlashSlot(side->area, name, file);
            if (result.status == FdsFlashStatus::kCutShort) {
                report.Fail(where + "the blocks run past the end of the side");
            } else if (result.status == FdsFlashStatus::kTooLarge) {
                report.Fail(where + "the blocks with their marks, CRCs and gaps take " +
                            std::to_string(result.bytes) +
                            " bytes, more than a flash slot holds (" +
                            std::to_string(kFdsFlashSlotBytes - kFdsFlashHeaderBytes) + ")");
            }
        }
        if (report.Failed() || sides.empty()) return {};
        return OneOutput(".bin", std::move(file));
    }
};

}  // namespace

const FileKind& FdsBinKind() {
    static const FdsBin kind;
    return kind;
}
