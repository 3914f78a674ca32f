// The raw image of one FDS side: its MFM cells, eight to a byte.
#include <utility>

#include "common/bitstream.h"
#include "common/crc16.h"
#include "fds/fds_layout.h"
#include "fds/side_encoder.h"
#include "fds/side_rescue.h"
#include "qdkit/fdsside.h"
#include "qdkit/human.h"
#include "qdkit/kinds/kind.h"

namespace {

class FdsRaw final : public FileKind {
public:
    FdsRaw() : FileKind("fds-raw", Medium::kFds, "fds", "BASE.DKA, BASE.DKB, ...") {}

    // A disk info block that passes its CRC, anywhere in the cells.
    bool SearchesCells() const override { return true; }
    bool OpensEarly(Probe& probe) const override {
        const Bytes* whole = probe.Whole(kMaxRawSideBytes);
        return whole != nullptr && FdsSideOpensEarly(*whole);
    }

    bool Recognise(Probe& probe) const override {
        const DataPlanes* planes = probe.Planes(kMaxRawSideBytes);
        return planes != nullptr && HoldsFdsSideStart(*planes);
    }

    void Inspect(const Bytes& file, FileReport& report) const override {
        FdsSideRead read = ReadFdsSide(file);
        Json blocks = Json::array();
        for (const BlockSeen& block : read.blocks) {
            blocks.push_back(
                {{"id", block.code}, {"size", block.length}, {"crc_ok", block.check == 0}});
        }
        const std::vector<std::string> damage = FdsReadDamage(read, file);
        for (std::size_t n = 0; n < damage.size(); ++n)
            report.Fail(damage[n] + (n == 0 ? " (qdkit recover may rescue more)" : ""));
        report.facts["blocks"] = blocks;
        const Bytes area = DecodedFdsArea(std::move(read.image));
        report.facts["side"] = FdsSideFacts(area, 0, report);
        FitsSideArea(0, area, report);
        report.facts["complete"] = read.outcome == FdsDecodeOutcome::kComplete;
        CompareCells(CompareWithCanonicalFds(file, area), report);
    }

    void Print(const Json& facts) const override {
        PrintSideState(facts);
        PrintFdsSide(facts["side"]);
    }

    void Verify(const Bytes& file, FileReport& report) const override {
        Inspect(file, report);
        VerifyCanonical(report);
    }

    Content Read(const Bytes& file, bool keep, FileReport& report) const override {
        Bytes image = FdsRawToFds(file, keep, report);
        if (image.empty()) return {};
        return {{{0, DecodedFdsArea(std::move(image))}}, {}};
    }

    // Each side as the kit's encoder lays it out; a blank one is skipped.
    std::vector<Produced> Write(const Content& content, bool, FileReport& report) const override {
        std::vector<Produced> outputs;
        // One writer for the run, as the classic encoder keeps it from side to side.
        BitWriter writer;
        Crc16 crc(kFdsWriterCrc);
        for (const FdsImageSide* written : SidesToWrite(content.sides, report)) {
            const FdsImageSide& side = *written;
            const std::string where = "side " + SideLabel(side.number) + ": ";
            const std::size_t before = report.errors.size();
            FdsSideFacts(side.area, side.number, report);
            if (report.errors.size() != before) continue;
            // A raw side is told by its disk info block and text.
            if (!StartsWithDiskInfo(side.area.data(), side.area.size())) {
                report.Fail(where + "the side does not begin with a disk info block and its text " +
                            kFdsDiskVerification + ", which a raw side needs to be told for one");
                continue;
            }
            Bytes stream;
            const FdsSideResult built =
                EncodeFdsSide(side.area, 0, stream, crc, writer, MissingFiles::kEndSide);
            switch (built.status) {
                case FdsSideStatus::kOk:
                    outputs.push_back({RawSideSuffix(side.number), writer.bitstreambuffer});
                    break;
                case FdsSideStatus::kSizeOver:
                    report.Fail(where + "the blocks do not fit on a side");
                    break;
                case FdsSideStatus::kEndOfImage:
                case FdsSideStatus::kUnknownId:
                    report.Fail(where + "the blocks run past the end of the side");
                    break;
            }
        }
        return outputs;
    }
};

}  // namespace

const FileKind& FdsRawKind() {
    static const FdsRaw kind;
    return kind;
}
