// Hostile but well-formed photograph files for the coder: header segments and old EXIF segments
// by the thousand, and megabytes of stray bytes before SOI and between segments. Reading,
// copying and patching must each end at once (CTest's timeout catches a hang) and keep every
// byte that is not an old EXIF segment.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "exifcoder/CoderTestUtil.h"
#include "photogeo/ExifIfdCoder.h"

using namespace codertest;

namespace {

// The photo split around its EXIF segment (MakePhoto writes one, after SOI and JFIF).
struct SplitPhoto {
    Bytes head;
    Bytes exif;
    Bytes rest;
};

SplitPhoto Split(const Bytes& photo) {
    SplitPhoto s;
    for (const Segment& segment : HeaderSegments(photo)) {
        if (segment.marker != 0xE1) continue;
        const auto at = photo.begin() + static_cast<long>(segment.offset);
        s.head.assign(photo.begin(), at);
        s.exif.assign(at, at + static_cast<long>(segment.length));
        s.rest.assign(at + static_cast<long>(segment.length), photo.end());
        break;
    }
    EXPECT_FALSE(s.exif.empty());
    return s;
}

Bytes Concat(std::initializer_list<const Bytes*> parts) {
    Bytes out;
    for (const Bytes* p : parts) out.insert(out.end(), p->begin(), p->end());
    return out;
}

}  // namespace

TEST(CoderHostile, SegmentsAndOldExifSegmentsByTheThousand) {
    TempDir dir;
    MakePhoto(dir.Path("photo.jpg"), PhotoRecipe());
    const SplitPhoto photo = Split(ReadFile(dir.Path("photo.jpg")));

    // 5000 APP2 segments and 2000 further copies of the EXIF segment between the first EXIF
    // segment and the rest of the header.
    Bytes others;
    for (int i = 0; i < 5000; ++i) {
        const Bytes app2 = {0xFF,
                            0xE2,
                            0x00,
                            0x05,
                            static_cast<unsigned char>(i),
                            static_cast<unsigned char>(i >> 8),
                            0x42};
        others.insert(others.end(), app2.begin(), app2.end());
    }
    Bytes old_exif;
    for (int i = 0; i < 2000; ++i)
        old_exif.insert(old_exif.end(), photo.exif.begin(), photo.exif.end());
    const Bytes in = Concat({&photo.head, &photo.exif, &others, &old_exif, &photo.rest});
    WriteFile(dir.Path("in.jpg"), in);

    CExifIfdCoder coder;
    ASSERT_EQ(coder.Decoder(dir.Path("in.jpg").c_str()), 1);
    EXPECT_EQ(coder.m_nStatus, 1);
    ASSERT_EQ(coder.Coder(dir.Path("in.jpg").c_str(), dir.Path("out.jpg").c_str(), 0, 1), 1);

    // One new EXIF segment right after SOI, then JFIF and the APP2 segments, then the rest
    // unchanged.
    const Bytes out = ReadFile(dir.Path("out.jpg"));
    const std::vector<Segment> segments = HeaderSegments(out);
    ASSERT_GE(segments.size(), 3u);
    EXPECT_EQ(segments[1].marker, 0xE1);
    const Bytes jfif(photo.head.begin() + 2, photo.head.end());
    const Bytes kept = Concat({&jfif, &others, &photo.rest});
    const size_t after_exif = segments[1].offset + segments[1].length;
    ASSERT_EQ(out.size(), after_exif + kept.size());
    EXPECT_EQ(std::memcmp(out.data() + after_exif, kept.data(), kept.size()), 0);

    // The patch in place changes the first EXIF segment only and keeps the length.
    ASSERT_EQ(coder.OverwriteGPS(dir.Path("in.jpg").c_str()), 1);
    const Bytes patched = ReadFile(dir.Path("in.jpg"));
    ASSERT_EQ(patched.size(), in.size());
    const size_t first_exif_end = photo.head.size() + photo.exif.size();
    EXPECT_EQ(std::memcmp(patched.data() + first_exif_end, in.data() + first_exif_end,
                          in.size() - first_exif_end),
              0);
}

TEST(CoderHostile, MegabytesOfStrayBytesAreKeptByteForByte) {
    TempDir dir;
    MakePhoto(dir.Path("photo.jpg"), PhotoRecipe());
    const SplitPhoto photo = Split(ReadFile(dir.Path("photo.jpg")));
    const Bytes before(2 << 20, 'x');
    const Bytes between(2 << 20, 'y');
    const Bytes in = Concat({&before, &photo.head, &photo.exif, &between, &photo.rest});
    WriteFile(dir.Path("in.jpg"), in);

    CExifIfdCoder coder;
    int width = 0;
    int height = 0;
    ASSERT_EQ(coder.GetJPEGInfo(dir.Path("in.jpg").c_str(), width, height), 1);
    EXPECT_EQ(width, PhotoRecipe().width);
    EXPECT_EQ(height, PhotoRecipe().height);
    ASSERT_EQ(coder.Decoder(dir.Path("in.jpg").c_str()), 1);
    EXPECT_EQ(coder.m_nStatus, 1);
    ASSERT_EQ(coder.Coder(dir.Path("in.jpg").c_str(), dir.Path("out.jpg").c_str(), 0, 1), 1);

    // Stray bytes before SOI and after the new EXIF segment are copied as they were.
    const Bytes out = ReadFile(dir.Path("out.jpg"));
    ASSERT_GT(out.size(), before.size() + 6);
    EXPECT_EQ(std::memcmp(out.data(), before.data(), before.size()), 0);
    const size_t exif_at = before.size() + 2;
    ASSERT_EQ(out[exif_at], 0xFF);
    ASSERT_EQ(out[exif_at + 1], 0xE1);
    const size_t after_exif = exif_at + 2 + (out[exif_at + 2] << 8 | out[exif_at + 3]);
    const Bytes jfif(photo.head.begin() + 2, photo.head.end());
    const Bytes kept = Concat({&jfif, &between, &photo.rest});
    ASSERT_EQ(out.size(), after_exif + kept.size());
    EXPECT_EQ(std::memcmp(out.data() + after_exif, kept.data(), kept.size()), 0);

    ASSERT_EQ(coder.OverwriteGPS(dir.Path("in.jpg").c_str()), 1);
    EXPECT_EQ(ReadFile(dir.Path("in.jpg")).size(), in.size());
}
