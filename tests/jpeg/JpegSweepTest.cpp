// The decoder over a generated sweep of the files encoders write: libjpeg-turbo encodes a small
// test picture at each quality, sampling layout, restart interval and table choice, as extended
// sequential frames with 16-bit tables, and as progressive scripts (spectral selection and
// successive approximation). Each file is decoded with full decoding and must match, byte for
// byte, our arithmetic over the coefficients libjpeg-turbo reads, and libjpeg-turbo's own
// pixels (replicated chroma) by PSNR; the default (strict)
// decoding must give the same bitmap where it reads the file, and refuse the rest untouched.
//
// PSNR: the transform evaluates the exact inverse DCT with basis images scaled by 256 and
// truncated, and every division truncates toward zero where libjpeg-turbo rounds; channel
// errors stay within a few levels (an RMS error of 3 levels is 38.6 dB). A wrong table, sign, run,
// refinement bit, replication or component order gives below 20 dB.
#include <gtest/gtest.h>

#include <string>

#include "JpegTestUtil.h"

using namespace jpegtest;

namespace {

const double kMinPsnr = 35.0;

struct SLayout {
    const char* name;
    int components, h0, v0;
    int h1 = 1, v1 = 1;
};
const SLayout kLayouts[] = {{"4:4:4", 3, 1, 1}, {"4:2:2", 3, 2, 1}, {"4:2:0", 3, 2, 2},
                            {"4:4:0", 3, 1, 2}, {"4:1:1", 3, 4, 1}, {"grey", 1, 1, 1},
                            {"3x1", 3, 3, 1},   {"2x4", 3, 2, 4},
                            {"4x1 chroma 2x1", 3, 4, 1, 2, 1}};
const int kSizes[][2] = {{53, 35}, {17, 9}, {33, 31}, {1, 1}, {9, 17}, {75, 41}, {127, 3}};

// What the default decoding gives: the same bitmap; a refusal; or (spectral bands with sampling
// factors above 2, whose band walk counts blocks by the specified rule) its own result.
enum class Strict { same, refusedAtAnalysis, refusedUntouched, own };

// The n-th file of a sweep: the layout at one of the sizes, optimised tables every other file.
SEncodeOptions Options(const SLayout& layout, int quality, int n) {
    SEncodeOptions o;
    o.components = layout.components;
    o.h0 = layout.h0;
    o.v0 = layout.v0;
    o.h1 = layout.h1;
    o.v1 = layout.v1;
    o.width = kSizes[n % 7][0];
    o.height = kSizes[n % 7][1];
    o.quality = quality;
    o.optimize = n % 2;  // in progressive files, optimised tables make end-of-band runs
    o.blackBand = n % 3 == 0 || quality == 100;
    return o;
}

void Check(const std::vector<unsigned char>& jpeg, Strict strict, const std::string& what) {
    SCOPED_TRACE(what);
    SDecodeResult ours = OurDecode(jpeg, true);
    ASSERT_EQ(ours.analysis, 0);
    ASSERT_EQ(ours.decode, 0);
    EXPECT_TRUE(ours.paddingIntact);
    int w = 0, h = 0;
    const CJpegDecoder basis;
    EXPECT_TRUE(ours.bitmap == CoefficientDecode(jpeg.data(), jpeg.size(), basis.m_nBasis, w, h))
        << "differs from libjpeg-turbo's coefficients";
    std::vector<unsigned char> oracle = OracleDecode(jpeg, w, h);
    ASSERT_FALSE(oracle.empty());
    ASSERT_EQ(ours.width, w);
    ASSERT_EQ(ours.height, h);
    EXPECT_GT(Psnr(ours.bitmap, oracle, w, h), kMinPsnr);
    SDecodeResult specified = OurDecode(jpeg);
    if (strict == Strict::same) {
        EXPECT_EQ(specified.decode, 0);
        EXPECT_TRUE(specified.bitmap == ours.bitmap);
    } else if (strict == Strict::refusedAtAnalysis) {
        EXPECT_EQ(specified.analysis, -2);
    } else if (strict == Strict::refusedUntouched) {
        EXPECT_EQ(specified.decode, -2);
        for (unsigned char b : specified.bitmap) ASSERT_EQ(b, kUntouched);
    }
}

}  // namespace

TEST(JpegSweep, SequentialQualitiesLayoutsRestartsAndTables) {
    int n = 0;
    for (int quality : {1, 50, 75, 90, 95, 100})
        for (const SLayout& layout : kLayouts)
            for (int restart = 0; restart < 4; ++restart, ++n) {
                SEncodeOptions o = Options(layout, quality, n);
                // Every MCU, every 4 MCUs, every MCU row.
                const int mcusAcross = (o.width + 8 * o.h0 - 1) / (8 * o.h0);
                const int intervals[4] = {0, 1, 4,
                                          o.components == 1 ? (o.width + 7) / 8 : mcusAcross};
                o.restartMcus = intervals[restart];
                // At quality 1 the tables need 16 bits: an extended sequential frame.
                o.baselineTables = quality != 1 || n % 2 == 0;
                Check(Encode(o), o.baselineTables ? Strict::same : Strict::refusedAtAnalysis,
                      std::string(layout.name) + " q" + std::to_string(quality) + " restart " +
                          std::to_string(o.restartMcus) + " " + std::to_string(o.width) + "x" +
                          std::to_string(o.height) + (o.optimize ? " optimised" : ""));
            }
}

TEST(JpegSweep, ProgressiveScripts) {
    int n = 0;
    for (const SLayout& layout : kLayouts)
        for (int quality : {50, 90, 100}) {
            SEncodeOptions o = Options(layout, quality, ++n);
            o.restartMcus = n % 4 == 0 ? 1 + n % 3 : 0;
            std::string what = std::string(layout.name) + " q" + std::to_string(quality);
            o.simpleProgression = true;
            Check(Encode(o), Strict::refusedUntouched, what + " successive approximation");
            o.simpleProgression = false;
            o.restartMcus = 0;
            o.scans = SpectralScript(o.components, {2, 9, 30, 63});
            Check(Encode(o), layout.h0 <= 2 && layout.v0 <= 2 ? Strict::same : Strict::own,
                  what + " four bands");
            // Sequential, one scan per component (the default decoding reads only interleaved
            // sequential scans).
            o.scans.assign(static_cast<size_t>(o.components), jpeg_scan_info{1, {0}, 0, 63, 0, 0});
            for (int c = 0; c < o.components; ++c) o.scans[c].component_index[0] = c;
            o.restartMcus = n % 3;
            Check(Encode(o), o.components == 1 ? Strict::same : Strict::own,
                  what + " one scan each");
        }
}

// A table redefined between scans applies to the components whose first scan follows it; those
// already scanned keep the table they began with (libjpeg-turbo's rule). Here luminance DC, then
// (after both tables become flat 2 and 4) chroma DC.
TEST(JpegSweep, TableRedefinedBetweenScans) {
    SEncodeOptions o;
    o.scans = SpectralScript(3, {9, 63});
    o.scans[0].comps_in_scan = 1;
    o.scans.insert(o.scans.begin() + 1, jpeg_scan_info{2, {1, 2}, 0, 0, 0, 0});
    std::vector<unsigned char> jpeg = Encode(o), dqt = {0xFF, 0xDB, 0x00, 0x84, 0x00};
    dqt.resize(69, 2);
    dqt.push_back(0x01);
    dqt.resize(134, 4);
    jpeg.insert(jpeg.begin() + FindMarker(jpeg, 0xDA, FindMarker(jpeg, 0xDA) + 2), dqt.begin(),
                dqt.end());
    Check(jpeg, Strict::own, "luminance DC, chroma DC, two bands");
}
