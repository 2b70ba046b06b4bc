// photogeo::DecodeJpeg (photogeo/JpegImage.h): runs CJpegDecoder over the caller's buffer with
// full decoding and the caller's limits, then turns its bottom-up BGR bitmap into top-down RGB
// rows and its result codes into an Error or a partial image.
#include "photogeo/JpegImage.h"

#include <climits>
#include <new>

#include "photogeo/JpegDecoder.h"

namespace photogeo {

namespace {

Error Failure(const std::string& why) {
    return Error{"JPEG: " + why, 0};
}

std::string Reason(const CJpegDecoder& decoder, int result) {
    const char* text = decoder.LastError();
    std::string detail = text ? std::string(" (") + text + ")" : std::string();
    if (result == -1) return "data ended early, or memory ran out" + detail;
    return "damaged data, or a kind of JPEG this decoder does not read" + detail;
}

}  // namespace

Result<RgbImage> DecodeJpeg(const std::uint8_t* data, std::size_t size,
                            const JpegDecodeOptions& options) {
    if (size > static_cast<std::size_t>(INT_MAX)) return Failure("data larger than 2 GiB");
    CJpegDecoder decoder;
    decoder.SetFullDecoding(!options.strict);
    const std::uint64_t kNoLimit = static_cast<std::uint64_t>(LLONG_MAX);
    decoder.SetLimits(static_cast<long long>(options.maxPixels < kNoLimit ? options.maxPixels : 0),
                      static_cast<long long>(options.maxCoefficientBytes < kNoLimit
                                                 ? options.maxCoefficientBytes
                                                 : kNoLimit));
    // The decoder reads the buffer in place and never writes it.
    char* bytes = reinterpret_cast<char*>(const_cast<std::uint8_t*>(data));
    int analysis = decoder.SetJpegData(bytes, static_cast<int>(size));
    if (analysis == -1) return Failure("out of memory reading the headers");
    if (analysis != 0)
        return Failure(
            "not a JPEG image this decoder reads (damaged, or arithmetic-coded, lossless, "
            "hierarchical, 12-bit or CMYK)");
    int width = 0, height = 0;
    decoder.GetPictData(width, height);
    if (width <= 0 || height <= 0) return Failure("the image has no pixels");
    const std::uint64_t pixels = static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height);
    if (options.maxPixels != 0 && pixels > options.maxPixels)
        return Failure(std::to_string(width) + " x " + std::to_string(height) +
                       " pixels is beyond the limit of " + std::to_string(options.maxPixels));
    const std::size_t stride = (3 * static_cast<std::size_t>(width) + 3) / 4 * 4;
    std::vector<char> bitmap;
    RgbImage image;
    try {
        bitmap.assign(stride * static_cast<std::size_t>(height), 0);
        image.pixels.resize(3 * static_cast<std::size_t>(pixels));
    } catch (const std::bad_alloc&) {
        return Failure("out of memory for the bitmap");
    }
    int result = decoder.DoDecode(bitmap.data());
    if (result != 0 && !decoder.IsPartial()) return Failure(Reason(decoder, result));
    image.width = width;
    image.height = height;
    if (result != 0) {
        image.partial = true;
        image.warning = Reason(decoder, result);
    }
    for (int y = 0; y < height; ++y) {
        const char* src = bitmap.data() + static_cast<std::size_t>(height - 1 - y) * stride;
        std::uint8_t* dst = image.pixels.data() + 3 * static_cast<std::size_t>(width) * y;
        for (int x = 0; x < width; ++x) {
            dst[3 * x + 0] = static_cast<std::uint8_t>(src[3 * x + 2]);
            dst[3 * x + 1] = static_cast<std::uint8_t>(src[3 * x + 1]);
            dst[3 * x + 2] = static_cast<std::uint8_t>(src[3 * x + 0]);
        }
    }
    return image;
}

}  // namespace photogeo
