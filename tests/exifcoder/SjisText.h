// Shift-JIS (CP932) text to UTF-8 by iconv, for comparing the coder's texts with texts written
// in UTF-8 (a byte run that is not Shift-JIS fails the current test), and the coder's whole
// listing in UTF-8.
#ifndef PHOTOGEO_TESTS_SJISTEXT_H
#define PHOTOGEO_TESTS_SJISTEXT_H

#include <gtest/gtest.h>
#include <iconv.h>

#include <sstream>
#include <string>

#include "photogeo/ExifIfdCoder.h"
#include "photogeo/HostTypes.h"

namespace codertest {

inline std::string Utf8(const char* sjis) {
    iconv_t cd = iconv_open("UTF-8", "CP932");
    EXPECT_NE(cd, reinterpret_cast<iconv_t>(-1));
    std::string in(sjis), out(in.size() * 4 + 4, '\0');
    char* pin = &in[0];
    char* pout = &out[0];
    size_t nin = in.size(), nout = out.size();
    size_t r = iconv(cd, &pin, &nin, &pout, &nout);
    iconv_close(cd);
    EXPECT_NE(r, static_cast<size_t>(-1)) << "not Shift-JIS: " << sjis;
    out.resize(out.size() - nout);
    return out;
}

inline std::string Utf8(const CString& s) {
    return Utf8(static_cast<const char*>(s));
}

// Every item the coder lists (bAll: in list-all mode), one "item<TAB>name<TAB>value" line each,
// in UTF-8.
inline std::string Listing(CExifIfdCoder& coder, int bAll = 0) {
    std::ostringstream text;
    for (int item = 0; item < 330; ++item) {
        CString name, value;
        if (coder.Listup(item, name, value, bAll))
            text << item << '\t' << Utf8(name) << '\t' << Utf8(value) << '\n';
    }
    return text.str();
}

}  // namespace codertest

#endif
