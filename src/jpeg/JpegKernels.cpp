// The scalar and SSE2 forms of the decoder's kernels (dequantisation, block transform, colour
// and greyscale output), and the choice between them, the AVX2 forms of JpegKernelsAvx2.cpp and
// the AVX-VNNI transform of JpegKernelsVnni.cpp (at run time on x86-64; elsewhere, or with
// PHOTOGEO_SIMD=0, the scalar forms). Called by the baseline and progressive decoders once per
// block and once per MCU.
//
// The transform adds value * basis image for each non-zero coefficient, by pairs of coefficients:
// the basis entries are at most 256 in magnitude, so when the values fit in 16 bits one pmaddwd
// forms both products of a pair exactly and adds them (|sum| < 2^24). Larger values, which only
// malformed or 16-bit-quantised data produce, take the scalar road with wrapping 32-bit products.
#include "jpeg/JpegKernels.h"

#include <cstdint>

#if PHOTOGEO_JPEG_X86_SIMD
#include <emmintrin.h>
#endif
#if PHOTOGEO_JPEG_VNNI
#include <cpuid.h>
#endif

namespace photogeo::jpeg {

static inline int Wrap(uint32_t v) {
    return static_cast<int>(v);
}

void BuildTransformTables(const int (*pBasis)[64], STransformTables& tables) {
    tables.basis = pBasis;
    for (int p = 0; p < 32; ++p)
        for (int j = 0; j < 64; ++j)
            tables.pair[p][j] =
                static_cast<int32_t>((static_cast<uint32_t>(pBasis[2 * p][j]) & 0xFFFFu) |
                                     (static_cast<uint32_t>(pBasis[2 * p + 1][j]) << 16));
    tables.rowsAlike = tables.columnsAlike = true;
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) {
            tables.rowsAlike = tables.rowsAlike && tables.pair[0][8 * y + x] == tables.pair[0][x];
            tables.columnsAlike =
                tables.columnsAlike && tables.pair[1][8 * y + x] == tables.pair[1][8 * y];
        }
    for (int i = 0; i < 8; ++i) {
        tables.rowPair[i] = tables.pair[0][i];
        tables.columnPair[i] = tables.pair[1][8 * i];
    }
}

uint64_t DequantiseScalar(const int* pQuant, const int* pBlock, int* pCoef) {
    uint64_t mask = 0;
    for (int j = 0; j < 64; ++j) {
        pCoef[j] =
            static_cast<int>(static_cast<uint32_t>(pQuant[j]) * static_cast<uint32_t>(pBlock[j]));
        mask |= static_cast<uint64_t>(pBlock[j] != 0) << j;
    }
    return mask;
}

void TransformScalar(const STransformTables& tables, const int* pCoef, uint64_t nMask, int nShift,
                     int* pOut, int nOutStride) {
    uint32_t sum[64] = {};
    for (uint64_t m = nMask; m != 0; m &= m - 1) {
        int k = LowestBit(m);
        const int* b = tables.basis[k];
        uint32_t v = static_cast<uint32_t>(pCoef[k]);
        for (int j = 0; j < 64; ++j) sum[j] += v * static_cast<uint32_t>(b[j]);
    }
    // (S / 4) / 256 with truncation toward zero equals S / 1024 truncated.
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) pOut[y * nOutStride + x] = Wrap(sum[8 * y + x]) / 1024 + nShift;
}

void ColourScalar(const int* pY, const int* pCb, const int* pCr, int n, unsigned char* pDst) {
    for (int i = 0; i < n; ++i) {
        int qb, qg, qr;
        ChromaTerms(pCb[i], pCr[i], qb, qg, qr);
        uint32_t y = static_cast<uint32_t>(pY[i]);
        pDst[3 * i + 0] = Clamp255(Wrap(y + static_cast<uint32_t>(qb)));
        pDst[3 * i + 1] = Clamp255(Wrap(y - static_cast<uint32_t>(qg)));
        pDst[3 * i + 2] = Clamp255(Wrap(y + static_cast<uint32_t>(qr)));
    }
}

void ColourRowsScalar(const int* pY, const int* pCb, const int* pCr, int nPlaneStride, int n,
                      int nRows, unsigned char* pDst, ptrdiff_t nDstStride) {
    for (int r = 0; r < nRows; ++r)
        ColourScalar(pY + r * nPlaneStride, pCb + r * nPlaneStride, pCr + r * nPlaneStride, n,
                     pDst + r * nDstStride);
}

void GreyRowsScalar(const int* pY, const int*, const int*, int nPlaneStride, int n, int nRows,
                    unsigned char* pDst, ptrdiff_t nDstStride) {
    for (int r = 0; r < nRows; ++r) {
        const int* y = pY + r * nPlaneStride;
        unsigned char* d = pDst + r * nDstStride;
        for (int i = 0; i < n; ++i) d[3 * i] = d[3 * i + 1] = d[3 * i + 2] = Clamp255(y[i]);
    }
}

void ColourHalfScalar(const int* pY, int nYStride, const int* pCb, const int* pCr, int nCStride,
                      int n, int nRows, int nVf, unsigned char* pDst, ptrdiff_t nDstStride) {
    for (int r = 0; r < nRows; r += nVf) {
        const int* cb = pCb + (r / nVf) * nCStride;
        const int* cr = pCr + (r / nVf) * nCStride;
        const int rows = nRows - r < nVf ? nRows - r : nVf;
        for (int i = 0; i < n; i += 2) {
            int qb, qg, qr;
            ChromaTerms(cb[i / 2], cr[i / 2], qb, qg, qr);
            for (int v = 0; v < rows; ++v) {
                const int* y = pY + (r + v) * nYStride;
                unsigned char* d = pDst + (r + v) * nDstStride;
                for (int x = i; x < i + 2 && x < n; ++x) {
                    uint32_t l = static_cast<uint32_t>(y[x]);
                    d[3 * x + 0] = Clamp255(Wrap(l + static_cast<uint32_t>(qb)));
                    d[3 * x + 1] = Clamp255(Wrap(l - static_cast<uint32_t>(qg)));
                    d[3 * x + 2] = Clamp255(Wrap(l + static_cast<uint32_t>(qr)));
                }
            }
        }
    }
}

#if PHOTOGEO_JPEG_X86_SIMD
void TransformSse2(const STransformTables& tables, const int* pCoef, uint64_t nMask, int nShift,
                   int* pOut, int nOutStride) {
    if (!FitsInt16(pCoef)) {
        TransformScalar(tables, pCoef, nMask, nShift, pOut, nOutStride);
        return;
    }
    const __m128i shift = _mm_set1_epi32(nShift);
    const __m128i round = _mm_set1_epi32(1023);
    const uint64_t pairs = PairMask(nMask);
    // Two halves of 32 sums, so that the eight accumulators stay in registers.
    for (int half = 0; half < 64; half += 32) {
        __m128i a0 = _mm_setzero_si128(), a1 = a0, a2 = a0, a3 = a0, a4 = a0, a5 = a0, a6 = a0,
                a7 = a0;
        for (uint64_t m = pairs; m != 0; m &= m - 1) {
            int k = LowestBit(m);
            const __m128i* b = reinterpret_cast<const __m128i*>(tables.pair[k >> 1] + half);
            __m128i v =
                _mm_set1_epi32(static_cast<int>((static_cast<uint32_t>(pCoef[k]) & 0xFFFFu) |
                                                (static_cast<uint32_t>(pCoef[k + 1]) << 16)));
            a0 = _mm_add_epi32(a0, _mm_madd_epi16(_mm_load_si128(b + 0), v));
            a1 = _mm_add_epi32(a1, _mm_madd_epi16(_mm_load_si128(b + 1), v));
            a2 = _mm_add_epi32(a2, _mm_madd_epi16(_mm_load_si128(b + 2), v));
            a3 = _mm_add_epi32(a3, _mm_madd_epi16(_mm_load_si128(b + 3), v));
            a4 = _mm_add_epi32(a4, _mm_madd_epi16(_mm_load_si128(b + 4), v));
            a5 = _mm_add_epi32(a5, _mm_madd_epi16(_mm_load_si128(b + 5), v));
            a6 = _mm_add_epi32(a6, _mm_madd_epi16(_mm_load_si128(b + 6), v));
            a7 = _mm_add_epi32(a7, _mm_madd_epi16(_mm_load_si128(b + 7), v));
        }
        __m128i acc[8] = {a0, a1, a2, a3, a4, a5, a6, a7};
        for (int q = 0; q < 8; ++q) {
            __m128i s = acc[q];
            __m128i neg = _mm_and_si128(_mm_srai_epi32(s, 31), round);
            s = _mm_add_epi32(_mm_srai_epi32(_mm_add_epi32(s, neg), 10), shift);
            int j = half + 4 * q;  // pixel position: row j / 8, columns j % 8 to j % 8 + 3
            _mm_storeu_si128(reinterpret_cast<__m128i*>(pOut + (j >> 3) * nOutStride + (j & 7)), s);
        }
    }
}

// n / 10000 truncated toward zero for |n| < 2^24, in SSE2 alone: |n| * 13743896 >> 37 is
// floor(|n| / 10000) there (13743896 = ceil(2^37 / 10000) exceeds 2^37 / 10000 by less than
// 2^37 / 2^24 / 10000, so the error stays below one unit), then the sign of n.
static inline __m128i Div10000Sse2(__m128i n) {
    const __m128i magic = _mm_set1_epi32(13743896);
    __m128i sign = _mm_srai_epi32(n, 31);
    __m128i a = _mm_sub_epi32(_mm_xor_si128(n, sign), sign);
    __m128i even = _mm_srli_epi64(_mm_mul_epu32(a, magic), 37);
    __m128i odd = _mm_srli_epi64(_mm_mul_epu32(_mm_srli_epi64(a, 32), magic), 5);
    const __m128i low = _mm_set_epi32(0, -1, 0, -1);
    __m128i q = _mm_or_si128(_mm_and_si128(even, low), _mm_andnot_si128(low, odd));
    return _mm_sub_epi32(_mm_xor_si128(q, sign), sign);
}

void ColourSse2(const int* pY, const int* pCb, const int* pCr, int n, unsigned char* pDst) {
    const __m128i lo = _mm_set1_epi32(kColourMin - 1);
    const __m128i hi = _mm_set1_epi32(kColourMax + 1);
    const __m128i low16 = _mm_set1_epi32(0xFFFF);
    const __m128i k128 = _mm_set1_epi32(128);
    int i = 0;
    for (; i + 4 <= n; i += 4) {
        __m128i y = _mm_loadu_si128(reinterpret_cast<const __m128i*>(pY + i));
        __m128i cb = _mm_loadu_si128(reinterpret_cast<const __m128i*>(pCb + i));
        __m128i cr = _mm_loadu_si128(reinterpret_cast<const __m128i*>(pCr + i));
        __m128i inside =
            _mm_and_si128(_mm_and_si128(_mm_cmpgt_epi32(cb, lo), _mm_cmplt_epi32(cb, hi)),
                          _mm_and_si128(_mm_cmpgt_epi32(cr, lo), _mm_cmplt_epi32(cr, hi)));
        if (_mm_movemask_epi8(inside) != 0xFFFF) {
            ColourScalar(pY + i, pCb + i, pCr + i, 4, pDst + 3 * i);
            continue;
        }
        // Cb and Cr fit in 16 bits here, so each numerator is one pmaddwd of 16-bit pairs.
        __m128i nb =
            _mm_madd_epi16(_mm_and_si128(_mm_sub_epi32(cb, k128), low16), _mm_set1_epi32(17718));
        __m128i nr =
            _mm_madd_epi16(_mm_and_si128(_mm_sub_epi32(cr, k128), low16), _mm_set1_epi32(14020));
        __m128i pair = _mm_or_si128(_mm_and_si128(cr, low16), _mm_slli_epi32(cb, 16));
        __m128i ng = _mm_sub_epi32(_mm_madd_epi16(pair, _mm_set1_epi32(7139 | (3441 << 16))),
                                   _mm_set1_epi32(1354240));
        __m128i b = _mm_add_epi32(y, Div10000Sse2(nb));
        __m128i g = _mm_sub_epi32(y, Div10000Sse2(ng));
        __m128i r = _mm_add_epi32(y, Div10000Sse2(nr));
        // Saturating packs clamp exactly: to 16 bits, then to 0..255.
        __m128i bg = _mm_packus_epi16(_mm_packs_epi32(b, g), _mm_setzero_si128());
        __m128i rr = _mm_packus_epi16(_mm_packs_epi32(r, r), _mm_setzero_si128());
        alignas(16) unsigned char t[32];
        _mm_store_si128(reinterpret_cast<__m128i*>(t), bg);
        _mm_store_si128(reinterpret_cast<__m128i*>(t + 16), rr);
        unsigned char* d = pDst + 3 * i;
        for (int k = 0; k < 4; ++k) {
            d[3 * k + 0] = t[k];
            d[3 * k + 1] = t[4 + k];
            d[3 * k + 2] = t[16 + k];
        }
    }
    if (i < n) ColourScalar(pY + i, pCb + i, pCr + i, n - i, pDst + 3 * i);
}

void ColourRowsSse2(const int* pY, const int* pCb, const int* pCr, int nPlaneStride, int n,
                    int nRows, unsigned char* pDst, ptrdiff_t nDstStride) {
    for (int r = 0; r < nRows; ++r)
        ColourSse2(pY + r * nPlaneStride, pCb + r * nPlaneStride, pCr + r * nPlaneStride, n,
                   pDst + r * nDstStride);
}

bool CpuHasAvx2() {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2") != 0;
}

#endif  // PHOTOGEO_JPEG_X86_SIMD

#if PHOTOGEO_JPEG_VNNI
// CPUID leaf 7, sub-leaf 1, EAX bit 4 (not every compiler's __builtin_cpu_supports knows the
// name); the AVX2 check before it covers the system's saving of the registers.
bool CpuHasAvxVnni() {
    const unsigned kAvxVnniBit = 1u << 4;
    unsigned a = 0, b = 0, c = 0, d = 0;
    return __get_cpuid_count(7, 1, &a, &b, &c, &d) != 0 && (a & kAvxVnniBit) != 0;
}
#endif

std::vector<SKernels> AllKernels() {
    std::vector<SKernels> all = {SKernels{DequantiseScalar,
                                          TransformScalar,
                                          {{TransformScalar, nullptr}, {nullptr, nullptr}},
                                          ColourRowsScalar,
                                          GreyRowsScalar,
                                          ColourHalfScalar}};
#if PHOTOGEO_JPEG_X86_SIMD
    all.push_back(SKernels{DequantiseScalar,
                           TransformSse2,
                           {{TransformSse2, nullptr}, {nullptr, nullptr}},
                           ColourRowsSse2,
                           GreyRowsScalar,
                           ColourHalfScalar});
    if (CpuHasAvx2())
        all.push_back(
            SKernels{DequantiseAvx2,
                     TransformAvx2,
                     {{TransformAvx2, TransformAvx2V2}, {TransformAvx2H2, TransformAvx2H2V2}},
                     ColourRowsAvx2,
                     GreyRowsAvx2,
                     ColourHalfAvx2});
#endif
#if PHOTOGEO_JPEG_VNNI
    if (CpuHasAvx2() && CpuHasAvxVnni())
        all.push_back(
            SKernels{DequantiseAvx2,
                     TransformVnni,
                     {{TransformVnni, TransformVnniV2}, {TransformVnniH2, TransformVnniH2V2}},
                     ColourRowsAvx2,
                     GreyRowsAvx2,
                     ColourHalfAvx2});
#endif
    return all;
}

const SKernels& Kernels() {
    static const SKernels kernels = AllKernels().back();
    return kernels;
}

}  // namespace photogeo::jpeg
