// Read-only tables and tag numbers shared by the EXIF reader, writer and rewrite: the byte
// size of each EXIF type (the TIFF cursor's), the tag numbers that the code handles by name,
// the fixed texts that a directory built from nothing receives, and the error texts of the
// walks. The tables themselves live in ExifTables.cpp.
#ifndef PHOTOGEO_SRC_EXIF_EXIFTABLES_H
#define PHOTOGEO_SRC_EXIF_EXIFTABLES_H

#include <cstdint>

#include "foundation/ByteReaderErrors.h"
#include "tiff/TiffCursor.h"

namespace photogeo::exif {

// Byte size of one value of EXIF type 1..12; 0 for any other type (the TIFF cursor's table).
using photogeo::tiff::TypeSize;

enum Type {
    TYPE_BYTE = photogeo::tiff::kByte,
    TYPE_ASCII = photogeo::tiff::kAscii,
    TYPE_SHORT = photogeo::tiff::kShort,
    TYPE_LONG = photogeo::tiff::kLong,
    TYPE_RATIONAL = photogeo::tiff::kRational,
    TYPE_UNDEFINED = photogeo::tiff::kUndefined
};

enum Tag {
    // IFD0 and IFD1
    TAG_IMAGE_WIDTH = 256,
    TAG_IMAGE_LENGTH = 257,
    TAG_BITS_PER_SAMPLE = 258,
    TAG_COMPRESSION = 259,
    TAG_IMAGE_DESCRIPTION = 270,
    TAG_MAKE = 271,
    TAG_MODEL = 272,
    TAG_STRIP_OFFSETS = 273,
    TAG_ORIENTATION = 274,
    TAG_ROWS_PER_STRIP = 278,
    TAG_STRIP_BYTE_COUNTS = 279,
    TAG_X_RESOLUTION = 282,
    TAG_Y_RESOLUTION = 283,
    TAG_RESOLUTION_UNIT = 296,
    TAG_SOFTWARE = 305,
    TAG_DATE_TIME = 306,
    TAG_WHITE_POINT = 318,
    TAG_PRIMARY_CHROMATICITIES = 319,
    TAG_JPEG_IF_OFFSET = 513,
    TAG_JPEG_IF_LENGTH = 514,
    TAG_YCBCR_COEFFICIENTS = 529,
    TAG_YCBCR_POSITIONING = 531,
    TAG_REFERENCE_BLACK_WHITE = 532,
    TAG_COPYRIGHT = 33432,
    TAG_EXIF_POINTER = 34665,
    TAG_GPS_POINTER = 34853,
    // Exif sub-directory
    TAG_EXPOSURE_TIME = 33434,
    TAG_F_NUMBER = 33437,
    TAG_EXPOSURE_PROGRAM = 34850,
    TAG_ISO_SPEED_RATINGS = 34855,
    TAG_EXIF_VERSION = 36864,
    TAG_DATE_TIME_ORIGINAL = 36867,
    TAG_DATE_TIME_DIGITIZED = 36868,
    TAG_COMPONENTS_CONFIGURATION = 37121,
    TAG_COMPRESSED_BITS_PER_PIXEL = 37122,
    TAG_SHUTTER_SPEED_VALUE = 37377,
    TAG_APERTURE_VALUE = 37378,
    TAG_BRIGHTNESS_VALUE = 37379,
    TAG_EXPOSURE_BIAS_VALUE = 37380,
    TAG_MAX_APERTURE_VALUE = 37381,
    TAG_SUBJECT_DISTANCE = 37382,
    TAG_METERING_MODE = 37383,
    TAG_LIGHT_SOURCE = 37384,
    TAG_FLASH = 37385,
    TAG_FOCAL_LENGTH = 37386,
    TAG_USER_COMMENT = 37510,
    TAG_FLASHPIX_VERSION = 40960,
    TAG_COLOR_SPACE = 40961,
    TAG_PIXEL_X_DIMENSION = 40962,
    TAG_PIXEL_Y_DIMENSION = 40963,
    TAG_RELATED_SOUND_FILE = 40964,
    TAG_INTEROP_POINTER = 40965,
    TAG_FOCAL_PLANE_X_RESOLUTION = 41486,
    TAG_FOCAL_PLANE_Y_RESOLUTION = 41487,
    TAG_FOCAL_PLANE_RESOLUTION_UNIT = 41488,
    TAG_EXPOSURE_INDEX = 41493,
    TAG_SENSING_METHOD = 41495,
    TAG_FILE_SOURCE = 41728,
    TAG_SCENE_TYPE = 41729,
};

// GPS sub-directory tags.
enum GpsTag {
    GPS_VERSION_ID = 0,
    GPS_LATITUDE_REF = 1,
    GPS_LATITUDE = 2,
    GPS_LONGITUDE_REF = 3,
    GPS_LONGITUDE = 4,
    GPS_ALTITUDE_REF = 5,
    GPS_ALTITUDE = 6,
    GPS_TIME_STAMP = 7,
    GPS_SATELLITES = 8,
    GPS_STATUS = 9,
    GPS_MEASURE_MODE = 10,
    GPS_DOP = 11,
    GPS_SPEED_REF = 12,
    GPS_SPEED = 13,
    GPS_TRACK_REF = 14,
    GPS_TRACK = 15,
    GPS_IMG_DIRECTION_REF = 16,
    GPS_IMG_DIRECTION = 17,
    GPS_MAP_DATUM = 18,
    GPS_DEST_LATITUDE_REF = 19,
    GPS_DEST_LATITUDE = 20,
    GPS_DEST_LONGITUDE_REF = 21,
    GPS_DEST_LONGITUDE = 22,
    GPS_DEST_BEARING_REF = 23,
    GPS_DEST_BEARING = 24,
    GPS_DEST_DISTANCE_REF = 25,
    GPS_DEST_DISTANCE = 26,
};

// IFD1 Compression values of the two thumbnail forms, and the samples per pixel of an
// uncompressed (RGB) thumbnail.
constexpr int kCompressionNone = 1;
constexpr int kCompressionJpeg = 6;
constexpr uint32_t kRgbSamples = 3;

// Texts of a directory built from nothing: the maker's web domain (13 characters), the model
// format and its two numbers, the EXIF version.
extern const char kNewMake[14];
extern const char kNewModelFormat[];
constexpr int kNewModelMajor = 8;
constexpr int kNewModelMinor = 800;
extern const unsigned char kNewExifVersion[4];
// GPSVersionID of a GPS directory built from nothing: 2.0.0.0.
constexpr unsigned char kGpsVersion[4] = {2, 0, 0, 0};

// The format of an EXIF date text, "YYYY:MM:DD HH:MM:SS" (19 characters and a NUL).
extern const char kDateFormat[];
constexpr int kDateCount = 20;

// Texts of the EBufferError that a walk over a block throws: the byte reader's own names for
// the step that ran out of data (defined with the byte reader), and the limit on what one read
// may copy.
using photogeo::foundation::kErrCopyByte;
using photogeo::foundation::kErrGetWord;
using photogeo::foundation::kErrSkipByte;
extern const char kErrEntryLimit[];
// The text above for a failing step of the TIFF cursor: a 16-bit read is the byte reader's
// GetWord, a 32-bit read or a value run its CopyByte, a move its SkipByte.
const char* BufferErrorText(photogeo::tiff::Fault fault);

}  // namespace photogeo::exif

#endif
