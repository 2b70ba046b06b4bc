// CJpegDecoder: the object, its public operations and the analysis of the marker segments that
// precede the first scan (frame and scan headers, Huffman and quantisation tables, restart
// interval, JFIF/JFXX segment and comment). DoDecode hands the analysed image to the baseline
// decoder (JpegBaseline.cpp), the progressive decoder (JpegProgressive.cpp) or, with full
// decoding, the scan-by-scan decoder (JpegFull.cpp); exceptions thrown anywhere inside are turned
// into the result codes here.
#include "photogeo/JpegDecoder.h"

#include <cmath>
#include <cstring>
#include <new>

#include "jpeg/JpegBitReader.h"
#include "jpeg/JpegTables.h"
#include "jpeg/JpegTexts.h"
#include "photogeo/InBitStream.h"
#include "photogeo/Marker.h"

using namespace photogeo::jpeg;

static_assert(sizeof(int) == 4, "the decoder's arithmetic is 32-bit");

CJpegDecoder::CJpegDecoder(int* pContinue) {
    CleanMembers();
    m_pContinue = pContinue ? pContinue : m_nContinue;
    std::memset(m_Comp, 0, sizeof m_Comp);
    std::memset(m_nQuant, 0, sizeof m_nQuant);
    m_nFrameType = 0;
    m_nWidth = m_nHeight = m_nComponents = 0;
    m_nState = 0;
    m_byHmax = m_byVmax = 0;
    m_bFull = false;
    m_bPartial = false;
    m_nMaxPixels = 0;
    m_nMaxCoefficientBytes = 4LL * kMaxCoefficientInts;
    m_pszError = nullptr;
    BuildTransformTables();
}

CJpegDecoder::~CJpegDecoder() {
    RemoveAll();
    DeleteRGB();
    FreeEntropy();
}

void CJpegDecoder::BuildTransformTables() {
    // P / 16 with P taken as 3.14159265, and 1/sqrt(2) as 1.0 / 1.41421356: the table is fixed by
    // these constants, not by the exact cosines.
    const double kStep = 0.196349540625;
    const double kHalfRoot = 1.0 / 1.41421356;
    for (int u = 0; u < 8; ++u)
        for (int x = 0; x < 8; ++x) m_dCos[u][x] = std::cos((2 * x + 1) * u * kStep);
    for (int i = 0; i < 64; ++i) {
        int n = zigzag[i];
        int u = n % 8;
        int v = n / 8;
        double cu = (u == 0) ? kHalfRoot : 1.0;
        double cv = (v == 0) ? kHalfRoot : 1.0;
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 8; ++x)
                m_nBasis[i][y * 8 + x] =
                    static_cast<int>(cu * m_dCos[u][x] * cv * m_dCos[v][y] * 256.0);
    }
}

void CJpegDecoder::CleanMembers() {
    m_nContinue[0] = 1;
    m_pContinue = m_nContinue;
    m_pNotifyWnd = nullptr;
    m_nNotifyMsg = 0;
    std::memset(m_Huff, 0, sizeof m_Huff);
    // The scan header as before any analysis: a header fills only the records of the
    // components it names, and an image may have no scan header at all, so nothing that the
    // scans of the previous image left may reach the next one.
    std::memset(m_ScanComp, 0, sizeof m_ScanComp);
    m_byNs = m_bySs = m_bySe = m_byAh = m_byAl = 0;
    m_nFlag = 0;
    m_nJfifType = 0;
    m_byVersion[0] = m_byVersion[1] = 0;
    m_nUnits = 0;
    m_nThumbWidth = m_nThumbHeight = 0;
    m_nJfxxCode = 0;
    m_nPrecision = 0;
    m_pComment = nullptr;
    m_pQuantCopy = nullptr;
    m_nReserved[0] = m_nReserved[1] = 0;
    m_nRestart = 0;
    m_pStream = nullptr;
    m_nXDensity[0] = m_nYDensity[0] = 1;
    m_pRGB = nullptr;
    for (int c = 0; c < 3; ++c) {
        m_pUnit[c] = nullptr;
        m_pCoef[c] = nullptr;
        m_pCurCoef[c] = nullptr;
        m_nCoefStride[c] = 0;
        m_nPredDC[c] = 0;
    }
    m_pEntropy = nullptr;
}

void CJpegDecoder::RemoveAll() {
    for (auto& cls : m_Huff)
        for (auto& h : cls) {
            delete[] h.pSize;
            delete[] h.pCode;
            delete[] h.pValue;
            h.pSize = h.pCode = h.pValue = nullptr;
        }
    delete[] m_pComment;
    m_pComment = nullptr;
    delete m_pStream;
    m_pStream = nullptr;
}

void CJpegDecoder::SetNotifyWnd(CWnd* pWnd, UINT nMsg) {
    m_pNotifyWnd = pWnd;
    m_nNotifyMsg = nMsg;
}

int CJpegDecoder::SetJpegData(char* pData, int nSize) {
    delete m_pStream;
    m_pStream = nullptr;
    m_pStream = new (std::nothrow) CInBitStream(reinterpret_cast<unsigned char*>(pData), nSize);
    if (!m_pStream) return -1;
    return DoAnalysis();
}

int CJpegDecoder::GetProperty(char* pData, int nSize, SJpegProperty& prop, int bQuant) {
    if (SetJpegData(pData, nSize) != 0) return 0;
    if (bQuant) {
        int* pCopy = new (std::nothrow) int[128];
        if (!pCopy) return 0;
        for (int t = 0; t < 2; ++t) {
            const int* q = m_nQuant[m_Comp[t].byTq & 3];
            for (int i = 0; i < 64; ++i) pCopy[64 * t + zigzag[i]] = q[i];
        }
        m_pQuantCopy = pCopy;
    }
    prop.m_nFrameType = m_nFrameType;
    prop.m_nFlag = m_nFlag;
    prop.m_nWidth = m_nWidth;
    prop.m_nHeight = m_nHeight;
    prop.m_nComponents = m_nComponents;
    prop.m_nPrecision = m_nPrecision;
    prop.m_pComment = m_pComment;
    prop.m_nJfifType = m_nJfifType;
    prop.m_byVersion[0] = m_byVersion[0];
    prop.m_byVersion[1] = m_byVersion[1];
    prop.m_nUnits = m_nUnits;
    prop.m_nXDensity[0] = m_nXDensity[0];
    prop.m_nYDensity[0] = m_nYDensity[0];
    prop.m_nThumbWidth = m_nThumbWidth;
    prop.m_nThumbHeight = m_nThumbHeight;
    prop.m_nJfxxCode = m_nJfxxCode;
    prop.m_pQuantCopy = m_pQuantCopy;
    prop.m_nReserved[0] = m_nReserved[0];
    prop.m_nReserved[1] = m_nReserved[1];
    return 1;
}

void CJpegDecoder::GetPictData(int& nWidth, int& nHeight) {
    nWidth = m_nWidth;
    nHeight = m_nHeight;
}

int CJpegDecoder::DoDecode(char* pRGB) {
    m_pRGB = reinterpret_cast<unsigned char*>(pRGB);
    m_bPartial = false;
    m_pszError = kNoImage;
    if ((m_nFlag & (kFlagHuffman | kFlagQuantisation | kFlagScan)) == 0 || !m_pStream) return -2;
    m_pszError = nullptr;
    int result = 0;
    try {
        CheckLayout();
        if (m_nMaxPixels > 0 && static_cast<long long>(m_nWidth) * m_nHeight > m_nMaxPixels)
            throw EMemoryError(0, kPixelLimit);
        m_pEntropy = new (std::nothrow) SJpegEntropy;
        if (!m_pEntropy) throw EMemoryError(1, kDecoderMemory);
        const SKernels& kernels = Kernels();
        m_pEntropy->dequantise = kernels.dequantise;
        m_pEntropy->transform = kernels.transform;
        std::memcpy(m_pEntropy->transformReplicated, kernels.transformReplicated,
                    sizeof kernels.transformReplicated);
        m_pEntropy->colourRows = kernels.colourRows;
        m_pEntropy->greyRows = kernels.greyRows;
        m_pEntropy->colourHalf = kernels.colourHalf;
        if (m_nComponents == 3 && m_byHmax == 2 && m_byVmax <= 2 && m_Comp[1].byH == 1 &&
            m_Comp[1].byV == 1 && m_Comp[2].byH == 1 && m_Comp[2].byV == 1)
            m_pEntropy->halfVf = m_byVmax;
        for (int c = 0; c < m_nComponents; ++c) {
            m_pEntropy->repeatH[c] = m_byHmax / m_Comp[c].byH;
            m_pEntropy->repeatV[c] = m_byVmax / m_Comp[c].byV;
        }
        m_pEntropy->nWidth = m_nWidth;
        m_pEntropy->nHeight = m_nHeight;
        m_pEntropy->nShift = (m_nPrecision == 8) ? 128 : 2048;
        m_pEntropy->BuildLookups(m_Huff);
        photogeo::jpeg::BuildTransformTables(m_nBasis, m_pEntropy->tables);
        if (!m_bFull)
            m_nFrameType == SOF0 ? Decode() : PgDecode();
        else if (StreamsWhole())
            Decode();
        else
            FullDecode();
    } catch (const EMemoryError& e) {
        result = -1;
        m_pszError = e.name;
    } catch (const EIndexError& e) {
        result = -1;
        m_pszError = e.message;
    } catch (const EBufferError& e) {
        result = -1;
        m_pszError = e.message;
    } catch (const EDataFormatError& e) {
        result = -2;
        m_pszError = e.message;
    } catch (const ENotSupported&) {
        result = -2;
        m_pszError = kNotSupported;
    }
    if (result != 0 && m_pEntropy && m_pEntropy->wrote) m_bPartial = true;
    DeleteRGB();
    FreeEntropy();
    return result;
}

bool CJpegDecoder::StreamsWhole() const {
    // A sequential image whose first scan holds every component in frame order, as interleaved
    // MCUs: decoded MCU by MCU without coefficient stores. A single component with sampling
    // factors above 1 has one block per MCU in its scans, so it takes the stored road.
    if (m_nFrameType != SOF0 && m_nFrameType != SOF1) return false;
    if (m_byNs != m_nComponents) return false;
    if (m_nComponents == 1) return m_byHmax == 1 && m_byVmax == 1;
    for (int c = 0; c < m_nComponents; ++c)
        if (m_ScanComp[c].byCs != m_Comp[c].byId) return false;
    return true;
}

void CJpegDecoder::DeleteRGB() {
    for (int c = 0; c < 3; ++c) {
        delete[] m_pUnit[c];
        m_pUnit[c] = nullptr;
        delete[] m_pCoef[c];
        m_pCoef[c] = nullptr;
        m_pCurCoef[c] = nullptr;
    }
}

void CJpegDecoder::FreeEntropy() {
    delete m_pEntropy;
    m_pEntropy = nullptr;
}

void CJpegDecoder::CheckLayout() const {
    // The frame may have been left half-read by a failed analysis: the decoders rely on a
    // complete frame whose factors divide the maxima.
    if (m_nComponents != 1 && m_nComponents != 3) throw EDataFormatError(nullptr, kNoFrame);
    if (m_byHmax == 0 || m_byVmax == 0) throw EDataFormatError(nullptr, kFrameSampling);
    for (int c = 0; c < m_nComponents; ++c) {
        const SJpegComponent& comp = m_Comp[c];
        if (comp.byH == 0 || comp.byV == 0 || m_byHmax % comp.byH != 0 || m_byVmax % comp.byV != 0)
            throw EDataFormatError(nullptr, kFrameSampling);
        if (comp.byTq > 3) throw EDataFormatError(nullptr, kFrameTq);
    }
    if (m_byNs > 3) throw EDataFormatError(nullptr, kScanComponents);
    if (m_nWidth < 0 || m_nHeight < 0) throw EDataFormatError(nullptr, kNoFrame);
}

void CJpegDecoder::NewIntMemory(int** pp, int nCount, int nInit, const char* pszMsg) {
    delete[] * pp;
    *pp = nullptr;
    if (nCount < 0) throw EMemoryError(nCount, pszMsg);
    int* p = new (std::nothrow) int[nCount > 0 ? nCount : 1];
    if (!p) throw EMemoryError(nCount, pszMsg);
    for (int i = 0; i < nCount; ++i) p[i] = nInit;
    *pp = p;
}

int CJpegDecoder::DoAnalysis() {
    try {
        m_nState = 0;
        while (GetMarker() != SOI) {
        }
        m_nState = 1;
        while (m_nState == 1) {
            m_nFlag |= AnalysisMarker();
            if (m_nFlag & kFlagScan) break;
        }
        return 0;
    } catch (const EMemoryError&) {
        return -1;
    } catch (const EIndexError&) {
        return -2;
    } catch (const EBufferError&) {
        return -2;
    } catch (const EDataFormatError&) {
        return -2;
    } catch (const ENotSupported&) {
        return -2;
    }
}

int CJpegDecoder::GetMarker() {
    for (;;) {
        if (m_pStream->GetByte() != 0xFF) continue;
        int code = m_pStream->GetByte();
        if (code == 0) continue;
        if (code >= 0x03 && code <= 0xBF) return INVALID;
        return code;
    }
}

int CJpegDecoder::SegmentLength() {
    int n = m_pStream->GetWord() - 2;
    if (n < 0) throw EDataFormatError(m_pStream->GetBytePosition(), kSegmentLength);
    return n;
}

int CJpegDecoder::AnalysisMarker() {
    int code = GetMarker();
    switch (code) {
        case SOF1:
            if (!m_bFull) throw ENotSupported(code, m_pStream->GetBytePosition());
            [[fallthrough]];
        case SOF0:
        case SOF2:
            m_nFrameType = code;
            SegmentLength();
            AnalysisFrame();
            // Full decoding reads 8-bit extended frames only.
            if (code == SOF1 && m_nPrecision != 8)
                throw ENotSupported(code, m_pStream->GetBytePosition());
            return 0;
        case SOF3:
        case SOF5:
        case SOF6:
        case SOF7:
        case SOF9:
        case SOF10:
        case SOF11:
        case DAC:
        case SOF13:
        case SOF14:
        case SOF15:
        case DHP:
        case EXP:
            throw ENotSupported(code, m_pStream->GetBytePosition());
        case DHT:
            AnalysisDHT(SegmentLength());
            return kFlagHuffman;
        case DQT:
            AnalysisDQT(SegmentLength());
            return kFlagQuantisation;
        case SOS:
            SegmentLength();
            AnalysisScan();
            return kFlagScan;
        case EOI:
            m_nState = 0;
            return 0;
        case DNL:
            SegmentLength();
            m_nHeight = m_pStream->GetWord();
            return 0;
        case DRI:
            SegmentLength();
            m_nRestart = m_pStream->GetWord();
            return 0;
        case APP0: {
            int n = SegmentLength();
            if (n < 5) {
                m_pStream->SkipByte(n);
                return 0;
            }
            unsigned char id[5];
            m_pStream->CopyByte(id, 5);
            id[4] = 0;
            if (std::strcmp(reinterpret_cast<char*>(id), "JFIF") == 0) {
                AnalysisJFIF();
                m_pStream->SkipByte(n - 14);
            } else if (std::strcmp(reinterpret_cast<char*>(id), "JFXX") == 0) {
                AnalysisJFXX();
                m_pStream->SkipByte(n - 6);
            } else {
                m_pStream->SkipByte(n - 5);
            }
            return 0;
        }
        case COM: {
            int n = SegmentLength();
            char* pText = new (std::nothrow) char[static_cast<size_t>(n) + 1];
            if (!pText) throw EMemoryError(n + 1, kCommentMemory);
            try {
                m_pStream->CopyByte(reinterpret_cast<unsigned char*>(pText), n);
            } catch (...) {
                delete[] pText;
                throw;
            }
            pText[n] = 0;
            delete[] m_pComment;
            m_pComment = pText;
            return kFlagComment;
        }
        default:
            if (code >= APP1 && code <= APP15) {
                m_pStream->SkipByte(SegmentLength());
                return 0;
            }
            unsigned char* p = m_pStream->GetBytePosition();
            throw EDataFormatError(p ? p - 1 : p, kMarkerError);
    }
}

void CJpegDecoder::AnalysisJFIF() {
    m_nJfifType = 1;
    m_byVersion[0] = m_pStream->GetByte();
    m_byVersion[1] = m_pStream->GetByte();
    m_nUnits = m_pStream->GetByte();
    m_nXDensity[0] = m_pStream->GetWord();
    m_nYDensity[0] = m_pStream->GetWord();
    m_nThumbWidth = m_pStream->GetByte();
    m_nThumbHeight = m_pStream->GetByte();
    m_nFlag |= kFlagJfif;
}

void CJpegDecoder::AnalysisJFXX() {
    m_nJfifType = 2;
    m_nJfxxCode = m_pStream->GetByte();
}

void CJpegDecoder::AnalysisFrame() {
    m_nPrecision = m_pStream->GetByte();
    m_nHeight = m_pStream->GetWord();
    m_nWidth = m_pStream->GetWord();
    int count = m_pStream->GetByte();
    if (count != 1 && count != 3) throw ENotSupported(SOF0, m_pStream->GetBytePosition());
    m_nComponents = count;
    m_byHmax = m_byVmax = 0;
    std::memset(m_Comp, 0, sizeof m_Comp);
    for (int c = 0; c < count; ++c) {
        SJpegComponent& comp = m_Comp[c];
        comp.byId = m_pStream->GetByte();
        int sampling = m_pStream->GetByte();
        comp.byH = static_cast<unsigned char>(sampling >> 4);
        comp.byV = static_cast<unsigned char>(sampling & 15);
        comp.byTq = m_pStream->GetByte();
        if (comp.byH == 0 || comp.byV == 0)
            throw EDataFormatError(m_pStream->GetBytePosition(), kFrameSampling);
        if (comp.byTq > 3) throw EIndexError(3, comp.byTq, kFrameTq);
        if (comp.byH > m_byHmax) m_byHmax = comp.byH;
        if (comp.byV > m_byVmax) m_byVmax = comp.byV;
    }
    // Samples are replicated by whole factors: every component's factors must divide the maxima.
    for (int c = 0; c < count; ++c)
        if (m_byHmax % m_Comp[c].byH != 0 || m_byVmax % m_Comp[c].byV != 0)
            throw EDataFormatError(m_pStream->GetBytePosition(), kFrameSampling);
}

void CJpegDecoder::AnalysisScan() {
    int count = m_pStream->GetByte();
    if (count > 3) throw EDataFormatError(m_pStream->GetBytePosition(), kScanComponents);
    m_byNs = static_cast<unsigned char>(count);
    for (int c = 0; c < count; ++c) {
        SJpegScanComponent& sc = m_ScanComp[c];
        sc.byCs = m_pStream->GetByte();
        int tables = m_pStream->GetByte();
        int td = tables >> 4;
        int ta = tables & 15;
        if (td > 2) throw EIndexError(2, td, kScanTd);
        if (ta > 2) throw EIndexError(2, ta, kScanTa);
        sc.byTd = static_cast<unsigned char>(td);
        sc.byTa = static_cast<unsigned char>(ta);
    }
    m_bySs = m_pStream->GetByte();
    m_bySe = m_pStream->GetByte();
    int a = m_pStream->GetByte();
    m_byAh = static_cast<unsigned char>(a >> 4);
    m_byAl = static_cast<unsigned char>(a & 15);
}

void CJpegDecoder::AnalysisDQT(int nLength) {
    long end = (m_pStream->GetPosition() - m_pStream->m_pTop) + static_cast<long>(nLength);
    while (m_pStream->GetPosition() - m_pStream->m_pTop < end) {
        int pq = m_pStream->GetByte();
        int* table = m_nQuant[pq & 3];
        if (pq >> 4) {
            for (int i = 0; i < 64; ++i) table[i] = m_pStream->GetWord();
        } else {
            for (int i = 0; i < 64; ++i) table[i] = m_pStream->GetByte();
        }
    }
}

void CJpegDecoder::AnalysisDHT(int nLength) {
    if (!m_pStream->m_bData) throw EDataFormatError(nullptr, kDhtLength);
    // Offsets rather than pointers: the length is untrusted and may point past the data.
    long end = (m_pStream->GetPosition() - m_pStream->m_pTop) + static_cast<long>(nLength);
    int tcth = m_pStream->GetByte();
    for (;;) {
        int tc = tcth >> 4;
        int th = tcth & 15;
        if (tc >= 2) throw EDataFormatError(m_pStream->GetBytePosition() - 1, kDhtTc);
        if (th > 3) throw EDataFormatError(m_pStream->GetBytePosition() - 1, kDhtTh);
        int counts[16];
        int total = 0;
        for (int l = 0; l < 16; ++l) {
            counts[l] = m_pStream->GetByte();
            total += counts[l];
        }
        SJpegHuffman& h = m_Huff[tc][th];
        // Between the scans of a decode: its lookup is rebuilt before the next scan.
        if (m_pEntropy) m_pEntropy->stale[tc][th] = true;
        h.nCount = 0;
        NewIntMemory(&h.pSize, total, 0, kDhtSizeMemory);
        NewIntMemory(&h.pCode, total, 0, kDhtCodeMemory);
        NewIntMemory(&h.pValue, total, 0, kDhtValueMemory);
        int index = 0;
        for (int l = 0; l < 16; ++l)
            for (int k = 0; k < counts[l]; ++k) {
                if (index >= total) throw EIndexError(total, index, kDhtSizeIndex);
                h.pSize[index++] = l + 1;
            }
        if (total > 0) {
            int code = 0;
            int len = h.pSize[0];
            for (int e = 0; e < total;) {
                while (e < total && h.pSize[e] == len) h.pCode[e++] = code++;
                if (e >= total) break;
                while (len < h.pSize[e]) {
                    code <<= 1;
                    ++len;
                }
            }
        }
        for (int e = 0; e < total; ++e) h.pValue[e] = m_pStream->GetByte();
        h.nCount = total;
        if (m_pStream->GetPosition() - m_pStream->m_pTop >= end) return;
        tcth = m_pStream->GetByte();
    }
}
