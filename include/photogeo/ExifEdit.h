// Lossless EXIF editing of JPEG files: set or remove the GPS items, ImageDescription and
// UserComment, and change nothing else; plus the small read side a program needs to find a
// file's EXIF block and look up any of its tags.
//
// What "nothing else" means. The EXIF block is the first APP1 segment, before the first frame
// header, whose payload starts "Exif\0\0" (it may follow an XMP APP1 or any other segment).
// An edit keeps the old block's bytes where they are: every tag of IFD0, the Exif and
// Interoperability directories, IFD1 and the maker note keeps its value, byte order and the
// position of every byte its value offset points at, so maker notes with absolute offsets read
// as before. New values and directories are appended to the block at even offsets; a directory
// that must grow is rewritten after them and the header or its pointer is pointed at it. The
// old bytes of a replaced or removed GPS directory and of the GPS values replaced are cleared
// (they would still locate the photo), and those left at the end of the block by an earlier
// edit are reused, so re-tagging with the same items does not grow the file. All other segments, the picture data and the thumbnail
// are byte-identical afterwards.
//
// A file without EXIF gets a new block right after SOI and any leading APP0 (JFIF) segments:
// big-endian, IFD0 with XResolution, YResolution and ResolutionUnit (from the JFIF density,
// else 72 dots per inch), YCbCrPositioning 1, and the pointers to what the edit adds, nothing
// else (no make, model or dates). A UserComment in a file without an Exif directory goes into a
// new one, with the items that directory requires: ExifVersion 0232, FlashpixVersion 0100,
// ColorSpace uncalibrated, and the components configuration, width and height of the frame.
//
// GPS items written (GpsFix):
//   GPSVersionID 2.3.0.0 (an existing directory's version is kept), GPSLatitudeRef/Latitude,
//   GPSLongitudeRef/Longitude as degrees, minutes and seconds (seconds in 1/10000, about 3 mm),
//   GPSAltitudeRef (1 below sea level) and GPSAltitude in centimetres, GPSTimeStamp (UTC, to the
//   millisecond) and GPSDateStamp, GPSImgDirectionRef/GPSImgDirection (1/100 degree) and
//   GPSMapDatum. Setting a fix replaces only the items it sets (altitude, time, direction and
//   datum only when given); every other item of an existing GPS directory (speed, track,
//   satellites, processing method, destination, unknown tags, ...) is kept with its value,
//   type and byte order, its value bytes left where they are, unless dropGpsTags names it.
//   Removing (removeGps) drops the whole directory.
// Texts: ImageDescription as UTF-8 (type ASCII, NUL-terminated), UserComment with the ASCII code
// when the text is ASCII, else the UNICODE code and UTF-16 units in the block's byte order.
//
// Errors (Result): not a JPEG, a segment running past the end, no frame header, an EXIF block
// whose header or directories cannot be read safely, a new EXIF segment over the 65,533-byte
// limit, a value out of range, a text that is not UTF-8; and, for the file operation, the
// errors of ReadWholeFile and WriteFileAtomically. A failed edit changes no file.
#ifndef PHOTOGEO_EXIFEDIT_H
#define PHOTOGEO_EXIFEDIT_H

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "photogeo/Export.h"
#include "photogeo/Result.h"
#include "photogeo/SafeFile.h"

namespace photogeo {

// ---- Reading

// Where a JPEG file's EXIF block lies, as offsets into the file's bytes.
struct ExifLocation {
    bool found = false;              // false: the file has no EXIF APP1 before its frame header
    std::size_t segmentOffset = 0;   // the APP1 marker's 0xFF
    std::size_t segmentSize = 0;     // marker (2) + length field (2) + payload
    std::size_t tiffOffset = 0;      // the TIFF header, after "Exif\0\0"
    std::size_t tiffSize = 0;        // the TIFF block: the rest of the payload
};

// Finds the EXIF block of the JPEG file in jpeg[0, size). Errors: not a JPEG (no SOI), a
// segment that runs past the end, no frame header.
PHOTOGEO_API Result<ExifLocation> LocateExif(const unsigned char* jpeg, std::size_t size);

// The directories of a TIFF block a tag can be looked up in.
enum class ExifDirectory {
    kPrimary,    // IFD0: the main image (Make, Model, DateTime, ImageDescription, ...)
    kExif,       // the Exif directory (DateTimeOriginal, OffsetTime*, UserComment, ...)
    kGps,        // the GPS directory
    kInterop,    // the Interoperability directory
    kThumbnail,  // IFD1
};

// One tag's value as stored.
struct PHOTOGEO_API TagValue {
    uint16_t type = 0;    // TIFF field type: 1 BYTE, 2 ASCII, 3 SHORT, 4 LONG, 5 RATIONAL,
                          // 7 UNDEFINED, 9 SLONG, 10 SRATIONAL, ...
    uint32_t count = 0;   // number of values (bytes for ASCII and UNDEFINED)
    bool bigEndian = false;            // the block's byte order, in which `bytes` are
    std::vector<unsigned char> bytes;  // the count values' bytes exactly as stored

    // ASCII or UNDEFINED bytes up to the first NUL.
    std::string Text() const;
    // The i-th value of a BYTE, SHORT or LONG tag; empty when the type differs or i >= count.
    std::optional<uint32_t> Unsigned(std::size_t i) const;
    // The i-th RATIONAL or SRATIONAL as a quotient; empty for another type, i >= count, or a
    // zero denominator.
    std::optional<double> Rational(std::size_t i) const;
};

// The directory tree of a TIFF block (a copy of it is kept).
class PHOTOGEO_API ExifTags {
public:
    // Errors: a header that is not "II*\0" or "MM\0*", an IFD0 outside the block. Another
    // directory that cannot be read has no tags.
    static Result<ExifTags> Parse(const unsigned char* tiff, std::size_t size);
    // The tags of a JPEG file's EXIF block (LocateExif, then Parse); a file without one has no
    // tags at all.
    static Result<ExifTags> FromJpeg(const unsigned char* jpeg, std::size_t size);

    bool BigEndian() const { return m_bigEndian; }
    // The tag's value; empty when the directory or the tag is absent, or its value does not
    // lie inside the block.
    std::optional<TagValue> Find(ExifDirectory directory, uint16_t tag) const;

private:
    struct Slot {
        uint8_t directory;
        uint16_t tag;
        uint16_t type;
        uint32_t count;
        int64_t valueOffset;  // block offset of the value bytes; -1 when outside the block
        uint32_t valueSize;
    };
    bool m_bigEndian = false;
    std::vector<unsigned char> m_block;
    std::vector<Slot> m_slots;
};

// ---- Editing

// A position fix. Ranges are checked; NaN is refused.
struct GpsFix {
    double latitude = 0;   // degrees, -90 to 90, north positive
    double longitude = 0;  // degrees, -180 to 180, east positive
    // Metres above mean sea level (negative below), |altitude| under 42,000,000.
    std::optional<double> altitude;
    // Direction the camera faced, degrees clockwise from north, 0 to under 360 (360 is 0).
    std::optional<double> imageDirection;
    bool magneticNorth = false;  // imageDirection from magnetic north ("M"), else true ("T")
    std::string mapDatum;        // GPSMapDatum, printable ASCII, e.g. "WGS-84"; empty: none
    // Time of the fix, seconds since 1970-01-01 00:00:00 UTC (negative before), years 1 to
    // 9999: GPSDateStamp and GPSTimeStamp. Empty: neither is written.
    std::optional<double> timeUtc;
};

struct ExifChanges {
    std::optional<GpsFix> gps;   // set: the GPS items of this fix replace the old ones
    // With gps: GPS items (tags) to drop as well, e.g. {5, 6, 7, 29}, the altitude and time of
    // an older fix when the new one has none. Items gps sets are written, not dropped.
    std::vector<uint16_t> dropGpsTags;
    bool removeGps = false;      // drop the whole GPS directory (when gps is not set)
    // UTF-8 texts; an empty string removes the tag, an empty optional leaves it as it is.
    std::optional<std::string> imageDescription;
    std::optional<std::string> userComment;
};

// The file jpeg[0, size) with the changes made (the input is not modified). A change that
// leaves the file as it was (removing what is absent) gives back the same bytes.
PHOTOGEO_API Result<std::vector<unsigned char>> EditJpeg(const unsigned char* jpeg,
                                                         std::size_t size,
                                                         const ExifChanges& changes);

// Reads the file `in`, edits it and writes the result to `out` (which may be `in`) through
// WriteFileAtomically with options. Errors carry the file's path.
PHOTOGEO_API Result<void> EditJpegFile(const std::string& in, const std::string& out,
                                       const ExifChanges& changes,
                                       const WriteOptions& options = {});

}  // namespace photogeo

#endif
