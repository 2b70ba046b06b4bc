// What the exported GetMagVar (MagVar.cpp) hands to the spherical-harmonic model
// (HarmonicModel.cpp): the calendar date as a Julian day number and the choice of coefficient
// set. Internal to the library.
#ifndef PHOTOGEO_MAGVAR_MAGVARMODEL_H
#define PHOTOGEO_MAGVAR_MAGVARMODEL_H

#include <cstdint>

namespace photogeo::magvar {

// Every degree/radian conversion and pi/2 use this value, not a longer one.
constexpr double kPi = 3.14159265358979;

enum class CoefficientSet {
    kIgrf1990,  // dates up to the end of 1999
    kIgrf2000,  // dates from 2000 on
};

// Julian day number (days since noon, 1 January 4713 BC, Julian calendar) of a Gregorian date
// given with a two-digit year: 00-49 are 2000-2049, 50-99 are 1950-1999. This is the integer
// formula of Fliegel and Van Flandern; every division truncates toward zero, which the formula
// relies on for January and February (k is -1 for them, 0 otherwise).
constexpr int32_t YmdToJulianDay(int yy, int mm, int dd) {
    const int32_t y = yy < 50 ? 2000 + yy : 1900 + yy;
    const int32_t k = (mm - 14) / 12;
    return 1461 * (y + 4800 + k) / 4 + 367 * (mm - 2 - 12 * k) / 12 -
           3 * ((y + 4900 + k) / 100) / 4 + dd - 32075;
}

// The epochs of the two sets.
constexpr int32_t kEpoch1990 = YmdToJulianDay(90, 1, 1);
constexpr int32_t kEpoch2000 = YmdToJulianDay(0, 1, 1);
static_assert(kEpoch1990 == 2447893 && kEpoch2000 == 2451545,
              "the Julian day formula must place the epochs where the model's data puts them");

// Declination by the spherical-harmonic model. lat, lon: geodetic latitude and longitude in
// radians; h: height above the ellipsoid in km; jd: the date as a Julian day number, moved
// from the set's epoch by its secular variation (backwards for earlier dates). Result in
// radians, east positive; 0.0 where the horizontal field vanishes.
double CalcMagVar(double lat, double lon, double h, int32_t jd, CoefficientSet set);

}  // namespace photogeo::magvar

#endif
