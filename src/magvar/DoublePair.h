// Two doubles that the IGRF-14 synthesis (Igrf14Model.cpp) always computes side by side: a
// Legendre function and its derivative, a field component and its yearly change, or two
// coefficients being interpolated. On x86-64
// (SSE2) and aarch64 (NEON) one vector instruction does each operation for both; elsewhere, or
// when the build sets PHOTOGEO_SIMD=0, two scalar operations do. Each lane is one IEEE operation
// either way (the build never fuses a multiply with an add), so every form gives the same bits.
#ifndef PHOTOGEO_MAGVAR_DOUBLEPAIR_H
#define PHOTOGEO_MAGVAR_DOUBLEPAIR_H

#ifndef PHOTOGEO_SIMD
#define PHOTOGEO_SIMD 1
#endif
#if PHOTOGEO_SIMD && (defined(__x86_64__) || defined(_M_X64))
#define PHOTOGEO_MAGVAR_SIMD_SSE2 1
#elif PHOTOGEO_SIMD && defined(__aarch64__)
#define PHOTOGEO_MAGVAR_SIMD_NEON 1
#endif
#if defined(PHOTOGEO_MAGVAR_SIMD_SSE2)
#include <emmintrin.h>
#endif
#if defined(PHOTOGEO_MAGVAR_SIMD_NEON)
#include <arm_neon.h>
#endif

namespace photogeo::magvar {

#if defined(PHOTOGEO_MAGVAR_SIMD_SSE2)

struct DoublePair {
    __m128d v;
};
inline DoublePair LoadPair(const double* p) { return {_mm_loadu_pd(p)}; }
inline void StorePair(double* p, DoublePair a) { _mm_storeu_pd(p, a.v); }
inline DoublePair Pair(double low, double high) { return {_mm_set_pd(high, low)}; }
inline DoublePair Splat(double x) { return {_mm_set1_pd(x)}; }
inline DoublePair SplatLow(DoublePair a) { return {_mm_unpacklo_pd(a.v, a.v)}; }
inline DoublePair SplatHigh(DoublePair a) { return {_mm_unpackhi_pd(a.v, a.v)}; }
inline double Low(DoublePair a) { return _mm_cvtsd_f64(a.v); }
inline double High(DoublePair a) { return _mm_cvtsd_f64(_mm_unpackhi_pd(a.v, a.v)); }
inline DoublePair operator+(DoublePair a, DoublePair b) { return {_mm_add_pd(a.v, b.v)}; }
inline DoublePair operator-(DoublePair a, DoublePair b) { return {_mm_sub_pd(a.v, b.v)}; }
inline DoublePair operator*(DoublePair a, DoublePair b) { return {_mm_mul_pd(a.v, b.v)}; }
inline DoublePair operator/(DoublePair a, DoublePair b) { return {_mm_div_pd(a.v, b.v)}; }
// (low of a, low of b) and (high of a, high of b).
inline DoublePair Lows(DoublePair a, DoublePair b) { return {_mm_unpacklo_pd(a.v, b.v)}; }
inline DoublePair Highs(DoublePair a, DoublePair b) { return {_mm_unpackhi_pd(a.v, b.v)}; }

#elif defined(PHOTOGEO_MAGVAR_SIMD_NEON)

struct DoublePair {
    float64x2_t v;
};
inline DoublePair LoadPair(const double* p) { return {vld1q_f64(p)}; }
inline void StorePair(double* p, DoublePair a) { vst1q_f64(p, a.v); }
inline DoublePair Pair(double low, double high) {
    return {vsetq_lane_f64(high, vdupq_n_f64(low), 1)};
}
inline DoublePair Splat(double x) { return {vdupq_n_f64(x)}; }
inline DoublePair SplatLow(DoublePair a) { return {vdupq_laneq_f64(a.v, 0)}; }
inline DoublePair SplatHigh(DoublePair a) { return {vdupq_laneq_f64(a.v, 1)}; }
inline double Low(DoublePair a) { return vgetq_lane_f64(a.v, 0); }
inline double High(DoublePair a) { return vgetq_lane_f64(a.v, 1); }
inline DoublePair operator+(DoublePair a, DoublePair b) { return {vaddq_f64(a.v, b.v)}; }
inline DoublePair operator-(DoublePair a, DoublePair b) { return {vsubq_f64(a.v, b.v)}; }
inline DoublePair operator*(DoublePair a, DoublePair b) { return {vmulq_f64(a.v, b.v)}; }
inline DoublePair operator/(DoublePair a, DoublePair b) { return {vdivq_f64(a.v, b.v)}; }
inline DoublePair Lows(DoublePair a, DoublePair b) { return {vzip1q_f64(a.v, b.v)}; }
inline DoublePair Highs(DoublePair a, DoublePair b) { return {vzip2q_f64(a.v, b.v)}; }

#else

struct DoublePair {
    double low, high;
};
inline DoublePair LoadPair(const double* p) { return {p[0], p[1]}; }
inline void StorePair(double* p, DoublePair a) {
    p[0] = a.low;
    p[1] = a.high;
}
inline DoublePair Pair(double low, double high) { return {low, high}; }
inline DoublePair Splat(double x) { return {x, x}; }
inline DoublePair SplatLow(DoublePair a) { return {a.low, a.low}; }
inline DoublePair SplatHigh(DoublePair a) { return {a.high, a.high}; }
inline double Low(DoublePair a) { return a.low; }
inline double High(DoublePair a) { return a.high; }
inline DoublePair operator+(DoublePair a, DoublePair b) { return {a.low + b.low, a.high + b.high}; }
inline DoublePair operator-(DoublePair a, DoublePair b) { return {a.low - b.low, a.high - b.high}; }
inline DoublePair operator*(DoublePair a, DoublePair b) { return {a.low * b.low, a.high * b.high}; }
inline DoublePair operator/(DoublePair a, DoublePair b) { return {a.low / b.low, a.high / b.high}; }
inline DoublePair Lows(DoublePair a, DoublePair b) { return {a.low, b.low}; }
inline DoublePair Highs(DoublePair a, DoublePair b) { return {a.high, b.high}; }

#endif

inline DoublePair& operator+=(DoublePair& a, DoublePair b) { return a = a + b; }

}  // namespace photogeo::magvar

#endif
