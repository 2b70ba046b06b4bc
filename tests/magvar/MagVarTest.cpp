// GetMagVar against published declinations: the Japan approximation and its box, the world
// model in both coefficient sets, the date handling around them, and the Julian day numbers.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <ctime>

#include "magvar/MagVarModel.h"
#include "photogeo/MagVar.h"

namespace {

namespace magvar = photogeo::magvar;

long Utc(int year, int month, int day, int hour = 0, int min = 0, int sec = 0) {
    std::tm t{};
    t.tm_year = year - 1900;
    t.tm_mon = month - 1;
    t.tm_mday = day;
    t.tm_hour = hour;
    t.tm_min = min;
    t.tm_sec = sec;
    return static_cast<long>(timegm(&t));
}

TEST(MagVar, PublishedDeclinations) {
    const struct {
        double lat, lon, height;
        long time;
        double degrees, tolerance;
    } cases[] = {
        // The Japan approximation ignores height and time; its box edges belong to it.
        {37.0, 138.0, 0.0, 0, -7.619033333333333, 1e-12},
        {37.0, 138.0, 3776.0, -1, -7.619033333333333, 1e-12},
        {37.0, 138.0, -100.0, Utc(2030, 6, 1), -7.619033333333333, 1e-12},
        {35.0, 139.0, 120.0, Utc(2008, 2, 28), -6.799316666666666, 1e-12},
        {22.0, 122.0, 0, 0, -1.7569, 1e-9},
        {46.0, 149.0, 0, 0, -8.16325, 1e-9},
        // Just outside it the world model answers.
        {21.99, 140.0, 0, Utc(2005, 1, 1), -2.16, 0.005},
        {46.01, 140.0, 0, Utc(2005, 1, 1), -10.68, 0.005},
        {51.5, 0.0, 0, Utc(2001, 1, 1), -3.03, 0.005},
        // The 1990 set with its published degrees 4-10 puts London about 0.025 degrees further
        // west than the rounded figures, in both directions from its epoch.
        {51.5, 0.0, 0, Utc(1995, 7, 1), -3.89, 0.03},
        {51.5, 0.0, 0, Utc(1985, 1, 1), -5.14, 0.03},
        {-33.87, 151.21, 0, Utc(2007, 6, 15), 12.5948, 1e-4},
        {40.0, -105.0, 1600, Utc(2003, 1, 1), 10.20, 0.005},
        {40.0, -75.0, 0, Utc(2005, 1, 1), -12.54, 0.005},
        // No date before 1970, nor from a count whose low 32 bits are negative.
        {51.5, 0.0, 0, -1, 0.0, 0.0},
        {51.5, 0.0, 0, INT32_MIN, 0.0, 0.0},
        {51.5, 0.0, 0, static_cast<long>(INT32_MAX) + 1, 0.0, 0.0},
    };
    for (const auto& c : cases)
        EXPECT_NEAR(GetMagVar(c.lat, c.lon, c.height, c.time), c.degrees, c.tolerance)
            << c.lat << " " << c.lon << " at " << c.time;
    EXPECT_NE(GetMagVar(30.0, 121.99, 0, Utc(2005, 1, 1)), GetMagVar(30.0, 122.0, 0, 0));
    EXPECT_NE(GetMagVar(30.0, 149.01, 0, Utc(2005, 1, 1)), GetMagVar(30.0, 149.0, 0, 0));
    EXPECT_TRUE(std::isfinite(GetMagVar(90.0, 0.0, 0, Utc(2005, 1, 1))));
    EXPECT_TRUE(std::isfinite(GetMagVar(-90.0, 45.0, 0, Utc(1995, 1, 1))));
    // Only the low 32 bits of a wider time count matter.
    if (sizeof(long) > 4) {
        EXPECT_EQ(GetMagVar(51.5, 0.0, 0, Utc(2001, 1, 1) + static_cast<long>(int64_t{1} << 32)),
                  GetMagVar(51.5, 0.0, 0, Utc(2001, 1, 1)));
    }
}

// The set is chosen by the UTC date, whatever the local zone (the tests run nine hours ahead
// of UTC, where 1999-12-31 23:59:59 UTC is already 2000), and the time of day is dropped.
TEST(MagVar, SetSwitchAtTheYear2000) {
    auto model = [](int32_t jd, magvar::CoefficientSet set) {
        const double rad =
            magvar::CalcMagVar((magvar::kPi * 51.5) * 0.005555555555555556, 0.0, 0.0, jd, set);
        return rad * 180.0 / magvar::kPi;
    };
    const double lastOf1999 = GetMagVar(51.5, 0.0, 0, Utc(1999, 12, 31, 23, 59, 59));
    EXPECT_DOUBLE_EQ(lastOf1999,
                     model(magvar::YmdToJulianDay(99, 12, 31), magvar::CoefficientSet::kIgrf1990));
    EXPECT_DOUBLE_EQ(lastOf1999, GetMagVar(51.5, 0.0, 0, Utc(1999, 12, 31)));
    EXPECT_DOUBLE_EQ(GetMagVar(51.5, 0.0, 0, Utc(2000, 1, 1)),
                     model(magvar::kEpoch2000, magvar::CoefficientSet::kIgrf2000));
}

// The two-digit window, and every day from 1970 to 2038 (the epochs among them) against the C
// runtime's day count (month ends, leap years, 2000 a leap year although divisible by 100).
TEST(MagVar, JulianDays) {
    EXPECT_EQ(magvar::YmdToJulianDay(50, 1, 1), 2433283);    // 1950
    EXPECT_EQ(magvar::YmdToJulianDay(49, 12, 31), 2469807);  // 2049
    for (int64_t days = 0; days * 86400 <= INT32_MAX; ++days) {
        const std::time_t t = days * 86400;
        std::tm date{};
        ASSERT_NE(gmtime_r(&t, &date), nullptr);
        ASSERT_EQ(magvar::YmdToJulianDay(date.tm_year % 100, date.tm_mon + 1, date.tm_mday),
                  2440588 + days)
            << "day " << days;
    }
}

}  // namespace
