// The Earth's main magnetic field at a place and time by the International Geomagnetic Reference
// Field, 14th generation (IGRF-14): degree 13, 1900-01-01 to 2030-01-01, linear in time between
// its five-yearly coefficient sets (2025-2030 being the predicted secular variation). Use it to
// turn a bearing measured against magnetic north into one against true north, at the date the
// bearing was taken.
//
// This stands beside GetMagVar (MagVar.h), which keeps its own older model, its 1970-2038 time
// range and its regional approximation for Japan; results of the two differ by up to a degree
// or more for recent dates.
//
// Frames and signs. Positions are geodetic on the WGS-84 ellipsoid (a = 6378.137 km,
// 1/f = 298.257223563): latitude north positive, longitude east positive, height in metres
// above the ellipsoid. Field components are in the local geodetic frame: north (X) toward true
// north, east (Y), down (Z) along the ellipsoid normal; intensities in nanotesla (nT).
//
// Errors are results, never exceptions: every function is noexcept and reports a
// GeomagneticStatus; nothing is extrapolated beyond the model's time span.
//
// Threads and memory: no call allocates; the functions and a const Igrf14Model may be used from
// any number of threads at once (the only shared state, a table of square roots and whether the
// processor has AVX, is set thread-safely on first use).
#ifndef PHOTOGEO_GEOMAGNETICFIELD_H
#define PHOTOGEO_GEOMAGNETICFIELD_H

#include <cstddef>

#include "photogeo/Export.h"

namespace photogeo {

// A UTC instant on the Gregorian calendar (proleptic before 1582).
struct UtcDateTime {
    int year;
    int month;        // 1 to 12
    int day;          // 1 to the month's length
    int hour = 0;     // 0 to 23
    int minute = 0;   // 0 to 59
    int second = 0;   // 0 to 60; 60 is a leap second and counts as the next day's first instant
};

enum class GeomagneticStatus {
    kOk = 0,
    kBeforeModel,      // the time lies before 1900-01-01T00:00Z (decimal year 1900.0)
    kAfterModel,       // the time lies after 2030-01-01T00:00Z (decimal year 2030.0)
    kInvalidTime,      // not a calendar date and time of day, a NaN decimal year, or a model
                       // whose time was never set
    kInvalidPosition,  // latitude outside -90..90, a coordinate that is not finite, or a height
                       // below -1000 km
};

// A short English sentence for the status, e.g. "the time lies before 1900-01-01T00:00Z, where
// the IGRF-14 model begins". Never null; static storage.
PHOTOGEO_API const char* GeomagneticStatusText(GeomagneticStatus status) noexcept;

// The field at one place and time.
struct GeomagneticField {
    double declination;          // D: degrees from true north to the horizontal field, east
                                 // positive, -180 to 180; 0 where the horizontal field is 0
    double inclination;          // I: degrees below the horizontal, -90 to 90 (positive in the
                                 // northern magnetic hemisphere, where the field dips down)
    double horizontalIntensity;  // H: nT, sqrt(north^2 + east^2)
    double north;                // X: nT toward true north
    double east;                 // Y: nT toward east
    double down;                 // Z: nT downward along the ellipsoid normal
    double totalIntensity;       // F: nT, sqrt(H^2 + Z^2)
    double declinationChangePerYear;  // dD/dt: degrees per year, east positive, from the
                                      // model's secular variation at that time (constant within
                                      // each five-year span); 0 where H is 0
};

struct GeomagneticResult {
    GeomagneticStatus status = GeomagneticStatus::kInvalidTime;
    GeomagneticField field{};  // all zero unless status is kOk
    explicit operator bool() const noexcept { return status == GeomagneticStatus::kOk; }
};

struct DecimalYearResult {
    GeomagneticStatus status = GeomagneticStatus::kInvalidTime;  // kOk or kInvalidTime
    double year = 0.0;
};

// The decimal year of a UTC instant:
//   year + (day_of_year - 1 + seconds_of_day / 86400) / days_in_year
// with days_in_year 365 or 366, so 2026-12-01T00:00Z is 2026 + 334/365. Any year; kInvalidTime
// for an impossible date or time of day (2023-02-29, 24:00:00, month 0, ...).
PHOTOGEO_API DecimalYearResult DecimalYear(const UtcDateTime& time) noexcept;

// IGRF-14 for one moment: the coefficients are interpolated once by SetTime, then Field()
// evaluates any number of places. Use it when many places share a time (a track, a map grid);
// it holds about 3 KB and no pointers, so it may be copied freely.
class PHOTOGEO_API Igrf14Model {
public:
    static constexpr double kFirstYear = 1900.0;
    static constexpr double kLastYear = 2030.0;
    // Gauss coefficients of degrees 1 to 13: 13 * 15.
    static constexpr int kTerms = 195;

    // A model with no time set: Field() reports kInvalidTime until SetTime succeeds.
    Igrf14Model() noexcept = default;

    // Sets the time as a decimal year, kFirstYear to kLastYear inclusive. On kBeforeModel,
    // kAfterModel or kInvalidTime (NaN) the model stays as it was.
    GeomagneticStatus SetTime(double decimalYear) noexcept;
    // The same for a UTC instant, through DecimalYear().
    GeomagneticStatus SetTime(const UtcDateTime& time) noexcept;

    // The decimal year last set successfully; NaN if none.
    double Year() const noexcept;

    // The field at geodetic latitude (degrees, -90 to 90), longitude (degrees, any finite value)
    // and height (metres above the ellipsoid, -1000 km or more).
    GeomagneticResult Field(double latitude, double longitude, double height) const noexcept;

    // The field at `count` places on one parallel, for map grids and the like: latitude and
    // height as for Field(), longitudes[i] in degrees (any finite value). results[i] receives
    // exactly what Field(latitude, longitudes[i], height) returns (so a non-finite longitude
    // gives kInvalidPosition for that place alone); the work that depends on the latitude alone
    // (the geocentric place, the Legendre functions) is done once for the row, which makes each
    // place nearly twice as fast as a separate call. The caller owns both arrays, of `count`
    // elements each, which must not overlap; nothing is allocated.
    void FieldAlongParallel(double latitude, double height, const double* longitudes,
                            std::size_t count, GeomagneticResult* results) const noexcept;

private:
    double m_year = 0.0;
    bool m_ready = false;
    // Each g, h at m_year in nT followed by its rate in nT per year.
    double m_coefficients[2 * kTerms] = {};
};

// One-off evaluations: the same as an Igrf14Model set to the time, then Field().
PHOTOGEO_API GeomagneticResult Igrf14Field(double latitude, double longitude, double height,
                                           double decimalYear) noexcept;
PHOTOGEO_API GeomagneticResult Igrf14Field(double latitude, double longitude, double height,
                                           const UtcDateTime& time) noexcept;

// The bearing against true north of a bearing measured against magnetic north:
//   magneticBearing + declination, reduced to [0, 360)
// all in degrees, declination east positive (as GeomagneticField::declination and GetMagVar
// give it). A compass reading 2 degrees where the declination is +7.5 (east) points 9.5
// degrees east of true north. NaN or infinite input gives NaN.
//
// CExifIfdCoder::GetTrueDir computes dGPSImgDirection - GetMagVar() instead, reducing only
// results of 360 or more: with the declination east positive that turns the bearing the wrong
// way by twice the declination (-5.5 instead of 9.5 in the example) and can return negative
// bearings. It keeps that behaviour for the callers that rely on it; new code should use
// TrueBearing.
PHOTOGEO_API double TrueBearing(double magneticBearing, double declination) noexcept;

}  // namespace photogeo

#endif
