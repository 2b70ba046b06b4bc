// The IGRF-14 model's reduction from geodetic to geocentric coordinates against GeographicLib's
// Geocentric on WGS-84, from the poles to the equator and from below the ellipsoid to 20000 km.
#include <GeographicLib/Geocentric.hpp>
#include <gtest/gtest.h>

#include <cmath>

#include "magvar/Igrf14Model.h"

namespace {

constexpr double kRad = M_PI / 180.0;

TEST(Igrf14Geocentric, MatchesGeographicLib) {
    const GeographicLib::Geocentric& wgs84 = GeographicLib::Geocentric::WGS84();
    for (double lat : {-90.0, -63.2, -30.0, 0.0, 0.5, 35.68, 51.5, 89.9, 90.0}) {
        for (double h : {-400.0, 0.0, 3776.0, 400e3, 20000e3}) {
            double x, y, z;
            wgs84.Forward(lat, 0.0, h, x, y, z);
            const double psi = std::atan2(z, x);  // geocentric latitude
            const auto p = photogeo::magvar::ToGeocentric(std::sin(lat * kRad),
                                                          std::cos(lat * kRad), h / 1000.0);
            EXPECT_NEAR(p.radius, std::hypot(x, z) / 1000.0, 1e-8) << lat << " " << h;
            EXPECT_NEAR(p.cosTheta, std::sin(psi), 1e-13) << lat << " " << h;
            EXPECT_NEAR(p.sinTheta, std::cos(psi), 1e-13) << lat << " " << h;
            EXPECT_NEAR(std::atan2(p.sinDelta, p.cosDelta), lat * kRad - psi, 1e-13)
                << lat << " " << h;
        }
    }
}

}  // namespace
