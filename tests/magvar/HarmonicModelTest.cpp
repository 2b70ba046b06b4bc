// The harmonic model against an independent evaluation of the same field: the potential summed
// with the standard library's associated Legendre functions, the field taken as its numerical
// gradient, and the geocentric position from Earth-centred Cartesian coordinates. Agreement all
// over the globe checks the recurrences, their square roots, the frame rotation and the signs.
#include <gtest/gtest.h>

#include <cmath>

#include "magvar/IgrfTables.h"
#include "magvar/MagVarModel.h"

namespace {

namespace magvar = photogeo::magvar;

constexpr double kA = 6378.16;
constexpr double kB = 6356.774719195306;
constexpr double kR0 = 6371.2;

struct Field {
    const magvar::IgrfCoefficients& coef;
    double years;  // from the set's epoch

    double SchmidtLegendre(int n, int m, double x) const {
        double norm = 1.0;
        if (m > 0) {
            norm = std::sqrt(2.0 * std::tgamma(n - m + 1) / std::tgamma(n + m + 1));
        }
        return norm * std::assoc_legendre(n, m, x);
    }

    // Potential over r0, at distance r (km), colatitude theta and longitude phi (radians).
    double Potential(double r, double theta, double phi) const {
        double v = 0.0;
        for (int n = 1; n <= magvar::kMaxDegree; ++n) {
            for (int m = 0; m <= n; ++m) {
                const double g = coef.g[n][m] + years * coef.gt[n][m];
                const double h = coef.h[n][m] + years * coef.ht[n][m];
                v += std::pow(kR0 / r, n + 1) * (g * std::cos(m * phi) + h * std::sin(m * phi)) *
                     SchmidtLegendre(n, m, std::cos(theta));
            }
        }
        return kR0 * v;
    }

    // Declination in degrees at geodetic latitude lat, longitude lon (degrees), height h (km).
    double Declination(double lat, double lon, double h) const {
        const double phi = lon * M_PI / 180.0;
        const double gd = lat * M_PI / 180.0;
        const double primeVertical = kA * kA / std::hypot(kA * std::cos(gd), kB * std::sin(gd));
        const double x = (primeVertical + h) * std::cos(gd);
        const double z = (primeVertical * kB * kB / (kA * kA) + h) * std::sin(gd);
        const double r = std::hypot(x, z);
        const double theta = std::atan2(x, z);

        const double d = 1e-4;
        const double bTheta =
            -(Potential(r, theta + d, phi) - Potential(r, theta - d, phi)) / (2 * d * r);
        const double bPhi = -(Potential(r, theta, phi + d) - Potential(r, theta, phi - d)) /
                            (2 * d * r * std::sin(theta));
        const double bUp =
            -(Potential(r + d * r, theta, phi) - Potential(r - d * r, theta, phi)) / (2 * d * r);
        // The geodetic vertical leans from the radius toward the pole by psi.
        const double psi = gd - (M_PI / 2 - theta);
        const double north = -bTheta * std::cos(psi) - bUp * std::sin(psi);
        return std::atan2(bPhi, north) * 180.0 / M_PI;
    }
};

double Model(double lat, double lon, double h, int32_t jd, magvar::CoefficientSet set) {
    const double k = magvar::kPi / 180.0;
    return magvar::CalcMagVar(lat * k, lon * k, h, jd, set) / k;
}

// Both sets, after and before their epochs, at heights from the ground to orbit.
TEST(HarmonicModel, MatchesTheGradientOfThePotential) {
    using magvar::CoefficientSet;
    const struct {
        CoefficientSet set;
        const magvar::IgrfCoefficients& coef;
        int32_t epoch;
        int32_t jd;
    } cases[] = {
        {CoefficientSet::kIgrf2000, magvar::kIgrf2000, magvar::kEpoch2000,
         magvar::YmdToJulianDay(3, 7, 1)},
        {CoefficientSet::kIgrf1990, magvar::kIgrf1990, magvar::kEpoch1990,
         magvar::YmdToJulianDay(75, 3, 1)},
    };
    for (const auto& c : cases) {
        const Field field{c.coef, (c.jd - c.epoch) / 365.25};
        for (double lat = -85.0; lat <= 85.0; lat += 17.0) {
            for (double lon = -180.0; lon < 180.0; lon += 47.0) {
                for (double h : {0.0, 8.8, 400.0}) {
                    EXPECT_NEAR(Model(lat, lon, h, c.jd, c.set), field.Declination(lat, lon, h),
                                1e-5)
                        << lat << " " << lon << " " << h;
                }
            }
        }
    }
}

}  // namespace
