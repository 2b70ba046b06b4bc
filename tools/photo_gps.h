// A photo's GPS position and its moment in UTC, read from the EXIF block through
// photogeo::ExifTags (so an EXIF block after an XMP one is found too). Used by "photogeo track".
#ifndef PHOTOGEO_TOOLS_PHOTO_GPS_H
#define PHOTOGEO_TOOLS_PHOTO_GPS_H

#include <photogeo/ExifEdit.h>

#include <optional>

namespace cli {

struct PhotoGps {
    double lat = 0.0, lon = 0.0;  // degrees, south and west negative
    std::optional<double> alt;    // metres, below sea level negative
    std::optional<double> time;   // seconds since 1970 UTC
};

// The recorded position, or nothing when latitude or longitude (or its reference) is missing.
// The time is the GPS date and time stamp when both are recorded, else DateTimeOriginal with
// OffsetTimeOriginal, else DateTimeOriginal as local time under TZ.
std::optional<PhotoGps> ReadPhotoGps(const photogeo::ExifTags& tags);

}  // namespace cli

#endif
