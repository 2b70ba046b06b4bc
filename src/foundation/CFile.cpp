// CFile: an unbuffered file over a POSIX descriptor. Open reports failure by its result; read,
// write and flush failures are thrown as CFileException for the callers' catch-all handlers.
//
// The file calls are POSIX (open, read, write, lseek, fsync, close) and are kept to this file
// and the atomic file writer beside it, so that the rest of the library never names them. A port
// to another system replaces these two files (on Windows: _wopen or CreateFileW, FlushFileBuffers
// and MoveFileExW with MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH).
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "photogeo/HostTypes.h"

CFile::~CFile() {
    Close();
}

int CFile::Open(const char* pszFileName, unsigned nOpenFlags) {
    Close();
    if (!pszFileName) return 0;
    int flags = O_CLOEXEC;
    if (nOpenFlags & modeReadWrite)
        flags |= O_RDWR;
    else if (nOpenFlags & modeWrite)
        flags |= O_WRONLY;
    else
        flags |= O_RDONLY;
    if (nOpenFlags & modeCreate) flags |= O_CREAT | O_TRUNC;
    int fd;
    do {
        fd = ::open(pszFileName, flags, 0666);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) return 0;
    m_fd = fd;
    return 1;
}

uint64_t CFile::GetLength() const {
    struct stat st;
    if (m_fd < 0 || ::fstat(m_fd, &st) != 0)
        throw CFileException(m_fd < 0 ? EBADF : errno, "GetLength");
    return static_cast<uint64_t>(st.st_size);
}

unsigned CFile::Read(void* pBuf, unsigned nCount) {
    unsigned char* p = static_cast<unsigned char*>(pBuf);
    unsigned done = 0;
    while (done < nCount) {
        ssize_t n = ::read(m_fd, p + done, nCount - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            throw CFileException(errno, "Read");
        }
        if (n == 0) break;
        done += static_cast<unsigned>(n);
    }
    return done;
}

void CFile::Write(const void* pBuf, unsigned nCount) {
    const unsigned char* p = static_cast<const unsigned char*>(pBuf);
    unsigned done = 0;
    while (done < nCount) {
        ssize_t n = ::write(m_fd, p + done, nCount - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            throw CFileException(errno, "Write");
        }
        done += static_cast<unsigned>(n);
    }
}

void CFile::Flush() {
    if (m_fd < 0 || ::fsync(m_fd) != 0) throw CFileException(m_fd < 0 ? EBADF : errno, "Flush");
}

void CFile::Close() {
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
}

int CFile::GetStatus(CFileStatus& rStatus) const {
    struct stat st;
    if (m_fd < 0 || ::fstat(m_fd, &st) != 0) return 0;
    rStatus.m_mtime = CTime(static_cast<int32_t>(st.st_mtime));
    rStatus.m_size = static_cast<int64_t>(st.st_size);
    return 1;
}
