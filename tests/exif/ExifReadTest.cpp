// The full and the quick EXIF reader: the sample block in both byte orders against the golden
// record and table, the directory, text, GPS and thumbnail edge cases on blocks made by the
// test builder, and the entry table's deletion marks and deep copies; what the in-place
// OverwriteGPS leaves alone (values that do not fit; the coder's write tests check the patch
// of a whole photo byte by byte).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "support/ExifTestUtil.h"

using namespace exiftest;

namespace {

// The record read from a block made by build (a fresh record, all flags 0).
template <class Build>
SExifProperty Read(Build build, CExif* exif = nullptr) {
    TiffBuilder b(true);
    build(b);
    CExif local;
    SExifProperty r{};
    EXPECT_TRUE(ReadBlock(exif ? *exif : local, b.Build(), r));
    return r;
}

const CTime kStamp(2010, 1, 2, 3, 4, 5);

// Reads the block, lets edit change the record, applies it with RewriteData as the coder does
// and patches a copy of the block in place.
template <class Edit>
Bytes Patch(const Bytes& block, Edit edit) {
    CExif exif;
    SExifProperty r{};
    EXPECT_TRUE(ReadBlock(exif, block, r));
    edit(r);
    exif.RewriteData(r, kStamp, "", 0, 1);
    Bytes out = block;
    CInBitStream s(out.data(), static_cast<int>(out.size()));
    exif.OverwriteGPS(&s);
    return out;
}

class ReaderOrder : public ::testing::TestWithParam<bool> {};

}  // namespace

// Every flag but the lens; the table lists the little-endian bytes. The block may also sit
// inside a larger buffer, read from where the stream stands.
TEST_P(ReaderOrder, SampleMatchesTheGoldenRecordsAndTable) {
    const bool intel = GetParam();
    const Bytes block = SampleBlock(intel);
    TestExif exif;
    SExifProperty r{};
    ASSERT_TRUE(ReadBlock(exif, block, r));
    EXPECT_EQ(DumpRecord(r), Golden("exif/sample-record.txt", DumpRecord(r)));
    if (intel) {
        EXPECT_EQ(DumpTable(exif), Golden("exif/sample-table.txt", DumpTable(exif)));
    }
    EXPECT_EQ(exif.m_bIntel, intel ? 1 : 0);
    EXPECT_EQ(exif.GetDirCount(DIR_IFD1), 6);
    EXPECT_EQ(exif.m_aEntry[exif.m_nExifEntry].nTag, 34665);
    EXPECT_EQ(exif.m_aEntry[exif.m_nGPSEntry].nTag, 34853);
    EXPECT_EQ(exif.m_nThumbCompression, 6);
    ASSERT_EQ(exif.m_nThumbSize, static_cast<int>(kSampleThumbnailSize));
    EXPECT_EQ(Bytes(exif.m_pThumbData, exif.m_pThumbData + kSampleThumbnailSize),
              Bytes(block.end() - kSampleThumbnailSize, block.end()));
    EXPECT_EQ(exif.m_pStripOffsets, nullptr);

    Bytes segment = {'E', 'x', 'i', 'f', 0, 0};
    segment.insert(segment.end(), block.begin(), block.end());
    CInBitStream s(segment.data(), static_cast<int>(segment.size()));
    s.SkipByte(6);
    CExif inside;
    SExifProperty r2{};
    inside.ReadExif(&s, static_cast<int>(block.size()), &r2);
    EXPECT_EQ(s.GetPosition(), segment.data() + segment.size());
    EXPECT_EQ(DumpRecord(r2), DumpRecord(r));
    EXPECT_EQ(DumpTable(inside), DumpTable(exif));

    // The quick reader: only its items, the thumbnail only when asked for.
    TestExif q;
    SExifProperty quick{};
    ASSERT_TRUE(ReadBlock(q, block, quick, true, 0));
    EXPECT_EQ(DumpRecord(quick), Golden("exif/sample-quick-record.txt", DumpRecord(quick)));
    EXPECT_EQ(q.m_pThumbData, nullptr);
    EXPECT_EQ(q.m_nThumbCompression, -1);
    EXPECT_EQ(q.m_aEntry.size(), 2u);
    ASSERT_TRUE(ReadBlock(q, block, quick, true, 1));
    EXPECT_EQ(q.m_nThumbSize, static_cast<int>(kSampleThumbnailSize));
}

INSTANTIATE_TEST_SUITE_P(ByteOrder, ReaderOrder, ::testing::Bool());

TEST(Reader, DirectoryShapes) {
    // An unknown mark is read big-endian; an IFD0 offset below 8 means 8.
    TiffBuilder be(false);
    be.Short(be.Ifd0(), 274, {3});
    Bytes block = be.Build();
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
    // A GPS directory that ends the buffer without its next-directory field: IFD0 goes on.
    TiffBuilder b(true);
    const int ifd0 = b.Ifd0(), gps = b.AddDir(false);
    b.Pointer(ifd0, 34853, gps);
    b.Ascii(b.Ifd0(), 305, "ab");
    b.Ascii(gps, 1, "S");
    block = b.Build();
    block.resize(block.size() - 4);
    CExif exif;
    SExifProperty r{};
    ASSERT_TRUE(ReadBlock(exif, block, r));
    EXPECT_EQ(r.strSoftware, "ab");
    EXPECT_EQ(r.bGPS, 1);
    // A third main directory is stored as deleted.
    TestExif third;
    Read(
        [](TiffBuilder& t) {
            t.Short(t.Ifd0(), 274, {1});
            t.Short(t.Ifd1(), 259, {6});
            t.Short(t.Main(2), 0x1234, {7});
        },
        &third);
    ASSERT_EQ(third.m_aEntry.size(), 3u);
    EXPECT_EQ(third.m_aEntry[2].nParent, DIR_DELETED);
    EXPECT_EQ(third.m_aEntry[2].nTag, 0x1234);
    // Counts larger than the record's field store what fits.
    SExifProperty big{};
    std::memset(big.szGPSMapDatum, 'x', sizeof big.szGPSMapDatum);
    TiffBuilder c(true);
    const int g = c.AddDir(false);
    c.Rational(c.Ifd0(), 282, {{1, 2}, {3, 4}, {5, 6}});
    c.Rational(c.Ifd0(), 318, {{1, 1}, {2, 1}, {3, 1}, {4, 1}});
    c.Pointer(c.Ifd0(), 34853, g);
    c.Ascii(g, 18, std::string(120, 'D'));
    c.Rational(g, 7, {{1, 1}, {2, 1}, {3, 1}, {4, 1}, {5, 1}});
    CExif fresh;
    ASSERT_TRUE(ReadBlock(fresh, c.Build(), big));
    EXPECT_EQ(big.rXResolution.nDenominator, 2);
    EXPECT_EQ(big.rWhitePoint[1].nNumerator, 2);
    EXPECT_EQ(big.rGPSTimeStamp[2].nNumerator, 3);
    EXPECT_EQ(std::strlen(big.szGPSMapDatum), 79u);
}

TEST(Reader, CopyrightDatesAndComments) {
    const struct {
        std::string bytes;
        int photographer, editor;
        const char* p;
        const char* e;
    } copyrights[] = {
        {std::string(" \0", 2), 0, 0, " ", ""},
        {std::string("ab\0cd\0", 6), 1, 1, "ab", "cd"},
        {std::string(" \0Ed\0", 5), 0, 1, " ", "Ed"},
        {std::string("Long name only\0", 15), 1, 0, "Long name only", ""},
    };
    for (const auto& c : copyrights) {
        SExifProperty r = Read([&](TiffBuilder& b) {
            b.Raw(b.Ifd0(), 33432, 2, static_cast<uint32_t>(c.bytes.size()),
                  Bytes(c.bytes.begin(), c.bytes.end()));
        });
        EXPECT_EQ(r.bCopyrightPhotographer * 10 + r.bCopyrightEditor,
                  c.photographer * 10 + c.editor)
            << c.p;
        EXPECT_EQ(r.strCopyrightPhotographer, c.p);
        EXPECT_EQ(r.strCopyrightEditor, c.e);
    }
    // A date of NULs is no date.
    SExifProperty d = Read([](TiffBuilder& b) {
        const int exif = b.AddDir(false);
        b.Pointer(b.Ifd0(), 34665, exif);
        b.Raw(exif, 36867, 2, 20, Bytes(20, 0));
        b.Ascii(exif, 36868, "2007:05:06 07:08:09");
    });
    EXPECT_EQ(d.bDateTimeOriginal, 0);
    EXPECT_EQ(d.tmDateTimeDigitized.Format("%Y-%m-%d %H:%M:%S"), "2007-05-06 07:08:09");

    auto comment = [](const Bytes& value) {
        SExifProperty r = Read([&](TiffBuilder& b) {
            const int exif = b.AddDir(false);
            b.Pointer(b.Ifd0(), 34665, exif);
            b.Undefined(exif, 37510, value);
        });
        return r.bUserComment ? r.strUserComment.str() : std::string("<absent>");
    };
    auto code = [](const char(&c8)[9], const Bytes& text) {
        Bytes v(c8, c8 + 8);
        v.insert(v.end(), text.begin(), text.end());
        return v;
    };
    // JIS: ESC $ B "F|K\" ESC ( B is "日本" (0x93FA 0x967B in Shift-JIS).
    EXPECT_EQ(comment(code("JIS\0\0\0\0\0", {0x1B, '$', 'B', 'F', '|', 'K', '\\', 0x1B, '(', 'B'})),
              "\x93\xfa\x96\x7b");
    // UNICODE: little-endian units whatever the block's order; U+20AC has no Shift-JIS form
    // and an emoji (a surrogate pair) neither: each becomes one "?".
    EXPECT_EQ(comment(code("UNICODE\0", {'a', 0, 0x42, 0x30, 0xAC, 0x20, 0x3D, 0xD8, 0x00, 0xDE,
                                         'z', 0, 0, 0, 'x', 0})),
              "a\x82\xa0??z");
    EXPECT_EQ(comment(code("ASCII\0\0\0", {'h', 'i', 0, 'x'})), "hi");
    EXPECT_EQ(comment(code("\0\0\0\0\0\0\0\0", {'o', 'k'})), "ok");
    EXPECT_EQ(comment(code("OTHER\0\0\0", {'o', 'k'})), "ok");
    EXPECT_EQ(comment(code("ASCII\0\0\0", {})), "");
    EXPECT_EQ(comment(Bytes{'A', 'S', 'C', 'I', 'I', 0}), "<absent>");  // shorter than its code
}

TEST(Reader, GpsFormsAndFlags) {
    // A pointer whose offset is 0 is kept but walks nothing.
    CExif pointer;
    EXPECT_EQ(Read([](TiffBuilder& b) { b.Long(b.Ifd0(), 34853, {0}); }, &pointer).bGPS, 0);
    EXPECT_EQ(pointer.m_nGPSEntry, 0);
    // A latitude without reference or longitude, the altitude below and above sea level.
    for (uint8_t ref : {0, 1}) {
        SExifProperty r = Read([&](TiffBuilder& b) {
            const int gps = b.AddDir(false);
            b.Pointer(b.Ifd0(), 34853, gps);
            b.Rational(gps, 2, {{10, 1}, {30, 1}, {0, 1}});
            b.Byte(gps, 5, {ref});
            b.Rational(gps, 6, {{12345, 100}});
        });
        EXPECT_EQ(r.bGPSPosition, 1);
        EXPECT_DOUBLE_EQ(r.dGPSLatitude, 10.5);
        EXPECT_DOUBLE_EQ(r.dGPSLongitude, 0.0);
        EXPECT_DOUBLE_EQ(r.dGPSAltitude, ref ? -123.45 : 123.45);
    }
    // The full reader keeps other flags but clears the GPS ones; the quick reader clears none.
    TiffBuilder b(true);
    b.Short(b.Ifd0(), 274, {1});
    CExif exif;
    SExifProperty r{};
    r.bMake = 1;
    r.strMake = "kept";
    r.bGPS = r.bGPSPosition = r.bGPSAltitude = r.bGPSMapDatum = r.bGPSImgDirection = 1;
    r.bGPSImgDirectionRef = 1;
    std::strcpy(r.szGPSMapDatum, "TOKYO");
    ASSERT_TRUE(ReadBlock(exif, b.Build(), r, true));
    EXPECT_EQ(r.bGPS, 1);
    EXPECT_STREQ(r.szGPSMapDatum, "TOKYO");
    ASSERT_TRUE(ReadBlock(exif, b.Build(), r));
    EXPECT_EQ(r.strMake, "kept");
    EXPECT_EQ(r.bGPS + r.bGPSPosition + r.bGPSAltitude + r.bGPSMapDatum + r.bGPSImgDirection, 0);
    EXPECT_EQ(r.bGPSImgDirectionRef, 1);
    EXPECT_EQ(r.szGPSMapDatum[0], 0);
}

TEST(Reader, ThumbnailForms) {
    // Strips that run out, a byte-count table shorter than the offsets, samples other than 3,
    // a compression other than 1 and 6, and JPEG lengths of 0, beyond the block, or beyond
    // 2 MiB within it; a JPEG of exactly 2 MiB is taken.
    constexpr uint32_t k2MiB = 0x200000;
    auto read = [&](int variant, CExif& exif) {
        return Read(
            [&](TiffBuilder& b) {
                b.Short(b.Ifd0(), 274, {1});
                const int ifd1 = b.Ifd1();
                if (variant < 3) {
                    b.Short(ifd1, 256, {2});
                    b.Short(ifd1, 257, {2});
                    b.Short(
                        ifd1, 258,
                        variant == 2 ? std::vector<uint16_t>{8} : std::vector<uint16_t>{8, 8, 8});
                    b.Short(ifd1, 259, {1});
                    b.BlobOffsets(ifd1, 273, {b.Blob({1, 2, 3, 4, 5, 6}), b.Blob({7, 8, 9})});
                    b.Long(ifd1, 279,
                           variant == 1 ? std::vector<uint32_t>{6} : std::vector<uint32_t>{6, 3});
                } else if (variant == 3) {
                    b.Short(ifd1, 259, {5});
                } else {
                    b.Short(ifd1, 259, {6});
                    b.BlobOffsets(ifd1, 513, {b.Blob(Bytes(k2MiB + 1, 0xD8))});
                    const uint32_t len[] = {0, k2MiB + 100, k2MiB + 1, k2MiB};
                    b.Long(ifd1, 514, {len[variant - 4]});
                }
            },
            &exif);
    };
    for (int variant = 0; variant < 7; ++variant) {
        CExif exif;
        read(variant, exif);
        EXPECT_EQ(exif.m_nThumbCompression, -1) << variant;
        EXPECT_EQ(exif.m_pThumbData, nullptr) << variant;
        EXPECT_EQ(exif.m_nThumbSize, 0) << variant;
    }
    CExif largest;
    read(7, largest);
    EXPECT_EQ(largest.m_nThumbSize, static_cast<int>(k2MiB));
    ASSERT_NE(largest.m_pThumbData, nullptr);
}

TEST(Directory, DeletionMarksAndDeepCopies) {
    TestExif e;
    unsigned char v[4] = {1, 2, 3, 4};
    e.AddDirect(DIR_IFD0, 270, 2, 4, v);
    e.AddDirect(DIR_IFD0, 270, 2, 4, v);
    const int before = e.GetTotalSize();
    // The lowest index goes first; the table keeps its slots and its size.
    e.DeleteTag(DIR_IFD0, 270);
    EXPECT_EQ(e.m_aEntry[0].nParent, DIR_DELETED);
    EXPECT_EQ(e.m_aEntry[0].pData, nullptr);
    EXPECT_EQ(e.GetTag(DIR_IFD0, 270), 1);
    e.DeleteTag(DIR_IFD0, 270);
    e.DeleteTag(DIR_IFD0, 270);
    EXPECT_EQ(e.GetTag(DIR_IFD0, 270), -1);
    EXPECT_EQ(e.GetTotalSize(), before);
    EXPECT_EQ(e.m_aEntry.size(), 2u);
    // A write is clipped to the entry: the last three bytes of a big-endian number.
    e.m_bIntel = 0;
    const int six = e.AddDirect(DIR_IFD0, 1, 3, 3, nullptr);
    e.SetDirEntry(0x11223344, six, 3, 4);
    EXPECT_EQ(Bytes(e.m_aEntry[six].pData, e.m_aEntry[six].pData + 6),
              (Bytes{0, 0, 0, 0x22, 0x33, 0x44}));

    CExif a;
    SExifProperty r{};
    ASSERT_TRUE(ReadBlock(a, SampleBlock(true), r));
    CExif b;
    b = a;
    const std::string table = DumpTable(a);
    EXPECT_NE(a.m_aEntry[0].pData, b.m_aEntry[0].pData);
    ASSERT_NE(b.m_pThumbData, nullptr);
    EXPECT_NE(a.m_pThumbData, b.m_pThumbData);
    EXPECT_EQ(0, std::memcmp(a.m_pThumbData, b.m_pThumbData, a.m_nThumbSize));
    a.RemoveAll();
    EXPECT_TRUE(a.m_aEntry.empty());
    EXPECT_EQ(DumpTable(b), table);
    EXPECT_EQ(DumpTable(CExif(b)), table);
}

TEST(Overwrite, OnlyWhatFits) {
    // A longer title is refused; a shorter one lands over the old bytes, which remain behind.
    const Bytes block = SampleBlock(true);  // title "Mt. Fuji from the lake", count 23
    const Located before = Locate(block).at({0, 270});
    const Bytes longer = Patch(
        block, [](SExifProperty& p) { p.strImageDescription = "A title far longer than before"; });
    EXPECT_TRUE(std::equal(block.begin() + before.entry, block.begin() + before.entry + 12,
                           longer.begin() + before.entry));
    EXPECT_TRUE(std::equal(block.begin() + before.value, block.begin() + before.value + 23,
                           longer.begin() + before.value));
    const Bytes shorter = Patch(block, [](SExifProperty& p) { p.strImageDescription = "Lake"; });
    const Located l = Locate(shorter).at({0, 270});
    EXPECT_EQ(l.value, before.value);
    EXPECT_EQ(l.size, 5u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&shorter[l.value]), 6),
              std::string("Lake\0u", 6));

    // A block without GPS gains none.
    TiffBuilder plain(true);
    plain.Ascii(plain.Ifd0(), 271, "MAKERCO");
    const Bytes noGps = plain.Build();
    EXPECT_EQ(Patch(noGps,
                    [](SExifProperty& p) {
                        p.bGPSPosition = 1;
                        p.dGPSLatitude = 1.0;
                    }),
              noGps);

    // The table read from a block whose GPSLatitudeRef has count 2 patches one whose
    // GPSLatitudeRef has count 4: that reference stays, the other lands; a deleted date stays.
    auto build = [](uint32_t refCount) {
        TiffBuilder b(false);
        const int gps = b.AddDir(false), exif = b.AddDir(false);
        b.Pointer(b.Ifd0(), 34665, exif);
        b.Pointer(b.Ifd0(), 34853, gps);
        b.Ascii(exif, 36867, "2007:05:06 07:08:09");
        b.Raw(gps, 1, 2, refCount, {'N', 0, 0, 0});
        b.Ascii(gps, 3, "E");
        b.Rational(gps, 2, {{1, 1}, {0, 1}, {0, 1}});
        b.Rational(gps, 4, {{2, 1}, {0, 1}, {0, 1}});
        return b.Build();
    };
    CExif exif;
    SExifProperty r{};
    ASSERT_TRUE(ReadBlock(exif, build(2), r));
    r.dGPSLatitude = -5.0;
    r.dGPSLongitude = -6.0;
    r.bDateTimeOriginal = 0;
    exif.RewriteData(r, kStamp, "", 0, 1);
    const Bytes target = build(4);
    Bytes out = target;
    CInBitStream s(out.data(), static_cast<int>(out.size()));
    exif.OverwriteGPS(&s);
    const auto at = Locate(target);
    EXPECT_EQ(out[at.at({2, 1}).value], 'N');
    EXPECT_EQ(out[at.at({2, 3}).value], 'W');
    EXPECT_EQ(out[at.at({2, 2}).value + 3], 5);  // big-endian degrees 5/1
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&out[at.at({1, 36867}).value])),
              "2007:05:06 07:08:09");
}
