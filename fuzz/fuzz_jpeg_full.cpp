// Fuzz target for full decoding (CJpegDecoder::SetFullDecoding): arbitrary bytes as a JPEG image.
// Where libjpeg-turbo reads the same bytes without an error or a warning and the decoder
// succeeds, the bitmap must be, byte for byte, the decoder's arithmetic over the coefficients
// libjpeg-turbo read (tests/jpeg/JpegTestUtil.h, CoefficientDecode).
//
// The decoder runs with a coefficient limit of kCoefficientBytes, so that its stores (which grow
// as non-zero data arrives) stay bounded whatever size a frame declares; libjpeg-turbo, whose
// stores are allocated whole, runs only on images of at most kOraclePixels pixels.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "JpegTestUtil.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    constexpr int64_t kMaxPixels = int64_t{1} << 21, kOraclePixels = int64_t{1} << 18;
    constexpr long long kCoefficientBytes = 64LL << 20;
    if (size > (1u << 20)) return 0;
    std::vector<char> jpeg(data, data + size);
    CJpegDecoder decoder;
    decoder.SetFullDecoding(true);
    decoder.SetLimits(kMaxPixels, kCoefficientBytes);
    decoder.SetJpegData(jpeg.data(), static_cast<int>(jpeg.size()));
    int width = 0, height = 0;
    decoder.GetPictData(width, height);
    if (width < 0 || height < 0 || int64_t{width} * height > kMaxPixels) return 0;
    std::vector<unsigned char> bitmap(static_cast<size_t>(jpegtest::Stride(width)) * height,
                                      jpegtest::kUntouched);
    const int result = decoder.DoDecode(reinterpret_cast<char*>(bitmap.data()));
    if (result != 0 && result != -1 && result != -2) std::abort();
    if (result != 0 || int64_t{width} * height > kOraclePixels) return 0;
    int w = 0, h = 0;
    const std::vector<unsigned char> oracle =
        jpegtest::CoefficientDecode(data, size, decoder.m_nBasis, w, h);
    if (!oracle.empty() && w == width && h == height && oracle != bitmap) std::abort();
    return 0;
}
