// The IGRF-14 main-field model: interpolates the coefficient table (Igrf14Table.h, generated
// from data/IGRF14.SHC) to a time, places a geodetic point in the geocentric frame, sums the
// spherical-harmonic field there and turns it into the geodetic frame. GeomagneticField.cpp
// chains these steps for the public interface (photogeo/GeomagneticField.h).
//
// Derivation.
//
// 1. Time. The table holds g_nm, h_nm at epochs t_0 = 1900, t_0 + 5, ..., 2030. At a time t in
//    the span [t_i, t_i + 5] (the last span for t = 2030 itself)
//      g(t) = g_i + (t - t_i) / 5 (g_{i+1} - g_i),     dg/dt = (g_{i+1} - g_i) / 5
//    and the same for h. The 2030 column is the 2025 model moved by its predicted secular
//    variation, so the last span carries that variation.
//
// 2. Geodetic to geocentric. On the ellipsoid with semi-axes a, b, at geodetic latitude phi
//    and height h, with rho^2 = a^2 cos^2 phi + b^2 sin^2 phi (rho a length, not a radius),
//      r^2     = h (h + 2 rho) + (a^4 cos^2 phi + b^4 sin^2 phi) / rho^2
//      cos d   = (h + rho) / r
//      sin d   = (a^2 - b^2) cos phi sin phi / (rho r)
//    where d is the geodetic latitude less the geocentric latitude psi. The geocentric
//    colatitude theta = 90 deg - psi then has
//      cos theta = sin psi = sin phi cos d - cos phi sin d
//      sin theta = cos psi = cos phi cos d + sin phi sin d.
//    This is the reduction of the IGRF reference programs, with WGS-84's a and b.
//
// 3. The field. With r0 = 6371.2 km, lambda the longitude, P_nm the Schmidt semi-normalised
//    associated Legendre functions of cos theta and u_nm = g_nm cos m lambda + h_nm sin m
//    lambda, the potential is
//      V = r0 sum_{n=1..13} (r0/r)^(n+1) sum_{m=0..n} u_nm P_nm
//    and B = -grad V gives, with f_n = (r0/r)^(n+2), in the geocentric north-east-down frame
//      X =  sum_n f_n sum_m u_nm dP_nm/dtheta                                  (north)
//      Y =  sum_n f_n sum_m m (g_nm sin m lambda - h_nm cos m lambda) P_nm / sin theta  (east)
//      Z = -sum_n (n + 1) f_n sum_m u_nm P_nm                                  (down)
//    The rates of change are the same sums over dg/dt, dh/dt: the field is linear in them.
//    On the polar axis sin theta is 0; there every P_nm with m > 0 is 0 as well, and the ratio
//    P_nm / sin theta tends to (dP_nm/dtheta) / cos theta, which Y then uses.
//
// 4. Legendre functions, with c = cos theta, s = sin theta, from P_00 = 1, P_10 = c, P_11 = s:
//      diagonal:  P_nn = sqrt((2n - 1) / (2n)) s P_{n-1,n-1}                      (n >= 2)
//      below it:  P_nm = A_nm c P_{n-1,m} - B_nm P_{n-2,m}                          (m < n)
//                 A_nm = (2n - 1) / sqrt(n^2 - m^2),  B_nm = sqrt((n-1)^2 - m^2) / sqrt(n^2 - m^2)
//    and their theta derivatives from the same recurrences (ds/dtheta = c, dc/dtheta = -s).
//    For m = n - 1 the recurrence meets P_{n-2,n-1}, which is zero, and B_nm is zero too. The
//    factors depend on n and m only and are computed once per process. cos m lambda and
//    sin m lambda come from those of lambda by the angle-sum formulas.
//
// 5. Geodetic frame. The geodetic vertical is the geocentric one turned toward the pole by d:
//      X' = X cos d + Z sin d,   Y' = Y,   Z' = Z cos d - X sin d
//    and the same turn takes the rates. Then H = sqrt(X'^2 + Y'^2), F = sqrt(H^2 + Z'^2),
//    D = atan2(Y', X'), I = atan2(Z', H) and, differentiating D,
//      dD/dt = (X' dY'/dt - Y' dX'/dt) / H^2   (radians per year).
//
// Built with floating-point contraction off, so every platform rounds each operation alike.
// Data: IGRF-14 of IAGA Working Group V-MOD; see data/IGRF14-source.txt.
#include "magvar/Igrf14Model.h"

#include <cmath>

#include "magvar/Igrf14Table.h"

namespace photogeo::magvar {

namespace {

constexpr int kDegree = kIgrf14Degree;
constexpr int kTerms = kIgrf14Terms;
// Legendre functions of degrees 0..kDegree, stored row by row: (n, m) at n (n + 1) / 2 + m.
constexpr int kLegendreSize = (kDegree + 1) * (kDegree + 2) / 2;

constexpr double kEquatorialRadius = 6378.137;          // a, km (WGS-84)
constexpr double kInverseFlattening = 298.257223563;   // 1/f (WGS-84)
constexpr double kPolarRadius = kEquatorialRadius * (1.0 - 1.0 / kInverseFlattening);  // b
constexpr double kReferenceRadius = 6371.2;             // r0 of the expansion, km

constexpr int Row(int n) { return n * (n + 1) / 2; }
// Where g_n0 sits in the coefficient vectors; g_nm and h_nm (m >= 1) follow at 2m - 1, 2m.
constexpr int FirstTerm(int n) { return n * n - 1; }
static_assert(FirstTerm(kDegree + 1) == kTerms, "the terms of degrees 1..13 fill the vectors");

struct LegendreFactors {
    double a[kLegendreSize];  // A_nm below the diagonal, sqrt((2n - 1) / (2n)) on it
    double b[kLegendreSize];  // B_nm below the diagonal
};

LegendreFactors ComputeFactors() {
    LegendreFactors f{};
    for (int n = 2; n <= kDegree; ++n) {
        for (int m = 0; m < n; ++m) {
            const double root = std::sqrt(static_cast<double>(n * n - m * m));
            f.a[Row(n) + m] = (2 * n - 1) / root;
            f.b[Row(n) + m] = std::sqrt(static_cast<double>((n - 1) * (n - 1) - m * m)) / root;
        }
        f.a[Row(n) + n] = std::sqrt((2.0 * n - 1.0) / (2.0 * n));
    }
    return f;
}

// A function-local static is initialised once, thread-safely, on first use.
const LegendreFactors& Factors() {
    static const LegendreFactors factors = ComputeFactors();
    return factors;
}

}  // namespace

void InterpolateIgrf14(double year, double* coefficients) {
    int span = static_cast<int>((year - kIgrf14FirstEpoch) / kIgrf14EpochStep);
    if (span > kIgrf14Epochs - 2) {
        span = kIgrf14Epochs - 2;  // t = 2030.0 lies at the end of the last span
    }
    const double fraction = (year - (kIgrf14FirstEpoch + span * kIgrf14EpochStep)) / kIgrf14EpochStep;
    for (int t = 0; t < kTerms; ++t) {
        const double from = kIgrf14Coefficients[t][span];
        const double step = kIgrf14Coefficients[t][span + 1] - from;
        coefficients[2 * t] = from + fraction * step;
        coefficients[2 * t + 1] = step / kIgrf14EpochStep;
    }
}

GeocentricPlace ToGeocentric(double sinLat, double cosLat, double heightKm) {
    constexpr double a2 = kEquatorialRadius * kEquatorialRadius;
    constexpr double b2 = kPolarRadius * kPolarRadius;
    const double aTerm = a2 * cosLat * cosLat;
    const double bTerm = b2 * sinLat * sinLat;
    const double rho2 = aTerm + bTerm;
    const double rho = std::sqrt(rho2);
    const double r = std::sqrt(heightKm * (heightKm + 2.0 * rho) + (a2 * aTerm + b2 * bTerm) / rho2);
    const double cosDelta = (heightKm + rho) / r;
    const double sinDelta = (a2 - b2) / rho * cosLat * sinLat / r;
    return {r, sinLat * cosDelta - cosLat * sinDelta, cosLat * cosDelta + sinLat * sinDelta,
            cosDelta, sinDelta};
}

FieldVectors SynthesiseField(const double* coefficients, double radius, double cosTheta,
                             double sinTheta, double cosLon, double sinLon) {
    const double c = cosTheta;
    const double s = sinTheta;

    // Legendre functions and their theta derivatives (derivation, 4).
    const LegendreFactors& k = Factors();
    double p[kLegendreSize];
    double dp[kLegendreSize];
    p[0] = 1.0;
    dp[0] = 0.0;
    p[Row(1)] = c;
    dp[Row(1)] = -s;
    p[Row(1) + 1] = s;
    dp[Row(1) + 1] = c;
    for (int n = 2; n <= kDegree; ++n) {
        const int row = Row(n);
        const int up = Row(n - 1);
        const int up2 = Row(n - 2);
        // m = n - 1 reads P_{n-2,n-1}, which is not stored; its factor B is 0.
        for (int m = 0; m < n - 1; ++m) {
            p[row + m] = k.a[row + m] * c * p[up + m] - k.b[row + m] * p[up2 + m];
            dp[row + m] =
                k.a[row + m] * (c * dp[up + m] - s * p[up + m]) - k.b[row + m] * dp[up2 + m];
        }
        const int m = n - 1;
        p[row + m] = k.a[row + m] * c * p[up + m];
        dp[row + m] = k.a[row + m] * (c * dp[up + m] - s * p[up + m]);
        p[row + n] = k.a[row + n] * s * p[up + n - 1];
        dp[row + n] = k.a[row + n] * (s * dp[up + n - 1] + c * p[up + n - 1]);
    }

    // cos m lambda, sin m lambda by the angle-sum formulas, and m times them for the east sums.
    double cm[kDegree + 1];
    double sm[kDegree + 1];
    double mcm[kDegree + 1];
    double msm[kDegree + 1];
    cm[0] = 1.0;
    sm[0] = 0.0;
    for (int m = 1; m <= kDegree; ++m) {
        cm[m] = cm[m - 1] * cosLon - sm[m - 1] * sinLon;
        sm[m] = sm[m - 1] * cosLon + cm[m - 1] * sinLon;
        mcm[m] = m * cm[m];
        msm[m] = m * sm[m];
    }

    // The east sums divide P_nm by sin theta; on the axis they take the limit (derivation, 3).
    const bool onAxis = s == 0.0;
    const double* east = onAxis ? dp : p;
    const double eastDivisor = onAxis ? c : s;

    // The sums (3), degree by degree, for the field (lane 0) and its rate (lane 1) at once: the
    // products of the Legendre functions with the longitude harmonics serve both lanes.
    double x[2] = {};
    double y[2] = {};
    double z[2] = {};
    const double ratio = kReferenceRadius / radius;
    double f = ratio * ratio;
    for (int n = 1; n <= kDegree; ++n) {
        f *= ratio;
        const int row = Row(n);
        const double* gh = coefficients + 2 * FirstTerm(n);
        double xn[2];
        double yn[2] = {};
        double zn[2];
        for (int l = 0; l < 2; ++l) {
            xn[l] = gh[l] * dp[row];
            zn[l] = gh[l] * p[row];
        }
        for (int m = 1; m <= n; ++m) {
            const double* g = gh + 4 * m - 2;  // g_nm, its rate, h_nm, its rate
            const double cdp = cm[m] * dp[row + m];
            const double sdp = sm[m] * dp[row + m];
            const double cp = cm[m] * p[row + m];
            const double sp = sm[m] * p[row + m];
            const double me = msm[m] * east[row + m];
            const double mc = mcm[m] * east[row + m];
            for (int l = 0; l < 2; ++l) {
                xn[l] += g[l] * cdp + g[l + 2] * sdp;
                zn[l] += g[l] * cp + g[l + 2] * sp;
                yn[l] += g[l] * me - g[l + 2] * mc;
            }
        }
        for (int l = 0; l < 2; ++l) {
            x[l] += f * xn[l];
            y[l] += f * yn[l];
            z[l] -= (n + 1) * f * zn[l];
        }
    }
    return {x[0], y[0] / eastDivisor, z[0], x[1], y[1] / eastDivisor, z[1]};
}

FieldVectors ToGeodeticFrame(const FieldVectors& g, const GeocentricPlace& place) {
    const double cd = place.cosDelta;
    const double sd = place.sinDelta;
    return {g.north * cd + g.down * sd,
            g.east,
            g.down * cd - g.north * sd,
            g.northChange * cd + g.downChange * sd,
            g.eastChange,
            g.downChange * cd - g.northChange * sd};
}

}  // namespace photogeo::magvar
