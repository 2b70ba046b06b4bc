// Shift-JIS (CP932) text to UTF-8 by iconv, for comparing the coder's texts with texts written
// in UTF-8. A byte run that is not Shift-JIS fails the current test.
#ifndef PHOTOGEO_TESTS_SJISTEXT_H
#define PHOTOGEO_TESTS_SJISTEXT_H

#include <gtest/gtest.h>
#include <iconv.h>

#include <string>

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

}  // namespace codertest

#endif
