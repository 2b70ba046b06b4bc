// Fuzz target for the JPEG image decoder: arbitrary bytes as a JPEG image in memory.
//
// One decoder reports the properties (GetProperty with the quantisation copy); a second analyses
// the same bytes (SetJpegData), announces the picture size (GetPictData) and, when the picture
// has at most kMaxPixels pixels, decodes it (DoDecode) into a bitmap of exactly the announced
// size, so that AddressSanitizer catches any byte written outside it. The second decoder is then
// reused for the same bytes (RemoveAll, CleanMembers); when the analysis succeeded it must give
// the same results and bitmap.
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

struct Decoded {
    int analysis = 0;
    int result = 0;
    std::vector<unsigned char> bitmap;
};

// Analyses the image with decoder and, when its size is within kMaxPixels, decodes it into a
// bitmap of exactly stride x height bytes, whose row padding must stay untouched.
Decoded Decode(CJpegDecoder& decoder, std::vector<char>& jpeg) {
    Decoded d;
    d.analysis = decoder.SetJpegData(jpeg.data(), static_cast<int>(jpeg.size()));
    if (d.analysis != 0 && d.analysis != -1 && d.analysis != -2) std::abort();

    int width = 0;
    int height = 0;
    decoder.GetPictData(width, height);
    if (width < 0 || height < 0 || int64_t{width} * height > kMaxPixels) {
        d.result = 1;
        return d;
    }
    const int64_t stride = (int64_t{3} * width + 3) / 4 * 4;
    const size_t bytes = static_cast<size_t>(stride * height);
    unsigned char* bitmap = static_cast<unsigned char*>(std::malloc(bytes));
    std::memset(bitmap, kUntouched, bytes);

    d.result = decoder.DoDecode(reinterpret_cast<char*>(bitmap));
    if (d.result != 0 && d.result != -1 && d.result != -2) std::abort();
    for (int64_t y = 0; y < height; ++y) {
        for (int64_t x = 3 * int64_t{width}; x < stride; ++x) {
            if (bitmap[y * stride + x] != kUntouched) std::abort();
        }
    }
    d.bitmap.assign(bitmap, bitmap + bytes);
    std::free(bitmap);
    return d;
}

// Decodes with a new decoder, then again with the same object after RemoveAll and CleanMembers,
// as a host reuses it: nothing of the first run may change the second.
void CheckDecode(const uint8_t* data, size_t size) {
    std::vector<char> jpeg(data, data + size);
    CJpegDecoder decoder;
    const Decoded first = Decode(decoder, jpeg);
    decoder.RemoveAll();
    decoder.CleanMembers();
    const Decoded again = Decode(decoder, jpeg);
    // CleanMembers leaves the scan header and the quantisation tables as they were, so only an
    // analysis that reads the image up to its first scan again sets the same state.
    if (first.analysis != 0) return;
    if (again.analysis != 0 || again.result != first.result || again.bitmap != first.bitmap) {
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > (1u << 24)) return 0;
    CheckProperty(data, size);
    CheckDecode(data, size);
    return 0;
}
