// Baseline (sequential Huffman) decoding of CJpegDecoder, and the pieces the progressive
// decoder shares: the block transform into m_nBlock, the replication of a block into its
// component's sample plane, and the colour output of one MCU into the caller's bitmap.
//
// DoDecode (JpegDecoder.cpp) calls Decode with the reader standing at the first byte of the
// scan's entropy data. Each MCU is decoded into three planes of one MCU each (luminance, Cb, Cr;
// Hmax * 8 by Vmax * 8 ints) and written out at once, so the memory used does not grow with the
// image.
//
// A block's samples are (S / 4) / 256 + level shift, S being the sum over the non-zero
// coefficients of quant * coefficient * basis image (JpegKernels.h); a single-component image
// keeps Cb = Cr = 128, which the colour formulas turn into blue = green = red = Y.
#include <cstddef>
#include <cstring>

#include "jpeg/JpegBitReader.h"
#include "jpeg/JpegKernels.h"
#include "jpeg/JpegTexts.h"
#include "photogeo/InBitStream.h"
#include "photogeo/JpegDecoder.h"
#include "photogeo/Marker.h"

#if PHOTOGEO_JPEG_X86_SIMD
#include <emmintrin.h>
#endif

using namespace photogeo::jpeg;

void CJpegDecoder::Decode() {
    int blocksX = (m_nWidth + 7) / 8;
    int blocksY = (m_nHeight + 7) / 8;
    int mcusX = (blocksX + m_byHmax - 1) / m_byHmax;
    int mcusY = (blocksY + m_byVmax - 1) / m_byVmax;
    int planeInts = m_byHmax * m_byVmax * 64;
    NewIntMemory(&m_pUnit[0], planeInts, 0, kUnit1);
    NewIntMemory(&m_pUnit[1], planeInts, 128, kUnit2);
    NewIntMemory(&m_pUnit[2], planeInts, 128, kUnit3);
    m_nPredDC[0] = m_nPredDC[1] = m_nPredDC[2] = 0;
    // Each component's road through an MCU, chosen once.
    SJpegEntropy& e = *m_pEntropy;
    e.ChooseEmit(m_nComponents, m_pUnit, m_byHmax * 8);
    for (int c = 0; c < m_nComponents; ++c) {
        SJpegEntropy::SRoad& road = e.road[c];
        road.across = m_Comp[c].byH;
        road.down = m_Comp[c].byV;
        road.dc = &e.lookup[0][m_ScanComp[c].byTd];
        road.ac = &e.lookup[1][m_ScanComp[c].byTa];
        road.quant = m_nQuant[m_Comp[c].byTq];
    }

    CJpegBitReader& reader = m_pEntropy->reader;
    // Each entropy-coded segment may start with a stuffed 0xFF 0x00 (see JpegDecoder.h).
    m_pStream->CheckStuffByte();
    reader.Attach(*m_pStream);
    int count = 0;
    for (int my = 0; my < mcusY; ++my) {
        for (int mx = 0; mx < mcusX; ++mx) {
            if (*m_pContinue == 0) return;
            CheckNotify();
            DecodeMCU();
            makeRGB(mx, my);
            if (m_nRestart == 0) continue;
            if (++count < m_nRestart) continue;
            count = 0;
            // The marker is read by the byte reader, which realigns to a whole byte.
            reader.Detach(*m_pStream);
            int marker = GetMarker();
            if (marker >= RST0 && marker <= RST7) m_nPredDC[0] = m_nPredDC[1] = m_nPredDC[2] = 0;
            m_pStream->CheckStuffByte();
            reader.Attach(*m_pStream);
        }
    }
}

void CJpegDecoder::DecodeMCU() {
    // DecodeBlock and EmitBlock in line, along the roads Decode chose.
    SJpegEntropy& e = *m_pEntropy;
    for (int c = 0; c < m_nComponents; ++c) {
        const SJpegEntropy::SRoad& road = e.road[c];
        for (int r = 0; r < road.down; ++r)
            for (int k = 0; k < road.across; ++k) {
                e.reader.DecodeBaselineBlock(*road.dc, *road.ac, road.quant, m_nPredDC[c], e.coef,
                                             e.mask);
                if (road.emit)
                    road.emit(e.tables, e.coef, e.mask, e.nShift,
                              road.plane + r * road.rowStep + k * road.columnStep, road.stride);
                else
                    EmitBlock(c, r, k);
            }
    }
}

void CJpegDecoder::DecodeBlock(int nComp) {
    const SJpegScanComponent& sc = m_ScanComp[nComp];
    // A DC size above 16 bits has no meaning in any precision: the reader refuses it.
    m_pEntropy->reader.DecodeBaselineBlock(
        m_pEntropy->lookup[0][sc.byTd], m_pEntropy->lookup[1][sc.byTa],
        m_nQuant[m_Comp[nComp].byTq], m_nPredDC[nComp], m_pEntropy->coef, m_pEntropy->mask);
}

void CJpegDecoder::EmitBlock(int nComp, int nRow, int nColumn) {
    if (nComp > 0 && m_pEntropy->halfVf != 0) {
        // The chroma block stays as it is; the colour output replicates it.
        m_pEntropy->transform(m_pEntropy->tables, m_pEntropy->coef, m_pEntropy->mask,
                              m_pEntropy->nShift, m_pUnit[nComp], 8);
        return;
    }
    const int hf = m_pEntropy->repeatH[nComp];
    const int vf = m_pEntropy->repeatV[nComp];
    if (hf <= 2 && vf <= 2) {
        TransformFn direct = m_pEntropy->transformReplicated[hf - 1][vf - 1];
        if (direct) {
            // The samples go straight to their place in the plane, replicated on the way.
            int planeWidth = m_byHmax * 8;
            int* corner = m_pUnit[nComp] + 8 * (vf * nRow * planeWidth + hf * nColumn);
            direct(m_pEntropy->tables, m_pEntropy->coef, m_pEntropy->mask, m_pEntropy->nShift,
                   corner, planeWidth);
            return;
        }
    }
    m_pEntropy->transform(m_pEntropy->tables, m_pEntropy->coef, m_pEntropy->mask,
                          m_pEntropy->nShift, m_nBlock, 8);
    CopyBlockToPlane(nComp, nRow, nColumn);
}

void CJpegDecoder::CopyBlockToPlane(int nComp, int nRow, int nColumn) {
    const int vf = m_pEntropy->repeatV[nComp];
    const int hf = m_pEntropy->repeatH[nComp];
    int planeWidth = m_byHmax * 8;
    // Block (row, column) of the component covers 8 x vf plane rows and 8 x hf columns.
    int* corner = m_pUnit[nComp] + 8 * (vf * nRow * planeWidth + hf * nColumn);
    for (int row = 0; row < 8 * vf; ++row) {
        const int* src = m_nBlock + (row / vf) * 8;
        int* dst = corner + row * planeWidth;
        if (hf == 1) {
            std::memcpy(dst, src, 8 * sizeof(int));
#if PHOTOGEO_JPEG_X86_SIMD
        } else if (hf == 2) {
            __m128i lo = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src));
            __m128i hi = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + 4));
            __m128i* d = reinterpret_cast<__m128i*>(dst);
            _mm_storeu_si128(d + 0, _mm_unpacklo_epi32(lo, lo));
            _mm_storeu_si128(d + 1, _mm_unpackhi_epi32(lo, lo));
            _mm_storeu_si128(d + 2, _mm_unpacklo_epi32(hi, hi));
            _mm_storeu_si128(d + 3, _mm_unpackhi_epi32(hi, hi));
#endif
        } else {
            for (int x = 0; x < 8 * hf; ++x) dst[x] = src[x / hf];
        }
    }
}

int CJpegDecoder::Decode1HuffmanCode(int nClass, int nComp) {
    const SJpegScanComponent& sc = m_ScanComp[nComp];
    return m_pEntropy->reader.DecodeHuffman(
        m_pEntropy->lookup[nClass][nClass == 0 ? sc.byTd : sc.byTa]);
}

void CJpegDecoder::makeRGB(int nMcuX, int nMcuY) {
    const int width = m_pEntropy->nWidth;
    const int height = m_pEntropy->nHeight;
    const int planeWidth = m_byHmax * 8;
    const int x0 = nMcuX * planeWidth;
    const int columns = (width - x0 < planeWidth) ? width - x0 : planeWidth;
    if (columns <= 0) return;
    const ptrdiff_t stride = ((3 * static_cast<ptrdiff_t>(width) + 3) / 4) * 4;
    // Rows at or beyond the image height are not written.
    const int y0 = nMcuY * m_byVmax * 8;
    const int rows = (height - y0 < m_byVmax * 8) ? height - y0 : m_byVmax * 8;
    if (rows <= 0) return;
    unsigned char* dst = m_pRGB + (height - 1 - y0) * stride + 3 * static_cast<ptrdiff_t>(x0);
    m_pEntropy->wrote = true;
    if (m_nComponents == 3 && m_pEntropy->halfVf != 0) {
        m_pEntropy->colourHalf(m_pUnit[0], planeWidth, m_pUnit[1], m_pUnit[2], 8, columns, rows,
                               m_pEntropy->halfVf, dst, -stride);
        return;
    }
    ColourRowsFn convert = (m_nComponents == 1) ? m_pEntropy->greyRows : m_pEntropy->colourRows;
    convert(m_pUnit[0], m_pUnit[1], m_pUnit[2], planeWidth, columns, rows, dst, -stride);
}
