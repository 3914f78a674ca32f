// MZQ images of QD sides: the blocks without gaps, each led by 00 16 16 and
// followed by "CRC" where the side has its CRC. The kind reads them onto a
// freshly formatted side, each block with the CRC it should carry.
#include "qd/mzq.h"

#include <algorithm>

#include "qd/qd_image.h"
#include "qd/side_encoder.h"
#include "qdkit/human.h"
#include "qdkit/kinds/kind.h"
#include "qdkit/qdside.h"
#include "qdkit/text.h"

namespace {

std::string WalkText(const MzqWalk& walk) {
    const std::string block = "block " + std::to_string(walk.blocks.size() + 1);
    const std::string at = " at offset " + std::to_string(walk.position);
    switch (walk.end) {
        case MzqEnd::kComplete:
            break;
        case MzqEnd::kNoLead:
            return block + at + " does not begin with 00 16 16 and an ID mark";
        case MzqEnd::kNoCrcText:
            return block + at + " lacks the text CRC behind it";
        case MzqEnd::kCutShort:
            return block + at + " runs past the end of the file";
        case MzqEnd::kUnknownType:
            return block + at + " has an unknown type";
    }
    return {};
}

// What is wrong with the file goes to the report (with keep, the blocks
// before it are kept, with a warning; a conversion's error adds hint).
struct MzqRead {
    MzqWalk walk;
    Bytes raw;
};

MzqRead ReadMzq(const Bytes& file, bool keep, FileReport& report, const std::string& hint = "") {
    MzqRead read{WalkMzq(file), {}};
    const MzqWalk& walk = read.walk;
    const std::string text = WalkText(walk);
    if (!text.empty()) {
        if (keep) {
            report.Warn(text + " (the blocks before it kept)");
        } else {
            report.Fail(text + hint);
        }
    } else {
        const auto tail = file.begin() + static_cast<std::ptrdiff_t>(walk.position);
        const auto stray = std::count_if(tail, file.end(), [](std::uint8_t b) { return b != 0; });
        if (stray > 0) {
            report.Warn("bytes after the last block that are not 0x00 fill: " +
                        std::to_string(stray) + " of " + std::to_string(file.end() - tail));
        }
    }
    const Bytes stream = LayQdBlocks(MzqBlockViews(file, walk));
    if (stream.size() > static_cast<std::size_t>(kQdSideStreamBytes)) {
        report.Warn("the blocks take " + std::to_string(stream.size()) +
                    " bytes of side stream, more than a side holds (" +
                    std::to_string(kQdSideStreamBytes) + ")");
    }
    read.raw = QdRawOfStream(stream);
    return read;
}

class Mzq final : public FileKind {
public:
    Mzq() : FileKind("mzq", Medium::kQd, "mzt", "BASE.mzq") {}

    bool Recognise(Probe& probe) const override {
        return StartsAsMzq(probe.Prefix().data(), probe.Prefix().size());
    }

    void Inspect(const Bytes& file, FileReport& report) const override {
        const MzqRead read = ReadMzq(file, false, report);
        report.facts["fill_bytes"] = file.size() - read.walk.position;
        // A file that does not walk to its end has said so; the side's
        // facts, not its complaints about the same blocks.
        FileReport side(report.file);
        QdSideFacts(ReadQdSide(read.raw, QdReadFiles::kImage), false,
                    report.Failed() ? side : report);
        for (const auto& item : side.facts.items()) report.facts[item.key()] = item.value();
    }

    void Print(const Json& facts) const override {
        PrintSideState(facts);
        PrintQdFiles(facts);
    }

    // The blocks go onto a side, read back, and come off it as they were.
    void Verify(const Bytes& file, FileReport& report) const override {
        const MzqRead read = ReadMzq(file, false, report);
        if (report.Failed()) return;
        const QdSideRead side = ReadQdSide(read.raw);
        if (side.result.outcome != QdDecodeOutcome::kNormalEnd) {
            report.Fail("the blocks do not read back from a side: " + QdWalkText(side));
            return;
        }
        for (const std::string& text : SizeMismatches(side)) report.Fail(text);
        Bytes back;
        for (std::size_t n = 0; n < side.blocks.size(); ++n) {
            const Bytes block = QdBlockBytes(side, n);
            AppendMzqBlock(back, block.data(), block.size() - kQdCrcBytes);
        }
        const auto end = file.begin() + static_cast<std::ptrdiff_t>(read.walk.position);
        if (!std::equal(back.begin(), back.end(), file.begin(), end))
            report.Fail("the blocks come back from a side other than the file holds them");
    }

    Content Read(const Bytes& file, bool keep, FileReport& report) const override {
        return {{}, ReadMzq(file, keep, report, SalvageHint("keeps the blocks before it")).raw};
    }

    // The side's blocks as decoded, 0x00 to the length an emulator's image
    // has. A block that fails its CRC is left out: the image keeps no CRC.
    std::vector<Produced> Write(const Content& content, bool keep,
                                FileReport& report) const override {
        const QdSideRead read = ReadQdSideChecked(content.raw, keep, report);
        if (report.Failed()) return {};
        Bytes file;
        for (std::size_t n = 0; n < read.blocks.size(); ++n) {
            if (read.blocks[n].check != 0) {
                report.Warn("block " + std::to_string(n + 1) +
                            " fails its CRC and is left out: an MZQ image keeps no CRC");
                continue;
            }
            const Bytes block = QdBlockBytes(read, n);
            AppendMzqBlock(file, block.data(), block.size() - kQdCrcBytes);
        }
        if (file.size() < static_cast<std::size_t>(kMzqEmulatorImageBytes))
            file.resize(kMzqEmulatorImageBytes, 0x00);
        return OneOutput(".mzq", std::move(file));
    }
};

}  // namespace

const FileKind& MzqKind() {
    static const Mzq kind;
    return kind;
}
