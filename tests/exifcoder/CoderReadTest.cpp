// The coder's read operations over real JPEG files whose EXIF blocks Exiv2 wrote (both byte
// orders, with and without thumbnails). Checked: the outcome codes, the segment walk (which APP1
// counts, frame headers, fill bytes), the picture size, the quick read's subset and the listing
// of a whole photo against a golden text. Damaged photos are the fuzz target's
// (fuzz_coder_read), whose seeds include these photos.
#include <gtest/gtest.h>

#include <iterator>

#include "exifcoder/CoderTestUtil.h"
#include "exifcoder/SjisText.h"
#include "photogeo/ExifIfdCoder.h"
#include "support/ExifTestUtil.h"

using namespace codertest;

namespace {

class ReadTest : public ::testing::Test {
protected:
    // A photo with EXIF, its EXIF segment and the same picture without any EXIF segment.
    void SetUp() override {
        MakePhoto(dir.Path("photo.jpg"));
        photo = ReadFile(dir.Path("photo.jpg"));
        const Segment s = ExifSegment(photo);
        exifSegment = Slice(photo, s.offset, s.length);
        ASSERT_FALSE(exifSegment.empty());
        plain = PlainPhoto();
    }

    TempDir dir;
    Bytes photo, exifSegment, plain;
};

TEST_F(ReadTest, OutcomeCodesAndWhichApp1Counts) {
    CExifIfdCoder coder;
    EXPECT_EQ(coder.m_nStatus, 2);
    EXPECT_EQ(coder.Decoder(dir.Path("missing.jpg").c_str()), 0);
    EXPECT_EQ(coder.m_nStatus, 3);
    EXPECT_EQ(coder.QuickDecoder(dir.Path("missing.jpg").c_str(), 0), 0);
    EXPECT_EQ(coder.m_nStatus, 3);
    EXPECT_EQ(coder.Decoder(nullptr), 0);

    // Only the first APP1 before the frame header counts: EXIF is found behind JFIF APP0 and an
    // APP2, and behind bytes before SOI; an XMP APP1 first hides it, so does an APP1 too short to
    // hold an identifier, and so does a fill pair 0xFF 0xFF before SOI (a marker of its own).
    const Bytes soi = Slice(plain, 0, 2), rest = Tail(plain, 2);
    const size_t frame = FrameOffset(plain);
    const std::pair<Bytes, int> cases[] = {
        {photo, 1},
        {plain, 2},
        {Bytes{'h', 'e', 'l', 'l', 'o', '\n'}, 2},
        {Bytes{}, 2},
        {Concat({soi, Slice(rest, 0, 18), exifSegment, Tail(rest, 18)}), 1},
        {Concat({soi, {0xFF, 0xE1, 0x00, 0x07, 'h', 't', 't', 'p', 0}, exifSegment, rest}), 2},
        {Concat({soi, {0xFF, 0xE1, 0x00, 0x05, 'E', 'x', 'i'}, exifSegment, rest}), 2},
        {Concat({Slice(plain, 0, frame + 30), exifSegment, Tail(plain, frame + 30)}), 2},
        {Concat({Bytes{'j', 'u', 'n', 'k', 0x00}, soi, exifSegment, rest}), 1},
        {Concat({Bytes{'j', 0xFF}, soi, exifSegment, rest}), 2},
    };
    for (size_t i = 0; i < std::size(cases); ++i) {
        WriteFile(dir.Path("t.jpg"), cases[i].first);
        EXPECT_EQ(coder.Decoder(dir.Path("t.jpg").c_str()), 1) << i;
        EXPECT_EQ(coder.m_nStatus, cases[i].second) << i;
    }
}

TEST_F(ReadTest, ReadsKeepTheRecordUntilClearExifEnable) {
    CExifIfdCoder coder;
    ASSERT_EQ(coder.Decoder(dir.Path("photo.jpg").c_str()), 1);
    WriteFile(dir.Path("plain.jpg"), plain);
    ASSERT_EQ(coder.Decoder(dir.Path("plain.jpg").c_str()), 1);
    EXPECT_EQ(coder.m_nStatus, 2);
    EXPECT_EQ(coder.m_Property.bMake, 1);
    coder.ClearExifEnable();
    const int* flags = &coder.m_Property.bImageDescription;
    for (int i = 0; i < EXIF_PROPERTY_FLAG_COUNT; ++i) EXPECT_EQ(flags[i], 0) << i;
    EXPECT_EQ(coder.m_Property.strMake, "Testmaker");
    EXPECT_DOUBLE_EQ(coder.m_Property.dGPSAltitude, 40.0);
}

TEST_F(ReadTest, PictureSizeFromTheFirstFrameHeader) {
    // Baseline; progressive (SOF2, the DHT segments before it skipped); the EXIF photo (the
    // frame behind its EXIF segment); no frame header, and a file cut inside it: size unchanged.
    const struct {
        Bytes file;
        int width, height;
    } cases[] = {{ReadFile(PHOTOGEO_TEST_DATA "/exifcoder/plain-640x480.jpg"), 640, 480},
                 {ReadFile(PHOTOGEO_TEST_DATA "/../../samples/lake-progressive.jpg"), 160, 120},
                 {photo, 64, 48},
                 {Slice(plain, 0, FrameOffset(plain)), 7, 7},
                 {Slice(plain, 0, FrameOffset(plain) + 6), 7, 7}};
    CExifIfdCoder coder;
    for (const auto& c : cases) {
        WriteFile(dir.Path("t.jpg"), c.file);
        int width = 7, height = 7;
        EXPECT_EQ(coder.GetJPEGInfo(dir.Path("t.jpg").c_str(), width, height), 1);
        EXPECT_EQ(width, c.width);
        EXPECT_EQ(height, c.height);
    }
    int width = 0, height = 0;
    EXPECT_EQ(coder.GetJPEGInfo(dir.Path("missing.jpg").c_str(), width, height), 0);
}

// The whole record, as listed, in either byte order (the values' exactness and the thumbnail are
// the EXIF reader tests'), and what the quick read takes.
TEST_F(ReadTest, ListingOfAWholePhotoMatchesTheGoldenText) {
    for (bool bigEndian : {false, true}) {
        MakePhoto(dir.Path("g.jpg"), bigEndian, true);
        CExifIfdCoder coder;
        ASSERT_EQ(coder.Decoder(dir.Path("g.jpg").c_str()), 1);
        ASSERT_EQ(coder.m_nStatus, 1);
        const std::string listing = Listing(coder);
        EXPECT_EQ(listing, exiftest::Golden("exifcoder/listing-photo.txt", listing));
        EXPECT_EQ(coder.m_Exif.m_bIntel, bigEndian ? 0 : 1);
        // The quick read (its subset is the EXIF reader tests'): the option is its thumbnail
        // switch.
        CExifIfdCoder quick;
        ASSERT_EQ(quick.QuickDecoder(dir.Path("g.jpg").c_str(), 0), 1);
        EXPECT_EQ(quick.m_Property.bGPSPosition * 10 + quick.m_Property.bMake, 10);
        EXPECT_EQ(quick.m_Exif.m_nThumbCompression, -1);
        ASSERT_EQ(quick.QuickDecoder(dir.Path("g.jpg").c_str(), 1), 1);
        EXPECT_EQ(quick.m_Exif.m_nThumbCompression, 6);
    }
}

}  // namespace
