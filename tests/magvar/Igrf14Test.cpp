// IGRF-14 against outside references: the published test values (geocentric field), published
// declinations (the geodetic side) and a numerical derivative for the yearly change; then the
// poles, the time limits and the statuses of the public interface, and the true bearing.
// GeocentricOracleTest.cpp checks the ellipsoid reduction against GeographicLib.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

#include "magvar/Igrf14Model.h"
#include "photogeo/GeomagneticField.h"

namespace {

using photogeo::GeomagneticStatus;
using photogeo::UtcDateTime;

constexpr double kRad = M_PI / 180.0;

// The geocentric field of the model at decimal year `year`.
photogeo::magvar::FieldVectors Geocentric(double year, double radiusKm, double colatitude,
                                          double longitude) {
    double coefficients[2 * photogeo::Igrf14Model::kTerms];
    photogeo::magvar::InterpolateIgrf14(year, coefficients);
    return photogeo::magvar::SynthesiseField(coefficients, radiusKm, std::cos(colatitude * kRad),
                                             std::sin(colatitude * kRad),
                                             std::cos(longitude * kRad), std::sin(longitude * kRad));
}

photogeo::GeomagneticField FieldAt(double lat, double lon, double heightM, double year) {
    const photogeo::GeomagneticResult r = photogeo::Igrf14Field(lat, lon, heightM, year);
    EXPECT_TRUE(r) << photogeo::GeomagneticStatusText(r.status);
    return r.field;
}

TEST(Igrf14, PublishedTestValues) {
    std::ifstream in(PHOTOGEO_TEST_DATA "/magvar/IGRF14-test-values.txt");
    ASSERT_TRUE(in);
    int rows = 0;
    for (std::string line; std::getline(in, line);) {
        if (line.empty() || line[0] == '#') continue;
        std::istringstream f(line);
        double year, colat, lon, r, x, y, z;
        ASSERT_TRUE(f >> year >> colat >> lon >> r >> x >> y >> z) << line;
        const auto v = Geocentric(year, r, colat, lon);
        EXPECT_NEAR(v.north, x, 0.015) << line;
        EXPECT_NEAR(v.east, y, 0.015) << line;
        EXPECT_NEAR(v.down, z, 0.015) << line;
        ++rows;
    }
    EXPECT_EQ(rows, 12);
}

TEST(Igrf14, PublishedDeclinations) {
    const struct {
        double lat, lon, declination;
    } cases[] = {{51.5, -0.13, 1.222}, {35.68, 139.77, -7.927}, {40.0, -105.0, 7.505}};
    for (const auto& c : cases) {
        const auto r = photogeo::Igrf14Field(c.lat, c.lon, 0.0, UtcDateTime{2026, 12, 1});
        ASSERT_TRUE(r);
        EXPECT_NEAR(r.field.declination, c.declination, 0.002) << c.lat << " " << c.lon;
    }
}

// Central differences of the declination over a thousandth of a year, inside five-year spans
// (the rate steps at their ends), at the ground and in orbit.
TEST(Igrf14, YearlyChangeIsTheDerivative) {
    const double dt = 1e-3;
    for (double year : {1902.5, 1957.1, 2003.9, 2026.9166, 2029.5}) {
        for (double lat : {-71.0, -12.0, 35.68, 64.0}) {
            for (double lon : {-105.0, 0.0, 139.77}) {
                for (double h : {0.0, 400e3}) {
                    const double numeric = (FieldAt(lat, lon, h, year + dt).declination -
                                            FieldAt(lat, lon, h, year - dt).declination) /
                                           (2 * dt);
                    EXPECT_NEAR(FieldAt(lat, lon, h, year).declinationChangePerYear, numeric,
                                1e-7)
                        << year << " " << lat << " " << lon << " " << h;
                }
            }
        }
    }
}

// At a geographic pole every meridian's frame sees the same intensities; on the geocentric
// axis itself (sin theta exactly 0) the field is the limit of its neighbourhood.
TEST(Igrf14, Poles) {
    for (double lat : {90.0, -90.0}) {
        const auto ref = FieldAt(lat, 0.0, 0.0, 2026.5);
        for (double lon : {90.0, -135.0, 179.0}) {
            const auto f = FieldAt(lat, lon, 0.0, 2026.5);
            EXPECT_NEAR(f.horizontalIntensity, ref.horizontalIntensity, 1e-6) << lat << " " << lon;
            EXPECT_NEAR(f.down, ref.down, 1e-6) << lat << " " << lon;
            EXPECT_TRUE(std::isfinite(f.declination) && std::isfinite(f.declinationChangePerYear));
        }
    }
    for (double colat : {0.0, 180.0}) {
        const auto axis = Geocentric(2020.0, 6371.2, colat, 30.0);
        const auto near = Geocentric(2020.0, 6371.2, colat + (colat == 0.0 ? 1e-9 : -1e-9), 30.0);
        EXPECT_NEAR(axis.north, near.north, 1e-4) << colat;
        EXPECT_NEAR(axis.east, near.east, 1e-4) << colat;
        EXPECT_NEAR(axis.down, near.down, 1e-4) << colat;
        EXPECT_NEAR(axis.eastChange, near.eastChange, 1e-4) << colat;
    }
}

TEST(Igrf14, TimeAndPlaceChecks) {
    const struct {
        UtcDateTime time;
        GeomagneticStatus status;
    } times[] = {
        {{1900, 1, 1}, GeomagneticStatus::kOk},
        {{1899, 12, 31, 23, 59, 59}, GeomagneticStatus::kBeforeModel},
        {{2030, 1, 1}, GeomagneticStatus::kOk},
        {{2029, 12, 31, 23, 59, 60}, GeomagneticStatus::kOk},  // leap second: 2030.0
        {{2030, 1, 1, 0, 0, 1}, GeomagneticStatus::kAfterModel},
        {{2024, 2, 29}, GeomagneticStatus::kOk},
        {{2023, 2, 29}, GeomagneticStatus::kInvalidTime},
        {{1900, 2, 29}, GeomagneticStatus::kInvalidTime},
        {{2000, 13, 1}, GeomagneticStatus::kInvalidTime},
        {{2000, 6, 1, 24}, GeomagneticStatus::kInvalidTime},
    };
    for (const auto& c : times) {
        const auto r = photogeo::Igrf14Field(51.5, 0.0, 0.0, c.time);
        EXPECT_EQ(r.status, c.status) << c.time.year << "-" << c.time.month << "-" << c.time.day;
        EXPECT_EQ(bool(r), std::isfinite(r.field.declination) && r.field.totalIntensity > 0);
    }
    EXPECT_EQ(photogeo::Igrf14Field(0, 0, 0, std::nan("")).status, GeomagneticStatus::kInvalidTime);
    EXPECT_EQ(photogeo::Igrf14Field(0, 0, 0, 2030.0000001).status, GeomagneticStatus::kAfterModel);

    const struct {
        double lat, lon, height;
    } places[] = {{90.0001, 0, 0}, {-91, 0, 0}, {NAN, 0, 0}, {0, INFINITY, 0}, {0, 0, NAN},
                  {0, 0, -1000.001e3}};
    for (const auto& p : places) {
        EXPECT_EQ(photogeo::Igrf14Field(p.lat, p.lon, p.height, 2020.0).status,
                  GeomagneticStatus::kInvalidPosition)
            << p.lat << " " << p.lon << " " << p.height;
    }

    // A model keeps its time when a new one is refused, and refuses to answer before one is set.
    photogeo::Igrf14Model model;
    EXPECT_EQ(model.Field(0, 0, 0).status, GeomagneticStatus::kInvalidTime);
    EXPECT_EQ(model.SetTime(2020.0), GeomagneticStatus::kOk);
    EXPECT_EQ(model.SetTime(UtcDateTime{1850, 1, 1}), GeomagneticStatus::kBeforeModel);
    EXPECT_EQ(model.Year(), 2020.0);
    EXPECT_EQ(model.Field(10, 20, 0).field.declination, FieldAt(10, 20, 0, 2020.0).declination);

    // Each place of a row along a parallel gets what a call of its own gives, bit for bit.
    const double lons[] = {-180.0, 139.77, NAN, 0.0, 540.0};
    for (double lat : {-90.0, 35.68, 90.0, 91.0}) {
        photogeo::GeomagneticResult row[5];
        model.FieldAlongParallel(lat, 250.0, lons, 5, row);
        for (int i = 0; i < 5; ++i) {
            const auto one = model.Field(lat, lons[i], 250.0);
            EXPECT_EQ(row[i].status, one.status);
            EXPECT_EQ(std::memcmp(&row[i].field, &one.field, sizeof one.field), 0) << lat << " " << i;
        }
    }
}

TEST(Igrf14, DecimalYear) {
    EXPECT_DOUBLE_EQ(photogeo::DecimalYear({2026, 12, 1}).year, 2026 + 334.0 / 365);
    EXPECT_DOUBLE_EQ(photogeo::DecimalYear({2024, 12, 31, 12}).year, 2024 + 365.5 / 366);
    EXPECT_DOUBLE_EQ(photogeo::DecimalYear({2000, 3, 1, 6, 30, 36}).year,
                     2000 + (60 + (6 * 3600 + 30 * 60 + 36) / 86400.0) / 366);
}

TEST(Igrf14, TrueBearing) {
    const struct {
        double magnetic, declination, expected;
    } cases[] = {{2, 7.505, 9.505}, {355, 6.8, 1.8}, {10, -20, 350}, {720.5, 0, 0.5},
                 {-1e-17, 0, 0}, {0, -360, 0}, {359.5, 0.5, 0}};
    for (const auto& c : cases) {
        const double b = photogeo::TrueBearing(c.magnetic, c.declination);
        EXPECT_NEAR(b, c.expected, 1e-9) << c.magnetic << " " << c.declination;
        EXPECT_TRUE(b >= 0.0 && b < 360.0);
    }
    EXPECT_TRUE(std::isnan(photogeo::TrueBearing(NAN, 0)));
    EXPECT_TRUE(std::isnan(photogeo::TrueBearing(INFINITY, 0)));
}

}  // namespace
