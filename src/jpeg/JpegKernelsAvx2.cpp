// The AVX2 forms of the inverse transform and colour conversion (see JpegKernels.h), compiled
// for AVX2 alone and called only when the processor has it (JpegKernels.cpp chooses).
//
// The transform is JpegKernelsAvx2.h's with pmaddwd and an add per pair. The colour conversion
// works on 16 pixels: the three numerators of each from one pmaddwd of 16-bit (Cb - 128, Cr - 128)
// pairs, an exact division through a float product (in the checked range, see kColourMin and
// Div10000), saturating packs for the clamp, and byte shuffles that interleave blue, green and red
// into 48 output bytes.
#include "jpeg/JpegKernelsAvx2.h"

#if PHOTOGEO_JPEG_X86_SIMD
#include <immintrin.h>

#include <cstdint>

namespace photogeo::jpeg {

namespace {

// Shuffle masks taking the 16 grey bytes of 16 pixels to the three 16-byte thirds of their
// output, each byte to all three channels: byte j of third t is pixel (16t + j) / 3.
struct SGrey {
    alignas(16) signed char mask[3][16];
    constexpr SGrey() : mask() {
        for (int t = 0; t < 3; ++t)
            for (int j = 0; j < 16; ++j) mask[t][j] = static_cast<signed char>((16 * t + j) / 3);
    }
};
constexpr SGrey kGrey;

// 16 int32 lanes (two registers) to 16 clamped bytes in pixel order.
inline __m128i PackBytes(__m256i a, __m256i b) {
    __m256i w = _mm256_permute4x64_epi64(_mm256_packs_epi32(a, b), 0xD8);
    __m256i u = _mm256_packus_epi16(w, w);
    return _mm256_castsi256_si128(_mm256_permute4x64_epi64(u, 0x08));
}

}  // namespace

namespace {

// The zero bytes among 32 values (four registers) as 32 mask bits: packed to 8 bits with
// saturation (which keeps non-zero values non-zero), in the order 0 2 4 6 1 3 5 7 of 4-value
// runs that the packs leave and vpermd undoes.
inline uint32_t ZeroBits(__m256i b0, __m256i b1, __m256i b2, __m256i b3) {
    __m256i v = _mm256_packs_epi16(_mm256_packs_epi32(b0, b1), _mm256_packs_epi32(b2, b3));
    v = _mm256_permutevar8x32_epi32(v, _mm256_setr_epi32(0, 4, 1, 5, 2, 6, 3, 7));
    return static_cast<uint32_t>(
        _mm256_movemask_epi8(_mm256_cmpeq_epi8(v, _mm256_setzero_si256())));
}

inline void DequantiseGroup(const int* pQuant, __m256i b, int g, int* pCoef) {
    _mm256_storeu_si256(
        reinterpret_cast<__m256i*>(pCoef + 8 * g),
        _mm256_mullo_epi32(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(pQuant + 8 * g)),
                           b));
}

const uintptr_t kCacheLine = 64;
const uintptr_t kPrefetchAhead = 4 * 64 * sizeof(int);

}  // namespace

uint64_t DequantiseAvx2(const int* pQuant, const int* pBlock, int* pCoef) {
    // The stored block four blocks on (two to four MCUs ahead in a component's row) is asked
    // for now: the stores of a large image do not fit the caches. The address is worked out as
    // an integer, as it may lie past the row's end, where a prefetch is harmless.
    const uintptr_t ahead = reinterpret_cast<uintptr_t>(pBlock) + kPrefetchAhead;
    for (uintptr_t line = 0; line < 64 * sizeof(int); line += kCacheLine)
        _mm_prefetch(reinterpret_cast<const char*>(ahead + line), _MM_HINT_T0);
    auto load = [pBlock](int g) {
        return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(pBlock + 8 * g));
    };
    const __m256i b0 = load(0), b1 = load(1), b2 = load(2), b3 = load(3), b4 = load(4),
                  b5 = load(5), b6 = load(6), b7 = load(7);
    const uint64_t mask =
        ~(ZeroBits(b0, b1, b2, b3) | static_cast<uint64_t>(ZeroBits(b4, b5, b6, b7)) << 32);
    DequantiseGroup(pQuant, b0, 0, pCoef);
    DequantiseGroup(pQuant, b1, 1, pCoef);
    DequantiseGroup(pQuant, b2, 2, pCoef);
    DequantiseGroup(pQuant, b3, 3, pCoef);
    DequantiseGroup(pQuant, b4, 4, pCoef);
    DequantiseGroup(pQuant, b5, 5, pCoef);
    DequantiseGroup(pQuant, b6, 6, pCoef);
    DequantiseGroup(pQuant, b7, 7, pCoef);
    return mask;
}

namespace {

// A pair's products added to the sums: pmaddwd, then an add (in the operand order that keeps GCC
// from copying each sum between registers).
struct SMaddAdd {
    static __m256i Add(__m256i sum, __m256i pair, __m256i images) {
        return _mm256_add_epi32(_mm256_madd_epi16(pair, images), sum);
    }
};

}  // namespace

void TransformAvx2(const STransformTables& tables, const int* pCoef, uint64_t nMask, int nShift,
                   int* pOut, int nOutStride) {
    TransformReplicated<SMaddAdd, 1, 1>(tables, pCoef, nMask, nShift, pOut, nOutStride);
}

void TransformAvx2H2(const STransformTables& tables, const int* pCoef, uint64_t nMask, int nShift,
                     int* pOut, int nOutStride) {
    TransformReplicated<SMaddAdd, 2, 1>(tables, pCoef, nMask, nShift, pOut, nOutStride);
}

void TransformAvx2V2(const STransformTables& tables, const int* pCoef, uint64_t nMask, int nShift,
                     int* pOut, int nOutStride) {
    TransformReplicated<SMaddAdd, 1, 2>(tables, pCoef, nMask, nShift, pOut, nOutStride);
}

void TransformAvx2H2V2(const STransformTables& tables, const int* pCoef, uint64_t nMask, int nShift,
                       int* pOut, int nOutStride) {
    TransformReplicated<SMaddAdd, 2, 2>(tables, pCoef, nMask, nShift, pOut, nOutStride);
}

namespace {

// Blue, green and red of eight pixels before the clamp, which the saturating packs perform.
struct SChannels {
    __m256i b, g, r;
};

// True while the processor rounds to nearest with the inexact exception masked (the state every
// program starts in): the condition of Div10000. A caller that changed it gets the scalar forms.
inline bool NearestRounding() {
    const unsigned kRoundingAndInexactMask = 0x7000u;  // MXCSR bits 12 (inexact masked), 13-14
    return (_mm_getcsr() & kRoundingAndInexactMask) == 0x1000u;
}

// n / 10000 truncated toward zero, for |n| < 2^24, as the float product n * f truncated, f being
// 1 / 10000 rounded to the nearest float: n converts exactly, and the product rounded to nearest
// never reaches the next integer nor falls below a multiple of 10000 -- checked once for every
// n from 0 to 2^24 - 1 (negative n mirror them exactly, as the conversion, the product and the
// truncation are all odd functions).
inline __m256i Div10000(__m256i n) {
    return _mm256_cvttps_epi32(_mm256_mul_ps(_mm256_cvtepi32_ps(n), _mm256_set1_ps(1.0f / 10000)));
}

// The quotients of the colour formulas (blue = Y + b, green = Y - g, red = Y + r) for 16 Cb, Cr
// pairs, given as two runs of eight (run 0 at pCb0/pCr0 to lo, run 1 at pCb1/pCr1 to hi), or false
// when one lies outside kColourMin..kColourMax. Inside, Cb - 128 and Cr - 128 fit in 16 bits and
// every numerator is below 2^24 in magnitude: one pmaddwd of (Cb - 128, Cr - 128) pairs each.
inline bool Terms16(const int* pCb0, const int* pCb1, const int* pCr0, const int* pCr1,
                    SChannels& lo, SChannels& hi) {
    auto load = [](const int* p) {
        return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
    };
    // Saturated to 16 bits, lanes in the order 0-3, 8-11, 4-7, 12-15 (a value that saturates lies
    // outside the range as well).
    __m256i cb = _mm256_packs_epi32(load(pCb0), load(pCb1));
    __m256i cr = _mm256_packs_epi32(load(pCr0), load(pCr1));
    // x - kColourMin read unsigned is at most the span exactly inside the range.
    const __m256i lowest = _mm256_set1_epi16(static_cast<short>(kColourMin));
    const __m256i span = _mm256_set1_epi16(static_cast<short>(kColourMax - kColourMin));
    __m256i t = _mm256_max_epu16(_mm256_sub_epi16(cb, lowest), _mm256_sub_epi16(cr, lowest));
    if (_mm256_movemask_epi8(_mm256_cmpeq_epi16(_mm256_max_epu16(t, span), span)) != -1)
        return false;
    const __m256i k128 = _mm256_set1_epi16(128);
    cb = _mm256_sub_epi16(cb, k128);
    cr = _mm256_sub_epi16(cr, k128);
    // The unpacks undo the pack's order: pairs of samples 0-7, then 8-15.
    const __m256i p0 = _mm256_unpacklo_epi16(cb, cr), p1 = _mm256_unpackhi_epi16(cb, cr);
    const __m256i kb = _mm256_set1_epi32(17718);
    const __m256i kg = _mm256_set1_epi32(3441 | (7139 << 16));
    const __m256i kr = _mm256_set1_epi32(14020 << 16);
    lo = SChannels{Div10000(_mm256_madd_epi16(p0, kb)), Div10000(_mm256_madd_epi16(p0, kg)),
                   Div10000(_mm256_madd_epi16(p0, kr))};
    hi = SChannels{Div10000(_mm256_madd_epi16(p1, kb)), Div10000(_mm256_madd_epi16(p1, kg)),
                   Div10000(_mm256_madd_epi16(p1, kr))};
    return true;
}

inline SChannels Apply(const int* pY, const SChannels& q) {
    __m256i y = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(pY));
    return SChannels{_mm256_add_epi32(y, q.b), _mm256_sub_epi32(y, q.g), _mm256_add_epi32(y, q.r)};
}

// Shuffle masks for Interleave48: mask[h][s] gives output half h (0: bytes 0-31, 1: bytes 32-47
// in its low lane) from source s: 0 and 1 the packed blue-green bytes as they are and with their
// lanes swapped, 2 and 3 the packed red bytes likewise. In the packed registers pixel p sits in
// lane (p >> 2) & 1 at byte (p & 3) + (p & 8 ? 4 : 0) (green 8 bytes further).
struct SInterleave48 {
    alignas(32) signed char mask[2][4][32];
    constexpr SInterleave48() : mask() {
        for (int h = 0; h < 2; ++h)
            for (int j = 0; j < 32; ++j) {
                const int o = 32 * h + j;  // output byte
                const int lane = j >> 4;   // output lane
                for (int s = 0; s < 4; ++s) mask[h][s][j] = -128;
                if (o >= 48) continue;
                const int p = o / 3, c = o % 3;
                const int from = (p >> 2) & 1;
                const int byte = (p & 3) + ((p & 8) ? 4 : 0) + (c == 1 ? 8 : 0);
                const int s = (c == 2 ? 2 : 0) + (from == lane ? 0 : 1);
                mask[h][s][j] = static_cast<signed char>(byte);
            }
    }
};
constexpr SInterleave48 kInterleave48;

// 16 pixels (c0: 0-7, c1: 8-15) clamped to bytes and interleaved as blue, green, red: bytes 0-31
// to out01, bytes 32-47 to the low lane of out2.
inline void Interleave48(const SChannels& c0, const SChannels& c1, __m256i& out01, __m256i& out2) {
    __m256i bg =
        _mm256_packus_epi16(_mm256_packs_epi32(c0.b, c1.b), _mm256_packs_epi32(c0.g, c1.g));
    __m256i rw = _mm256_packs_epi32(c0.r, c1.r);
    __m256i rr = _mm256_packus_epi16(rw, rw);
    const __m256i src[4] = {bg, _mm256_permute2x128_si256(bg, bg, 0x01), rr,
                            _mm256_permute2x128_si256(rr, rr, 0x01)};
    __m256i out[2];
    for (int h = 0; h < 2; ++h) {
        const __m256i* m = reinterpret_cast<const __m256i*>(kInterleave48.mask[h]);
        out[h] =
            _mm256_or_si256(_mm256_or_si256(_mm256_shuffle_epi8(src[0], _mm256_load_si256(m + 0)),
                                            _mm256_shuffle_epi8(src[1], _mm256_load_si256(m + 1))),
                            _mm256_or_si256(_mm256_shuffle_epi8(src[2], _mm256_load_si256(m + 2)),
                                            _mm256_shuffle_epi8(src[3], _mm256_load_si256(m + 3))));
    }
    out01 = out[0];
    out2 = out[1];
}

inline void Store48(unsigned char* pDst, __m256i out01, __m256i out2) {
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(pDst), out01);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(pDst + 32), _mm256_castsi256_si128(out2));
}

// Bytes 0-23 to pDst0 and 24-47 to pDst1: two rows of eight pixels.
inline void Store24Twice(unsigned char* pDst0, unsigned char* pDst1, __m256i out01, __m256i out2) {
    const __m128i upper = _mm256_extracti128_si256(out01, 1);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(pDst0), _mm256_castsi256_si128(out01));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(pDst0 + 16), upper);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(pDst1), _mm_srli_si128(upper, 8));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(pDst1 + 8), _mm256_castsi256_si128(out2));
}

// Each of eight quotients twice: for the 16 pixels that eight half-width chroma samples cover.
inline void Widen(const SChannels& q, SChannels& left, SChannels& right) {
    const __m256i l = _mm256_setr_epi32(0, 0, 1, 1, 2, 2, 3, 3);
    const __m256i r = _mm256_setr_epi32(4, 4, 5, 5, 6, 6, 7, 7);
    left = SChannels{_mm256_permutevar8x32_epi32(q.b, l), _mm256_permutevar8x32_epi32(q.g, l),
                     _mm256_permutevar8x32_epi32(q.r, l)};
    right = SChannels{_mm256_permutevar8x32_epi32(q.b, r), _mm256_permutevar8x32_epi32(q.g, r),
                      _mm256_permutevar8x32_epi32(q.r, r)};
}

// ColourRowsAvx2 over an even number of rows of eight pixels, two rows at a time.
__attribute__((noinline)) void ColourRowPairs(const int* pY, const int* pCb, const int* pCr,
                                              int nPlaneStride, int nRows, unsigned char* pDst,
                                              ptrdiff_t nDstStride) {
    for (int row = 0; row < nRows; row += 2, pY += 2 * nPlaneStride, pCb += 2 * nPlaneStride,
             pCr += 2 * nPlaneStride, pDst += 2 * nDstStride) {
        SChannels q0, q1;
        if (!Terms16(pCb, pCb + nPlaneStride, pCr, pCr + nPlaneStride, q0, q1)) {
            ColourRowsScalar(pY, pCb, pCr, nPlaneStride, 8, 2, pDst, nDstStride);
            continue;
        }
        __m256i out01, out2;
        Interleave48(Apply(pY, q0), Apply(pY + nPlaneStride, q1), out01, out2);
        Store24Twice(pDst, pDst + nDstStride, out01, out2);
    }
}

// ColourHalfAvx2 over whole MCUs of 16 pixels across and a whole number of chroma row pairs
// (the common case), with the chroma rows' pixel rows (VF) fixed.
template <int VF>
void ColourHalfWhole(const int* pY, int nYStride, const int* pCb, const int* pCr, int nCStride,
                     int nRows, unsigned char* pDst, ptrdiff_t nDstStride) {
    for (int c = 0; c < nRows / VF; c += 2) {
        const int* cb = pCb + c * nCStride;
        const int* cr = pCr + c * nCStride;
        const int* y = pY + c * VF * nYStride;
        unsigned char* d = pDst + c * VF * nDstStride;
        SChannels q[2];
        if (!Terms16(cb, cb + nCStride, cr, cr + nCStride, q[0], q[1])) {
            ColourHalfScalar(y, nYStride, cb, cr, nCStride, 16, 2 * VF, VF, d, nDstStride);
            continue;
        }
        for (int h = 0; h < 2; ++h) {
            SChannels left, right;
            Widen(q[h], left, right);
            for (int v = 0; v < VF; ++v, y += nYStride, d += nDstStride) {
                __m256i out01, out2;
                Interleave48(Apply(y, left), Apply(y + 8, right), out01, out2);
                Store48(d, out01, out2);
            }
        }
    }
}

}  // namespace

namespace {

// ColourRowsAvx2 for other widths: 16 pixels at a time, then eight, then the scalar form.
__attribute__((noinline)) void ColourRowsAny(const int* pY, const int* pCb, const int* pCr,
                                             int nPlaneStride, int n, int nRows,
                                             unsigned char* pDst, ptrdiff_t nDstStride) {
    for (int row = 0; row < nRows;
         ++row, pY += nPlaneStride, pCb += nPlaneStride, pCr += nPlaneStride, pDst += nDstStride) {
        int i = 0;
        for (; i + 16 <= n; i += 16) {
            SChannels q0, q1;
            if (!Terms16(pCb + i, pCb + i + 8, pCr + i, pCr + i + 8, q0, q1)) {
                ColourScalar(pY + i, pCb + i, pCr + i, 16, pDst + 3 * i);
                continue;
            }
            __m256i out01, out2;
            Interleave48(Apply(pY + i, q0), Apply(pY + i + 8, q1), out01, out2);
            Store48(pDst + 3 * i, out01, out2);
        }
        SChannels q0, q1;
        if (i + 8 <= n && Terms16(pCb + i, pCb + i, pCr + i, pCr + i, q0, q1)) {
            // Eight pixels: the first 24 bytes.
            __m256i out01, out2;
            const SChannels c = Apply(pY + i, q0);
            Interleave48(c, c, out01, out2);
            _mm_storeu_si128(reinterpret_cast<__m128i*>(pDst + 3 * i),
                             _mm256_castsi256_si128(out01));
            _mm_storel_epi64(reinterpret_cast<__m128i*>(pDst + 3 * i + 16),
                             _mm256_extracti128_si256(out01, 1));
            i += 8;
        }
        if (i < n) ColourScalar(pY + i, pCb + i, pCr + i, n - i, pDst + 3 * i);
    }
}

}  // namespace

void ColourRowsAvx2(const int* pY, const int* pCb, const int* pCr, int nPlaneStride, int n,
                    int nRows, unsigned char* pDst, ptrdiff_t nDstStride) {
    if (!NearestRounding())
        ColourRowsScalar(pY, pCb, pCr, nPlaneStride, n, nRows, pDst, nDstStride);
    else if (n == 8 && nRows % 2 == 0)
        // Rows of eight (the MCU width of 4:4:4 images) are taken two at a time: 48 bytes.
        ColourRowPairs(pY, pCb, pCr, nPlaneStride, nRows, pDst, nDstStride);
    else
        ColourRowsAny(pY, pCb, pCr, nPlaneStride, n, nRows, pDst, nDstStride);
}

void ColourHalfAvx2(const int* pY, int nYStride, const int* pCb, const int* pCr, int nCStride,
                    int n, int nRows, int nVf, unsigned char* pDst, ptrdiff_t nDstStride) {
    if (!NearestRounding()) {
        ColourHalfScalar(pY, nYStride, pCb, pCr, nCStride, n, nRows, nVf, pDst, nDstStride);
        return;
    }
    // Two chroma rows at a time (16 samples give the quotients), each standing for nVf rows of
    // pixels; eight samples of a chroma row cover 16 pixels.
    if (n == 16 && nRows % (2 * nVf) == 0) {
        if (nVf == 2)
            ColourHalfWhole<2>(pY, nYStride, pCb, pCr, nCStride, nRows, pDst, nDstStride);
        else
            ColourHalfWhole<1>(pY, nYStride, pCb, pCr, nCStride, nRows, pDst, nDstStride);
        return;
    }
    const int whole = n & ~15;
    for (int r = 0; r < nRows; r += 2 * nVf) {
        const int c = r / nVf;
        const int rows = nRows - r < 2 * nVf ? nRows - r : 2 * nVf;
        const int second = rows > nVf ? 1 : 0;  // whether the second chroma row has pixels here
        const int* cb = pCb + c * nCStride;
        const int* cr = pCr + c * nCStride;
        for (int i = 0; i < whole; i += 16) {
            SChannels q[2];
            if (!Terms16(cb + i / 2, cb + second * nCStride + i / 2, cr + i / 2,
                         cr + second * nCStride + i / 2, q[0], q[1])) {
                ColourHalfScalar(pY + r * nYStride + i, nYStride, cb + i / 2, cr + i / 2, nCStride,
                                 16, rows, nVf, pDst + r * nDstStride + 3 * i, nDstStride);
                continue;
            }
            for (int h = 0; h <= second; ++h) {
                SChannels left, right;
                Widen(q[h], left, right);
                const int first = r + h * nVf;
                const int last = h == 0 ? r + (rows < nVf ? rows : nVf) : r + rows;
                for (int v = first; v < last; ++v) {
                    const int* y = pY + v * nYStride + i;
                    __m256i out01, out2;
                    Interleave48(Apply(y, left), Apply(y + 8, right), out01, out2);
                    Store48(pDst + v * nDstStride + 3 * i, out01, out2);
                }
            }
        }
        if (whole < n)
            ColourHalfScalar(pY + r * nYStride + whole, nYStride, cb + whole / 2, cr + whole / 2,
                             nCStride, n - whole, rows, nVf, pDst + r * nDstStride + 3 * whole,
                             nDstStride);
    }
}

void GreyRowsAvx2(const int* pY, const int*, const int*, int nPlaneStride, int n, int nRows,
                  unsigned char* pDst, ptrdiff_t nDstStride) {
    const __m128i* m = reinterpret_cast<const __m128i*>(kGrey.mask);
    for (int row = 0; row < nRows; ++row, pY += nPlaneStride, pDst += nDstStride) {
        int i = 0;
        for (; i + 16 <= n; i += 16) {
            __m128i v = PackBytes(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(pY + i)),
                                  _mm256_loadu_si256(reinterpret_cast<const __m256i*>(pY + i + 8)));
            __m128i* d = reinterpret_cast<__m128i*>(pDst + 3 * i);
            _mm_storeu_si128(d + 0, _mm_shuffle_epi8(v, _mm_load_si128(m + 0)));
            _mm_storeu_si128(d + 1, _mm_shuffle_epi8(v, _mm_load_si128(m + 1)));
            _mm_storeu_si128(d + 2, _mm_shuffle_epi8(v, _mm_load_si128(m + 2)));
        }
        if (i + 8 <= n) {
            __m256i y = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(pY + i));
            __m128i v = PackBytes(y, y);
            unsigned char* d = pDst + 3 * i;
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
