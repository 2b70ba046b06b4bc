// Tests of the full and the quick EXIF reader over blocks built by the test builder: decoded
// values, byte-order independence, the thumbnail forms, and the directory edge cases.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <ctime>

#include "exif/ExifTestUtil.h"

using namespace exiftest;

namespace {

int32_t Utc(int y, int mo, int d, int h, int mi, int s) {
    std::tm t = {};
    t.tm_year = y - 1900;
    t.tm_mon = mo - 1;
    t.tm_mday = d;
    t.tm_hour = h;
    t.tm_min = mi;
    t.tm_sec = s;
    return static_cast<int32_t>(timegm(&t));
}

class ReaderOrder : public ::testing::TestWithParam<bool> {};

}  // namespace

TEST_P(ReaderOrder, SampleDecodesEveryItem) {
    SampleOptions o;
    o.bIntel = GetParam();
    CExif exif;
    SExifProperty r{};
    ASSERT_TRUE(ReadBlock(exif, MakeSampleBlock(o), r));

    EXPECT_EQ(exif.m_bIntel, o.bIntel ? 1 : 0);
    EXPECT_EQ(exif.m_bReadExif, 1);
    EXPECT_EQ(r.strImageDescription, "Mt. Fuji from the lake");
    EXPECT_EQ(r.strMake, "MAKERCO");
    EXPECT_EQ(r.strModel, "CAM-1");
    EXPECT_EQ(r.strSoftware, "fw 1.0");
    EXPECT_EQ(r.strCopyrightPhotographer, "Taro");
    EXPECT_EQ(r.strCopyrightEditor, "Hanako");
    EXPECT_EQ(r.bCopyrightPhotographer + r.bCopyrightEditor, 2);
    EXPECT_EQ(r.nOrientation, 6);
    EXPECT_EQ(r.rYResolution.nNumerator, 350);
    EXPECT_EQ(r.rYResolution.nDenominator, 5);
    EXPECT_EQ(r.rPrimaryChromaticities[5].nNumerator, 6);
    EXPECT_EQ(r.rReferenceBlackWhite[3].nNumerator, 255);
    // Tokyo is UTC+9 all year (TZ is pinned for the tests).
    EXPECT_EQ(r.tmDateTime.GetTime(), Utc(2007, 5, 5, 22, 8, 9));
    EXPECT_EQ(r.tmDateTimeOriginal.GetTime(), Utc(2007, 5, 5, 22, 8, 9));
    EXPECT_EQ(r.tmDateTimeDigitized.GetTime(), Utc(2008, 12, 31, 14, 59, 58));
    EXPECT_EQ(r.rExposureTime.nDenominator, 250);
    EXPECT_EQ(r.rShutterSpeedValue.nNumerator, -10);
    EXPECT_EQ(r.rBrightnessValue.nNumerator, -1);
    EXPECT_EQ(r.nISOSpeedRatings[0], 200);
    EXPECT_EQ(r.nISOSpeedRatings[1], 400);
    EXPECT_STREQ(r.szExifVersion, "0220");
    EXPECT_STREQ(r.szFlashpixVersion, "0100");
    EXPECT_EQ(r.byComponentsConfiguration[2], 3);
    EXPECT_EQ(r.nFlash, 16);
    EXPECT_EQ(r.strUserComment, "a comment");
    EXPECT_EQ(r.nPixelXDimension, 640);
    EXPECT_EQ(r.nPixelYDimension, 480);
    EXPECT_EQ(r.strRelatedSoundFile, "SND00001.WAV");
    EXPECT_EQ(r.nFocalPlaneResolutionUnit, 3);
    EXPECT_EQ(r.byFileSource, 3);
    EXPECT_EQ(r.bySceneType, 1);

    EXPECT_EQ(r.bGPS, 1);
    EXPECT_DOUBLE_EQ(r.dGPSLatitude, 35 + 21 * 0.016666666666666666 + 30.3 * 0.0002777777777777778);
    EXPECT_DOUBLE_EQ(r.dGPSLongitude, 138 + 43 * 0.016666666666666666 + 45 * 0.0002777777777777778);
    EXPECT_DOUBLE_EQ(r.dGPSAltitude, 3776.0);
    EXPECT_DOUBLE_EQ(r.dGPSImgDirection, 123.45);
    EXPECT_DOUBLE_EQ(r.dGPSDestLatitude, -10.5);
    EXPECT_DOUBLE_EQ(r.dGPSDestLongitude, -20.25);
    EXPECT_STREQ(r.szGPSMapDatum, "WGS-84");
    EXPECT_EQ(r.szGPSImgDirectionRef[0], 'M');
    EXPECT_EQ(r.strGPSSatellites, "05");
    EXPECT_EQ(r.rGPSTimeStamp[2].nNumerator, 56);
    EXPECT_EQ(r.byGPSVersionID[1], 2);
    EXPECT_EQ(r.szGPSSpeedRef[0], 'K');
    EXPECT_EQ(r.rGPSDestDistance.nNumerator, 1500);

    // Every flag but the lens is set by this block.
    const int* flags = &r.bImageDescription;
    for (int i = 0; i < EXIF_PROPERTY_FLAG_COUNT; ++i) EXPECT_EQ(flags[i], i == 8 ? 0 : 1) << i;

    EXPECT_EQ(exif.m_nThumbCompression, 6);
    ASSERT_NE(exif.m_pThumbData, nullptr);
    const Bytes thumb = SampleThumbnail();
    ASSERT_EQ(exif.m_nThumbSize, static_cast<int>(thumb.size()));
    EXPECT_EQ(0, std::memcmp(exif.m_pThumbData, thumb.data(), thumb.size()));
    EXPECT_EQ(exif.m_pStripOffsets, nullptr);

    // The table: every entry of the block, sub-directories under their pointers.
    TestExif& t = static_cast<TestExif&>(exif);
    EXPECT_EQ(t.GetDirCount(DIR_IFD0), 17);
    EXPECT_EQ(t.GetDirCount(DIR_IFD1), 6);
    ASSERT_GE(exif.m_nExifEntry, 0);
    ASSERT_GE(exif.m_nGPSEntry, 0);
    EXPECT_EQ(exif.m_aEntry[exif.m_nExifEntry].nTag, 34665);
    EXPECT_EQ(t.GetDirCount(exif.m_nExifEntry), 33);
    EXPECT_EQ(t.GetDirCount(exif.m_nGPSEntry), 27);
    const int interop = t.GetTag(exif.m_nExifEntry, 40965);
    ASSERT_GE(interop, 0);
    EXPECT_EQ(t.GetDirCount(interop), 2);
}

TEST_P(ReaderOrder, QuickReaderDecodesOnlyItsItems) {
    SampleOptions o;
    o.bIntel = GetParam();
    const Bytes block = MakeSampleBlock(o);
    TestExif exif;
    SExifProperty quick{};
    ASSERT_TRUE(ReadBlock(exif, block, quick, true, 0));
    EXPECT_EQ(exif.m_pThumbData, nullptr);
    EXPECT_EQ(exif.m_nThumbCompression, -1);
    EXPECT_EQ(exif.GetDirCount(DIR_IFD0), 2);
    EXPECT_EQ(exif.m_aEntry.size(), 2u);
    EXPECT_EQ(quick.bMake + quick.bModel + quick.bExposureTime + quick.bGPSDest, 0);

    CExif full;
    SExifProperty all{};
    ASSERT_TRUE(ReadBlock(full, block, all));
    EXPECT_EQ(quick.strImageDescription, all.strImageDescription);
    EXPECT_EQ(quick.tmDateTimeOriginal, all.tmDateTimeOriginal);
    EXPECT_EQ(quick.strUserComment, all.strUserComment);
    EXPECT_EQ(quick.bGPS + quick.bGPSPosition + quick.bGPSAltitude + quick.bGPSMapDatum +
                  quick.bGPSImgDirection + quick.bGPSImgDirectionRef,
              6);
    EXPECT_EQ(quick.dGPSLatitude, all.dGPSLatitude);
    EXPECT_EQ(quick.dGPSLongitude, all.dGPSLongitude);
    EXPECT_EQ(quick.dGPSAltitude, all.dGPSAltitude);
    EXPECT_EQ(quick.dGPSImgDirection, all.dGPSImgDirection);
    EXPECT_STREQ(quick.szGPSMapDatum, all.szGPSMapDatum);

    ASSERT_TRUE(ReadBlock(exif, block, quick, true, 1));
    EXPECT_EQ(exif.m_nThumbCompression, 6);
    EXPECT_EQ(exif.m_nThumbSize, full.m_nThumbSize);
}

INSTANTIATE_TEST_SUITE_P(ByteOrder, ReaderOrder, ::testing::Bool());

TEST(Reader, SameBlockInBothByteOrdersGivesSameRecord) {
    SampleOptions le, be;
    be.bIntel = false;
    CExif a, b;
    SExifProperty ra{}, rb{};
    ASSERT_TRUE(ReadBlock(a, MakeSampleBlock(le), ra));
    ASSERT_TRUE(ReadBlock(b, MakeSampleBlock(be), rb));
    EXPECT_EQ(DumpRecord(ra), DumpRecord(rb));
}

TEST(Reader, UnknownMarkIsReadBigEndianAndLowIfdOffsetMeansEight) {
    TiffBuilder b(false);
    b.Short(b.Ifd0(), 274, {3});
    Bytes block = b.Build();
    block[0] = 'X';
    block[1] = 'Y';
    for (uint8_t low : {0, 4}) {
        block[7] = low;
        CExif exif;
        SExifProperty r{};
        ASSERT_TRUE(ReadBlock(exif, block, r));
        EXPECT_EQ(exif.m_bIntel, 0);
        EXPECT_EQ(r.nOrientation, 3);
    }
}

TEST(Reader, GpsPointerToZeroWalksNothing) {
    for (bool intel : {true, false}) {
        TiffBuilder b(intel);
        b.Long(b.Ifd0(), 34853, {0});
        CExif exif;
        SExifProperty r{};
        r.bGPS = 1;
        ASSERT_TRUE(ReadBlock(exif, b.Build(), r));
        EXPECT_EQ(exif.m_nGPSEntry, 0);
        EXPECT_EQ(exif.m_aEntry.size(), 1u);
        EXPECT_EQ(r.bGPS, 0);
    }
}

TEST(Reader, CopyrightForms) {
    struct Case {
        std::string bytes;
        int photographer, editor;
        const char* p;
        const char* e;
    } cases[] = {
        {std::string(" \0", 2), 0, 0, " ", ""},
        {std::string("ab\0cd\0", 6), 1, 1, "ab", "cd"},
        {std::string(" \0Ed\0", 5), 0, 1, " ", "Ed"},
        {std::string("Long name only\0", 15), 1, 0, "Long name only", ""},
    };
    for (const Case& c : cases) {
        TiffBuilder b(true);
        b.Raw(b.Ifd0(), 33432, 2, static_cast<uint32_t>(c.bytes.size()),
              Bytes(c.bytes.begin(), c.bytes.end()));
        CExif exif;
        SExifProperty r{};
        r.strCopyrightEditor = "stale";
        ASSERT_TRUE(ReadBlock(exif, b.Build(), r));
        EXPECT_EQ(r.bCopyrightPhotographer, c.photographer) << c.p;
        EXPECT_EQ(r.bCopyrightEditor, c.editor) << c.p;
        EXPECT_EQ(r.strCopyrightPhotographer, c.p);
        EXPECT_EQ(r.strCopyrightEditor, c.e);
    }
}

TEST(Reader, DatesAndNulDates) {
    TiffBuilder b(true);
    const int exif = b.AddDir(false);
    b.Pointer(b.Ifd0(), 34665, exif);
    b.Raw(exif, 36867, 2, 20, Bytes(20, 0));
    b.Ascii(exif, 36868, "2007:05:06 07:08:09");
    CExif x;
    SExifProperty r{};
    ASSERT_TRUE(ReadBlock(x, b.Build(), r));
    EXPECT_EQ(r.bDateTimeOriginal, 0);
    EXPECT_EQ(r.bDateTimeDigitized, 1);
    EXPECT_EQ(r.tmDateTimeDigitized.Format("%Y-%m-%d %H:%M:%S"), "2007-05-06 07:08:09");
}

TEST(Reader, UserCommentCodes) {
    auto read = [](const Bytes& comment) {
        TiffBuilder b(false);
        const int exif = b.AddDir(false);
        b.Pointer(b.Ifd0(), 34665, exif);
        b.Undefined(exif, 37510, comment);
        CExif x;
        SExifProperty r{};
        EXPECT_TRUE(ReadBlock(x, b.Build(), r));
        return r.bUserComment ? r.strUserComment.str() : std::string("<absent>");
    };
    auto code = [](const char* c8, const Bytes& text) {
        Bytes v(c8, c8 + 8);
        v.insert(v.end(), text.begin(), text.end());
        return v;
    };
    // JIS: ESC $ B "F|K\" ESC ( B is "日本" (0x93FA 0x967B in Shift-JIS).
    EXPECT_EQ(read(code("JIS\0\0\0\0\0", {0x1B, '$', 'B', 'F', '|', 'K', '\\', 0x1B, '(', 'B'})),
              "\x93\xfa\x96\x7b");
    // UNICODE: little-endian units whatever the block's order; U+20AC has no Shift-JIS form
    // and an emoji (a surrogate pair) neither: each becomes one "?".
    EXPECT_EQ(read(code("UNICODE\0", {'a', 0, 0x42, 0x30, 0xAC, 0x20, 0x3D, 0xD8, 0x00, 0xDE, 'z',
                                      0, 0, 0, 'x', 0})),
              "a\x82\xa0??z");
    EXPECT_EQ(read(code("ASCII\0\0\0", {'h', 'i', 0, 'x'})), "hi");
    EXPECT_EQ(read(code("\0\0\0\0\0\0\0\0", {'o', 'k'})), "ok");
    EXPECT_EQ(read(code("OTHER\0\0\0", {'o', 'k'})), "ok");
    EXPECT_EQ(read(code("ASCII\0\0\0", {})), "");
    // Shorter than its 8-byte code: skipped.
    EXPECT_EQ(read(Bytes{'A', 'S', 'C', 'I', 'I', 0}), "<absent>");
}

TEST(Reader, ThirdMainDirectoryIsStoredAsDeleted) {
    TiffBuilder b(true);
    b.Short(b.Ifd0(), 274, {1});
    b.Short(b.Ifd1(), 259, {6});
    b.Short(b.Main(2), 0x1234, {7});
    TestExif exif;
    SExifProperty r{};
    ASSERT_TRUE(ReadBlock(exif, b.Build(), r));
    ASSERT_EQ(exif.m_aEntry.size(), 3u);
    EXPECT_EQ(exif.m_aEntry[2].nParent, DIR_DELETED);
    EXPECT_EQ(exif.m_aEntry[2].nTag, 0x1234);
}

TEST(Reader, GpsLatitudeWithoutLongitudeAndAltitudeReference) {
    for (uint8_t ref : {0, 1}) {
        TiffBuilder b(false);
        const int gps = b.AddDir(false);
        b.Pointer(b.Ifd0(), 34853, gps);
        b.Rational(gps, 2, {{10, 1}, {30, 1}, {0, 1}});
        b.Byte(gps, 5, {ref});
        b.Rational(gps, 6, {{12345, 100}});
        CExif exif;
        SExifProperty r{};
        ASSERT_TRUE(ReadBlock(exif, b.Build(), r));
        EXPECT_EQ(r.bGPSPosition, 1);
        // No reference: the sign defaults to +1 (and the missing longitude to 0).
        EXPECT_DOUBLE_EQ(r.dGPSLatitude, 10.5);
        EXPECT_DOUBLE_EQ(r.dGPSLongitude, 0.0);
        EXPECT_DOUBLE_EQ(r.dGPSAltitude, ref ? -123.45 : 123.45);
    }
}

TEST(Reader, FlagsAccumulateButGpsFlagsAreCleared) {
    TiffBuilder b(true);
    b.Short(b.Ifd0(), 274, {1});
    CExif exif;
    SExifProperty r{};
    r.bMake = 1;
    r.strMake = "kept";
    r.bGPS = r.bGPSPosition = r.bGPSAltitude = r.bGPSMapDatum = r.bGPSImgDirection = 1;
    r.bGPSImgDirectionRef = 1;
    std::strcpy(r.szGPSMapDatum, "TOKYO");
    ASSERT_TRUE(ReadBlock(exif, b.Build(), r));
    EXPECT_EQ(r.bMake, 1);
    EXPECT_EQ(r.strMake, "kept");
    EXPECT_EQ(r.bGPS + r.bGPSPosition + r.bGPSAltitude + r.bGPSMapDatum + r.bGPSImgDirection, 0);
    EXPECT_EQ(r.bGPSImgDirectionRef, 1);
    EXPECT_EQ(r.szGPSMapDatum[0], 0);

    // The quick reader clears nothing.
    r.bGPS = 1;
    std::strcpy(r.szGPSMapDatum, "TOKYO");
    ASSERT_TRUE(ReadBlock(exif, b.Build(), r, true));
    EXPECT_EQ(r.bGPS, 1);
    EXPECT_STREQ(r.szGPSMapDatum, "TOKYO");
}

TEST(Reader, UncompressedThumbnailFromTwoStrips) {
    for (bool intel : {true, false}) {
        TiffBuilder b(intel);
        b.Short(b.Ifd0(), 274, {1});
        const int ifd1 = b.Ifd1();
        b.Long(ifd1, 256, {2});
        b.Short(ifd1, 257, {2});
        b.Short(ifd1, 258, {8, 8, 8});
        b.Short(ifd1, 259, {1});
        const int s0 = b.Blob({1, 2, 3, 4, 5, 6});
        const int s1 = b.Blob({7, 8, 9, 10, 11, 12});
        b.BlobOffsets(ifd1, 273, {s0, s1});
        b.Long(ifd1, 279, {6, 6});
        CExif exif;
        SExifProperty r{};
        ASSERT_TRUE(ReadBlock(exif, b.Build(), r));
        EXPECT_EQ(exif.m_nThumbCompression, 1);
        ASSERT_EQ(exif.m_nThumbSize, 12);
        for (int i = 0; i < 12; ++i) EXPECT_EQ(exif.m_pThumbData[i], i + 1);
        EXPECT_EQ(exif.m_pStripOffsets, nullptr);
        EXPECT_EQ(exif.m_pStripByteCounts, nullptr);
    }
}

TEST(Reader, UnusableThumbnailsAreAbsent) {
    // Strips that run out, a byte-count table shorter than the offsets, samples other than 3,
    // a compression other than 1 and 6, and JPEG lengths outside 1..2 MiB or the block.
    auto build = [](int variant) {
        TiffBuilder b(true);
        b.Short(b.Ifd0(), 274, {1});
        const int ifd1 = b.Ifd1();
        if (variant < 3) {
            b.Short(ifd1, 256, {2});
            b.Short(ifd1, 257, {2});
            b.Short(ifd1, 258,
                    variant == 2 ? std::vector<uint16_t>{8} : std::vector<uint16_t>{8, 8, 8});
            b.Short(ifd1, 259, {1});
            const int s0 = b.Blob({1, 2, 3, 4, 5, 6});
            const int s1 = b.Blob({7, 8, 9});
            b.BlobOffsets(ifd1, 273, {s0, s1});
            b.Long(ifd1, 279,
                   variant == 1 ? std::vector<uint32_t>{6} : std::vector<uint32_t>{6, 3});
        } else if (variant == 3) {
            b.Short(ifd1, 259, {5});
        } else {
            b.Short(ifd1, 259, {6});
            const int t = b.Blob(SampleThumbnail());
            b.BlobOffsets(ifd1, 513, {t});
            const uint32_t len[] = {0, 0x200001, 1000};
            b.Long(ifd1, 514, {len[variant - 4]});
        }
        return b.Build();
    };
    for (int variant = 0; variant < 7; ++variant) {
        CExif exif;
        SExifProperty r{};
        ASSERT_TRUE(ReadBlock(exif, build(variant), r)) << variant;
        EXPECT_EQ(exif.m_nThumbCompression, -1) << variant;
        EXPECT_EQ(exif.m_pThumbData, nullptr) << variant;
        EXPECT_EQ(exif.m_nThumbSize, 0) << variant;
    }
}

TEST(Reader, CountsLargerThanTheFieldStoreWhatFits) {
    TiffBuilder b(true);
    const int gps = b.AddDir(false);
    b.Rational(b.Ifd0(), 282, {{1, 2}, {3, 4}, {5, 6}});
    b.Rational(b.Ifd0(), 318, {{1, 1}, {2, 1}, {3, 1}, {4, 1}});
    b.Pointer(b.Ifd0(), 34853, gps);
    b.Ascii(gps, 18, std::string(120, 'D'));
    b.Rational(gps, 7, {{1, 1}, {2, 1}, {3, 1}, {4, 1}, {5, 1}});
    CExif exif;
    SExifProperty r{};
    std::memset(r.szGPSMapDatum, 'x', sizeof(r.szGPSMapDatum));
    ASSERT_TRUE(ReadBlock(exif, b.Build(), r));
    EXPECT_EQ(r.rXResolution.nDenominator, 2);
    EXPECT_EQ(r.rWhitePoint[1].nNumerator, 2);
    EXPECT_EQ(r.rGPSTimeStamp[2].nNumerator, 3);
    EXPECT_EQ(r.bGPSMapDatum, 1);
    EXPECT_EQ(std::strlen(r.szGPSMapDatum), 79u);
}
