// Progressive decoding of CJpegDecoder: every frame type other than baseline comes here from
// DoDecode (JpegDecoder.cpp). Spectral-selection scans are decoded into one coefficient store per
// component; the marker segments between scans are read here; after the scan that closes a group
// with coefficient 63 the whole image is transformed and written with the baseline decoder's
// block transform, replication and colour output (JpegBaseline.cpp).
//
// Scans come in groups: the first scan alone, then groups of as many scans as the frame has
// components (the usual DC scan, then one AC scan per component). Successive approximation is
// refused, in DC scans as in AC scans, before the scan's data is read: the bitmap is written only
// at the end, so a refused image leaves it untouched.
#include <cstdint>

#include "jpeg/JpegBitReader.h"
#include "jpeg/JpegTexts.h"
#include "photogeo/InBitStream.h"
#include "photogeo/JpegDecoder.h"
#include "photogeo/Marker.h"

using namespace photogeo::jpeg;

void CJpegDecoder::PgDecode() {
    static const char* const kStoreText[3] = {kStore0, kStore1, kStore2};
    int blocksX = (m_nWidth + 7) / 8;
    int blocksY = (m_nHeight + 7) / 8;
    int mcusX = (blocksX + m_byHmax - 1) / m_byHmax;
    int mcusY = (blocksY + m_byVmax - 1) / m_byVmax;
    // The limit holds for the three stores together, so that a small hostile file cannot make
    // the decoder take three times the limit. Absent components have factors 0: empty stores.
    int64_t ints[3];
    int64_t total = 0;
    for (int c = 0; c < 3; ++c) {
        ints[c] = int64_t{m_Comp[c].byH} * m_Comp[c].byV * mcusX * mcusY * 64;
        total += ints[c];
        if (total > m_nMaxCoefficientBytes / 4)
            throw EMemoryError(kMaxCoefficientInts, kStoreText[c]);
    }
    for (int c = 0; c < 3; ++c) {
        NewIntMemory(&m_pCoef[c], static_cast<int>(ints[c]), 0, kStoreText[c]);
        m_pCurCoef[c] = m_pCoef[c];
        m_nCoefStride[c] = m_Comp[c].byH * mcusX * 64;
    }
    int planeInts = m_byHmax * m_byVmax * 64;
    NewIntMemory(&m_pUnit[0], planeInts, 0, kUnit1);
    NewIntMemory(&m_pUnit[1], planeInts, 128, kUnit2);
    NewIntMemory(&m_pUnit[2], planeInts, 128, kUnit3);
    m_nPredDC[0] = m_nPredDC[1] = m_nPredDC[2] = 0;

    CJpegBitReader& reader = m_pEntropy->reader;
    for (int scan = 0;; ++scan) {
        if (*m_pContinue == 0) return;
        CheckNotify();
        if (m_byAh != 0 || m_byAl != 0 || m_bySe > 63)
            throw EDataFormatError(m_pStream->GetBytePosition(), kErrorScanComp);
        if (m_bySs != 0) {
            if (m_byNs != 1) throw EDataFormatError(m_pStream->GetBytePosition(), kErrorScanComp);
            m_pStream->CheckStuffByte();
            reader.Attach(*m_pStream);
            PgDecodeMCUAC(m_ScanComp[0].byCs, blocksX, blocksY);
        } else {
            m_pStream->CheckStuffByte();
            reader.Attach(*m_pStream);
            PgDecodeMCUDC(mcusX, mcusY);
        }
        reader.Detach(*m_pStream);
        bool closesGroup = (scan % m_nComponents) == 0;
        if (closesGroup && m_bySe == 63) {
            PgInverseMCU(mcusX, mcusY);
            return;
        }
        for (;;) {
            int marker = GetMarker();
            if (marker == DHT) {
                AnalysisDHT(SegmentLength());
                m_pEntropy->BuildLookups(m_Huff);
            } else if (marker == SOS) {
                SegmentLength();
                AnalysisScan();
                break;
            } else if (marker == DNL) {
                SegmentLength();
                m_nHeight = m_pStream->GetWord();
            } else if (marker < RST0 || marker > RST7) {
                unsigned char* p = m_pStream->GetBytePosition();
                throw EDataFormatError(p ? p - 1 : p, kUnknownMarker);
            }
        }
    }
}

void CJpegDecoder::PgDecodeMCUDC(int nMcuX, int nMcuY) {
    for (int my = 0; my < nMcuY; ++my)
        for (int mx = 0; mx < nMcuX; ++mx)
            for (int c = 0; c < m_nComponents; ++c) {
                int h = m_Comp[c].byH;
                int v = m_Comp[c].byV;
                for (int r = 0; r < v; ++r)
                    for (int k = 0; k < h; ++k) {
                        int64_t block = int64_t{h} * v * nMcuX * my + int64_t{r} * h * nMcuX +
                                        int64_t{h} * mx + k;
                        PgDecodeHuffmanBlockDC(c, m_pCurCoef[c] + 64 * block);
                    }
            }
}

void CJpegDecoder::PgDecodeHuffmanBlockDC(int nComp, int* pBlock) {
    CJpegBitReader& reader = m_pEntropy->reader;
    int s = Decode1HuffmanCode(0, nComp);
    if (s < 0) throw EDataFormatError(reader.BytePosition(), kErrorMarker);
    int diff = 0;
    if (s != 0) {
        if (s > 16) throw EDataFormatError(reader.BytePosition(), kWrongValue);
        diff = Extend(reader.GetBits(s), s);
    }
    m_nPredDC[nComp] = AddWrap(m_nPredDC[nComp], diff);
    pBlock[0] = m_nPredDC[nComp];
}

void CJpegDecoder::PgDecodeMCUAC(int nCs, int nBlocksX, int nBlocksY) {
    CJpegBitReader& reader = m_pEntropy->reader;
    int c = 0;
    while (c < m_nComponents && m_Comp[c].byId != nCs) ++c;
    if (c == m_nComponents) throw EDataFormatError(reader.BytePosition(), kWrongCs);
    const int ss = m_bySs;
    const int se = m_bySe;
    if (ss > se) return;
    // Whole blocks of the image: never more than the store's H * MCUs across by V * MCUs down.
    int across = (nBlocksX / m_byHmax) * m_Comp[c].byH + (nBlocksX % m_byHmax ? 1 : 0);
    int down = (nBlocksY / m_byVmax) * m_Comp[c].byV + (nBlocksY % m_byVmax ? 1 : 0);
    // Every AC scan has one component: its AC table decodes the whole band.
    const SHuffmanLookup& acTable = m_pEntropy->lookup[1][m_ScanComp[0].byTa];
    // A band run passes over its blocks at once: the scan's cost follows its data, not the
    // image size, so that thousands of scans of a few bytes each over a large frame end quickly.
    int eobRun = -1;
    for (int by = 0; by < down; ++by) {
        int* row = m_pCurCoef[c] + static_cast<int64_t>(m_nCoefStride[c]) * by;
        int bx = 0;
        while (bx < across) {
            if (eobRun > 0) {
                int skip = eobRun < across - bx ? eobRun : across - bx;
                eobRun -= skip;
                bx += skip;
                continue;
            }
            reader.DecodeProgressiveAC(acTable, ss, se, row + 64 * bx, eobRun);
            ++bx;
        }
    }
}

void CJpegDecoder::PgInverseMCU(int nMcuX, int nMcuY) {
    int* coef = m_pEntropy->coef;
    for (int my = 0; my < nMcuY; ++my) {
        for (int mx = 0; mx < nMcuX; ++mx) {
            for (int c = 0; c < m_nComponents; ++c) {
                int h = m_Comp[c].byH;
                int v = m_Comp[c].byV;
                const int* quant = m_nQuant[m_Comp[c].byTq];
                for (int r = 0; r < v; ++r)
                    for (int k = 0; k < h; ++k) {
                        if (*m_pContinue == 0) return;
                        CheckNotify();
                        int64_t number = int64_t{h} * v * nMcuX * my + int64_t{r} * h * nMcuX +
                                         int64_t{h} * mx + k;
                        int* block = m_pCurCoef[c] + 64 * number;
                        // Dequantised into the block being decoded; a coefficient that was
                        // zero keeps its mask bit clear.
                        uint64_t mask = m_pEntropy->dequantise(quant, block, coef);
                        m_pEntropy->mask = mask;
                        EmitBlock(c, r, k);
                    }
            }
            makeRGB(mx, my);
        }
    }
}
