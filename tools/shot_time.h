// The moment a photo was taken, as a UTC instant, for the commands that evaluate the magnetic
// field at it (bearing, info). It is read from the EXIF DateTimeOriginal text, not from the
// coder's record, whose 32-bit seconds reach only 1970 to 2038.
#ifndef PHOTOGEO_TOOLS_SHOT_TIME_H
#define PHOTOGEO_TOOLS_SHOT_TIME_H

#include <photogeo/ExifIfdCoder.h>
#include <photogeo/GeomagneticField.h>

#include <cstdint>
#include <optional>

namespace cli {

struct ShotTime {
    photogeo::UtcDateTime utc;
    int64_t utcSeconds;  // the same instant as seconds since 1970 (negative before)
};

// DateTimeOriginal ("YYYY:MM:DD HH:MM:SS", the camera's wall clock) from the EXIF table of a
// full read, turned into UTC by OffsetTimeOriginal ("+09:00") when the photo records it, else
// by the TZ variable as local time, as the coder's record does. None when the text is absent,
// blank or not a date.
std::optional<ShotTime> ShotTimeUtc(const CExifIfdCoder& coder);

// Seconds since 1970 as a UTC date-time (any year).
photogeo::UtcDateTime UtcFromSeconds(int64_t utcSeconds);

}  // namespace cli

#endif
