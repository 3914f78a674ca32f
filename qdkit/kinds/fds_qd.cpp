// FDS .qd images: per side 65536 bytes, the blocks each with the CRC the
// side carries after it. The sides are the areas of an FDS image, so the
// checks beyond the CRCs are the FDS image's own.
#include "common/littleendian.h"
#include "fds/fds_image.h"
#include "fds/fds_qd_image.h"
#include "fds/side_encoder.h"
#include "qdkit/fdsside.h"
#include "qdkit/human.h"
#include "qdkit/kinds/kind.h"
#include "qdkit/text.h"

namespace {

// Every side, its CRCs checked. A stored 0x0000, as some images carry on
// the disk info block, is a warning; any other wrong CRC an error, or with
// keep a warning; a conversion's error adds hint.
std::vector<FdsQdSideRead> ReadSides(const Bytes& file, bool keep, FileReport& report,
                                     const std::string& hint = "") {
    std::vector<FdsQdSideRead> sides;
    const int count = FdsQdSideCount(file.size());
    const std::size_t last = file.size() % kFdsQdSideBytes;
    if (last != 0) {
        report.Warn("side " + SideLabel(count - 1) + " is cut short by the end of the file (" +
                    std::to_string(last) + " of " + std::to_string(kFdsQdSideBytes) +
                    " bytes; the rest taken as 0x00)");
    }
    for (int side = 0; side < count; ++side) {
        sides.push_back(ReadFdsQdSide(file, side));
        int n = 0;
        for (const FdsQdBlock& block : sides.back().blocks) {
            ++n;
            if (block.stored == block.crc) continue;
            const std::string what = "side " + SideLabel(side) + ": block " + std::to_string(n) +
                                     " (ID " + HexValue(block.block.id, 2) + ") ";
            if (block.stored == 0) {
                report.Warn(what + "carries 0000 where its CRC " + HexValue(block.crc, 4) +
                            " belongs");
            } else if (keep) {
                report.Warn(what + "fails its CRC (kept as read)");
            } else {
                report.Fail(what + "fails its CRC: " + HexValue(block.stored, 4) + " stored, " +
                            HexValue(block.crc, 4) + " computed" + hint);
            }
        }
    }
    return sides;
}

class FdsQd final : public FileKind {
public:
    FdsQd() : FileKind("fds-qd", Medium::kFds, "fds", "BASE.qd") {}

    // A disk info block with its text, then its CRC, then the file amount
    // block; where an FDS image without header has the file amount block
    // at the CRC's place, only a CRC that holds tells a .qd image.
    bool Recognise(Probe& probe) const override {
        const Bytes& prefix = probe.Prefix();
        constexpr std::size_t crc = kFdsDiskInfoBlockBytes;
        if (!StartsWithDiskInfo(prefix.data(), prefix.size()) ||
            prefix.size() <= crc + kFdsCrcBytes ||
            prefix[crc + kFdsCrcBytes] != kFdsFileAmountBlock) {
            return false;
        }
        return prefix[crc] != kFdsFileAmountBlock ||
               Le16(&prefix[crc]) == FdsBlockCrc(prefix.data(), crc);
    }

    void Inspect(const Bytes& file, FileReport& report) const override {
        Json sides = Json::array();
        int number = 0;
        for (const FdsQdSideRead& side : ReadSides(file, false, report)) {
            Json facts = FdsSideFacts(side.area, number++, report);
            CheckFdsFileNumbers(facts, report);
            Json blocks = Json::array();
            for (const FdsQdBlock& block : side.blocks) {
                blocks.push_back({{"id", block.block.id},
                                  {"size", block.block.length},
                                  {"crc_ok", block.stored == block.crc}});
            }
            facts["blocks"] = blocks;
            sides.push_back(facts);
        }
        report.facts["sides"] = sides;
    }

    void Print(const Json& facts) const override {
        PrintLine("  " + Plural(facts["sides"].size(), "side"));
        for (const Json& side : facts["sides"]) PrintFdsSide(side);
    }

    // The CRCs, then the sides as an FDS image's are verified.
    void Verify(const Bytes& file, FileReport& report) const override {
        const std::vector<FdsQdSideRead> sides = ReadSides(file, false, report);
        Bytes areas;
        for (std::size_t n = 0; n < sides.size(); ++n) {
            if (!FitsSideArea(static_cast<int>(n), sides[n].area, report)) return;
            areas.insert(areas.end(), sides[n].area.begin(), sides[n].area.end());
        }
        FdsKind().Verify(WithFdsHeader(areas, static_cast<int>(sides.size())), report);
    }

    Content Read(const Bytes& file, bool keep, FileReport& report) const override {
        Content content;
        for (FdsQdSideRead& side : ReadSides(file, keep, report, SalvageHint("keeps it"))) {
            content.sides.push_back({static_cast<int>(content.sides.size()), std::move(side.area)});
        }
        return content;
    }

    std::vector<Produced> Write(const Content& content, bool, FileReport& report) const override {
        const std::vector<const FdsImageSide*> sides = SidesToWrite(content.sides, report);
        Bytes file;
        for (const FdsImageSide* side : sides) {
            const FdsQdSideResult result = AppendFdsQdSide(side->area, file);
            const std::string where = "side " + SideLabel(side->number) + ": ";
            if (result.status == FdsQdSideStatus::kCutShort) {
                report.Fail(where + "the blocks run past the end of the side");
            } else if (result.status == FdsQdSideStatus::kTooLarge) {
                report.Fail(where + "the blocks with their CRCs take " +
                            std::to_string(result.bytes) + " bytes, more than a .qd side (" +
                            std::to_string(kFdsQdSideBytes) + ")");
            }
        }
        if (report.Failed() || sides.empty()) return {};
        return OneOutput(".qd", std::move(file));
    }
};

}  // namespace

const FileKind& FdsQdKind() {
    static const FdsQd kind;
    return kind;
}
