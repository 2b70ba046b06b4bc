// Text conversions that need the host's character-set tables (TextCodec.cpp says which).
#ifndef PHOTOGEO_SRC_FOUNDATION_TEXTCODEC_H
#define PHOTOGEO_SRC_FOUNDATION_TEXTCODEC_H

#include <cstddef>
#include <string>

namespace photogeo::foundation {

// The UTF-16LE units at p (nUnits of them, or up to the first zero unit) as Shift-JIS (CP932).
// A unit or surrogate pair without a CP932 form, and a lone surrogate, becomes one "?". The
// empty text when the conversion is not available.
std::string Utf16LeToShiftJis(const unsigned char* p, size_t nUnits);

}  // namespace photogeo::foundation

#endif
