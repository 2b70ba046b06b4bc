// The shooting instant of a photo from its EXIF text (see shot_time.h).
#include "shot_time.h"

#include <algorithm>
#include <ctime>
#include <string>

#include "dates.h"

namespace cli {

namespace {

constexpr int kTagDateTimeOriginal = 0x9003;
constexpr int kTagOffsetTimeOriginal = 0x9011;
constexpr int kTypeAscii = 2;

// The ASCII value of a tag in the Exif directory, up to its first NUL.
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

// Reads n digits at text[at] into value.
bool Number(const std::string& text, std::size_t at, std::size_t n, int& value) {
    if (at + n > text.size()) return false;
    value = 0;
    for (std::size_t i = at; i < at + n; ++i) {
        if (text[i] < '0' || text[i] > '9') return false;
        value = value * 10 + (text[i] - '0');
    }
    return true;
}

// "+HH:MM" or "-HH:MM" as seconds east of UTC.
std::optional<int> Offset(const std::optional<std::string>& text) {
    int hours = 0, minutes = 0;
    if (!text || text->size() < 6 || ((*text)[0] != '+' && (*text)[0] != '-') ||
        !Number(*text, 1, 2, hours) || (*text)[3] != ':' || !Number(*text, 4, 2, minutes) ||
        hours > 14 || minutes > 59) {
        return std::nullopt;
    }
    const int seconds = hours * 3600 + minutes * 60;
    return (*text)[0] == '-' ? -seconds : seconds;
}

}  // namespace

photogeo::UtcDateTime UtcFromSeconds(int64_t utcSeconds) {
    const std::time_t t = static_cast<std::time_t>(utcSeconds);
    std::tm u{};
    gmtime_r(&t, &u);
    return {u.tm_year + 1900, u.tm_mon + 1, u.tm_mday, u.tm_hour, u.tm_min, u.tm_sec};
}

std::optional<ShotTime> ShotTimeUtc(const CExifIfdCoder& coder) {
    const std::optional<std::string> text = ExifText(coder.m_Exif, kTagDateTimeOriginal);
    int year, month, day, hour, minute, second;
    if (!text || !Number(*text, 0, 4, year) || (*text)[4] != ':' || !Number(*text, 5, 2, month) ||
        (*text)[7] != ':' || !Number(*text, 8, 2, day) || (*text)[10] != ' ' ||
        !Number(*text, 11, 2, hour) || (*text)[13] != ':' || !Number(*text, 14, 2, minute) ||
        (*text)[16] != ':' || !Number(*text, 17, 2, second)) {
        return std::nullopt;
    }
    // A wall-clock reading that is not a calendar date (all zeros, 2023:02:30, 25:00:00) is none.
    if (photogeo::DecimalYear({year, month, day, hour, minute, second}).status !=
        photogeo::GeomagneticStatus::kOk) {
        return std::nullopt;
    }
    int64_t utc = 0;
    if (const std::optional<int> offset = Offset(ExifText(coder.m_Exif, kTagOffsetTimeOriginal))) {
        utc = WallClockAsUtc(year, month, day, hour, minute, second) - *offset;
    } else {
        std::tm local{};
        local.tm_year = year - 1900;
        local.tm_mon = month - 1;
        local.tm_mday = day;
        local.tm_hour = hour;
        local.tm_min = minute;
        local.tm_sec = second;
        local.tm_isdst = -1;
        // A four-digit year always fits a 64-bit time_t.
        utc = static_cast<int64_t>(std::mktime(&local));
    }
    return ShotTime{UtcFromSeconds(utc), utc};
}

}  // namespace cli
