// The entropy-data reader and Huffman decoding of the JPEG decoder (see JpegBitReader.h). Used by
// the baseline and progressive decoders between a scan header and the next marker.
//
// Equivalence with CInBitStream::GetBits: the byte reader moves onto the byte after the current
// one (skipping a stuffed 0x00 after a data 0xFF) and stops there when it is a 0xFF followed by a
// non-zero byte, or when the data ends. Every byte before that point is therefore plain data, and
// the register is loaded from those bytes only. The byte that was current when the state was
// taken over is loaded as it stands, without the 0xFF test, since the byte reader tests a byte
// only when it moves onto it.
#include "jpeg/JpegBitReader.h"

#include <cstddef>
#include <cstring>

#include "foundation/ByteReaderErrors.h"
#include "jpeg/JpegTexts.h"

#if defined(__x86_64__) && PHOTOGEO_JPEG_X86_SIMD
#include <emmintrin.h>
#endif

namespace photogeo::jpeg {

namespace {

// In a progressive AC scan a code of size 0 other than run 15 (sixteen zeros) ends the band: its
// run r (0-14) opens an end-of-band run of 2^r blocks plus the value of r more bits.
inline bool EndsBand(int rs) {
    return (rs & 15) == 0 && rs < 0xF0;
}

// The positions k and above (none when k is past 63).
inline uint64_t From(int k) {
    return k > 63 ? 0 : ~uint64_t{0} << k;
}

}  // namespace

void BuildHuffmanLookup(const SJpegHuffman& table, SHuffmanLookup& lookup) {
    std::memset(lookup.fast, 0, sizeof lookup.fast);
    for (int l = 0; l <= 16; ++l) {
        lookup.firstCode[l] = 0;
        lookup.countOf[l] = 0;
        lookup.firstIndex[l] = 0;
    }
    lookup.table = &table;
    const int kFast = SHuffmanLookup::kFastBits;
    for (int e = 0; e < table.nCount; ++e) {
        int len = table.pSize[e];
        int code = table.pCode[e];
        if (len < 1 || len > 16) continue;
        if (lookup.countOf[len] == 0) {
            lookup.firstCode[len] = code;
            lookup.firstIndex[len] = e;
        }
        ++lookup.countOf[len];
        // A code that does not fit its length (an over-full table) can never be read.
        if (len <= kFast && code < (1 << len)) {
            int first = code << (kFast - len);
            int last = (code + 1) << (kFast - len);
            uint16_t entry = static_cast<uint16_t>((len << 8) | (table.pValue[e] & 0xFF));
            for (int i = first; i < last; ++i) lookup.fast[i] = entry;
        }
    }
    // Code and amplitude together, where both fit in the look-ahead.
    for (int i = 0; i < (1 << kFast); ++i) {
        lookup.fastAC[i] = 0;
        int entry = lookup.fast[i];
        if (entry == 0) continue;
        int len = entry >> 8;
        int rs = entry & 0xFF;
        int size = rs & 15;
        int run = rs >> 4;
        if (rs == 0) {
            lookup.fastAC[i] = (SHuffmanLookup::kEndOfBlock << 8) | len;
        } else if (size == 0) {
            if (run == 15) lookup.fastAC[i] = (run << 8) | len;
        } else if (len + size <= kFast) {
            int bits = (i >> (kFast - len - size)) & ((1 << size) - 1);
            int amplitude = Extend(bits, size);
            lookup.fastAC[i] = static_cast<int32_t>(static_cast<uint32_t>(amplitude) << 16) |
                               (run << 8) | (len + size);
        }
    }
}

void CJpegBitReader::Attach(const CInBitStream& stream) {
    m_pEnd = stream.m_pEnd;
    Sync(stream.m_pCur, stream.m_nBit, stream.m_bNoStuff);
}

void CJpegBitReader::Sync(const unsigned char* pCur, int nBit, int bNoStuff) {
    m_pSyncCur = pCur;
    m_nSyncBit = nBit;
    m_bSyncNoStuff = bNoStuff;
    m_acc = 0;
    m_nBits = 0;
    m_nLoaded = 0;
    m_nLoads = 0;
    if (pCur >= m_pEnd) {
        // Nothing is left to read: the next request ends the data.
        m_pFill = m_pLimit = m_pSafe = m_pEnd;
        return;
    }
    if (nBit >= 0) {
        int avail = nBit + 1;
        uint64_t bits = *pCur & ((1u << avail) - 1u);
        m_acc = bits << (64 - avail);
        m_nBits = avail;
        m_nLoaded = static_cast<uint64_t>(avail);
        m_loads[0] = SLoad{pCur, 0, true, false};
        m_nLoads = 1;
    }
    // The byte after the current one, past a stuffed 0x00 when one is pending.
    ptrdiff_t step = bNoStuff ? 1 : 2;
    m_pFill = (m_pEnd - pCur > step) ? pCur + step : m_pEnd;
    FindLimit();
    Record(m_pFill, true);
}

void CJpegBitReader::Record(const unsigned char* p, bool bLinear) {
    m_loads[m_nLoads % kLoads] = SLoad{p, m_nLoaded, false, bLinear};
    ++m_nLoads;
    if (bLinear) {
        const void* ff = std::memchr(p, 0xFF, static_cast<size_t>(m_pLimit - p));
        m_pSafe = ff ? static_cast<const unsigned char*>(ff) : m_pLimit;
    }
}

void CJpegBitReader::FindLimit() {
    const unsigned char* p = m_pFill;
    while (p < m_pEnd) {
        const void* ff = std::memchr(p, 0xFF, static_cast<size_t>(m_pEnd - p));
        if (ff == nullptr) {
            p = m_pEnd;
            break;
        }
        p = static_cast<const unsigned char*>(ff);
        if (p + 1 >= m_pEnd || p[1] != 0) break;
        p += 2;
    }
    m_pLimit = p;
}

void CJpegBitReader::RefillSlow() {
    if (m_pFill >= m_pLimit || m_nBits > 56) return;
    Record(m_pFill, false);
    while (m_nBits <= 56 && m_pFill < m_pLimit) {
        unsigned b = *m_pFill;
        // Every 0xFF before the limit is followed by its stuffed 0x00.
        m_pFill += (b == 0xFF) ? 2 : 1;
        m_acc |= static_cast<uint64_t>(b) << (56 - m_nBits);
        m_nBits += 8;
        m_nLoaded += 8;
    }
    // A stretch without 0xFF starts here.
    Record(m_pFill, true);
}

int CJpegBitReader::LimitReached() {
    // The byte reader takes the bits that are left, then moves onto the limit.
    m_nLoaded -= static_cast<uint64_t>(m_nBits);
    m_acc = 0;
    m_nBits = 0;
    const unsigned char* p = m_pLimit;
    if (p >= m_pEnd || p + 1 >= m_pEnd) throw EBufferError(foundation::kErrGetBits);
    int marker = p[1];
    // It stays on the 0xFF with bit 7 current and no stuffed byte pending.
    Sync(p, 7, 1);
    return -marker;
}

int CJpegBitReader::DecodeHuffmanLong(const SHuffmanLookup& lookup) {
    for (int l = SHuffmanLookup::kFastBits + 1; l <= 16; ++l) {
        int32_t code = static_cast<int32_t>(m_acc >> (64 - l));
        uint32_t offset = static_cast<uint32_t>(code - lookup.firstCode[l]);
        if (offset < static_cast<uint32_t>(lookup.countOf[l])) {
            m_acc <<= l;
            m_nBits -= l;
            return lookup.table->pValue[lookup.firstIndex[l] + static_cast<int>(offset)];
        }
    }
    throw EDataFormatError(BytePosition(), kLengthOver);
}

int CJpegBitReader::DecodeHuffmanSlow(const SJpegHuffman& table) {
    // Near a marker or the end every bit is taken singly, so that a marker met inside a code, or
    // the end of the data, shows at the same bit as in the one-bit-at-a-time search.
    int code = 0;
    int e = 0;
    if (table.nCount <= 0) throw EDataFormatError(BytePosition(), kLengthOver);
    for (int l = 1; l <= 16; ++l) {
        int b = GetBits(1);
        if (b < 0) return b;
        code = 2 * code + b;
        while (e < table.nCount && table.pSize[e] == l) {
            if (table.pCode[e] == code) return table.pValue[e];
            ++e;
        }
        if (e >= table.nCount) break;
    }
    throw EDataFormatError(BytePosition(), kLengthOver);
}

void CJpegBitReader::DecodeBaselineBlock(const SHuffmanLookup& dc, const SHuffmanLookup& ac,
                                         const int* quant, int& nPred, int* pCoef,
                                         uint64_t& nMask) {
    const int kFast = SHuffmanLookup::kFastBits;
    const int32_t kRunBits = 0x0F00;
#if defined(__x86_64__) && PHOTOGEO_JPEG_X86_SIMD
    // Sixteen stores in line, written out: as a loop the compiler makes them a string store,
    // which starts slowly.
    const __m128i zero = _mm_setzero_si128();
    __m128i* const pZero = reinterpret_cast<__m128i*>(pCoef);
    _mm_storeu_si128(pZero + 0, zero), _mm_storeu_si128(pZero + 1, zero);
    _mm_storeu_si128(pZero + 2, zero), _mm_storeu_si128(pZero + 3, zero);
    _mm_storeu_si128(pZero + 4, zero), _mm_storeu_si128(pZero + 5, zero);
    _mm_storeu_si128(pZero + 6, zero), _mm_storeu_si128(pZero + 7, zero);
    _mm_storeu_si128(pZero + 8, zero), _mm_storeu_si128(pZero + 9, zero);
    _mm_storeu_si128(pZero + 10, zero), _mm_storeu_si128(pZero + 11, zero);
    _mm_storeu_si128(pZero + 12, zero), _mm_storeu_si128(pZero + 13, zero);
    _mm_storeu_si128(pZero + 14, zero), _mm_storeu_si128(pZero + 15, zero);
#else
    std::memset(pCoef, 0, 64 * sizeof(int));
#endif
    if (m_nBits < 32) Refill();
    int diff = 0;
    if (m_nBits >= 32) {
        // A code (16 bits at most) and its difference bits (16 at most) are all at hand.
        const int32_t both = dc.fastAC[m_acc >> (64 - kFast)];
        if (both != 0 && (both & kRunBits) == 0) {
            m_acc <<= both & 0xFF;
            m_nBits -= both & 0xFF;
            diff = both >> 16;
        } else {
            const int s = DecodeHuffmanAt(dc, m_acc, m_nBits);
            if (s > 16) throw EDataFormatError(BytePosition(), kWrongValue);
            if (s != 0) {
                diff = Extend(static_cast<int>(m_acc >> (64 - s)), s);
                m_acc <<= s;
                m_nBits -= s;
            }
        }
    } else {
        int s = DecodeHuffman(dc);
        if (s < 0) throw EDataFormatError(BytePosition(), kErrorMarker);
        if (s > 16) throw EDataFormatError(BytePosition(), kWrongValue);
        if (s != 0) diff = Extend(GetBits(s), s);
    }
    nPred = AddWrap(nPred, diff);
    pCoef[0] = MulWrap(quant[0], nPred);

    // The AC coefficients. The register and its count live in locals here, so that the stores
    // of coefficients do not force them back to memory; they return to the members around every
    // call that uses them. Every decoded position gets its mask bit, zero or not (a ZRL or a zero
    // quantiser): the transform skips nothing it needs, and the bit does not wait for the
    // product.
    uint64_t acc = m_acc;
    int nBits = m_nBits;
    uint64_t mask = pCoef[0] != 0 ? 1 : 0;
    unsigned k = 1;
    for (;;) {
        if (nBits < 32) {
            RefillAt(acc, nBits);
            if (nBits < 32) {
                // Near a marker or the end: a code and its amplitude may not both be here.
                nMask = mask;
                DecodeBaselineACFrom(static_cast<int>(k), ac, quant, pCoef, nMask);
                return;
            }
        }
        // With 32 bits at hand a code (16 at most) and its amplitude (15 at most) need no load.
        const int32_t both = ac.fastAC[acc >> (64 - kFast)];
        if (both != 0) {
            const unsigned at = k + ((static_cast<uint32_t>(both) >> 8) & 0xFF);
            const int len = both & 0xFF;
            if (at < 63) {
                acc <<= len;
                nBits -= len;
                pCoef[at] = MulWrap(quant[at], both >> 16);
                mask |= uint64_t{1} << at;
                k = at + 1;
                continue;
            }
            if (at == 63) {
                acc <<= len;
                nBits -= len;
                pCoef[63] = MulWrap(quant[63], both >> 16);
                mask |= uint64_t{1} << 63;
                break;
            }
            if (at == k + SHuffmanLookup::kEndOfBlock) {
                acc <<= len;
                nBits -= len;
                break;
            }
            // A run past the end of the block: refused below.
        }
        const int rs = DecodeHuffmanAt(ac, acc, nBits);
        if (rs == 0) break;
        int size = rs & 15;
        int run = rs >> 4;
        int amplitude = 0;
        if (size != 0) {
            amplitude = Extend(static_cast<int>(acc >> (64 - size)), size);
            acc <<= size;
            nBits -= size;
        } else if (run != 15) {
            m_acc = acc;
            m_nBits = nBits;
            throw EDataFormatError(BytePosition(), kWrongValue);
        }
        if (run + static_cast<int>(k) > 63) {
            m_acc = acc;
            m_nBits = nBits;
            throw EDataFormatError(BytePosition(), kWrongRun);
        }
        k += static_cast<unsigned>(run);
        pCoef[k] = MulWrap(quant[k], amplitude);
        mask |= uint64_t{1} << k;
        if (++k > 63) break;
    }
    m_acc = acc;
    m_nBits = nBits;
    nMask = mask;
}

void CJpegBitReader::DecodeBaselineACFrom(int k, const SHuffmanLookup& lookup, const int* quant,
                                          int* pCoef, uint64_t& nMask) {
    while (k < 64) {
        int rs = DecodeHuffman(lookup);
        if (rs == 0) break;
        if (rs < 0) throw EDataFormatError(BytePosition(), kErrorMarker);
        int size = rs & 15;
        int run = rs >> 4;
        int amplitude = 0;
        if (size != 0)
            amplitude = Extend(GetBits(size), size);
        else if (run != 15)
            throw EDataFormatError(BytePosition(), kWrongValue);
        if (run + k > 63) throw EDataFormatError(BytePosition(), kWrongRun);
        k += run;
        int v = MulWrap(quant[k], amplitude);
        pCoef[k] = v;
        nMask |= uint64_t{1} << k;
        ++k;
    }
}

uint64_t CJpegBitReader::DecodeProgressiveAC(const SHuffmanLookup& lookup, int nSs, int nSe,
                                             int* pBlock, int& nEobRun) {
    uint64_t written = 0;
    // As DecodeBaselineBlock: locals for the register, the slow road near a marker or the end.
    uint64_t acc = m_acc;
    int nBits = m_nBits;
    const int kFast = SHuffmanLookup::kFastBits;
    for (int k = nSs;;) {
        if (nBits < 32) {
            RefillAt(acc, nBits);
            if (nBits < 32)
                return written | DecodeProgressiveACFrom(k, lookup, nSe, pBlock, nEobRun);
        }
        const int32_t both = lookup.fastAC[acc >> (64 - kFast)];
        if (both != 0) {
            // One test on the new position, as in DecodeBaselineBlock.
            const int at = k + ((both >> 8) & 0xFF);
            const int len = both & 0xFF;
            if (at < nSe) {
                acc <<= len;
                nBits -= len;
                pBlock[at] = both >> 16;
                written |= uint64_t{1} << at;
                k = at + 1;
                continue;
            }
            if (at == nSe) {
                acc <<= len;
                nBits -= len;
                pBlock[at] = both >> 16;
                written |= uint64_t{1} << at;
                break;
            }
            if (at == k + SHuffmanLookup::kEndOfBlock) {
                // End of band, no run after this block.
                acc <<= len;
                nBits -= len;
                nEobRun = -1;
                break;
            }
        }
        const int rs = DecodeHuffmanAt(lookup, acc, nBits);
        int size = rs & 15;
        int run = rs >> 4;
        int amplitude = 0;
        if (size != 0) {
            amplitude = Extend(static_cast<int>(acc >> (64 - size)), size);
            acc <<= size;
            nBits -= size;
        } else if (EndsBand(rs)) {
            // End of band: run (at most 14) extra bits, within the 32 at hand.
            int extra = 0;
            if (run != 0) {
                extra = static_cast<int>(acc >> (64 - run));
                acc <<= run;
                nBits -= run;
            }
            nEobRun = (run ? (1 << run) + extra : 0) - 1;
            break;
        }
        if (run + k > nSe) {
            m_acc = acc;
            m_nBits = nBits;
            throw EDataFormatError(BytePosition(), kWrongRun);
        }
        k += run;
        pBlock[k] = amplitude;
        written |= uint64_t{1} << k;
        if (++k > nSe) break;
    }
    m_acc = acc;
    m_nBits = nBits;
    return written;
}

uint64_t CJpegBitReader::DecodeProgressiveACFrom(int k, const SHuffmanLookup& lookup, int nSe,
                                                 int* pBlock, int& nEobRun) {
    uint64_t written = 0;
    for (;;) {
        int rs = DecodeHuffman(lookup);
        if (rs < 0) throw EDataFormatError(BytePosition(), kErrorMarker);
        int size = rs & 15;
        int run = rs >> 4;
        int amplitude = 0;
        if (size != 0) {
            amplitude = Extend(GetBits(size), size);
        } else if (EndsBand(rs)) {
            nEobRun = (run ? (1 << run) + GetBits(run) : 0) - 1;
            return written;
        }
        if (run + k > nSe) throw EDataFormatError(BytePosition(), kWrongRun);
        k += run;
        pBlock[k] = amplitude;
        written |= uint64_t{1} << k;
        if (++k > nSe) return written;
    }
}

SRefinement CJpegBitReader::RefineAC(const SHuffmanLookup& lookup, int nSs, int nSe,
                                     uint64_t nNonZero, int& nEobRun) {
    // As DecodeBaselineBlock: the register in locals, the slow road near a marker or the end; the
    // run and the result in locals too, stored once.
    uint64_t acc = m_acc;
    int nBits = m_nBits;
    int eobRun = nEobRun;
    uint64_t corrected = 0, placed = 0, negative = 0;
    int k = nSs;
    while (eobRun == 0 && k <= nSe) {
        if (nBits < 32) {
            RefillAt(acc, nBits);
            if (nBits < 32) {
                SRefinement result{corrected, placed, negative};
                RefineACFrom(k, lookup, nSe, nNonZero, eobRun, result);
                nEobRun = eobRun;
                return result;
            }
        }
        // With 32 bits at hand: a code (16 at most) with its sign bit or its run's bits (14).
        const int rs = DecodeHuffmanAt(lookup, acc, nBits);
        const int run = rs >> 4;
        const bool value = (rs & 15) != 0;
        uint64_t positive = 0;
        if (value) {
            positive = acc >> 63;
            acc <<= 1;
            --nBits;
        } else if (EndsBand(rs)) {
            eobRun = 1 << run;
            if (run != 0) {
                eobRun += static_cast<int>(acc >> (64 - run));
                acc <<= run;
                nBits -= run;
            }
            break;
        }
        // The new coefficient's place lies `run` zero coefficients on; each non-zero one passed on
        // the way moves it one further and takes a correction bit. Past the band when the zeros
        // run out.
        int place = k + run;
        const uint64_t accBefore = acc;
        const uint64_t correctedBefore = corrected;
        uint64_t ahead = nNonZero & (~uint64_t{0} << k);
        int passed = 0;
        for (; ahead != 0 && LowestBit(ahead) <= place; ahead &= ahead - 1) {
            ++place;
            corrected |= (ahead & (0 - ahead)) & (0 - (acc >> 63));
            acc <<= 1;
            ++passed;
        }
        if (passed <= nBits) {
            nBits -= passed;
        } else {
            // More correction bits than the register held: taken again one by one.
            m_acc = accBefore;
            m_nBits = nBits;
            corrected = correctedBefore | Correct(nNonZero & (~uint64_t{0} << k) & ~ahead);
            acc = m_acc;
            nBits = m_nBits;
        }
        if (value) {
            if (place > nSe) {
                m_acc = acc;
                m_nBits = nBits;
                throw EDataFormatError(BytePosition(), kWrongRun);
            }
            placed |= uint64_t{1} << place;
            negative |= (positive ^ 1) << place;
        }
        k = place + 1;
    }
    m_acc = acc;
    m_nBits = nBits;
    if (eobRun > 0) {
        corrected |= Correct(nNonZero & From(k));
        --eobRun;
    }
    nEobRun = eobRun;
    return SRefinement{corrected, placed, negative};
}

uint64_t CJpegBitReader::Correct(uint64_t nAt) {
    uint64_t corrected = 0;
    uint64_t acc = m_acc;
    int nBits = m_nBits;
    for (; nAt != 0; nAt &= nAt - 1) {
        if (nBits == 0) {
            m_acc = acc;
            m_nBits = nBits;
            Refill();
            if (m_nBits == 0) {
                LimitReached();
                throw EDataFormatError(BytePosition(), kErrorMarker);
            }
            acc = m_acc;
            nBits = m_nBits;
        }
        corrected |= (nAt & (0 - nAt)) & (0 - (acc >> 63));
        acc <<= 1;
        --nBits;
    }
    m_acc = acc;
    m_nBits = nBits;
    return corrected;
}

void CJpegBitReader::RefineACFrom(int k, const SHuffmanLookup& lookup, int nSe, uint64_t nNonZero,
                                  int& nEobRun, SRefinement& result) {
    while (nEobRun == 0 && k <= nSe) {
        const int rs = DecodeHuffman(lookup);
        if (rs < 0) throw EDataFormatError(BytePosition(), kErrorMarker);
        const int run = rs >> 4;
        const bool value = (rs & 15) != 0;
        int positive = 0;
        if (value) {
            positive = GetBits(1);
            if (positive < 0) throw EDataFormatError(BytePosition(), kErrorMarker);
        } else if (EndsBand(rs)) {
            nEobRun = 1 << run;
            if (run != 0) {
                const int extra = GetBits(run);
                if (extra < 0) throw EDataFormatError(BytePosition(), kErrorMarker);
                nEobRun += extra;
            }
            break;
        }
        int place = k + run;
        for (uint64_t ahead = nNonZero & From(k); ahead != 0 && LowestBit(ahead) <= place;
             ahead &= ahead - 1)
            ++place;
        if (place > nSe) place = nSe + 1;
        result.corrected |= Correct(nNonZero & From(k) & ~From(place));
        if (value) {
            if (place > nSe) throw EDataFormatError(BytePosition(), kWrongRun);
            result.placed |= uint64_t{1} << place;
            result.negative |= static_cast<uint64_t>(positive ^ 1) << place;
        }
        k = place + 1;
    }
    if (nEobRun > 0) {
        result.corrected |= Correct(nNonZero & From(k));
        --nEobRun;
    }
}

void CJpegBitReader::State(unsigned char*& pCur, int& nBit, int& bNoStuff) const {
    uint64_t consumed = m_nLoaded - static_cast<uint64_t>(m_nBits);
    pCur = const_cast<unsigned char*>(m_pSyncCur);
    nBit = m_nSyncBit;
    bNoStuff = m_bSyncNoStuff;
    if (consumed == 0) return;
    unsigned newest = m_nLoads - 1;
    unsigned oldest = m_nLoads > kLoads ? m_nLoads - kLoads : 0;
    for (unsigned i = newest + 1; i-- > oldest;) {
        const SLoad& load = m_loads[i % kLoads];
        if (load.bitStart >= consumed) continue;
        uint64_t last = consumed - load.bitStart - 1;  // the last bit taken, within this load
        if (load.bSyncByte) {
            nBit = m_nSyncBit - static_cast<int>(consumed);
            return;
        }
        const unsigned char* p = load.p;
        if (load.bLinear)
            p += last / 8;
        else
            for (uint64_t k = last / 8; k > 0; --k) p += (*p == 0xFF) ? 2 : 1;
        pCur = const_cast<unsigned char*>(p);
        nBit = 6 - static_cast<int>(last % 8);
        bNoStuff = (*p == 0xFF) ? 0 : 1;
        return;
    }
}

void CJpegBitReader::Detach(CInBitStream& stream) const {
    State(stream.m_pCur, stream.m_nBit, stream.m_bNoStuff);
}

unsigned char* CJpegBitReader::BytePosition() const {
    unsigned char* pCur;
    int nBit;
    int bNoStuff;
    State(pCur, nBit, bNoStuff);
    if (nBit == 7) return pCur;
    if (pCur >= m_pEnd) return nullptr;
    return pCur + 1;
}

}  // namespace photogeo::jpeg
