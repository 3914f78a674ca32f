#include "qdkit/hashes.h"

#include <boost/crc.hpp>
#include <boost/uuid/detail/md5.hpp>
#include <boost/uuid/detail/sha1.hpp>
#include <type_traits>

#include "fds/fds_image.h"
#include "fds/fds_layout.h"
#include "fds/fds_qd_image.h"
#include "qdkit/fdsside.h"
#include "qdkit/human.h"
#include "qdkit/qdside.h"

namespace {

std::string HexBytes(const unsigned char* bytes, std::size_t n) {
    static const char kDigits[] = "0123456789abcdef";
    std::string text;
    for (std::size_t i = 0; i < n; ++i) {
        text += kDigits[bytes[i] >> 4];
        text += kDigits[bytes[i] & 15];
    }
    return text;
}

std::string HexWord(std::uint32_t word) {
    const unsigned char bytes[] = {
        static_cast<unsigned char>(word >> 24), static_cast<unsigned char>(word >> 16),
        static_cast<unsigned char>(word >> 8), static_cast<unsigned char>(word)};
    return HexBytes(bytes, sizeof bytes);
}

// The digests after what keys come first.
Json DigestsJson(const Digests& d, Json object = Json::object()) {
    object["size"] = d.size;
    object["crc32"] = d.crc32;
    object["md5"] = d.md5;
    object["sha1"] = d.sha1;
    return object;
}

// The form's hashes, and each side's when it has sides.
Json FormJson(const FormBytes& form) {
    const Digests whole = Digest(form.bytes);
    Json object = DigestsJson(whole);
    if (form.form == Form::kMzt || form.form == Form::kFile) return object;
    Json sides = Json::array();
    std::size_t at = 0;
    for (std::size_t n = 0; n < form.sides.size(); ++n) {
        const Json side = {{"side", n + 1}, {"label", SideLabel(static_cast<int>(n))}};
        // A one-side form's side is the form.
        sides.push_back(DigestsJson(
            form.sides.size() == 1 ? whole : Digest(form.bytes.data() + at, form.sides[n]), side));
        at += form.sides[n];
    }
    object["sides"] = sides;
    return object;
}

void AppendSides(const Bytes& file, std::size_t each, FormBytes& form) {
    for (std::size_t at = 0; at < file.size(); at += each)
        form.sides.push_back(std::min(each, file.size() - at));
}

}  // namespace

// A Boost whose digests are bytes would be read wrong here: it fails to build.
static_assert(std::is_same_v<boost::uuids::detail::md5::digest_type, unsigned int[4]> &&
              std::is_same_v<boost::uuids::detail::sha1::digest_type, unsigned int[5]>);

Digests Digest(const std::uint8_t* bytes, std::size_t size) {
    Digests digests;
    digests.size = size;
    // Boost's MD5 hands even no bytes to memcpy, which a null pointer may not reach.
    static const std::uint8_t kNothing = 0;
    if (size == 0) bytes = &kNothing;
    boost::crc_32_type crc;
    crc.process_bytes(bytes, size);
    digests.crc32 = HexWord(crc.checksum());
    // Boost gives each digest as words that hold its bytes most significant
    // first, on either endianness (its MD5 so since 1.71).
    boost::uuids::detail::md5 md5;
    md5.process_bytes(bytes, size);
    boost::uuids::detail::md5::digest_type md5digest;
    md5.get_digest(md5digest);
    for (unsigned word : md5digest) digests.md5 += HexWord(word);
    boost::uuids::detail::sha1 sha1;
    sha1.process_bytes(bytes, size);
    boost::uuids::detail::sha1::digest_type sha1digest;
    sha1.get_digest(sha1digest);
    for (unsigned word : sha1digest) digests.sha1 += HexWord(word);
    return digests;
}

const char* FormName(Form form) {
    switch (form) {
        case Form::kImage:
            return "image";
        case Form::kQd:
            return "qd";
        case Form::kMzt:
            return "mzt";
        case Form::kFile:
            break;
    }
    return "file";
}

const char* FormText(Form form) {
    switch (form) {
        case Form::kImage:
            return "headerless image";
        case Form::kQd:
            return ".qd image";
        case Form::kMzt:
            return "MZT";
        case Form::kFile:
            break;
    }
    return "the file itself";
}

namespace {

std::vector<FormBytes> FormsOf(const FileKind& kind, const Bytes& loaded, FileReport& scratch) {
    std::vector<FormBytes> forms;
    if (kind.medium() == Medium::kQd) {
        if (&kind == &MztKind()) return {{Form::kMzt, loaded, {}}};
        // The MZT file as the tape writer makes it of the side; a kind
        // loaded as the raw side itself is not copied, a large QD image
        // being held once.
        const bool raw = &kind == &QdRawKind() || &kind == &QdfKind();
        Content content;
        if (!raw) content = kind.Read(loaded, false, scratch);
        if (scratch.Failed()) return {};
        const QdSideRead read =
            ReadQdSideChecked(raw ? loaded : content.raw, false, scratch, QdReadFiles::kMzt);
        if (!scratch.Failed() && read.infos.empty()) scratch.Fail("the side holds no file");
        if (scratch.Failed()) return {};
        Bytes mzt = SideMzt(read, scratch);
        if (scratch.Failed()) return {};
        return {{Form::kMzt, std::move(mzt), {}}};
    }
    const Content content = kind.Read(loaded, false, scratch);
    if (&kind == &FdsKind()) {
        // The image it is: its bytes behind the header, even when cut short.
        const std::size_t first = MeasureFdsImage(loaded).firstarea;
        FormBytes image{Form::kImage,
                        Bytes(loaded.begin() + static_cast<std::ptrdiff_t>(first), loaded.end()),
                        {}};
        AppendSides(image.bytes, kFdsSideAreaBytes, image);
        forms.push_back(std::move(image));
    } else if (!scratch.Failed() && !content.sides.empty()) {
        FormBytes image{Form::kImage, {}, {}};
        for (const FdsImageSide& side : content.sides) {
            image.bytes.insert(image.bytes.end(), side.area.begin(), side.area.end());
            image.sides.push_back(side.area.size());
        }
        forms.push_back(std::move(image));
    }
    FormBytes qd{Form::kQd, {}, {}};
    if (&kind == &FdsQdKind()) {
        qd.bytes = loaded;
        AppendSides(loaded, kFdsQdSideBytes, qd);
    } else if (!scratch.Failed() && !content.sides.empty()) {
        for (const FdsImageSide& side : content.sides) {
            if (IsBlankFdsArea(side.area)) continue;  // as convert leaves it out
            if (AppendFdsQdSide(side.area, qd.bytes).status != FdsQdSideStatus::kOk) return forms;
            qd.sides.push_back(kFdsQdSideBytes);
        }
    }
    if (!qd.bytes.empty()) forms.push_back(std::move(qd));
    return forms;
}

}  // namespace

std::vector<FormBytes> CatalogueForms(const FileKind& kind, const Bytes& loaded,
                                      std::vector<std::string>* errors) {
    FileReport scratch("");
    std::vector<FormBytes> forms = FormsOf(kind, loaded, scratch);
    if (errors != nullptr)
        errors->insert(errors->end(), scratch.errors.begin(), scratch.errors.end());
    return forms;
}

void AddHashFacts(const FileKind& kind, const Bytes& loaded, FileReport& report) {
    const std::vector<FormBytes> forms = CatalogueForms(kind, loaded);
    const auto of = [&](Form which) {
        for (const FormBytes& form : forms)
            if (form.form == which) return FormJson(form);
        return Json();
    };
    if (kind.medium() == Medium::kQd) {
        report.facts["hashes"] = of(Form::kMzt);
    } else {
        report.facts["hashes"] = of(Form::kImage);
        report.facts["hashes_qd"] = of(Form::kQd);
    }
}

void PrintHashFacts(const Json& facts) {
    std::vector<Row> rows{{"FORM", "SIZE", "CRC32", "MD5", "SHA1"}};
    const auto add = [&](const std::string& form, const Json& d) {
        rows.push_back({form, Count(d["size"]), d["crc32"].get<std::string>(),
                        d["md5"].get<std::string>(), d["sha1"].get<std::string>()});
    };
    const std::pair<const char*, const char*> forms[] = {{"hashes", nullptr}, {"hashes_qd", ".qd"}};
    for (const auto& [key, name] : forms) {
        if (!facts.contains(key)) continue;
        const Json& hashes = facts[key];
        const std::string form = name != nullptr               ? name
                                 : facts.contains("hashes_qd") ? "image"
                                                               : "mzt";
        if (hashes.is_null()) {
            rows.push_back({form, "-", "-", "-", "-"});
            continue;
        }
        add(form, hashes);
        const Json sides = hashes.value("sides", Json::array());
        if (sides.size() < 2) continue;
        for (const Json& side : sides)
            add(form + " side " + side["label"].get<std::string>(), side);
    }
    PrintTable("  ", rows, {false, true, false, false, false});
}
