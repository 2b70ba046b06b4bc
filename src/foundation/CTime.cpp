// CTime: signed 32-bit seconds since 1970 UTC. Construction from calendar parts and Format
// both work in local time through the C runtime, so they follow the same zone (TZ).
#include <ctime>

#include "photogeo/HostTypes.h"

CTime::CTime(int nYear, int nMonth, int nDay, int nHour, int nMin, int nSec, int nDST) {
    std::tm t{};
    t.tm_year = nYear - 1900;
    t.tm_mon = nMonth - 1;
    t.tm_mday = nDay;
    t.tm_hour = nHour;
    t.tm_min = nMin;
    t.tm_sec = nSec;
    t.tm_isdst = nDST;
    std::time_t v = std::mktime(&t);
    // Outside the 32-bit range the time cannot be held: it becomes -1, mktime's own failure.
    m_time = (v < INT32_MIN || v > INT32_MAX) ? -1 : static_cast<int32_t>(v);
}

CTime CTime::GetCurrentTime() {
    std::time_t now = std::time(nullptr);
    return CTime(static_cast<int32_t>(now));
}

static bool ToLocal(int32_t value, std::tm& out) {
    std::time_t t = value;
    return localtime_r(&t, &out) != nullptr;
}

CString CTime::Format(const char* pszFormat) const {
    std::tm t{};
    char buf[256];
    CString s;
    if (pszFormat && ToLocal(m_time, t) && std::strftime(buf, sizeof buf, pszFormat, &t) > 0)
        s = buf;
    return s;
}

int CTime::GetYear() const {
    std::tm t{};
    return ToLocal(m_time, t) ? t.tm_year + 1900 : 0;
}
int CTime::GetMonth() const {
    std::tm t{};
    return ToLocal(m_time, t) ? t.tm_mon + 1 : 0;
}
int CTime::GetDay() const {
    std::tm t{};
    return ToLocal(m_time, t) ? t.tm_mday : 0;
}
int CTime::GetHour() const {
    std::tm t{};
    return ToLocal(m_time, t) ? t.tm_hour : 0;
}
int CTime::GetMinute() const {
    std::tm t{};
    return ToLocal(m_time, t) ? t.tm_min : 0;
}
int CTime::GetSecond() const {
    std::tm t{};
    return ToLocal(m_time, t) ? t.tm_sec : 0;
}
