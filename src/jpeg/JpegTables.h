// Read-only tables of the JPEG decoder.
#ifndef PHOTOGEO_JPEG_JPEGTABLES_H
#define PHOTOGEO_JPEG_JPEGTABLES_H

namespace pgjpeg {

// zigzag[i]: the natural (row-major) position of the i-th coefficient in stream order.
extern const unsigned char zigzag[64];

}  // namespace pgjpeg

#endif
