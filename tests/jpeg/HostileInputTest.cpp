// Hostile input: every truncation of valid files, with default and full decoding (random damage
// is fuzz_jpeg_decoder's), and well-formed streams with segments, scans and table redefinitions
// by the thousand or frames whose buffers would exceed the decoder's limits. Each must end with a
// result at once (CTest's timeout catches a hang), bounded memory, untouched row padding, and,
// where the extra material changes nothing, the same bitmap as the plain file.
#include <gtest/gtest.h>

#include <string>
#include <utility>
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

}  // namespace

TEST(JpegHostile, EveryTruncationFailsCleanly) {
    // 4:2:0 with restart markers; greyscale; spectral selection 4:4:4; successive approximation
    // with restarts, 4:2:2 (full decoding only).
    std::vector<Bytes> files;
    SEncodeOptions o;
    o.width = 37;
    o.height = 21;
    o.restartMcus = 2;
    files.push_back(Encode(o));
    o.restartMcus = 0;
    o.h0 = o.v0 = 1;
    o.components = 1;
    files.push_back(Encode(o));
    o.components = 3;
    o.optimize = true;
    o.scans = SpectralScript(3, {9, 63});
    files.push_back(Encode(o));
    o.scans.clear();
    o.simpleProgression = true;
    o.restartMcus = 3;
    o.h0 = 2;
    files.push_back(Encode(o));
    // A truncated sequential file gives, in what it writes, the whole file's pixels.
    for (const Bytes& file : files) {
        const SDecodeResult whole = OurDecode(file);
        for (size_t n = 0; n < file.size(); ++n)
            for (bool full : {false, true}) {
                SCOPED_TRACE(std::to_string(n) + (full ? " full" : ""));
                const SDecodeResult ours = OurDecode(Bytes(file.begin(), file.begin() + n), full);
                ASSERT_TRUE(ours.analysis == 0 || ours.analysis == -1 || ours.analysis == -2);
                ASSERT_TRUE(ours.decode == 0 || ours.decode == -1 || ours.decode == -2);
                ASSERT_TRUE(ours.paddingIntact);
                if (full || whole.decode != 0 || ours.width != whole.width) continue;
                for (size_t i = 0; i < ours.bitmap.size(); ++i)
                    ASSERT_TRUE(ours.bitmap[i] == kUntouched || ours.bitmap[i] == whole.bitmap[i]);
            }
    }
}

TEST(JpegHostile, ScansAndTableRedefinitionsByTheThousand) {
    const Bytes plain = ProgressiveGrey(24, 16);
    // The DC scan, then the AC table's segment and the AC scan.
    const size_t dcScan = size_t(FindMarker(plain, 0xDA)),
                 acTable = size_t(FindMarker(plain, 0xC4, dcScan)),
                 acScan = size_t(FindMarker(plain, 0xDA, acTable));
    const SDecodeResult expected = OurDecode(plain);
    ASSERT_EQ(expected.decode, 0);
    // The piece [from, to) of the file repeated 5000 times where it stands.
    auto repeated = [&plain](size_t from, size_t to) {
        Bytes out(plain.begin(), plain.begin() + from);
        for (int i = 0; i < 5000; ++i)
            out.insert(out.end(), plain.begin() + from, plain.begin() + to);
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

TEST(JpegHostile, FramesBeyondTheLimitsAreRefusedAndStoresFollowTheData) {
    const Bytes grey = ProgressiveGrey(64, 48);
    SEncodeOptions o;
    o.width = o.height = 16;
    o.scans = SpectralScript(3, {});
    const Bytes colour420 = Encode(o);
    o.h0 = o.v0 = 1;
    const Bytes colour444 = Encode(o);
    const struct {
        const Bytes& file;
        int width, height;
        bool full;
        long long pixels, bytes;  // SetLimits, unless pixels < 0
        const char* outcome;      // result, "partial" when the bitmap was written, LastError
    } cases[] = {
        // 2049 x 2049 blocks of 64 coefficients, just above kMaxCoefficientInts; the largest
        // frame of all; in 4:4:4 each store alone is below the limit, the three together are not.
        {grey, 16392, 16392, false, -1, 0, "-1 Discaonert DCT0"},
        {colour420, 65535, 65535, false, -1, 0, "-1 Discaonert DCT0"},
        {colour444, 10000, 10000, false, -1, 0, "-1 Discaonert DCT2"},
        // The 64 x 48 picture's scans fill one row of 128 blocks (32 KiB) of the 4 MiB a
        // 1024 x 1024 frame would take at once; the next marker comes inside the DC scan.
        {grey, 1024, 1024, true, 1024 * 1023, 64 << 10, "-1 DoDecode:Pixel limit"},
        {grey, 1024, 1024, true, 1024 * 1024, 64 << 10, "-2 partial DecodeHuffman:Error Marker"},
        {grey, 1024, 1024, true, 0, 16 << 10, "-1 partial DoDecode:Coefficient memory limit"},
    };
    for (const auto& c : cases) {
        Bytes jpeg = WithSize(c.file, c.width, c.height);
        CJpegDecoder d;
        d.SetFullDecoding(c.full);
        if (c.pixels >= 0) d.SetLimits(c.pixels, c.bytes);
        ASSERT_EQ(d.SetJpegData(reinterpret_cast<char*>(jpeg.data()), int(jpeg.size())), 0);
        int w = 0, h = 0;
        d.GetPictData(w, h);
        EXPECT_EQ(std::make_pair(w, h), std::make_pair(c.width, c.height));
        // A refusal writes nothing: 64 bytes stand in for a bitmap nobody could provide.
        const bool writes = std::string(c.outcome).find("partial") != std::string::npos;
        Bytes bitmap(writes ? size_t(Stride(w)) * h : 64, kUntouched);
        const int result = d.DoDecode(reinterpret_cast<char*>(bitmap.data()));
        EXPECT_EQ(std::to_string(result) + (d.IsPartial() ? " partial " : " ") + d.LastError(),
                  c.outcome);
        EXPECT_TRUE(writes || bitmap == Bytes(64, kUntouched)) << c.outcome;
    }
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
