// The shooting instant of a photo from its EXIF text (see shot_time.h). Named zones go through
// the date/tz library over the system's zone database; the TZ variable through mktime, which
// also understands POSIX zone texts such as "JST-9".
#include "shot_time.h"

#ifdef PHOTOGEO_HAVE_TZDB
#include <date/tz.h>
#endif

#include <algorithm>
#include <chrono>
#include <cmath>
#include <ctime>
#include <string>

#include "cli.h"
#include "dates.h"
#include "photo_gps.h"

namespace cli {

namespace {

constexpr int kTagDateTimeOriginal = 0x9003;
constexpr int kTagOffsetTimeOriginal = 0x9011;
constexpr int kTypeAscii = 2;

// The ASCII value of a tag in the Exif directory of a full read, up to its first NUL.
std::optional<std::string> ExifText(const CExif& exif, int tag) {
    if (exif.m_nExifEntry < 0) return std::nullopt;
    for (const SExifEntry& e : exif.m_aEntry) {
        if (e.nParent == exif.m_nExifEntry && e.nTag == tag && e.nType == kTypeAscii &&
            e.pData != nullptr) {
            const char* p = reinterpret_cast<const char*>(e.pData);
            return std::string(p, std::find(p, p + e.nSize, '\0'));
        }
    }
    return std::nullopt;
}

// The wall clock read under the TZ variable (mktime decides a repeated hour).
int64_t UnderTz(const int f[6]) {
    std::tm local{};
    local.tm_year = f[0] - 1900;
    local.tm_mon = f[1] - 1;
    local.tm_mday = f[2];
    local.tm_hour = f[3];
    local.tm_min = f[4];
    local.tm_sec = f[5];
    local.tm_isdst = -1;
    // A four-digit year always fits a 64-bit time_t.
    return static_cast<int64_t>(std::mktime(&local));
}

}  // namespace

CameraClock CameraClock::FromOptions(const std::string& offset, const std::string& zone) {
    CameraClock clock;
    if (!offset.empty() && !zone.empty()) throw UsageError("give --offset or --tz, not both");
    if (!offset.empty()) clock.m_offset = ParseUtcOffset(offset, "--offset");
    if (!zone.empty()) {
#ifdef PHOTOGEO_HAVE_TZDB
        try {
            clock.m_zone = date::locate_zone(zone);
        } catch (const std::exception&) {
            throw UsageError("--tz: no zone named '" + zone + "' in the system's zone database");
        }
#else
        throw UsageError("--tz: this build has no zone database; give --offset");
#endif
    }
    return clock;
}

std::optional<double> CameraClock::Instant(const std::string& dateTime,
                                           const std::optional<std::string>& recordedOffset) const {
    int f[6];
    if (!ExifWallClock(dateTime, true, f)) return std::nullopt;
    const int64_t wall = WallClockAsUtc(f[0], f[1], f[2], f[3], f[4], f[5]);
    std::optional<int> offset = m_offset;
    if (!offset && !m_zone && recordedOffset) {
        try {
            offset = ParseUtcOffset(*recordedOffset, "OffsetTimeOriginal");
        } catch (const UsageError&) {
            // An unreadable recorded offset: the TZ variable decides.
        }
    }
    int64_t utc = 0;
    if (offset) {
        utc = wall - *offset;
    } else if (m_zone) {
#ifdef PHOTOGEO_HAVE_TZDB
        const date::local_seconds local{std::chrono::seconds(wall)};
        utc = m_zone->to_sys(local, date::choose::earliest).time_since_epoch().count();
#endif
    } else {
        utc = UnderTz(f);
    }
    return static_cast<double>(utc) - m_drift;
}

std::optional<double> ShootingInstant(const photogeo::ExifTags& tags, const CameraClock& clock) {
    std::optional<std::string> text =
        TagText(tags, photogeo::ExifDirectory::kExif, kTagDateTimeOriginal);
    if (!text) return std::nullopt;
    return clock.Instant(*text, TagText(tags, photogeo::ExifDirectory::kExif,
                                        kTagOffsetTimeOriginal));
}

photogeo::UtcDateTime UtcFromSeconds(int64_t utcSeconds) {
    const std::time_t t = static_cast<std::time_t>(utcSeconds);
    std::tm u{};
    gmtime_r(&t, &u);
    return {u.tm_year + 1900, u.tm_mon + 1, u.tm_mday, u.tm_hour, u.tm_min, u.tm_sec};
}

std::optional<ShotTime> ShotTimeUtc(const CExifIfdCoder& coder) {
    const std::optional<std::string> text = ExifText(coder.m_Exif, kTagDateTimeOriginal);
    if (!text) return std::nullopt;
    const std::optional<double> utc =
        CameraClock().Instant(*text, ExifText(coder.m_Exif, kTagOffsetTimeOriginal));
    if (!utc) return std::nullopt;
    const int64_t seconds = static_cast<int64_t>(std::floor(*utc));
    return ShotTime{UtcFromSeconds(seconds), seconds};
}

}  // namespace cli
