// The raw image of one QD side: its MFM cells, eight to a byte.
#include "qd/side_encoder.h"
#include "qd/side_rescue.h"
#include "qdkit/human.h"
#include "qdkit/kinds/kind.h"
#include "qdkit/qdside.h"

namespace {

class QdRaw final : public FileKind {
public:
    QdRaw() : FileKind("qd-raw", Medium::kQd, "mzt", "BASE.QDK") {}

    // A block-count block that passes its CRC after its sync bytes, anywhere
    // in the cells.
    bool SearchesCells() const override { return true; }
    bool OpensEarly(Probe& probe) const override {
        const Bytes* whole = probe.Whole(kMaxRawSideBytes);
        return whole != nullptr && QdSideOpensEarly(*whole);
    }

    bool Recognise(Probe& probe) const override {
        const DataPlanes* planes = probe.Planes(kMaxRawSideBytes);
        return planes != nullptr && HoldsQdSideStart(*planes);
    }

    void Inspect(const Bytes& file, FileReport& report) const override {
        Inspect(file, ReadQdSide(file, QdReadFiles::kMzt), report);
    }

    void Print(const Json& facts) const override {
        PrintSideState(facts);
        PrintQdFiles(facts);
    }

    void Verify(const Bytes& file, FileReport& report) const override {
        const QdSideRead read = ReadQdSide(file, QdReadFiles::kMzt);
        Inspect(file, read, report);
        for (const std::string& text : SizeMismatches(read)) report.Fail(text);
        VerifyCanonical(report);
    }

    Content Read(const Bytes& file, bool, FileReport&) const override { return {{}, file}; }

    std::vector<Produced> Write(const Content& content, bool, FileReport&) const override {
        return OneOutput(".QDK", content.raw);
    }

private:
    // One decoding of the side serves every check.
    static void Inspect(const Bytes& file, const QdSideRead& read, FileReport& report) {
        QdSideFacts(read, true, report);
        CompareCells(CompareWithCanonicalQd(file, read.mzt), report);
    }
};

}  // namespace

const FileKind& QdRawKind() {
    static const QdRaw kind;
    return kind;
}
