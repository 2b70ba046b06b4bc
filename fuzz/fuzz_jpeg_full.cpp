// Fuzz target for full decoding (CJpegDecoder::SetFullDecoding): arbitrary bytes as a JPEG image,
// decoded by the decoder and by the plain decoder of the tests (tests/jpeg/PlainDecoder.h), which
// reads one bit at a time, searches the Huffman codes entry by entry and sums the 64 basis images
// of every coefficient. Both must give the same result and the same bitmap.
//
// The decoder runs with a coefficient limit of kCoefficientBytes, so that its stores (which grow
// as non-zero data arrives) stay bounded whatever size a frame declares; the plain decoder, whose
// stores are allocated whole, runs only on images whose whole stores fit that limit and that have
// at most kPlainPixels pixels.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "PlainDecoder.h"
#include "photogeo/JpegDecoder.h"

namespace {

constexpr int64_t kMaxPixels = int64_t{1} << 21;
constexpr int64_t kPlainPixels = int64_t{1} << 18;
constexpr long long kCoefficientBytes = 64LL << 20;
constexpr unsigned char kUntouched = 0xA5;

struct Decoded {
    int result = 1;  // 1: not decoded
    std::vector<unsigned char> bitmap;
};

Decoded Decode(const uint8_t* data, size_t size, bool plain) {
    Decoded d;
    std::vector<char> jpeg(data, data + size);
    CJpegDecoder decoder;
    decoder.SetFullDecoding(true);
    decoder.SetLimits(kMaxPixels, kCoefficientBytes);
    decoder.SetJpegData(jpeg.data(), static_cast<int>(jpeg.size()));
    int width = 0, height = 0;
    decoder.GetPictData(width, height);
    const int64_t pixels = int64_t{width} * height;
    if (width < 0 || height < 0 || pixels > kMaxPixels) return d;
    if (plain) {
        if (pixels > kPlainPixels || decoder.m_byHmax == 0 || decoder.m_byVmax == 0) return d;
        int64_t mcus = ((width + 8 * decoder.m_byHmax - 1) / (8 * decoder.m_byHmax)) *
                       int64_t{(height + 8 * decoder.m_byVmax - 1) / (8 * decoder.m_byVmax)};
        int64_t blocks = 0;
        for (int c = 0; c < 3; ++c) blocks += mcus * decoder.m_Comp[c].byH * decoder.m_Comp[c].byV;
        if (blocks * 64 * 4 > kCoefficientBytes) return d;
    }
    const int64_t stride = (int64_t{3} * width + 3) / 4 * 4;
    d.bitmap.assign(static_cast<size_t>(stride * height), kUntouched);
    d.result = plain ? jpegtest::PlainDecode(decoder, d.bitmap.data(), true)
                     : decoder.DoDecode(reinterpret_cast<char*>(d.bitmap.data()));
    if (d.result != 0 && d.result != -1 && d.result != -2) std::abort();
    return d;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > (1u << 20)) return 0;
    const Decoded fast = Decode(data, size, false);
    const Decoded plain = Decode(data, size, true);
    if (plain.result == 1) return 0;
    if (fast.result != plain.result || fast.bitmap != plain.bitmap) std::abort();
    return 0;
}
