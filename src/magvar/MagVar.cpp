// The exported GetMagVar: the host, and the JPEG coder's bearing derivations, call it with a
// place, height and time. Places in the Japan box are answered by a quadratic approximation
// right here; for all others the time becomes a UTC calendar date, the date picks the
// coefficient set, and HarmonicModel.cpp computes the declination.
#include "photogeo/MagVar.h"

#include <cstdint>
#include <ctime>

#include "magvar/MagVarModel.h"

namespace {

namespace magvar = photogeo::magvar;

// The box and centre of the Japan approximation, degrees; the box edges belong to it.
constexpr double kJapanLatMin = 22.0;
constexpr double kJapanLatMax = 46.0;
constexpr double kJapanLonMin = 122.0;
constexpr double kJapanLonMax = 149.0;
constexpr double kJapanLat0 = 37.0;
constexpr double kJapanLon0 = 138.0;

// Coefficients of the approximation, published in minutes of arc and held here in degrees:
// 7 deg 37.142', 21.622', 7.672', 0.442', 0.320' and 0.675'.
constexpr double kJapanC0 = 7.619033333333333;
constexpr double kJapanC1 = 0.36036666666666667;
constexpr double kJapanC2 = 0.12786666666666666;
constexpr double kJapanC3 = 0.007366666666666666;
constexpr double kJapanC4 = 0.005333333333333333;
constexpr double kJapanC5 = 0.011250000000000001;

constexpr double kOneOver180 = 0.005555555555555556;
constexpr double kMetresToKm = 0.001;

double DegToRad(double x) {
    return (magvar::kPi * x) * kOneOver180;
}

double RadToDeg(double x) {
    return x * 180.0 / magvar::kPi;
}

bool InJapanBox(double lat, double lon) {
    return lat >= kJapanLatMin && lat <= kJapanLatMax && lon >= kJapanLonMin && lon <= kJapanLonMax;
}

// The variation is westerly all over Japan, hence the leading minus. The terms are summed left
// to right in the order the approximation is published, which fixes the rounding of the result.
double JapanMagVar(double lat, double lon) {
    const double dphi = lat - kJapanLat0;
    const double dlam = lon - kJapanLon0;
    return -(kJapanC0 + kJapanC1 * dphi - kJapanC2 * dlam + kJapanC3 * dphi * dphi -
             kJapanC4 * dphi * dlam - kJapanC5 * dlam * dlam);
}

// The caller's time is a signed 32-bit count even where `long` is wider: its low 32 bits are
// taken as they would be on a 32-bit platform. Unsigned arithmetic keeps the reinterpretation
// free of implementation-defined conversions.
int32_t LowSigned32(long time) {
    const uint32_t bits = static_cast<uint32_t>(time);
    return bits <= INT32_MAX ? static_cast<int32_t>(bits) : -static_cast<int32_t>(~bits) - 1;
}

}  // namespace

double GetMagVar(double lat, double lon, double height, long time) {
    if (InJapanBox(lat, lon)) {
        return JapanMagVar(lat, lon);
    }

    // A 32-bit C runtime has no date before 1970; a 64-bit gmtime would give one, so negative
    // counts are turned away here.
    const int32_t seconds = LowSigned32(time);
    if (seconds < 0) {
        return 0.0;
    }
    const std::time_t t = seconds;
    std::tm date{};
    if (gmtime_r(&t, &date) == nullptr) {
        return 0.0;
    }

    // tm_year counts from 1900: 70-99 fall to the 1990 set, 100-138 to the 2000 set.
    magvar::CoefficientSet set = magvar::CoefficientSet::kIgrf1990;
    int yy = date.tm_year;
    if (yy >= 100) {
        set = magvar::CoefficientSet::kIgrf2000;
        yy -= 100;
    }
    const int32_t jd = magvar::YmdToJulianDay(yy, date.tm_mon + 1, date.tm_mday);
    return RadToDeg(
        magvar::CalcMagVar(DegToRad(lat), DegToRad(lon), height * kMetresToKm, jd, set));
}
