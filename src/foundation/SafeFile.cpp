// The all-or-nothing file writer (photogeo/SafeFile.h): target check, temporary file beside
// the target, fsync, permissions and times, rename, folder sync. Coder, the lossless editor and
// every writing command of the tool replace their files through it.
//
// This is the library's only POSIX file code besides CFile. Another system needs, for the
// same guarantees: a unique temporary file in the target's folder created exclusively (Windows:
// CreateFileW with CREATE_NEW), a flush to the device (FlushFileBuffers), an atomic replace
// (ReplaceFileW, or MoveFileExW with MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH, which
// also make a folder sync unnecessary) and a check of the file type (GetFileType /
// FILE_ATTRIBUTE_DIRECTORY, and no reparse point unless it is a link to follow).
//
// Every system call whose failure must abort the write goes through a wrapper that a test can
// make fail (SystemCalls.h). The folder sync after the rename does not: the target has been
// replaced by then, and a folder that cannot be synced loses nothing already written.
#include "photogeo/SafeFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "foundation/SystemCalls.h"

namespace photogeo::foundation {
namespace {
std::atomic<int> g_failAt{0};
std::atomic<int> g_calls{0};
std::atomic<int> g_error{EIO};
std::atomic<bool> g_failed{false};
}  // namespace

void InjectFailure(int n, int error) {
    g_failAt = n;
    g_error = error;
    g_calls = 0;
    g_failed = false;
}

int CallsSinceInjection() {
    return g_calls;
}

bool InjectedFailureHappened() {
    return g_failed;
}

bool FailThisCall() {
    const int call = ++g_calls;
    if (g_failAt == 0 || call != g_failAt) return false;
    g_failed = true;
    errno = g_error;
    return true;
}

}  // namespace photogeo::foundation

namespace photogeo {
namespace {

using foundation::FailThisCall;

// The writer's error texts: an operation, or a refusal, followed by the path.
enum class Text { NotRegular, NotWritable, Stat, Create, Write, Sync, Chmod, Times, Close, Rename, Open, Read };

const char* const kTexts[] = {
    "refusing to replace",  // NotRegular (followed by the path and the kind of file)
    "refusing to replace",  // NotWritable
    "stat",   "create temporary file in", "write", "fsync", "chmod", "set times on",
    "close",  "rename",  "open",         "read",
};
static_assert(sizeof kTexts / sizeof kTexts[0] == static_cast<int>(Text::Read) + 1,
              "one text per error");

// "OPERATION PATH: strerror(error)"; the error is also the result's code.
Error SystemError(Text text, const std::string& path, int error) {
    return Error{std::string(kTexts[static_cast<int>(text)]) + " " + path + ": " +
                     std::strerror(error),
                 error};
}

const char* KindOfFile(mode_t mode) {
    if (S_ISDIR(mode)) return "a directory";
    if (S_ISFIFO(mode)) return "a FIFO";
    if (S_ISCHR(mode)) return "a character device";
    if (S_ISBLK(mode)) return "a block device";
    if (S_ISSOCK(mode)) return "a socket";
    return "not a plain file";
}

// The wrapped system calls; a failure leaves errno set.
int Stat(const std::string& path, struct stat* st) {
    return FailThisCall() ? -1 : ::stat(path.c_str(), st);
}
int Access(const std::string& path) {
    return FailThisCall() ? -1 : ::access(path.c_str(), W_OK);
}
int OpenExclusive(const std::string& path, mode_t mode) {
    if (FailThisCall()) return -1;
    int fd;
    do {
        fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
    } while (fd < 0 && errno == EINTR);
    return fd;
}
ssize_t WriteSome(int fd, const void* data, size_t size) {
    return FailThisCall() ? -1 : ::write(fd, data, size);
}
int Fsync(int fd) {
    return FailThisCall() ? -1 : ::fsync(fd);
}
int Fchmod(int fd, mode_t mode) {
    return FailThisCall() ? -1 : ::fchmod(fd, mode);
}
int Futimens(int fd, const struct timespec times[2]) {
    return FailThisCall() ? -1 : ::futimens(fd, times);
}
// The descriptor is released either way, as close itself does.
int Close(int fd) {
    if (FailThisCall()) {
        const int error = errno;
        ::close(fd);
        errno = error;
        return -1;
    }
    return ::close(fd);
}
int Rename(const std::string& from, const std::string& to) {
    return FailThisCall() ? -1 : ::rename(from.c_str(), to.c_str());
}

// The file a write replaces: symbolic links resolved, so the file they name is replaced and
// the links stay. A path that does not resolve (no such file yet) is taken as given.
std::string ResolveTarget(const std::string& path) {
    char* resolved = ::realpath(path.c_str(), nullptr);
    if (!resolved) return path;
    std::string s(resolved);
    std::free(resolved);
    return s;
}

std::string FolderOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

// Six characters for a temporary name, different on each call within a process and between
// processes started at the same moment.
std::string UniqueSuffix() {
    static std::atomic<unsigned long long> counter{0};
    static const char kAlphabet[] =
        "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    unsigned long long x =
        static_cast<unsigned long long>(
            std::chrono::steady_clock::now().time_since_epoch().count()) ^
        (static_cast<unsigned long long>(::getpid()) << 32) ^ (++counter * 0x9E3779B97F4A7C15ULL);
    std::string s(6, 'a');
    for (char& c : s) {
        x ^= x >> 29;
        x *= 0xBF58476D1CE4E5B9ULL;
        c = kAlphabet[x % (sizeof kAlphabet - 1)];
    }
    return s;
}

constexpr int kNameAttempts = 100;
constexpr mode_t kPrivateMode = 0600;  // while the target's own mode is not yet applied
constexpr mode_t kNewFileMode = 0666;  // less the umask, as creating the file would give

}  // namespace

namespace {

// CheckOutputTarget on path (the errors name `shown`, the path as the caller gave it), handing
// on what it found: *st is filled when the target exists.
Result<void> CheckTarget(const std::string& path, const std::string& shown, struct stat* st,
                         bool* exists) {
    *exists = false;
    if (Stat(path, st) != 0) {
        if (errno == ENOENT) return {};
        return SystemError(Text::Stat, shown, errno);
    }
    *exists = true;
    if (!S_ISREG(st->st_mode))
        return Error{std::string(kTexts[static_cast<int>(Text::NotRegular)]) + " " + shown +
                         ": " + KindOfFile(st->st_mode) + ", not a regular file",
                     0};
    // The rename would replace a read-only file through its folder's permissions; it is
    // refused as opening it for writing would be.
    if (Access(path) != 0) return SystemError(Text::NotWritable, shown, errno);
    return {};
}

}  // namespace

Result<void> CheckOutputTarget(const std::string& path) {
    struct stat st;
    bool exists;
    return CheckTarget(path, path, &st, &exists);
}

Result<FileReplacement> FileReplacement::Begin(const std::string& path,
                                               const WriteOptions& options) {
    FileReplacement r;
    r.m_target = ResolveTarget(path);
    r.m_syncFolder = options.syncFolder;
    struct stat st;
    if (Result<void> check = CheckTarget(r.m_target, path, &st, &r.m_targetExisted); !check)
        return check.error();
    if (r.m_targetExisted) {
        r.m_mode = st.st_mode & 07777;
        r.m_uid = st.st_uid;
        r.m_gid = st.st_gid;
    }
    if (!options.timesFrom.empty()) {
        struct stat source;
        if (Stat(options.timesFrom, &source) != 0)
            return SystemError(Text::Stat, options.timesFrom, errno);
        r.m_setTimes = true;
        r.m_times[0] = source.st_atim.tv_sec;
        r.m_times[1] = source.st_atim.tv_nsec;
        r.m_times[2] = source.st_mtim.tv_sec;
        r.m_times[3] = source.st_mtim.tv_nsec;
    }

    const std::string stem = FolderOf(r.m_target) + "/.photogeo-";
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        r.m_temporary = stem + UniqueSuffix();
        r.m_fd = OpenExclusive(r.m_temporary, r.m_targetExisted ? kPrivateMode : kNewFileMode);
        if (r.m_fd >= 0) return Result<FileReplacement>(std::move(r));
        if (errno != EEXIST) break;
    }
    const int error = errno;
    const std::string folder = FolderOf(r.m_target);
    r.m_temporary.clear();
    return SystemError(Text::Create, folder, error);
}

FileReplacement::FileReplacement(FileReplacement&& other) noexcept {
    *this = std::move(other);
}

FileReplacement& FileReplacement::operator=(FileReplacement&& other) noexcept {
    if (this != &other) {
        Abandon();
        m_fd = other.m_fd;
        m_target = std::move(other.m_target);
        m_temporary = std::move(other.m_temporary);
        m_targetExisted = other.m_targetExisted;
        m_mode = other.m_mode;
        m_uid = other.m_uid;
        m_gid = other.m_gid;
        m_setTimes = other.m_setTimes;
        m_syncFolder = other.m_syncFolder;
        std::memcpy(m_times, other.m_times, sizeof m_times);
        other.m_fd = -1;
        other.m_temporary.clear();
    }
    return *this;
}

FileReplacement::~FileReplacement() {
    Abandon();
}

void FileReplacement::Abandon() {
    if (m_fd >= 0) ::close(m_fd);
    m_fd = -1;
    if (!m_temporary.empty()) ::unlink(m_temporary.c_str());
    m_temporary.clear();
}

Result<void> FileReplacement::Write(const void* data, std::size_t size) {
    const unsigned char* p = static_cast<const unsigned char*>(data);
    while (size > 0) {
        if (m_fd < 0) return SystemError(Text::Write, m_target, EBADF);
        // One write moves at most what a signed size can report.
        const ssize_t n = WriteSome(m_fd, p, size < SSIZE_MAX ? size : SSIZE_MAX);
        if (n < 0) {
            if (errno == EINTR) continue;
            const Error e = SystemError(Text::Write, m_temporary, errno);
            Abandon();
            return e;
        }
        p += n;
        size -= static_cast<size_t>(n);
    }
    return {};
}

Result<void> FileReplacement::Commit() {
    if (m_fd < 0) return SystemError(Text::Write, m_target, EBADF);
    auto fail = [this](Text text, const std::string& path) {
        const Error e = SystemError(text, path, errno);
        Abandon();
        return e;
    };
    if (m_targetExisted) {
        // Owner and group first (a change of owner clears set-user-ID bits, which the mode then
        // restores); only a privileged process may give the file away, so failing is normal.
        if (::fchown(m_fd, static_cast<uid_t>(m_uid), static_cast<gid_t>(m_gid)) != 0)
            (void)!::fchown(m_fd, static_cast<uid_t>(-1), static_cast<gid_t>(m_gid));
        if (Fchmod(m_fd, static_cast<mode_t>(m_mode)) != 0) return fail(Text::Chmod, m_temporary);
    }
    if (m_setTimes) {
        struct timespec times[2];
        times[0].tv_sec = static_cast<time_t>(m_times[0]);
        times[0].tv_nsec = static_cast<long>(m_times[1]);
        times[1].tv_sec = static_cast<time_t>(m_times[2]);
        times[1].tv_nsec = static_cast<long>(m_times[3]);
        if (Futimens(m_fd, times) != 0) return fail(Text::Times, m_temporary);
    }
    if (Fsync(m_fd) != 0) return fail(Text::Sync, m_temporary);
    const int fd = m_fd;
    m_fd = -1;
    if (Close(fd) != 0) return fail(Text::Close, m_temporary);
    if (Rename(m_temporary, m_target) != 0) return fail(Text::Rename, m_target);
    m_temporary.clear();

    // The file is in place: a folder that cannot be synced does not undo that.
    if (m_syncFolder) (void)SyncFolder(FolderOf(m_target));
    return {};
}

Result<void> SyncFolder(const std::string& path) {
    struct stat st;
    const std::string folder =
        ::stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode) ? FolderOf(ResolveTarget(path)) : path;
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return SystemError(Text::Open, folder, errno);
    const int synced = ::fsync(fd);
    const int error = errno;
    ::close(fd);
    if (synced != 0) return SystemError(Text::Sync, folder, error);
    return {};
}

Result<void> WriteFileAtomically(const std::string& path, const void* data, std::size_t size,
                                 const WriteOptions& options) {
    Result<FileReplacement> r = FileReplacement::Begin(path, options);
    if (!r) return r.error();
    if (Result<void> w = r.value().Write(data, size); !w) return w;
    return r.value().Commit();
}

namespace {

// Reads fd to its end into bytes; the errno of a failed read, else 0. May throw bad_alloc.
int ReadToEnd(int fd, std::vector<unsigned char>& bytes) {
    struct stat st;
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0)
        bytes.reserve(static_cast<size_t>(st.st_size) + 1);
    constexpr size_t kChunk = 1 << 16;
    for (;;) {
        const size_t have = bytes.size();
        bytes.resize(have + kChunk);
        const ssize_t n = ::read(fd, bytes.data() + have, kChunk);
        bytes.resize(have + static_cast<size_t>(n > 0 ? n : 0));
        if (n == 0) return 0;
        if (n < 0 && errno != EINTR) return errno;
    }
}

}  // namespace

Result<std::vector<unsigned char>> ReadWholeFile(const std::string& path) {
    int fd;
    do {
        fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) return SystemError(Text::Open, path, errno);
    std::vector<unsigned char> bytes;
    int error;
    try {
        error = ReadToEnd(fd, bytes);
    } catch (const std::bad_alloc&) {
        error = ENOMEM;
    }
    ::close(fd);
    if (error) return SystemError(Text::Read, path, error);
    return bytes;
}

}  // namespace photogeo
