// Spooling of standard input and pipes for the path-based readers (see input_file.h).
#include "input_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <vector>

#include "cli.h"

namespace cli {

namespace {

const char kStdinName[] = "-";

// write() until everything is written or it fails.
bool WriteAll(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        ssize_t n = ::write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

}  // namespace

InputFile::~InputFile() {
    if (!m_spool.empty()) ::unlink(m_spool.c_str());
}

bool InputFile::Open(const std::string& arg, std::string& cause) {
    m_name = arg;
    m_path = arg;
    int in = STDIN_FILENO;
    if (arg != kStdinName) {
        struct stat st;
        if (::stat(arg.c_str(), &st) != 0) {
            cause = "cannot open: " + ErrnoText(errno);
            return false;
        }
        if (S_ISREG(st.st_mode)) return true;
        if (S_ISDIR(st.st_mode)) {
            cause = "cannot read: " + ErrnoText(EISDIR);
            return false;
        }
        in = ::open(arg.c_str(), O_RDONLY);
        if (in < 0) {
            cause = "cannot open: " + ErrnoText(errno);
            return false;
        }
    }
    const char* dir = std::getenv("TMPDIR");
    std::string pattern = std::string(dir && *dir ? dir : "/tmp") + "/photogeo-input-XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    int out = ::mkstemp(name.data());
    if (out < 0) {
        cause = "cannot make a temporary copy in " + pattern.substr(0, pattern.rfind('/')) +
                ": " + ErrnoText(errno);
        if (in != STDIN_FILENO) ::close(in);
        return false;
    }
    m_spool = name.data();
    m_path = m_spool;
    char buf[65536];
    bool ok = true;
    for (;;) {
        ssize_t n = ::read(in, buf, sizeof buf);
        if (n == 0) break;
        if (n < 0) {
            if (errno == EINTR) continue;
            cause = "cannot read: " + ErrnoText(errno);
            ok = false;
            break;
        }
        if (!WriteAll(out, buf, static_cast<std::size_t>(n))) {
            cause = "cannot make a temporary copy: " + ErrnoText(errno);
            ok = false;
            break;
        }
    }
    if (::close(out) != 0 && ok) {
        cause = "cannot make a temporary copy: " + ErrnoText(errno);
        ok = false;
    }
    if (in != STDIN_FILENO) ::close(in);
    return ok;
}

}  // namespace cli
