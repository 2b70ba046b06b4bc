// Decoding tests of CJpegDecoder beyond the generated sweep (JpegSweepTest.cpp): hand-made
// streams for the continue flag, damaged entropy data and long end-of-band runs, the layouts it
// refuses, properties and reuse.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <utility>

#include "JpegTestUtil.h"
#include "photogeo/JpegDecoder.h"
#include "support/Files.h"

using namespace jpegtest;

namespace {

// A sequential greyscale stream 8 rows high up to its entropy data (CJpegWriter::GreyFrame).
CJpegWriter GreyStream(int width, int q0, const std::vector<int>& dcCounts,
                       const std::vector<int>& dc, const std::vector<int>& acCounts,
                       const std::vector<int>& ac) {
    CJpegWriter w;
    w.GreyFrame(0xC0, width, 8, q0, dcCounts, dc, acCounts, ac);
    w.Segment(0xDA, {1, 1, 0x00, 0, 63, 0});
    return w;
}

}  // namespace

TEST(JpegDecode, ContinueFlagClearedDuringDecodingStopsAfterTheCurrentMcu) {
    // A black 32 x 8 greyscale image of four one-block MCUs, whose continue flag lies in the
    // bitmap where the first MCU writes its first pixels: writing them clears the flag, as a
    // host would between two MCUs.
    // DC: "0" -> size 8, "10" -> size 0. AC: "0" -> end of block.
    CJpegWriter w = GreyStream(32, 8, {1, 1}, {8, 0}, {1}, {0});
    w.Bits(0, 1);
    w.Bits(255 - 200, 8);  // -200: samples (8 * -200 * 128 / 4) / 256 + 128 = -72, clamped to 0
    w.Bits(0, 1);
    for (int b = 1; b < 4; ++b) w.Bits(0b100, 3);
    w.FlushBits();
    w.Bytes({0xFF, 0xD9});
    std::vector<char> data(w.data.begin(), w.data.end());

    const int stride = Stride(32);
    // The bitmap's storage is ints, so that the flag is an int object the decoder may read.
    int storage[8 * 96 / 4];
    unsigned char* bitmap = reinterpret_cast<unsigned char*>(storage);
    std::memset(bitmap, kUntouched, sizeof storage);
    int* flag = storage + 7 * stride / 4;  // image row 0, pixels 0 and 1
    CJpegDecoder decoder(flag);
    ASSERT_EQ(decoder.SetJpegData(data.data(), static_cast<int>(data.size())), 0);
    EXPECT_EQ(decoder.DoDecode(reinterpret_cast<char*>(bitmap)), 0);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 96; ++x)
            ASSERT_EQ(bitmap[y * stride + x], x < 24 ? 0 : kUntouched) << x << "," << y;
}

TEST(JpegDecode, DamagedEntropyDataIsRefusedWithItsCause) {
    // One 8 x 8 block. DC: "0" -> size 0, "10" -> size 17. AC: "00" -> end of block,
    // "01" -> run 14 of size 0 (not a code), "10" -> sixteen zeros.
    const struct {
        uint32_t bits;
        int count;
        const char* error;
    } cases[] = {
        {0b001, 3, "DecodeHuffman:wrong Huffman value"},  // run 14 of size 0
        {0b010101010, 9, "DecodeHuffman:wrong Run length"},  // sixteen zeros four times
        {0b10, 2, "DecodeHuffman:wrong Huffman value"},      // a DC size of 17
        {0b01010100, 8, "DecodeHuffman:Error Marker"},       // the end inside a code
    };
    // Unread bytes after the bits let the reader take its word-at-a-time path.
    for (const auto& c : cases)
        for (int mode = 0; mode < 4; ++mode) {
            const bool full = mode & 1;
            CJpegWriter w = GreyStream(8, 1, {1, 1}, {0, 17}, {0, 3}, {0x00, 0xE0, 0xF0});
            w.Bits(c.bits, c.count);
            if (c.count != 8) w.FlushBits();
            if (c.count != 8 && mode >= 2) w.data.resize(w.data.size() + 8, 0);
            w.Bytes({0xFF, 0xD9});
            CJpegDecoder decoder;
            const SDecodeResult r = OurDecode(w.data, full, &decoder);
            EXPECT_EQ(std::make_pair(r.analysis, r.decode), std::make_pair(0, -2)) << c.error;
            EXPECT_STREQ(decoder.LastError(), c.error) << "mode " << mode;
        }
}

TEST(JpegDecode, EndOfBandRunsOf16KBlocksInFirstAndRefinementScans) {
    // A 16 x 8 progressive greyscale image: the DC scan, then an AC scan at bit 1 and its
    // refinement at bit 0, each one end-of-band run of 2^14 + 16383 blocks (code "0" and 14
    // one-bits) that outlasts the scan. DC: "0" -> size 0. AC: "0" -> EOB14, "10" -> EOB.
    CJpegWriter w;
    w.GreyFrame(0xC2, 16, 8, 1, {1}, {0x00}, {1, 1}, {0xE0, 0x00});
    w.Segment(0xDA, {1, 1, 0x00, 0, 0, 0});
    w.Bits(0, 2);
    w.FlushBits();
    for (int ahal : {0x01, 0x10}) {
        w.Segment(0xDA, {1, 1, 0x00, 1, 63, ahal});
        w.Bits(0x3FFF, 15);
        w.FlushBits();
    }
    w.Bytes({0xFF, 0xD9});
    const SDecodeResult r = OurDecode(w.data, true);
    EXPECT_EQ(r.decode, 0);
    EXPECT_EQ(r.bitmap, std::vector<unsigned char>(r.bitmap.size(), 128));
}

TEST(JpegDecode, UnsupportedCodingComponentsAndLayoutsAreRefused) {
    SEncodeOptions o;
    o.arithmetic = true;
    EXPECT_EQ(OurDecode(Encode(o)).analysis, -2);  // SOF9
    o.arithmetic = false;
    o.components = 4;
    EXPECT_EQ(OurDecode(Encode(o)).analysis, -2);  // CMYK
    o.components = 3;  // 4:2:0: luminance 2x2, chroma 1x1
    const std::vector<unsigned char> jpeg = Encode(o);
    const long sof = FindMarker(jpeg, 0xC0), sos = FindMarker(jpeg, 0xDA), luma = sof + 11;
    ASSERT_GT(sof, 0);
    // Lossless coding; two components; a zero horizontal or vertical factor; a chroma factor of
    // 2 under a luminance maximum of 3; a scan of four components; scan table selectors of 3.
    const std::vector<std::pair<long, unsigned char>> patches[] = {
        {{sof + 1, 0xC3}}, {{sof + 9, 2}},     {{luma, 0x02}},    {{luma, 0x20}},
        {{luma, 0x31}, {luma + 3, 0x21}},      {{sos + 4, 0x04}}, {{sos + 6, 0x30}},
        {{sos + 6, 0x03}}};
    for (const auto& patch : patches) {
        std::vector<unsigned char> patched = jpeg;
        for (const auto& [at, value] : patch) patched[static_cast<size_t>(at)] = value;
        EXPECT_EQ(OurDecode(patched).analysis, -2) << "byte " << patch[0].first - sof;
    }
}

TEST(JpegDecode, PropertiesCommentsAndApplicationSegments) {
    SEncodeOptions o;
    o.width = 40;
    o.height = 24;
    std::vector<unsigned char> jpeg = Encode(o);
    // Two comments (the second replaces the first) and a JFXX segment after the JFIF one.
    std::vector<unsigned char> extra = {0xFF, 0xFE, 0,   5,   'a',  'b',  'c', 0xFF, 0xFE,
                                        0,    4,    'x', 'y', 0xFF, 0xE0, 0,   10,   'J',
                                        'F',  'X',  'X', 0,   0x13, 9,    9,   9};
    long app0 = FindMarker(jpeg, 0xE0);
    long after = app0 + 2 + (jpeg[app0 + 2] << 8 | jpeg[app0 + 3]);
    jpeg.insert(jpeg.begin() + after, extra.begin(), extra.end());
    std::vector<char> data(jpeg.begin(), jpeg.end());

    CJpegDecoder decoder;
    SJpegProperty prop{};
    ASSERT_EQ(decoder.GetProperty(data.data(), static_cast<int>(data.size()), prop, 1), 1);
    EXPECT_EQ(
        (std::vector<int>{prop.m_nFrameType, prop.m_nWidth, prop.m_nHeight, prop.m_nComponents,
                          prop.m_nPrecision, prop.m_nFlag, prop.m_nJfifType, prop.m_nJfxxCode,
                          prop.m_byVersion[0], prop.m_nReserved[0]}),
        (std::vector<int>{0xC0, 40, 24, 3, 8, 1 | 2 | 4 | 8 | 16, 2, 0x13, 1, 0}));
    ASSERT_NE(prop.m_pComment, nullptr);
    EXPECT_STREQ(prop.m_pComment, "xy");
    ASSERT_NE(prop.m_pQuantCopy, nullptr);

    // The copy is in natural order: compare with libjpeg's own tables for the same quality.
    jpeg_compress_struct cinfo;
    jpeg_error_mgr jerr;
    cinfo.err = jpeg_std_error(&jerr);
    jpeg_create_compress(&cinfo);
    cinfo.in_color_space = JCS_RGB;
    cinfo.input_components = 3;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, o.quality, TRUE);
    for (int i = 0; i < 64; ++i) {
        EXPECT_EQ(prop.m_pQuantCopy[i], cinfo.quant_tbl_ptrs[0]->quantval[i]) << i;
        EXPECT_EQ(prop.m_pQuantCopy[64 + i], cinfo.quant_tbl_ptrs[1]->quantval[i]) << i;
    }
    jpeg_destroy_compress(&cinfo);
    delete[] prop.m_pQuantCopy;

    // The reader stood exactly at the next marker after the JFXX segment: the image decodes.
    std::vector<char> bitmap(static_cast<size_t>(Stride(40)) * 24);
    EXPECT_EQ(decoder.DoDecode(bitmap.data()), 0);

    CJpegDecoder again;
    SJpegProperty plain{};
    ASSERT_EQ(again.GetProperty(data.data(), static_cast<int>(data.size()), plain, 0), 1);
    EXPECT_EQ(plain.m_pQuantCopy, nullptr);
}

TEST(JpegDecode, ReuseAfterRemoveAllAndCleanMembersDecodesAlike) {
    // Fuzzed files: a progressive one whose first scan header names one component and whose
    // later ones name three, and one whose analysis ends at the end of image before any scan
    // header, while decoding reads scans after it. A reused object must not decode with what
    // the scans of its previous run left in the scan header and records.
    for (const char* name : {"stale_scan_records.jpg", "stale_scan_header.jpg"}) {
        SCOPED_TRACE(name);
        const testsupport::Bytes file =
            testsupport::ReadFile(std::string(PHOTOGEO_TEST_DATA "/jpeg/") + name);
        ASSERT_FALSE(file.empty());
        CJpegDecoder decoder;
        const SDecodeResult first = OurDecode(file, false, &decoder);
        decoder.RemoveAll();
        decoder.CleanMembers();
        const SDecodeResult again = OurDecode(file, false, &decoder);
        EXPECT_EQ(first.analysis, 0);
        EXPECT_EQ(std::vector<int>({first.analysis, first.decode}),
                  std::vector<int>({again.analysis, again.decode}));
        EXPECT_TRUE(first.bitmap == again.bitmap);
    }
}
