// Tests of OverwriteGPS: the block keeps its length, only the patched values and their
// type/count fields change, and values that do not fit are left as the block had them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "exif/ExifTestUtil.h"

using namespace exiftest;

namespace {

const CTime kNow(2020, 6, 7, 8, 9, 10);

// Reads the block, applies the record with RewriteData as the coder does, patches a copy.
Bytes Patch(const Bytes& block, SExifProperty& r, void (*edit)(SExifProperty&)) {
    CExif exif;
    EXPECT_TRUE(ReadBlock(exif, block, r));
    edit(r);
    exif.RewriteData(r, kNow, "", 0, 1);
    Bytes out = block;
    CInBitStream s(out.data(), static_cast<int>(out.size()));
    exif.OverwriteGPS(&s);
    return out;
}

class OverwriteOrder : public ::testing::TestWithParam<bool> {};

}  // namespace

TEST_P(OverwriteOrder, NewPositionLandsInPlaceAndNothingElseChanges) {
    SampleOptions o;
    o.bIntel = GetParam();
    const Bytes block = MakeSampleBlock(o);
    SExifProperty r{};
    const Bytes out = Patch(block, r, [](SExifProperty& p) {
        p.dGPSLatitude = -35.5;
        p.dGPSLongitude = 139.25;
        p.dGPSAltitude = 12.7;
        p.dGPSImgDirection = 10.5;
    });
    ASSERT_EQ(out.size(), block.size());
    const auto at = Locate(block);
    for (size_t d : Diff(block, out)) {
        bool allowed = false;
        for (int tag : {1, 2, 3, 4, 5, 6, 16, 17}) allowed |= Within(d, at.at({2, tag}));
        EXPECT_TRUE(allowed) << "byte " << d;
    }
    CExif again;
    SExifProperty back{};
    ASSERT_TRUE(ReadBlock(again, out, back));
    EXPECT_DOUBLE_EQ(back.dGPSLatitude, -35.5);
    EXPECT_DOUBLE_EQ(back.dGPSLongitude, 139.25);
    EXPECT_DOUBLE_EQ(back.dGPSAltitude, 12.0);
    EXPECT_DOUBLE_EQ(back.dGPSImgDirection, 10.5);
    // The sample's direction reference was "M" and stays so.
    EXPECT_EQ(back.szGPSImgDirectionRef[0], 'M');
    // The offsets of the values did not move.
    EXPECT_EQ(Locate(out).at({2, 2}).value, at.at({2, 2}).value);
}

INSTANTIATE_TEST_SUITE_P(ByteOrder, OverwriteOrder, ::testing::Bool());

TEST(Overwrite, TitleFitsOnlyWhenNotLonger) {
    const Bytes block = MakeSampleBlock({});  // title "Mt. Fuji from the lake", count 23
    const Located before = Locate(block).at({0, 270});
    SExifProperty r{};
    const Bytes longer = Patch(block, r, [](SExifProperty& p) {
        p.strImageDescription = "A title far longer than before";
    });
    EXPECT_TRUE(std::equal(block.begin() + before.entry, block.begin() + before.entry + 12,
                           longer.begin() + before.entry));
    EXPECT_TRUE(std::equal(block.begin() + before.value, block.begin() + before.value + 23,
                           longer.begin() + before.value));

    const Bytes shorter = Patch(block, r, [](SExifProperty& p) { p.strImageDescription = "Lake"; });
    const Located l = Locate(shorter).at({0, 270});
    EXPECT_EQ(l.value, before.value);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&shorter[l.value]), 5),
              std::string("Lake", 5));
    EXPECT_EQ(l.size, 5u);
    // The old bytes behind the new text remain.
    EXPECT_EQ(shorter[l.value + 5], 'u');
}

TEST(Overwrite, BlockWithoutGpsGainsNoGps) {
    SampleOptions o;
    o.bGps = false;
    const Bytes block = MakeSampleBlock(o);
    SExifProperty r{};
    const Bytes out = Patch(block, r, [](SExifProperty& p) {
        p.bGPSPosition = 1;
        p.dGPSLatitude = 1.0;
        p.dGPSLongitude = 2.0;
    });
    EXPECT_EQ(out, block);
}

TEST(Overwrite, ReferenceWithAnotherCountAndDeletedDateStay) {
    // The table is read from a block whose GPSLatitudeRef has count 2, and patches one whose
    // GPSLatitudeRef has count 4.
    auto build = [](uint32_t refCount) {
        TiffBuilder b(false);
        const int gps = b.AddDir(false);
        const int exif = b.AddDir(false);
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
    exif.RewriteData(r, kNow, "", 0, 1);
    const Bytes block = build(4);
    Bytes out = block;
    CInBitStream s(out.data(), static_cast<int>(out.size()));
    exif.OverwriteGPS(&s);
    const auto at = Locate(block);
    EXPECT_EQ(out[at.at({2, 1}).value], 'N');
    EXPECT_EQ(out[at.at({2, 3}).value], 'W');
    EXPECT_EQ(out[at.at({2, 2}).value + 3], 5);  // big-endian degrees 5/1
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&out[at.at({1, 36867}).value])),
              "2007:05:06 07:08:09");
}
