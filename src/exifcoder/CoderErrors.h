// The texts of the EBufferError that the coder itself throws (the byte reader's own texts are
// in foundation/ByteReaderErrors.h): the end of a file met by the marker scanner, and a TIFF
// block too large for one APP1 segment.
#ifndef PHOTOGEO_SRC_EXIFCODER_CODERERRORS_H
#define PHOTOGEO_SRC_EXIFCODER_CODERERRORS_H

namespace photogeo::exifcoder {

inline constexpr char kErrEndOfDisk[] = "EndOfDisk";
inline constexpr char kErrWriteIfd[] = "WriteIFD";

}  // namespace photogeo::exifcoder

#endif
