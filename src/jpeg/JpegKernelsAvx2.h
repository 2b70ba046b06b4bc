// The AVX2 block transform (see TransformFn in JpegKernels.h), shared by the files compiled for
// AVX2 (JpegKernelsAvx2.cpp) and for AVX2 with AVX-VNNI (JpegKernelsVnni.cpp): each gives the
// step that adds a pair's products to a sum, Dot::Add(sum, pair, images) (pmaddwd and an add, or
// one vpdpwssd), and gets its own copy of everything here.
//
// The 64 sums stay in eight registers. Blocks whose values fit in 16 bits take pmaddwd by pairs
// of coefficients; others take pmulld coefficient by coefficient, whose low 32 bits are the
// wrapping product.
#ifndef PHOTOGEO_JPEG_JPEGKERNELSAVX2_H
#define PHOTOGEO_JPEG_JPEGKERNELSAVX2_H

#include "jpeg/JpegKernels.h"

#if PHOTOGEO_JPEG_X86_SIMD && defined(__AVX2__)
#include <immintrin.h>

#include <cstdint>

namespace photogeo::jpeg {

namespace {

// s / 1024 truncated toward zero, plus shift: the magnitude shifted, then the sign of s again
// (|INT_MIN| reads as 2^31 unsigned, whose shift is right too).
inline __m256i Finish(__m256i s, __m256i shift) {
    return _mm256_add_epi32(_mm256_sign_epi32(_mm256_srli_epi32(_mm256_abs_epi32(s), 10), s),
                            shift);
}

// The 64 sums, in eight registers written out one by one so that they stay registers.
struct SSums {
    __m256i a0, a1, a2, a3, a4, a5, a6, a7;
};

// The sums with wrapping 32-bit products, coefficient by coefficient: the road of blocks with a
// value beyond 16 bits (malformed or 16-bit-quantised data).
inline __attribute__((noinline)) SSums AccumulateWide(const STransformTables& tables,
                                                      const int* pCoef, uint64_t nMask) {
    __m256i a0 = _mm256_setzero_si256(), a1 = a0, a2 = a0, a3 = a0, a4 = a0, a5 = a0, a6 = a0,
            a7 = a0;
    for (uint64_t m = nMask; m != 0; m &= m - 1) {
        int k = LowestBit(m);
        const __m256i* b = reinterpret_cast<const __m256i*>(tables.basis[k]);
        __m256i v = _mm256_set1_epi32(pCoef[k]);
        a0 = _mm256_add_epi32(a0, _mm256_mullo_epi32(_mm256_loadu_si256(b + 0), v));
        a1 = _mm256_add_epi32(a1, _mm256_mullo_epi32(_mm256_loadu_si256(b + 1), v));
        a2 = _mm256_add_epi32(a2, _mm256_mullo_epi32(_mm256_loadu_si256(b + 2), v));
        a3 = _mm256_add_epi32(a3, _mm256_mullo_epi32(_mm256_loadu_si256(b + 3), v));
        a4 = _mm256_add_epi32(a4, _mm256_mullo_epi32(_mm256_loadu_si256(b + 4), v));
        a5 = _mm256_add_epi32(a5, _mm256_mullo_epi32(_mm256_loadu_si256(b + 5), v));
        a6 = _mm256_add_epi32(a6, _mm256_mullo_epi32(_mm256_loadu_si256(b + 6), v));
        a7 = _mm256_add_epi32(a7, _mm256_mullo_epi32(_mm256_loadu_si256(b + 7), v));
    }
    return SSums{a0, a1, a2, a3, a4, a5, a6, a7};
}

template <class Dot>
inline SSums Accumulate(const STransformTables& tables, const int* pCoef, uint64_t nMask) {
    __m256i a0 = _mm256_setzero_si256(), a1 = a0, a2 = a0, a3 = a0, a4 = a0, a5 = a0, a6 = a0,
            a7 = a0;
    // Each pair of coefficients (even k, k + 1) is read as 64 bits, broadcast, and packed to 16
    // bits with saturation. A coefficient beyond 16 bits is flagged on the way (which costs less
    // than a look at all 64 first), and its block summed again the wide way.
    __m256i outside = _mm256_setzero_si256();
    uint64_t pairs = PairMask(nMask);
    // The first two pairs (present in most blocks) by one pmaddwd each: coefficients 0 and 1
    // give one row that every row of the block adds, 2 and 3 one column, whose entry y row y
    // adds.
    auto pack = [&outside](const int* p) {
        __m256i c = _mm256_castpd_si256(_mm256_broadcast_sd(reinterpret_cast<const double*>(p)));
        outside = _mm256_or_si256(outside, _mm256_xor_si256(c, _mm256_srai_epi32(c, 31)));
        return _mm256_packs_epi32(c, c);
    };
    if ((pairs & 1) && tables.rowsAlike) {
        a0 = _mm256_madd_epi16(pack(pCoef),
                               _mm256_load_si256(reinterpret_cast<const __m256i*>(tables.rowPair)));
        a1 = a2 = a3 = a4 = a5 = a6 = a7 = a0;
        pairs &= ~uint64_t{1};
    }
    if ((pairs & 4) && tables.columnsAlike) {
        alignas(32) int32_t column[8];
        _mm256_store_si256(
            reinterpret_cast<__m256i*>(column),
            _mm256_madd_epi16(pack(pCoef + 2), _mm256_load_si256(reinterpret_cast<const __m256i*>(
                                                   tables.columnPair))));
        // Each entry broadcast from memory (a load), not shuffled out of the register: the
        // empty statement keeps the compiler from turning the loads into shuffles.
        __asm__("" : "+m"(column));
        a0 = _mm256_add_epi32(_mm256_set1_epi32(column[0]), a0);
        a1 = _mm256_add_epi32(_mm256_set1_epi32(column[1]), a1);
        a2 = _mm256_add_epi32(_mm256_set1_epi32(column[2]), a2);
        a3 = _mm256_add_epi32(_mm256_set1_epi32(column[3]), a3);
        a4 = _mm256_add_epi32(_mm256_set1_epi32(column[4]), a4);
        a5 = _mm256_add_epi32(_mm256_set1_epi32(column[5]), a5);
        a6 = _mm256_add_epi32(_mm256_set1_epi32(column[6]), a6);
        a7 = _mm256_add_epi32(_mm256_set1_epi32(column[7]), a7);
        pairs &= ~uint64_t{4};
    }
    for (uint64_t m = pairs; m != 0; m &= m - 1) {
        const uint64_t k = static_cast<uint64_t>(LowestBit(m));  // even: pair k / 2
        const __m256i* b = reinterpret_cast<const __m256i*>(tables.pair[k >> 1]);
        __m256i c =
            _mm256_castpd_si256(_mm256_broadcast_sd(reinterpret_cast<const double*>(pCoef + k)));
        // |c| < 2^15 exactly when c ^ (c >> 31) < 2^15.
        outside = _mm256_or_si256(outside, _mm256_xor_si256(c, _mm256_srai_epi32(c, 31)));
        __m256i v = _mm256_packs_epi32(c, c);
        a0 = Dot::Add(a0, v, _mm256_load_si256(b + 0));
        a1 = Dot::Add(a1, v, _mm256_load_si256(b + 1));
        a2 = Dot::Add(a2, v, _mm256_load_si256(b + 2));
        a3 = Dot::Add(a3, v, _mm256_load_si256(b + 3));
        a4 = Dot::Add(a4, v, _mm256_load_si256(b + 4));
        a5 = Dot::Add(a5, v, _mm256_load_si256(b + 5));
        a6 = Dot::Add(a6, v, _mm256_load_si256(b + 6));
        a7 = Dot::Add(a7, v, _mm256_load_si256(b + 7));
    }
    if (!_mm256_testz_si256(outside, _mm256_set1_epi32(static_cast<int>(0xFFFF8000u))))
        return AccumulateWide(tables, pCoef, nMask);
    return SSums{a0, a1, a2, a3, a4, a5, a6, a7};
}

template <int HF, int VF>
inline void StoreRow(__m256i sums, __m256i shift, int* pRow, int nOutStride) {
    __m256i row = Finish(sums, shift);
    for (int v = 0; v < VF; ++v) {
        __m256i* d = reinterpret_cast<__m256i*>(pRow + v * nOutStride);
        if (HF == 1) {
            _mm256_storeu_si256(d, row);
        } else {
            _mm256_storeu_si256(
                d, _mm256_permutevar8x32_epi32(row, _mm256_setr_epi32(0, 0, 1, 1, 2, 2, 3, 3)));
            _mm256_storeu_si256(
                d + 1, _mm256_permutevar8x32_epi32(row, _mm256_setr_epi32(4, 4, 5, 5, 6, 6, 7, 7)));
        }
    }
}

// The block written with each sample repeated HF times across and VF times down: the
// replication of a block whose component has 1/HF and 1/VF of the largest sampling factors.
template <class Dot, int HF, int VF>
void TransformReplicated(const STransformTables& tables, const int* pCoef, uint64_t nMask,
                         int nShift, int* pOut, int nOutStride) {
    SSums s = Accumulate<Dot>(tables, pCoef, nMask);
    const __m256i shift = _mm256_set1_epi32(nShift);
    const int step = VF * nOutStride;
    StoreRow<HF, VF>(s.a0, shift, pOut + 0 * step, nOutStride);
    StoreRow<HF, VF>(s.a1, shift, pOut + 1 * step, nOutStride);
    StoreRow<HF, VF>(s.a2, shift, pOut + 2 * step, nOutStride);
    StoreRow<HF, VF>(s.a3, shift, pOut + 3 * step, nOutStride);
    StoreRow<HF, VF>(s.a4, shift, pOut + 4 * step, nOutStride);
    StoreRow<HF, VF>(s.a5, shift, pOut + 5 * step, nOutStride);
    StoreRow<HF, VF>(s.a6, shift, pOut + 6 * step, nOutStride);
    StoreRow<HF, VF>(s.a7, shift, pOut + 7 * step, nOutStride);
}

}  // namespace

}  // namespace photogeo::jpeg

#endif  // PHOTOGEO_JPEG_X86_SIMD && __AVX2__

#endif
