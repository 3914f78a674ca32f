// QD image files (.qdf): the "-QD format-" header, then the side stream,
// one byte for every 16 cells. The kind works on the raw side the stream
// makes, which it makes as it reads the file: a large image is never held
// twice over.
#include <algorithm>

#include "common/bitstream.h"
#include "qd/qd_image.h"
#include "qdkit/human.h"
#include "qdkit/kinds/kind.h"
#include "qdkit/qdside.h"

namespace {

// Why the QD image the decoder made of a side that read to its end would
// not read back as that side; empty when it would.
std::string ImageDiffers(const QdSideRead& first) {
    const QdSideRead again = ReadQdSide(QdRawOfImage(first.image));
    if (again.result.outcome != QdDecodeOutcome::kNormalEnd)
        return "the decoded image does not read back: " + QdWalkText(again);
    const bool same = first.blockcount == again.blockcount && first.infos == again.infos &&
                      first.mzt == again.mzt && first.blocks.size() == again.blocks.size();
    return same ? std::string() : "the decoded image holds other blocks";
}

class Qdf final : public FileKind {
public:
    Qdf() : FileKind("qdf", Medium::kQd, "qd-raw", "BASE.qdf") {}

    bool Recognise(Probe& probe) const override {
        return IsQdImageHeader(probe.Prefix().data(), probe.Prefix().size());
    }

    // The raw side of the stream, filled with gap to a side's length.
    bool Load(Probe& probe, Bytes& raw, FileReport& report) const override {
        constexpr std::size_t kChunk = 1 << 16;
        CheckQdfLength(probe.size(), report);
        const std::uint64_t stream =
            std::max<std::uint64_t>(probe.size() - kQdImageHeaderBytes, kQdSideStreamBytes);
        BitWriter writer;
        writer.bitstreambuffer.reserve(static_cast<std::size_t>(stream) * kRawBytesPerByte + 1);
        Bytes chunk(kChunk);
        for (std::uint64_t at = 0; at < stream; at += kChunk) {
            const std::uint64_t offset = kQdImageHeaderBytes + at;
            const std::size_t n =
                static_cast<std::size_t>(std::min<std::uint64_t>(kChunk, stream - at));
            const std::size_t inside =
                offset >= probe.size()
                    ? 0
                    : static_cast<std::size_t>(std::min<std::uint64_t>(n, probe.size() - offset));
            std::fill(chunk.begin(), chunk.end(), kQdGapByte);
            if (inside > 0 && !probe.ReadAt(offset, chunk.data(), inside)) return false;
            for (std::size_t i = 0; i < n; ++i) writer.MFM_encoder(chunk[i]);
        }
        writer.FlushBits();
        raw = std::move(writer.bitstreambuffer);
        return true;
    }

    void Inspect(const Bytes& raw, FileReport& report) const override {
        QdSideFacts(ReadQdSide(raw, QdReadFiles::kImage), false, report);
    }

    void Print(const Json& facts) const override {
        PrintSideState(facts);
        PrintQdFiles(facts);
    }

    // The side is decoded as the decoder writes a QD image; that image must
    // hold the same blocks. The sync runs and gaps between blocks are the
    // decoder's own.
    void Verify(const Bytes& raw, FileReport& report) const override {
        const QdSideRead first = ReadQdSide(raw);
        if (first.result.outcome != QdDecodeOutcome::kNormalEnd) {
            report.Fail("the side does not read back: " + QdWalkText(first));
            return;
        }
        for (const std::string& text : SizeMismatches(first)) report.Fail(text);
        const std::string differs = ImageDiffers(first);
        if (!differs.empty()) report.Fail(differs);
    }

    Content Read(const Bytes& raw, bool, FileReport&) const override { return {{}, raw}; }

    // The side stream as the decoder rebuilds it.
    std::vector<Produced> Write(const Content& content, bool keep,
                                FileReport& report) const override {
        QdSideRead read = ReadQdSideChecked(content.raw, keep, report);
        if (report.Failed()) return {};
        // Bytes past the counted blocks can read as a block once the side
        // has its full length.
        if (read.result.outcome == QdDecodeOutcome::kNormalEnd) {
            const std::string differs = ImageDiffers(read);
            if (!differs.empty()) Damage(differs, keep, report);
            if (report.Failed()) return {};
        }
        return OneOutput(".qdf", std::move(read.image));
    }
};

}  // namespace

const FileKind& QdfKind() {
    static const Qdf kind;
    return kind;
}
