// Tests of RewriteData: the directory built from nothing, the GPS encodings and their
// rounding, deletions by cleared flags, the copyright and comment layouts and date stamping;
// then Exiv2 reads the rewritten table once written.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "exif/ExifTestUtil.h"
#include "exif/Exiv2Oracle.h"

using namespace exiftest;

namespace {

const CTime kStamp(2010, 1, 2, 3, 4, 5);
const char kStampText[] = "2010:01:02 03:04:05";

std::vector<int> LiveTags(const CExif& e, int parent) {
    std::vector<int> tags;
    for (const SExifEntry& x : e.m_aEntry)
        if (x.nParent == parent) tags.push_back(x.nTag);
    return tags;
}

std::string Text(TestExif& e, int parent, int tag) {
    const int i = e.GetTag(parent, tag);
    if (i < 0) return "<none>";
    const SExifEntry& x = e.m_aEntry[i];
    return std::string(reinterpret_cast<const char*>(x.pData), x.nSize);
}

std::vector<uint32_t> Longs(TestExif& e, int parent, int tag) {
    std::vector<uint32_t> v;
    const int i = e.GetTag(parent, tag);
    if (i < 0) return v;
    for (int k = 0; k + 4 <= e.m_aEntry[i].nSize; k += 4)
        v.push_back(e.BYTEtoLONG(e.m_aEntry[i].pData + k, 4));
    return v;
}

SExifProperty Gps(double lat, double lon) {
    SExifProperty p{};
    p.bGPSPosition = 1;
    p.dGPSLatitude = lat;
    p.dGPSLongitude = lon;
    return p;
}

}  // namespace

TEST(Rewrite, FreshDirectoryWithNothingSet) {
    TestExif e;
    SExifProperty p{};
    e.RewriteData(p, kStamp, "name.jpg", 0, 1);
    EXPECT_EQ(e.m_bIntel, 1);
    EXPECT_EQ(LiveTags(e, DIR_IFD0), (std::vector<int>{271, 272, 306, 34665}));
    EXPECT_EQ(Text(e, DIR_IFD0, 271).size(), 14u);
    EXPECT_EQ(Text(e, DIR_IFD0, 272), std::string("TREMONA3D/8.800", 16));
    EXPECT_EQ(Text(e, DIR_IFD0, 306), std::string(kStampText, 20));
    EXPECT_EQ(LiveTags(e, e.m_nExifEntry), (std::vector<int>{36868, 36864}));
    EXPECT_EQ(Text(e, e.m_nExifEntry, 36864), "0210");
    EXPECT_EQ(e.m_nGPSEntry, -1);

    // The title given for a new directory stays when the record has one.
    TestExif titled;
    p.bImageDescription = 1;
    p.strImageDescription = "Title";
    titled.RewriteData(p, kStamp, "name.jpg", 0, 1);
    EXPECT_EQ(LiveTags(titled, DIR_IFD0).front(), 270);
    EXPECT_EQ(Text(titled, DIR_IFD0, 270), std::string("Title", 6));
}

TEST(Rewrite, PositionEncodings) {
    struct Case {
        double lat, lon;
        char latRef, lonRef;
        uint32_t latD, latM, lonD, lonM;
    } cases[] = {
        {35.5, -139.25, 'N', 'W', 35, 30000, 139, 15000},
        {0.0, 0.0, 'N', 'E', 0, 0, 0, 0},
        {10.99999999, -0.5, 'N', 'W', 10, 60000, 0, 30000},
        {-33.86785, 151.20732, 'S', 'E', 33, 52071, 151, 12439},
    };
    for (const Case& c : cases) {
        for (int intel : {0, 1}) {
            TestExif e;
            e.m_bReadExif = 1;
            e.m_bIntel = intel;
            e.RewriteData(Gps(c.lat, c.lon), kStamp, "", 0, 1);
            const int g = e.m_nGPSEntry;
            ASSERT_GE(g, 0);
            EXPECT_EQ(Text(e, g, 0), std::string("\x02\0\0\0", 4));
            EXPECT_EQ(Text(e, g, 1), std::string(1, c.latRef) + '\0');
            EXPECT_EQ(Text(e, g, 3), std::string(1, c.lonRef) + '\0');
            EXPECT_EQ(Longs(e, g, 2), (std::vector<uint32_t>{c.latD, 1, c.latM, 1000, 0, 1}));
            EXPECT_EQ(Longs(e, g, 4), (std::vector<uint32_t>{c.lonD, 1, c.lonM, 1000, 0, 1}));
        }
    }
}

TEST(Rewrite, AltitudeDirectionAndDatum) {
    const double altitudes[] = {-12.0, 0.0, 123.9};
    const uint32_t metres[] = {0, 0, 123};
    for (int k = 0; k < 3; ++k) {
        TestExif e;
        SExifProperty p{};
        p.bGPSAltitude = 1;
        p.dGPSAltitude = altitudes[k];
        p.bGPSImgDirection = 1;
        p.dGPSImgDirection = 359.999;
        std::strcpy(p.szGPSImgDirectionRef, k == 1 ? "M" : "");
        p.bGPSMapDatum = 1;
        std::strcpy(p.szGPSMapDatum, "TOKYO");
        e.RewriteData(p, kStamp, "", 0, 1);
        const int g = e.m_nGPSEntry;
        EXPECT_EQ(Text(e, g, 5), std::string(1, '\0'));
        EXPECT_EQ(Longs(e, g, 6), (std::vector<uint32_t>{metres[k], 1}));
        EXPECT_EQ(Text(e, g, 16), std::string(k == 1 ? "M" : "T") + '\0');
        EXPECT_EQ(Longs(e, g, 17), (std::vector<uint32_t>{35999, 100}));
        EXPECT_EQ(Text(e, g, 18), std::string("TOKYO", 6));
    }
    // The direction alone does not create the GPS directory.
    TestExif e;
    SExifProperty p{};
    p.bGPSImgDirection = 1;
    e.RewriteData(p, kStamp, "", 0, 1);
    EXPECT_EQ(e.m_nGPSEntry, -1);
}

TEST(Rewrite, GpsFlagsClearDeleteAndWriteGpsZeroTouchesNothing) {
    CExif read;
    SExifProperty r{};
    ASSERT_TRUE(ReadBlock(read, MakeSampleBlock({}), r));

    TestExif untouched;
    static_cast<CExif&>(untouched) = read;
    SExifProperty cleared = r;
    cleared.bGPSPosition = cleared.bGPSAltitude = cleared.bGPSMapDatum = 0;
    cleared.bGPSImgDirection = 0;
    untouched.RewriteData(cleared, kStamp, "", 0, 0);
    EXPECT_EQ(LiveTags(untouched, untouched.m_nGPSEntry).size(), 27u);

    TestExif deleted;
    static_cast<CExif&>(deleted) = read;
    SExifProperty noPosition = r;
    noPosition.bGPSPosition = 0;
    deleted.RewriteData(noPosition, kStamp, "", 0, 1);
    const std::vector<int> left = LiveTags(deleted, deleted.m_nGPSEntry);
    EXPECT_EQ(left.size(), 23u);
    EXPECT_EQ(left.front(), 0);
    for (int gone : {1, 2, 3, 4}) EXPECT_EQ(deleted.GetTag(deleted.m_nGPSEntry, gone), -1);
}

TEST(Rewrite, CopyrightLayouts) {
    struct Case {
        const char* p;
        const char* e;
        std::string bytes;
    } cases[] = {
        {"", "Ed", std::string(" \0Ed\0", 5)},
        {"Ph", "", std::string("Ph\0", 3)},
        {"Ph", "Ed", std::string("Ph\0Ed\0", 6)},
        {"", "", "<none>"},
    };
    for (const Case& c : cases) {
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
}

TEST(Rewrite, CommentPixelsAndDates) {
    CExif read;
    SExifProperty r{};
    ASSERT_TRUE(ReadBlock(read, MakeSampleBlock({}), r));
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
        const int y = e.GetTag(e.m_nExifEntry, 40963);
        EXPECT_EQ(e.m_aEntry[y].nType, 3);
        EXPECT_EQ(e.BYTEtoLONG(e.m_aEntry[y].pData, 2), 0x2345u);
        EXPECT_EQ(Text(e, DIR_IFD0, 306),
                  bDate ? std::string(kStampText, 20) : std::string("2007:05:06 07:08:09", 20));
        EXPECT_EQ(e.GetTag(e.m_nExifEntry, 36867), -1);
    }
}

TEST(Rewrite, Exiv2ReadsARewrittenFreshDirectory) {
    CExif e;
    SExifProperty p = Gps(35.5, -139.25);
    p.bGPSAltitude = 1;
    p.dGPSAltitude = 776.4;
    p.bImageDescription = 1;
    p.strImageDescription = "Summit";
    p.bUserComment = 1;
    p.strUserComment = "note";
    p.bDateTimeOriginal = 1;
    p.tmDateTimeOriginal = kStamp;
    e.RewriteData(p, kStamp, "x.jpg", 0, 1);
    Bytes out(e.GetTotalSize());
    out.resize(e.WriteExif(out.data()));
    const auto m = Exiv2Read(out);
    EXPECT_EQ(m.at("Exif.Image.Model"), "TREMONA3D/8.800");
    EXPECT_EQ(m.at("Exif.Image.ImageDescription"), "Summit");
    EXPECT_EQ(m.at("Exif.Image.DateTime"), kStampText);
    EXPECT_EQ(m.at("Exif.Photo.DateTimeOriginal"), kStampText);
    EXPECT_EQ(m.at("Exif.Photo.ExifVersion"), "48 50 49 48");
    EXPECT_EQ(m.at("Exif.GPSInfo.GPSLatitude"), "35/1 30000/1000 0/1");
    EXPECT_EQ(m.at("Exif.GPSInfo.GPSLongitudeRef"), "W");
    EXPECT_EQ(m.at("Exif.GPSInfo.GPSAltitude"), "776/1");
    EXPECT_EQ(m.at("Exif.GPSInfo.GPSVersionID"), "2 0 0 0");

    CExif back;
    SExifProperty r{};
    ASSERT_TRUE(ReadBlock(back, out, r));
    EXPECT_DOUBLE_EQ(r.dGPSLatitude, 35.5);
    EXPECT_DOUBLE_EQ(r.dGPSLongitude, -139.25);
    EXPECT_EQ(r.strUserComment, "note");
    EXPECT_EQ(r.tmDateTimeOriginal, kStamp);
}
