// The byte reader's bit, marker, stuffing and bound rules.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "photogeo/InBitStream.h"

namespace {

template <class F>
const char* BufferErrorText(F f) {
    try {
        f();
    } catch (const EBufferError& e) {
        return e.message;
    }
    return nullptr;
}

TEST(InBitStream, WordsInBothOrdersAndCopies) {
    unsigned char d[] = {0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08};
    CInBitStream s(d, sizeof d);
    EXPECT_EQ(s.GetWord(), 0x0102);
    EXPECT_EQ(s.GetWordLE(), 0x0403);
    unsigned char out[2];
    s.CopyByteReverse(out, 2);
    EXPECT_EQ(out[0], 0x06);
    EXPECT_EQ(out[1], 0x05);
    s.CopyByteForward(out, 2);
    EXPECT_EQ(out[0], 0x07);
    EXPECT_EQ(s.m_bData, 0);
    EXPECT_STREQ(BufferErrorText([&] { s.GetByte(); }), "GetByte");
}

TEST(InBitStream, EmptyBufferAndEnd) {
    unsigned char d[1] = {0};
    CInBitStream empty(d, 0);
    EXPECT_STREQ(BufferErrorText([&] { empty.GetByte(); }), "GetByte");
    CInBitStream s(d, 0);
    s.CopyByte(nullptr, 0);
    EXPECT_EQ(s.m_bData, 0);
    EXPECT_STREQ(BufferErrorText([&] { s.GetByte(); }), "GetByte");
}

TEST(InBitStream, WordWithOneByteLeftThrowsAndKeepsPosition) {
    unsigned char d[] = {0x11, 0x22, 0x33};
    CInBitStream s(d, sizeof d);
    s.SkipByte(2);
    EXPECT_STREQ(BufferErrorText([&] { s.GetWord(); }), "GetWord");
    EXPECT_STREQ(BufferErrorText([&] { s.GetWordLE(); }), "GetWord");
    EXPECT_EQ(s.GetPosition(), d + 2);
    EXPECT_EQ(s.GetByte(), 0x33);
}

TEST(InBitStream, ReachingTheEndIsSticky) {
    unsigned char d[] = {0xAA, 0xBB};
    CInBitStream s(d, sizeof d);
    s.SkipByte(2);
    s.SetPosition(d);
    EXPECT_STREQ(BufferErrorText([&] { s.GetByte(); }), "GetByte");
    unsigned char out[2];
    s.CopyByte(out, 2);
    EXPECT_EQ(out[1], 0xBB);
}

TEST(InBitStream, SkipAndPushStayInside) {
    unsigned char d[] = {1, 2, 3, 4};
    CInBitStream s(d, sizeof d);
    s.SkipByte(3);
    s.SkipByte(-2);
    EXPECT_EQ(s.GetByte(), 2);
    EXPECT_STREQ(BufferErrorText([&] { s.SkipByte(-3); }), "SkipByte");
    EXPECT_STREQ(BufferErrorText([&] { s.SkipByte(3); }), "SkipByte");
    EXPECT_STREQ(BufferErrorText([&] { s.CopyByte(d, 3); }), "CopyByte");
    EXPECT_STREQ(BufferErrorText([&] { s.PushSkip(-5); }), "PushSkip");
    s.PushSkip(1);
    EXPECT_EQ(*s.GetPosition(), 4);
    s.PopSkip();
    EXPECT_EQ(s.GetByte(), 3);
}

TEST(InBitStream, BitsAlignAndSkipInteract) {
    unsigned char d[] = {0xE0, 0x5A, 0xF0};
    CInBitStream s(d, sizeof d);
    EXPECT_EQ(s.GetBits(3), 7);
    EXPECT_EQ(s.GetBytePosition(), d + 1);
    EXPECT_EQ(s.GetRestSize(), 0);
    CInBitStream t = s;
    EXPECT_EQ(t.GetByte(), 0x5A);

    s.SkipByte(1);
    EXPECT_EQ(s.m_nBit, 4);
    EXPECT_EQ(s.GetBits(5), 0x1A);  // bits 4..0 of 0x5A
    EXPECT_EQ(s.GetBits(4), 0xF);
}

TEST(InBitStream, StuffedBytesAndMarkers) {
    unsigned char a[] = {0xFF, 0x00, 0x80};
    CInBitStream s(a, sizeof a);
    s.CheckStuffByte();
    EXPECT_EQ(s.GetBits(9), 0x1FF);

    unsigned char b[] = {0x12, 0xFF, 0xD9};
    CInBitStream m(b, sizeof b);
    EXPECT_EQ(m.GetBits(12), -0xD9);
    EXPECT_EQ(m.GetPosition(), b + 1);
    EXPECT_EQ(m.m_nBit, 7);
    EXPECT_EQ(m.GetWord(), 0xFFD9);
}

TEST(InBitStream, BitsNeverReadPastTheEnd) {
    unsigned char a[] = {0x12, 0x34};
    CInBitStream s(a, sizeof a);
    EXPECT_STREQ(BufferErrorText([&] { s.GetBits(17); }), "GetBits");
    unsigned char b[] = {0x00, 0xFF};  // a lone 0xFF at the end: no marker code to read
    CInBitStream t(b, sizeof b);
    EXPECT_STREQ(BufferErrorText([&] { t.GetBits(9); }), "GetBits");
    EXPECT_EQ(t.GetBits(0), 0);
}

TEST(InBitStream, CheckOffsetBounds) {
    unsigned char d[] = {1, 2};
    CInBitStream s(d, sizeof d);
    EXPECT_EQ(s.CheckOffset(-1), 0);
    EXPECT_EQ(s.CheckOffset(1), 1);
    EXPECT_EQ(s.CheckOffset(2), 0);
    s.SkipByte(2);
    EXPECT_EQ(s.CheckOffset(0), 0);
    EXPECT_EQ(s.CheckOffset(-2), 1);
}

}  // namespace
