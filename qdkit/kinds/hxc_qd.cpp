// HxC QD images: HxC's container for the raw cells of Quick Disk sides, and
// FlashFloppy's images in the same layout. The kind reads the first side's
// cells as a raw side and shows the header.
#include "qd/hxc_qd.h"

#include "qdkit/human.h"
#include "qdkit/kinds/kind.h"

namespace {

// The file's first side's cells; what is wrong or unusual goes to the report.
Bytes FirstCells(const Bytes& file, FileReport& report, HxcQdImage& image) {
    switch (ReadHxcQd(file, image)) {
        case HxcQdCheck::kOk:
            break;
        case HxcQdCheck::kNoSignature:
            report.Fail("no HxC QD signature");
            return {};
        case HxcQdCheck::kNoTrack:
            report.Fail("the header announces no track");
            return {};
        case HxcQdCheck::kListOutside:
            report.Fail("the track list runs past the end of the file");
            return {};
        case HxcQdCheck::kTrackOutside:
            report.Fail("track " + std::to_string(image.tracks.size() + 1) +
                        " runs past the end of the file");
            return {};
    }
    if (!image.flashfloppy && image.header.encoding != 0)
        report.Warn("the header gives the track encoding " + std::to_string(image.header.encoding) +
                    ", not 0 (cells as they are)");
    if (image.tracks.size() > 1)
        report.Warn("the track list holds " + std::to_string(image.tracks.size()) +
                    " tracks; qdkit reads the first");
    const HxcQdTrack& track = image.tracks.front();
    if (!HxcQdSwitchesInside(track))
        report.Warn("the switches at " + std::to_string(track.startswitch) + " and " +
                    std::to_string(track.stopswitch) + " mark no stretch of the " +
                    std::to_string(track.length) + "-byte track; qdkit reads all of it");
    return HxcQdTrackCells(file, track);
}

class HxcQd final : public FileKind {
public:
    HxcQd() : FileKind("hxc-qd", Medium::kQd, "qd-raw", "BASE.qd") {}

    // HxC's signature; or FlashFloppy's mark with a track entry that fits.
    bool Recognise(Probe& probe) const override {
        const Bytes& prefix = probe.Prefix();
        if (HasHxcQdSignature(prefix.data(), prefix.size())) return true;
        std::uint8_t entry[kHxcQdTrackEntryBytes];
        return HasFlashFloppyQdMark(prefix.data(), prefix.size()) &&
               probe.ReadAt(kFlashFloppyTrackEntry, entry, sizeof entry) &&
               PlausibleFlashFloppyTrack(HxcQdTrackAt(entry), probe.size());
    }

    void Inspect(const Bytes& file, FileReport& report) const override {
        HxcQdImage image;
        const Bytes cells = FirstCells(file, report, image);
        const HxcQdHeader& h = image.header;
        report.facts["layout"] = image.flashfloppy ? "flashfloppy" : "hxc";
        report.facts["header"] = image.flashfloppy ? Json()
                                                   : Json{{"revision", h.revision},
                                                          {"tracks", h.tracks},
                                                          {"sides", h.sides},
                                                          {"encoding", h.encoding},
                                                          {"write_protected", h.writeprotected},
                                                          {"bit_rate", h.bitrate},
                                                          {"flags", h.flags},
                                                          {"track_list", h.tracklist}};
        report.facts["blank"] = !report.Failed() && IsBlankQdTrack(cells);
        Json tracks = Json::array();
        for (const HxcQdTrack& t : image.tracks) {
            tracks.push_back({{"offset", t.offset},
                              {"length", t.length},
                              {"start_switch", t.startswitch},
                              {"stop_switch", t.stopswitch}});
        }
        report.facts["tracks"] = tracks;
        if (!report.Failed() && !report.facts["blank"].get<bool>())
            QdRawKind().Inspect(cells, report);
    }

    void Print(const Json& facts) const override {
        const Json& h = facts["header"];
        if (h.is_null()) {
            PrintLine("  FlashFloppy's header: only QD at offset 3");
        } else {
            PrintLine("  revision " + Count(h["revision"]) + ", " + Count(h["tracks"]) +
                      " track x " + Count(h["sides"]) + " side, " + Count(h["bit_rate"]) +
                      " cells/s" + (h["write_protected"] != 0 ? ", write-protected" : ""));
        }
        for (const Json& t : facts["tracks"]) {
            PrintLine("  track at " + Hex(t["offset"], 8) + ", " + Count(t["length"]) +
                      " bytes, switches at " + Count(t["start_switch"]) + " and " +
                      Count(t["stop_switch"]));
        }
        if (facts["blank"].get<bool>()) PrintLine("  a blank QD image: no blocks");
        if (!facts.contains("blocks")) return;
        PrintSideState(facts);
        PrintQdFiles(facts);
    }

    void Verify(const Bytes& file, FileReport& report) const override {
        HxcQdImage image;
        const Bytes cells = FirstCells(file, report, image);
        if (report.Failed()) return;
        if (IsBlankQdTrack(cells)) {
            report.Warn("a blank QD image: no blocks to check");
            return;
        }
        QdRawKind().Verify(cells, report);
    }

    Content Read(const Bytes& file, bool, FileReport& report) const override {
        HxcQdImage image;
        Bytes cells = FirstCells(file, report, image);
        if (!report.Failed() && IsBlankQdTrack(cells)) {
            report.Fail("a blank QD image: no blocks");
            return {};
        }
        return {{}, std::move(cells)};
    }

    std::vector<Produced> Write(const Content& content, bool, FileReport&) const override {
        return OneOutput(".qd", HxcQdOfCells(content.raw));
    }
};

}  // namespace

const FileKind& HxcQdKind() {
    static const HxcQd kind;
    return kind;
}
