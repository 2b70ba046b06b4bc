// The optimised pieces of the decoder against plain forms of the same arithmetic: the entropy
// reader against CInBitStream::GetBits and its Huffman lookups against the canonical search,
// every transform form against the 64-term basis sum, and every colour form against the
// formulas, over seeded random inputs that include markers, stuffed bytes, values beyond 16 bits
// and samples far outside 0..255.
#include <gtest/gtest.h>

#include <cfenv>
#include <cstring>
#include <random>
#include <tuple>

#include "JpegTestUtil.h"
#include "jpeg/JpegBitReader.h"
#include "jpeg/JpegKernels.h"
#include "photogeo/JpegDecoder.h"

using namespace photogeo::jpeg;

namespace {

// What a byte reader's next read depends on.
std::tuple<const unsigned char*, int, int> State(const CInBitStream& s) {
    return {s.m_pCur, s.m_nBit, s.m_bNoStuff};
}

enum EOutcome { kValue, kBuffer, kFormat };

// Runs f, telling a result from the two failures that entropy decoding can raise.
template <class F>
EOutcome Outcome(F f) {
    try {
        f();
        return kValue;
    } catch (const EBufferError&) {
        return kBuffer;
    } catch (const EDataFormatError&) {
        return kFormat;
    }
}

}  // namespace

TEST(JpegKernels, EntropyReaderGivesTheByteReadersBitsHuffmanValuesStatesAndErrors) {
    std::mt19937 rng(11);
    for (int round = 0; round < 20000; ++round) {
        // A random table, complete, incomplete or over-full as a DHT segment may define it (codes
        // assigned canonically, as the analysis does).
        std::vector<int> size, code, value;
        for (int length = 1, next = 0; length <= 16; ++length, next <<= 1)
            for (int n = rng() % 3 ? 0 : static_cast<int>(rng() % 13); n > 0; --n) {
                size.push_back(length);
                code.push_back(next++);
                value.push_back(static_cast<int>(rng() % 256));
            }
        const SJpegHuffman table{static_cast<int>(size.size()), size.data(), code.data(),
                                 value.data()};
        SHuffmanLookup lookup;
        BuildHuffmanLookup(table, lookup);
        // Entropy-like data: many 0xFF, stuffed zeros and markers.
        std::vector<unsigned char> data(rng() % 33);
        for (auto& b : data) {
            const unsigned r = rng() % 10;
            b = r < 3 ? 0xFF : (r < 5 ? 0x00 : (r == 5 ? 0xD0 : static_cast<unsigned char>(rng())));
        }
        CInBitStream plain(data.data(), static_cast<int>(data.size()));
        CInBitStream fast(data.data(), static_cast<int>(data.size()));
        if (rng() % 2) {
            plain.CheckStuffByte();
            fast.CheckStuffByte();
        }
        CJpegBitReader reader;
        reader.Attach(fast);
        for (int op = 0; op < 40; ++op) {
            const unsigned kind = rng() % 8;
            if (kind == 0) {
                // A marker read in between: the byte reader realigns, the reader takes over again.
                reader.Detach(fast);
                ASSERT_EQ(State(plain), State(fast));
                int a = 0, b = 0;
                EOutcome pa = Outcome([&] { a = plain.GetByte(); });
                ASSERT_EQ(pa, Outcome([&] { b = fast.GetByte(); }));
                if (pa != kValue) break;
                ASSERT_EQ(a, b);
                reader.Attach(fast);
                continue;
            }
            const int n = static_cast<int>(rng() % 17);
            int va = 0, vb = 0;
            EOutcome pa = Outcome(
                [&] { va = kind < 3 ? jpegtest::PlainHuffman(plain, table) : plain.GetBits(n); });
            EOutcome pb =
                Outcome([&] { vb = kind < 3 ? reader.DecodeHuffman(lookup) : reader.GetBits(n); });
            ASSERT_EQ(pa, pb) << "round " << round << " op " << op << " kind " << kind;
            if (pa != kValue) break;
            ASSERT_EQ(va, vb) << "round " << round << " op " << op << " kind " << kind;
            ASSERT_EQ(reader.BytePosition(), plain.GetBytePosition());
            reader.Detach(fast);
            ASSERT_EQ(State(plain), State(fast));
            if (kind < 3 && va < 0) break;
        }
    }
}

TEST(JpegKernels, DequantisationGivesWrappingProductsAndTheNonZeroMask) {
    std::mt19937 rng(17);
    for (int round = 0; round < 2000; ++round) {
        int quant[64], block[64], coef[64];
        for (int j = 0; j < 64; ++j) {
            quant[j] = static_cast<int>(rng() % 65536);
            block[j] = rng() % 3 ? 0 : static_cast<int>(rng());
        }
        for (const SKernels& forms : AllKernels()) {
            uint64_t mask = forms.dequantise(quant, block, coef);
            for (int j = 0; j < 64; ++j) {
                ASSERT_EQ(coef[j], MulWrap(quant[j], block[j]));
                ASSERT_EQ((mask >> j) & 1, block[j] != 0 ? 1u : 0u);
            }
        }
    }
}

TEST(JpegKernels, VectorTransformsGiveTheBasisSum) {
    CJpegDecoder d;
    STransformTables tables;
    BuildTransformTables(d.m_nBasis, tables);
    std::mt19937 rng(14);
    for (int round = 0; round < 20000; ++round) {
        int coef[64] = {};
        uint64_t mask = 0;
        int kind = round % 4;  // sparse small, dense small, 16-bit edges, any 32-bit value
        int count = kind == 1 ? 64 : 1 + static_cast<int>(rng() % 12);
        for (int i = 0; i < count; ++i) {
            int k = kind == 1 ? i : (i == 0 ? 0 : static_cast<int>(rng() % 64));
            int v;
            if (kind == 2)
                v = (rng() % 2) ? 32767 - static_cast<int>(rng() % 3)
                                : -32768 + static_cast<int>(rng() % 3);
            else if (kind == 3)
                v = static_cast<int>(rng());
            else
                v = static_cast<int>(rng() % 4001) - 2000;
            coef[k] = v;
            mask |= uint64_t{1} << k;
        }
        int shift = round % 2 ? 128 : 2048;
        int expected[64];
        jpegtest::PlainTransform(d.m_nBasis, coef, shift, expected);
        for (const SKernels& forms : AllKernels()) {
            int out[8 * 24];
            std::memset(out, 0x5A, sizeof out);
            forms.transform(tables, coef, mask, shift, out + 3, 24);
            for (int y = 0; y < 8; ++y) {
                for (int x = 0; x < 8; ++x)
                    ASSERT_EQ(out[3 + y * 24 + x], expected[8 * y + x]) << round;
                // Nothing is written between the rows of the block.
                ASSERT_EQ(out[3 + y * 24 + 8], 0x5A5A5A5A);
            }
        }
    }
}

TEST(JpegKernels, ColourRowsCoverWholeMcusBottomUp) {
    std::mt19937 rng(18);
    // Samples in 0..255, in the vector forms' range, at its edges, and any 24-bit value; rounds
    // with the first two alone take the vector roads throughout.
    auto sample = [&rng](bool inside) {
        switch (rng() % (inside ? 2 : 4)) {
            case 0:
                return static_cast<int>(rng() % 256);
            case 1:
                return kColourMin + static_cast<int>(rng() % (kColourMax - kColourMin + 1));
            case 2:
                return static_cast<int>(rng() % 8) + (rng() % 2 ? kColourMax - 3 : kColourMin - 4);
            default:
                return static_cast<int>(rng() % (1 << 23)) - (1 << 22);
        }
    };
    const int kPlane = 32;  // plane width in ints (an MCU four blocks wide)
    for (int round = 0; round < 1500; ++round) {
        std::fesetround(round % 4 ? FE_TONEAREST : FE_TOWARDZERO);  // a caller's rounding mode
        int n = 1 + static_cast<int>(rng() % kPlane);
        if (round % 3 == 0) n = 8;                  // the width taken two rows at a time
        if (round % 3 == 1) n = 16 << (rng() % 2);  // whole vectors of the half-chroma form
        int rows = 1 + static_cast<int>(rng() % 16);
        std::vector<int> y(kPlane * 16), cb(kPlane * 16), cr(kPlane * 16);
        for (std::vector<int>* plane : {&y, &cb, &cr})
            for (int& v : *plane) v = sample(round % 2 == 0);
        y[0] = 128, cb[0] = kColourMin, cr[0] = 288;  // green's numerator: -106 * 10000 exactly
        const int stride = 3 * kPlane + 4;
        // vf 0: chroma at full resolution (colourRows); 1 and 2: half across, 1/vf down.
        for (int vf = 0; vf <= 2; ++vf) {
            auto chroma = [&](int r, int i) {
                return vf ? r / vf * kPlane + i / 2 : r * kPlane + i;
            };
            std::vector<unsigned char> expected(static_cast<size_t>(stride) * 16, 0x5A);
            for (int r = 0; r < rows; ++r)
                for (int i = 0; i < n; ++i)
                    jpegtest::PlainColour(y[r * kPlane + i], cb[chroma(r, i)], cr[chroma(r, i)],
                                          &expected[static_cast<size_t>(15 - r) * stride + 3 * i]);
            for (const SKernels& forms : AllKernels()) {
                std::vector<unsigned char> out(static_cast<size_t>(stride) * 16, 0x5A);
                if (vf == 0)
                    forms.colourRows(y.data(), cb.data(), cr.data(), kPlane, n, rows,
                                     out.data() + 15 * stride, -stride);
                else
                    forms.colourHalf(y.data(), kPlane, cb.data(), cr.data(), kPlane, n, rows, vf,
                                     out.data() + 15 * stride, -stride);
                ASSERT_EQ(out, expected) << "round " << round << " vf " << vf;
            }
        }
    }
    std::fesetround(FE_TONEAREST);
}
