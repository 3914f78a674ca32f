// MZT files (.mzt, .mzf, .m12): records of a 128-byte header and a body.
#include "qd/mzt.h"

#include <algorithm>

#include "common/bitstream.h"
#include "common/littleendian.h"
#include "qdkit/human.h"
#include "qdkit/kinds/kind.h"
#include "qdkit/qdside.h"
#include "qdkit/text.h"

namespace {

std::string ByteAt(const Bytes& bytes, std::size_t at) {
    return at < bytes.size() ? HexValue(bytes[at], 2) : "nothing";
}

class Mzt final : public FileKind {
public:
    Mzt() : FileKind("mzt", Medium::kQd, "qd-raw", "BASE.mzt") {}

    bool Recognise(Probe& probe) const override {
        return IsMztChain(probe.size(), [&](std::uint64_t offset, std::uint8_t* header) {
            return probe.ReadAt(offset, header, kMztHeaderBytes);
        });
    }

    void Inspect(const Bytes& file, FileReport& report) const override {
        const std::vector<MztRecordView> records = WalkMztRecords(file);
        Json list = Json::array();
        std::size_t end = 0;
        for (std::size_t n = 0; n < records.size(); ++n) {
            const MztRecordView& record = records[n];
            const std::uint8_t* header = &file[record.offset];
            const std::size_t body =
                std::min<std::size_t>(record.size, file.size() - record.offset - kMztHeaderBytes);
            Json facts = Json::object();
            facts["attribute"] = header[kMztAttribute];
            facts["name"] = ReadableName(header + kMztName, kQdFileNameBytes);
            facts["size"] = record.size;
            facts["load"] = Le16(header + kMztLoad);
            facts["exec"] = Le16(header + kMztExec);
            facts["body_bytes"] = body;
            list.push_back(facts);
            if (body < record.size) {
                report.Warn("record " + std::to_string(n + 1) + " is cut short: its body has " +
                            std::to_string(body) + " of " + Plural(record.size, "byte"));
            }
            end = record.offset + kMztHeaderBytes + body;
        }
        report.facts["records"] = list;
        WarnEmptyTape(records, report);
        report.facts["trailing_bytes"] = file.size() - end;
        if (file.size() > end) {
            WarnTrailing(file.size() - end, report);
        }
    }

    void Print(const Json& facts) const override {
        std::vector<Row> rows{{"#", "ATTR", "NAME", "SIZE", "LOAD", "EXEC"}};
        int n = 0;
        for (const Json& record : facts["records"]) {
            std::string size = Count(record["size"]);
            if (record["body_bytes"] != record["size"])
                size = Count(record["body_bytes"]) + "/" + size;
            rows.push_back({std::to_string(++n), Hex(record["attribute"], 2),
                            record["name"].get<std::string>(), size, Hex(record["load"], 4),
                            Hex(record["exec"], 4)});
        }
        PrintTable("  ", rows, {true, false, false, true, false, false});
    }

    void Verify(const Bytes& file, FileReport& report) const override {
        const Bytes raw = MztToQdRaw(file, report);
        if (report.Failed()) return;
        const QdSideRead read = ReadQdSide(raw, QdReadFiles::kMzt);
        if (read.result.outcome != QdDecodeOutcome::kNormalEnd) {
            report.Fail("the side does not read back: " + QdWalkText(read));
            return;
        }
        FileReport quiet(report.file);  // the warnings were told above
        const Bytes encoded = MztAsEncodedTold(file, quiet);
        const Bytes expected = MztAsSideHolds(encoded);
        const std::optional<std::size_t> cell = FirstDifferentCell(expected, read.mzt);
        if (!cell) return;
        const std::size_t at = *cell / 8;
        const std::vector<MztRecordView> records = WalkMztRecords(encoded);
        for (std::size_t n = 0; n < records.size(); ++n) {
            const std::size_t body = records[n].offset + kMztHeaderBytes;
            if (at >= body + records[n].size) continue;
            const std::string part = at < body
                                         ? "header byte " + std::to_string(at - records[n].offset)
                                         : "body byte " + std::to_string(at - body);
            report.Fail("record " + std::to_string(n + 1) + ": " + part + " comes back as " +
                        ByteAt(read.mzt, at) + ", not " + HexValue(expected[at], 2));
            return;
        }
        report.Fail("the side gives back more than the file holds");
    }

    Content Read(const Bytes& file, bool, FileReport& report) const override {
        return {{}, MztToQdRaw(file, report)};
    }

    std::vector<Produced> Write(const Content& content, bool keep,
                                FileReport& report) const override {
        const QdSideRead read = ReadQdSideChecked(content.raw, keep, report, QdReadFiles::kMzt);
        if (!report.Failed() && read.infos.empty()) report.Fail("the side holds no file");
        if (report.Failed()) return {};
        Bytes mzt = SideMzt(read, report);
        if (report.Failed()) return {};
        return OneOutput(".mzt", std::move(mzt));
    }
};

}  // namespace

const FileKind& MztKind() {
    static const Mzt kind;
    return kind;
}
