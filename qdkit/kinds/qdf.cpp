// QD image files (.qdf): the "-QD format-" header, then the side stream,
// one byte for every 16 cells.
#include "qd/qd_image.h"
#include "qdkit/human.h"
#include "qdkit/kinds/kind.h"
#include "qdkit/qdside.h"

namespace {

class Qdf final : public FileKind {
public:
    Qdf() : FileKind("qdf", Medium::kQd, "qd-raw") {}

    bool Recognise(Probe& probe) const override {
        return IsQdImageHeader(probe.Prefix().data(), probe.Prefix().size());
    }

    void Inspect(const Bytes& file, FileReport& report) const override {
        QdSideFacts(ReadQdRaw(QdfToQdRaw(file, report)), report);
    }

    void Print(const Json& facts) const override {
        PrintSideState(facts);
        PrintQdFiles(facts);
    }

    // The side stream goes onto a raw side and is decoded as the decoder
    // writes a QD image; that image must hold the same blocks. The sync runs
    // and gaps between blocks are the decoder's own.
    void Verify(const Bytes& file, FileReport& report) const override {
        const QdRawRead first = ReadQdRaw(QdfToQdRaw(file, report));
        if (first.result.outcome != QdDecodeOutcome::kNormalEnd) {
            report.Fail("the side does not read back: " + QdWalkText(first));
            return;
        }
        FileReport quiet(report.file);
        const QdRawRead again = ReadQdRaw(QdfToQdRaw(first.image, quiet));
        if (again.result.outcome != QdDecodeOutcome::kNormalEnd) {
            report.Fail("the decoded image does not read back: " + QdWalkText(again));
            return;
        }
        const bool same = first.blockcount == again.blockcount && first.infos == again.infos &&
                          first.mzt == again.mzt && first.blocks.size() == again.blocks.size();
        if (!same) report.Fail("the decoded image holds other blocks");
    }

    Content Read(const Bytes& file, bool, FileReport& report) const override {
        return {{}, QdfToQdRaw(file, report)};
    }

    // The side stream as the decoder rebuilds it.
    std::vector<Produced> Write(const Content& content, bool keep,
                                FileReport& report) const override {
        QdRawRead read = ReadQdSide(content.raw, keep, report);
        if (report.Failed()) return {};
        return {{".qdf", std::move(read.image)}};
    }
};

}  // namespace

const FileKind& QdfKind() {
    static const Qdf kind;
    return kind;
}
