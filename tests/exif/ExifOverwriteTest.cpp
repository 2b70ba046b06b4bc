// Tests of OverwriteGPS: the block keeps its length, only the patched values and their
// type/count fields change, and values that do not fit are left as the block had them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <map>
#include <set>

#include "exif/ExifTestUtil.h"

using namespace exiftest;

namespace {

const CTime kNow(2020, 6, 7, 8, 9, 10);

struct Located {
    size_t entry = 0;  // offset of the 12-byte entry
    size_t value = 0;  // offset of the value (the value field itself when 4 bytes or fewer)
    size_t size = 0;
};

// Where (directory, tag) sits in a block: directory 0 = IFD0, 1 = Exif, 2 = GPS.
std::map<std::pair<int, int>, Located> Locate(const Bytes& b) {
    const bool intel = b[0] == 'I';
    auto u16 = [&](size_t at) {
        return intel ? b[at] | (b[at + 1] << 8) : (b[at] << 8) | b[at + 1];
    };
    auto u32 = [&](size_t at) {
        return intel ? b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (uint32_t(b[at + 3]) << 24)
                     : (uint32_t(b[at]) << 24) | (b[at + 1] << 16) | (b[at + 2] << 8) | b[at + 3];
    };
    static const int kSize[13] = {0, 1, 1, 2, 4, 8, 1, 1, 2, 4, 8, 4, 8};
    std::map<std::pair<int, int>, Located> out;
    std::function<void(size_t, int)> walk = [&](size_t at, int dir) {
        const int n = u16(at);
        for (int i = 0; i < n; ++i) {
            const size_t e = at + 2 + 12 * i;
            const int tag = u16(e), type = u16(e + 2);
            const size_t size = size_t(kSize[type <= 12 ? type : 0]) * u32(e + 4);
            out[{dir, tag}] = {e, size > 4 ? u32(e + 8) : e + 8, size};
            if (dir == 0 && tag == 34665) walk(u32(e + 8), 1);
            if (dir == 0 && tag == 34853) walk(u32(e + 8), 2);
        }
    };
    walk(u32(4), 0);
    return out;
}

// Offsets at which two equally long blocks differ.
std::set<size_t> Diff(const Bytes& a, const Bytes& b) {
    std::set<size_t> d;
    for (size_t i = 0; i < a.size(); ++i)
        if (a[i] != b[i]) d.insert(i);
    return d;
}

bool Within(size_t at, const Located& l) {
    return (at >= l.entry + 2 && at < l.entry + 12) || (at >= l.value && at < l.value + l.size);
}

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
