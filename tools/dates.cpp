// Calendar helpers of the command-line tool (see dates.h). DaysFromCivil counts days with the
// era-based method: shifting the year to start in March puts the leap day at the end, so each
// 400-year era has 146097 days and a day of the year is (153 * month' + 2) / 5 + day - 1.
#include "dates.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "cli.h"

namespace cli {

namespace {

bool IsLeap(int64_t y) {
    return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

unsigned DaysInMonth(int64_t y, unsigned m) {
    static const unsigned kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && IsLeap(y) ? 29 : kDays[m - 1];
}

// Reads exactly n decimal digits at text[pos]; false when any is missing.
bool Digits(const std::string& text, std::size_t pos, int n, int& value) {
    if (pos + n > text.size()) return false;
    value = 0;
    for (int i = 0; i < n; ++i) {
        char c = text[pos + i];
        if (c < '0' || c > '9') return false;
        value = value * 10 + (c - '0');
    }
    return true;
}

bool ParseDay(const std::string& text, int& y, int& m, int& d) {
    return text.size() >= 10 && Digits(text, 0, 4, y) && text[4] == '-' && Digits(text, 5, 2, m) &&
           text[7] == '-' && Digits(text, 8, 2, d) && m >= 1 && m <= 12 && d >= 1 &&
           static_cast<unsigned>(d) <= DaysInMonth(y, static_cast<unsigned>(m));
}

// "+HH:MM", "-HH:MM", "+HH:MM:SS", "+HHMM", "+HH" or "Z" from text[pos] to the end.
bool ParseZone(const std::string& text, std::size_t pos, int& seconds) {
    if (pos == text.size()) {
        seconds = 0;
        return true;
    }
    if (text[pos] == 'Z' && pos + 1 == text.size()) {
        seconds = 0;
        return true;
    }
    if (text[pos] != '+' && text[pos] != '-') return false;
    int sign = text[pos] == '-' ? -1 : 1;
    int hh = 0, mm = 0, ss = 0;
    if (!Digits(text, pos + 1, 2, hh)) return false;
    std::size_t rest = pos + 3;
    if (rest < text.size()) {
        if (text[rest] == ':') ++rest;
        if (!Digits(text, rest, 2, mm)) return false;
        rest += 2;
        if (rest < text.size() && (text[rest] != ':' || !Digits(text, rest + 1, 2, ss) ||
                                   rest + 3 != text.size())) {
            return false;
        }
    }
    if (hh > 14 || mm > 59 || ss > 59) return false;
    seconds = sign * (hh * 3600 + mm * 60 + ss);
    return true;
}

}  // namespace

int64_t DaysFromCivil(int64_t year, unsigned month, unsigned day) {
    year -= month <= 2 ? 1 : 0;
    const int64_t era = (year >= 0 ? year : year - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(year - era * 400);
    const unsigned doy = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

int64_t ParseIsoDay(const std::string& text, const std::string& what) {
    int y, m, d;
    if (text.size() != 10 || !ParseDay(text, y, m, d)) {
        throw UsageError(what + ": not a date of the form YYYY-MM-DD: '" + text + "'");
    }
    return DaysFromCivil(y, static_cast<unsigned>(m), static_cast<unsigned>(d)) * 86400;
}

bool ParseIsoDateTime(const std::string& text, double& utcSeconds) {
    int y, mo, d, h, mi, s;
    if (!ParseDay(text, y, mo, d) || text.size() < 19 || text[10] != 'T' ||
        !Digits(text, 11, 2, h) || text[13] != ':' || !Digits(text, 14, 2, mi) || text[16] != ':' ||
        !Digits(text, 17, 2, s) || h > 23 || mi > 59 || s > 60) {
        return false;
    }
    std::size_t pos = 19;
    double fraction = 0.0;
    if (pos < text.size() && text[pos] == '.') {
        double scale = 0.1;
        ++pos;
        std::size_t start = pos;
        for (; pos < text.size() && text[pos] >= '0' && text[pos] <= '9'; ++pos) {
            fraction += (text[pos] - '0') * scale;
            scale /= 10.0;
        }
        if (pos == start) return false;
    }
    int zone = 0;
    if (!ParseZone(text, pos, zone)) return false;
    utcSeconds = static_cast<double>(WallClockAsUtc(y, mo, d, h, mi, s) - zone) + fraction;
    return true;
}

int ParseUtcOffset(const std::string& text, const std::string& what) {
    int seconds = 0;
    if (text.empty() || !ParseZone(text, 0, seconds)) {
        throw UsageError(what + ": not a UTC offset of the form +HH:MM[:SS]: '" + text + "'");
    }
    return seconds;
}

int64_t WallClockAsUtc(int year, int month, int day, int hour, int minute, int second) {
    return DaysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) * 86400 +
           hour * 3600 + minute * 60 + second;
}

std::string IsoUtc(double utcSeconds) {
    int64_t s = static_cast<int64_t>(std::floor(utcSeconds));
    int64_t days = (s >= 0 ? s : s - 86399) / 86400;
    int64_t rest = s - days * 86400;
    // The inverse of DaysFromCivil, on the same March-based era.
    int64_t z = days + 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    const unsigned day = doy - (153 * mp + 2) / 5 + 1;
    const unsigned month = mp < 10 ? mp + 3 : mp - 9;
    const int64_t year = static_cast<int64_t>(yoe) + era * 400 + (month <= 2 ? 1 : 0);
    char text[96];
    std::snprintf(text, sizeof text, "%04lld-%02u-%02uT%02lld:%02lld:%02lldZ",
                  static_cast<long long>(year), month, day, static_cast<long long>(rest / 3600),
                  static_cast<long long>(rest / 60 % 60), static_cast<long long>(rest % 60));
    return text;
}

}  // namespace cli
