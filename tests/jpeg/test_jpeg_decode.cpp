// Decoding tests of CJpegDecoder against libjpeg-turbo: images encoded at test time in every
// layout the decoder handles are decoded by both, and compared by PSNR; exact checks where the
// decoder's arithmetic fixes the result; and the layouts it refuses.
//
// PSNR threshold: the decoder's transform is the exact inverse DCT formula evaluated with basis
// images scaled by 256 and truncated, and every division (the transform's /1024 and the colour
// conversion's /10000) truncates toward zero where libjpeg-turbo rounds. Each truncation biases a
// sample by less than one level, the truncated basis adds well under one more, so channel errors
// stay within a few levels: an RMS error of 3 levels is 38.6 dB. We require 36 dB, which a wrong
// table, sign, run length, upsampling or component order misses by far (they give below 20 dB).
#include <gtest/gtest.h>

#include <cstring>

#include "JpegTestUtil.h"
#include "photogeo/JpegDecoder.h"

using namespace jpegtest;

namespace {

const double kMinPsnr = 36.0;

void ExpectMatchesOracle(const SEncodeOptions& o, const char* what) {
    SCOPED_TRACE(what);
    std::vector<unsigned char> jpeg = Encode(o);
    SDecodeResult ours = OurDecode(jpeg);
    ASSERT_EQ(ours.analysis, 0);
    ASSERT_EQ(ours.decode, 0);
    int w = 0, h = 0;
    std::vector<unsigned char> oracle = OracleDecode(jpeg, w, h);
    ASSERT_EQ(ours.width, w);
    ASSERT_EQ(ours.height, h);
    EXPECT_TRUE(ours.paddingIntact);
    SDecodeResult plain = PlainDecodeBytes(jpeg);
    EXPECT_EQ(plain.decode, 0);
    EXPECT_TRUE(ours.bitmap == plain.bitmap) << "differs from the plain decoder";
    EXPECT_GT(Psnr(ours.bitmap, oracle, w, h), kMinPsnr);
}

std::vector<jpeg_scan_info> SpectralScript(int components, std::initializer_list<int> bands) {
    std::vector<jpeg_scan_info> scans;
    jpeg_scan_info dc{};
    dc.comps_in_scan = components;
    for (int c = 0; c < components; ++c) dc.component_index[c] = c;
    scans.push_back(dc);
    int ss = 1;
    for (int se : bands) {
        for (int c = 0; c < components; ++c) {
            jpeg_scan_info ac{};
            ac.comps_in_scan = 1;
            ac.component_index[0] = c;
            ac.Ss = ss;
            ac.Se = se;
            scans.push_back(ac);
        }
        ss = se + 1;
    }
    return scans;
}

}  // namespace

TEST(JpegDecode, BaselineLayoutsMatchLibjpeg) {
    SEncodeOptions o;
    o.components = 1;
    ExpectMatchesOracle(o, "grey");
    o.components = 3;
    for (int h0 = 1; h0 <= 2; ++h0)
        for (int v0 = 1; v0 <= 2; ++v0) {
            o.h0 = h0;
            o.v0 = v0;
            ExpectMatchesOracle(
                o, h0 == 1 ? (v0 == 1 ? "4:4:4" : "4:4:0") : (v0 == 1 ? "4:2:2" : "4:2:0"));
        }
}

TEST(JpegDecode, OddSizesMatchLibjpeg) {
    const int sizes[][2] = {{1, 1}, {17, 9}, {33, 31}, {9, 17}, {127, 3}};
    for (auto& s : sizes) {
        for (int comps : {1, 3}) {
            SEncodeOptions o;
            o.width = s[0];
            o.height = s[1];
            o.components = comps;
            ExpectMatchesOracle(o, "odd size");
        }
    }
}

TEST(JpegDecode, RestartIntervalsMatchLibjpeg) {
    for (int mcus : {1, 3, 7}) {
        SEncodeOptions o;
        o.width = 75;
        o.height = 41;
        o.restartMcus = mcus;
        ExpectMatchesOracle(o, "4:2:0 restart");
        o.components = 1;
        ExpectMatchesOracle(o, "grey restart");
    }
}

TEST(JpegDecode, TableIdentifiersMatchLibjpeg) {
    SEncodeOptions o;
    o.optimize = true;
    int dc[3] = {1, 0, 0}, ac[3] = {0, 1, 0}, q[3] = {1, 0, 1};
    std::memcpy(o.dcTable, dc, sizeof dc);
    std::memcpy(o.acTable, ac, sizeof ac);
    std::memcpy(o.quantTable, q, sizeof q);
    ExpectMatchesOracle(o, "mixed table ids");
}

TEST(JpegDecode, SpectralSelectionProgressiveMatchesLibjpeg) {
    for (int comps : {1, 3}) {
        SEncodeOptions o;
        o.width = 70;
        o.height = 45;
        o.components = comps;
        o.scans = SpectralScript(comps, {63});
        ExpectMatchesOracle(o, "DC then one full AC band per component");
        o.scans = SpectralScript(comps, {5, 63});
        ExpectMatchesOracle(o, "DC then two AC bands per component");
        o.scans = SpectralScript(comps, {2, 9, 30, 63});
        o.optimize = true;
        ExpectMatchesOracle(o, "four bands, optimised tables (EOB runs)");
    }
}
