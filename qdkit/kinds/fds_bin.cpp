// FDSStick and FDSemu disk reads (.bin): one side's data bits from the start
// of the read, each block byte-aligned behind its start mark, with its CRC.
#include "fds/fds_bin_image.h"
#include "fds/fds_image.h"
#include "qdkit/fdsbin.h"
#include "qdkit/fdsside.h"
#include "qdkit/human.h"
#include "qdkit/kinds/kind.h"

namespace {

class FdsBin final : public FileKind {
public:
    FdsBin() : FileKind("fds-bin", Medium::kFds, "fds", "BASE.A.bin, BASE.B.bin, ...") {}

    // 0x00 bytes, a start mark and a disk info block whose CRC holds; a
    // headerless .fds begins with the block itself.
    bool Recognise(Probe& probe) const override {
        const Bytes& prefix = probe.Prefix();
        if (prefix.empty() || (prefix[0] != 0x00 && prefix[0] != kFdsBlockStartMark)) return false;
        const Bytes* whole = probe.Whole(kFdsBinMostBytes);
        return whole != nullptr && StartsAsFdsBin(*whole);
    }

    void Inspect(const Bytes& file, FileReport& report) const override {
        const FdsBinSideRead read = ReadFdsBinSide(file, 0, file.size());
        Json side = FdsBinSideFacts(read, -1, report);
        report.facts["blocks"] = side["blocks"];
        report.facts["complete"] = side["complete"];
        side.erase("blocks");
        side.erase("complete");
        report.facts["side"] = side;
    }

    void Print(const Json& facts) const override {
        PrintSideState(facts);
        PrintFdsSide(facts["side"]);
    }

    // The CRCs, then the side as an FDS image's is verified.
    void Verify(const Bytes& file, FileReport& report) const override {
        const FdsBinSideRead read = ReadFdsBinSide(file, 0, file.size());
        for (const std::string& text : FdsBinDamage(read)) report.Fail(text);
        if (!report.Failed() && FitsSideArea({0, read.area}, report))
            FdsKind().Verify(WithFdsHeader(read.area, 1), report);
    }

    Content Read(const Bytes& file, bool keep, FileReport& report) const override {
        FdsBinSideRead read = ReadFdsBinSide(file, 0, file.size());
        if (!TakeFdsBinSide(read, -1, keep, report)) return {};
        return {{{0, std::move(read.area)}}, {}};
    }

    // Each side as a read of the side the kit writes gives it back.
    std::vector<Produced> Write(const Content& content, bool, FileReport& report) const override {
        std::vector<Produced> outputs;
        for (const FdsImageSide* side : SidesToWrite(content.sides, report)) {
            const std::string where = "side " + SideLabel(side->number) + ": ";
            const std::size_t before = report.errors.size();
            FdsSideFacts(side->area, side->number, report);
            if (report.errors.size() != before) continue;
            // A .bin is told by its disk info block and text.
            if (!StartsWithDiskInfo(side->area.data(), side->area.size())) {
                report.Fail(where + "the side does not begin with a disk info block and its text " +
                            kFdsDiskVerification + ", which a .bin needs to be told for one");
                continue;
            }
            Bytes bin = FdsBinOfArea(side->area);
            if (bin.empty()) {
                report.Fail(where + "the blocks do not fit on a side");
                continue;
            }
            outputs.push_back({"." + SideLabel(side->number) + ".bin", std::move(bin)});
        }
        return outputs;
    }
};

}  // namespace

const FileKind& FdsBinKind() {
    static const FdsBin kind;
    return kind;
}
