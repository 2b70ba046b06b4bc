// The block transform for processors with AVX-VNNI (see JpegKernels.h): JpegKernelsAvx2.h's, with
// each pair's products added to the sums by one vpdpwssd instead of pmaddwd and an add. Compiled
// for AVX2 and AVX-VNNI, called only when the processor has both (JpegKernels.cpp chooses).
#include "jpeg/JpegKernels.h"

#if PHOTOGEO_JPEG_VNNI && defined(__AVX2__) && defined(__AVXVNNI__)
#include <immintrin.h>

#include "jpeg/JpegKernelsAvx2.h"

namespace photogeo::jpeg {

namespace {

struct SDotAdd {
    static __m256i Add(__m256i sum, __m256i pair, __m256i images) {
        return _mm256_dpwssd_avx_epi32(sum, pair, images);
    }
};

}  // namespace

void TransformVnni(const STransformTables& tables, const int* pCoef, uint64_t nMask, int nShift,
                   int* pOut, int nOutStride) {
    TransformReplicated<SDotAdd, 1, 1>(tables, pCoef, nMask, nShift, pOut, nOutStride);
}

void TransformVnniH2(const STransformTables& tables, const int* pCoef, uint64_t nMask, int nShift,
                     int* pOut, int nOutStride) {
    TransformReplicated<SDotAdd, 2, 1>(tables, pCoef, nMask, nShift, pOut, nOutStride);
}

void TransformVnniV2(const STransformTables& tables, const int* pCoef, uint64_t nMask, int nShift,
                     int* pOut, int nOutStride) {
    TransformReplicated<SDotAdd, 1, 2>(tables, pCoef, nMask, nShift, pOut, nOutStride);
}

void TransformVnniH2V2(const STransformTables& tables, const int* pCoef, uint64_t nMask, int nShift,
                       int* pOut, int nOutStride) {
    TransformReplicated<SDotAdd, 2, 2>(tables, pCoef, nMask, nShift, pOut, nOutStride);
}

}  // namespace photogeo::jpeg

#endif  // PHOTOGEO_JPEG_VNNI
