#include "qdkit/manifest.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "common/littleendian.h"
#include "common/wholefile.h"
#include "fds/fds_files.h"
#include "fds/fds_image.h"
#include "qd/mzq.h"
#include "qd/mzt_records.h"
#include "qd/qd_image.h"
#include "qd/qd_stream.h"
#include "qd/side_encoder.h"
#include "qdkit/detect.h"
#include "qdkit/fdsside.h"
#include "qdkit/text.h"

namespace {

// ---- Bytes as manifest text --------------------------------------------

std::string HexText(const std::uint8_t* bytes, std::size_t n) {
    std::string text;
    for (std::size_t i = 0; i < n; ++i) {
        char pair[3];
        std::snprintf(pair, sizeof pair, "%02x", bytes[i]);
        text += pair;
    }
    return text;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Hex digits, blanks between them allowed.
bool BytesOfHex(const std::string& text, Bytes& bytes) {
    bytes.clear();
    int high = -1;
    for (char c : text) {
        if (c == ' ') continue;
        const int digit = HexDigit(c);
        if (digit < 0) return false;
        if (high < 0) {
            high = digit;
        } else {
            bytes.push_back(static_cast<std::uint8_t>(high << 4 | digit));
            high = -1;
        }
    }
    return high < 0;
}

// The inverse of ReadableBytes: printable ASCII, and \xNN for any byte.
bool BytesOfText(const std::string& text, Bytes& bytes) {
    bytes.clear();
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c == '\\') {
            if (i + 3 >= text.size()) return false;
            if (text[i + 1] != 'x' || HexDigit(text[i + 2]) < 0 || HexDigit(text[i + 3]) < 0)
                return false;
            bytes.push_back(
                static_cast<std::uint8_t>(HexDigit(text[i + 2]) << 4 | HexDigit(text[i + 3])));
            i += 3;
        } else if (c >= 0x20 && c < 0x7F) {
            bytes.push_back(c);
        } else {
            return false;
        }
    }
    return true;
}

// A name for a file on Linux and Windows alike: the characters both allow.
std::string SafeName(const Bytes& name) {
    std::string safe;
    for (std::uint8_t b : name) {
        const bool kept = (b >= 0x20 && b < 0x7F && !std::strchr("<>:\"/\\|?*", b));
        safe += kept ? static_cast<char>(b) : '_';
    }
    // Windows drops trailing blanks and dots.
    while (!safe.empty() && (safe.back() == ' ' || safe.back() == '.')) safe.pop_back();
    return safe;
}

std::string Numbered(std::size_t n, std::size_t count) {
    std::string digits = std::to_string(n);
    const std::size_t width = std::max<std::size_t>(2, std::to_string(count).size());
    return std::string(width - std::min(width, digits.size()), '0') + digits;
}

std::string FileName(const std::string& prefix, const Bytes& name, const char* extension) {
    const std::string safe = SafeName(name);
    return prefix + (safe.empty() ? "" : "-" + safe) + extension;
}

// ---- Reading the manifest, every complaint naming where ------------------

class Reader {
public:
    Reader(const Json& object, std::string where, FileReport& report)
        : m_object(object), m_where(std::move(where)), m_report(report) {
        if (!object.is_object()) Fail("", "not an object");
    }

    bool Has(const char* key) const { return m_object.is_object() && m_object.contains(key); }
    const Json& At(const char* key) const { return m_object.at(key); }

    // A number from 0 to max; fallback when absent.
    long Number(const char* key, long max, long fallback) {
        if (!Has(key)) return fallback;
        const Json& value = At(key);
        if (!value.is_number_integer() || value.get<long long>() < 0 ||
            value.get<long long>() > max) {
            Fail(key, "not a whole number from 0 to " + std::to_string(max));
            return fallback;
        }
        return static_cast<long>(value.get<long long>());
    }

    std::optional<std::uint16_t> Crc(const char* key) {
        if (!Has(key)) return std::nullopt;
        return static_cast<std::uint16_t>(Number(key, 0xFFFF, 0));
    }

    bool Flag(const char* key) {
        if (!Has(key)) return false;
        if (!At(key).is_boolean()) {
            Fail(key, "not true or false");
            return false;
        }
        return At(key).get<bool>();
    }

    std::string String(const char* key) {
        if (!Has(key)) return {};
        if (!At(key).is_string()) {
            Fail(key, "not a string");
            return {};
        }
        return At(key).get<std::string>();
    }

    // Text as ReadableBytes writes it, at most max bytes.
    bool Text(const char* key, std::size_t max, Bytes& bytes) {
        if (!Has(key)) return false;
        if (!BytesOfText(String(key), bytes)) {
            Fail(key, "printable ASCII and \\xNN only");
            return false;
        }
        if (bytes.size() > max) {
            Fail(key, std::to_string(bytes.size()) + " bytes, more than the " +
                          std::to_string(max) + " it holds");
            return false;
        }
        return true;
    }

    Bytes Hex(const char* key) {
        Bytes bytes;
        if (Has(key) && !BytesOfHex(String(key), bytes)) Fail(key, "not hex bytes");
        return bytes;
    }

    void Fail(const std::string& key, const std::string& text) {
        m_report.Fail(kManifestName + std::string(": ") + m_where +
                      (key.empty() ? "" : (m_where.empty() ? "" : ", ") + key) + ": " + text);
    }

private:
    const Json& m_object;
    std::string m_where;
    FileReport& m_report;
};

// ---- FDS -----------------------------------------------------------------

Json DiskInfoJson(const std::uint8_t* block, const std::optional<std::uint16_t>& crc) {
    Json info = Json::object();
    for (const auto& [field, text] : FdsDiskInfoNamedFields()) {
        if (text) {
            info[field.name] = ReadableBytes(block + field.offset, field.bytes);
        } else if (field.bytes == 1) {
            info[field.name] = block[field.offset];
        } else {
            info[field.name] =
                std::vector<int>(block + field.offset, block + field.offset + field.bytes);
        }
    }
    Json unnamed = Json::object();
    for (const FdsField& run : FdsDiskInfoUnnamedRuns())
        unnamed[std::to_string(run.offset)] = HexText(block + run.offset, run.bytes);
    info["unnamed"] = unnamed;
    if (crc) info["crc"] = *crc;
    return info;
}

void DiskInfoOfJson(Reader& reader, std::array<std::uint8_t, kFdsDiskInfoBlockBytes>& block,
                    std::optional<std::uint16_t>& crc, FileReport& report,
                    const std::string& where) {
    block.fill(0);
    block[0] = kFdsDiskInfoBlock;
    std::copy_n(kFdsDiskVerification, kFdsDiskVerificationBytes, block.begin() + 1);
    if (reader.Has("unnamed")) {
        const Json& unnamed = reader.At("unnamed");
        Reader runs(unnamed, where + ", unnamed", report);
        if (unnamed.is_object()) {
            for (const auto& item : unnamed.items()) {
                Bytes bytes;
                const long offset = std::strtol(item.key().c_str(), nullptr, 10);
                if (!item.value().is_string() ||
                    !BytesOfHex(item.value().get<std::string>(), bytes) || offset < 1 ||
                    offset + static_cast<long>(bytes.size()) > kFdsDiskInfoBlockBytes) {
                    runs.Fail(item.key(), "not hex bytes at an offset from 1 to 55 in the block");
                    continue;
                }
                std::copy(bytes.begin(), bytes.end(), block.begin() + offset);
            }
        }
    }
    for (const auto& [field, text] : FdsDiskInfoNamedFields()) {
        if (!reader.Has(field.name)) continue;
        if (text) {
            Bytes bytes;
            if (!reader.Text(field.name, static_cast<std::size_t>(field.bytes), bytes)) continue;
            bytes.resize(static_cast<std::size_t>(field.bytes), ' ');
            std::copy(bytes.begin(), bytes.end(), block.begin() + field.offset);
        } else if (field.bytes == 1) {
            block[field.offset] = static_cast<std::uint8_t>(reader.Number(field.name, 255, 0));
        } else {
            const Json& value = reader.At(field.name);
            if (!value.is_array() || value.size() != static_cast<std::size_t>(field.bytes) ||
                !std::all_of(value.begin(), value.end(), [](const Json& b) {
                    return b.is_number_integer() && b.get<long long>() >= 0 &&
                           b.get<long long>() <= 255;
                })) {
                reader.Fail(field.name, "not a list of " + std::to_string(field.bytes) +
                                            " numbers from 0 to 255");
                continue;
            }
            for (int i = 0; i < field.bytes; ++i)
                block[field.offset + i] = static_cast<std::uint8_t>(value[i].get<int>());
        }
    }
    crc = reader.Crc("crc");
}

std::string WhyWhole(const FdsSideSplit& split) {
    switch (split.how) {
        case FdsSplit::kNoDiskInfo:
            return "the side does not begin with a disk info block";
        case FdsSplit::kNoFileAmount:
            return "no file amount block follows the disk info block";
        case FdsSplit::kOutOfOrder:
            return "the block at offset " + std::to_string(split.offset) +
                   " breaks the order of file headers and their data";
        case FdsSplit::kCutShort:
            return "the block at offset " + std::to_string(split.offset) +
                   " runs past the end of the side";
        case FdsSplit::kHeaderWithoutData:
            return "the last file header has no data block behind it";
        case FdsSplit::kFiles:
        case FdsSplit::kBlank:
            break;
    }
    return {};
}

Json FdsSideJson(const Bytes& side, std::size_t trailer, int number, Extraction& out,
                 FileReport& report) {
    const std::string label = SideLabel(number);
    Json json = Json::object();
    json["side"] = label;
    const FdsSideSplit split = SplitFdsSide(side, trailer);
    if (split.how == FdsSplit::kBlank) {
        json["blank"] = true;
        return json;
    }
    if (split.how != FdsSplit::kFiles) {
        const std::string name = label + "-side.bin";
        report.Warn("side " + label + ": " + WhyWhole(split) + "; the side is kept whole as " +
                    name);
        out.files.push_back({name, Bytes(side.begin(), side.begin() + static_cast<std::ptrdiff_t>(
                                                                          FdsContentEnd(side)))});
        json["whole"] = name;
        return json;
    }
    const FdsSideFiles& files = split.files;
    json["disk_info"] = DiskInfoJson(files.diskinfo.data(), files.diskinfocrc);
    if (files.announced > static_cast<int>(files.files.size()))
        json["file_amount"] = files.announced;
    if (files.amountcrc) json["file_amount_crc"] = *files.amountcrc;
    Json list = Json::array();
    for (std::size_t n = 0; n < files.files.size(); ++n) {
        const FdsSideFile& file = files.files[n];
        const std::uint8_t* h = file.header.data();
        const Bytes name(h + kFdsFileNameOffset, h + kFdsFileNameOffset + kFdsFileNameBytes);
        Json entry = Json::object();
        entry["file"] = FileName(label + "-" + Numbered(n, files.files.size()), name, ".bin");
        entry["number"] = h[kFdsFileNumberOffset];
        entry["id"] = h[kFdsFileIdOffset];
        entry["name"] = ReadableBytes(name.data(), name.size());
        entry["type"] = h[kFdsFileTypeOffset];
        entry["load"] = Le16(h + kFdsFileLoadOffset);
        if (static_cast<int>(n) >= files.announced) entry["hidden"] = true;
        if (file.headercrc) entry["header_crc"] = *file.headercrc;
        if (file.datacrc) entry["data_crc"] = *file.datacrc;
        out.files.push_back({entry["file"].get<std::string>(), file.data});
        list.push_back(entry);
    }
    json["files"] = list;
    if (!files.trailing.empty())
        json["trailing"] = HexText(files.trailing.data(), files.trailing.size());
    return json;
}

void ExtractFds(const FileKind& kind, const Bytes& input, Extraction& out, FileReport& report) {
    FdsImageParts parts;
    std::size_t trailer = 0;
    if (&kind == &FdsKind()) {
        parts = FdsImagePartsOf(input);
    } else if (&kind == &FdsQdKind()) {
        // Its CRCs are kept as the image holds them; one that fails is said.
        kind.Read(input, true, report);
        parts = FdsQdImagePartsOf(input);
        trailer = kFdsCrcBytes;
    } else {
        Content content = kind.Read(input, false, report);
        if (report.Failed()) return;
        for (FdsImageSide& side : content.sides) parts.sides.push_back(std::move(side.area));
        parts.lastbytes = kFdsSideAreaBytes;
    }
    Json& manifest = out.manifest;
    if (parts.sides.empty()) {
        report.Fail("the file holds no side");
        return;
    }
    if (&kind == &FdsKind()) {
        manifest["header"] = parts.header.has_value();
        if (parts.header) {
            const auto& h = *parts.header;
            if (h[kFdsSideCountOffset] != parts.sides.size())
                manifest["header_sides"] = h[kFdsSideCountOffset];
            const auto pad = h.begin() + kFdsSideCountOffset + 1;
            if (std::any_of(pad, h.end(), [](std::uint8_t b) { return b != 0; }))
                manifest["header_padding"] =
                    HexText(&*pad, static_cast<std::size_t>(h.end() - pad));
        }
    }
    const std::size_t sidebytes = trailer == 0 ? kFdsSideAreaBytes : kFdsQdSideBytes;
    if (!parts.sides.empty() && parts.lastbytes < sidebytes && &kind != &FdsRawKind())
        manifest["last_side_bytes"] = parts.lastbytes;
    Json sides = Json::array();
    for (std::size_t n = 0; n < parts.sides.size(); ++n)
        sides.push_back(FdsSideJson(parts.sides[n], trailer, static_cast<int>(n), out, report));
    manifest["sides"] = sides;
}

// The side the manifest describes, as the image holds it (not filled).
Bytes FdsSideOfJson(const Json& json, std::size_t index, std::size_t trailer,
                    const FolderReader& read, FileReport& report) {
    const std::string label = SideLabel(static_cast<int>(index));
    const std::string where = "side " + label;
    Reader side(json, where, report);
    if (side.Flag("blank")) return {};
    if (side.Has("whole")) {
        Bytes bytes;
        read(side.String("whole"), bytes);
        return bytes;
    }
    FdsSideFiles files;
    if (!side.Has("disk_info")) {
        side.Fail("", "no disk_info (or blank, or whole)");
        return {};
    }
    Reader info(side.At("disk_info"), where + ", disk_info", report);
    DiskInfoOfJson(info, files.diskinfo, files.diskinfocrc, report, where + ", disk_info");
    files.amountcrc = side.Crc("file_amount_crc");
    const Json empty = Json::array();
    const Json& list = side.Has("files") ? side.At("files") : empty;
    if (!list.is_array()) side.Fail("files", "not a list");
    int visible = 0;
    std::optional<std::size_t> firsthidden;
    for (std::size_t n = 0; list.is_array() && n < list.size(); ++n) {
        const std::string at = where + ", file " + std::to_string(n + 1);
        Reader entry(list[n], at, report);
        FdsSideFile file;
        auto& h = file.header;
        h[0] = kFdsFileHeaderBlock;
        h[kFdsFileNumberOffset] =
            static_cast<std::uint8_t>(entry.Number("number", 255, static_cast<long>(n & 0xFF)));
        h[kFdsFileIdOffset] =
            static_cast<std::uint8_t>(entry.Number("id", 255, h[kFdsFileNumberOffset]));
        Bytes name;
        entry.Text("name", kFdsFileNameBytes, name);
        name.resize(kFdsFileNameBytes, ' ');
        std::copy(name.begin(), name.end(), h.begin() + kFdsFileNameOffset);
        PutLe16(&h[kFdsFileLoadOffset], static_cast<unsigned>(entry.Number("load", 0xFFFF, 0)));
        h[kFdsFileTypeOffset] =
            static_cast<std::uint8_t>(entry.Number("type", 255, kFdsProgramFile));
        file.headercrc = entry.Crc("header_crc");
        file.datacrc = entry.Crc("data_crc");
        const std::string path = entry.String("file");
        if (path.empty()) {
            entry.Fail("file", "missing: the name of the file in the folder");
        } else if (read(path, file.data) && entry.Has("size")) {
            const auto size = static_cast<std::size_t>(entry.Number("size", 0xFFFF, 0));
            if (size != file.data.size()) {
                report.Warn(at + ": " + path + " holds " + std::to_string(file.data.size()) +
                            " bytes, the manifest gives the size " + std::to_string(size) +
                            (size > file.data.size() ? ": filled with 0x00" : ": cut"));
                file.data.resize(size, 0x00);
            }
        }
        if (entry.Flag("hidden")) {
            if (!firsthidden) firsthidden = n;
        } else if (firsthidden) {
            entry.Fail("hidden", "a file the file amount block counts follows the hidden file " +
                                     std::to_string(*firsthidden + 1) +
                                     ": the counted files come first");
        } else {
            ++visible;
        }
        files.files.push_back(std::move(file));
    }
    files.announced = static_cast<int>(side.Number("file_amount", 255, visible));
    if (side.Has("trailing")) files.trailing = side.Hex("trailing");
    return FdsSideOfFiles(files, trailer);
}

// The disk the manifest describes, in its own FDS kind.
Bytes PackFds(const Json& manifest, const FileKind& kind, bool header, const FolderReader& read,
              FileReport& report) {
    Reader top(manifest, "", report);
    const bool qd = &kind == &FdsQdKind();
    const std::size_t trailer = qd ? kFdsCrcBytes : 0;
    const std::size_t sidebytes = qd ? kFdsQdSideBytes : kFdsSideAreaBytes;
    const Json& sides = top.Has("sides") ? top.At("sides") : manifest;
    if (!sides.is_array() || sides.empty()) {
        top.Fail("sides", "missing, or not a list of at least one side");
        return {};
    }
    FdsImageParts parts;
    for (std::size_t n = 0; n < sides.size(); ++n) {
        Bytes side = FdsSideOfJson(sides[n], n, trailer, read, report);
        if (side.size() > sidebytes) {
            report.Fail("side " + SideLabel(static_cast<int>(n)) + " does not fit: it takes " +
                        std::to_string(side.size()) + " bytes, " +
                        std::to_string(side.size() - sidebytes) + " more than " +
                        (qd ? "a .qd side" : "a side area") + " holds (" +
                        std::to_string(sidebytes) + ")");
        }
        parts.sides.push_back(std::move(side));
    }
    if (report.Failed()) return {};
    parts.lastbytes = static_cast<std::size_t>(
        top.Number("last_side_bytes", static_cast<long>(sidebytes), static_cast<long>(sidebytes)));
    if (header || (&kind == &FdsKind() && top.Flag("header"))) {
        parts.header.emplace();
        parts.header->fill(kFdsImageFillByte);
        std::copy_n(kFdsMagic, kFdsMagicBytes, parts.header->begin());
        (*parts.header)[kFdsSideCountOffset] = static_cast<std::uint8_t>(
            top.Number("header_sides", kFdsMaxSideCount, static_cast<long>(sides.size() & 0xFF)));
        const Bytes pad = top.Hex("header_padding");
        if (pad.size() > static_cast<std::size_t>(kFdsHeaderBytes - kFdsSideCountOffset - 1)) {
            top.Fail("header_padding", "more than the header's 11 bytes");
        } else {
            std::copy(pad.begin(), pad.end(), parts.header->begin() + kFdsSideCountOffset + 1);
        }
    }
    if (report.Failed()) return {};
    return FdsImageOfParts(parts, sidebytes);
}

// Whether each side's blocks fit on a disk side as the kit writes it; an
// error names the bytes missing.
void FitsDiskSides(const Content& content, FileReport& report) {
    for (const FdsImageSide& side : content.sides) {
        const std::size_t stream = FdsSideStreamNeeded(side.area);
        if (stream <= static_cast<std::size_t>(kFdsSideStreamBytes)) continue;
        report.Fail("side " + SideLabel(side.number) + " does not fit on a disk side: it takes " +
                    std::to_string(stream) + " bytes of side stream, " +
                    std::to_string(stream - kFdsSideStreamBytes) + " more than a side holds (" +
                    std::to_string(kFdsSideStreamBytes) + ")");
    }
}

// ---- QD and MZT ------------------------------------------------------------

// The side stream the kit lays for an MZT file's records, as its parts.
QdStreamParts KitStream(const Bytes& mzt) {
    const MztForSide side = MztAsEncoded(mzt);
    Crc16 crc(kQdWriterCrc);
    QdStreamParts parts;
    SplitQdStream(LayQdRecords(side.file, side.records, crc), parts);
    return parts;
}

// A QD image file's gaps, sync runs and fill, where its blocks are those the
// records give; null where they are not.
Json QdfLayout(const Bytes& file, const Bytes& mzt) {
    QdStreamParts parts;
    if (file.size() < static_cast<std::size_t>(kQdImageHeaderBytes) ||
        !SplitQdStream(Bytes(file.begin() + kQdImageHeaderBytes, file.end()), parts))
        return Json();
    const QdStreamParts kit = KitStream(mzt);
    if (kit.blocks.size() != parts.blocks.size()) return Json();
    Json gaps = Json::array(), before = Json::array(), after = Json::array();
    for (std::size_t n = 0; n < parts.blocks.size(); ++n) {
        if (parts.blocks[n].bytes != kit.blocks[n].bytes) return Json();
        gaps.push_back(parts.blocks[n].gap);
        before.push_back(parts.blocks[n].syncbefore);
        after.push_back(parts.blocks[n].syncafter);
    }
    return {{"gaps", gaps}, {"sync_before", before}, {"sync_after", after}, {"fill", parts.fill}};
}

// The QD image file of the records laid out as the manifest's layout says;
// empty where it cannot be (records added or removed), with a warning.
Bytes QdfOfLayout(const Json& layout, const Bytes& mzt, FileReport& report) {
    QdStreamParts parts = KitStream(mzt);
    const std::size_t n = parts.blocks.size();
    const auto counted = [&](const char* key) {
        return layout.is_object() && layout.contains(key) && layout[key].is_array() &&
               layout[key].size() == n &&
               std::all_of(layout[key].begin(), layout[key].end(), [](const Json& v) {
                   return v.is_number_unsigned() && v.get<std::uint64_t>() <= kQdSideStreamBytes;
               });
    };
    if (!counted("gaps") || !counted("sync_before") || !counted("sync_after") ||
        !layout.contains("fill") || !layout["fill"].is_number_unsigned()) {
        report.Warn(std::string(kManifestName) +
                    ": qdf_layout does not fit the records; the side is laid out as the kit lays "
                    "one");
        return {};
    }
    for (std::size_t b = 0; b < n; ++b) {
        parts.blocks[b].gap = layout["gaps"][b].get<std::size_t>();
        parts.blocks[b].syncbefore = layout["sync_before"][b].get<std::size_t>();
        parts.blocks[b].syncafter = layout["sync_after"][b].get<std::size_t>();
    }
    parts.fill = std::min<std::size_t>(layout["fill"].get<std::size_t>(), kMaxInputBytes);
    Bytes image = QdImageHeader();
    const Bytes stream = JoinQdStream(parts);
    image.insert(image.end(), stream.begin(), stream.end());
    return image;
}

void ExtractQd(const FileKind& kind, const Bytes& input, const Bytes& file, Extraction& out,
               FileReport& report) {
    Bytes mzt;
    if (&kind == &MztKind()) {
        mzt = input;
    } else {
        const Content content = kind.Read(input, false, report);
        if (report.Failed()) return;
        std::vector<Produced> produced = MztKind().Write(content, false, report);
        if (report.Failed() || produced.empty()) return;
        mzt = std::move(produced.front().bytes);
    }
    const MztRecords records = SplitMzt(mzt);
    Json list = Json::array();
    for (std::size_t n = 0; n < records.records.size(); ++n) {
        const Bytes& record = records.records[n];
        const std::uint8_t* h = record.data();
        const Bytes name = MztNameBytes(h);
        Json entry = Json::object();
        entry["file"] = FileName(Numbered(n + 1, records.records.size()), name, ".mzf");
        entry["attribute"] = h[kMztAttribute];
        entry["name"] = ReadableBytes(name.data(), name.size());
        entry["load"] = Le16(h + kMztLoad);
        entry["exec"] = Le16(h + kMztExec);
        if (Le16(h + kMztSize) != record.size() - kMztHeaderBytes)
            entry["size"] = Le16(h + kMztSize);
        out.files.push_back({entry["file"].get<std::string>(), record});
        list.push_back(entry);
    }
    out.manifest["records"] = list;
    if (&kind == &QdfKind() && !file.empty()) {
        const Json layout = QdfLayout(file, mzt);
        if (layout.is_null()) {
            report.Warn(
                "the image's blocks are not those its records give; pack lays them out as "
                "the kit lays a side");
        } else {
            out.manifest["qdf_layout"] = layout;
        }
    }
    // An MZQ image's 0x00 fill differs from one tool to another.
    if (&kind == &MzqKind()) out.manifest["fill_bytes"] = input.size() - WalkMzq(input).position;
    if (!records.trailing.empty())
        out.manifest["trailing"] = HexText(records.trailing.data(), records.trailing.size());
}

Bytes PackMzt(const Json& manifest, const FolderReader& read, FileReport& report) {
    Reader top(manifest, "", report);
    if (!top.Has("records") || !top.At("records").is_array() || top.At("records").empty()) {
        top.Fail("records", "missing, or not a list of at least one record");
        return {};
    }
    const Json& list = top.At("records");
    MztRecords records;
    for (std::size_t n = 0; n < list.size(); ++n) {
        const std::string at = "record " + std::to_string(n + 1);
        Reader entry(list[n], at, report);
        Bytes record;
        const std::string path = entry.String("file");
        if (path.empty()) {
            entry.Fail("file", "missing: the name of the .mzf file in the folder");
            continue;
        }
        if (!read(path, record)) continue;
        if (record.size() < static_cast<std::size_t>(kMztHeaderBytes)) {
            report.Fail(at + ": " + path + " holds " + std::to_string(record.size()) +
                        " bytes, less than a record's header (" + std::to_string(kMztHeaderBytes) +
                        ")");
            continue;
        }
        std::uint8_t* h = record.data();
        h[kMztAttribute] =
            static_cast<std::uint8_t>(entry.Number("attribute", 255, h[kMztAttribute]));
        Bytes name;
        if (entry.Text("name", kQdFileNameBytes, name) && name != MztNameBytes(h))
            SetMztName(h, name);
        PutLe16(h + kMztLoad,
                static_cast<unsigned>(entry.Number("load", 0xFFFF, Le16(h + kMztLoad))));
        PutLe16(h + kMztExec,
                static_cast<unsigned>(entry.Number("exec", 0xFFFF, Le16(h + kMztExec))));
        const long body = static_cast<long>(record.size() - kMztHeaderBytes);
        if (body > 0xFFFF) {
            report.Fail(at + ": " + path + " has a body of " + std::to_string(body) +
                        " bytes, more than a record holds (65535)");
            continue;
        }
        PutLe16(h + kMztSize, static_cast<unsigned>(entry.Number("size", 0xFFFF, body)));
        records.records.push_back(std::move(record));
    }
    records.trailing = top.Hex("trailing");
    if (report.Failed()) return {};
    return JoinMzt(records);
}

// Whether the records fit on a side; an error names the bytes missing.
void FitsQdSide(const Bytes& mzt, FileReport& report) {
    const std::size_t stream = QdSideStreamLength(WalkMztRecords(mzt));
    if (stream <= static_cast<std::size_t>(kQdSideStreamBytes)) return;
    report.Fail("the records do not fit on a side: they take " + std::to_string(stream) +
                " bytes of side stream, " + std::to_string(stream - kQdSideStreamBytes) +
                " more than a side holds (" + std::to_string(kQdSideStreamBytes) + ")");
}

}  // namespace

Extraction ExtractFiles(const FileKind& kind, const Bytes& input, const Bytes& file,
                        FileReport& report) {
    Extraction out;
    out.manifest = Json::object();
    out.manifest["format"] = kManifestFormat;
    out.manifest["kind"] = kind.name();
    if (kind.medium() == Medium::kFds) {
        ExtractFds(kind, input, out, report);
    } else {
        ExtractQd(kind, input, file, out, report);
    }
    if (report.Failed()) return {};
    const std::string text = out.manifest.dump(2) + "\n";
    out.files.push_back({kManifestName, Bytes(text.begin(), text.end())});
    return out;
}

const FileKind* ManifestKind(const Json& manifest, FileReport& report) {
    if (!manifest.is_object() || !manifest.contains("kind") || !manifest["kind"].is_string()) {
        report.Fail(std::string(kManifestName) + ": no kind");
        return nullptr;
    }
    const FileKind* kind = KindNamed(manifest["kind"].get<std::string>());
    if (kind == nullptr)
        report.Fail(std::string(kManifestName) + ": kind: '" + manifest["kind"].get<std::string>() +
                    "' is no kind qdkit knows");
    return kind;
}

std::vector<Produced> PackFiles(const Json& manifest, const FileKind& to, const FolderReader& read,
                                FileReport& report) {
    const FileKind* kind = ManifestKind(manifest, report);
    if (kind == nullptr) return {};
    if (kind->medium() == Medium::kFds) {
        // The files of a raw side or a device's image are packed as an FDS
        // image, then written as that.
        const bool packed = kind == &FdsKind() || kind == &FdsQdKind();
        const FileKind& own = packed ? *kind : FdsKind();
        Bytes image = PackFds(manifest, own, !packed, read, report);
        if (report.Failed()) return {};
        if (&to == &own) return OneOutput("", std::move(image));
        // What the image itself is like was the manifest's to say.
        FileReport quiet(report.file);
        Content content = own.Read(image, false, quiet);
        for (const std::string& error : quiet.errors) report.Fail(error);
        if (report.Failed()) return {};
        if (&to == &FdsRawKind()) FitsDiskSides(content, report);
        if (report.Failed()) return {};
        return WriteAs(to, content, false, report);
    }
    Bytes mzt = PackMzt(manifest, read, report);
    if (report.Failed()) return {};
    if (&to == &MztKind()) return OneOutput("", std::move(mzt));
    FitsQdSide(mzt, report);
    if (report.Failed()) return {};
    if (&to == &QdfKind() && manifest.contains("qdf_layout")) {
        Bytes image = QdfOfLayout(manifest["qdf_layout"], mzt, report);
        if (!image.empty()) return OneOutput("", std::move(image));
    }
    const Content content = MztKind().Read(mzt, false, report);
    if (report.Failed()) return {};
    std::vector<Produced> outputs = WriteAs(to, content, false, report);
    Reader top(manifest, "", report);
    if (&to == &MzqKind() && top.Has("fill_bytes") && outputs.size() == 1) {
        Bytes& mzq = outputs.front().bytes;
        mzq.resize(WalkMzq(mzq).position + static_cast<std::size_t>(top.Number(
                                               "fill_bytes", static_cast<long>(kMaxInputBytes), 0)),
                   0x00);
    }
    return outputs;
}
