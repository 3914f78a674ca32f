// FDS images (.fds): a 16-byte header and one 65500-byte area per side, or
// the side areas alone.
#include "fds/fds_image.h"
#include "fds/fds_layout.h"
#include "fds/side_encoder.h"
#include "qdkit/fdsside.h"
#include "qdkit/human.h"
#include "qdkit/kinds/kind.h"
#include "qdkit/text.h"

namespace {

std::string ByteAt(const Bytes& bytes, std::size_t at) {
    return at < bytes.size() ? HexValue(bytes[at], 2) : "nothing";
}

class Fds final : public FileKind {
public:
    Fds() : FileKind("fds", Medium::kFds, "fds-raw", "BASE.fds") {}

    // The header, or the disk info block right at the start with the file
    // amount block right behind it (where an FDS .qd image has a CRC).
    bool Recognise(Probe& probe) const override {
        const Bytes& prefix = probe.Prefix();
        if (HasFdsMagic(prefix.data(), prefix.size())) return true;
        return StartsWithDiskInfo(prefix.data(), prefix.size()) &&
               prefix.size() > static_cast<std::size_t>(kFdsDiskInfoBlockBytes) &&
               prefix[kFdsDiskInfoBlockBytes] == kFdsFileAmountBlock;
    }

    void Inspect(const Bytes& file, FileReport& report) const override {
        const FdsImageLayout layout = MeasureFdsImage(file);
        report.facts["header"] = layout.header;
        report.facts["header_sides"] = layout.header ? Json(layout.headersides) : Json();
        CheckFdsLayout(layout, report);
        Json sides = Json::array();
        for (int side = 0; side < layout.sides; ++side) {
            Json facts = FdsSideFacts(FdsSideArea(file, layout, side), side, report);
            CheckFdsFileNumbers(facts, report);
            sides.push_back(std::move(facts));
        }
        report.facts["sides"] = sides;
    }

    void Print(const Json& facts) const override {
        const Json& sides = facts["sides"];
        std::string header = "no header";
        if (facts["header"].get<bool>()) {
            header = facts["header_sides"] == sides.size()
                         ? "header"
                         : "header says " + Count(facts["header_sides"]);
        }
        PrintLine("  " + Plural(sides.size(), "side") + ", " + header);
        for (const Json& side : sides) PrintFdsSide(side);
    }

    // Each side's blocks go onto a raw side and come back byte for byte.
    void Verify(const Bytes& file, FileReport& report) const override {
        const FdsImageLayout layout = MeasureFdsImage(file);
        CheckFdsLayout(layout, report);
        for (int side = 0; side < layout.sides; ++side) {
            const std::string where = "side " + SideLabel(side) + ": ";
            const Bytes area = FdsSideArea(file, layout, side);
            if (IsBlankFdsArea(area)) {
                report.Warn(where + "blank, skipped");
                continue;
            }
            const std::size_t errors = report.errors.size();
            CheckFdsFileNumbers(FdsSideFacts(area, side, report), report);
            if (report.errors.size() != errors) continue;
            const std::optional<Bytes> raw = CanonicalFdsRaw(area);
            if (!raw) {
                report.Fail(where + "the blocks do not fit on a side");
                continue;
            }
            const Bytes back = DecodedFdsArea(ReadFdsSide(*raw).image);
            const std::size_t end =
                WalkFdsBlocks(area, 0, area.size(), [](const FdsBlockRef&) {}).position;
            for (std::size_t i = 0; i < end; ++i) {
                if (back[i] != area[i]) {
                    report.Fail(where + "byte " + std::to_string(i) +
                                " of the side comes back as " + ByteAt(back, i) + ", not " +
                                HexValue(area[i], 2));
                    break;
                }
            }
        }
    }

    Content Read(const Bytes& file, bool, FileReport& report) const override {
        const FdsImageLayout layout = MeasureFdsImage(file);
        CheckFdsLayout(layout, report);
        Content content;
        for (int side = 0; side < layout.sides; ++side) {
            content.sides.push_back({side, FdsSideArea(file, layout, side)});
        }
        return content;
    }

    // Every side in an area of its own: a side whose blocks take more than
    // an area would push the next side's start, and the image would not
    // read back.
    std::vector<Produced> Write(const Content& content, bool, FileReport& report) const override {
        const std::vector<const FdsImageSide*> sides = SidesToWrite(content.sides, report);
        Bytes areas;
        for (const FdsImageSide* side : sides) {
            FitsSideArea(side->number, side->area, report);
            areas.insert(areas.end(), side->area.begin(), side->area.end());
        }
        if (report.Failed() || sides.empty()) return {};
        return OneOutput(".fds", WithFdsHeader(areas, static_cast<int>(sides.size())));
    }
};

}  // namespace

const FileKind& FdsKind() {
    static const Fds kind;
    return kind;
}
