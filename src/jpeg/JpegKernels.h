// The two arithmetic kernels of the JPEG decoder, in the forms the decoders call: the
// basis-image inverse transform of one block and the YCbCr to BGR conversion of one run of
// samples. Each has an SSE2 form (always present on x86-64) and an AVX2 form chosen at run time;
// both give exactly the result of the plain integer formulas, which the tests check.
#ifndef PHOTOGEO_JPEG_JPEGKERNELS_H
#define PHOTOGEO_JPEG_JPEGKERNELS_H

#include <cstdint>

namespace pgjpeg {

// 32-bit two's-complement product and sum, as the 32-bit original computed them; defined for
// every input, which malformed data can make as large as it likes.
inline int MulWrap(int a, int b) {
    return static_cast<int>(static_cast<uint32_t>(a) * static_cast<uint32_t>(b));
}
inline int AddWrap(int a, int b) {
    return static_cast<int>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b));
}

// out[j] = (S / 4) / 256 + nShift for the 64 pixel positions j, where S is the sum of
// pValue[i] * pBasis[pIndex[i]][j] over the nCount listed coefficients, taken in 32-bit
// two's-complement arithmetic (products and sums wrap as on the 32-bit original) and both
// divisions truncating toward zero.
typedef void (*TransformFn)(const int (*pBasis)[64], const unsigned char* pIndex, const int* pValue,
                            int nCount, int nShift, int* pOut);

// Writes n pixels as blue, green, red bytes to pDst from the luminance, Cb and Cr samples:
//   blue  = Y + (17718 * (Cb - 128)) / 10000
//   green = Y - (7139 * Cr + 3441 * Cb - 1354240) / 10000
//   red   = Y + (14020 * (Cr - 128)) / 10000
// in 32-bit int arithmetic with truncating division, each clamped to 0..255.
typedef void (*ColourFn)(const int* pY, const int* pCb, const int* pCr, int n, unsigned char* pDst);

struct SKernels {
    TransformFn transform;
    ColourFn colour;
};

// The fastest forms this processor runs, chosen on first use.
const SKernels& Kernels();

bool CpuHasAvx2();
void TransformSse2(const int (*pBasis)[64], const unsigned char* pIndex, const int* pValue,
                   int nCount, int nShift, int* pOut);
void ColourSse2(const int* pY, const int* pCb, const int* pCr, int n, unsigned char* pDst);
void TransformAvx2(const int (*pBasis)[64], const unsigned char* pIndex, const int* pValue,
                   int nCount, int nShift, int* pOut);
void ColourAvx2(const int* pY, const int* pCb, const int* pCr, int n, unsigned char* pDst);

// The scalar forms, used by the vector forms for the samples they do not cover.
void TransformScalar(const int (*pBasis)[64], const unsigned char* pIndex, const int* pValue,
                     int nCount, int nShift, int* pOut);
void ColourScalar(const int* pY, const int* pCb, const int* pCr, int n, unsigned char* pDst);

// Samples for which the vector colour conversion is exact: with Cb and Cr in this range every
// numerator above is an integer below 2^24 in magnitude, so single-precision arithmetic holds it
// exactly, and its quotient by 10000 (below 2048) is rounded by less than the distance to the
// next integer, so truncating the float quotient gives the integer quotient.
const int kColourMin = -512;
const int kColourMax = 767;

}  // namespace pgjpeg

#endif
