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
        EXPECT_EQ(exif.BYTEtoLONG(exif.m_aEntry[exif.GetTag(DIR_IFD1, 279)].pData, 4), 12u);
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
            EXPECT_EQ(0, std::memcmp(again.m_aEntry[again.GetTag(DIR_IFD1, 513)].pData, two, 8));
        }
    }
}

// The tables RewriteData makes, dumped whole (byte order, then DumpTable) and compared with
// tests/data/exif/rewrite-tables.txt, reviewed against the rules: built from nothing, Make,
// Model, DateTime and the Exif pointer (the title first when the record has one), ExifVersion
// and DateTimeDigitized; GPS in whole degrees, minutes with three decimals (rounded, up to 60.000
// without carrying) and seconds 0/1, altitude in whole metres (none below the sea), direction
// in hundredths, and no GPS directory for a direction alone; the two-part copyright; the comment
// behind its 8-byte code, PixelXDimension whole and the SHORT PixelYDimension its low 16 bits,
// DateTime stamped only with bDate, DateTimeOriginal deleted. The GPS deletions are the coder's
// write tests'.
TEST(Rewrite, TablesMatchTheGoldenText) {
    CExif sample;
    SExifProperty read{};
    ASSERT_TRUE(ReadBlock(sample, SampleBlock(true), read));
    std::string text;
    auto dump = [&](const std::string& name, TestExif& e, SExifProperty& p, int bDate, int gps) {
        e.RewriteData(p, kStamp, "name.jpg", bDate, gps);
        text += "== " + name + ", " + (e.m_bIntel ? "II" : "MM") + "\n" + DumpTable(e);
    };
    for (const char* title : {"", "Summit"}) {
        TestExif e;
        SExifProperty p{};
        p.bImageDescription = *title != 0;
        p.strImageDescription = title;
        dump(std::string("fresh ") + title, e, p, 0, 1);
    }
    const double places[][3] = {{35.5, -139.25, 123.9},
                                {0.0, 0.0, 0.0},
                                {10.99999999, -0.5, -12.0},
                                {-33.86785, 151.20732, 0.4}};
    for (const auto& place : places) {
        for (const char* ref : {"", "M"}) {
            TestExif e;
            SExifProperty p{};
            p.bGPSPosition = p.bGPSAltitude = p.bGPSImgDirection = p.bGPSMapDatum = 1;
            p.dGPSLatitude = place[0];
            p.dGPSLongitude = place[1];
            p.dGPSAltitude = place[2];
            p.dGPSImgDirection = 359.999;
            std::strcpy(p.szGPSImgDirectionRef, ref);
            std::strcpy(p.szGPSMapDatum, "TOKYO");
            dump(std::string("gps, direction reference '") + ref + "'", e, p, 0, 1);
        }
    }
    TestExif direction;
    SExifProperty alone{};
    alone.bGPSImgDirection = 1;
    dump("direction alone", direction, alone, 0, 1);
    const std::pair<const char*, const char*> copyrights[] = {
        {"", "Ed"}, {"Ph", ""}, {"Ph", "Ed"}, {"", ""}};
    for (const auto& c : copyrights) {
        TestExif e;
        e.m_bReadExif = 1;
        unsigned char old[4] = {'o', 0, 0, 0};
        e.AddDirect(DIR_IFD0, 33432, 2, 2, old);
        SExifProperty p{};
        p.bCopyrightPhotographer = p.bCopyrightEditor = 1;
        p.strCopyrightPhotographer = c.first;
        p.strCopyrightEditor = c.second;
        dump(std::string("copyright '") + c.first + "' '" + c.second + "'", e, p, 0, 0);
    }
    for (int bDate : {0, 1}) {
        TestExif e;
        static_cast<CExif&>(e) = sample;
        SExifProperty p = read;
        p.strUserComment = "abc";
        p.nPixelXDimension = 70000;
        p.nPixelYDimension = 0x12345;
        p.bDateTimeOriginal = 0;
        dump("sample, bDate " + std::to_string(bDate), e, p, bDate, 0);
    }
    EXPECT_EQ(text, Golden("exif/rewrite-tables.txt", text));
}

INSTANTIATE_TEST_SUITE_P(Both, ByteOrder, ::testing::Bool());
