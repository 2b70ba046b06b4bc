// The all-or-nothing file writer: targets it must refuse, what a replacement keeps, and every
// system call of a write failing in turn.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <functional>

#include <gtest/gtest.h>

#include "foundation/SystemCalls.h"
#include "photogeo/SafeFile.h"
#include "support/Files.h"

namespace {

using testsupport::Bytes;
using testsupport::ReadFile;
using testsupport::TempDir;
using testsupport::WriteFile;

const Bytes kNew = {'n', 'e', 'w', 0xFF, 0x00};

mode_t TypeOf(const std::string& path) {
    struct stat st;
    return ::lstat(path.c_str(), &st) == 0 ? (st.st_mode & S_IFMT) : 0;
}

TEST(SafeFile, RefusesWhatIsNotARegularFileAndLeavesIt) {
    TempDir dir;
    ASSERT_EQ(::mkfifo(dir.Path("fifo").c_str(), 0600), 0);
    ASSERT_EQ(::mkdir(dir.Path("folder").c_str(), 0700), 0);
    ASSERT_EQ(::symlink("folder", dir.Path("link").c_str()), 0);
    const struct {
        std::string path;
        const char* kind;
    } cases[] = {{dir.Path("fifo"), "a FIFO"},
                 {dir.Path("folder"), "a directory"},
                 {dir.Path("link"), "a directory"},
                 {"/dev/null", "a character device"}};
    for (const auto& c : cases) {
        const mode_t type = TypeOf(c.path);
        const photogeo::Result<void> r = photogeo::WriteFileAtomically(c.path, kNew);
        ASSERT_FALSE(r) << c.path;
        EXPECT_NE(r.error().message.find(c.kind), std::string::npos) << r.error().message;
        EXPECT_EQ(r.error().message.find("refusing to replace " + c.path), 0u);
        EXPECT_EQ(TypeOf(c.path), type) << c.path;
    }
    EXPECT_EQ(dir.List(), (std::vector<std::string>{"fifo", "folder", "link"}));

    const photogeo::Result<void> noFolder =
        photogeo::WriteFileAtomically(dir.Path("none/out"), kNew);
    ASSERT_FALSE(noFolder);
    EXPECT_EQ(noFolder.error().code, ENOENT);
    EXPECT_NE(noFolder.error().message.find(std::strerror(ENOENT)), std::string::npos);

    if (::geteuid() == 0) return;  // root may write read-only files
    WriteFile(dir.Path("ro"), {'o'});
    ASSERT_EQ(::chmod(dir.Path("ro").c_str(), 0444), 0);
    EXPECT_EQ(photogeo::WriteFileAtomically(dir.Path("ro"), kNew).error().code, EACCES);
    EXPECT_EQ(ReadFile(dir.Path("ro")), Bytes{'o'});
}

// A replacement through a symbolic link replaces the file it names, keeps that file's mode, and
// with timesFrom takes the other file's times; a new file gets 0666 less the umask.
TEST(SafeFile, ReplacementKeepsModeLinkAndTakesTimes) {
    TempDir dir;
    const std::string real = dir.Path("real.jpg"), link = dir.Path("link.jpg");
    WriteFile(real, {'o', 'l', 'd'});
    ASSERT_EQ(::chmod(real.c_str(), 0640), 0);
    ASSERT_EQ(::symlink("real.jpg", link.c_str()), 0);
    WriteFile(dir.Path("source"), {});
    const struct timespec past[2] = {{1000000000, 123456789}, {1200000000, 987654321}};
    ASSERT_EQ(::utimensat(AT_FDCWD, dir.Path("source").c_str(), past, 0), 0);

    photogeo::WriteOptions keep;
    keep.timesFrom = dir.Path("source");
    ASSERT_TRUE(photogeo::WriteFileAtomically(link, kNew, keep));
    EXPECT_EQ(TypeOf(link), static_cast<mode_t>(S_IFLNK));
    EXPECT_EQ(ReadFile(real), kNew);
    struct stat st;
    ASSERT_EQ(::stat(real.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(st.st_mtim.tv_sec, past[1].tv_sec);
    EXPECT_EQ(st.st_mtim.tv_nsec, past[1].tv_nsec);

    const mode_t old = ::umask(027);
    const bool created = static_cast<bool>(photogeo::WriteFileAtomically(dir.Path("new"), kNew));
    ::umask(old);
    ASSERT_TRUE(created);
    ASSERT_EQ(::stat(dir.Path("new").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(dir.List(), (std::vector<std::string>{"link.jpg", "new", "real.jpg", "source"}));
}

// Each system call of a write fails in turn (until one write needs no more calls): every
// failure is reported with the system's reason, the target is as it was, no temporary file is
// left, and the write that follows succeeds.
TEST(SafeFile, EveryFailingCallLeavesTheTargetAndNoTemporary) {
    TempDir dir;
    const std::string existing = dir.Path("existing"), fresh = dir.Path("fresh");
    const Bytes old(100000, 'o');
    WriteFile(existing, old);
    const Bytes big(300000, 'b');
    photogeo::WriteOptions keep;
    keep.timesFrom = existing;
    for (const std::string& target : {existing, fresh}) {
        int n = 1;
        for (;; ++n) {
            photogeo::foundation::InjectFailure(n, ENOSPC);
            const photogeo::Result<void> r = photogeo::WriteFileAtomically(target, big, keep);
            if (!photogeo::foundation::InjectedFailureHappened()) {
                ASSERT_TRUE(r) << r.error().message;
                break;
            }
            ASSERT_FALSE(r) << target << " call " << n;
            EXPECT_EQ(r.error().code, ENOSPC);
            EXPECT_NE(r.error().message.find(std::strerror(ENOSPC)), std::string::npos);
            if (target == existing)
                ASSERT_EQ(ReadFile(existing), old) << n;
            else
                ASSERT_FALSE(testsupport::FileExists(fresh)) << n;
            ASSERT_EQ(dir.List(), std::vector<std::string>{"existing"}) << n;
        }
        photogeo::foundation::InjectFailure(0);
        EXPECT_GE(n, 8) << "the write made fewer calls than expected";
        EXPECT_EQ(ReadFile(target), big);
    }
}

}  // namespace
