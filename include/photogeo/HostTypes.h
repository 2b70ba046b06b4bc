// The host application's string, time and file classes, as the library exchanges them across
// its interface: CString (bytes, Shift-JIS text in practice), CTime (signed 32-bit seconds
// since 1970 UTC, shown in local time) and CFile (an unbuffered file of bytes).
//
// Local time follows the TZ environment variable, as the C runtime does.
#ifndef PHOTOGEO_HOSTTYPES_H
#define PHOTOGEO_HOSTTYPES_H

#include <cstdint>
#include <string>

#include "photogeo/Export.h"

class PHOTOGEO_API CString {
public:
    CString() = default;
    CString(const char* psz) { *this = psz; }
    CString(const CString&) = default;
    CString& operator=(const CString&) = default;
    // Takes the text up to its first NUL; a null pointer gives the empty string.
    CString& operator=(const char* psz);
    CString& operator+=(const char* psz);
    CString& operator+=(const CString& s) {
        m_str += s.m_str;
        return *this;
    }
    CString& operator+=(char ch) {
        m_str += ch;
        return *this;
    }

    int GetLength() const { return static_cast<int>(m_str.size()); }
    bool IsEmpty() const { return m_str.empty(); }
    void Empty() { m_str.clear(); }
    // printf-style formatting; the result replaces the contents.
    void Format(const char* pszFormat, ...) PHOTOGEO_PRINTF_FORMAT(2, 3);
    // Zero-based index of the first occurrence at or after nStart, or -1.
    int Find(const char* pszSub, int nStart = 0) const;
    int Find(char ch, int nStart = 0) const;
    // Upper-cases ASCII letters only; Shift-JIS bytes are left alone.
    void MakeUpper();

    operator const char*() const { return m_str.c_str(); }
    const std::string& str() const { return m_str; }

    friend bool operator==(const CString& a, const CString& b) { return a.m_str == b.m_str; }
    friend bool operator!=(const CString& a, const CString& b) { return a.m_str != b.m_str; }
    friend bool operator==(const CString& a, const char* b) { return a.m_str == (b ? b : ""); }
    friend bool operator!=(const CString& a, const char* b) { return !(a == b); }
    friend bool operator<(const CString& a, const CString& b) { return a.m_str < b.m_str; }

private:
    std::string m_str;
};

class PHOTOGEO_API CTime {
public:
    CTime() = default;
    explicit CTime(int32_t t) : m_time(t) {}
    // The parts as local time; nDST -1 lets the C runtime decide about daylight saving.
    // A date that cannot be represented gives -1, as mktime does.
    CTime(int nYear, int nMonth, int nDay, int nHour, int nMin, int nSec, int nDST = -1);

    static CTime GetCurrentTime();
    // strftime-style format in local time ("%Y:%m:%d %H:%M:%S", ...).
    CString Format(const char* pszFormat) const;
    int32_t GetTime() const { return m_time; }

    int GetYear() const;
    int GetMonth() const;
    int GetDay() const;
    int GetHour() const;
    int GetMinute() const;
    int GetSecond() const;

    friend bool operator==(CTime a, CTime b) { return a.m_time == b.m_time; }
    friend bool operator!=(CTime a, CTime b) { return a.m_time != b.m_time; }

private:
    int32_t m_time = 0;
};

// A failed CFile read or write.
class PHOTOGEO_API CFileException {
public:
    CFileException(int nError, const char* pOperation)
        : m_lOsError(nError), m_pOperation(pOperation) {}
    int m_lOsError;            // errno of the failing call
    const char* m_pOperation;  // "Read", "Write", "Flush", "GetLength"
};

struct CFileStatus {
    CTime m_mtime;  // last modification
    int64_t m_size = 0;
};

class PHOTOGEO_API CFile {
public:
    enum OpenFlags : unsigned {
        modeRead = 0x0000,
        modeWrite = 0x0001,
        modeReadWrite = 0x0002,
        shareExclusive = 0x0010,
        modeCreate = 0x1000,
        typeBinary = 0x8000
    };

    CFile() = default;
    ~CFile();
    CFile(const CFile&) = delete;
    CFile& operator=(const CFile&) = delete;

    // 1 on success, 0 on failure (no exception). modeCreate truncates an existing file.
    int Open(const char* pszFileName, unsigned nOpenFlags);
    uint64_t GetLength() const;
    // Reads up to nCount bytes; returns the count read (less only at the end of the file).
    unsigned Read(void* pBuf, unsigned nCount);
    // Writes all nCount bytes or throws CFileException.
    void Write(const void* pBuf, unsigned nCount);
    // Pushes written data to the device (fsync); throws CFileException on failure.
    void Flush();
    void Close();
    int GetStatus(CFileStatus& rStatus) const;
    bool IsOpen() const { return m_fd >= 0; }

private:
    int m_fd = -1;
};

#endif
