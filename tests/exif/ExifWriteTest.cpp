// The write side: WriteExif (layout, read -> write -> read identity in both byte orders, Exiv2
// reading the same values), RewriteData (the directory built from nothing, the GPS encodings and
// their rounding, copyright, comment and date layouts); Exiv2 reads what was written.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "support/ExifTestUtil.h"
#include "support/Exiv2Oracle.h"

using namespace exiftest;

namespace {

const CTime kStamp(2010, 1, 2, 3, 4, 5);
const char kStampText[] = "2010:01:02 03:04:05";

// Writes the table into a buffer of exactly GetTotalSize bytes (so that the sanitizers see
// any write past it) and returns the block.
Bytes Write(CExif& exif) {
    Bytes out(exif.GetTotalSize());
    const int n = exif.WriteExif(out.data());
    EXPECT_GT(n, 0);
    EXPECT_LE(n, static_cast<int>(out.size()));
    out.resize(n);
    return out;
}

// Exiv2's view without the keys whose values are offsets, which the writer relocates.
std::map<std::string, std::string> Values(const Bytes& tiff) {
    std::map<std::string, std::string> m = Exiv2Read(tiff);
    for (const char* k : {"Exif.Image.ExifTag", "Exif.Image.GPSTag",
                          "Exif.Photo.InteroperabilityTag", "Exif.Thumbnail.JPEGInterchangeFormat"})
        m.erase(k);
    return m;
}

std::vector<int> LiveTags(const CExif& e, int parent) {
    std::vector<int> tags;
    for (const SExifEntry& x : e.m_aEntry)
        if (x.nParent == parent) tags.push_back(x.nTag);
    return tags;
}

// An entry's value bytes as text, its 32-bit numbers, "<none>" / nothing when absent.
std::string Text(TestExif& e, int parent, int tag) {
    const int i = e.GetTag(parent, tag);
    if (i < 0) return "<none>";
    return std::string(reinterpret_cast<const char*>(e.m_aEntry[i].pData), e.m_aEntry[i].nSize);
}
std::vector<uint32_t> Longs(TestExif& e, int parent, int tag) {
    std::vector<uint32_t> v;
    const int i = e.GetTag(parent, tag);
    for (int k = 0; i >= 0 && k + 4 <= e.m_aEntry[i].nSize; k += 4)
        v.push_back(e.BYTEtoLONG(e.m_aEntry[i].pData + k, 4));
    return v;
}

class ByteOrder : public ::testing::TestWithParam<bool> {};

}  // namespace

TEST_P(ByteOrder, ReadWriteReadKeepsRecordTableThumbnailAndExiv2Values) {
    const Bytes original = SampleBlock(GetParam());
    CExif first;
    SExifProperty r1{};
    ASSERT_TRUE(ReadBlock(first, original, r1));
    const Bytes written = Write(first);
    EXPECT_EQ(written[0], GetParam() ? 'I' : 'M');
    TestExif second;
    SExifProperty r2{};
    ASSERT_TRUE(ReadBlock(second, written, r2));
    EXPECT_EQ(DumpRecord(r1), DumpRecord(r2));
    EXPECT_EQ(DumpTable(first), DumpTable(second));
    // A JPEG thumbnail ends the block, and JPEGInterchangeFormat points at it.
    ASSERT_EQ(second.m_nThumbSize, first.m_nThumbSize);
    EXPECT_TRUE(std::equal(written.end() - first.m_nThumbSize, written.end(), first.m_pThumbData));
    const int jif = second.GetTag(DIR_IFD1, 513);
    ASSERT_GE(jif, 0);
    EXPECT_EQ(second.BYTEtoLONG(second.m_aEntry[jif].pData, 4),
              written.size() - static_cast<size_t>(first.m_nThumbSize));
    // Writing what was written reproduces it byte for byte.
    EXPECT_EQ(Write(second), written);

    // Exiv2 reads the same values from both.
    const auto before = Values(original);
    EXPECT_EQ(Values(written), before);
    EXPECT_GT(before.size(), 75u);
}

TEST(Writer, LayoutGpsBeforeExifAndValuesBySize) {
    TestExif e;
    e.m_bIntel = 0;
    unsigned char four[4] = {'a', 'b', 'c', 0};
    unsigned char five[5] = {'a', 'b', 'c', 'd', 0};
    const int x = e.AddDirect(DIR_IFD0, 34665, 4, 1, nullptr);
    e.AddDirect(DIR_IFD0, 270, 2, 4, four);
    const int g = e.AddDirect(DIR_IFD0, 34853, 4, 1, nullptr);
    e.AddDirect(x, 36864, 7, 4, four);
    e.AddDirect(g, 18, 2, 5, five);
    const Bytes b = Write(e);
    // IFD0: 3 entries at 8, every value in its field, the next field at 8 + 2 + 36.
    EXPECT_EQ(Get(b, 8, 2), 3u);
    EXPECT_EQ(0, std::memcmp(&b[8 + 2 + 12 + 8], four, 4));
    const uint32_t exifAt = Get(b, 8 + 2 + 8, 4), gpsAt = Get(b, 8 + 2 + 24 + 8, 4);
    EXPECT_EQ(gpsAt, 8u + 2 + 36 + 4);
    // The GPS directory: one entry whose 5-byte value follows its next field; then Exif.
    EXPECT_EQ(Get(b, gpsAt + 2 + 8, 4), gpsAt + 2 + 12 + 4);
    EXPECT_EQ(exifAt, gpsAt + 2 + 12 + 4 + 5);
    // The empty IFD1 ends the block and is linked from IFD0.
    EXPECT_EQ(Get(b, 8 + 2 + 36, 4), b.size() - 6);
    EXPECT_EQ(Get(b, b.size() - 6, 2), 0u);
}

TEST(Writer, UncompressedThumbnailBecomesOneStrip) {
    for (bool intel : {true, false}) {
        TiffBuilder b(intel);
        b.Short(b.Ifd0(), 274, {1});
        const int ifd1 = b.Ifd1();
        b.Short(ifd1, 256, {2});
        b.Short(ifd1, 257, {2});
        b.Short(ifd1, 258, {8, 8, 8});
        b.Short(ifd1, 259, {1});
        b.BlobOffsets(ifd1, 273, {b.Blob({1, 2, 3, 4, 5, 6}), b.Blob({7, 8, 9, 10, 11, 12})});
        b.Short(ifd1, 278, {1});
        b.Long(ifd1, 279, {6, 6});
        TestExif exif;
        SExifProperty r{};
        ASSERT_TRUE(ReadBlock(exif, b.Build(), r));
        const Bytes written = Write(exif);
        EXPECT_EQ(exif.m_aEntry[exif.GetTag(DIR_IFD1, 273)].nCount, 1);
        EXPECT_EQ(Longs(exif, DIR_IFD1, 279), std::vector<uint32_t>{12});
        EXPECT_EQ(exif.BYTEtoLONG(exif.m_aEntry[exif.GetTag(DIR_IFD1, 278)].pData, 2), 2u);
        TestExif again;
        ASSERT_TRUE(ReadBlock(again, written, r));
        ASSERT_EQ(again.m_nThumbSize, 12);
        for (int i = 0; i < 12; ++i) EXPECT_EQ(again.m_pThumbData[i], i + 1);
        const auto m = Exiv2Read(written);
        EXPECT_EQ(m.at("Exif.Thumbnail.StripByteCounts"), "12");
        EXPECT_EQ(m.at("Exif.Thumbnail.StripOffsets"), std::to_string(written.size() - 12));
    }
}

TEST(Writer, DroppedPointerOrThumbnailOffsetLeavesTheirDataOut) {
    // A deleted GPS pointer drops its directory; a thumbnail without JPEGInterchangeFormat,
    // or with one whose value (two LONGs) is not a lone offset, is left out.
    for (int variant = 0; variant < 3; ++variant) {
        TestExif exif;
        SExifProperty r{};
        ASSERT_TRUE(ReadBlock(exif, SampleBlock(true), r));
        unsigned char two[8] = {1, 2, 3, 4, 5, 6, 7, 8};
        if (variant == 0) exif.DeleteTag(DIR_IFD0, 34853);
        if (variant == 1) exif.DeleteTag(DIR_IFD1, 513);
        if (variant == 2) exif.RewriteDirect(exif.GetTag(DIR_IFD1, 513), DIR_IFD1, 513, 4, 2, two);
        TestExif again;
        SExifProperty r2{};
        ASSERT_TRUE(ReadBlock(again, Write(exif), r2));
        EXPECT_EQ(r2.bExposureTime, 1);
        if (variant == 0) {
            EXPECT_EQ(again.m_nGPSEntry, -1);
            EXPECT_EQ(r2.bGPS, 0);
            continue;
        }
        EXPECT_EQ(again.m_pThumbData, nullptr);
        EXPECT_EQ(DumpRecord(r), DumpRecord(r2));
        EXPECT_EQ(again.GetDirCount(DIR_IFD1), exif.GetDirCount(DIR_IFD1));
        if (variant == 2) {
            EXPECT_EQ(Text(again, DIR_IFD1, 513), std::string("\1\2\3\4\5\6\7\10"));
        }
    }
}

// Built from nothing: Make, Model, DateTime and the Exif pointer (the title first when the
// record has one), ExifVersion and DateTimeDigitized; the coder's write tests read the values
// of such a block with Exiv2.
TEST(Rewrite, FreshDirectory) {
    TestExif e;
    SExifProperty p{};
    e.RewriteData(p, kStamp, "name.jpg", 0, 1);
    EXPECT_EQ(e.m_bIntel, 1);
    EXPECT_EQ(LiveTags(e, DIR_IFD0), (std::vector<int>{271, 272, 306, 34665}));
    EXPECT_EQ(Text(e, DIR_IFD0, 271).size(), 14u);
    EXPECT_EQ(LiveTags(e, e.m_nExifEntry), (std::vector<int>{36868, 36864}));
    EXPECT_EQ(e.m_nGPSEntry, -1);
    TestExif f;
    p.bImageDescription = 1;
    p.strImageDescription = "Summit";
    f.RewriteData(p, kStamp, "x.jpg", 0, 1);
    EXPECT_EQ(LiveTags(f, DIR_IFD0).front(), 270);
}

// Whole degrees, minutes with three decimals (rounded, up to 60.000 without carrying),
// seconds 0/1; altitude in whole metres, none below the sea; direction in hundredths.
TEST(Rewrite, GpsEncodings) {
    const struct {
        double lat, lon, alt;
        const char* refs;
        uint32_t latD, latM, lonD, lonM, metres;
    } cases[] = {
        {35.5, -139.25, 123.9, "NW", 35, 30000, 139, 15000, 123},
        {0.0, 0.0, 0.0, "NE", 0, 0, 0, 0, 0},
        {10.99999999, -0.5, -12.0, "NW", 10, 60000, 0, 30000, 0},
        {-33.86785, 151.20732, 0.4, "SE", 33, 52071, 151, 12439, 0},
    };
    for (const auto& c : cases) {
        for (int intel : {0, 1}) {
            TestExif e;
            e.m_bIntel = intel;
            SExifProperty p{};
            p.bGPSPosition = p.bGPSAltitude = p.bGPSImgDirection = p.bGPSMapDatum = 1;
            p.dGPSLatitude = c.lat;
            p.dGPSLongitude = c.lon;
            p.dGPSAltitude = c.alt;
            p.dGPSImgDirection = 359.999;
            std::strcpy(p.szGPSImgDirectionRef, intel ? "M" : "");
            std::strcpy(p.szGPSMapDatum, "TOKYO");
            e.RewriteData(p, kStamp, "", 0, 1);
            const int g = e.m_nGPSEntry;
            ASSERT_GE(g, 0);
            EXPECT_EQ(Text(e, g, 0), std::string("\x02\0\0\0", 4));
            EXPECT_EQ(Text(e, g, 1), std::string(1, c.refs[0]) + '\0');
            EXPECT_EQ(Text(e, g, 3), std::string(1, c.refs[1]) + '\0');
            EXPECT_EQ(Longs(e, g, 2), (std::vector<uint32_t>{c.latD, 1, c.latM, 1000, 0, 1}));
            EXPECT_EQ(Longs(e, g, 4), (std::vector<uint32_t>{c.lonD, 1, c.lonM, 1000, 0, 1}));
            EXPECT_EQ(Text(e, g, 5), std::string(1, '\0'));
            EXPECT_EQ(Longs(e, g, 6), (std::vector<uint32_t>{c.metres, 1}));
            EXPECT_EQ(Text(e, g, 16), std::string(intel ? "M" : "T") + '\0');
            EXPECT_EQ(Longs(e, g, 17), (std::vector<uint32_t>{35999, 100}));
            EXPECT_EQ(Text(e, g, 18), std::string("TOKYO", 6));
        }
    }
    // The direction alone does not create the GPS directory.
    TestExif e;
    SExifProperty p{};
    p.bGPSImgDirection = 1;
    e.RewriteData(p, kStamp, "", 0, 1);
    EXPECT_EQ(e.m_nGPSEntry, -1);
}

TEST(Rewrite, CopyrightCommentPixelsAndDates) {
    CExif read;
    SExifProperty r{};
    ASSERT_TRUE(ReadBlock(read, SampleBlock(true), r));
    // The GPS flags' deletions are the coder's write tests' (read back by Exiv2).
    const struct {
        const char* p;
        const char* e;
        std::string bytes;
    } copyrights[] = {
        {"", "Ed", std::string(" \0Ed\0", 5)},
        {"Ph", "", std::string("Ph\0", 3)},
        {"Ph", "Ed", std::string("Ph\0Ed\0", 6)},
        {"", "", "<none>"},
    };
    for (const auto& c : copyrights) {
        TestExif e;
        e.m_bReadExif = 1;
        unsigned char old[4] = {'o', 0, 0, 0};
        e.AddDirect(DIR_IFD0, 33432, 2, 2, old);
        SExifProperty p{};
        p.bCopyrightPhotographer = p.bCopyrightEditor = 1;
        p.strCopyrightPhotographer = c.p;
        p.strCopyrightEditor = c.e;
        e.RewriteData(p, kStamp, "", 0, 0);
        EXPECT_EQ(Text(e, DIR_IFD0, 33432), c.bytes);
    }

    for (int bDate : {0, 1}) {
        TestExif e;
        static_cast<CExif&>(e) = read;
        SExifProperty p = r;
        p.strUserComment = "abc";
        p.nPixelXDimension = 70000;
        p.nPixelYDimension = 0x12345;
        p.bDateTimeOriginal = 0;
        e.RewriteData(p, kStamp, "", bDate, 0);
        EXPECT_EQ(Text(e, e.m_nExifEntry, 37510), std::string("\0\0\0\0\0\0\0\0abc\0", 12));
        EXPECT_EQ(Longs(e, e.m_nExifEntry, 40962), std::vector<uint32_t>{70000});
        // The SHORT PixelYDimension receives the low 16 bits.
        EXPECT_EQ(Text(e, e.m_nExifEntry, 40963), std::string("\x45\x23", 2));
        EXPECT_EQ(Text(e, DIR_IFD0, 306),
                  bDate ? std::string(kStampText, 20) : std::string("2007:05:06 07:08:09", 20));
        EXPECT_EQ(e.GetTag(e.m_nExifEntry, 36867), -1);
    }
}

INSTANTIATE_TEST_SUITE_P(Both, ByteOrder, ::testing::Bool());
