// Full decoding of CJpegDecoder (SetFullDecoding): the scans of a progressive frame in any script
// (spectral selection and successive approximation, DC scans of some of the components, restart
// intervals), and the sequential images that the MCU-by-MCU decoder of JpegBaseline.cpp does not
// take (split into several scans, or one component with sampling factors above 1). DoDecode
// (JpegDecoder.cpp) calls FullDecode with the byte reader at the first scan's data. Each scan is
// read into the coefficient stores, the marker segments between scans are read here, and at the
// end-of-image marker the whole image is transformed and written with the baseline decoder's block
// transform, replication and colour output.
//
// A block is read whole (into a scratch copy, or as the list of changes a refinement makes) before
// anything of it is stored: a row of the store is taken only when a non-zero coefficient lands in
// it, and a failure inside a block leaves the block as the earlier scans left it.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "jpeg/JpegBitReader.h"
#include "jpeg/JpegTexts.h"
#include "photogeo/InBitStream.h"
#include "photogeo/JpegDecoder.h"
#include "photogeo/Marker.h"

#if PHOTOGEO_JPEG_X86_SIMD
#include <emmintrin.h>
#endif

using namespace photogeo::jpeg;

namespace {

// Successive approximation shifts coefficients by at most this many bits.
const int kMaxPointTransform = 13;

// Sequential blocks are read through the baseline block reader with this table of ones, which
// leaves the coefficients as they were coded.
struct SUnitQuant {
    int q[64];
    constexpr SUnitQuant() : q() {
        for (int& v : q) v = 1;
    }
};
constexpr SUnitQuant kUnitQuant;

inline int CheckedBits(CJpegBitReader& reader, int n) {
    int v = reader.GetBits(n);
    if (v < 0) throw EDataFormatError(reader.BytePosition(), kErrorMarker);
    return v;
}

// Bit k set for every non-zero block[k].
uint64_t NonZeroMask(const int* block) {
    uint64_t mask = 0;
#if PHOTOGEO_JPEG_X86_SIMD
    const __m128i zero = _mm_setzero_si128();
    for (int j = 0; j < 64; j += 16) {
        const __m128i* p = reinterpret_cast<const __m128i*>(block + j);
        __m128i lo = _mm_packs_epi32(_mm_cmpeq_epi32(_mm_loadu_si128(p), zero),
                                     _mm_cmpeq_epi32(_mm_loadu_si128(p + 1), zero));
        __m128i hi = _mm_packs_epi32(_mm_cmpeq_epi32(_mm_loadu_si128(p + 2), zero),
                                     _mm_cmpeq_epi32(_mm_loadu_si128(p + 3), zero));
        unsigned zeros = static_cast<unsigned>(_mm_movemask_epi8(_mm_packs_epi16(lo, hi)));
        mask |= static_cast<uint64_t>(~zeros & 0xFFFFu) << j;
    }
#else
    for (int j = 0; j < 64; ++j) mask |= static_cast<uint64_t>(block[j] != 0) << j;
#endif
    return mask;
}

// The positions k and above (none when k is past 63).
uint64_t From(int k) {
    return k > 63 ? 0 : ~uint64_t{0} << k;
}

// Applies what a refinement block read (CJpegBitReader::RefineAC) to its stored coefficients at
// bit al.
void ApplyRefinement(const SRefinement& r, int al, int* block) {
    const uint32_t p1 = uint32_t{1} << al;
    for (uint64_t m = r.corrected; m != 0; m &= m - 1) {
        const int k = LowestBit(m);
        const int coef = block[k];
        if ((static_cast<uint32_t>(coef) & p1) != 0) continue;
        block[k] = static_cast<int>(static_cast<uint32_t>(coef) + (coef >= 0 ? p1 : 0u - p1));
    }
    for (uint64_t m = r.placed; m != 0; m &= m - 1) {
        const int k = LowestBit(m);
        block[k] = ((r.negative >> k) & 1) != 0 ? -static_cast<int>(p1) : static_cast<int>(p1);
    }
}

bool AnyNonZero(const int* p, int n) {
    for (int i = 0; i < n; ++i)
        if (p[i] != 0) return true;
    return false;
}

}  // namespace

void CJpegDecoder::FullDecode() {
    SJpegEntropy& e = *m_pEntropy;
    int blocksX = (m_nWidth + 7) / 8;
    int blocksY = (m_nHeight + 7) / 8;
    int mcusX = (blocksX + m_byHmax - 1) / m_byHmax;
    int mcusY = (blocksY + m_byVmax - 1) / m_byVmax;
    for (int c = 0; c < m_nComponents; ++c) {
        e.blocksAcross[c] = mcusX * m_Comp[c].byH;
        e.blocksDown[c] = mcusY * m_Comp[c].byV;
        e.rows[c].resize(static_cast<size_t>(e.blocksDown[c]));
        e.quantLatched[c] = false;
    }
    e.storeBytes = 0;
    e.storeLimit = m_nMaxCoefficientBytes;
    int planeInts = m_byHmax * m_byVmax * 64;
    NewIntMemory(&m_pUnit[0], planeInts, 0, kUnit1);
    NewIntMemory(&m_pUnit[1], planeInts, 128, kUnit2);
    NewIntMemory(&m_pUnit[2], planeInts, 128, kUnit3);

    bool started = false;
    try {
        for (;;) {
            if (*m_pContinue == 0) return;
            started = true;
            FullScan();
            if (!FullNextScan()) break;
        }
    } catch (...) {
        if (!started) throw;
        // What the scans so far hold is the picture, coarser than it would be.
        FullRender();
        throw;
    }
    FullRender();
}

void CJpegDecoder::FullScan() {
    SJpegEntropy& e = *m_pEntropy;
    CJpegBitReader& reader = e.reader;
    const bool sequential = m_nFrameType != SOF2;
    const int ss = m_bySs, se = m_bySe, ah = m_byAh, al = m_byAl;
    int comp[3];
    const int count = m_byNs;
    if (count < 1 || count > m_nComponents) throw EDataFormatError(nullptr, kScanHeader);
    for (int i = 0; i < count; ++i) {
        int c = 0;
        while (c < m_nComponents && m_Comp[c].byId != m_ScanComp[i].byCs) ++c;
        if (c == m_nComponents) throw EDataFormatError(nullptr, kWrongCs);
        for (int j = 0; j < i; ++j)
            if (comp[j] == c) throw EDataFormatError(nullptr, kScanHeader);
        comp[i] = c;
    }
    for (int i = 0; i < count; ++i) {
        const int c = comp[i];
        if (e.quantLatched[c]) continue;
        std::memcpy(e.quant[c], m_nQuant[m_Comp[c].byTq], sizeof e.quant[c]);
        e.quantLatched[c] = true;
    }
    if (sequential) {
        if (ss != 0 || se != 63 || ah != 0 || al != 0) throw EDataFormatError(nullptr, kScanHeader);
    } else {
        bool dc = ss == 0;
        if ((dc && se != 0) || (!dc && (count != 1 || se < ss || se > 63)) ||
            al > kMaxPointTransform || (ah != 0 && ah != al + 1))
            throw EDataFormatError(nullptr, kScanHeader);
    }

    // The units of the scan: whole MCUs when it interleaves components, else the blocks of its
    // one component that cover the image.
    int unitsX, unitsY;
    if (count == 1) {
        const SJpegComponent& cp = m_Comp[comp[0]];
        int64_t w = (int64_t{m_nWidth} * cp.byH + m_byHmax - 1) / m_byHmax;
        int64_t h = (int64_t{m_nHeight} * cp.byV + m_byVmax - 1) / m_byVmax;
        unitsX = static_cast<int>((w + 7) / 8);
        unitsY = static_cast<int>((h + 7) / 8);
    } else {
        unitsX = e.blocksAcross[0] / m_Comp[0].byH;
        unitsY = e.blocksDown[0] / m_Comp[0].byV;
    }

    int pred[3] = {0, 0, 0};
    int eobRun = -1;    // first AC scans: blocks still to skip after this one, -1 none
    int refineRun = 0;  // AC refinement: blocks of the open run, this one included
    int* scratch = e.coef;
    uint64_t mask = 0;
    const int restart = m_nRestart;
    int sinceRestart = 0;

    int band[64];  // a first AC scan's amplitudes (only the positions written are read)
    // The block's place in the store, taking its row when it has none yet.
    auto place = [&](int c, SJpegEntropy::StoreRow& row, int bx) {
        if (!row) {
            size_t ints = static_cast<size_t>(e.blocksAcross[c]) * 64;
            int64_t bytes = static_cast<int64_t>(ints * sizeof(int));
            if (e.storeBytes + bytes > e.storeLimit) throw EMemoryError(0, kCoefficientLimit);
            row.reset(static_cast<int*>(std::calloc(ints, sizeof(int))));
            if (!row) throw EMemoryError(0, kCoefficientLimit);
            e.storeBytes += bytes;
        }
        return row.get() + 64 * static_cast<size_t>(bx);
    };
    // The block's place in the store if it has one, else null.
    auto stored = [&](int c, int bx, int by) -> int* {
        int* row = e.rows[c][static_cast<size_t>(by)].get();
        return row ? row + 64 * static_cast<size_t>(bx) : nullptr;
    };
    // Every block of the scan in order, block(i, bx, by) for the i-th component of the scan,
    // with the markers between restart intervals read on the way. The kind of scan is chosen
    // once, outside this walk.
    auto walk = [&](auto&& block) {
        m_pStream->CheckStuffByte();
        reader.Attach(*m_pStream);
        for (int uy = 0; uy < unitsY; ++uy) {
            for (int ux = 0; ux < unitsX; ++ux) {
                if (restart > 0 && sinceRestart == restart) {
                    // A new entropy-coded segment: predictions and runs start again.
                    reader.Detach(*m_pStream);
                    GetMarker();
                    m_pStream->CheckStuffByte();
                    reader.Attach(*m_pStream);
                    pred[0] = pred[1] = pred[2] = 0;
                    eobRun = -1;
                    refineRun = 0;
                    sinceRestart = 0;
                }
                ++sinceRestart;
                if (count == 1) {
                    block(0, ux, uy);
                    continue;
                }
                for (int i = 0; i < count; ++i) {
                    const SJpegComponent& cp = m_Comp[comp[i]];
                    for (int v = 0; v < cp.byV; ++v)
                        for (int h = 0; h < cp.byH; ++h)
                            block(i, ux * cp.byH + h, uy * cp.byV + v);
                }
            }
        }
        reader.Detach(*m_pStream);
    };

    if (sequential) {
        walk([&](int i, int bx, int by) {
            const int c = comp[i];
            const SJpegScanComponent& sc = m_ScanComp[i];
            int* block = stored(c, bx, by);
            reader.DecodeBaselineBlock(e.lookup[0][sc.byTd], e.lookup[1][sc.byTa], kUnitQuant.q,
                                       pred[i], scratch, mask);
            if (!block && !AnyNonZero(scratch, 64)) return;
            std::memcpy(block ? block : place(c, e.rows[c][static_cast<size_t>(by)], bx), scratch,
                        64 * sizeof(int));
        });
    } else if (ss == 0 && ah == 0) {
        walk([&](int i, int bx, int by) {
            const int c = comp[i];
            int s = reader.DecodeHuffman(e.lookup[0][m_ScanComp[i].byTd]);
            if (s < 0) throw EDataFormatError(reader.BytePosition(), kErrorMarker);
            if (s > 16) throw EDataFormatError(reader.BytePosition(), kWrongValue);
            int diff = s ? Extend(CheckedBits(reader, s), s) : 0;
            pred[i] = AddWrap(pred[i], diff);
            int value = static_cast<int>(static_cast<uint32_t>(pred[i]) << al);
            int* block = stored(c, bx, by);
            if (!block && value == 0) return;
            (block ? block : place(c, e.rows[c][static_cast<size_t>(by)], bx))[0] = value;
        });
    } else if (ss == 0) {
        walk([&](int i, int bx, int by) {
            const int c = comp[i];
            if (CheckedBits(reader, 1) == 0) return;
            int* block = stored(c, bx, by);
            (block ? block : place(c, e.rows[c][static_cast<size_t>(by)], bx))[0] |= 1 << al;
        });
    } else if (ah == 0) {
        const SHuffmanLookup& table = e.lookup[1][m_ScanComp[0].byTa];
        const int c = comp[0];
        walk([&](int, int bx, int by) {
            if (eobRun > 0) {
                --eobRun;
                return;
            }
            uint64_t written = reader.DecodeProgressiveAC(table, ss, se, band, eobRun);
            int* block = stored(c, bx, by);
            for (; written != 0; written &= written - 1) {
                const int k = LowestBit(written);
                if (band[k] == 0) continue;
                if (!block) block = place(c, e.rows[c][static_cast<size_t>(by)], bx);
                block[k] = static_cast<int>(static_cast<uint32_t>(band[k]) << al);
            }
        });
    } else {
        const SHuffmanLookup& table = e.lookup[1][m_ScanComp[0].byTa];
        const int c = comp[0];
        const uint64_t bandMask = (~uint64_t{0} >> (63 - se)) & From(ss);
        walk([&](int, int bx, int by) {
            int* block = stored(c, bx, by);
            if (refineRun > 0 && !block) {
                // Inside a run a refinement only corrects non-zero coefficients: none here.
                --refineRun;
                return;
            }
            const SRefinement r =
                reader.RefineAC(table, ss, se, block ? NonZeroMask(block) & bandMask : 0, refineRun);
            if (r.placed == 0 && r.corrected == 0) return;
            ApplyRefinement(r, al, block ? block : place(c, e.rows[c][static_cast<size_t>(by)], bx));
        });
    }
}

bool CJpegDecoder::FullNextScan() {
    for (;;) {
        int marker = GetMarker();
        if (marker >= RST0 && marker <= RST7) continue;
        if ((marker >= APP0 && marker <= APP15) || marker == COM) {
            m_pStream->SkipByte(SegmentLength());
            continue;
        }
        switch (marker) {
            case EOI:
                return false;
            case SOS:
                SegmentLength();
                AnalysisScan();
                return true;
            case DHT:
                AnalysisDHT(SegmentLength());
                m_pEntropy->BuildLookups(m_Huff);
                break;
            case DQT:
                AnalysisDQT(SegmentLength());
                break;
            case DRI:
                SegmentLength();
                m_nRestart = m_pStream->GetWord();
                break;
            case DNL:
                SegmentLength();
                m_pStream->GetWord();
                break;
            default: {
                unsigned char* p = m_pStream->GetBytePosition();
                throw EDataFormatError(p ? p - 1 : p, kUnknownMarker);
            }
        }
    }
}

void CJpegDecoder::FullRender() {
    SJpegEntropy& e = *m_pEntropy;
    const int mcusX = e.blocksAcross[0] / m_Comp[0].byH;
    const int mcusY = e.blocksDown[0] / m_Comp[0].byV;
    e.ChooseEmit(m_nComponents, m_pUnit, m_byHmax * 8);
    for (int my = 0; my < mcusY; ++my) {
        for (int mx = 0; mx < mcusX; ++mx) {
            if (*m_pContinue == 0) return;
            for (int c = 0; c < m_nComponents; ++c) {
                const SJpegComponent& cp = m_Comp[c];
                // A component no scan reached has no stored rows: its table is never read.
                const int* quant = e.quantLatched[c] ? e.quant[c] : m_nQuant[cp.byTq];
                const SJpegEntropy::SRoad& road = e.road[c];
                for (int v = 0; v < cp.byV; ++v) {
                    const int* row = e.rows[c][static_cast<size_t>(my * cp.byV + v)].get();
                    for (int h = 0; h < cp.byH; ++h) {
                        if (row)
                            e.mask = e.dequantise(
                                quant, row + 64 * static_cast<size_t>(mx * cp.byH + h), e.coef);
                        else
                            e.mask = 0;
                        if (road.emit)
                            road.emit(e.tables, e.coef, e.mask, e.nShift,
                                      road.plane + v * road.rowStep + h * road.columnStep, road.stride);
                        else
                            EmitBlock(c, v, h);
                    }
                }
            }
            makeRGB(mx, my);
        }
    }
}
