// qdkit match: each file looked up in catalogues of known good dumps, by
// the forms they list: the headerless image and the .qd image of an FDS
// disk, the MZT file of a QD side, and the file itself.
#include "qdkit/match.h"

#include <algorithm>

#include "fds/side_rescue.h"
#include "qd/side_rescue.h"
#include "qdkit/batch.h"
#include "qdkit/commands.h"
#include "qdkit/detect.h"

namespace {

// A file whole, as match reads it: its kind (that of the cells in it, for
// a capture device's file) and what the kind loads of it.
struct MatchInput {
    Digests file;  // the file's own, taken before the kind loads it
    const FileKind* kind = nullptr;
    bool capture = false;
    Bytes loaded;
};

// The file itself is one form; a capture's cells, perhaps, a side. The
// file is held once, its own digests taken first.
void Recognise(Bytes file, MatchInput& input, FileReport& report) {
    input.file = Digest(file);
    Probe probe(std::move(file));
    input.kind = RecogniseKind(probe);
    if (input.kind != nullptr) {
        if (!input.kind->Load(probe, input.loaded, report)) input.kind = nullptr;
        return;
    }
    if (!probe.TakeWhole(file)) return;
    for (const RescueMedium* medium : {&kFdsRescue, &kQdRescue}) {
        if (medium->capture == nullptr) continue;
        std::optional<Bytes> cells = medium->capture(file);
        if (!cells) continue;
        Probe side(std::move(*cells));
        input.kind = RecogniseKind(side);
        if (input.kind == nullptr || !input.kind->Load(side, input.loaded, report)) {
            input.kind = nullptr;
            continue;
        }
        input.capture = true;
        return;
    }
}

// False when the file cannot be read; empty for one a walk skips unread.
bool ReadWhole(const Batch& batch, const BatchFile& file, MatchInput& input, bool& empty,
               FileReport& report) {
    Bytes bytes;
    if (!batch.LoadWhole(file, bytes, report, empty)) return false;
    Recognise(std::move(bytes), input, report);
    if (input.kind != nullptr) report.kind = input.kind->name();
    return true;
}

// The forms a file gives, and the file itself.
std::vector<FormDigests> Forms(const MatchInput& input, FileReport& report) {
    std::vector<FormBytes> forms;
    if (input.kind != nullptr) forms = CatalogueForms(*input.kind, input.loaded, &report.errors);
    return DigestForms(forms, input.file);
}

}  // namespace

bool LoadDats(const std::vector<std::string>& paths, std::vector<Dat>& dats) {
    bool loaded = true;
    for (const std::string& path : paths) {
        FileReport report(path);
        Bytes bytes;
        Dat dat{path, {}};
        std::string error;
        Guarded(report, [&] {
            if (!LoadWholeInput(path, bytes, report)) return;
            if (!ParseDat(std::string(bytes.begin(), bytes.end()), dat, error)) report.Fail(error);
        });
        if (!report.Failed() && dat.roms.empty()) report.Warn("the DAT lists no file");
        PrintMessages(report);
        loaded = loaded && !report.Failed();
        dats.push_back(std::move(dat));
    }
    return loaded;
}

std::vector<FormDigests> DigestForms(const std::vector<FormBytes>& forms, const Digests& file) {
    std::vector<FormDigests> digests;
    for (const FormBytes& form : forms) digests.push_back({form.form, Digest(form.bytes)});
    const bool same = std::any_of(digests.begin(), digests.end(), [&](const FormDigests& form) {
        return form.digests.size == file.size && form.digests.sha1 == file.sha1;
    });
    if (!same) digests.push_back({Form::kFile, file});
    return digests;
}

std::vector<DatMatch> FindMatches(const std::vector<Dat>& dats,
                                  const std::vector<FormDigests>& forms) {
    std::vector<DatMatch> matches;
    for (const Dat& dat : dats) {
        for (const DatRom& rom : dat.roms) {
            for (const FormDigests& form : forms) {
                if (!RomMatches(rom, form.digests)) continue;
                matches.push_back({&dat, &rom, form.form});
                break;
            }
        }
    }
    return matches;
}

std::string MatchText(const DatMatch& match) {
    return "\"" + match.rom->game + "\" rom \"" + match.rom->name + "\" (" + FormText(match.form) +
           ")";
}

Json MatchJson(const DatMatch& match) {
    return {{"dat", match.dat->path},
            {"game", match.rom->game},
            {"rom", match.rom->name},
            {"form", FormName(match.form)}};
}

int RunMatch(const std::vector<std::string>& files, const MatchOptions& options) {
    std::vector<Dat> dats;
    if (!LoadDats(options.dats, dats)) return 1;
    Batch batch(files, options.batch, "matched");
    Json all = Json::array();
    for (const BatchFile& file : batch.files()) {
        FileReport report(file.path);
        MatchInput input;
        bool read = false;
        bool empty = false;
        Guarded(report, [&] { read = ReadWhole(batch, file, input, empty, report); });
        Input told;
        told.unknown = empty || (read && input.kind == nullptr);
        if (batch.SkipsUnknown(file, told)) continue;
        std::vector<DatMatch> matches;
        if (read) Guarded(report, [&] { matches = FindMatches(dats, Forms(input, report)); });
        PrintMessages(report);
        if (options.batch.json) {
            Json object = ReportJson(report);
            Json list = Json::array();
            for (const DatMatch& match : matches) list.push_back(MatchJson(match));
            object.erase("warnings");
            object.erase("errors");
            if (input.capture) object["capture"] = true;
            object["matched"] = !matches.empty();
            object["matches"] = list;
            object["warnings"] = report.warnings;
            object["errors"] = report.errors;
            all.push_back(object);
        } else if (!read) {
            PrintLine(file.path + ": FAILED: " + report.errors.front());
        } else if (matches.empty()) {
            PrintLine(file.path + ": no match");
        } else {
            for (const DatMatch& match : matches) PrintLine(file.path + ": " + MatchText(match));
        }
        batch.Count(matches.empty() ? Outcome::kFailed : Outcome::kDone);
    }
    if (options.batch.json) PrintDocument(all);
    return batch.End();
}
