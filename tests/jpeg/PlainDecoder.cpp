// The plain decoder of the tests (see PlainDecoder.h): no lookup tables, no vectors, no word
// reads; only the decoder's analysed members and the byte reader.
#include "PlainDecoder.h"

#include <cstdint>
#include <cstring>
#include <vector>

#include "photogeo/InBitStream.h"
#include "photogeo/JpegDecoder.h"

namespace jpegtest {

namespace {

int Wrap(int64_t v) {
    return static_cast<int>(static_cast<uint32_t>(static_cast<uint64_t>(v)));
}

int Bits(CInBitStream& s, int n) {
    return s.GetBits(n);
}

// The decoder's own segment analysis, reached through its protected interface: the tables and
// scan headers between progressive scans are parsed as the decoder parses them (the analysis is
// not what this decoder checks).
struct SAnalysis : CJpegDecoder {
    static void Dht(CJpegDecoder& d, int n) { (d.*(&SAnalysis::AnalysisDHT))(n); }
    static void Dqt(CJpegDecoder& d, int n) { (d.*(&SAnalysis::AnalysisDQT))(n); }
    static void Scan(CJpegDecoder& d) { (d.*(&SAnalysis::AnalysisScan))(); }
};

int Checked(int bits) {
    if (bits < 0) throw EDataFormatError(nullptr, "marker");
    return bits;
}

struct SPlain {
    CJpegDecoder& d;
    unsigned char* rgb;
    int width, height, shift;
    std::vector<int> plane[3];
    int block[64];
    int pred[3] = {0, 0, 0};
    std::vector<int> store[3];

    int Marker() {
        CInBitStream& s = *d.m_pStream;
        for (;;) {
            if (s.GetByte() != 0xFF) continue;
            int code = s.GetByte();
            if (code == 0) continue;
            return (code >= 3 && code <= 0xBF) ? 0xFF : code;
        }
    }

    void Place(int c, int r, int k) {
        int vf = d.m_byVmax / d.m_Comp[c].byV, hf = d.m_byHmax / d.m_Comp[c].byH;
        int pw = d.m_byHmax * 8;
        for (int row = 0; row < 8 * vf; ++row)
            for (int col = 0; col < 8 * hf; ++col)
                plane[c][(8 * r + row) * pw + 8 * k + col] = block[(row / vf) * 8 + col / hf];
    }

    void Rgb(int mx, int my) {
        int pw = d.m_byHmax * 8;
        int x0 = mx * pw;
        int stride = (3 * width + 3) / 4 * 4;
        for (int r = 0; r < d.m_byVmax * 8; ++r) {
            int y = my * d.m_byVmax * 8 + r;
            if (y >= height) break;
            for (int q = 0; q < pw; ++q) {
                if (x0 + q >= width) break;
                PlainColour(plane[0][r * pw + q], plane[1][r * pw + q], plane[2][r * pw + q],
                            rgb + static_cast<size_t>(height - 1 - y) * stride + 3 * (x0 + q));
            }
        }
    }

    int Size(int s) {
        if (s > 16) throw EDataFormatError(nullptr, "size");
        return s;
    }

    // A sequential block of scan component i into coef, times quant.
    void ReadBlock(int i, int c, const int* quant, int* coef) {
        CInBitStream& s = *d.m_pStream;
        int v = PlainHuffman(s, d.m_Huff[0][d.m_ScanComp[i].byTd]);
        if (v < 0) throw EDataFormatError(nullptr, "marker");
        int diff = v ? PlainExtend(Bits(s, Size(v)), v) : 0;
        pred[c] = Wrap(int64_t{pred[c]} + diff);
        coef[0] = Wrap(int64_t{quant[0]} * pred[c]);
        for (int k = 1; k < 64;) {
            int rs = PlainHuffman(s, d.m_Huff[1][d.m_ScanComp[i].byTa]);
            if (rs == 0) break;
            if (rs < 0) throw EDataFormatError(nullptr, "marker");
            int size = rs & 15, run = rs >> 4, amp = 0;
            if (size)
                amp = PlainExtend(Bits(s, size), size);
            else if (run != 15)
                throw EDataFormatError(nullptr, "value");
            if (run + k > 63) throw EDataFormatError(nullptr, "run");
            k += run;
            coef[k] = Wrap(int64_t{quant[k]} * amp);
            ++k;
        }
    }

    void BaselineBlock(int c) {
        int coef[64] = {};
        ReadBlock(c, c, d.m_nQuant[d.m_Comp[c].byTq], coef);
        PlainTransform(d.m_nBasis, coef, shift, block);
    }

    // The next marker, after the entropy-coded segment; the next segment's stuffed byte.
    void Restart() {
        int m = Marker();
        if (m >= 0xD0 && m <= 0xD7) pred[0] = pred[1] = pred[2] = 0;
        d.m_pStream->CheckStuffByte();
    }

    // One block of a first AC scan over ss..se: amplitudes into blk, eob as the decoder keeps it.
    void AcBand(int table, int ss, int se, int* blk, int& eob) {
        CInBitStream& s = *d.m_pStream;
        for (int k = ss;;) {
            int rs = PlainHuffman(s, d.m_Huff[1][table]);
            if (rs < 0) throw EDataFormatError(nullptr, "marker");
            int size = rs & 15, run = rs >> 4, amp = 0;
            if (size) {
                amp = PlainExtend(Bits(s, size), size);
            } else if (run < 15) {
                eob = run ? (1 << run) + Bits(s, run) : 0;
                --eob;
                return;
            }
            if (run + k > se) throw EDataFormatError(nullptr, "run");
            k += run;
            blk[k] = amp;
            if (++k > se) return;
        }
    }

    void Baseline() {
        d.m_pStream->CheckStuffByte();
        int bx = (width + 7) / 8, by = (height + 7) / 8;
        int mx = (bx + d.m_byHmax - 1) / d.m_byHmax, my = (by + d.m_byVmax - 1) / d.m_byVmax;
        int count = 0;
        for (int y = 0; y < my; ++y)
            for (int x = 0; x < mx; ++x) {
                if (*d.m_pContinue == 0) return;
                for (int c = 0; c < d.m_nComponents; ++c)
                    for (int r = 0; r < d.m_Comp[c].byV; ++r)
                        for (int k = 0; k < d.m_Comp[c].byH; ++k) {
                            BaselineBlock(c);
                            Place(c, r, k);
                        }
                Rgb(x, y);
                if (d.m_nRestart && ++count == d.m_nRestart) {
                    count = 0;
                    Restart();
                }
            }
    }

    int BlockNumber(int c, int mcusX, int my, int mx, int r, int k) {
        int h = d.m_Comp[c].byH, v = d.m_Comp[c].byV;
        return h * v * mcusX * my + r * h * mcusX + h * mx + k;
    }

    void Progressive() {
        CInBitStream& s = *d.m_pStream;
        int bx = (width + 7) / 8, by = (height + 7) / 8;
        int mcusX = (bx + d.m_byHmax - 1) / d.m_byHmax, mcusY = (by + d.m_byVmax - 1) / d.m_byVmax;
        for (int c = 0; c < 3; ++c)
            store[c].assign(
                static_cast<size_t>(d.m_Comp[c].byH) * d.m_Comp[c].byV * mcusX * mcusY * 64, 0);
        for (int scan = 0;; ++scan) {
            if (*d.m_pContinue == 0) return;
            if (d.m_byAh || d.m_byAl || d.m_bySe > 63) throw EDataFormatError(nullptr, "scan");
            if (d.m_bySs != 0) {
                if (d.m_byNs != 1) throw EDataFormatError(nullptr, "scan");
                s.CheckStuffByte();
                int c = 0;
                while (c < d.m_nComponents && d.m_Comp[c].byId != d.m_ScanComp[0].byCs) ++c;
                if (c == d.m_nComponents) throw EDataFormatError(nullptr, "cs");
                int ss = d.m_bySs, se = d.m_bySe;
                int across = (bx / d.m_byHmax) * d.m_Comp[c].byH + (bx % d.m_byHmax ? 1 : 0);
                int down = (by / d.m_byVmax) * d.m_Comp[c].byV + (by % d.m_byVmax ? 1 : 0);
                int eob = -1;
                for (int y = 0; y < down && ss <= se; ++y)
                    for (int x = 0; x < across; ++x) {
                        int* blk = store[c].data() +
                                   static_cast<size_t>(d.m_Comp[c].byH) * mcusX * 64 * y + 64 * x;
                        if (eob > 0)
                            --eob;
                        else
                            AcBand(d.m_ScanComp[0].byTa, ss, se, blk, eob);
                    }
            } else {
                s.CheckStuffByte();
                for (int y = 0; y < mcusY; ++y)
                    for (int x = 0; x < mcusX; ++x)
                        for (int c = 0; c < d.m_nComponents; ++c)
                            for (int r = 0; r < d.m_Comp[c].byV; ++r)
                                for (int k = 0; k < d.m_Comp[c].byH; ++k) {
                                    int v = PlainHuffman(s, d.m_Huff[0][d.m_ScanComp[c].byTd]);
                                    if (v < 0) throw EDataFormatError(nullptr, "marker");
                                    int diff = v ? PlainExtend(Bits(s, Size(v)), v) : 0;
                                    pred[c] = Wrap(int64_t{pred[c]} + diff);
                                    store[c][64 * static_cast<size_t>(
                                                      BlockNumber(c, mcusX, y, x, r, k))] = pred[c];
                                }
            }
            if (scan % d.m_nComponents == 0 && d.m_bySe == 63) break;
            for (;;) {
                int m = Marker();
                if (m == 0xC4) {
                    int n = s.GetWord() - 2;
                    if (n < 0) throw EDataFormatError(nullptr, "length");
                    SAnalysis::Dht(d, n);
                } else if (m == 0xDA) {
                    if (s.GetWord() < 2) throw EDataFormatError(nullptr, "length");
                    SAnalysis::Scan(d);
                    break;
                } else if (m == 0xDC) {
                    if (s.GetWord() < 2) throw EDataFormatError(nullptr, "length");
                    d.m_nHeight = s.GetWord();
                } else if (m < 0xD0 || m > 0xD7) {
                    throw EDataFormatError(nullptr, "unknown marker");
                }
            }
        }
        for (int y = 0; y < mcusY; ++y)
            for (int x = 0; x < mcusX; ++x) {
                for (int c = 0; c < d.m_nComponents; ++c) {
                    const int* quant = d.m_nQuant[d.m_Comp[c].byTq];
                    for (int r = 0; r < d.m_Comp[c].byV; ++r)
                        for (int k = 0; k < d.m_Comp[c].byH; ++k) {
                            if (*d.m_pContinue == 0) return;
                            int* blk = store[c].data() +
                                       64 * static_cast<size_t>(BlockNumber(c, mcusX, y, x, r, k));
                            int coef[64];
                            for (int j = 0; j < 64; ++j) coef[j] = Wrap(int64_t{quant[j]} * blk[j]);
                            PlainTransform(d.m_nBasis, coef, shift, block);
                            Place(c, r, k);
                        }
                }
                Rgb(x, y);
            }
    }
};

// Full decoding, as CJpegDecoder::SetFullDecoding describes it, over one flat store per
// component (MCU-padded block grid).
struct SPlainFull : SPlain {
    int mcusX = 0, mcusY = 0;
    std::vector<int> quant[3];  // each component's table as its first scan found it

    int* Block(int c, int bx, int by) {
        return store[c].data() +
               64 * (static_cast<size_t>(by) * mcusX * d.m_Comp[c].byH + static_cast<size_t>(bx));
    }

    void Correct(int& coef, int al) {
        if (Checked(Bits(*d.m_pStream, 1)) == 0) return;
        const uint32_t p1 = uint32_t{1} << al;
        if ((static_cast<uint32_t>(coef) & p1) != 0) return;
        coef = Wrap(int64_t{coef} + (coef >= 0 ? int64_t{p1} : -int64_t{p1}));
    }

    // One block of an AC refinement scan; run counts the blocks of the open run, this one too.
    void Refine(int table, int ss, int se, int al, int* blk, int& run) {
        CInBitStream& s = *d.m_pStream;
        int k = ss;
        if (run == 0) {
            for (; k <= se; ++k) {
                int rs = PlainHuffman(s, d.m_Huff[1][table]);
                if (rs < 0) throw EDataFormatError(nullptr, "marker");
                int zeros = rs >> 4, value = 0;
                if (rs & 15) {
                    value = Checked(Bits(s, 1)) ? (1 << al) : -(1 << al);
                } else if (zeros != 15) {
                    run = (1 << zeros) + (zeros ? Checked(Bits(s, zeros)) : 0);
                    break;
                }
                for (; k <= se; ++k) {
                    if (blk[k] != 0) {
                        Correct(blk[k], al);
                    } else {
                        if (zeros == 0) break;
                        --zeros;
                    }
                }
                if (value) {
                    if (k > se) throw EDataFormatError(nullptr, "run");
                    blk[k] = value;
                }
            }
        }
        if (run > 0) {
            for (; k <= se; ++k)
                if (blk[k] != 0) Correct(blk[k], al);
            --run;
        }
    }

    void Scan() {
        CInBitStream& s = *d.m_pStream;
        const bool sequential = d.m_nFrameType != 0xC2;
        const int ss = d.m_bySs, se = d.m_bySe, ah = d.m_byAh, al = d.m_byAl, n = d.m_byNs;
        int comp[3];
        if (n < 1 || n > d.m_nComponents) throw EDataFormatError(nullptr, "scan");
        for (int i = 0; i < n; ++i) {
            int c = 0;
            while (c < d.m_nComponents && d.m_Comp[c].byId != d.m_ScanComp[i].byCs) ++c;
            if (c == d.m_nComponents) throw EDataFormatError(nullptr, "cs");
            for (int j = 0; j < i; ++j)
                if (comp[j] == c) throw EDataFormatError(nullptr, "scan");
            comp[i] = c;
            const int* table = d.m_nQuant[d.m_Comp[c].byTq];
            if (quant[c].empty()) quant[c].assign(table, table + 64);
        }
        bool bad = sequential
                       ? (ss != 0 || se != 63 || ah != 0 || al != 0)
                       : ((ss == 0 && se != 0) || (ss != 0 && (n != 1 || se < ss || se > 63)) ||
                          al > 13 || (ah != 0 && ah != al + 1));
        if (bad) throw EDataFormatError(nullptr, "scan");
        int unitsX = mcusX, unitsY = mcusY;
        if (n == 1) {
            const SJpegComponent& cp = d.m_Comp[comp[0]];
            int64_t w = (int64_t{width} * cp.byH + d.m_byHmax - 1) / d.m_byHmax;
            int64_t h = (int64_t{height} * cp.byV + d.m_byVmax - 1) / d.m_byVmax;
            unitsX = static_cast<int>((w + 7) / 8);
            unitsY = static_cast<int>((h + 7) / 8);
        }
        pred[0] = pred[1] = pred[2] = 0;
        int eob = -1, run = 0;
        const std::vector<int> ones(64, 1);
        auto unit = [&](int i, int bx, int by) {
            int* blk = Block(comp[i], bx, by);
            int tmp[64];
            std::memcpy(tmp, blk, sizeof tmp);
            if (sequential) {
                std::memset(tmp, 0, sizeof tmp);
                ReadBlock(i, i, ones.data(), tmp);
            } else if (ss == 0 && ah == 0) {
                int v = PlainHuffman(s, d.m_Huff[0][d.m_ScanComp[i].byTd]);
                if (v < 0) throw EDataFormatError(nullptr, "marker");
                int diff = v ? PlainExtend(Checked(Bits(s, Size(v))), v) : 0;
                pred[i] = Wrap(int64_t{pred[i]} + diff);
                tmp[0] = static_cast<int>(static_cast<uint32_t>(pred[i]) << al);
            } else if (ss == 0) {
                if (Checked(Bits(s, 1))) tmp[0] |= 1 << al;
            } else if (ah == 0) {
                if (eob > 0) {
                    --eob;
                    return;
                }
                int band[64] = {};
                AcBand(d.m_ScanComp[i].byTa, ss, se, band, eob);
                for (int k = ss; k <= se; ++k)
                    if (band[k]) tmp[k] = static_cast<int>(static_cast<uint32_t>(band[k]) << al);
            } else {
                Refine(d.m_ScanComp[i].byTa, ss, se, al, tmp, run);
            }
            std::memcpy(blk, tmp, sizeof tmp);
        };
        s.CheckStuffByte();
        int since = 0;
        for (int uy = 0; uy < unitsY; ++uy)
            for (int ux = 0; ux < unitsX; ++ux) {
                if (d.m_nRestart > 0 && since == d.m_nRestart) {
                    Marker();
                    s.CheckStuffByte();
                    pred[0] = pred[1] = pred[2] = 0;
                    eob = -1;
                    run = 0;
                    since = 0;
                }
                ++since;
                for (int i = 0; i < n; ++i) {
                    const SJpegComponent& cp = d.m_Comp[comp[i]];
                    if (n == 1)
                        unit(0, ux, uy);
                    else
                        for (int v = 0; v < cp.byV; ++v)
                            for (int h = 0; h < cp.byH; ++h)
                                unit(i, ux * cp.byH + h, uy * cp.byV + v);
                }
            }
    }

    bool Next() {
        CInBitStream& s = *d.m_pStream;
        for (;;) {
            int m = Marker();
            if (m >= 0xD0 && m <= 0xD7) continue;
            if (m == 0xD9) return false;
            bool known = (m >= 0xE0 && m <= 0xEF) || m == 0xFE || m == 0xDA || m == 0xC4 ||
                         m == 0xDB || m == 0xDD || m == 0xDC;
            if (!known) throw EDataFormatError(nullptr, "unknown marker");
            int length = s.GetWord() - 2;
            if (length < 0) throw EDataFormatError(nullptr, "length");
            if ((m >= 0xE0 && m <= 0xEF) || m == 0xFE)
                s.SkipByte(length);
            else if (m == 0xDA)
                return SAnalysis::Scan(d), true;
            else if (m == 0xC4)
                SAnalysis::Dht(d, length);
            else if (m == 0xDB)
                SAnalysis::Dqt(d, length);
            else if (m == 0xDD)
                d.m_nRestart = s.GetWord();
            else
                s.GetWord();
        }
    }

    void Render() {
        for (int y = 0; y < mcusY; ++y)
            for (int x = 0; x < mcusX; ++x) {
                if (*d.m_pContinue == 0) return;
                for (int c = 0; c < d.m_nComponents; ++c) {
                    const int* q =
                        quant[c].empty() ? d.m_nQuant[d.m_Comp[c].byTq] : quant[c].data();
                    for (int r = 0; r < d.m_Comp[c].byV; ++r)
                        for (int k = 0; k < d.m_Comp[c].byH; ++k) {
                            const int* blk =
                                Block(c, x * d.m_Comp[c].byH + k, y * d.m_Comp[c].byV + r);
                            int coef[64];
                            for (int j = 0; j < 64; ++j) coef[j] = Wrap(int64_t{q[j]} * blk[j]);
                            PlainTransform(d.m_nBasis, coef, shift, block);
                            Place(c, r, k);
                        }
                }
                Rgb(x, y);
            }
    }

    void Run() {
        int bx = (width + 7) / 8, by = (height + 7) / 8;
        mcusX = (bx + d.m_byHmax - 1) / d.m_byHmax;
        mcusY = (by + d.m_byVmax - 1) / d.m_byVmax;
        for (int c = 0; c < d.m_nComponents; ++c)
            store[c].assign(
                static_cast<size_t>(d.m_Comp[c].byH) * d.m_Comp[c].byV * mcusX * mcusY * 64, 0);
        bool started = false;
        try {
            do {
                if (*d.m_pContinue == 0) return;
                started = true;
                Scan();
            } while (Next());
        } catch (...) {
            if (started) Render();
            throw;
        }
        Render();
    }
};

bool StreamsWhole(const CJpegDecoder& d) {
    if (d.m_nFrameType != 0xC0 && d.m_nFrameType != 0xC1) return false;
    if (d.m_byNs != d.m_nComponents) return false;
    if (d.m_nComponents == 1) return d.m_byHmax == 1 && d.m_byVmax == 1;
    for (int c = 0; c < d.m_nComponents; ++c)
        if (d.m_ScanComp[c].byCs != d.m_Comp[c].byId) return false;
    return true;
}

}  // namespace

int PlainExtend(int v, int s) {
    if (((static_cast<uint32_t>(v) >> (s - 1)) & 1u) == 0)
        return Wrap(int64_t{v} + 1 - (int64_t{1} << s));
    return v;
}

int PlainHuffman(CInBitStream& stream, const SJpegHuffman& table) {
    int code = 0, e = 0;
    if (table.nCount == 0) throw EDataFormatError(nullptr, "length over");
    for (int l = 1; l <= 16; ++l) {
        int b = stream.GetBits(1);
        if (b < 0) return b;
        code = 2 * code + b;
        while (e < table.nCount && table.pSize[e] == l) {
            if (table.pCode[e] == code) return table.pValue[e];
            ++e;
        }
        if (e == table.nCount) break;
    }
    throw EDataFormatError(nullptr, "length over");
}

void PlainTransform(const int (*basis)[64], const int* coefZigzag, int shift, int* out) {
    int sum[64] = {};
    for (int k = 0; k < 64; ++k) {
        if (coefZigzag[k] == 0) continue;
        for (int j = 0; j < 64; ++j)
            sum[j] = Wrap(int64_t{sum[j]} + Wrap(int64_t{coefZigzag[k]} * basis[k][j]));
    }
    for (int j = 0; j < 64; ++j) out[j] = (sum[j] / 4) / 256 + shift;
}

void PlainColour(int y, int cb, int cr, unsigned char* bgr) {
    int b = y + Wrap(int64_t{17718} * (cb - 128)) / 10000;
    int g = y - Wrap(int64_t{7139} * cr + int64_t{3441} * cb - 1354240) / 10000;
    int r = y + Wrap(int64_t{14020} * (cr - 128)) / 10000;
    auto clamp = [](int v) { return static_cast<unsigned char>(v < 0 ? 0 : (v > 255 ? 255 : v)); };
    bgr[0] = clamp(b);
    bgr[1] = clamp(g);
    bgr[2] = clamp(r);
}

int PlainDecode(CJpegDecoder& d, unsigned char* pRGB, bool full) {
    if ((d.m_nFlag & (1 | 2 | 16)) == 0 || !d.m_pStream) return -2;
    try {
        if (d.m_nComponents != 1 && d.m_nComponents != 3) return -2;
        if (d.m_byHmax == 0 || d.m_byVmax == 0 || d.m_byNs > 3) return -2;
        for (int c = 0; c < d.m_nComponents; ++c)
            if (!d.m_Comp[c].byH || !d.m_Comp[c].byV || d.m_byHmax % d.m_Comp[c].byH ||
                d.m_byVmax % d.m_Comp[c].byV || d.m_Comp[c].byTq > 3)
                return -2;
        SPlain p{d,  pRGB, d.m_nWidth, d.m_nHeight, d.m_nPrecision == 8 ? 128 : 2048,
                 {}, {},   {0, 0, 0},  {}};
        size_t planeInts = static_cast<size_t>(d.m_byHmax) * d.m_byVmax * 64;
        p.plane[0].assign(planeInts, 0);
        p.plane[1].assign(planeInts, 128);
        p.plane[2].assign(planeInts, 128);
        if (d.m_nMaxPixels > 0 && int64_t{d.m_nWidth} * d.m_nHeight > d.m_nMaxPixels) return -1;
        if (full ? StreamsWhole(d) : d.m_nFrameType == 0xC0) {
            p.Baseline();
        } else if (full) {
            SPlainFull f{p, 0, 0, {}};
            f.Run();
        } else {
            p.Progressive();
        }
        return 0;
    } catch (const EBufferError&) {
        return -1;
    } catch (const EIndexError&) {
        return -1;
    } catch (const EMemoryError&) {
        return -1;
    } catch (const EDataFormatError&) {
        return -2;
    }
}

}  // namespace jpegtest
