// Malformed input: every truncation of valid files and seeded random corruptions, with default
// and full decoding. The decoder must return 0, -1 or -2 and never write the row padding (run
// under the sanitizer build as well); a truncated sequential file gives, in what it writes, the
// whole file's pixels.
#include <gtest/gtest.h>

#include <random>

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

// Default and full decoding; where `whole` (the file's own decode) is given, every byte written
// must be the whole file's.
void ExpectClean(const std::vector<unsigned char>& jpeg, const SDecodeResult* whole = nullptr) {
    for (bool full : {false, true}) {
        SDecodeResult ours = OurDecode(jpeg, full);
        ASSERT_TRUE(ours.analysis == 0 || ours.analysis == -1 || ours.analysis == -2);
        if (ours.decode == 1) return;  // an absurd size: not decoded
        ASSERT_TRUE(ours.decode == 0 || ours.decode == -1 || ours.decode == -2) << ours.decode;
        ASSERT_TRUE(ours.paddingIntact);
        if (!whole || full || ours.width != whole->width || ours.height != whole->height) continue;
        for (size_t i = 0; i < ours.bitmap.size(); ++i)
            ASSERT_TRUE(ours.bitmap[i] == kUntouched || ours.bitmap[i] == whole->bitmap[i]) << i;
    }
}

}  // namespace

TEST(JpegRobust, EveryTruncationFailsCleanly) {
    for (const auto& file : Samples()) {
        const SDecodeResult whole = OurDecode(file);
        for (size_t n = 0; n < file.size(); ++n) {
            SCOPED_TRACE(n);
            ExpectClean(std::vector<unsigned char>(file.begin(), file.begin() + n),
                        whole.decode == 0 ? &whole : nullptr);
            if (HasFatalFailure()) return;
        }
    }
}

TEST(JpegRobust, RandomCorruptionsFailCleanly) {
    std::mt19937 rng(20261206);
    std::vector<std::vector<unsigned char>> files = Samples();
    for (int round = 0; round < 3000; ++round) {
        std::vector<unsigned char> jpeg = files[round % files.size()];
        for (int e = 1 + static_cast<int>(rng() % 4); e > 0; --e) {
            const unsigned char values[4] = {static_cast<unsigned char>(rng()), 0xFF, 0x00,
                                             static_cast<unsigned char>(1u << (rng() % 8))};
            const unsigned kind = rng() % 4;
            unsigned char& at = jpeg[rng() % jpeg.size()];
            at = kind == 3 ? at ^ values[3] : values[kind];
        }
        SCOPED_TRACE(round);
        ExpectClean(jpeg);
        if (HasFatalFailure()) return;
    }
}
