// HxC QD images, what the HxC floppy emulator plays to and takes from
// Quick Disk drives: a 512-byte header of 32-bit little-endian fields after
// the signature, a list of tracks (512-byte aligned), then each track's
// cells, the first in bit 0 of each byte as in the kit's raw sides. A track
// names where a drive's start and stop switches fall, in bytes.
//
// FlashFloppy, the Gotek firmware MZ owners use as a QD drive, reads the
// same layout but checks only the "QD" inside the signature, and makes its
// own blank images with nothing else in the header: one track, its entry
// at 0x200, its switches framing the window where the MZ reads and writes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

inline constexpr char kHxcQdSignature[] = "HXCQDDRV";
inline constexpr int kHxcQdSignatureBytes = sizeof(kHxcQdSignature) - 1;
inline constexpr int kHxcQdHeaderBytes = 512;
// Header fields after the signature.
inline constexpr int kHxcQdRevision = 8;
inline constexpr int kHxcQdTracks = 12;
inline constexpr int kHxcQdSides = 16;
inline constexpr int kHxcQdEncoding = 20;
inline constexpr int kHxcQdWriteProtected = 24;
inline constexpr int kHxcQdBitRate = 28;  // cells a second
inline constexpr int kHxcQdFlags = 32;
inline constexpr int kHxcQdTrackList = 36;  // offset of the track list
inline constexpr int kHxcQdFieldsEnd = 40;
// A track list entry: offset, length, start and stop switch positions.
inline constexpr int kHxcQdTrackEntryBytes = 16;
// Track list and tracks start, and tracks end, on this boundary.
inline constexpr int kHxcQdAlignBytes = 512;
// What pads a track to the boundary.
inline constexpr std::uint8_t kHxcQdTrackFill = 0x01;
// The cell rate HxC's own writer gives a QD side.
inline constexpr std::uint32_t kHxcQdCellRate = 203128;

// FlashFloppy's layout: "QD" at offset 3, the one track's entry at 0x200.
inline constexpr int kFlashFloppyQdMarkOffset = 3;
inline constexpr char kFlashFloppyQdMark[] = "QD";
inline constexpr int kFlashFloppyTrackEntry = 0x200;
inline constexpr int kFlashFloppyFirstTrack = 0x400;
// Its blank images: cells of 4.916 us, a lead-in of 0.5 s before a window
// of 5.5 s, 8 s in all, every byte 0x11.
inline constexpr std::uint64_t kFlashFloppyCellPs = 4916000;
inline constexpr std::uint64_t kFlashFloppyLeadInMs = 500;
inline constexpr std::uint64_t kFlashFloppyWindowMs = 5500;
inline constexpr std::uint64_t kFlashFloppyTotalMs = 8000;
inline constexpr std::uint8_t kFlashFloppyFill = 0x11;

struct HxcQdHeader {
    std::uint32_t revision, tracks, sides, encoding, writeprotected, bitrate, flags, tracklist;
};

struct HxcQdTrack {
    std::uint32_t offset, length, startswitch, stopswitch;
};

struct HxcQdImage {
    bool flashfloppy;                // FlashFloppy's header: no field but the mark
    HxcQdHeader header;              // all 0 in FlashFloppy's
    std::vector<HxcQdTrack> tracks;  // tracks x sides of them, each inside the file
};

enum class HxcQdCheck {
    kOk,
    kNoSignature,
    kNoTrack,       // tracks x sides is 0
    kListOutside,   // the track list runs past the end of the file
    kTrackOutside,  // a track does (HxcQdImage::tracks holds those before it)
};

bool HasHxcQdSignature(const std::uint8_t* bytes, std::size_t size);
// Whether bytes carry the mark FlashFloppy checks, "QD" at offset 3.
bool HasFlashFloppyQdMark(const std::uint8_t* bytes, std::size_t size);
// Whether a track entry could be FlashFloppy's: its cells 512-byte aligned
// behind the header and the list, inside a file of that size.
bool PlausibleFlashFloppyTrack(const HxcQdTrack& track, std::uint64_t size);
// A track entry of 16 bytes.
HxcQdTrack HxcQdTrackAt(const std::uint8_t* entry);
HxcQdCheck ReadHxcQd(const std::vector<std::uint8_t>& file, HxcQdImage& image);
// Whether a track's switches mark a stretch inside it: the drive is ready
// from the start switch to the stop switch, and only there holds data.
bool HxcQdSwitchesInside(const HxcQdTrack& track);
// The cells a drive reads from a track: those between its switches, or the
// whole track where the switches mark no stretch inside it.
std::vector<std::uint8_t> HxcQdTrackCells(const std::vector<std::uint8_t>& file,
                                          const HxcQdTrack& track);
// Whether cells hold no data: every byte the same, as a blank image's fill.
bool IsBlankQdTrack(const std::vector<std::uint8_t>& cells);
// Whether a file is an HxC or FlashFloppy QD image whose first track is blank.
bool IsBlankHxcQd(const std::vector<std::uint8_t>& file);
// A blank image as FlashFloppy makes one, its lead-in, window and length in
// milliseconds.
std::vector<std::uint8_t> FlashFloppyBlankQd(std::uint64_t leadinms = kFlashFloppyLeadInMs,
                                             std::uint64_t windowms = kFlashFloppyWindowMs,
                                             std::uint64_t totalms = kFlashFloppyTotalMs);
// An image of one track of one side holding these cells, the start switch
// at their start and the stop switch at their end.
std::vector<std::uint8_t> HxcQdOfCells(const std::vector<std::uint8_t>& cells);
