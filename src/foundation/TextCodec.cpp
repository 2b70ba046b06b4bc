// Conversion of UTF-16 text to Shift-JIS for the EXIF readers' UNICODE user comments.
//
// This is the library's only use of iconv (POSIX), with glibc's CP932 module. On a system without
// that module (or without iconv) this file is what a port replaces: on Windows,
// WideCharToMultiByte with code page 932 and a "?" default character gives the same result.
#include "foundation/TextCodec.h"

#include <iconv.h>

#include <cerrno>

namespace photogeo::foundation {

std::string Utf16LeToShiftJis(const unsigned char* p, size_t nUnits) {
    size_t units = 0;
    while (units < nUnits && (p[2 * units] | p[2 * units + 1]) != 0) ++units;
    std::string out;
    iconv_t cd = iconv_open("CP932", "UTF-16LE");
    if (cd == reinterpret_cast<iconv_t>(-1)) return out;
    char* in = reinterpret_cast<char*>(const_cast<unsigned char*>(p));
    size_t inLeft = 2 * units;
    char buffer[256];
    while (inLeft > 0) {
        char* o = buffer;
        size_t oLeft = sizeof(buffer);
        const size_t rc = iconv(cd, &in, &inLeft, &o, &oLeft);
        out.append(buffer, o - buffer);
        if (rc != static_cast<size_t>(-1) || errno == E2BIG) continue;
        // EILSEQ (no CP932 form) or EINVAL (a high surrogate cut off at the end).
        out += '?';
        const unsigned unit =
            static_cast<unsigned char>(in[0]) | (static_cast<unsigned char>(in[1]) << 8);
        size_t skip = 2;
        if (unit >= 0xD800 && unit < 0xDC00 && inLeft >= 4) {
            const unsigned low =
                static_cast<unsigned char>(in[2]) | (static_cast<unsigned char>(in[3]) << 8);
            if (low >= 0xDC00 && low < 0xE000) skip = 4;
        }
        if (skip > inLeft) skip = inLeft;
        in += skip;
        inLeft -= skip;
    }
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    iconv_close(cd);
    return out;
}

}  // namespace photogeo::foundation
