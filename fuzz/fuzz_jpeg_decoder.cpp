// Fuzz target for the JPEG image decoder: arbitrary bytes as a JPEG image in memory.
//
// One decoder reports the properties (GetProperty with the quantisation copy); a second analyses
// the same bytes (SetJpegData), announces the picture size (GetPictData) and, when the picture
// has at most kMaxPixels pixels, decodes it (DoDecode) into a bitmap of exactly the announced
// size, so that AddressSanitizer catches any byte written outside it.
//
// The decode runs whatever the analysis result was: an analysis that failed half-way leaves
// tables and flags behind, and DoDecode must cope with that state too.
//
// Checks: the results are those the interface allows; the row padding of the bitmap is never
// written.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "photogeo/JpegDecoder.h"

namespace {

// 2 M pixels (a 1920 x 1080 picture fits): large enough for every layout the decoder handles,
// small enough that each input stays fast under the sanitizers.
constexpr int64_t kMaxPixels = int64_t{1} << 21;
constexpr unsigned char kUntouched = 0xA5;

void CheckProperty(const uint8_t* data, size_t size) {
    std::vector<char> jpeg(data, data + size);
    CJpegDecoder decoder;
    SJpegProperty prop;
    std::memset(&prop, 0, sizeof prop);
    const int result = decoder.GetProperty(jpeg.data(), static_cast<int>(jpeg.size()), prop, 1);
    if (result != 0 && result != 1) std::abort();
    if (result == 1) {
        if (prop.m_nComponents != 1 && prop.m_nComponents != 3 && prop.m_nFrameType != 0) {
            std::abort();
        }
        if (prop.m_pComment != nullptr) (void)std::strlen(prop.m_pComment);
        // The copy belongs to the caller: read all 128 entries, then free it.
        if (prop.m_pQuantCopy != nullptr) {
            int sum = 0;
            for (int i = 0; i < 128; ++i) sum += prop.m_pQuantCopy[i];
            (void)sum;
            delete[] prop.m_pQuantCopy;
        }
    }
}

void CheckDecode(const uint8_t* data, size_t size) {
    std::vector<char> jpeg(data, data + size);
    CJpegDecoder decoder;
    const int analysis = decoder.SetJpegData(jpeg.data(), static_cast<int>(jpeg.size()));
    if (analysis != 0 && analysis != -1 && analysis != -2) std::abort();

    int width = 0;
    int height = 0;
    decoder.GetPictData(width, height);
    if (width < 0 || height < 0) return;
    if (int64_t{width} * height > kMaxPixels) return;

    const int64_t stride = (int64_t{3} * width + 3) / 4 * 4;
    const size_t bytes = static_cast<size_t>(stride * height);
    unsigned char* bitmap = static_cast<unsigned char*>(std::malloc(bytes));
    std::memset(bitmap, kUntouched, bytes);

    const int decoded = decoder.DoDecode(reinterpret_cast<char*>(bitmap));
    if (decoded != 0 && decoded != -1 && decoded != -2) std::abort();
    for (int64_t y = 0; y < height; ++y) {
        for (int64_t x = 3 * int64_t{width}; x < stride; ++x) {
            if (bitmap[y * stride + x] != kUntouched) std::abort();
        }
    }
    std::free(bitmap);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > (1u << 24)) return 0;
    CheckProperty(data, size);
    CheckDecode(data, size);
    return 0;
}
