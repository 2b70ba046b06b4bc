// PullupHtml: a user comment that holds an HTML document is written out to a file of its own,
// byte for byte, so that the host can show it in a browser.
#include <cstdio>

#include "photogeo/ExifIfdCoder.h"

int CExifIfdCoder::PullupHtml(const char* path) {
    if (!m_Property.bUserComment) return 0;
    CString upper = m_Property.strUserComment;
    upper.MakeUpper();
    if (upper.Find("<HTML>") < 0) return 0;
    if (!path) return 0;
    FILE* file = std::fopen(path, "w");
    if (!file) return 0;
    const CString& text = m_Property.strUserComment;
    size_t length = static_cast<size_t>(text.GetLength());
    bool ok = std::fwrite(static_cast<const char*>(text), 1, length, file) == length;
    if (std::fclose(file) != 0) ok = false;
    return ok ? 1 : 0;
}
