// Tests of WriteExif: the block layout, read -> write -> read identity in both byte orders,
// the size bound, and Exiv2 as an independent reader of the blocks written.
#include <gtest/gtest.h>

#include <cstring>

#include "exif/ExifTestUtil.h"
#include "exif/Exiv2Oracle.h"

using namespace exiftest;

namespace {

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

class WriterOrder : public ::testing::TestWithParam<bool> {};

}  // namespace

TEST_P(WriterOrder, ReadWriteReadGivesTheSameRecordTableAndThumbnail) {
    SampleOptions o;
    o.bIntel = GetParam();
    const Bytes original = MakeSampleBlock(o);
    CExif first;
    SExifProperty r1{};
    ASSERT_TRUE(ReadBlock(first, original, r1));
    const Bytes written = Write(first);
    EXPECT_EQ(written[0], o.bIntel ? 'I' : 'M');

    CExif second;
    SExifProperty r2{};
    ASSERT_TRUE(ReadBlock(second, written, r2));
    EXPECT_EQ(DumpRecord(r1), DumpRecord(r2));
    EXPECT_EQ(DumpTable(first), DumpTable(second));
    ASSERT_EQ(second.m_nThumbSize, first.m_nThumbSize);
    EXPECT_EQ(0, std::memcmp(second.m_pThumbData, first.m_pThumbData, first.m_nThumbSize));

    // A JPEG thumbnail ends the block, and JPEGInterchangeFormat points at it.
    const TestExif& t = static_cast<const TestExif&>(second);
    const int jif = const_cast<TestExif&>(t).GetTag(DIR_IFD1, 513);
    ASSERT_GE(jif, 0);
    EXPECT_EQ(second.BYTEtoLONG(second.m_aEntry[jif].pData, 4),
              written.size() - static_cast<size_t>(first.m_nThumbSize));

    // Writing what was written reproduces it byte for byte.
    EXPECT_EQ(Write(second), written);
}

TEST_P(WriterOrder, Exiv2ReadsTheSameValuesFromTheWrittenBlock) {
    SampleOptions o;
    o.bIntel = GetParam();
    const Bytes original = MakeSampleBlock(o);
    CExif exif;
    SExifProperty r{};
    ASSERT_TRUE(ReadBlock(exif, original, r));
    const auto before = Values(original);
    const auto after = Values(Write(exif));
    EXPECT_EQ(before, after);
    // The builder itself, checked by Exiv2: what the sample says it holds.
    EXPECT_EQ(before.at("Exif.Image.Make"), "MAKERCO");
    EXPECT_EQ(before.at("Exif.GPSInfo.GPSLatitude"), "35/1 21/1 3030/100");
    EXPECT_EQ(before.at("Exif.Photo.ISOSpeedRatings"), "200 400");
    EXPECT_EQ(before.at("Exif.Photo.BrightnessValue"), "-1/3");
    EXPECT_EQ(before.at("Exif.Iop.InteroperabilityIndex"), "R98");
    EXPECT_EQ(before.at("Exif.Thumbnail.JPEGInterchangeFormatLength"),
              std::to_string(SampleThumbnail().size()));
    EXPECT_GT(before.size(), 75u);
}

INSTANTIATE_TEST_SUITE_P(ByteOrder, WriterOrder, ::testing::Bool());

TEST(Writer, GpsDirectoryComesBeforeExifAndValuesPlaceBySize) {
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
    // IFD0: 3 entries at 8, values none (all fit), next field at 8 + 2 + 36.
    EXPECT_EQ(Get(b, 8, 2), 3u);
    EXPECT_EQ(0, std::memcmp(&b[8 + 2 + 12 + 8], four, 4));
    const uint32_t exifAt = Get(b, 8 + 2 + 8, 4);
    const uint32_t gpsAt = Get(b, 8 + 2 + 24 + 8, 4);
    EXPECT_EQ(gpsAt, 8u + 2 + 36 + 4);
    EXPECT_LT(gpsAt, exifAt);
    // The GPS directory: one entry whose 5-byte value follows its next field.
    EXPECT_EQ(Get(b, gpsAt + 2 + 8, 4), gpsAt + 2 + 12 + 4);
    EXPECT_EQ(exifAt, gpsAt + 2 + 12 + 4 + 5);
    // The empty IFD1 ends the block and is linked from IFD0.
    EXPECT_EQ(Get(b, 8 + 2 + 36, 4), b.size() - 6);
    EXPECT_EQ(Get(b, b.size() - 6, 2), 0u);
}

TEST(Writer, DeletedPointerDropsItsDirectory) {
    CExif exif;
    SExifProperty r{};
    ASSERT_TRUE(ReadBlock(exif, MakeSampleBlock({}), r));
    exif.DeleteTag(DIR_IFD0, 34853);
    CExif again;
    SExifProperty r2{};
    ASSERT_TRUE(ReadBlock(again, Write(exif), r2));
    EXPECT_EQ(again.m_nGPSEntry, -1);
    EXPECT_EQ(r2.bGPS, 0);
    EXPECT_EQ(r2.bExposureTime, 1);
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
        const int s0 = b.Blob({1, 2, 3, 4, 5, 6});
        const int s1 = b.Blob({7, 8, 9, 10, 11, 12});
        b.BlobOffsets(ifd1, 273, {s0, s1});
        b.Short(ifd1, 278, {1});
        b.Long(ifd1, 279, {6, 6});
        TestExif exif;
        SExifProperty r{};
        ASSERT_TRUE(ReadBlock(exif, b.Build(), r));
        const Bytes written = Write(exif);
        const int offsets = exif.GetTag(DIR_IFD1, 273);
        const int rows = exif.GetTag(DIR_IFD1, 278);
        const int counts = exif.GetTag(DIR_IFD1, 279);
        EXPECT_EQ(exif.m_aEntry[offsets].nCount, 1);
        EXPECT_EQ(exif.BYTEtoLONG(exif.m_aEntry[rows].pData, 2), 2u);
        EXPECT_EQ(exif.BYTEtoLONG(exif.m_aEntry[counts].pData, 4), 12u);

        TestExif again;
        SExifProperty r2{};
        ASSERT_TRUE(ReadBlock(again, written, r2));
        ASSERT_EQ(again.m_nThumbSize, 12);
        for (int i = 0; i < 12; ++i) EXPECT_EQ(again.m_pThumbData[i], i + 1);
        const auto m = Exiv2Read(written);
        EXPECT_EQ(m.at("Exif.Thumbnail.StripByteCounts"), "12");
        EXPECT_EQ(m.at("Exif.Thumbnail.StripOffsets"), std::to_string(written.size() - 12));
    }
}

TEST(Writer, ThumbnailWithNowhereToPointFromIsLeftOut) {
    // No JPEGInterchangeFormat at all, or one whose value (two LONGs) is not a lone offset.
    for (int variant = 0; variant < 2; ++variant) {
        TestExif exif;
        SExifProperty r{};
        ASSERT_TRUE(ReadBlock(exif, MakeSampleBlock({}), r));
        const int jif = exif.GetTag(DIR_IFD1, 513);
        unsigned char two[8] = {1, 2, 3, 4, 5, 6, 7, 8};
        if (variant == 0)
            exif.DeleteTag(DIR_IFD1, 513);
        else
            exif.RewriteDirect(jif, DIR_IFD1, 513, 4, 2, two);
        const Bytes written = Write(exif);
        TestExif again;
        SExifProperty r2{};
        ASSERT_TRUE(ReadBlock(again, written, r2));
        EXPECT_EQ(again.m_pThumbData, nullptr);
        EXPECT_EQ(DumpRecord(r), DumpRecord(r2));
        EXPECT_EQ(again.GetDirCount(DIR_IFD1), exif.GetDirCount(DIR_IFD1));
        if (variant == 1) {
            const int back = again.GetTag(DIR_IFD1, 513);
            ASSERT_GE(back, 0);
            EXPECT_EQ(0, std::memcmp(again.m_aEntry[back].pData, two, 8));
        }
    }
}
