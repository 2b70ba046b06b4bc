// Internals of the lossless editor shared by its files: the error texts, the marker structure of
// a JPEG file up to its first frame header (JpegSegments.cpp), the directory tree of a TIFF
// block (ExifLayout.cpp) and the encoders of the values the editor writes (EditValues.cpp).
// ExifEditor.cpp puts them together.
#ifndef PHOTOGEO_SRC_EDIT_EDITINTERNAL_H
#define PHOTOGEO_SRC_EDIT_EDITINTERNAL_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "photogeo/ExifEdit.h"
#include "tiff/TiffCursor.h"

namespace photogeo::edit {

// ---- Errors: thrown inside the subsystem, turned into photogeo::Error at its boundary.

enum class Fault {
    kNotJpeg,          // no SOI at the start
    kSegmentOverrun,   // a segment's length runs past the end of the file
    kNoFrame,          // the data ends before a frame header
    kBadHeader,        // the TIFF header is not "II*\0" / "MM\0*" with an IFD0 inside
    kBadDirectory,     // a directory the edit needs lies (partly) outside the block
    kTooLarge,         // the new EXIF segment exceeds its 65,533-byte limit
    kBadUtf8,          // a text is not UTF-8
    kBadText,          // an ASCII item with a NUL or a non-ASCII byte
    kOutOfRange,       // a GPS value outside its range (or not a number)
    kOverlap,          // a kept value overlaps a structure the edit must change
};

class Failure {
public:
    Failure(Fault fault, std::string detail = {}) : m_fault(fault), m_detail(std::move(detail)) {}
    Fault fault() const { return m_fault; }
    // The table text, followed by ": detail" when there is one.
    std::string Message() const;

private:
    Fault m_fault;
    std::string m_detail;
};

// ---- JPEG marker structure

constexpr unsigned char kMarkerPrefix = 0xFF;
constexpr unsigned char kSoi = 0xD8;
constexpr unsigned char kApp0 = 0xE0;
constexpr unsigned char kApp1 = 0xE1;
// A segment's length field counts itself and the payload: at most 0xFFFF, so a payload holds
// 65,533 bytes, and a TIFF block 65,527 after the 6-byte "Exif\0\0" identifier.
constexpr std::size_t kMaxSegmentPayload = 0xFFFF - 2;
constexpr unsigned char kExifId[6] = {'E', 'x', 'i', 'f', 0, 0};
constexpr std::size_t kMaxTiffBlock = kMaxSegmentPayload - sizeof kExifId;

struct Segment {
    unsigned char marker;  // the code after 0xFF
    std::size_t offset;    // of the 0xFF
    std::size_t size;      // marker, length field and payload (2 for a marker without length)
};

struct JpegHeader {
    std::vector<Segment> segments;  // SOI up to (not including) the first frame header
    int exif = -1;                  // index of the first EXIF APP1, or -1
    std::size_t insertOffset = 2;   // where a new EXIF APP1 goes: after SOI and leading APP0s
    std::size_t frameOffset = 0;    // the first frame header's 0xFF
    // From the frame header: picture size and number of components (0 when it is cut short).
    unsigned width = 0, height = 0, components = 0;
    // The JFIF density (units 1 = per inch, 2 = per centimetre), when an APP0 "JFIF" has one.
    int densityUnits = 0;
    unsigned xDensity = 0, yDensity = 0;
};

// Walks the segments of jpeg from SOI to its first frame header. Throws kNotJpeg,
// kSegmentOverrun or kNoFrame.
JpegHeader ReadJpegHeader(const unsigned char* jpeg, std::size_t size);

// ---- TIFF block directory tree

enum Dir : int { kIfd0, kExifIfd, kGpsIfd, kInteropIfd, kIfd1, kDirCount };

constexpr uint16_t kTagExifPointer = 0x8769;
constexpr uint16_t kTagGpsPointer = 0x8825;
constexpr uint16_t kTagInteropPointer = 0xA005;
constexpr uint16_t kTagImageDescription = 0x010E;
constexpr uint16_t kTagUserComment = 0x9286;

struct Directory {
    bool present = false;       // a pointer (or the header) names it and its table was read
    bool damaged = false;       // a pointer names it but its table lies outside the block
    bool overlapping = false;   // damaged because its table overlaps another directory's
    int64_t named = -1;         // the offset its pointer names (also when damaged), else -1
    int64_t offset = 0;         // of the entry count
    std::vector<tiff::Entry> entries;
    uint16_t count = 0;         // the entry count as stored (a copy may hold fewer entries)
    uint32_t next = 0;          // the next-directory offset as stored
    int64_t TableSize() const {
        return tiff::kCountSize + tiff::kEntrySize * int64_t{count} + tiff::kNextOffsetSize;
    }
    const tiff::Entry* Find(uint16_t tag) const;
};

struct Layout {
    tiff::ByteOrder order = tiff::ByteOrder::kBigEndian;
    Directory dirs[kDirCount];
    bool AnyDamaged() const;
};

// Reads the header and the directories of a TIFF block. Throws kBadHeader when the header is
// not valid and kBadDirectory when IFD0's table is not inside the block; any other directory
// that cannot be read is marked damaged.
Layout ReadLayout(const unsigned char* block, std::size_t size);

// Bytes of a value: type size x count (a directory offset, type 13, counts 4).
int64_t ValueSize(const tiff::Entry& e);

// The byte runs [begin, end) directory d uses: the values its entries point at, for IFD1 the
// thumbnail's data, and with withTables also its table and, for IFD0, the header.
using Ranges = std::vector<std::pair<int64_t, int64_t>>;
Ranges DirectoryRanges(const Layout& layout, const unsigned char* block, std::size_t size, int d,
                       bool withTables = true);

// ---- Values the editor writes

// A directory entry to be written: a value of up to four bytes lies in field, a longer one in
// value (placed in the block when the directory is written). A kept entry carries its 12
// stored bytes through unchanged.
struct NewEntry {
    uint16_t tag = 0;
    uint16_t type = 0;
    uint32_t count = 0;
    unsigned char field[4] = {};
    std::vector<unsigned char> value;
};

NewEntry KeptEntry(const tiff::Entry& e);
// An ASCII value with its NUL; throws kBadText for a text holding a NUL.
NewEntry AsciiEntry(uint16_t tag, const std::string& text);
NewEntry LongEntry(uint16_t tag, uint32_t v, tiff::ByteOrder order);
// ImageDescription in UTF-8; throws kBadUtf8 or kBadText.
NewEntry DescriptionEntry(const std::string& utf8);
// The items a new Exif directory must hold besides the comment: ExifVersion 0232,
// FlashpixVersion 0100, ColorSpace uncalibrated, and from the frame header the components
// configuration and the picture's width and height.
std::vector<NewEntry> RequiredExifEntries(const JpegHeader& jpeg, tiff::ByteOrder order);
// The GPS items of fix, sorted by tag; version is the 4-byte GPSVersionID to write.
std::vector<NewEntry> GpsEntries(const GpsFix& fix, const unsigned char version[4],
                                 tiff::ByteOrder order);
// UserComment: "ASCII\0\0\0" and the text when it is ASCII, else "UNICODE\0" and its UTF-16
// units in the block's order. Throws kBadUtf8.
NewEntry CommentEntry(const std::string& utf8, tiff::ByteOrder order);
// The four IFD0 items a new block needs: X/YResolution, ResolutionUnit (from the JFIF density,
// else 72 per inch) and YCbCrPositioning 1 (centred).
std::vector<NewEntry> RequiredIfd0Entries(const JpegHeader& jpeg, tiff::ByteOrder order);

void Store16(unsigned char* p, uint16_t v, tiff::ByteOrder order);
void Store32(unsigned char* p, uint32_t v, tiff::ByteOrder order);

}  // namespace photogeo::edit

#endif
