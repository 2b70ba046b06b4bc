// CString: the host's byte string. Texts are Shift-JIS bytes; nothing here interprets them
// beyond ASCII case folding.
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "photogeo/HostTypes.h"

CString& CString::operator=(const char* psz) {
    m_str.assign(psz ? psz : "");
    return *this;
}

CString& CString::operator+=(const char* psz) {
    if (psz) m_str.append(psz);
    return *this;
}

void CString::Format(const char* pszFormat, ...) {
    va_list args;
    va_start(args, pszFormat);
    va_list again;
    va_copy(again, args);
    int n = std::vsnprintf(nullptr, 0, pszFormat, args);
    va_end(args);
    if (n < 0) {
        va_end(again);
        m_str.clear();
        return;
    }
    std::string out(static_cast<size_t>(n) + 1, '\0');
    std::vsnprintf(&out[0], out.size(), pszFormat, again);
    va_end(again);
    out.resize(static_cast<size_t>(n));
    m_str.swap(out);
}

int CString::Find(const char* pszSub, int nStart) const {
    if (!pszSub || nStart < 0 || nStart > GetLength()) return -1;
    size_t pos = m_str.find(pszSub, static_cast<size_t>(nStart));
    return pos == std::string::npos ? -1 : static_cast<int>(pos);
}

int CString::Find(char ch, int nStart) const {
    if (nStart < 0 || nStart > GetLength()) return -1;
    size_t pos = m_str.find(ch, static_cast<size_t>(nStart));
    return pos == std::string::npos ? -1 : static_cast<int>(pos);
}

void CString::MakeUpper() {
    for (char& c : m_str)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
}
