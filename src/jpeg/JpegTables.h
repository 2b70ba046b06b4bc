// Read-only tables of the JPEG decoder.
#ifndef PHOTOGEO_JPEG_JPEGTABLES_H
#define PHOTOGEO_JPEG_JPEGTABLES_H

namespace photogeo::jpeg {

// zigzag[i]: the natural (row-major) position of the i-th coefficient in stream order.
extern const unsigned char zigzag[64];

// The analysis flags (CJpegDecoder::m_nFlag, SJpegProperty::m_nFlag): which segments were read.
inline constexpr int kFlagHuffman = 1;
inline constexpr int kFlagQuantisation = 2;
inline constexpr int kFlagJfif = 4;
inline constexpr int kFlagComment = 8;
inline constexpr int kFlagScan = 16;

}  // namespace photogeo::jpeg

#endif
