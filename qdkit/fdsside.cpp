#include "qdkit/fdsside.h"

#include <algorithm>
#include <cctype>
#include <optional>

#include "common/bitstream.h"
#include "common/crc16.h"
#include "common/littleendian.h"
#include "fds/disk_info.h"
#include "fds/fds_layout.h"
#include "fds/side_encoder.h"
#include "fds/side_rescue.h"
#include "qdkit/human.h"
#include "qdkit/text.h"

namespace {

Json FieldValue(const std::uint8_t* block, const FdsField& field) {
    if (field.bytes == 1) return block[field.offset];
    return std::vector<int>(block + field.offset, block + field.offset + field.bytes);
}

// A date field as a date, beside its bytes; null when they are no date.
Json DateFact(const std::uint8_t* block, const char* name) {
    for (const FdsField& field : kDiskInfoFields) {
        if (std::string(field.name) != name) continue;
        const std::optional<FdsDate> date = DecodeFdsDate(block + field.offset);
        return date ? Json(FdsDateText(*date)) : Json();
    }
    return Json();
}

Json DiskInfoFacts(const std::uint8_t* block) {
    Json info = Json::object();
    info["game_name"] = ReadableBytes(block + kDiskInfoGameName.offset, kDiskInfoGameName.bytes);
    for (const FdsField& field : kDiskInfoFields) info[field.name] = FieldValue(block, field);
    const char* licensee = FdsLicenseeName(info["maker"].get<std::uint8_t>());
    info["maker_name"] = licensee != nullptr ? Json(licensee) : Json();
    info["manufactured_date"] = DateFact(block, "manufactured");
    info["rewritten_date"] = DateFact(block, "rewritten");
    return info;
}

Json FdsFileFacts(const std::uint8_t* header) {
    Json file = Json::object();
    file["number"] = header[kFdsFileNumberOffset];
    file["id"] = header[kFdsFileIdOffset];
    file["name"] = ReadableBytes(header + kFdsFileNameOffset, kFdsFileNameBytes);
    file["type"] = header[kFdsFileTypeOffset];
    file["size"] = Le16(header + kFdsFileSizeOffset);
    file["load"] = Le16(header + kFdsFileLoadOffset);
    file["data"] = false;
    return file;
}

// What a data block out of its place breaks, said alike by the decoder's
// side and the image's.
constexpr char kBreaksOrder[] =
    "breaks the order of the blocks: a file header is followed by its data, and data follows "
    "nothing else";

std::string FdsProblemText(const FdsProblemSeen& seen) {
    switch (seen.problem) {
        case FdsDecodeProblem::kDataEnded:
            return "the data ends before the side is complete";
        case FdsDecodeProblem::kNoFirstSync:
            return "no block start after the lead-in";
        case FdsDecodeProblem::kBadBlockId: {
            const std::string where = " (raw byte " + std::to_string(seen.position) + ")";
            const auto byte = static_cast<unsigned>(seen.byte);
            if (seen.byte >= kFdsDiskInfoBlock && seen.byte <= kFdsEndOfSideId)
                return "a block with ID " + HexValue(byte, 2) + " " + kBreaksOrder + where;
            return "a block begins with " + HexValue(byte, 2) + ", which is no block ID" + where;
        }
        case FdsDecodeProblem::kSyncLost:  // told by the side's facts
        case FdsDecodeProblem::kBadCrc:    // told per block
            break;
    }
    return {};
}

// A side whose decoding found no further block start before all announced
// files were in: damage when a block start lies further on after all.
std::string EarlyEnd(const FdsProblemSeen& lost, const FdsSideRead& read, const Bytes& raw) {
    const std::size_t from = read.blocks.empty() ? 0 : read.blocks.back().end;
    const std::optional<std::size_t> next = NextFdsBlockStart(DataPlanes(raw), from);
    if (!next) return {};
    return "the side ends early: " + std::to_string(lost.filesdone) + " of " +
           Plural(static_cast<std::size_t>(lost.announced), "file") + "; a block follows at cell " +
           std::to_string(*next);
}

// What follows a side's last block: fill, or a few stray bytes as some
// tools leave them; anything else is no side as a disk holds it.
void CheckFill(const Bytes& area, std::size_t end, const std::string& where, FileReport& report) {
    const FdsAreaTail tail = CheckFdsAreaTail(area, end);
    if (tail.kind == FdsAreaTail::kFill) return;
    if (tail.kind == FdsAreaTail::kOther) {
        report.Fail(where + "the bytes from offset " + std::to_string(tail.first) +
                    " on are neither blocks nor fill");
        return;
    }
    std::string bytes;
    for (std::size_t b = tail.first; b < tail.first + tail.count; ++b)
        bytes += (bytes.empty() ? "" : " ") + HexValue(area[b], 2);
    report.Warn(
        where + std::to_string(tail.count) + (tail.count == 1 ? " stray byte" : " stray bytes") +
        " after the last block, at offset " + std::to_string(tail.first) + " (" + bytes + ")");
}

}  // namespace

std::string SideLabel(int side) {
    std::string label;
    for (int n = side + 1; n > 0; n = (n - 1) / 26) {
        label.insert(label.begin(), static_cast<char>('A' + (n - 1) % 26));
    }
    return label;
}

namespace {

// One side by its label or its number, counted from 1; 0 for none.
int SideNamed(const std::string& word) {
    constexpr int kLetters = 26;
    if (word.empty() || word.size() > 3) return 0;
    const bool digits = std::all_of(word.begin(), word.end(), [](char c) {
        return std::isdigit(static_cast<unsigned char>(c));
    });
    const bool letters = std::all_of(word.begin(), word.end(), [](char c) {
        return std::isalpha(static_cast<unsigned char>(c));
    });
    int side = 0;
    for (char c : word) {
        if (digits) side = side * 10 + (c - '0');
        if (letters)
            side = side * kLetters + (std::toupper(static_cast<unsigned char>(c)) - 'A' + 1);
    }
    return (digits || letters) && side <= kFdsMaxSideCount ? side : 0;
}

}  // namespace

std::optional<std::vector<int>> ParseSideList(const std::vector<std::string>& words,
                                              std::string& error) {
    std::vector<int> sides;
    for (const std::string& word : words) {
        const std::size_t dash = word.find('-', 1);
        const int first = SideNamed(word.substr(0, dash));
        const int last = dash == std::string::npos ? first : SideNamed(word.substr(dash + 1));
        if (first == 0 || last < first) {
            error = "'" + word + "' names no side: sides are A, B, ... or 1, 2, ... (at most " +
                    std::to_string(kFdsMaxSideCount) + "), ranges A-C or 1-3";
            return std::nullopt;
        }
        for (int side = first; side <= last; ++side) sides.push_back(side);
    }
    return sides;
}

std::string RawSideSuffix(int side) {
    return ".DK" + SideLabel(side);
}

void CheckFdsLayout(const FdsImageLayout& layout, FileReport& report) {
    if (!layout.header) report.Warn("no header: the file holds the side areas alone");
    if (layout.header && layout.headersides != layout.sides) {
        report.Warn("the header announces " +
                    Plural(static_cast<std::size_t>(layout.headersides), "side") +
                    ", the file holds " + std::to_string(layout.sides));
    }
    if (layout.sides == 0) report.Fail("the file holds no side");
    if (layout.sides > 0 && layout.lastareabytes < static_cast<std::size_t>(kFdsSideAreaBytes)) {
        report.Warn("side " + SideLabel(layout.sides - 1) +
                    " is cut short by the end of the file (" +
                    std::to_string(layout.lastareabytes) + " of " +
                    std::to_string(kFdsSideAreaBytes) + " bytes; the rest taken as 0x00)");
    }
}

Json FdsSideFacts(const Bytes& area, int side, FileReport& report) {
    const std::string where = "side " + SideLabel(side) + ": ";
    Json facts = Json::object();
    facts["side"] = side + 1;
    facts["label"] = SideLabel(side);
    const bool blank = IsBlankFdsArea(area);
    facts["blank"] = blank;
    facts["disk_info"] = Json();
    facts["announced_files"] = Json();
    Json files = Json::array();
    if (blank) {
        report.Warn(where + "blank");
        facts["files"] = files;
        return facts;
    }
    int blocks = 0;
    // A side that breaks the order of its blocks would not read back: the
    // decoder takes a data block only right after its file header.
    std::uint8_t previous = 0;
    std::optional<std::size_t> disorder;
    const FdsWalkResult walk = WalkFdsBlocks(area, 0, area.size(), [&](const FdsBlockRef& block) {
        const std::uint8_t* bytes = &area[block.offset];
        if (blocks++ == 0 && block.id == kFdsDiskInfoBlock)
            facts["disk_info"] = DiskInfoFacts(bytes);
        if (block.id == kFdsFileHeaderBlock) files.push_back(FdsFileFacts(bytes));
        if (block.id == kFdsFileDataBlock && !files.empty()) files.back()["data"] = true;
        if (!disorder && !FdsBlockInOrder(previous, block.id)) disorder = block.offset;
        previous = block.id;
    });
    if (disorder) {
        report.Fail(where + "the block at offset " + std::to_string(*disorder) + " (ID " +
                    HexValue(area[*disorder], 2) + ") " + kBreaksOrder);
    } else if (previous == kFdsFileHeaderBlock) {
        report.Fail(where + "the last file header has no data block behind it");
    }
    if (walk.announced >= 0) facts["announced_files"] = walk.announced;
    facts["files"] = files;

    if (blocks == 0) {
        report.Fail(where + "no block at the start of the side (byte " + HexValue(area[0], 2) +
                    ")");
    } else if (area[0] != kFdsDiskInfoBlock) {
        report.Warn(where + "the side does not begin with a disk info block");
    } else if (!StartsWithDiskInfo(area.data(), area.size())) {
        report.Warn(where + "the disk info block lacks its text " + kFdsDiskVerification);
    }
    switch (walk.end) {
        case FdsWalkEnd::kComplete:
            break;
        case FdsWalkEnd::kUnknownId:
        case FdsWalkEnd::kEndOfImage:
            if (blocks > 0 && walk.announced < 0) {
                report.Warn(where + "no file amount block");
            } else if (blocks > 0) {
                report.Warn(where + "the file amount block announces " +
                            Plural(static_cast<std::size_t>(walk.announced), "file") +
                            ", the side holds " + std::to_string(walk.datablocks));
            }
            break;
        case FdsWalkEnd::kCutShort:
            report.Fail(where + "the block at offset " + std::to_string(walk.position) +
                        " runs past the end of the side");
            return facts;
    }
    if (blocks > 0) CheckFill(area, walk.position, where, report);
    return facts;
}

namespace {

std::string SkippedText(const SkippedFiles& skipped) {
    const int count = skipped.next - skipped.first;
    return (count == 1 ? "file " + std::to_string(skipped.first) + " is"
                       : "files " + std::to_string(skipped.first) + " to " +
                             std::to_string(skipped.next - 1) + " are") +
           " missing: " +
           (skipped.first == 0 ? std::string("the first file")
                               : "the file after file " + std::to_string(skipped.first - 1)) +
           " is file " + std::to_string(skipped.next);
}

}  // namespace

void CheckFdsFileNumbers(const Json& side, FileReport& report) {
    std::vector<int> numbers;
    for (const Json& file : side["files"]) numbers.push_back(file["number"].get<int>());
    const int announced =
        side["announced_files"].is_null() ? -1 : side["announced_files"].get<int>();
    for (const SkippedFiles& skipped : SkippedFileNumbers(numbers, announced))
        report.Fail("side " + side["label"].get<std::string>() + ": " + SkippedText(skipped));
}

std::vector<std::string> FdsReadDamage(const FdsSideRead& read, const Bytes& raw) {
    std::vector<std::string> damage;
    // Every side begins with its disk info block; a read that lacks it
    // began too late, or lost it.
    if (!read.blocks.empty() && read.blocks.front().role != BlockRole::kOpening) {
        damage.push_back("the first block found has the ID " +
                         HexValue(read.blocks.front().code, 2) + ", not the disk info block's");
    }
    for (std::size_t n = 0; n < read.blocks.size(); ++n) {
        const BlockSeen& block = read.blocks[n];
        if (block.check != 0) {
            damage.push_back("block " + std::to_string(n + 1) + " (ID " + HexValue(block.code, 2) +
                             ") fails its CRC");
        }
    }
    std::vector<int> numbers;
    int announced = -1;
    for (const BlockSeen& block : read.blocks) {
        const std::size_t count = block.offset + kFdsFileCountOffset;
        if (block.role == BlockRole::kFileCount && block.check == 0 && count < read.image.size())
            announced = read.image[count];
        if (block.role != BlockRole::kHeader) continue;
        const bool known =
            block.check == 0 && block.offset + kFdsFileNumberOffset < read.image.size();
        numbers.push_back(known ? read.image[block.offset + kFdsFileNumberOffset] : -1);
    }
    for (const SkippedFiles& skipped : SkippedFileNumbers(numbers, announced))
        damage.push_back(SkippedText(skipped));
    for (const FdsProblemSeen& problem : read.problems) {
        std::string text = FdsProblemText(problem);
        if (problem.problem == FdsDecodeProblem::kSyncLost) text = EarlyEnd(problem, read, raw);
        if (!text.empty()) damage.push_back(text);
    }
    return damage;
}

Bytes FdsRawToFds(const Bytes& raw, bool keep, FileReport& report) {
    FdsSideRead read = ReadFdsSide(raw);
    for (const std::string& text : FdsReadDamage(read, raw)) Damage(text, keep, report);
    if (read.blocks.empty()) {
        report.Fail("no FDS block decoded");
        return {};
    }
    // The side's own warnings, such as fewer files than announced.
    FdsSideFacts(DecodedFdsArea(read.image), 0, report);
    // A side that ended early is filled as a complete one is.
    const std::size_t whole = kFdsHeaderBytes + static_cast<std::size_t>(kFdsSideAreaBytes);
    if (read.image.size() < whole) read.image.resize(whole, kFdsImageFillByte);
    return read.image;
}

std::vector<const FdsImageSide*> SidesToWrite(const std::vector<FdsImageSide>& all,
                                              FileReport& report) {
    std::vector<const FdsImageSide*> sides;
    std::vector<int> blank;
    const auto skipped = [&] {
        if (blank.empty()) return;
        report.Warn(blank.size() == 1
                        ? "side " + SideLabel(blank.front()) + ": blank, skipped"
                        : "sides " + SideLabel(blank.front()) + " to " + SideLabel(blank.back()) +
                              ": blank, skipped (" + std::to_string(blank.size()) + " sides)");
        blank.clear();
    };
    for (const FdsImageSide& side : all) {
        if (!blank.empty() && side.number != blank.back() + 1) skipped();
        if (IsBlankFdsArea(side.area)) {
            blank.push_back(side.number);
            continue;
        }
        skipped();
        sides.push_back(&side);
    }
    skipped();
    return sides;
}

bool FitsSideArea(int number, const std::vector<std::uint8_t>& area, FileReport& report) {
    if (area.size() <= static_cast<std::size_t>(kFdsSideAreaBytes)) return true;
    report.Fail("side " + SideLabel(number) + " holds " + std::to_string(area.size()) +
                " bytes, more than a side area (" + std::to_string(kFdsSideAreaBytes) + ")");
    return false;
}
