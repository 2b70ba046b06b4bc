// photogeo::DecodeJpeg: decodes a JPEG image held in memory into 8-bit RGB pixels, with limits
// on what one image may take.
//
// What decodes: 8-bit baseline, extended sequential (Huffman) and progressive frames (spectral
// selection and successive approximation, restart intervals), greyscale or YCbCr, with chroma
// subsampled by whole factors (4:4:4, 4:2:2, 4:2:0, 4:4:0, 4:1:1, ...). Arithmetic coding,
// lossless and hierarchical frames, 12-bit samples and CMYK are refused. The pixels are those of
// CJpegDecoder: its integer basis-image transform and colour formulas, chroma samples replicated
// (no smoothing), so that every platform gives the same bytes.
//
// Thread safety: calls on different buffers may run at once; the buffer is only read.
#ifndef PHOTOGEO_JPEGIMAGE_H
#define PHOTOGEO_JPEGIMAGE_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "photogeo/Export.h"
#include "photogeo/Result.h"

namespace photogeo {

struct JpegDecodeOptions {
    // Only what CJpegDecoder decodes by default: baseline frames and progressive frames whose
    // scans are a DC scan of every component then one AC scan per component (no successive
    // approximation, no restart intervals in progressive scans).
    bool strict = false;
    // Largest width * height accepted; 0 for no limit. Default 250 megapixels.
    std::uint64_t maxPixels = 250'000'000;
    // Largest memory for the coefficients a progressive or multi-scan image keeps (4 bytes per
    // coefficient, taken as non-zero data arrives); default 2 GiB.
    std::uint64_t maxCoefficientBytes = std::uint64_t{2} << 30;
};

struct RgbImage {
    int width = 0;
    int height = 0;
    // height rows top-down, each 3 * width bytes: red, green, blue per pixel.
    std::vector<std::uint8_t> pixels;
    // True when the data failed part-way (truncated or damaged) and the pixels show the image as
    // far as it could be read; `warning` then says why.
    bool partial = false;
    std::string warning;
};

// Decodes the size bytes at data. Errors: not a JPEG image, a kind of JPEG not decoded (see
// above), damaged data before any picture data, or an image beyond the limits; Error::code 0.
PHOTOGEO_API Result<RgbImage> DecodeJpeg(const std::uint8_t* data, std::size_t size,
                                         const JpegDecodeOptions& options = {});

}  // namespace photogeo

#endif
