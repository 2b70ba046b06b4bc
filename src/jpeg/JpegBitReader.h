// The entropy-data reader of the JPEG decoder: a word-at-a-time replacement for
// CInBitStream::GetBits that gives exactly the same bits, marker results and errors, and the
// Huffman decoding built on it.
//
// The decoders take over the byte reader's state (current byte, bit position, stuffed-byte flag)
// when a scan's entropy data begins, read through this reader, and hand the state back before
// they read a marker with the byte reader again. Between those points the reader keeps up to 64
// bits in a register, loaded from the data bytes that lie before the next marker (a 0xFF followed
// by a non-zero byte) or the end of the data. Only a request that needs bits beyond that limit
// takes the byte reader's slow road: it returns the negated marker code, or throws EBufferError
// at the end of the data, and leaves the state where the byte reader would leave it (on the
// marker's 0xFF, bit 7), from where further reads take the marker bytes as data just as
// CInBitStream::GetBits does.
#ifndef PHOTOGEO_JPEG_JPEGBITREADER_H
#define PHOTOGEO_JPEG_JPEGBITREADER_H

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "jpeg/JpegKernels.h"
#include "photogeo/InBitStream.h"
#include "photogeo/JpegDecoder.h"

namespace photogeo::jpeg {

// The eight bytes at p as a big-endian number, the first byte in the top bits, on any host.
inline uint64_t BigEndianWord(const unsigned char* p) {
#if defined(__GNUC__) && defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
    uint64_t word;
    std::memcpy(&word, p, 8);
    return __builtin_bswap64(word);
#elif defined(__GNUC__) && defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
    uint64_t word;
    std::memcpy(&word, p, 8);
    return word;
#else
    uint64_t word = 0;
    for (int i = 0; i < 8; ++i) word = (word << 8) | p[i];
    return word;
#endif
}

// Lookup form of one SJpegHuffman table. Codes of up to kFastBits bits are found with one look
// at the next kFastBits bits; longer ones by comparing against the first code of each length.
struct SHuffmanLookup {
    static const int kFastBits = 10;
    // (length << 8) | value for every kFastBits-bit prefix that starts with a code of up to
    // kFastBits bits; 0 where none does.
    uint16_t fast[1 << kFastBits];
    int32_t firstCode[17];   // code of the first entry of each length
    int32_t countOf[17];     // entries of each length
    int32_t firstIndex[17];  // index of the first entry of each length
    // Code and amplitude in one look: (amplitude << 16) | (run << 8) | bits for every
    // kFastBits-bit prefix that holds a whole code and its amplitude bits, the code's value
    // read as an AC run/size pair: sixteen zeros (run 15, size 0) have amplitude 0, and value 0
    // (end of block; a DC difference of size 0) has run kEndOfBlock; 0 elsewhere. A DC value of
    // size 1-15 reads as run 0: its amplitude is the difference.
    static const int kEndOfBlock = 64;
    int32_t fastAC[1 << kFastBits];
    const SJpegHuffman* table;
};

// Builds the lookup form; the table must outlive it.
void BuildHuffmanLookup(const SJpegHuffman& table, SHuffmanLookup& lookup);

// What one block of an AC refinement scan does to its stored coefficients: the positions whose
// correction bit is 1 (a coefficient that lacks the scan's bit gets it, away from zero), and the
// positions of the new coefficients, each the scan's bit in magnitude, negative where `negative`
// has its bit set.
struct SRefinement {
    uint64_t corrected;
    uint64_t placed;
    uint64_t negative;
};

class CJpegBitReader {
public:
    // Takes over the byte reader's position, bit position and stuffed-byte flag.
    void Attach(const CInBitStream& stream);
    // Gives the state back to the byte reader (its current byte, bit position, stuffed-byte flag).
    void Detach(CInBitStream& stream) const;
    // The byte reader's GetBytePosition for the current state, for error reports.
    unsigned char* BytePosition() const;

    // CInBitStream::GetBits(n) for 0 <= n <= 16.
    int GetBits(int n) {
        if (n <= 0) return 0;
        if (m_nBits < n) {
            Refill();
            if (m_nBits < n) return LimitReached();
        }
        int value = static_cast<int>(m_acc >> (64 - n));
        m_acc <<= n;
        m_nBits -= n;
        return value;
    }

    // The next Huffman value, as the canonical search over the table's entries gives it: a
    // value 0-255, a negative marker code met inside a code, or EDataFormatError
    // "Decode1HuffmanCode:length over" when no code of up to 16 bits matches.
    int DecodeHuffman(const SHuffmanLookup& lookup) {
        if (m_nBits < 16) {
            Refill();
            if (m_nBits < 16) return DecodeHuffmanSlow(*lookup.table);
        }
        return DecodeHuffmanAt(lookup, m_acc, m_nBits);
    }

    // One baseline block: pCoef (64 ints) cleared, the DC difference with table dc added to
    // nPred, times quant[0], to pCoef[0], then each AC amplitude times quant[k] to pCoef[k];
    // nMask gets the bit of every position decoded (of pCoef[0] when non-zero). Same values and
    // errors as DecodeHuffman and GetBits one by one.
    void DecodeBaselineBlock(const SHuffmanLookup& dc, const SHuffmanLookup& ac, const int* quant,
                             int& nPred, int* pCoef, uint64_t& nMask);

    // One block of a progressive AC scan, band nSs..nSe (nSs <= nSe <= 63) of the table's
    // values: amplitudes (not dequantised) to pBlock[k]; an end-of-band code sets nEobRun as
    // 2^run + the run's extra bits, less 1 for this block. Same values and errors as decoding
    // them one by one with DecodeHuffman and GetBits. Returns the mask of the positions written.
    uint64_t DecodeProgressiveAC(const SHuffmanLookup& lookup, int nSs, int nSe, int* pBlock,
                                 int& nEobRun);

    // One block of an AC refinement scan over the band nSs..nSe (1 <= nSs <= nSe <= 63) whose
    // stored coefficients are non-zero at the positions of nNonZero (all within the band).
    // nEobRun counts the blocks of the open end-of-band run, this one included; 0 when no run is
    // open, and a run read here opens one. Nothing is written: the caller applies the result once
    // the block has been read whole, so a block that fails part-way stays as the earlier scans
    // left it. Same values and errors as decoding the block code by code and bit by bit with
    // DecodeHuffman and GetBits.
    SRefinement RefineAC(const SHuffmanLookup& lookup, int nSs, int nSe, uint64_t nNonZero,
                         int& nEobRun);

private:
    void RefineACFrom(int k, const SHuffmanLookup& lookup, int nSe, uint64_t nNonZero,
                      int& nEobRun, SRefinement& result);
    // One correction bit for each coefficient at the positions of nAt, lowest first; returns
    // the positions whose bit is 1.
    uint64_t Correct(uint64_t nAt);
    uint64_t DecodeProgressiveACFrom(int k, const SHuffmanLookup& lookup, int nSe, int* pBlock,
                                     int& nEobRun);
    void DecodeBaselineACFrom(int k, const SHuffmanLookup& lookup, const int* quant, int* pCoef,
                              uint64_t& nMask);
    void Sync(const unsigned char* pCur, int nBit, int bNoStuff);
    void FindLimit();
    // Loads whole bytes until more than 56 bits are held, or up to the limit; called with fewer
    // than 57 bits held. Eight bytes at a time where no 0xFF lies among them.
    void Refill() {
        if (m_pSafe - m_pFill >= 8) {
            // Bits of a ninth byte may land below the count: the same byte loaded later puts the
            // same bits there.
            const int take = (63 - m_nBits) >> 3;
            m_acc |= BigEndianWord(m_pFill) >> m_nBits;
            m_pFill += take;
            m_nBits += 8 * take;
            m_nLoaded += static_cast<uint64_t>(8 * take);
            return;
        }
        RefillSlow();
    }
    void RefillSlow();
    // Refill for a reader that holds the bit buffer in its locals (acc, nBits).
    void RefillAt(uint64_t& acc, int& nBits) {
        m_acc = acc;
        m_nBits = nBits;
        Refill();
        acc = m_acc;
        nBits = m_nBits;
    }
    void Record(const unsigned char* p, bool bLinear);
    int LimitReached();
    int DecodeHuffmanLong(const SHuffmanLookup& lookup);
    // The next Huffman value with 16 bits or more at hand, the bit buffer held in the caller's
    // locals (acc, nBits; they may be m_acc and m_nBits themselves): one table step for short
    // codes, the long search through the members otherwise.
    int DecodeHuffmanAt(const SHuffmanLookup& lookup, uint64_t& acc, int& nBits) {
        const unsigned entry = lookup.fast[acc >> (64 - SHuffmanLookup::kFastBits)];
        if (entry != 0) {
            acc <<= entry >> 8;
            nBits -= static_cast<int>(entry >> 8);
            return static_cast<int>(entry & 0xFF);
        }
        m_acc = acc;
        m_nBits = nBits;
        const int value = DecodeHuffmanLong(lookup);
        acc = m_acc;
        nBits = m_nBits;
        return value;
    }
    int DecodeHuffmanSlow(const SJpegHuffman& table);
    void State(unsigned char*& pCur, int& nBit, int& bNoStuff) const;

    uint64_t m_acc = 0;  // unread bits, most significant first
    int m_nBits = 0;
    const unsigned char* m_pFill = nullptr;   // next byte to load
    const unsigned char* m_pLimit = nullptr;  // the next marker's 0xFF, or the end
    const unsigned char* m_pSafe = nullptr;   // the next 0xFF (a stuffed one) or the limit
    const unsigned char* m_pEnd = nullptr;
    uint64_t m_nLoaded = 0;  // bits loaded since Attach or the last marker

    // The state taken over, for mapping the bit count back to a byte position.
    const unsigned char* m_pSyncCur = nullptr;
    int m_nSyncBit = 7;
    int m_bSyncNoStuff = 1;

    // Where the bytes of the register came from: the byte taken over, each byte-by-byte load
    // (which may hold stuffed pairs) and each stretch of 0xFF-free bytes that the 8-byte loads
    // run over from its start. The last few are kept, so that the byte holding any bit still in
    // the register can be found again.
    struct SLoad {
        const unsigned char* p;
        uint64_t bitStart;
        bool bSyncByte;
        bool bLinear;
    };
    static const int kLoads = 16;
    SLoad m_loads[kLoads] = {};
    unsigned m_nLoads = 0;
};

// Sign extension of an s-bit amplitude (1 <= s <= 16): when bit s - 1 is 0 add 1 - 2^s. A
// negative marker result passed in is extended by the same rule, as the byte reader's caller
// would extend it.
inline int Extend(int v, int s) {
    if (((static_cast<uint32_t>(v) >> (s - 1)) & 1u) == 0) return v + 1 - (1 << s);
    return v;
}

}  // namespace photogeo::jpeg

// Decoding state of one DoDecode: the reader, the lookup form of every Huffman table, the
// transform tables, the block being decoded, the kernels in use, and the bitmap size the caller
// allocated for (taken when decoding starts, so that a line count met between progressive scans
// cannot move the output past it).
struct SJpegEntropy {
    photogeo::jpeg::CJpegBitReader reader;
    photogeo::jpeg::SHuffmanLookup lookup[2][4];
    photogeo::jpeg::STransformTables tables;
    // The block being decoded: dequantised coefficients in zig-zag order, and a mask with the
    // bit of every non-zero one set (and perhaps of a few zero ones).
    alignas(32) int coef[64];
    uint64_t mask;
    photogeo::jpeg::DequantiseFn dequantise;
    photogeo::jpeg::TransformFn transform;
    photogeo::jpeg::TransformFn transformReplicated[2][2];
    photogeo::jpeg::ColourRowsFn colourRows;
    photogeo::jpeg::ColourRowsFn greyRows;
    photogeo::jpeg::ColourHalfFn colourHalf;
    // 1 or 2 when Cb and Cr are one block per MCU of 2 by halfVf luminance blocks (4:2:2, 4:2:0):
    // their samples then stay one block each, at the start of their planes, and the colour
    // output replicates them (ColourHalfFn); 0 when the planes hold replicated samples.
    int halfVf = 0;
    // Each component's replication across and down (the largest sampling factors over its own).
    int repeatH[3] = {1, 1, 1};
    int repeatV[3] = {1, 1, 1};
    // The MCU decoder's road for each component, set when it starts: its blocks across and down
    // in an MCU, its Huffman tables and quantiser, and the transform that writes block (r, k)
    // of the MCU at plane + 8 * (r * stride + k), rows stride ints apart (null where
    // EmitBlock's general road, transform then copy, applies).
    struct SRoad {
        int across, down;
        const photogeo::jpeg::SHuffmanLookup* dc;
        const photogeo::jpeg::SHuffmanLookup* ac;
        const int* quant;
        photogeo::jpeg::TransformFn emit;
        int* plane;
        int stride;
        // From one block of the component to the next, down and across, in plane ints: a
        // replicated block covers 8 x repeat samples each way.
        int rowStep, columnStep;
    };
    SRoad road[3] = {};

    // The transform, plane and stride of each component's road, for planes of planeWidth ints
    // (EmitBlock's choice).
    void ChooseEmit(int components, int* const* planes, int planeWidth) {
        for (int c = 0; c < components; ++c) {
            SRoad& r = road[c];
            r.plane = planes[c];
            r.emit = nullptr;
            r.stride = 0;
            if (c > 0 && halfVf != 0) {
                r.emit = transform;
                r.stride = 8;
            } else if (repeatH[c] <= 2 && repeatV[c] <= 2) {
                r.emit = transformReplicated[repeatH[c] - 1][repeatV[c] - 1];
                r.stride = planeWidth;
            }
            r.rowStep = 8 * repeatV[c] * r.stride;
            r.columnStep = 8 * repeatH[c];
        }
    }
    int nWidth;
    int nHeight;
    int nShift;

    // Full decoding: the coefficient store of each component, by rows of blocks (a row is null
    // until a non-zero coefficient lands in it), the blocks of the MCU grid across and down,
    // and the bytes taken so far against the caller's limit. Rows come zeroed from calloc,
    // which takes fresh memory from the system without a pass over it.
    struct SFreeRow {
        void operator()(int* p) const { std::free(p); }
    };
    using StoreRow = std::unique_ptr<int[], SFreeRow>;
    std::vector<StoreRow> rows[3];
    int blocksAcross[3] = {0, 0, 0};
    int blocksDown[3] = {0, 0, 0};
    int64_t storeBytes = 0;
    int64_t storeLimit = 0;
    // The quantisation table of each component as it stood when the component's first scan
    // began: a table redefined between scans applies only to components not yet scanned.
    int quant[3][64];
    bool quantLatched[3] = {false, false, false};
    // Set once any pixel of the bitmap has been written.
    bool wrote = false;

    // Tables defined since their lookup was built (AnalysisDHT marks them while decoding).
    bool stale[2][4] = {{true, true, true, true}, {true, true, true, true}};

    void BuildLookups(const SJpegHuffman (&huff)[2][4]) {
        for (int c = 0; c < 2; ++c)
            for (int t = 0; t < 4; ++t) {
                if (!stale[c][t]) continue;
                photogeo::jpeg::BuildHuffmanLookup(huff[c][t], lookup[c][t]);
                stale[c][t] = false;
            }
    }
};

#endif
