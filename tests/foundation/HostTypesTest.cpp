// The host string, time and file classes as the library relies on them. TZ is JST-9 (no tzdata
// needed) for every test (set by CTest), so local-time results are fixed.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "photogeo/HostTypes.h"

namespace {

TEST(CString, FormatFindUpperAndNul) {
    CString s;
    s.Format("%d/%s %.3f", 12, "ab", 1.5);
    EXPECT_STREQ(s, "12/ab 1.500");
    s.Format("%s", std::string(1000, 'x').c_str());
    EXPECT_EQ(s.GetLength(), 1000);

    CString t("abc\0def");
    EXPECT_EQ(t.GetLength(), 3);
    t += "xyzab";
    EXPECT_EQ(t.Find("ab"), 0);
    EXPECT_EQ(t.Find("ab", 1), 6);
    EXPECT_EQ(t.Find("none"), -1);
    CString sjis("a\x83\x41z");
    sjis.MakeUpper();
    EXPECT_STREQ(sjis, "A\x83\x41Z");
    t.Empty();
    EXPECT_TRUE(t.IsEmpty());
}

TEST(CTime, LocalRoundTripAndFormat) {
    CTime t(2007, 3, 4, 5, 6, 7, -1);
    EXPECT_EQ(t.GetTime(), 1172952367);  // 2007-03-03 20:06:07 UTC
    EXPECT_STREQ(t.Format("%Y:%m:%d %H:%M:%S"), "2007:03:04 05:06:07");
    EXPECT_STREQ(t.Format("%Y/%m/%d %H:%M:%S"), "2007/03/04 05:06:07");
    EXPECT_EQ(t.GetHour(), 5);
    EXPECT_EQ(CTime(1970, 1, 1, 9, 0, 0).GetTime(), 0);
    EXPECT_EQ(CTime(2100, 1, 1, 0, 0, 0).GetTime(), -1);  // beyond 32 bits
    EXPECT_STREQ(CTime(-1).Format("%Y"), "1970");
}

TEST(CFile, WriteReadStatusAndFailures) {
    char path[] = "/tmp/photogeo-cfile-XXXXXX";
    int fd = mkstemp(path);
    ASSERT_GE(fd, 0);
    close(fd);

    CFile out;
    ASSERT_EQ(out.Open(path, CFile::modeCreate | CFile::modeWrite | CFile::shareExclusive |
                                 CFile::typeBinary),
              1);
    out.Write("hello", 5);
    out.Flush();
    out.Close();

    CFile in;
    ASSERT_EQ(in.Open(path, CFile::modeRead | CFile::typeBinary), 1);
    EXPECT_EQ(in.GetLength(), 5u);
    char buf[8] = {};
    EXPECT_EQ(in.Read(buf, sizeof buf), 5u);
    EXPECT_STREQ(buf, "hello");
    CFileStatus st;
    ASSERT_EQ(in.GetStatus(st), 1);
    EXPECT_GT(st.m_mtime.GetTime(), 0);
    EXPECT_THROW(in.Write("x", 1), CFileException);
    in.Close();
    std::remove(path);

    CFile missing;
    EXPECT_EQ(missing.Open("/nonexistent-dir/file.jpg", CFile::modeRead), 0);
    EXPECT_EQ(missing.Open("/nonexistent-dir/file.jpg", CFile::modeCreate | CFile::modeWrite), 0);
    CFileStatus none;
    EXPECT_EQ(missing.GetStatus(none), 0);
}

}  // namespace
