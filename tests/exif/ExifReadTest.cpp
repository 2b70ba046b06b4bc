// The full and the quick EXIF reader: the sample block in both byte orders against the golden
// record and table, the directory, text, GPS and thumbnail edge cases on blocks made by the
// test builder, and the entry table's deletion marks and deep copies; what the in-place
// OverwriteGPS leaves alone (values that do not fit; the coder's write tests check the patch
// of a whole photo byte by byte).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "support/ExifTestUtil.h"

using namespace exiftest;

namespace {

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

// Records read from blocks made by the builder, each dumped (byte order, then DumpRecord) and
// compared with tests/data/exif/reader-records.txt, reviewed against the rules: an unknown
// byte-order mark is read big-endian and an IFD0 offset below 8 means 8; a GPS directory that
// ends the buffer without its next-directory field; values with more elements than the record's
// field keep what fits (the map datum, over a record of 'x', NUL-terminated at 79); the
// copyright forms; a date of NULs is no date; UserComment by its code (JIS and UNICODE to
// Shift-JIS: "日本" is 93 FA 96 7B, U+3042 82 A0, U+20AC and an emoji each one "?", UNICODE
// little-endian whatever the block's order; ASCII up to its NUL; an undefined or unknown code
// read as ASCII; a value shorter than its code absent); a latitude without reference or
// longitude, the altitude below and above the sea; a GPS pointer of 0 is kept but walks nothing;
// the quick reader clears no flag, the full reader keeps the others but clears the GPS ones;
// no thumbnail from strips that run out (form 0), a byte-count table shorter than the offsets
// (1), samples other than 3 (2), a compression other than 1 and 6 (3), JPEG lengths of 0,
// beyond the block, or beyond 2 MiB within it (4-6); a JPEG of exactly 2 MiB is taken (7), so
// are complete RGB strips (8).
TEST(Reader, RecordsOfBuiltBlocksMatchTheGoldenText) {
    std::string text;
    auto add = [&](const std::string& name, const Bytes& block, SExifProperty r = {},
                   bool quick = false) {
        CExif exif;
        ReadBlock(exif, block, r, quick);
        text += "== " + name + ", " + (exif.m_bIntel ? "II" : "MM") + ", GPS entry " +
                std::to_string(exif.m_nGPSEntry) + ", thumbnail " +
                std::to_string(exif.m_nThumbCompression) + " " + std::to_string(exif.m_nThumbSize) +
                (exif.m_pThumbData ? " bytes" : "") + "\n";
        for (const unsigned char ch : DumpRecord(r)) {
            char hex[8];
            std::snprintf(hex, sizeof hex, ch < 0x80 ? "%c" : "\\x%02x", ch);
            text += hex;
        }
        return r;
    };
    TiffBuilder be(false);
    be.Short(be.Ifd0(), 274, {3});
    Bytes block = be.Build();
    block[0] = 'X';
    block[1] = 'Y';
    for (uint8_t low : {0, 4}) {
        block[7] = low;
        add("unknown mark, IFD0 offset " + std::to_string(low), block);
    }
    TiffBuilder b(true);
    const int gps = b.AddDir(false);
    b.Pointer(b.Ifd0(), 34853, gps);
    b.Ascii(b.Ifd0(), 305, "ab");
    b.Ascii(gps, 1, "S");
    block = b.Build();
    add("GPS directory without its next field", Bytes(block.begin(), block.end() - 4));
    TiffBuilder c(true);
    const int g = c.AddDir(false);
    c.Rational(c.Ifd0(), 282, {{1, 2}, {3, 4}, {5, 6}});
    c.Rational(c.Ifd0(), 318, {{1, 1}, {2, 1}, {3, 1}, {4, 1}});
    c.Pointer(c.Ifd0(), 34853, g);
    c.Ascii(g, 18, std::string(120, 'D'));
    c.Rational(g, 7, {{1, 1}, {2, 1}, {3, 1}, {4, 1}, {5, 1}});
    SExifProperty big{};
    std::memset(big.szGPSMapDatum, 'x', sizeof big.szGPSMapDatum);
    add("counts beyond the fields", c.Build(), big);
    for (const std::string& bytes : {std::string(" \0", 2), std::string("ab\0cd\0", 6),
                                     std::string(" \0Ed\0", 5), std::string("Long name\0", 10)}) {
        TiffBuilder t(true);
        t.Raw(t.Ifd0(), 33432, 2, static_cast<uint32_t>(bytes.size()),
              Bytes(bytes.begin(), bytes.end()));
        const SExifProperty r = add("copyright", t.Build());
        text += "'" + r.strCopyrightPhotographer.str() + "' '" + r.strCopyrightEditor.str() + "'\n";
    }
    auto exifItem = [](int tag, int type, const Bytes& value) {
        TiffBuilder t(false);
        const int exif = t.AddDir(false);
        t.Pointer(t.Ifd0(), 34665, exif);
        t.Raw(exif, tag, type, static_cast<uint32_t>(value.size()), value);
        t.Ascii(exif, 36868, "2007:05:06 07:08:09");
        return t.Build();
    };
    add("date of NULs", exifItem(36867, 2, Bytes(20, 0)));
    const std::pair<std::string, Bytes> comments[] = {
        {std::string("JIS\0\0\0\0\0", 8), {0x1B, '$', 'B', 'F', '|', 'K', '\\', 0x1B, '(', 'B'}},
        {std::string("UNICODE\0", 8),
         {'a', 0, 0x42, 0x30, 0xAC, 0x20, 0x3D, 0xD8, 0x00, 0xDE, 'z', 0, 0, 0, 'x', 0}},
        {std::string("ASCII\0\0\0", 8), {'h', 'i', 0, 'x'}},
        {std::string(8, '\0'), {'o', 'k'}},
        {std::string("OTHER\0\0\0", 8), {'o', 'k'}},
        {std::string("ASCII\0\0\0", 8), {}},
        {std::string("ASCII\0", 6), {}}};
    for (const auto& [code, value] : comments) {
        Bytes v(code.begin(), code.end());
        v.insert(v.end(), value.begin(), value.end());
        add("comment " + code.substr(0, code.find('\0')), exifItem(37510, 7, v));
    }
    for (uint8_t ref : {0, 1}) {
        TiffBuilder t(true);
        const int gps = t.AddDir(false);
        t.Pointer(t.Ifd0(), 34853, gps);
        t.Rational(gps, 2, {{10, 1}, {30, 1}, {0, 1}});
        t.Byte(gps, 5, {ref});
        t.Rational(gps, 6, {{12345, 100}});
        add("latitude alone, altitude reference " + std::to_string(ref), t.Build());
    }
    TiffBuilder zero(true);
    zero.Long(zero.Ifd0(), 34853, {0});
    add("GPS pointer 0", zero.Build());
    SExifProperty preset{};
    preset.bMake = 1;
    preset.strMake = "kept";
    preset.bGPS = preset.bGPSPosition = preset.bGPSAltitude = preset.bGPSMapDatum = 1;
    preset.bGPSImgDirection = preset.bGPSImgDirectionRef = 1;
    std::strcpy(preset.szGPSMapDatum, "TOKYO");
    TiffBuilder plain(true);
    plain.Short(plain.Ifd0(), 274, {1});
    add("quick read over a filled record", plain.Build(), preset, true);
    EXPECT_EQ(add("full read over a filled record", plain.Build(), preset).szGPSMapDatum[0], 0);
    constexpr uint32_t k2MiB = 0x200000;
    for (int form = 0; form < 9; ++form) {
        TiffBuilder t(true);
        t.Short(t.Ifd0(), 274, {1});
        const int ifd1 = t.Ifd1();
        if (form < 3 || form == 8) {
            const Bytes second = form == 0 ? Bytes{7, 8, 9} : Bytes{7, 8, 9, 10, 11, 12};
            t.Short(ifd1, 256, {2});
            t.Short(ifd1, 257, {2});
            t.Short(ifd1, 258,
                    form == 2 ? std::vector<uint16_t>{8} : std::vector<uint16_t>{8, 8, 8});
            t.Short(ifd1, 259, {1});
            t.BlobOffsets(ifd1, 273, {t.Blob({1, 2, 3, 4, 5, 6}), t.Blob(second)});
            const uint32_t counts[] = {6, static_cast<uint32_t>(second.size())};
            t.Long(ifd1, 279, std::vector<uint32_t>(counts, counts + (form == 1 ? 1 : 2)));
        } else if (form == 3) {
            t.Short(ifd1, 259, {5});
        } else {
            t.Short(ifd1, 259, {6});
            t.BlobOffsets(ifd1, 513, {t.Blob(Bytes(k2MiB + 1, 0xD8))});
            const uint32_t length[] = {0, k2MiB + 100, k2MiB + 1, k2MiB};
            t.Long(ifd1, 514, {length[form - 4]});
        }
        add("thumbnail form " + std::to_string(form), t.Build());
    }
    EXPECT_EQ(text, Golden("exif/reader-records.txt", text));

    // A third main directory is stored as deleted.
    TiffBuilder t(true);
    t.Short(t.Ifd0(), 274, {1});
    t.Short(t.Ifd1(), 259, {6});
    t.Short(t.Main(2), 0x1234, {7});
    CExif third;
    SExifProperty r{};
    ASSERT_TRUE(ReadBlock(third, t.Build(), r));
    ASSERT_EQ(third.m_aEntry.size(), 3u);
    EXPECT_EQ(third.m_aEntry[2].nParent, DIR_DELETED);
    EXPECT_EQ(third.m_aEntry[2].nTag, 0x1234);
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
