// Calendar helpers of the command-line tool: the ISO 8601 dates and times that the user types
// or a GPX track holds, turned into seconds since 1970 UTC, and back into ISO 8601 text for the
// JSON output. Days are counted on the proleptic Gregorian calendar without the C runtime, so
// no time zone setting leaks into a UTC conversion.
#ifndef PHOTOGEO_TOOLS_DATES_H
#define PHOTOGEO_TOOLS_DATES_H

#include <cstdint>
#include <string>

namespace cli {

// Days from 1970-01-01 to the given civil date (negative before it).
int64_t DaysFromCivil(int64_t year, unsigned month, unsigned day);

// "YYYY-MM-DD" as seconds since 1970 UTC at the start of that day; throws UsageError naming
// what for a malformed or impossible date.
int64_t ParseIsoDay(const std::string& text, const std::string& what);

// An XML Schema dateTime as GPX writes it: "YYYY-MM-DDTHH:MM:SS", optional fraction, then "Z",
// "+HH:MM" or "-HH:MM" (no zone means UTC). Gives seconds since 1970 UTC, the fraction kept.
bool ParseIsoDateTime(const std::string& text, double& utcSeconds);

// "+HH:MM", "-HH:MM", "+HH:MM:SS", "+HH" or "Z" as seconds east of UTC; throws UsageError
// naming what.
int ParseUtcOffset(const std::string& text, const std::string& what);

// Local civil time fields (as CTime gives them) read as UTC: seconds since 1970 of the same wall
// clock reading in UTC. Subtracting a zone's offset from it gives that moment in UTC.
int64_t WallClockAsUtc(int year, int month, int day, int hour, int minute, int second);

// Seconds since 1970 UTC (fraction dropped) as ISO 8601 UTC, "2008-02-28T01:15:00Z".
std::string IsoUtc(double utcSeconds);

}  // namespace cli

#endif
