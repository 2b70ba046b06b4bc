// The segments of a copied photo: every old EXIF segment goes, everything else keeps its bytes
// and order behind SOI and the new EXIF segment, also with header segments and old EXIF segments
// by the thousand, megabytes of stray bytes before SOI and between segments, an XMP body full
// of 0xFF, and a file cut after its header segments. Reading, copying and patching must each
// end at once (CTest's timeout catches a hang).
#include <gtest/gtest.h>

#include "exifcoder/CoderTestUtil.h"
#include "photogeo/ExifIfdCoder.h"

using namespace codertest;

TEST(CoderSegments, OldExifGoesTheRestStaysWhateverTheFileHolds) {
    TempDir dir;
    MakePhoto(dir.Path("photo.jpg"));
    const Bytes photo = ReadFile(dir.Path("photo.jpg"));
    const Segment exif = ExifSegment(photo);  // after SOI and JFIF
    const Bytes head = Slice(photo, 0, exif.offset), jfif = Slice(head, 2, head.size() - 2);
    const Bytes exifSegment = Slice(photo, exif.offset, exif.length);
    const Bytes rest = Tail(photo, exif.offset + exif.length);
    // 5000 APP2 segments and 2000 more copies of the EXIF segment after the first one; or
    // 2 MiB of stray bytes before SOI and 2 MiB after the EXIF segment.
    Bytes app2s, oldExif;
    for (int i = 0; i < 5000; ++i)
        app2s.insert(app2s.end(), {0xFF, 0xE2, 0x00, 0x05, static_cast<unsigned char>(i),
                                   static_cast<unsigned char>(i >> 8), 0x42});
    for (int i = 0; i < 2000; ++i)
        oldExif.insert(oldExif.end(), exifSegment.begin(), exifSegment.end());
    const Bytes before(2 << 20, 'x'), between(2 << 20, 'y');
    // An XMP APP1 whose body holds marker-like 0xFF bytes between an APP2 and a second EXIF
    // segment; and the same photo cut right after the XMP segment.
    const Bytes xmp = {0xFF, 0xE1, 0x00, 0x0E, 'h',  't',  't',  'p',
                       0,    0xFF, 0xD9, 0xFF, 0xE1, 0x00, 0xFF, 0xC0};
    const Bytes app2 = {0xFF, 0xE2, 0x00, 0x04, 0xAB, 0xCD};
    const Bytes mixed = Concat({jfif, app2, xmp});
    const struct {
        Bytes in, lead, kept;
    } cases[] = {
        {Concat({head, exifSegment, app2s, oldExif, rest}), {}, Concat({jfif, app2s, rest})},
        {Concat({before, head, exifSegment, between, rest}), before, Concat({jfif, between, rest})},
        {Concat({head, exifSegment, app2, xmp, exifSegment, rest}), {}, Concat({mixed, rest})},
        {Concat({head, exifSegment, app2, xmp}), {}, mixed},
    };
    for (const auto& c : cases) {
        WriteFile(dir.Path("in.jpg"), c.in);
        CExifIfdCoder coder;
        int width = 0, height = 0;
        ASSERT_EQ(coder.GetJPEGInfo(dir.Path("in.jpg").c_str(), width, height), 1);
        // The size is left alone when the frame header is missing, as in the cut file.
        EXPECT_EQ(width * 1000 + height, c.kept == mixed ? 0 : kPhotoWidth * 1000 + kPhotoHeight);
        ASSERT_EQ(coder.Decoder(dir.Path("in.jpg").c_str()), 1);
        EXPECT_EQ(coder.m_nStatus, 1);
        ASSERT_EQ(coder.Coder(dir.Path("in.jpg").c_str(), dir.Path("out.jpg").c_str(), 0, 1), 1);
        // The stray bytes, SOI, one new EXIF segment, then everything else unchanged.
        const Bytes out = ReadFile(dir.Path("out.jpg"));
        const size_t at = c.lead.size() + 2;
        ASSERT_GT(out.size(), at + 4);
        EXPECT_EQ(Slice(out, 0, at + 2), Concat({c.lead, {0xFF, 0xD8, 0xFF, 0xE1}}));
        EXPECT_EQ(Tail(out, at + 2 + (out[at + 2] << 8 | out[at + 3])), c.kept);
        // The patch in place keeps the length and changes nothing after the first EXIF segment.
        ASSERT_EQ(coder.OverwriteGPS(dir.Path("in.jpg").c_str()), 1);
        const Bytes patched = ReadFile(dir.Path("in.jpg"));
        const size_t end = c.lead.size() + head.size() + exifSegment.size();
        ASSERT_EQ(patched.size(), c.in.size());
        EXPECT_EQ(Tail(patched, end), Tail(c.in, end));
    }
}
