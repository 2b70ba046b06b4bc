// The IGRF-14 field sums with 256-bit AVX registers, for SumField (Igrf14Model.cpp), which calls
// them instead of its SSE2 pairs when the processor has AVX. This file alone is compiled for
// AVX; it uses intrinsics only, no inline function shared with the other files, so that no
// AVX instruction reaches code that runs on processors without it.
//
// One register holds (u, du/dt, v, dv/dt) of a term: the coefficient pairs (g, dg/dt) and
// (h, dh/dt), each in both halves, times (cos, cos, m sin, m sin) and (sin, sin, -m cos, -m cos).
// Times the Legendre entry (dP, dP, P, P) it gives the north and east terms at once; its low
// half times (P, P) gives the down term. Lane for lane these are the operations of the SSE2 and
// scalar forms, in the same order (v = g m sin + h (-m cos) equals g m sin - h m cos exactly),
// so the results are the same bits.
#if defined(__AVX__)
#include <immintrin.h>

#include "magvar/Igrf14Model.h"

namespace photogeo::magvar {

void SumTermsAvx(const double* coefficients, const double (*legendre)[4],
                 const double (*harmonics)[2][4], double ratio, double* sums) {
    __m256d northEast = _mm256_setzero_pd();
    __m128d down = _mm_setzero_pd();
    double f = ratio * ratio;
    const double* gh = coefficients;
    const double(*l)[4] = legendre + 1;
    for (int n = 1; n <= kIgrf14Degree; ++n, l += n) {
        f *= ratio;
        // The zonal term (m = 0) has no h and adds nothing to the east sum.
        const __m128d g0 = _mm_loadu_pd(gh);
        __m256d northEastN = _mm256_insertf128_pd(_mm256_setzero_pd(),
                                                  _mm_mul_pd(g0, _mm_loadu_pd(l[0])), 0);
        __m128d downN = _mm_mul_pd(g0, _mm_loadu_pd(l[0] + 2));
        gh += 2;
        for (int m = 1; m <= n; ++m, gh += 4) {
            const __m256d g = _mm256_broadcast_pd(reinterpret_cast<const __m128d*>(gh));
            const __m256d h = _mm256_broadcast_pd(reinterpret_cast<const __m128d*>(gh + 2));
            const __m256d uv = _mm256_add_pd(_mm256_mul_pd(g, _mm256_loadu_pd(harmonics[m][0])),
                                             _mm256_mul_pd(h, _mm256_loadu_pd(harmonics[m][1])));
            northEastN = _mm256_add_pd(northEastN, _mm256_mul_pd(uv, _mm256_loadu_pd(l[m])));
            downN = _mm_add_pd(downN,
                               _mm_mul_pd(_mm256_castpd256_pd128(uv), _mm_loadu_pd(l[m] + 2)));
        }
        northEast = _mm256_add_pd(northEast, _mm256_mul_pd(_mm256_set1_pd(f), northEastN));
        down = _mm_sub_pd(down, _mm_mul_pd(_mm_set1_pd((n + 1) * f), downN));
    }
    _mm256_storeu_pd(sums, northEast);
    _mm_storeu_pd(sums + 4, down);
}

}  // namespace photogeo::magvar

#endif
