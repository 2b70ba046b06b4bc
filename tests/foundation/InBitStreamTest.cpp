// The byte reader's bit, marker, stuffing and bound rules, and the host string, time and file
// classes as the library relies on them. TZ is JST-9 (no tzdata needed) for every test (set by
// CTest), so local-time results are fixed.
#include <gtest/gtest.h>
#include <unistd.h>
#include <utime.h>

#include <cstdio>
#include <string>

#include "photogeo/HostTypes.h"
#include "photogeo/InBitStream.h"

namespace {

// The text of the EBufferError that f throws, or "none".
template <class F>
std::string Error(F f) {
    try {
        f();
    } catch (const EBufferError& e) {
        return e.message;
    }
    return "none";
}

TEST(InBitStream, WordsCopiesAndTheEnd) {
    unsigned char d[] = {0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0x09};
    CInBitStream s(d, sizeof d);
    EXPECT_EQ(s.GetWord(), 0x0102);
    EXPECT_EQ(s.GetWordLE(), 0x0403);
    unsigned char out[2];
    s.CopyByteReverse(out, 2);
    EXPECT_EQ(out[0] << 8 | out[1], 0x0605);
    s.CopyByteForward(out, 2);
    EXPECT_EQ(out[0] << 8 | out[1], 0x0708);
    // A word needs both bytes; a failure leaves the position alone.
    EXPECT_EQ(Error([&] { s.GetWord(); }), "GetWord");
    EXPECT_EQ(Error([&] { s.GetWordLE(); }), "GetWord");
    EXPECT_EQ(s.GetByte(), 0x09);
    EXPECT_EQ(s.m_bData, 0);
    EXPECT_EQ(Error([&] { s.GetByte(); }), "GetByte");
    // Reaching the end is sticky for the byte reads, not for copies.
    s.SetPosition(d + 7);
    EXPECT_EQ(Error([&] { s.GetByte(); }), "GetByte");
    s.CopyByte(out, 2);
    EXPECT_EQ(out[1], 0x09);
    CInBitStream empty(d, 0);
    empty.CopyByte(nullptr, 0);
    EXPECT_EQ(Error([&] { empty.GetByte(); }), "GetByte");
}

TEST(InBitStream, SkipPushAndOffsetsStayInside) {
    unsigned char d[] = {1, 2, 3, 4};
    CInBitStream s(d, sizeof d);
    s.SkipByte(3);
    s.SkipByte(-2);
    EXPECT_EQ(s.GetByte(), 2);
    EXPECT_EQ(Error([&] { s.SkipByte(-3); }), "SkipByte");
    EXPECT_EQ(Error([&] { s.SkipByte(3); }), "SkipByte");
    EXPECT_EQ(Error([&] { s.CopyByte(d, 3); }), "CopyByte");
    EXPECT_EQ(Error([&] { s.PushSkip(-5); }), "PushSkip");
    s.PushSkip(1);
    EXPECT_EQ(*s.GetPosition(), 4);
    s.PopSkip();
    EXPECT_EQ(s.GetByte(), 3);
    s.SkipByte(1);  // the end itself may be reached
    EXPECT_EQ(s.GetPosition(), d + 4);
    // CheckOffset: the target must hold a byte.
    EXPECT_EQ(s.CheckOffset(-4) * 100 + s.CheckOffset(-1) * 10 + s.CheckOffset(0), 110);
    s.SkipByte(-4);
    EXPECT_EQ(s.CheckOffset(-1) * 100 + s.CheckOffset(3) * 10 + s.CheckOffset(4), 10);
}

TEST(InBitStream, BitsStuffingAndMarkers) {
    unsigned char d[] = {0xE0, 0x5A, 0xF0};
    CInBitStream s(d, sizeof d);
    EXPECT_EQ(s.GetBits(3), 7);  // most significant bit first
    EXPECT_EQ(s.GetBytePosition(), d + 1);
    EXPECT_EQ(s.GetRestSize(), 0);
    CInBitStream t = s;
    EXPECT_EQ(t.GetByte(), 0x5A);  // a byte read drops the partly read byte
    s.SkipByte(1);
    EXPECT_EQ(s.m_nBit, 4);
    EXPECT_EQ(s.GetBits(5), 0x1A);  // bits 4..0 of 0x5A
    EXPECT_EQ(s.GetBits(4), 0xF);

    unsigned char stuffed[] = {0xFF, 0x00, 0x80};
    CInBitStream a(stuffed, sizeof stuffed);
    a.CheckStuffByte();
    EXPECT_EQ(a.GetBits(9), 0x1FF);
    unsigned char marker[] = {0x12, 0xFF, 0xD9};
    CInBitStream m(marker, sizeof marker);
    EXPECT_EQ(m.GetBits(12), -0xD9);
    EXPECT_EQ(m.GetPosition(), marker + 1);
    EXPECT_EQ(m.m_nBit, 7);
    EXPECT_EQ(m.GetWord(), 0xFFD9);
    // Never past the end: 17 bits of two bytes, or a lone 0xFF with no marker code after it.
    CInBitStream shortBits(d, 2);
    EXPECT_EQ(Error([&] { shortBits.GetBits(17); }), "GetBits");
    unsigned char lone[] = {0x00, 0xFF};
    CInBitStream l(lone, sizeof lone);
    EXPECT_EQ(Error([&] { l.GetBits(9); }), "GetBits");
    EXPECT_EQ(l.GetBits(0), 0);
}

TEST(HostTypes, StringTimeAndFile) {
    CString s;
    s.Format("%d/%s %.3f", 12, "ab", 1.5);
    EXPECT_STREQ(s, "12/ab 1.500");
    s.Format("%s", std::string(1000, 'x').c_str());
    EXPECT_EQ(s.GetLength(), 1000);
    CString t("abc\0def");
    t += "xyzab";
    EXPECT_STREQ(t, "abcxyzab");
    EXPECT_EQ(t.Find("ab", 1), 6);
    EXPECT_EQ(t.Find("none"), -1);
    CString sjis("a\x83\x41z");  // the second byte of a Shift-JIS pair stays as it is
    sjis.MakeUpper();
    EXPECT_STREQ(sjis, "A\x83\x41Z");

    CTime when(2007, 3, 4, 5, 6, 7, -1);
    EXPECT_EQ(when.GetTime(), 1172952367);  // 2007-03-03 20:06:07 UTC
    EXPECT_STREQ(when.Format("%Y/%m/%d %H:%M:%S"), "2007/03/04 05:06:07");
    EXPECT_EQ(CTime(1970, 1, 1, 9, 0, 0).GetTime(), 0);
    EXPECT_EQ(CTime(2100, 1, 1, 0, 0, 0).GetTime(), -1);  // beyond 32 bits
    EXPECT_STREQ(CTime(-1).Format("%Y"), "1970");

    char path[] = "/tmp/photogeo-cfile-XXXXXX";
    ::close(::mkstemp(path));
    CFile out;
    ASSERT_EQ(out.Open(path, CFile::modeCreate | CFile::modeWrite | CFile::typeBinary), 1);
    out.Write("hello", 5);
    out.Close();
    CFile in;
    ASSERT_EQ(in.Open(path, CFile::modeRead | CFile::typeBinary), 1);
    char buf[8] = {};
    EXPECT_EQ(in.GetLength() * 10 + in.Read(buf, sizeof buf), 55u);
    EXPECT_STREQ(buf, "hello");
    const utimbuf times{1172952367, 1172952367};
    ASSERT_EQ(::utime(path, &times), 0);
    CFileStatus st;
    ASSERT_EQ(in.GetStatus(st), 1);
    EXPECT_EQ(st.m_mtime, when);
    EXPECT_EQ(st.m_size, 5);
    EXPECT_THROW(in.Write("x", 1), CFileException);
    in.Close();
    std::remove(path);
    EXPECT_EQ(in.Open("/nonexistent-dir/file.jpg", CFile::modeRead), 0);
    EXPECT_EQ(in.Open("/nonexistent-dir/file.jpg", CFile::modeCreate | CFile::modeWrite), 0);
    EXPECT_EQ(in.GetStatus(st), 0);
}

}  // namespace
