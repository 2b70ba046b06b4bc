// Malformed input: every truncation of valid files and seeded random corruptions, with default
// and full decoding. The decoder must return 0, -1 or -2, never write the row padding, and — since its word-at-a-time reader
// and lookup tables must fail exactly where the one-bit-at-a-time reading fails — give the same
// result and the same bitmap as the plain decoder. Run under the sanitizer build as well.
#include <gtest/gtest.h>

#include <random>

#include "JpegTestUtil.h"

using namespace jpegtest;

namespace {

std::vector<std::vector<unsigned char>> Samples() {
    std::vector<std::vector<unsigned char>> files;
    SEncodeOptions o;
    o.width = 37;
    o.height = 21;
    o.restartMcus = 2;
    files.push_back(Encode(o));  // 4:2:0 with restart markers
    o.restartMcus = 0;
    o.h0 = o.v0 = 1;
    o.components = 1;
    files.push_back(Encode(o));  // greyscale
    o.components = 3;
    o.optimize = true;
    jpeg_scan_info dc{};
    dc.comps_in_scan = 3;
    dc.component_index[0] = 0;
    dc.component_index[1] = 1;
    dc.component_index[2] = 2;
    o.scans.push_back(dc);
    for (int band = 0; band < 2; ++band)
        for (int c = 0; c < 3; ++c) {
            jpeg_scan_info ac{};
            ac.comps_in_scan = 1;
            ac.component_index[0] = c;
            ac.Ss = band ? 10 : 1;
            ac.Se = band ? 63 : 9;
            o.scans.push_back(ac);
        }
    files.push_back(Encode(o));  // spectral-selection progressive, 4:4:4
    o.scans.clear();
    o.simpleProgression = true;
    o.restartMcus = 3;
    o.h0 = 2;
    files.push_back(Encode(o));  // successive approximation with restarts, 4:2:2 (full decoding)
    return files;
}

// Default and full decoding alike.
void ExpectSameAsPlain(const std::vector<unsigned char>& jpeg) {
    for (bool full : {false, true}) {
        SDecodeResult ours = OurDecode(jpeg, nullptr, full);
        ASSERT_TRUE(ours.analysis == 0 || ours.analysis == -1 || ours.analysis == -2);
        if (ours.decode == 1) return;  // an absurd size: not decoded
        ASSERT_TRUE(ours.decode == 0 || ours.decode == -1 || ours.decode == -2) << ours.decode;
        ASSERT_TRUE(ours.paddingIntact);
        SDecodeResult plain = PlainDecodeBytes(jpeg, full);
        ASSERT_EQ(ours.decode, plain.decode) << "full " << full;
        ASSERT_TRUE(ours.bitmap == plain.bitmap) << "full " << full;
    }
}

}  // namespace

TEST(JpegRobust, EveryTruncationFailsCleanlyAsThePlainDecoderDoes) {
    for (const auto& file : Samples()) {
        for (size_t n = 0; n < file.size(); ++n) {
            SCOPED_TRACE(n);
            ExpectSameAsPlain(std::vector<unsigned char>(file.begin(), file.begin() + n));
            if (HasFatalFailure()) return;
        }
    }
}

TEST(JpegRobust, RandomCorruptionsFailCleanlyAsThePlainDecoderDoes) {
    std::mt19937 rng(20261206);
    std::vector<std::vector<unsigned char>> files = Samples();
    for (int round = 0; round < 3000; ++round) {
        std::vector<unsigned char> jpeg = files[round % files.size()];
        int edits = 1 + static_cast<int>(rng() % 4);
        for (int e = 0; e < edits; ++e) {
            size_t at = rng() % jpeg.size();
            switch (rng() % 4) {
                case 0:
                    jpeg[at] = static_cast<unsigned char>(rng());
                    break;
                case 1:
                    jpeg[at] ^= static_cast<unsigned char>(1u << (rng() % 8));
                    break;
                case 2:
                    jpeg[at] = 0xFF;
                    break;
                default:
                    jpeg[at] = 0x00;
                    break;
            }
        }
        SCOPED_TRACE(round);
        ExpectSameAsPlain(jpeg);
        if (HasFatalFailure()) return;
    }
}
