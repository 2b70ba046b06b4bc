// Bound checks for values that a TIFF block locates by offset, relative to a stream's position
// (the item getters take their offsets that way), and the conversion of the TIFF cursor's
// errors into the EBufferError texts that the EXIF operations raise. Offsets and lengths come
// from untrusted data: they are compared as 64-bit integers with the one span rule of the TIFF
// cursor, and only turned into a pointer once the whole run is known to lie inside the buffer.
#ifndef PHOTOGEO_SRC_EXIF_EXIFSPAN_H
#define PHOTOGEO_SRC_EXIF_EXIFSPAN_H

#include <cstdint>

#include "exif/ExifTables.h"
#include "photogeo/InBitStream.h"
#include "tiff/TiffCursor.h"

namespace photogeo::exif {

// The address of the nLength bytes that start nRel bytes from the stream's current position,
// or null when any of them lies outside [m_pTop, m_pEnd). nLength 0 needs a start inside the
// buffer or at its end.
inline unsigned char* SpanAt(const CInBitStream& s, int64_t nRel, int64_t nLength) {
    const int64_t here = s.m_pCur - s.m_pTop;
    const int64_t start = here + nRel;
    if (here < 0 || !photogeo::tiff::Fits(start, nLength, s.m_pEnd - s.m_pTop)) return nullptr;
    return s.m_pTop + start;
}

// A relative offset for the item getters, whose offsets are 32-bit: values that do not fit
// are pinned to a value that no buffer can reach.
inline int32_t ClampOffset(int64_t nRel) {
    if (nRel > INT32_MAX) return INT32_MAX;
    if (nRel < INT32_MIN) return INT32_MIN;
    return static_cast<int32_t>(nRel);
}

// Runs a walk over a TIFF block and raises a failure of its cursor as the EBufferError that
// the byte reader gives for the same step (BufferErrorText).
template <class F>
void WithBufferErrors(F walk) {
    try {
        walk();
    } catch (const photogeo::tiff::Error& e) {
        throw EBufferError(BufferErrorText(e.fault()));
    }
}

}  // namespace photogeo::exif

#endif
