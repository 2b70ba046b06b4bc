// The AVX2 forms of the inverse transform and colour conversion (see JpegKernels.h), compiled
// for AVX2 alone and called only when the processor has it (JpegKernels.cpp chooses).
//
// The transform keeps the 64 sums in eight registers. Blocks whose values fit in 16 bits take
// pmaddwd by pairs of coefficients as in the SSE2 form; others take pmulld coefficient by
// coefficient, whose low 32 bits are the wrapping product. The
// colour conversion works on 16 pixels: 16-bit products and an exact multiply-shift division (in
// the checked range, see kColourMin), saturating packs for the clamp, and byte shuffles that
// interleave blue, green and red into 48 output bytes.
#include "jpeg/JpegKernels.h"

#if PHOTOGEO_JPEG_X86_SIMD
#include <immintrin.h>

#include <cstdint>

namespace photogeo::jpeg {

namespace {

// Shuffle masks taking the 16 blue, green or red bytes to their places in one of the three
// 16-byte thirds of the interleaved output: byte j of third t is channel (16t + j) % 3 of pixel
// (16t + j) / 3. grey[t] takes the one grey byte of each pixel to all three channels.
struct SInterleave {
    alignas(16) signed char mask[3][3][16];
    alignas(16) signed char grey[3][16];
    constexpr SInterleave() : mask(), grey() {
        for (int t = 0; t < 3; ++t)
            for (int j = 0; j < 16; ++j) {
                int k = 16 * t + j;
                grey[t][j] = static_cast<signed char>(k / 3);
                for (int c = 0; c < 3; ++c)
                    mask[t][c][j] = static_cast<signed char>(k % 3 == c ? k / 3 : -128);
            }
    }
};
constexpr SInterleave kInterleave;

// s / 1024 truncated toward zero, plus shift: the magnitude shifted, then the sign of s again
// (|INT_MIN| reads as 2^31 unsigned, whose shift is right too).
inline __m256i Finish(__m256i s, __m256i shift) {
    return _mm256_add_epi32(_mm256_sign_epi32(_mm256_srli_epi32(_mm256_abs_epi32(s), 10), s), shift);
}

}  // namespace

namespace {

// The 64 sums, in eight registers written out one by one so that they stay registers.
struct SSums {
    __m256i a0, a1, a2, a3, a4, a5, a6, a7;
};

// The sums with wrapping 32-bit products, coefficient by coefficient: the road of blocks with a
// value beyond 16 bits (malformed or 16-bit-quantised data).
__attribute__((noinline)) SSums AccumulateWide(const STransformTables& tables, const int* pCoef,
                                               uint64_t nMask) {
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

inline SSums Accumulate(const STransformTables& tables, const int* pCoef, uint64_t nMask) {
    __m256i a0 = _mm256_setzero_si256(), a1 = a0, a2 = a0, a3 = a0, a4 = a0, a5 = a0, a6 = a0,
            a7 = a0;
    // Each pair of coefficients (even k, k + 1) is read as 64 bits, broadcast, and packed to 16
    // bits with saturation. A coefficient beyond 16 bits is flagged on the way (which costs less
    // than a look at all 64 first), and its block summed again the wide way.
    __m256i outside = _mm256_setzero_si256();
    for (uint64_t m = PairMask(nMask); m != 0; m &= m - 1) {
        const uint64_t k = static_cast<uint64_t>(LowestBit(m));  // even: pair k / 2
        const __m256i* b = reinterpret_cast<const __m256i*>(tables.pair[0] + 32 * k);
        __m256i c = _mm256_castpd_si256(
            _mm256_broadcast_sd(reinterpret_cast<const double*>(pCoef + k)));
        // |c| < 2^15 exactly when c ^ (c >> 31) < 2^15.
        outside = _mm256_or_si256(outside, _mm256_xor_si256(c, _mm256_srai_epi32(c, 31)));
        __m256i v = _mm256_packs_epi32(c, c);
        // (This operand order keeps GCC from copying each sum between registers.)
        a0 = _mm256_add_epi32(_mm256_madd_epi16(v, _mm256_load_si256(b + 0)), a0);
        a1 = _mm256_add_epi32(_mm256_madd_epi16(v, _mm256_load_si256(b + 1)), a1);
        a2 = _mm256_add_epi32(_mm256_madd_epi16(v, _mm256_load_si256(b + 2)), a2);
        a3 = _mm256_add_epi32(_mm256_madd_epi16(v, _mm256_load_si256(b + 3)), a3);
        a4 = _mm256_add_epi32(_mm256_madd_epi16(v, _mm256_load_si256(b + 4)), a4);
        a5 = _mm256_add_epi32(_mm256_madd_epi16(v, _mm256_load_si256(b + 5)), a5);
        a6 = _mm256_add_epi32(_mm256_madd_epi16(v, _mm256_load_si256(b + 6)), a6);
        a7 = _mm256_add_epi32(_mm256_madd_epi16(v, _mm256_load_si256(b + 7)), a7);
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
template <int HF, int VF>
void TransformReplicated(const STransformTables& tables, const int* pCoef, uint64_t nMask,
                         int nShift, int* pOut, int nOutStride) {
    SSums s = Accumulate(tables, pCoef, nMask);
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

uint64_t DequantiseAvx2(const int* pQuant, const int* pBlock, int* pCoef) {
    uint64_t mask = 0;
    const __m256i zero = _mm256_setzero_si256();
    for (int j = 0; j < 64; j += 8) {
        __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(pBlock + j));
        __m256i q = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(pQuant + j));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(pCoef + j), _mm256_mullo_epi32(q, b));
        unsigned isZero = static_cast<unsigned>(
            _mm256_movemask_ps(_mm256_castsi256_ps(_mm256_cmpeq_epi32(b, zero))));
        mask |= static_cast<uint64_t>(~isZero & 0xFFu) << j;
    }
    return mask;
}

void TransformAvx2(const STransformTables& tables, const int* pCoef, uint64_t nMask, int nShift,
                   int* pOut, int nOutStride) {
    TransformReplicated<1, 1>(tables, pCoef, nMask, nShift, pOut, nOutStride);
}

void TransformAvx2H2(const STransformTables& tables, const int* pCoef, uint64_t nMask, int nShift,
                     int* pOut, int nOutStride) {
    TransformReplicated<2, 1>(tables, pCoef, nMask, nShift, pOut, nOutStride);
}

void TransformAvx2V2(const STransformTables& tables, const int* pCoef, uint64_t nMask, int nShift,
                     int* pOut, int nOutStride) {
    TransformReplicated<1, 2>(tables, pCoef, nMask, nShift, pOut, nOutStride);
}

void TransformAvx2H2V2(const STransformTables& tables, const int* pCoef, uint64_t nMask, int nShift,
                       int* pOut, int nOutStride) {
    TransformReplicated<2, 2>(tables, pCoef, nMask, nShift, pOut, nOutStride);
}

namespace {

// Blue, green and red of eight pixels before the clamp, which the saturating packs perform.
struct SChannels {
    __m256i b, g, r;
};

// n / 10000 truncated toward zero, for |n| < 2^24: |n| * 13743896 >> 37 is floor(|n| / 10000)
// there (13743896 = ceil(2^37 / 10000) exceeds 2^37 / 10000 by less than 2^37 / 2^24 / 10000, so
// the error stays below one unit), then the sign of n.
inline __m256i Div10000(__m256i n) {
    const __m256i magic = _mm256_set1_epi32(13743896);
    __m256i a = _mm256_abs_epi32(n);
    __m256i even = _mm256_srli_epi64(_mm256_mul_epu32(a, magic), 37);
    __m256i odd = _mm256_srli_epi64(_mm256_mul_epu32(_mm256_srli_epi64(a, 32), magic), 5);
    return _mm256_sign_epi32(_mm256_blend_epi32(even, odd, 0xAA), n);
}

// The quotients of the colour formulas (blue = Y + b, green = Y - g, red = Y + r) for eight
// Cb, Cr pairs in the vector range. Cb and Cr fit in 16 bits there, so each numerator is one
// pmaddwd of 16-bit pairs.
inline SChannels Terms8(const int* pCb, const int* pCr) {
    const __m256i low16 = _mm256_set1_epi32(0xFFFF);
    const __m256i k128 = _mm256_set1_epi32(128);
    __m256i cb = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(pCb));
    __m256i cr = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(pCr));
    __m256i nb = _mm256_madd_epi16(_mm256_and_si256(_mm256_sub_epi32(cb, k128), low16),
                                   _mm256_set1_epi32(17718));
    __m256i nr = _mm256_madd_epi16(_mm256_and_si256(_mm256_sub_epi32(cr, k128), low16),
                                   _mm256_set1_epi32(14020));
    __m256i pair = _mm256_or_si256(_mm256_and_si256(cr, low16), _mm256_slli_epi32(cb, 16));
    __m256i ng = _mm256_sub_epi32(_mm256_madd_epi16(pair, _mm256_set1_epi32(7139 | (3441 << 16))),
                                  _mm256_set1_epi32(1354240));
    return SChannels{Div10000(nb), Div10000(ng), Div10000(nr)};
}

inline SChannels Apply(__m256i y, __m256i qb, __m256i qg, __m256i qr) {
    return SChannels{_mm256_add_epi32(y, qb), _mm256_sub_epi32(y, qg), _mm256_add_epi32(y, qr)};
}

inline SChannels Convert8(const int* pY, const int* pCb, const int* pCr) {
    SChannels q = Terms8(pCb, pCr);
    return Apply(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(pY)), q.b, q.g, q.r);
}

inline bool Inside(const int* pCb, const int* pCr, int n) {
    const __m256i lo = _mm256_set1_epi32(kColourMin - 1), hi = _mm256_set1_epi32(kColourMax + 1);
    __m256i ok = _mm256_set1_epi32(-1);
    for (int h = 0; h < n; h += 8) {
        __m256i cb = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(pCb + h));
        __m256i cr = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(pCr + h));
        ok = _mm256_and_si256(
            ok, _mm256_and_si256(_mm256_cmpgt_epi32(cb, lo), _mm256_cmpgt_epi32(hi, cb)));
        ok = _mm256_and_si256(
            ok, _mm256_and_si256(_mm256_cmpgt_epi32(cr, lo), _mm256_cmpgt_epi32(hi, cr)));
    }
    return _mm256_movemask_epi8(ok) == -1;
}

// 16 int32 lanes (two registers) to 16 clamped bytes in pixel order.
inline __m128i PackBytes(__m256i a, __m256i b) {
    __m256i w = _mm256_permute4x64_epi64(_mm256_packs_epi32(a, b), 0xD8);
    __m256i u = _mm256_packus_epi16(w, w);
    return _mm256_castsi256_si128(_mm256_permute4x64_epi64(u, 0x08));
}

}  // namespace

namespace {

// 16 pixels of blue, green and red bytes into 48 bytes of blue, green, red triples (written out
// third by third: a loop over the thirds keeps them in memory).
inline __m128i InterleaveThird(__m128i b, __m128i g, __m128i r, int t) {
    const __m128i* m = reinterpret_cast<const __m128i*>(kInterleave.mask[t]);
    return _mm_or_si128(_mm_or_si128(_mm_shuffle_epi8(b, _mm_load_si128(m + 0)),
                                     _mm_shuffle_epi8(g, _mm_load_si128(m + 1))),
                        _mm_shuffle_epi8(r, _mm_load_si128(m + 2)));
}

inline void Interleave(__m128i b, __m128i g, __m128i r, __m128i (&out)[3]) {
    out[0] = InterleaveThird(b, g, r, 0);
    out[1] = InterleaveThird(b, g, r, 1);
    out[2] = InterleaveThird(b, g, r, 2);
}

inline void Store48(unsigned char* pDst, const __m128i (&out)[3]) {
    __m128i* d = reinterpret_cast<__m128i*>(pDst);
    _mm_storeu_si128(d + 0, out[0]);
    _mm_storeu_si128(d + 1, out[1]);
    _mm_storeu_si128(d + 2, out[2]);
}

inline void Convert16(const SChannels& c0, const SChannels& c1, __m128i (&out)[3]) {
    Interleave(PackBytes(c0.b, c1.b), PackBytes(c0.g, c1.g), PackBytes(c0.r, c1.r), out);
}

}  // namespace

void ColourRowsAvx2(const int* pY, const int* pCb, const int* pCr, int nPlaneStride, int n,
                    int nRows, unsigned char* pDst, ptrdiff_t nDstStride) {
    int row = 0;
    if (n == 8) {
        // Rows of eight (the MCU width of 4:4:4 images) are taken two at a time: 48 bytes.
        for (; row + 2 <= nRows; row += 2, pY += 2 * nPlaneStride, pCb += 2 * nPlaneStride,
                                 pCr += 2 * nPlaneStride, pDst += 2 * nDstStride) {
            if (!Inside(pCb, pCr, 8) || !Inside(pCb + nPlaneStride, pCr + nPlaneStride, 8)) {
                ColourScalar(pY, pCb, pCr, 8, pDst);
                ColourScalar(pY + nPlaneStride, pCb + nPlaneStride, pCr + nPlaneStride, 8,
                             pDst + nDstStride);
                continue;
            }
            __m128i out[3];
            Convert16(Convert8(pY, pCb, pCr),
                      Convert8(pY + nPlaneStride, pCb + nPlaneStride, pCr + nPlaneStride), out);
            unsigned char* d0 = pDst;
            unsigned char* d1 = pDst + nDstStride;
            _mm_storeu_si128(reinterpret_cast<__m128i*>(d0), out[0]);
            _mm_storel_epi64(reinterpret_cast<__m128i*>(d0 + 16), out[1]);
            _mm_storel_epi64(reinterpret_cast<__m128i*>(d1), _mm_srli_si128(out[1], 8));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(d1 + 8), out[2]);
        }
    }
    for (; row < nRows;
         ++row, pY += nPlaneStride, pCb += nPlaneStride, pCr += nPlaneStride, pDst += nDstStride) {
        int i = 0;
        for (; i + 16 <= n; i += 16) {
            if (!Inside(pCb + i, pCr + i, 16)) {
                ColourScalar(pY + i, pCb + i, pCr + i, 16, pDst + 3 * i);
                continue;
            }
            __m128i out[3];
            Convert16(Convert8(pY + i, pCb + i, pCr + i),
                      Convert8(pY + i + 8, pCb + i + 8, pCr + i + 8), out);
            Store48(pDst + 3 * i, out);
        }
        if (i + 8 <= n && Inside(pCb + i, pCr + i, 8)) {
            // Eight pixels: 24 bytes.
            SChannels c = Convert8(pY + i, pCb + i, pCr + i);
            __m128i out[3];
            Convert16(c, c, out);
            _mm_storeu_si128(reinterpret_cast<__m128i*>(pDst + 3 * i), out[0]);
            _mm_storel_epi64(reinterpret_cast<__m128i*>(pDst + 3 * i + 16), out[1]);
            i += 8;
        }
        if (i < n) ColourScalar(pY + i, pCb + i, pCr + i, n - i, pDst + 3 * i);
    }
}

void ColourHalfAvx2(const int* pY, int nYStride, const int* pCb, const int* pCr, int nCStride,
                    int n, int nRows, int nVf, unsigned char* pDst, ptrdiff_t nDstStride) {
    // Eight chroma samples give the quotients of 16 pixels on each of nVf rows.
    const __m256i left = _mm256_setr_epi32(0, 0, 1, 1, 2, 2, 3, 3);
    const __m256i right = _mm256_setr_epi32(4, 4, 5, 5, 6, 6, 7, 7);
    for (int r = 0; r < nRows; r += nVf) {
        const int* cb = pCb + (r / nVf) * nCStride;
        const int* cr = pCr + (r / nVf) * nCStride;
        const int* y = pY + r * nYStride;
        unsigned char* d = pDst + r * nDstStride;
        const int rows = nRows - r < nVf ? nRows - r : nVf;
        int i = 0;
        for (; i + 16 <= n; i += 16) {
            if (!Inside(cb + i / 2, cr + i / 2, 8)) {
                ColourHalfScalar(y + i, nYStride, cb + i / 2, cr + i / 2, nCStride, 16, rows, nVf,
                                 d + 3 * i, nDstStride);
                continue;
            }
            SChannels q = Terms8(cb + i / 2, cr + i / 2);
            SChannels lo{_mm256_permutevar8x32_epi32(q.b, left),
                         _mm256_permutevar8x32_epi32(q.g, left),
                         _mm256_permutevar8x32_epi32(q.r, left)};
            SChannels hi{_mm256_permutevar8x32_epi32(q.b, right),
                         _mm256_permutevar8x32_epi32(q.g, right),
                         _mm256_permutevar8x32_epi32(q.r, right)};
            for (int v = 0; v < rows; ++v) {
                const int* yv = y + v * nYStride + i;
                __m128i out[3];
                Convert16(Apply(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(yv)), lo.b,
                                lo.g, lo.r),
                          Apply(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(yv + 8)), hi.b,
                                hi.g, hi.r),
                          out);
                Store48(d + v * nDstStride + 3 * i, out);
            }
        }
        if (i < n)
            ColourHalfScalar(y + i, nYStride, cb + i / 2, cr + i / 2, nCStride, n - i, rows, nVf,
                             d + 3 * i, nDstStride);
    }
}

void GreyRowsAvx2(const int* pY, const int*, const int*, int nPlaneStride, int n, int nRows,
                  unsigned char* pDst, ptrdiff_t nDstStride) {
    for (int row = 0; row < nRows; ++row, pY += nPlaneStride, pDst += nDstStride) {
        int i = 0;
        for (; i + 16 <= n; i += 16) {
            __m128i v = PackBytes(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(pY + i)),
                                  _mm256_loadu_si256(reinterpret_cast<const __m256i*>(pY + i + 8)));
            const __m128i* m = reinterpret_cast<const __m128i*>(kInterleave.grey);
            const __m128i out[3] = {_mm_shuffle_epi8(v, _mm_load_si128(m + 0)),
                                    _mm_shuffle_epi8(v, _mm_load_si128(m + 1)),
                                    _mm_shuffle_epi8(v, _mm_load_si128(m + 2))};
            Store48(pDst + 3 * i, out);
        }
        if (i + 8 <= n) {
            __m256i y = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(pY + i));
            __m128i v = PackBytes(y, y);
            unsigned char* d = pDst + 3 * i;
            const __m128i* m = reinterpret_cast<const __m128i*>(kInterleave.grey);
            _mm_storeu_si128(reinterpret_cast<__m128i*>(d),
                             _mm_shuffle_epi8(v, _mm_load_si128(m + 0)));
            _mm_storel_epi64(reinterpret_cast<__m128i*>(d + 16),
                             _mm_shuffle_epi8(v, _mm_load_si128(m + 1)));
            i += 8;
        }
        if (i < n) GreyRowsScalar(pY + i, nullptr, nullptr, 0, n - i, 1, pDst + 3 * i, 0);
    }
}

}  // namespace photogeo::jpeg

#endif  // PHOTOGEO_JPEG_X86_SIMD
