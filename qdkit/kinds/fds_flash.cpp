// FDSStick and FDSemu flash slots: per side a 256-byte header (the name in
// UTF-16, the lead-in in bits) and the side's blocks as the device plays
// them; sides one after another.
#include "common/platform.h"
#include "fds/fds_bin_image.h"
#include "fds/fds_image.h"
#include "qdkit/fdsbin.h"
#include "qdkit/fdsside.h"
#include "qdkit/human.h"
#include "qdkit/kinds/kind.h"
#include "qdkit/text.h"

namespace {

// Every slot of the file, up to an erased one or one that names another
// disk, either of which ends the disk.
std::vector<FdsFlashSlot> ReadSlots(const Bytes& file, FileReport& report) {
    std::vector<FdsFlashSlot> slots;
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
        slots.push_back(std::move(slot));
    }
    return slots;
}

// The name a written disk carries: the game's from its disk info block.
std::u16string SlotName(const Bytes& area) {
    std::string name = ReadableBytes(&area[kDiskInfoGameName.offset], kDiskInfoGameName.bytes);
    while (!name.empty() && name.back() == ' ') name.pop_back();
    return Utf8ToUtf16(name.empty() ? "FDS" : name);
}

class FdsFlash final : public FileKind {
public:
    FdsFlash() : FileKind("fds-flash", Medium::kFds, "fds", "BASE.flash.bin") {}

    // The first slot's data opens with a start mark and a disk info block
    // whose CRC holds.
    bool Recognise(Probe& probe) const override {
        Bytes head(kFdsFlashHeaderBytes + 1 + kFdsDiskInfoBlockBytes + kFdsCrcBytes);
        return probe.ReadAt(0, head.data(), head.size()) && StartsAsFdsFlash(head);
    }

    void Inspect(const Bytes& file, FileReport& report) const override {
        Json sides = Json::array();
        int number = 0;
        for (const FdsFlashSlot& slot : ReadSlots(file, report)) {
            Json facts = FdsBinSideFacts(slot.side, number++, report);
            facts["name"] = Utf16ToUtf8(slot.name);
            facts["lead_in_bits"] = slot.leadinbits;
            sides.push_back(facts);
        }
        report.facts["sides"] = sides;
    }

    void Print(const Json& facts) const override {
        PrintLine("  " + Plural(facts["sides"].size(), "side"));
        for (const Json& side : facts["sides"]) {
            PrintLine("  slot " + Count(side["side"]) + ": name \"" +
                      side["name"].get<std::string>() + "\", lead-in " +
                      Count(side["lead_in_bits"]) + " bits");
            PrintSideState(side);
            PrintFdsSide(side);
        }
    }

    // The CRCs, then the sides as an FDS image's are verified.
    void Verify(const Bytes& file, FileReport& report) const override {
        Bytes areas;
        int number = 0;
        const std::vector<FdsFlashSlot> slots = ReadSlots(file, report);
        for (const FdsFlashSlot& slot : slots) {
            const std::string where = "side " + SideLabel(number) + ": ";
            for (const std::string& text : FdsBinDamage(slot.side)) report.Fail(where + text);
            if (!FitsSideArea({number++, slot.side.area}, report)) return;
            areas.insert(areas.end(), slot.side.area.begin(), slot.side.area.end());
        }
        if (!report.Failed() && !slots.empty())
            FdsKind().Verify(WithFdsHeader(areas, number), report);
    }

    Content Read(const Bytes& file, bool keep, FileReport& report) const override {
        Content content;
        for (FdsFlashSlot& slot : ReadSlots(file, report)) {
            const int number = static_cast<int>(content.sides.size());
            if (!TakeFdsBinSide(slot.side, number, keep, report)) return {};
            content.sides.push_back({number, std::move(slot.side.area)});
        }
        return content;
    }

    // Sides one after another, the first named after the game.
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
        return {{".flash.bin", std::move(file)}};
    }
};

}  // namespace

const FileKind& FdsFlashKind() {
    static const FdsFlash kind;
    return kind;
}
