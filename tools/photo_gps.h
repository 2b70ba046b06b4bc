// A photo's GPS position, its moment in UTC, the direction it looks to and its EXIF thumbnail,
// read from the EXIF block through photogeo::ExifTags (so an EXIF block after an XMP one is
// found too). Used by "photogeo track" and "photogeo map"; geotag shares the tag readers.
#ifndef PHOTOGEO_TOOLS_PHOTO_GPS_H
#define PHOTOGEO_TOOLS_PHOTO_GPS_H

#include <photogeo/ExifEdit.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace cli {

// The readers below are shared with geotag. TagText: a tag's text, or nothing when absent.
std::optional<std::string> TagText(const photogeo::ExifTags& tags, photogeo::ExifDirectory d,
                                   uint16_t tag);
// A GPS rational triple (degrees or hours, minutes, seconds) as one number.
std::optional<double> GpsSexagesimal(const photogeo::ExifTags& tags, uint16_t tag);
// A signed coordinate: negative when the reference tag starts with the letter negative.
std::optional<double> GpsCoordinate(const photogeo::ExifTags& tags, uint16_t refTag, uint16_t tag,
                                    char negative);
// "YYYY:MM:DD HH:MM:SS" (withTime) or "YYYY:MM:DD" as six fields; false for another text or an
// impossible date.
bool ExifWallClock(const std::string& text, bool withTime, int f[6]);

struct PhotoGps {
    double lat = 0.0, lon = 0.0;  // degrees, south and west negative
    std::optional<double> alt;    // metres, below sea level negative
    std::optional<double> time;   // seconds since 1970 UTC
    std::optional<double> direction;  // GPSImgDirection, degrees clockwise from north
    bool magneticNorth = false;       // the direction is from magnetic north (ref "M")
};

// The recorded position, or nothing when latitude or longitude (or its reference) is missing.
// The time is the GPS date and time stamp when both are recorded, else DateTimeOriginal with
// OffsetTimeOriginal, else DateTimeOriginal as local time under TZ.
std::optional<PhotoGps> ReadPhotoGps(const photogeo::ExifTags& tags);

struct PlacedPhoto {
    std::string file;
    PhotoGps gps;
    std::vector<unsigned char> thumbnail;  // the EXIF thumbnail JPEG when asked for; may be empty
};

// Reads the photos of the arguments (folders gone through when recursive, see photo_walk.h)
// that record a position, in time order (photos without a time last, as given). A file that is
// not a readable JPEG, or a folder that cannot be gone through, is reported on stderr and makes
// the result kExitFileFailed; a photo without a position is reported and left out. Otherwise
// kExitOk.
int ReadPlacedPhotos(const std::vector<std::string>& arguments, bool recursive,
                     bool withThumbnails, std::vector<PlacedPhoto>& photos);

}  // namespace cli

#endif
