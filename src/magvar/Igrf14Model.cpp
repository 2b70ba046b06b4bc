// The IGRF-14 main-field model: interpolates the coefficient table (Igrf14Table.h, generated
// from data/IGRF14.SHC) to a time, places a geodetic point in the geocentric frame, sums the
// spherical-harmonic field there and turns it into the geodetic frame. GeomagneticField.cpp
// chains these steps for the public interface (photogeo/GeomagneticField.h); the Legendre
// functions of a colatitude are kept apart so that a row of places on one parallel shares them.
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
//    Operation order. Each function travels with its derivative, and each coefficient with its
//    rate, as a pair of lanes (DoublePair.h) that take the same operations; so the sums for the
//    field and for its rate are the same expressions. Below the diagonal a pair is
//      A ((c dP, c P) - (s P, 0)) - B (dP, P)
//    and with u = g cos m lambda + h sin m lambda, v = g (m sin m lambda) + h (-m cos m lambda)
//    (products taken in that order) each term adds u dP, v P and u P to the running sums of its
//    degree, which are scaled by f_n (and n + 1) once the degree is complete. The AVX form of the
//    sums (Igrf14SumsAvx.cpp) takes the same operations four lanes at a time.
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
#include <utility>

#include "magvar/DoublePair.h"
#include "magvar/Igrf14Table.h"

// PHOTOGEO_MAGVAR_AVX: 1 where the build adds the AVX sums (x86-64 with SIMD enabled).
#if !defined(PHOTOGEO_MAGVAR_AVX) || !(defined(__x86_64__) || defined(_M_X64))
#undef PHOTOGEO_MAGVAR_AVX
#define PHOTOGEO_MAGVAR_AVX 0
#endif

namespace photogeo::magvar {

namespace {

constexpr int kDegree = kIgrf14Degree;
constexpr int kTerms = kIgrf14Terms;
// Legendre functions of degrees 0..kDegree, stored row by row: (n, m) at Row(n) + m.
constexpr int kLegendreSize = Colatitude::kFunctions;

constexpr double kEquatorialRadius = 6378.137;          // a, km (WGS-84)
constexpr double kInverseFlattening = 298.257223563;   // 1/f (WGS-84)
constexpr double kPolarRadius = kEquatorialRadius * (1.0 - 1.0 / kInverseFlattening);  // b
constexpr double kReferenceRadius = 6371.2;             // r0 of the expansion, km

constexpr int Row(int n) { return n * (n + 1) / 2; }
// Where g_n0 sits in the coefficient vectors; g_nm and h_nm (m >= 1) follow at 2m - 1, 2m.
constexpr int FirstTerm(int n) { return n * n - 1; }
static_assert(FirstTerm(kDegree + 1) == kTerms, "the terms of degrees 1..13 fill the vectors");
static_assert(Row(kDegree + 1) == kLegendreSize, "the functions of degrees 0..13 fill the table");

// The factors of the recurrences (derivation, 4), each written twice so that one load gives
// both lanes of a pair: a[i] is A_nm below the diagonal and sqrt((2n - 1) / (2n)) on it, b[i]
// is B_nm, for (n, m) at i = Row(n) + m.
struct LegendreFactors {
    double a[kLegendreSize][2];
    double b[kLegendreSize][2];
};

LegendreFactors ComputeFactors() {
    LegendreFactors f{};
    for (int n = 2; n <= kDegree; ++n) {
        for (int m = 0; m <= n; ++m) {
            const double root = std::sqrt(static_cast<double>(n * n - m * m));
            const double a = m == n ? std::sqrt((2.0 * n - 1.0) / (2.0 * n)) : (2 * n - 1) / root;
            const double b =
                m >= n - 1 ? 0.0 : std::sqrt(static_cast<double>((n - 1) * (n - 1) - m * m)) / root;
            f.a[Row(n) + m][0] = f.a[Row(n) + m][1] = a;
            f.b[Row(n) + m][0] = f.b[Row(n) + m][1] = b;
        }
    }
    return f;
}

// A function-local static is initialised once, thread-safely, on first use.
const LegendreFactors& Factors() {
    static const LegendreFactors factors = ComputeFactors();
    return factors;
}

// Row n of the Legendre functions from the two above it (derivation, 4); n is a template
// argument so that every index is a constant. The recurrences run on the pairs (dP, P) in q;
// each result is also written out as the entry (dP, dP, P, P) of l that the sums read.
template <int n>
void LegendreRow(const LegendreFactors& k, double (*q)[2], double (*l)[4], DoublePair c,
                 DoublePair s) {
    const double(*above)[2] = q + Row(n - 1);
    const double(*above2)[2] = q + Row(n - 2);
    const double(*a)[2] = k.a + Row(n);
    const double(*b)[2] = k.b + Row(n);
    const DoublePair sZero = Pair(Low(s), 0.0);
    const auto store = [q, l](int m, DoublePair next) {
        StorePair(q[Row(n) + m], next);
        StorePair(l[Row(n) + m], SplatLow(next));
        StorePair(l[Row(n) + m] + 2, SplatHigh(next));
    };
    // Below the diagonal: A ((c dP, c P) - (s P, 0)) - B (dP, P) of the two rows above. At
    // m = n - 1 the row two above holds no (n - 2, m); B is 0 there and the term is left out.
    for (int m = 0; m < n - 1; ++m) {
        const DoublePair p = LoadPair(above[m]);
        store(m, LoadPair(a[m]) * (c * p - sZero * SplatHigh(p)) -
                     LoadPair(b[m]) * LoadPair(above2[m]));
    }
    const DoublePair p = LoadPair(above[n - 1]);
    store(n - 1, LoadPair(a[n - 1]) * (c * p - sZero * SplatHigh(p)));
    // The diagonal: A ((s dP, s P) + (c P, 0)) of the diagonal above.
    store(n, LoadPair(a[n]) * (s * p + Pair(Low(c), 0.0) * SplatHigh(p)));
}

template <int... rowsFromTwo>
void LegendreRows(std::integer_sequence<int, rowsFromTwo...>, const LegendreFactors& k,
                  double (*q)[2], double (*l)[4], DoublePair c, DoublePair s) {
    (LegendreRow<rowsFromTwo + 2>(k, q, l, c, s), ...);
}

// The sums (3) in pairs (DoublePair.h): the field in the low lane, its rate in the high one.
void SumTermsInPairs(const double* coefficients, const double (*legendre)[4],
                     const double (*harmonics)[2][4], double ratio, double* sums) {
    DoublePair x = Splat(0.0);
    DoublePair y = Splat(0.0);
    DoublePair z = Splat(0.0);
    double f = ratio * ratio;
    for (int n = 1; n <= kDegree; ++n) {
        f *= ratio;
        const double(*l)[4] = legendre + Row(n);
        const double* gh = coefficients + 2 * FirstTerm(n);
        DoublePair xn = LoadPair(gh) * LoadPair(l[0]);
        DoublePair zn = LoadPair(gh) * LoadPair(l[0] + 2);
        DoublePair yn = Splat(0.0);
        for (int m = 1; m <= n; ++m) {
            const DoublePair g = LoadPair(gh + 4 * m - 2);
            const DoublePair h = LoadPair(gh + 4 * m);
            const DoublePair u = g * LoadPair(harmonics[m][0]) + h * LoadPair(harmonics[m][1]);
            const DoublePair v =
                g * LoadPair(harmonics[m][0] + 2) + h * LoadPair(harmonics[m][1] + 2);
            xn += u * LoadPair(l[m]);
            zn += u * LoadPair(l[m] + 2);
            yn += v * LoadPair(l[m] + 2);
        }
        x += Splat(f) * xn;
        y += Splat(f) * yn;
        z = z - Splat((n + 1) * f) * zn;
    }
    StorePair(sums, x);
    StorePair(sums + 2, y);
    StorePair(sums + 4, z);
}

#if PHOTOGEO_MAGVAR_AVX
bool CpuHasAvx() {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx") != 0;
}
#endif

}  // namespace

// P_nm and dP_nm/dtheta of c = cos theta, s = sin theta into the entries (dP, dP, P, P) of
// colatitude.legendre, (n, m) at Row(n) + m (derivation, 4).
void SetColatitude(double c, double s, Colatitude& colatitude) {
    colatitude.cosTheta = c;
    colatitude.sinTheta = s;
    double(*l)[4] = colatitude.legendre;
    // (dP, P) of degrees 0 and 1: (0, 1), (-s, c), (c, s).
    double q[kLegendreSize][2];
    StorePair(q[0], Pair(0.0, 1.0));
    StorePair(q[1], Pair(-s, c));
    StorePair(q[2], Pair(c, s));
    for (int i = 0; i < 3; ++i) {
        StorePair(l[i], Splat(q[i][0]));
        StorePair(l[i] + 2, Splat(q[i][1]));
    }
    LegendreRows(std::make_integer_sequence<int, kDegree - 1>{}, Factors(), q, l, Splat(c),
                 Splat(s));
}

void InterpolateIgrf14(double year, double* coefficients) {
    int span = static_cast<int>((year - kIgrf14FirstEpoch) / kIgrf14EpochStep);
    if (span > kIgrf14Epochs - 2) {
        span = kIgrf14Epochs - 2;  // t = 2030.0 lies at the end of the last span
    }
    const double fraction = (year - (kIgrf14FirstEpoch + span * kIgrf14EpochStep)) / kIgrf14EpochStep;
    // Two terms at a time, t and t + 1, each written out as (value, rate).
    const auto interpolate = [&](int t, int t1) {
        const DoublePair from = Pair(kIgrf14Coefficients[t][span], kIgrf14Coefficients[t1][span]);
        const DoublePair step =
            Pair(kIgrf14Coefficients[t][span + 1], kIgrf14Coefficients[t1][span + 1]) - from;
        const DoublePair value = from + Splat(fraction) * step;
        const DoublePair rate = step / Splat(kIgrf14EpochStep);
        StorePair(coefficients + 2 * t, Lows(value, rate));
        if (t1 != t) {
            StorePair(coefficients + 2 * t1, Highs(value, rate));
        }
    };
    int t = 0;
    for (; t + 1 < kTerms; t += 2) {
        interpolate(t, t + 1);
    }
    if (t < kTerms) {
        interpolate(t, t);
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

FieldVectors SumField(const double* coefficients, const Colatitude& colatitude, double radius,
                      double cosLon, double sinLon) {
    const double c = colatitude.cosTheta;
    const double s = colatitude.sinTheta;
    const double(*l)[4] = colatitude.legendre;

    // cos m lambda, sin m lambda by the angle-sum formulas, laid out for the sums as
    //   (cos, cos, m sin, m sin) and (sin, sin, -m cos, -m cos)
    // so that one pass of products and sums gives u and v (derivation, operation order).
    double harmonics[kDegree + 1][2][4];
    double cm = 1.0;
    double sm = 0.0;
    for (int m = 1; m <= kDegree; ++m) {
        const double next = cm * cosLon - sm * sinLon;
        sm = sm * cosLon + cm * sinLon;
        cm = next;
        const double row[2][4] = {{cm, cm, m * sm, m * sm}, {sm, sm, -(m * cm), -(m * cm)}};
        for (int i = 0; i < 2; ++i) {
            for (int j = 0; j < 4; ++j) {
                harmonics[m][i][j] = row[i][j];
            }
        }
    }

    // sums: north, east (before the division by sin theta) and down, each field and rate.
    double sums[6];
    const double ratio = kReferenceRadius / radius;
#if PHOTOGEO_MAGVAR_AVX
    static const bool avx = CpuHasAvx();
    if (avx) {
        SumTermsAvx(coefficients, l, harmonics, ratio, sums);
    } else {
        SumTermsInPairs(coefficients, l, harmonics, ratio, sums);
    }
#else
    SumTermsInPairs(coefficients, l, harmonics, ratio, sums);
#endif

    // On the polar axis every P_nm with m > 0 is 0, and so is the east sum; its limit takes
    // dP_nm/dtheta / cos theta instead, where only m = 1 is not 0 (derivation, 3).
    double eastDivisor = s;
    if (s == 0.0) {
        eastDivisor = c;
        DoublePair y = Splat(0.0);
        double f = ratio * ratio;
        for (int n = 1; n <= kDegree; ++n) {
            f *= ratio;
            const double* gh = coefficients + 2 * FirstTerm(n);
            const DoublePair v = LoadPair(gh + 2) * LoadPair(harmonics[1][0] + 2) +
                                 LoadPair(gh + 4) * LoadPair(harmonics[1][1] + 2);
            y += Splat(f) * (v * LoadPair(l[Row(n) + 1]));
        }
        StorePair(sums + 2, y);
    }
    return {sums[0], sums[2] / eastDivisor, sums[4], sums[1], sums[3] / eastDivisor, sums[5]};
}

FieldVectors SynthesiseField(const double* coefficients, double radius, double cosTheta,
                             double sinTheta, double cosLon, double sinLon) {
    Colatitude colatitude;
    SetColatitude(cosTheta, sinTheta, colatitude);
    return SumField(coefficients, colatitude, radius, cosLon, sinLon);
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
