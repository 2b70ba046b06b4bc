// The spherical-harmonic main-field model behind GetMagVar (MagVar.cpp) for places outside the
// Japan box: it evaluates one of the two IGRF coefficient sets (IgrfTables.h) at a geodetic
// position and date and returns the declination.
//
// Derivation.
//
// 1. Geodetic to geocentric. On the ellipsoid with semi-axes a and b, a point at geodetic
//    latitude lat and height h lies at geocentric colatitude theta and distance r with
//      sr    = sqrt(a^2 cos^2 lat + b^2 sin^2 lat)
//      theta = atan2(cos lat (h sr + a^2), sin lat (h sr + b^2))
//      r^2   = h^2 + 2 h sr + (a^4 - (a^4 - b^4) sin^2 lat) / (a^2 - (a^2 - b^2) sin^2 lat).
//
// 2. The field. With r0 the reference radius, u_nm = g_nm cos m lon + h_nm sin m lon and P_nm
//    the Schmidt semi-normalised associated Legendre functions of cos theta, the main field is
//    B = -grad V, the gradient of the potential
//      V = r0 sum_{n>=1} (r0/r)^(n+1) sum_{m=0..n} u_nm P_nm,
//    which gives, with f_n = (r0/r)^(n+2),
//      B_r     =  sum_n (n + 1) f_n sum_m u_nm P_nm                      (outward)
//      B_theta = -sum_n f_n sum_m u_nm dP_nm/dtheta                       (southward)
//      B_phi   =  sum_n f_n sum_m m (g_nm sin m lon - h_nm cos m lon) P_nm / sin theta  (east).
//    At a geographic pole sin theta is 0 and B_phi would divide by it; the sum there is 0 too
//    (P_nm carries a factor sin theta for m > 0), so 1e-8 stands in for the zero.
//
// 3. Legendre functions, with c = cos theta and s = sin theta, from P_00 = 1, P_10 = c,
//    P_11 = s:
//      diagonal:  P_nn = P_{n-1,n-1} s sqrt((2n - 1) / (2n))
//      below it:  P_nm = ((2n - 1) c P_{n-1,m} - sqrt((n-1)^2 - m^2) P_{n-2,m}) / sqrt(n^2 - m^2)
//    and their derivatives with respect to theta by differentiating the same recurrences
//    (d(s)/dtheta = c, d(c)/dtheta = -s). The square roots depend only on n and m, so they are
//    computed once per process. The lower-triangle recurrence meets P_{m-1,m}, which is zero,
//    on its first step of each column, and sqrt((n-1)^2 - m^2) is zero there as well.
//
// 4. Secular variation. The coefficients at the date are g + t gt and h + t ht, t being the
//    signed number of years (days / 365.25) from the set's epoch: dates before the epoch move
//    the field backwards.
//
// 5. Geodetic frame and declination. The local geodetic vertical is tilted from the geocentric
//    radius toward the pole by psi = theta - (pi/2 - lat), the geodetic latitude less the
//    geocentric one, so the northward component is
//      X = -B_theta cos psi - B_r sin psi
//    and the eastward one Y = B_phi. The declination is atan2(Y, X), east positive.
//
// Data: IGRF 1990 (6th generation) and IGRF 2000 (8th generation) of the International
// Association of Geomagnetism and Aeronomy; see data/igrf1990.txt and data/igrf2000.txt for
// their sources. Both stop at degree 10 (secular variation at degree 8), but every loop runs to
// degree 12, the size of the tables.
#include <cmath>

#include "magvar/IgrfTables.h"
#include "magvar/MagVarModel.h"

namespace photogeo::magvar {

namespace {

constexpr double kEquatorRadius = 6378.16;              // a, km
constexpr double kPolarRadius = 6356.774719195306;      // b = a (1 - 1/298.25), km
constexpr double kReferenceRadius = 6371.2;             // r0 of the expansion, km
constexpr double kYearsPerDay = 0.0027378507871321013;  // 1 / 365.25
constexpr double kPoleGuard = 1e-8;

// The square roots of the Legendre recurrences.
struct SquareRoots {
    double root[kTableSize];                  // [n]: sqrt((2n - 1) / (2n)), n >= 2
    double roots[kTableSize][kTableSize][2];  // [m][n]: sqrt((n-1)^2 - m^2), 1 / sqrt(n^2 - m^2)
};

SquareRoots FillSquareRoots() {
    SquareRoots t{};
    for (int n = 2; n <= kMaxDegree; ++n) {
        t.root[n] = std::sqrt(static_cast<double>(2 * n - 1) / (2 * n));
    }
    for (int n = 2; n <= kMaxDegree; ++n) {
        for (int m = 0; m < n; ++m) {
            t.roots[m][n][0] = std::sqrt(static_cast<double>((n - 1) * (n - 1) - m * m));
            t.roots[m][n][1] = 1.0 / std::sqrt(static_cast<double>(n * n - m * m));
        }
    }
    return t;
}

// Filled on the first call that reaches the model; the initialisation of a function-local
// static is thread-safe.
const SquareRoots& Roots() {
    static const SquareRoots roots = FillSquareRoots();
    return roots;
}

}  // namespace

double CalcMagVar(double lat, double lon, double h, int32_t jd, CoefficientSet set) {
    constexpr double a2 = kEquatorRadius * kEquatorRadius;
    constexpr double b2 = kPolarRadius * kPolarRadius;
    constexpr double a4 = a2 * a2;
    constexpr double b4 = b2 * b2;

    // Geocentric position (derivation, 1).
    const double sl = std::sin(lat);
    const double cl = std::cos(lat);
    const double sl2 = sl * sl;
    const double sr = std::sqrt(a2 * cl * cl + b2 * sl2);
    const double theta = std::atan2(cl * (h * sr + a2), sl * (h * sr + b2));
    const double r =
        std::sqrt(h * h + 2.0 * h * sr + (a4 - (a4 - b4) * sl2) / (a2 - (a2 - b2) * sl2));
    const double c = std::cos(theta);
    const double s = std::sin(theta);
    const double invS = s == 0.0 ? 1.0 / (s + kPoleGuard) : 1.0 / s;

    // Legendre functions and their theta derivatives (3). Entries above the diagonal stay 0:
    // the lower-triangle recurrence reads P[m-1][m].
    double p[kTableSize][kTableSize] = {};
    double dp[kTableSize][kTableSize] = {};
    p[0][0] = 1.0;
    p[1][1] = s;
    dp[1][1] = c;
    p[1][0] = c;
    dp[1][0] = -s;
    // Row by row: each entry needs only the two rows above it, so the entries of a row are
    // independent of one another and the processor can overlap them; any order that computes
    // the rows above first gives the same values, bit for bit.
    const SquareRoots& sq = Roots();
    for (int n = 2; n <= kMaxDegree; ++n) {
        p[n][n] = p[n - 1][n - 1] * s * sq.root[n];
        dp[n][n] = (dp[n - 1][n - 1] * s + p[n - 1][n - 1] * c) * sq.root[n];
        const double twoNMinus1 = 2 * n - 1;
        for (int m = 0; m < n; ++m) {
            const double k0 = sq.roots[m][n][0];
            const double k1 = sq.roots[m][n][1];
            p[n][m] = (p[n - 1][m] * c * twoNMinus1 - p[n - 2][m] * k0) * k1;
            dp[n][m] = ((dp[n - 1][m] * c - p[n - 1][m] * s) * twoNMinus1 - dp[n - 2][m] * k0) * k1;
        }
    }

    // Coefficients at the date (4).
    const IgrfCoefficients& coef = set == CoefficientSet::kIgrf1990 ? kIgrf1990 : kIgrf2000;
    const int32_t epoch = set == CoefficientSet::kIgrf1990 ? kEpoch1990 : kEpoch2000;
    // Both Julian days lie near 2.45e6, so their difference cannot overflow.
    const double t = (jd - epoch) * kYearsPerDay;
    // Entries above the diagonal are zero in the tables and never read, so they are not moved.
    double gnm[kTableSize][kTableSize];
    double hnm[kTableSize][kTableSize];
    for (int n = 1; n <= kMaxDegree; ++n) {
        for (int m = 0; m <= n; ++m) {
            gnm[n][m] = coef.g[n][m] + t * coef.gt[n][m];
            hnm[n][m] = coef.h[n][m] + t * coef.ht[n][m];
        }
    }

    // The longitude harmonics.
    double sm[kTableSize];
    double cm[kTableSize];
    for (int m = 0; m <= kMaxDegree; ++m) {
        sm[m] = std::sin(m * lon);
        cm[m] = std::cos(m * lon);
    }

    // Field sums, degree by degree (2).
    double br = 0.0;
    double btheta = 0.0;
    double bphi = 0.0;
    const double f0 = kReferenceRadius / r;
    double f = f0 * f0;
    for (int n = 1; n <= kMaxDegree; ++n) {
        double c1 = 0.0;
        double c2 = 0.0;
        double c3 = 0.0;
        for (int m = 0; m <= n; ++m) {
            const double u = gnm[n][m] * cm[m] + hnm[n][m] * sm[m];
            c1 += u * p[n][m];
            c2 += u * dp[n][m];
            c3 += m * (gnm[n][m] * sm[m] - hnm[n][m] * cm[m]) * p[n][m];
        }
        f *= f0;
        br += (n + 1) * c1 * f;
        btheta -= c2 * f;
        bphi += c3 * f * invS;
    }

    // Rotate to the geodetic frame and take the angle from north (5).
    const double psi = theta - (kPi * 0.5 - lat);
    const double x = -btheta * std::cos(psi) - br * std::sin(psi);
    const double y = bphi;
    if (x == 0.0 && y == 0.0) {
        return 0.0;
    }
    return std::atan2(y, x);
}

}  // namespace photogeo::magvar
