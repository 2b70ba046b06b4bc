// Fuzz target for CJpegDecoder on arbitrary bytes as a JPEG image in memory.
//
// One decoder reports the properties (with the quantisation copy). A second analyses the bytes
// and decodes pictures of at most kMaxPixels into a bitmap of exactly the announced size
// (tests/jpeg/JpegTestUtil.h, OurDecode), whatever the analysis result (a failed analysis leaves
// tables and flags behind), then again after RemoveAll and CleanMembers: after a successful
// analysis, with the same results and bitmap. A third uses full decoding under a coefficient
// limit of kCoefficientBytes (its stores grow with the data, whatever size a frame declares);
// where it succeeds and libjpeg-turbo reads the bytes without error or warning, its bitmap must
// be the decoder's arithmetic over libjpeg-turbo's coefficients (CoefficientDecode) byte for
// byte, for pictures of at most kOraclePixels (libjpeg-turbo allocates its stores whole).
//
// Checks also: the results are those the interface allows; the row padding is never written.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "JpegTestUtil.h"

namespace {

// 2 M pixels (a 1920 x 1080 picture fits): large enough for every layout the decoder handles,
// small enough that each input stays fast under the sanitizers.
constexpr int64_t kMaxPixels = int64_t{1} << 21, kOraclePixels = int64_t{1} << 18;
constexpr long long kCoefficientBytes = 64LL << 20;

void CheckProperty(const uint8_t* data, size_t size) {
    std::vector<char> jpeg(data, data + size);
    CJpegDecoder decoder;
    SJpegProperty prop{};
    const int result = decoder.GetProperty(jpeg.data(), static_cast<int>(jpeg.size()), prop, 1);
    if (result != 0 && result != 1) std::abort();
    if (result == 0) return;
    if (prop.m_nComponents != 1 && prop.m_nComponents != 3 && prop.m_nFrameType != 0) std::abort();
    if (prop.m_pComment != nullptr) (void)std::strlen(prop.m_pComment);
    // The copy belongs to the caller: read all 128 entries, then free it.
    if (prop.m_pQuantCopy != nullptr) {
        volatile int sum = 0;
        for (int i = 0; i < 128; ++i) sum = sum + prop.m_pQuantCopy[i];
        delete[] prop.m_pQuantCopy;
    }
}

void CheckResults(const jpegtest::SDecodeResult& d) {
    if ((d.analysis != 0 && d.analysis != -1 && d.analysis != -2) ||
        (d.decode != 0 && d.decode != -1 && d.decode != -2 && d.decode != 1) || !d.paddingIntact)
        std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > (1u << 24)) return 0;
    CheckProperty(data, size);
    const std::vector<unsigned char> jpeg(data, data + size);
    CJpegDecoder decoder;
    const jpegtest::SDecodeResult first = jpegtest::OurDecode(jpeg, false, &decoder, kMaxPixels);
    CheckResults(first);
    decoder.RemoveAll();
    decoder.CleanMembers();
    const jpegtest::SDecodeResult again = jpegtest::OurDecode(jpeg, false, &decoder, kMaxPixels);
    CheckResults(again);
    // CleanMembers leaves the scan header and the quantisation tables as they were, so only an
    // analysis that reads the image up to its first scan again sets the same state.
    if (first.analysis == 0 &&
        (again.analysis != 0 || again.decode != first.decode || again.bitmap != first.bitmap))
        std::abort();

    CJpegDecoder full;
    full.SetLimits(kMaxPixels, kCoefficientBytes);
    const jpegtest::SDecodeResult r = jpegtest::OurDecode(jpeg, true, &full, kMaxPixels);
    CheckResults(r);
    if (r.decode != 0 || int64_t{r.width} * r.height > kOraclePixels) return 0;
    int w = 0, h = 0;
    const std::vector<unsigned char> oracle =
        jpegtest::CoefficientDecode(data, size, full.m_nBasis, w, h);
    if (!oracle.empty() && w == r.width && h == r.height && oracle != r.bitmap) std::abort();
    return 0;
}
