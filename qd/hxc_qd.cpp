#include "qd/hxc_qd.h"

#include <algorithm>

#include "common/littleendian.h"

namespace {

std::size_t Aligned(std::size_t n) {
    return (n + kHxcQdAlignBytes - 1) / kHxcQdAlignBytes * kHxcQdAlignBytes;
}

}  // namespace

bool HasHxcQdSignature(const std::uint8_t* bytes, std::size_t size) {
    return size >= static_cast<std::size_t>(kHxcQdSignatureBytes) &&
           std::equal(kHxcQdSignature, kHxcQdSignature + kHxcQdSignatureBytes, bytes,
                      [](char c, std::uint8_t b) { return static_cast<std::uint8_t>(c) == b; });
}

bool HasFlashFloppyQdMark(const std::uint8_t* bytes, std::size_t size) {
    return size >= kFlashFloppyQdMarkOffset + 2u && bytes[kFlashFloppyQdMarkOffset] == 'Q' &&
           bytes[kFlashFloppyQdMarkOffset + 1] == 'D';
}

bool PlausibleFlashFloppyTrack(const HxcQdTrack& track, std::uint64_t size) {
    return track.offset >= kFlashFloppyFirstTrack && track.offset % kHxcQdAlignBytes == 0 &&
           track.length > 0 && std::uint64_t{track.offset} + track.length <= size;
}

HxcQdTrack HxcQdTrackAt(const std::uint8_t* entry) {
    return {Le32(entry), Le32(entry + 4), Le32(entry + 8), Le32(entry + 12)};
}

HxcQdCheck ReadHxcQd(const std::vector<std::uint8_t>& file, HxcQdImage& image) {
    image = {};
    if (!HasHxcQdSignature(file.data(), file.size())) {
        if (!HasFlashFloppyQdMark(file.data(), file.size())) return HxcQdCheck::kNoSignature;
        // FlashFloppy reads one track, whatever the header holds.
        image.flashfloppy = true;
        if (file.size() < kFlashFloppyTrackEntry + std::size_t{kHxcQdTrackEntryBytes})
            return HxcQdCheck::kListOutside;
        const HxcQdTrack track = HxcQdTrackAt(&file[kFlashFloppyTrackEntry]);
        if (std::uint64_t{track.offset} + track.length > file.size())
            return HxcQdCheck::kTrackOutside;
        image.tracks.push_back(track);
        return HxcQdCheck::kOk;
    }
    if (file.size() < static_cast<std::size_t>(kHxcQdFieldsEnd)) return HxcQdCheck::kListOutside;
    const std::uint8_t* h = file.data();
    image.header = {Le32(h + kHxcQdRevision),       Le32(h + kHxcQdTracks),
                    Le32(h + kHxcQdSides),          Le32(h + kHxcQdEncoding),
                    Le32(h + kHxcQdWriteProtected), Le32(h + kHxcQdBitRate),
                    Le32(h + kHxcQdFlags),          Le32(h + kHxcQdTrackList)};
    const std::uint64_t count = std::uint64_t{image.header.tracks} * image.header.sides;
    if (count == 0) return HxcQdCheck::kNoTrack;
    const std::uint64_t list = image.header.tracklist;
    if (list > file.size() || count > (file.size() - list) / kHxcQdTrackEntryBytes)
        return HxcQdCheck::kListOutside;
    for (std::uint64_t n = 0; n < count; ++n) {
        const std::uint8_t* entry = h + list + n * kHxcQdTrackEntryBytes;
        const HxcQdTrack track = HxcQdTrackAt(entry);
        if (std::uint64_t{track.offset} + track.length > file.size())
            return HxcQdCheck::kTrackOutside;
        image.tracks.push_back(track);
    }
    return HxcQdCheck::kOk;
}

bool HxcQdSwitchesInside(const HxcQdTrack& track) {
    return track.startswitch < track.stopswitch && track.stopswitch <= track.length;
}

std::vector<std::uint8_t> HxcQdTrackCells(const std::vector<std::uint8_t>& file,
                                          const HxcQdTrack& track) {
    const bool inside = HxcQdSwitchesInside(track);
    const auto begin = file.begin() + static_cast<std::ptrdiff_t>(track.offset);
    return {begin + static_cast<std::ptrdiff_t>(inside ? track.startswitch : 0),
            begin + static_cast<std::ptrdiff_t>(inside ? track.stopswitch : track.length)};
}

bool IsBlankQdTrack(const std::vector<std::uint8_t>& cells) {
    return std::all_of(cells.begin(), cells.end(), [&](std::uint8_t b) { return b == cells[0]; });
}

bool IsBlankHxcQd(const std::vector<std::uint8_t>& file) {
    HxcQdImage image;
    return ReadHxcQd(file, image) == HxcQdCheck::kOk &&
           IsBlankQdTrack(HxcQdTrackCells(file, image.tracks.front()));
}

std::vector<std::uint8_t> FlashFloppyBlankQd(std::uint64_t leadinms, std::uint64_t windowms,
                                             std::uint64_t totalms) {
    // Whole bytes of cells in so many milliseconds.
    const auto bytes = [](std::uint64_t ms) {
        return static_cast<std::uint32_t>(ms * 1000000000 / (kFlashFloppyCellPs * 8));
    };
    const std::uint32_t total = bytes(totalms);
    std::vector<std::uint8_t> file(kFlashFloppyFirstTrack + Aligned(total), kFlashFloppyFill);
    std::fill_n(file.begin(), kFlashFloppyFirstTrack, 0x00);
    std::copy_n(kFlashFloppyQdMark, 2, file.begin() + kFlashFloppyQdMarkOffset);
    std::uint8_t* entry = &file[kFlashFloppyTrackEntry];
    PutLe32(entry, kFlashFloppyFirstTrack);
    PutLe32(entry + 4, total);
    PutLe32(entry + 8, bytes(leadinms));
    PutLe32(entry + 12, bytes(leadinms) + bytes(windowms));
    return file;
}

std::vector<std::uint8_t> HxcQdOfCells(const std::vector<std::uint8_t>& cells) {
    const std::size_t list = kHxcQdHeaderBytes;
    // The list holds one entry more than there are tracks, as HxC's writer
    // leaves it.
    const std::size_t first = list + Aligned(2 * kHxcQdTrackEntryBytes);
    const std::size_t length = Aligned(cells.size());
    std::vector<std::uint8_t> file(first + length, kHxcQdTrackFill);
    std::fill_n(file.begin(), first, 0x00);
    std::copy(cells.begin(), cells.end(), file.begin() + static_cast<std::ptrdiff_t>(first));
    std::copy_n(kHxcQdSignature, kHxcQdSignatureBytes, file.begin());
    std::uint8_t* h = file.data();
    PutLe32(h + kHxcQdTracks, 1);
    PutLe32(h + kHxcQdSides, 1);
    PutLe32(h + kHxcQdBitRate, kHxcQdCellRate);
    PutLe32(h + kHxcQdTrackList, static_cast<std::uint32_t>(list));
    PutLe32(h + list, static_cast<std::uint32_t>(first));
    PutLe32(h + list + 4, static_cast<std::uint32_t>(length));
    PutLe32(h + list + 8, 0);
    PutLe32(h + list + 12, static_cast<std::uint32_t>(cells.size()));
    return file;
}
