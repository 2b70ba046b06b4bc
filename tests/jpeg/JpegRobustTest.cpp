// Truncated input: every truncation of valid files, with default and full decoding. The decoder
// must return 0, -1 or -2 and never write the row padding (run under the sanitizer build as
// well); a truncated sequential file gives, in what it writes, the whole file's pixels. Random
// damage is fuzz_jpeg_decoder's.
#include <gtest/gtest.h>

#include "JpegTestUtil.h"

using namespace jpegtest;

namespace {

// 4:2:0 with restart markers; greyscale; spectral selection 4:4:4; successive approximation
// with restarts, 4:2:2 (full decoding only).
std::vector<std::vector<unsigned char>> Samples() {
    std::vector<std::vector<unsigned char>> files;
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
    return files;
}

}  // namespace

TEST(JpegRobust, EveryTruncationFailsCleanly) {
    for (const auto& file : Samples()) {
        const SDecodeResult whole = OurDecode(file);
        for (size_t n = 0; n < file.size(); ++n)
            for (bool full : {false, true}) {
                SCOPED_TRACE(std::to_string(n) + (full ? " full" : ""));
                const SDecodeResult ours =
                    OurDecode(std::vector<unsigned char>(file.begin(), file.begin() + n), full);
                ASSERT_TRUE(ours.analysis == 0 || ours.analysis == -1 || ours.analysis == -2);
                ASSERT_TRUE(ours.decode == 0 || ours.decode == -1 || ours.decode == -2);
                ASSERT_TRUE(ours.paddingIntact);
                if (full || whole.decode != 0 || ours.width != whole.width) continue;
                for (size_t i = 0; i < ours.bitmap.size(); ++i)
                    ASSERT_TRUE(ours.bitmap[i] == kUntouched || ours.bitmap[i] == whole.bitmap[i]);
            }
    }
}
