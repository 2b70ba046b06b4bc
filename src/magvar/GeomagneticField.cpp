// The public IGRF-14 interface (photogeo/GeomagneticField.h): checks times and places, turns a
// UTC instant into a decimal year, runs the model steps of Igrf14Model.cpp and derives the
// angles and intensities; also the true bearing of a magnetic one.
#include "photogeo/GeomagneticField.h"

#include <cmath>
#include <limits>

#include "magvar/Igrf14Model.h"
#include "magvar/Igrf14Table.h"

namespace photogeo {

namespace {

static_assert(Igrf14Model::kTerms == magvar::kIgrf14Terms &&
                  Igrf14Model::kFirstYear == magvar::kIgrf14FirstEpoch &&
                  Igrf14Model::kLastYear == magvar::kIgrf14LastEpoch,
              "the public constants must describe the generated table");

constexpr double kPi = 3.141592653589793;
constexpr double kDegree = kPi / 180.0;
constexpr double kMetresPerKm = 1000.0;
constexpr double kLowestHeight = -1000.0 * kMetresPerKm;
constexpr double kSecondsPerDay = 86400.0;
constexpr double kFullCircle = 360.0;

struct StatusText {
    GeomagneticStatus status;
    const char* text;
};

constexpr StatusText kStatusTexts[] = {
    {GeomagneticStatus::kOk, "ok"},
    {GeomagneticStatus::kBeforeModel,
     "the time lies before 1900-01-01T00:00Z, where the IGRF-14 model begins"},
    {GeomagneticStatus::kAfterModel,
     "the time lies after 2030-01-01T00:00Z, where the IGRF-14 model ends"},
    {GeomagneticStatus::kInvalidTime,
     "the time is not a valid UTC date and time (or was never set)"},
    {GeomagneticStatus::kInvalidPosition,
     "the position is invalid: latitude must lie in -90..90, longitude must be finite and the "
     "height finite and no lower than -1000 km"},
};

bool IsLeapYear(long long year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int DaysInMonth(long long year, int month) {
    constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

GeomagneticStatus CheckYear(double year) {
    if (std::isnan(year)) {
        return GeomagneticStatus::kInvalidTime;
    }
    if (year < Igrf14Model::kFirstYear) {
        return GeomagneticStatus::kBeforeModel;
    }
    if (year > Igrf14Model::kLastYear) {
        return GeomagneticStatus::kAfterModel;
    }
    return GeomagneticStatus::kOk;
}

// The field at each longitude of a row along one parallel from interpolated coefficients (as
// InterpolateIgrf14 fills them); results as Igrf14Model::FieldAlongParallel describes them.
void FieldsAlongParallel(const double* coefficients, double latitude, double height,
                         const double* longitudes, std::size_t count, GeomagneticResult* results) {
    const bool validRow = latitude >= -90.0 && latitude <= 90.0 && std::isfinite(height) &&
                          height >= kLowestHeight;
    magvar::GeocentricPlace place{};
    magvar::Colatitude colatitude;
    if (validRow) {
        const double lat = latitude * kDegree;
        place = magvar::ToGeocentric(std::sin(lat), std::cos(lat), height / kMetresPerKm);
        magvar::SetColatitude(place.cosTheta, place.sinTheta, colatitude);
    }
    for (std::size_t i = 0; i < count; ++i) {
        GeomagneticResult& result = results[i];
        result = GeomagneticResult{};
        if (!validRow || !std::isfinite(longitudes[i])) {
            result.status = GeomagneticStatus::kInvalidPosition;
            continue;
        }
        const double lon = longitudes[i] * kDegree;
        const magvar::FieldVectors v = magvar::ToGeodeticFrame(
            magvar::SumField(coefficients, colatitude, place.radius, std::cos(lon),
                             std::sin(lon)),
            place);
        GeomagneticField& f = result.field;
        f.north = v.north;
        f.east = v.east;
        f.down = v.down;
        const double h2 = v.north * v.north + v.east * v.east;
        f.horizontalIntensity = std::sqrt(h2);
        f.totalIntensity = std::sqrt(h2 + v.down * v.down);
        f.inclination = std::atan2(v.down, f.horizontalIntensity) / kDegree;
        if (h2 > 0.0) {
            f.declination = std::atan2(v.east, v.north) / kDegree;
            f.declinationChangePerYear =
                (v.north * v.eastChange - v.east * v.northChange) / h2 / kDegree;
        }
        result.status = GeomagneticStatus::kOk;
    }
}

}  // namespace

const char* GeomagneticStatusText(GeomagneticStatus status) noexcept {
    for (const StatusText& entry : kStatusTexts) {
        if (entry.status == status) {
            return entry.text;
        }
    }
    return "unknown geomagnetic status";
}

DecimalYearResult DecimalYear(const UtcDateTime& t) noexcept {
    DecimalYearResult result;
    if (t.month < 1 || t.month > 12 || t.day < 1 || t.day > DaysInMonth(t.year, t.month) ||
        t.hour < 0 || t.hour > 23 || t.minute < 0 || t.minute > 59 || t.second < 0 ||
        t.second > 60) {
        return result;
    }
    int dayOfYear = t.day;
    for (int month = 1; month < t.month; ++month) {
        dayOfYear += DaysInMonth(t.year, month);
    }
    const double secondsOfDay = t.hour * 3600.0 + t.minute * 60.0 + t.second;
    const double daysInYear = IsLeapYear(t.year) ? 366.0 : 365.0;
    result.status = GeomagneticStatus::kOk;
    result.year = t.year + (dayOfYear - 1 + secondsOfDay / kSecondsPerDay) / daysInYear;
    return result;
}

GeomagneticStatus Igrf14Model::SetTime(double decimalYear) noexcept {
    const GeomagneticStatus status = CheckYear(decimalYear);
    if (status == GeomagneticStatus::kOk) {
        magvar::InterpolateIgrf14(decimalYear, m_coefficients);
        m_year = decimalYear;
        m_ready = true;
    }
    return status;
}

GeomagneticStatus Igrf14Model::SetTime(const UtcDateTime& time) noexcept {
    const DecimalYearResult year = DecimalYear(time);
    return year.status == GeomagneticStatus::kOk ? SetTime(year.year) : year.status;
}

double Igrf14Model::Year() const noexcept {
    return m_ready ? m_year : std::numeric_limits<double>::quiet_NaN();
}

GeomagneticResult Igrf14Model::Field(double latitude, double longitude,
                                     double height) const noexcept {
    GeomagneticResult result;
    FieldAlongParallel(latitude, height, &longitude, 1, &result);
    return result;
}

void Igrf14Model::FieldAlongParallel(double latitude, double height, const double* longitudes,
                                     std::size_t count,
                                     GeomagneticResult* results) const noexcept {
    if (m_ready) {
        FieldsAlongParallel(m_coefficients, latitude, height, longitudes, count, results);
        return;
    }
    for (std::size_t i = 0; i < count; ++i) {
        results[i] = GeomagneticResult{};
    }
}

GeomagneticResult Igrf14Field(double latitude, double longitude, double height,
                              double decimalYear) noexcept {
    GeomagneticResult result;
    result.status = CheckYear(decimalYear);
    if (result) {
        // Filled by the interpolation before anything reads it.
        double coefficients[2 * Igrf14Model::kTerms];
        magvar::InterpolateIgrf14(decimalYear, coefficients);
        FieldsAlongParallel(coefficients, latitude, height, &longitude, 1, &result);
    }
    return result;
}

GeomagneticResult Igrf14Field(double latitude, double longitude, double height,
                              const UtcDateTime& time) noexcept {
    const DecimalYearResult year = DecimalYear(time);
    if (year.status != GeomagneticStatus::kOk) {
        GeomagneticResult result;
        result.status = year.status;
        return result;
    }
    return Igrf14Field(latitude, longitude, height, year.year);
}

double TrueBearing(double magneticBearing, double declination) noexcept {
    double bearing = std::fmod(magneticBearing + declination, kFullCircle);
    if (bearing < 0.0) {
        bearing += kFullCircle;
    }
    // A tiny negative remainder plus 360 rounds to 360 itself.
    return bearing >= kFullCircle ? 0.0 : bearing;
}

}  // namespace photogeo
