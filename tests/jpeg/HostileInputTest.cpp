// Hostile but well-formed JPEG streams: segments, scans and table redefinitions by the thousand,
// and frames whose buffers would exceed the decoder's limits. Each must end with a result at once
// (CTest's timeout catches a hang), bounded memory, and, where the extra material changes nothing,
// the same bitmap as the plain file.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "JpegTestUtil.h"
#include "photogeo/JpegDecoder.h"

using namespace jpegtest;

namespace {

using Bytes = std::vector<unsigned char>;

// A progressive greyscale file: the DC scan, then one AC scan of the whole band.
Bytes ProgressiveGrey(int width, int height) {
    SEncodeOptions o;
    o.width = width;
    o.height = height;
    o.components = 1;
    o.h0 = o.v0 = 1;
    o.scans = SpectralScript(1, {63});
    return Encode(o);
}

// Offset of the first marker (other than a restart marker) at or after `from` in entropy data.
size_t NextMarker(const Bytes& jpeg, size_t from) {
    while (!(jpeg[from] == 0xFF && jpeg[from + 1] != 0 && (jpeg[from + 1] & 0xF8) != 0xD0)) ++from;
    return from;
}

// The file with the size of its frame header replaced.
Bytes WithSize(Bytes jpeg, int width, int height) {
    for (size_t i = 2; i + 8 < jpeg.size(); i += 2 + (jpeg[i + 2] << 8 | jpeg[i + 3])) {
        if (jpeg[i + 1] == 0xC0 || jpeg[i + 1] == 0xC2) {
            jpeg[i + 5] = static_cast<unsigned char>(height >> 8);
            jpeg[i + 6] = static_cast<unsigned char>(height);
            jpeg[i + 7] = static_cast<unsigned char>(width >> 8);
            jpeg[i + 8] = static_cast<unsigned char>(width);
            break;
        }
    }
    return jpeg;
}

// Analysis and decode into a 64-byte buffer that must stay untouched: used for frames whose
// bitmap nobody could provide, where the decoder has to refuse before writing anything.
int DecodeRefused(Bytes jpeg, int expected_width, int expected_height) {
    CJpegDecoder decoder;
    EXPECT_EQ(
        decoder.SetJpegData(reinterpret_cast<char*>(jpeg.data()), static_cast<int>(jpeg.size())),
        0);
    int width = 0;
    int height = 0;
    decoder.GetPictData(width, height);
    EXPECT_EQ(width, expected_width);
    EXPECT_EQ(height, expected_height);
    Bytes guard(64, kUntouched);
    const int result = decoder.DoDecode(reinterpret_cast<char*>(guard.data()));
    EXPECT_EQ(guard, Bytes(64, kUntouched));
    return result;
}

}  // namespace

TEST(JpegHostile, ScansAndTableRedefinitionsByTheThousand) {
    const Bytes plain = ProgressiveGrey(24, 16);
    // The DC scan, then the AC table's segment.
    auto after = [&plain](size_t segment) {
        return segment + 2 + (plain[segment + 2] << 8 | plain[segment + 3]);
    };
    size_t dcScan = 2;
    while (plain[dcScan + 1] != 0xDA) dcScan = after(dcScan);
    const size_t acTable = NextMarker(plain, after(dcScan)), acScan = after(acTable);
    ASSERT_EQ(plain[acTable + 1], 0xC4);
    const SDecodeResult expected = OurDecode(plain);
    ASSERT_EQ(expected.decode, 0);
    // The piece [from, to) of the file repeated 5000 times where it stands.
    auto repeated = [&plain](size_t from, size_t to) {
        Bytes out(plain.begin(), plain.begin() + from);
        for (int i = 0; i < 5000; ++i) out.insert(out.end(), plain.begin() + from, plain.begin() + to);
        out.insert(out.end(), plain.begin() + from, plain.end());
        return out;
    };

    // The same Huffman table defined 5000 times between the scans changes nothing.
    const SDecodeResult redefined = OurDecode(repeated(acTable, acScan));
    EXPECT_EQ(redefined.decode, 0);
    EXPECT_TRUE(redefined.bitmap == expected.bitmap);

    // 5000 further DC scans each add to the predictors: the picture changes, but the decode
    // runs through them to the final scan.
    const SDecodeResult many = OurDecode(repeated(dcScan, acTable));
    EXPECT_EQ(many.analysis, 0);
    EXPECT_EQ(many.decode, 0);
    EXPECT_TRUE(many.paddingIntact);
}

TEST(JpegHostile, ProgressiveCoefficientStoresAboveTheLimitAreRefused) {
    // 16392 x 16392 greyscale: 2049 x 2049 blocks of 64 coefficients, just above
    // kMaxCoefficientInts; the largest frame of all, 65535 x 65535, in colour.
    EXPECT_EQ(DecodeRefused(WithSize(ProgressiveGrey(16, 16), 16392, 16392), 16392, 16392), -1);
    SEncodeOptions o;
    o.width = o.height = 16;
    o.scans = SpectralScript(3, {});
    EXPECT_EQ(DecodeRefused(WithSize(Encode(o), 65535, 65535), 65535, 65535), -1);
    // 10000 x 10000 in 4:4:4: each store alone is below the limit, the three together are not.
    o.h0 = o.v0 = 1;
    EXPECT_EQ(DecodeRefused(WithSize(Encode(o), 10000, 10000), 10000, 10000), -1);
}

TEST(JpegHostile, ThousandsOfBandRunScansOverALargeFrame) {
    // 4096 x 4096 greyscale, 262144 blocks: a DC scan of one-bit zero differences, then 20000
    // AC scans of band 1..1 that each pass over every block in nine end-of-band runs of 32767
    // (17 bytes of data), then the closing scan. Each scan must cost what its data holds, not
    // a walk over the whole frame.
    const int size = 4096;
    const int blocks = (size / 8) * (size / 8);
    // DC: one code of length 1, difference size 0. AC: one code of length 1, EOB14.
    CJpegWriter w;
    w.GreyFrame(0xC2, size, size, 1, {1}, {0x00}, {1}, {0xE0});
    w.Segment(0xDA, {1, 1, 0x00, 0, 0, 0});
    for (int i = 0; i < blocks; ++i) w.Bits(0, 1);
    w.FlushBits();
    auto bandRunScan = [&](int se) {
        w.Segment(0xDA, {1, 1, 0x00, 1, se, 0});
        for (int i = 0; i < 9; ++i) w.Bits(0x3FFF, 15);  // code 0, then 14 one-bits
        w.FlushBits();
    };
    for (int i = 0; i < 20000; ++i) bandRunScan(1);
    bandRunScan(63);
    w.Bytes({0xFF, 0xD9});

    const SDecodeResult got = OurDecode(w.data);
    ASSERT_EQ(got.analysis, 0);
    ASSERT_EQ(got.decode, 0);
    ASSERT_EQ(got.width, size);
    EXPECT_EQ(got.bitmap, std::vector<unsigned char>(got.bitmap.size(), 128));
}
