// The texts of the EBufferError that the byte reader (CInBitStream) throws, one per operation
// that ran out of data. Every subsystem that reports a failure as the byte reader's own (the
// EXIF walks convert the TIFF cursor's faults to these) raises them by these names.
#ifndef PHOTOGEO_SRC_FOUNDATION_BYTEREADERERRORS_H
#define PHOTOGEO_SRC_FOUNDATION_BYTEREADERERRORS_H

namespace photogeo::foundation {

inline constexpr char kErrGetByte[] = "GetByte";
inline constexpr char kErrGetWord[] = "GetWord";
inline constexpr char kErrCopyByte[] = "CopyByte";
inline constexpr char kErrSkipByte[] = "SkipByte";
inline constexpr char kErrPushSkip[] = "PushSkip";
inline constexpr char kErrGetBits[] = "GetBits";

}  // namespace photogeo::foundation

#endif
