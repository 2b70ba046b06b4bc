// Tests of the full and the quick EXIF reader over blocks built by the test builder: decoded
// values, byte-order independence, the thumbnail forms, and the directory edge cases.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <fstream>
#include <iterator>

#include "exif/ExifTestUtil.h"

using namespace exiftest;

namespace {

std::string Golden(const char* name) {
    std::ifstream in(std::string(PHOTOGEO_TEST_DATA "/exif/") + name);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

class ReaderOrder : public ::testing::TestWithParam<bool> {};

}  // namespace

// The sample block in either byte order gives the record and table kept in tests/data/exif
// (every flag but the lens; the table lists the little-endian bytes).
TEST_P(ReaderOrder, SampleMatchesTheGoldenRecordsAndTable) {
    SampleOptions o;
    o.bIntel = GetParam();
    const Bytes block = MakeSampleBlock(o);
    TestExif exif;
    SExifProperty r{};
    ASSERT_TRUE(ReadBlock(exif, block, r));
    EXPECT_EQ(DumpRecord(r), Golden("sample-record.txt"));
    if (o.bIntel) {
        EXPECT_EQ(DumpTable(exif), Golden("sample-table.txt"));
    }
    EXPECT_EQ(exif.m_bIntel, o.bIntel ? 1 : 0);
    EXPECT_EQ(exif.GetDirCount(DIR_IFD1), 6);
    EXPECT_EQ(exif.m_aEntry[exif.m_nExifEntry].nTag, 34665);
    EXPECT_EQ(exif.m_aEntry[exif.m_nGPSEntry].nTag, 34853);
    EXPECT_EQ(exif.m_nThumbCompression, 6);
    const Bytes thumb = SampleThumbnail();
    ASSERT_EQ(exif.m_nThumbSize, static_cast<int>(thumb.size()));
    EXPECT_EQ(0, std::memcmp(exif.m_pThumbData, thumb.data(), thumb.size()));
    EXPECT_EQ(exif.m_pStripOffsets, nullptr);

    // The quick reader: only its items, the thumbnail only when asked for.
    TestExif q;
    SExifProperty quick{};
    ASSERT_TRUE(ReadBlock(q, block, quick, true, 0));
    EXPECT_EQ(DumpRecord(quick), Golden("sample-quick-record.txt"));
    EXPECT_EQ(q.m_pThumbData, nullptr);
    EXPECT_EQ(q.m_nThumbCompression, -1);
    EXPECT_EQ(q.m_aEntry.size(), 2u);
    EXPECT_EQ(q.GetDirCount(DIR_IFD0), 2);
    ASSERT_TRUE(ReadBlock(q, block, quick, true, 1));
    EXPECT_EQ(q.m_nThumbSize, static_cast<int>(thumb.size()));
}

INSTANTIATE_TEST_SUITE_P(ByteOrder, ReaderOrder, ::testing::Bool());

TEST(Reader, BlockInsideALargerBufferKeepsItsOffsets) {
    const Bytes block = MakeSampleBlock({});
    Bytes segment = {'E', 'x', 'i', 'f', 0, 0};
    segment.insert(segment.end(), block.begin(), block.end());
    CInBitStream s(segment.data(), static_cast<int>(segment.size()));
    s.SkipByte(6);
    CExif exif;
    SExifProperty r{};
    exif.ReadExif(&s, static_cast<int>(block.size()), &r);
    EXPECT_EQ(s.GetPosition(), segment.data() + segment.size());
    EXPECT_EQ(DumpRecord(r), Golden("sample-record.txt"));
    EXPECT_EQ(DumpTable(exif), Golden("sample-table.txt"));
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

TEST(Reader, SubDirectoryEndingTheBufferLetsIfd0GoOn) {
    // The GPS directory is the last thing in the block and has no next-directory field: the
    // reader reaches the buffer's end inside it and must still read the rest of IFD0.
    TiffBuilder b(true);
    const int ifd0 = b.Ifd0();
    const int gps = b.AddDir(false);
    b.Pointer(ifd0, 34853, gps);
    b.Ascii(ifd0, 305, "ab");
    b.Ascii(gps, 1, "S");
    Bytes block = b.Build();
    block.resize(block.size() - 4);
    CExif exif;
    SExifProperty r{};
    ASSERT_TRUE(ReadBlock(exif, block, r));
    EXPECT_EQ(r.strSoftware, "ab");
    EXPECT_EQ(r.bGPS, 1);
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

TEST(Reader, GpsForms) {
    // A pointer whose offset is 0 is kept but walks nothing.
    TiffBuilder zero(true);
    zero.Long(zero.Ifd0(), 34853, {0});
    CExif pointer;
    SExifProperty p{};
    ASSERT_TRUE(ReadBlock(pointer, zero.Build(), p));
    EXPECT_EQ(pointer.m_nGPSEntry, 0);
    EXPECT_EQ(p.bGPS, 0);
    // A latitude without longitude, and the altitude below and above sea level.
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
