// The arithmetic kernels of the JPEG decoder, in the forms the decoders call: dequantisation of
// a stored block, the basis-image inverse transform of one block (also writing replicated
// samples), and the YCbCr or greyscale to BGR output of one MCU. Each has a portable scalar form;
// on x86-64 (unless the build sets PHOTOGEO_SIMD=0) there are SSE2 forms, AVX2 forms and an
// AVX-VNNI transform, chosen at run time. All give exactly the result of the plain integer
// formulas, which the tests check.
#ifndef PHOTOGEO_JPEG_JPEGKERNELS_H
#define PHOTOGEO_JPEG_JPEGKERNELS_H

#include <cstddef>
#include <cstdint>
#include <vector>

// PHOTOGEO_JPEG_X86_SIMD: 1 where the SSE2 and AVX2 forms are compiled (x86-64 with SIMD enabled).
#ifndef PHOTOGEO_SIMD
#define PHOTOGEO_SIMD 1
#endif
#if PHOTOGEO_SIMD && (defined(__x86_64__) || defined(_M_X64))
#define PHOTOGEO_JPEG_X86_SIMD 1
#else
#define PHOTOGEO_JPEG_X86_SIMD 0
#endif
// PHOTOGEO_JPEG_VNNI: 1 where the AVX-VNNI transform is compiled too (the build sets
// PHOTOGEO_JPEG_HAVE_VNNI when the compiler takes -mavxvnni).
#if PHOTOGEO_JPEG_X86_SIMD && defined(PHOTOGEO_JPEG_HAVE_VNNI)
#define PHOTOGEO_JPEG_VNNI 1
#else
#define PHOTOGEO_JPEG_VNNI 0
#endif

namespace photogeo::jpeg {

// The small helpers below have internal linkage: each file gets its own copy, so that the copy
// compiled for AVX2 (JpegKernelsAvx2.cpp) is never the one another file calls.
namespace {

// 32-bit two's-complement product and sum, as the 32-bit original computed them; defined for
// every input, which malformed data can make as large as it likes.
inline int MulWrap(int a, int b) {
    return static_cast<int>(static_cast<uint32_t>(a) * static_cast<uint32_t>(b));
}
inline int AddWrap(int a, int b) {
    return static_cast<int>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b));
}

// The index of the lowest set bit of a non-zero mask.
inline int LowestBit(uint64_t m) {
#if defined(__GNUC__)
    return __builtin_ctzll(m);
#else
    int k = 0;
    while ((m & 1) == 0) {
        m >>= 1;
        ++k;
    }
    return k;
#endif
}

// The pairs of coefficients (bit 2p for pair p) that hold a set bit of nMask.
inline uint64_t PairMask(uint64_t nMask) {
    return (nMask | (nMask >> 1)) & 0x5555555555555555ULL;
}

// True when every one of the 64 coefficients fits in 16 bits, the condition of the pmaddwd road.
inline bool FitsInt16(const int* pCoef) {
    uint32_t outside = 0;
    for (int k = 0; k < 64; ++k) outside |= (static_cast<uint32_t>(pCoef[k]) + 0x8000u) >> 16;
    return outside == 0;
}

// The three quotients of the colour formulas for one Cb, Cr pair (blue = Y + b, green = Y - g,
// red = Y + r), in 32-bit wrapping arithmetic.
inline void ChromaTerms(int cb, int cr, int& b, int& g, int& r) {
    uint32_t ucb = static_cast<uint32_t>(cb);
    uint32_t ucr = static_cast<uint32_t>(cr);
    b = static_cast<int>(17718u * (ucb - 128u)) / 10000;
    g = static_cast<int>(7139u * ucr + 3441u * ucb - 1354240u) / 10000;
    r = static_cast<int>(14020u * (ucr - 128u)) / 10000;
}

inline unsigned char Clamp255(int v) {
    return static_cast<unsigned char>(v < 0 ? 0 : (v > 255 ? 255 : v));
}

}  // namespace

// The basis images of the transform (m_nBasis, 64 images of 64 ints, each entry at most 256 in
// magnitude) and, for the vector forms, the same images by pairs of consecutive coefficients:
// pair[p][j] holds entry j of image 2p in its low 16 bits and of image 2p + 1 in its high 16, so
// that one pmaddwd multiplies both coefficients of the pair and adds the products.
//
// Images 0 and 1 (the DC and the first horizontal frequency) repeat one row eight times, and
// images 2 and 3 (the first two vertical frequencies) one column: as pairs, rowPair holds that
// row (entry x of image 0 low, image 1 high) and columnPair that column (entry y), so that one
// pmaddwd gives the pair's sums for a whole row or column. Both are checked on the table itself.
struct STransformTables {
    alignas(32) int32_t pair[32][64];
    alignas(32) int32_t rowPair[8];
    alignas(32) int32_t columnPair[8];
    bool rowsAlike;     // images 0 and 1 have eight equal rows
    bool columnsAlike;  // images 2 and 3 have eight equal columns
    const int (*basis)[64];
};
void BuildTransformTables(const int (*pBasis)[64], STransformTables& tables);

// For the 64 pixel positions j: (S / 4) / 256 + nShift, where S is the sum over the coefficients
// k of pCoef[k] * basis[k][j], pCoef holding the 64 dequantised coefficients of a block in
// zig-zag order. Bit k of nMask must be set for every non-zero pCoef[k]; coefficients whose bit
// is clear are skipped. Products and sums wrap as 32-bit two's-complement ints (as on the 32-bit
// original); both divisions truncate toward zero. Row y of the block (8 ints) goes to
// pOut + y * nOutStride.
typedef void (*TransformFn)(const STransformTables& tables, const int* pCoef, uint64_t nMask,
                            int nShift, int* pOut, int nOutStride);

// The colour output: n pixels as blue, green, red bytes from the luminance, Cb and Cr samples,
//   blue  = Y + (17718 * (Cb - 128)) / 10000
//   green = Y - (7139 * Cr + 3441 * Cb - 1354240) / 10000
//   red   = Y + (14020 * (Cr - 128)) / 10000
// in 32-bit int arithmetic with truncating division, each clamped to 0..255,
// over nRows rows of n pixels: row r of the samples starts nPlaneStride ints after row r - 1,
// row r of the output nDstStride bytes after row r - 1 (negative for a bottom-up bitmap).
typedef void (*ColourRowsFn)(const int* pY, const int* pCb, const int* pCr, int nPlaneStride, int n,
                             int nRows, unsigned char* pDst, ptrdiff_t nDstStride);

// The same output where Cb and Cr have half the luminance's columns and 1/nVf of its rows (nVf
// 1 or 2), each chroma sample standing for a 2 by nVf area as replication gives it: pixel i of
// row r takes the luminance pY[r * nYStride + i] and the chroma at (r / nVf) * nCStride + i / 2.
// The quotients are worked out once per chroma sample.
typedef void (*ColourHalfFn)(const int* pY, int nYStride, const int* pCb, const int* pCr,
                             int nCStride, int n, int nRows, int nVf, unsigned char* pDst,
                             ptrdiff_t nDstStride);

// transformReplicated[hf - 1][vf - 1]: the transform writing each sample hf times across and
// vf times down (a 8hf by 8vf area), as the replication of a component with 1/hf and 1/vf of the
// largest sampling factors needs; null where this processor's forms do not provide it.
// Greyscale output: Cb = Cr = 128 make every quotient above 0, so blue = green = red = Y
// clamped; pCb and pCr are not read.
// pCoef[j] = quant[j] * pBlock[j] (wrapping) for the 64 coefficients of a stored progressive
// block; returns the mask of the coefficients that were non-zero.
typedef uint64_t (*DequantiseFn)(const int* pQuant, const int* pBlock, int* pCoef);

struct SKernels {
    DequantiseFn dequantise;
    TransformFn transform;
    TransformFn transformReplicated[2][2];
    ColourRowsFn colourRows;
    ColourRowsFn greyRows;
    ColourHalfFn colourHalf;
};

// The fastest forms this processor runs, chosen on first use.
const SKernels& Kernels();
// Every set of forms this processor runs, the portable scalar one first (for the tests).
std::vector<SKernels> AllKernels();

uint64_t DequantiseScalar(const int* pQuant, const int* pBlock, int* pCoef);
void TransformScalar(const STransformTables& tables, const int* pCoef, uint64_t nMask, int nShift,
                     int* pOut, int nOutStride);
void ColourScalar(const int* pY, const int* pCb, const int* pCr, int n, unsigned char* pDst);
void ColourRowsScalar(const int* pY, const int* pCb, const int* pCr, int nPlaneStride, int n,
                      int nRows, unsigned char* pDst, ptrdiff_t nDstStride);
void GreyRowsScalar(const int* pY, const int* pCb, const int* pCr, int nPlaneStride, int n,
                    int nRows, unsigned char* pDst, ptrdiff_t nDstStride);
void ColourHalfScalar(const int* pY, int nYStride, const int* pCb, const int* pCr, int nCStride,
                      int n, int nRows, int nVf, unsigned char* pDst, ptrdiff_t nDstStride);
#if PHOTOGEO_JPEG_X86_SIMD
bool CpuHasAvx2();
uint64_t DequantiseAvx2(const int* pQuant, const int* pBlock, int* pCoef);
void TransformSse2(const STransformTables& tables, const int* pCoef, uint64_t nMask, int nShift,
                   int* pOut, int nOutStride);
void TransformAvx2(const STransformTables& tables, const int* pCoef, uint64_t nMask, int nShift,
                   int* pOut, int nOutStride);
void TransformAvx2H2(const STransformTables& tables, const int* pCoef, uint64_t nMask, int nShift,
                     int* pOut, int nOutStride);
void TransformAvx2V2(const STransformTables& tables, const int* pCoef, uint64_t nMask, int nShift,
                     int* pOut, int nOutStride);
void TransformAvx2H2V2(const STransformTables& tables, const int* pCoef, uint64_t nMask, int nShift,
                       int* pOut, int nOutStride);
void ColourSse2(const int* pY, const int* pCb, const int* pCr, int n, unsigned char* pDst);
void ColourRowsSse2(const int* pY, const int* pCb, const int* pCr, int nPlaneStride, int n,
                    int nRows, unsigned char* pDst, ptrdiff_t nDstStride);
void ColourRowsAvx2(const int* pY, const int* pCb, const int* pCr, int nPlaneStride, int n,
                    int nRows, unsigned char* pDst, ptrdiff_t nDstStride);
void GreyRowsAvx2(const int* pY, const int* pCb, const int* pCr, int nPlaneStride, int n, int nRows,
                  unsigned char* pDst, ptrdiff_t nDstStride);
void ColourHalfAvx2(const int* pY, int nYStride, const int* pCb, const int* pCr, int nCStride,
                    int n, int nRows, int nVf, unsigned char* pDst, ptrdiff_t nDstStride);
#endif
#if PHOTOGEO_JPEG_VNNI
bool CpuHasAvxVnni();
void TransformVnni(const STransformTables& tables, const int* pCoef, uint64_t nMask, int nShift,
                   int* pOut, int nOutStride);
void TransformVnniH2(const STransformTables& tables, const int* pCoef, uint64_t nMask, int nShift,
                     int* pOut, int nOutStride);
void TransformVnniV2(const STransformTables& tables, const int* pCoef, uint64_t nMask, int nShift,
                     int* pOut, int nOutStride);
void TransformVnniH2V2(const STransformTables& tables, const int* pCoef, uint64_t nMask, int nShift,
                       int* pOut, int nOutStride);
#endif

// Samples for which the vector colour conversions apply: with Cb and Cr in this range they fit
// in 16 bits and every numerator above is an integer below 2^24 in magnitude, which an exact
// multiply and shift (SSE2) or float product (AVX2) divides by 10000.
const int kColourMin = -512;
const int kColourMax = 767;

}  // namespace photogeo::jpeg

#endif
