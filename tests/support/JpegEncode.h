// libjpeg-turbo as the reference encoder of the tests and benchmarks: interleaved 8-bit samples
// compressed into memory, with a hook for whatever a caller sets beyond libjpeg's defaults.
#ifndef PHOTOGEO_TESTS_SUPPORT_JPEGENCODE_H
#define PHOTOGEO_TESTS_SUPPORT_JPEGENCODE_H

#include <cstddef>
#include <cstdio>
#include <functional>
#include <vector>

// jpeglib.h needs size_t and FILE declared before it.
#include <jpeglib.h>

namespace testsupport {

// components: 1 grey, 3 RGB (stored as YCbCr), 4 CMYK. `configure` runs after jpeg_set_defaults
// (quality, sampling factors, table choices, scan scripts); anything it points cinfo at must
// live until this call returns.
std::vector<unsigned char> CompressJpeg(
    const unsigned char* pixels, int width, int height, int components,
    const std::function<void(jpeg_compress_struct&)>& configure = {});

}  // namespace testsupport

#endif
