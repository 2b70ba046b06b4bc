// Tests of the entry table: clipped entry writes, deletion marks, AddEntry's value sources
// and deep copies.
#include <gtest/gtest.h>

#include <cstring>

#include "exif/ExifTestUtil.h"

using namespace exiftest;

TEST(Directory, SetDirEntryNeverPassesTheEntrySize) {
    for (int intel : {1, 0}) {
        TestExif e;
        e.m_bIntel = intel;
        const int rational = e.AddDirect(DIR_IFD0, 282, 5, 1, nullptr);
        e.SetDirEntry(1, rational, 4, 4);
        const unsigned char* d = e.m_aEntry[rational].pData;
        EXPECT_EQ(e.BYTEtoLONG(d + 4, 4), 1u);
        const int six = e.AddDirect(DIR_IFD0, 1, 3, 3, nullptr);  // 6 bytes
        e.SetDirEntry(1, six, 4, 4);
        const unsigned char* s = e.m_aEntry[six].pData;
        EXPECT_EQ(s[4], intel ? 0x01 : 0x00);
        EXPECT_EQ(s[5], intel ? 0x00 : 0x01);
        // Nothing to write at or past the end, nor into a deleted or missing entry.
        e.SetDirEntry(0xFFFFFFFF, six, 6, 4);
        e.DeleteTag(DIR_IFD0, 1);
        e.SetDirEntry(1, six, 0, 4);
        e.SetDirEntry(1, 99, 0, 4);
        e.SetDirEntry(1, -1, 0, 4);
    }
}

TEST(Directory, DeleteTagMarksTheLowestIndexAndKeepsTheSize) {
    TestExif e;
    unsigned char v[4] = {1, 2, 3, 4};
    e.AddDirect(DIR_IFD0, 270, 2, 4, v);
    e.AddDirect(DIR_IFD0, 270, 2, 4, v);
    const int before = e.GetTotalSize();
    e.DeleteTag(DIR_IFD0, 270);
    EXPECT_EQ(e.m_aEntry[0].nParent, DIR_DELETED);
    EXPECT_EQ(e.m_aEntry[0].pData, nullptr);
    EXPECT_EQ(e.m_aEntry[1].nParent, DIR_IFD0);
    EXPECT_EQ(e.GetTag(DIR_IFD0, 270), 1);
    e.DeleteTag(DIR_IFD0, 270);
    EXPECT_EQ(e.m_aEntry[1].nParent, DIR_DELETED);
    EXPECT_EQ(e.GetTag(DIR_IFD0, 270), -1);
    e.DeleteTag(DIR_IFD0, 270);
    EXPECT_EQ(e.GetTotalSize(), before);
    EXPECT_EQ(e.m_aEntry.size(), 2u);
}

TEST(Directory, AddEntryTakesSmallValuesFromTheFieldAndLargeOnesFromTheBlock) {
    for (int intel : {1, 0}) {
        TestExif e;
        e.m_bIntel = intel;
        // A block of 32 bytes; the stream stands at offset 20, which is nPos.
        unsigned char block[32];
        for (int i = 0; i < 32; ++i) block[i] = static_cast<unsigned char>(i);
        CInBitStream s(block, 32);
        s.SkipByte(20);
        unsigned char field[4] = {0xA, 0xB, 0xC, 0xD};
        const int two = e.AddEntry(&s, DIR_IFD0, 1, 3, 2, field, 20);
        EXPECT_EQ(e.m_aEntry[two].nSize, 4);
        EXPECT_EQ(0, std::memcmp(e.m_aEntry[two].pData, field, 4));
        // SHORT x 3 at offset 6.
        unsigned char at6[4] = {0, 0, 0, 0};
        e.LONGtoBYTE(6, at6, 4);
        const int three = e.AddEntry(&s, DIR_IFD0, 2, 3, 3, at6, 20);
        ASSERT_GE(three, 0);
        EXPECT_EQ(e.m_aEntry[three].nSize, 6);
        EXPECT_EQ(0, std::memcmp(e.m_aEntry[three].pData, block + 6, 6));
        EXPECT_EQ(s.GetPosition(), block + 20);
        // A value reaching past the buffer is dropped, as is one at a huge offset.
        unsigned char at28[4];
        e.LONGtoBYTE(28, at28, 4);
        EXPECT_EQ(e.AddEntry(&s, DIR_IFD0, 3, 3, 3, at28, 20), -1);
        unsigned char far[4] = {0xFF, 0xFF, 0xFF, 0xF0};
        EXPECT_EQ(e.AddEntry(&s, DIR_IFD0, 3, 7, 0x7FFFFFFF, far, 20), -1);
        // Unknown types have no size.
        const int unknown = e.AddEntry(&s, DIR_IFD0, 4, 13, 1000, far, 20);
        EXPECT_EQ(e.m_aEntry[unknown].nSize, 0);
        EXPECT_EQ(e.m_aEntry.size(), 3u);
    }
}

TEST(Directory, AssignmentCopiesDeeply) {
    CExif a;
    SExifProperty r{};
    ASSERT_TRUE(ReadBlock(a, MakeSampleBlock({}), r));
    CExif b;
    b = a;
    EXPECT_EQ(DumpTable(a), DumpTable(b));
    EXPECT_NE(a.m_aEntry[0].pData, b.m_aEntry[0].pData);
    ASSERT_NE(b.m_pThumbData, nullptr);
    EXPECT_NE(a.m_pThumbData, b.m_pThumbData);
    EXPECT_EQ(0, std::memcmp(a.m_pThumbData, b.m_pThumbData, a.m_nThumbSize));
    EXPECT_EQ(b.m_nExifEntry, a.m_nExifEntry);
    const std::string before = DumpTable(a);
    a.RemoveAll();
    EXPECT_TRUE(a.m_aEntry.empty());
    EXPECT_EQ(DumpTable(b), before);
    CExif c(b);
    EXPECT_EQ(DumpTable(c), before);
}
