// The moment a photo was taken, as a UTC instant: the one rule of the tool for turning the
// camera's wall clock (EXIF DateTimeOriginal, "YYYY:MM:DD HH:MM:SS") into true time. geotag
// matches it against GPS tracks (with the zone and drift the user gives), bearing and track take
// it as the photo records it. The text is read, not the coder's record, whose 32-bit seconds
// reach only 1970 to 2038.
#ifndef PHOTOGEO_TOOLS_SHOT_TIME_H
#define PHOTOGEO_TOOLS_SHOT_TIME_H

#include <photogeo/ExifEdit.h>
#include <photogeo/ExifIfdCoder.h>
#include <photogeo/GeomagneticField.h>

#include <cstdint>
#include <optional>
#include <string>

namespace date {
class time_zone;
}

namespace cli {

// How the camera's clock relates to UTC. The zone is, in this order: a fixed offset (--offset),
// a named zone of the system's zone database with its daylight saving rules (--tz), the
// photo's own OffsetTimeOriginal, the TZ environment variable. The drift (camera clock minus
// true time, seconds) is taken off last.
class CameraClock {
public:
    // The photo's OffsetTimeOriginal, else TZ; no drift.
    CameraClock() = default;
    // offset "+HH:MM[:SS]" or zone "Europe/Paris" (an empty text is not given; both given is a
    // usage error, as are a malformed offset and an unknown zone). Throws UsageError.
    static CameraClock FromOptions(const std::string& offset, const std::string& zone);

    void SetDrift(double seconds) { m_drift = seconds; }
    double Drift() const { return m_drift; }

    // The true instant, seconds since 1970 UTC, of the wall clock reading dateTime
    // ("YYYY:MM:DD HH:MM:SS") of a photo that records recordedOffset ("+09:00") or none; none
    // when the text is not a date and time. In a named zone, a reading in the hour skipped at a
    // change to summer time is taken as the change itself, one in the hour that repeats as the
    // earlier (summer-time) moment.
    std::optional<double> Instant(const std::string& dateTime,
                                  const std::optional<std::string>& recordedOffset) const;

private:
    std::optional<int> m_offset;              // seconds east of UTC
    const date::time_zone* m_zone = nullptr;  // owned by the zone database
    double m_drift = 0.0;
};

// The shooting instant of a photo under clock: DateTimeOriginal with OffsetTimeOriginal.
std::optional<double> ShootingInstant(const photogeo::ExifTags& tags, const CameraClock& clock);

struct ShotTime {
    photogeo::UtcDateTime utc;
    int64_t utcSeconds;  // the same instant as seconds since 1970 (negative before)
};

// The shooting instant as the photo records it (CameraClock()), from the EXIF table of a full
// read. None when the text is absent, blank or not a date.
std::optional<ShotTime> ShotTimeUtc(const CExifIfdCoder& coder);

// Seconds since 1970 as a UTC date-time (any year).
photogeo::UtcDateTime UtcFromSeconds(int64_t utcSeconds);

}  // namespace cli

#endif
