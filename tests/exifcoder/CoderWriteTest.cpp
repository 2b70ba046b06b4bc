// The write-back operations over real files, with Exiv2 and ExifTool as independent readers:
// round trips of an edited record, the segment size limit, in-place GPS patches, failures that
// leave the target alone (the file replacement itself is the safe-file tests' business), and
// the HTML pull-up. The segments of a copy are HostileInputTest.cpp's.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <exiv2/exiv2.hpp>
#include <map>
#include <set>

#include "exifcoder/CoderTestUtil.h"
#include "photogeo/ExifIfdCoder.h"
#include "support/ExifTestUtil.h"
#include "support/ExifTool.h"

using namespace codertest;

namespace {

// Whether an in-place patch may change the byte: the type, count and value fields (and the
// value) of the entries of IFD0, Exif and GPS whose tags the patch handles.
bool Patchable(const std::map<std::pair<int, int>, exiftest::Located>& at, size_t byte) {
    static const std::map<int, std::vector<int>> kTags = {
        {0, {270, 33432}}, {1, {36867, 37510}}, {2, {1, 2, 3, 4, 5, 6, 16, 17, 18}}};
    for (const auto& dir : kTags)
        for (int tag : dir.second) {
            auto it = at.find({dir.first, tag});
            if (it != at.end() && exiftest::Within(byte, it->second)) return true;
        }
    return false;
}

class WriteTest : public ::testing::Test {
protected:
    std::string Make(const std::string& name, bool bigEndian = false, bool thumbnail = false) {
        std::string path = dir.Path(name);
        MakePhoto(path, bigEndian, thumbnail);
        return path;
    }
    TempDir dir;
};

TEST_F(WriteTest, EditedRecordRoundTripsThroughOurReaderAndExiv2) {
    for (bool bigEndian : {false, true}) {
        std::string in = Make("in.jpg", bigEndian, true);
        Bytes input = ReadFile(in);
        CExifIfdCoder coder;
        ASSERT_EQ(coder.Decoder(in.c_str()), 1);
        SExifProperty& p = coder.m_Property;
        p.dGPSLongitude = -139.25;
        p.dGPSImgDirection = 359.999;
        p.szGPSImgDirectionRef[0] = 'T';
        std::snprintf(p.szGPSMapDatum, sizeof p.szGPSMapDatum, "TOKYO");
        p.strImageDescription = "New title";
        p.tmDateTimeOriginal = CTime(2010, 5, 6, 7, 8, 9);
        p.bSoftware = 0;  // cleared: the Software entry is deleted
        // The big-endian photo is written over itself.
        const std::string out = bigEndian ? in : dir.Path("out.jpg");
        ASSERT_EQ(coder.Coder(in.c_str(), out.c_str(), 1, 1), 1);

        // Each encoding and layout (GPS rounding, copyright, comment, pixel sizes) is the EXIF
        // writer tests'; here the whole path.
        const auto e = ReadWithExiv2(out);
        EXPECT_EQ(Exiv2Text(e, "Exif.GPSInfo.GPSLongitude"), "139/1 15000/1000 0/1");
        EXPECT_EQ(Exiv2Text(e, "Exif.GPSInfo.GPSImgDirectionRef"), "T");
        EXPECT_EQ(Exiv2Text(e, "Exif.GPSInfo.GPSMapDatum"), "TOKYO");
        EXPECT_EQ(Exiv2Text(e, "Exif.Image.ImageDescription"), "New title");
        EXPECT_EQ(Exiv2Text(e, "Exif.Image.Make"), "Testmaker");
        EXPECT_EQ(Exiv2Text(e, "Exif.Image.Software"), "");
        EXPECT_EQ(Exiv2Text(e, "Exif.Image.DateTime"), "2010:05:06 07:08:09");
        EXPECT_EQ(Exiv2Text(e, "Exif.Photo.DateTimeOriginal"), "2010:05:06 07:08:09");
        EXPECT_EQ(Exiv2Text(e, "Exif.Photo.ExposureTime"), "1/250");
        auto image = Exiv2::ImageFactory::open(out);
        image->readMetadata();
        EXPECT_GT(Exiv2::ExifThumbC(image->exifData()).copy().size_, 0u);

        // Our reader: the byte order and the thumbnail.
        CExifIfdCoder back;
        ASSERT_EQ(back.Decoder(out.c_str()), 1);
        EXPECT_EQ(back.m_Exif.m_bIntel, bigEndian ? 0 : 1);
        EXPECT_EQ(back.m_Exif.m_nThumbSize, coder.m_Exif.m_nThumbSize);
        Bytes output = ReadFile(out);
        EXPECT_EQ(Tail(output, FrameOffset(output)), Tail(input, FrameOffset(input)));
    }
}

TEST_F(WriteTest, ClearedFlagsDeleteTheirEntries) {
    std::string in = Make("in.jpg");
    CExifIfdCoder coder;
    ASSERT_EQ(coder.Decoder(in.c_str()), 1);
    SExifProperty& p = coder.m_Property;
    p.bGPSPosition = p.bGPSMapDatum = p.bImageDescription = p.bUserComment = 0;
    p.bCopyrightPhotographer = p.bDateTimeOriginal = 0;
    p.dGPSImgDirection = 7.5;
    p.szGPSImgDirectionRef[0] = 'M';
    std::string out = dir.Path("out.jpg");
    ASSERT_EQ(coder.Coder(in.c_str(), out.c_str(), 0, 1), 1);
    const auto e = ReadWithExiv2(out);
    for (const char* key :
         {"Exif.GPSInfo.GPSLatitude", "Exif.GPSInfo.GPSLatitudeRef", "Exif.GPSInfo.GPSLongitude",
          "Exif.GPSInfo.GPSLongitudeRef", "Exif.GPSInfo.GPSMapDatum", "Exif.Image.ImageDescription",
          "Exif.Photo.UserComment", "Exif.Image.Copyright", "Exif.Photo.DateTimeOriginal"})
        EXPECT_EQ(Exiv2Text(e, key), "") << key;
    EXPECT_EQ(Exiv2Text(e, "Exif.GPSInfo.GPSVersionID"), "2 2 0 0");
    EXPECT_EQ(Exiv2Text(e, "Exif.GPSInfo.GPSAltitude"), "40/1");
    EXPECT_EQ(Exiv2Text(e, "Exif.GPSInfo.GPSImgDirection"), "750/100");
    EXPECT_EQ(Exiv2Text(e, "Exif.GPSInfo.GPSImgDirectionRef"), "M");

    // Not asked for, GPS stays as it was, cleared flags or not; DateTimeOriginal follows the
    // record.
    ASSERT_EQ(coder.Decoder(in.c_str()), 1);
    coder.m_Property.dGPSLatitude = 1.0;
    coder.m_Property.bGPSPosition = coder.m_Property.bGPSAltitude = 0;
    coder.m_Property.tmDateTimeOriginal = CTime(2010, 5, 6, 7, 8, 9);
    ASSERT_EQ(coder.Coder(in.c_str(), out.c_str(), 0, 0), 1);
    const auto before = ReadWithExiv2(in), after = ReadWithExiv2(out);
    for (const char* key :
         {"Exif.GPSInfo.GPSLatitude", "Exif.GPSInfo.GPSLongitude", "Exif.GPSInfo.GPSAltitude",
          "Exif.GPSInfo.GPSImgDirection", "Exif.GPSInfo.GPSMapDatum", "Exif.Image.DateTime"})
        EXPECT_EQ(Exiv2Text(after, key), Exiv2Text(before, key)) << key;
    EXPECT_EQ(Exiv2Text(after, "Exif.Photo.DateTimeOriginal"), "2010:05:06 07:08:09");
}

TEST_F(WriteTest, APhotoWithoutExifGetsAFreshBlock) {
    WriteFile(dir.Path("plain.jpg"), EncodeJpeg(40, 30));
    CExifIfdCoder coder;
    ASSERT_EQ(coder.Decoder(dir.Path("plain.jpg").c_str()), 1);
    ASSERT_EQ(coder.m_nStatus, 2);
    SExifProperty& p = coder.m_Property;
    p.bGPSPosition = p.bDateTimeOriginal = 1;
    p.dGPSLatitude = 35.658581;
    p.tmDateTimeOriginal = CTime(2010, 1, 2, 3, 4, 5);
    ASSERT_EQ(coder.Coder(dir.Path("plain.jpg").c_str(), dir.Path("tagged.jpg").c_str(), 0, 1), 1);
    // Right after SOI, little-endian; the directories' layout is the EXIF writer tests'.
    Bytes out = ReadFile(dir.Path("tagged.jpg"));
    EXPECT_EQ(ExifSegment(out).offset, 2u);
    EXPECT_EQ(Slice(out, 6, 8), Bytes({'E', 'x', 'i', 'f', 0, 0, 'I', 'I'}));
    const auto e = ReadWithExiv2(dir.Path("tagged.jpg"));
    const std::pair<const char*, const char*> expected[] = {
        {"Exif.Image.Model", "TREMONA3D/8.800"},
        {"Exif.Photo.ExifVersion", "48 50 49 48"},
        {"Exif.Photo.DateTimeOriginal", "2010:01:02 03:04:05"},
        {"Exif.GPSInfo.GPSVersionID", "2 0 0 0"},
        {"Exif.GPSInfo.GPSLatitude", "35/1 39515/1000 0/1"}};
    for (const auto& kv : expected) EXPECT_EQ(Exiv2Text(e, kv.first), kv.second) << kv.first;
}

// ExifTool's validation finds nothing new in our output but the layout remarks the coder's
// directories always draw (odd offsets, tag order, optional tags it does not write).
TEST_F(WriteTest, ExifToolFindsNoNewProblems) {
    if (!testsupport::HaveExiftool()) GTEST_SKIP() << "exiftool not installed";
    WriteFile(dir.Path("plain.jpg"), EncodeJpeg(48, 32));
    std::vector<std::string> files = {Make("le.jpg"), Make("be.jpg", true),
                                      Make("thumb.jpg", false, true), dir.Path("plain.jpg")};
    const size_t inputs = files.size();
    for (size_t i = 0; i < inputs; ++i) {
        CExifIfdCoder coder;
        ASSERT_EQ(coder.Decoder(files[i].c_str()), 1);
        SExifProperty& p = coder.m_Property;
        p.bGPSPosition = p.bGPSAltitude = p.bGPSImgDirection = p.bImageDescription = 1;
        p.dGPSLatitude = -33.8688;
        p.dGPSLongitude = 151.2093;
        p.dGPSAltitude = 12.0;
        p.dGPSImgDirection = 90.0;
        p.strImageDescription = "Harbour";
        files.push_back(files[i] + "-out.jpg");
        ASSERT_EQ(coder.Coder(files[i].c_str(), files.back().c_str(), 0, 1), 1);
    }
    const auto readings = testsupport::ReadWithExiftool(files);
    auto layout = [](const std::string& w) {
        return w.rfind("[minor]", 0) == 0 || w.rfind("Missing required", 0) == 0 ||
               w.find(" out of order") != std::string::npos ||
               w.find(" out of sequence") != std::string::npos;
    };
    for (size_t i = 0; i < inputs; ++i)
        for (const std::string& w : readings[inputs + i].warnings)
            EXPECT_TRUE(layout(w) || readings[i].warnings.count(w)) << files[i] << ": " << w;
}

TEST_F(WriteTest, SegmentLimitAndFailuresLeaveTheTarget) {
    std::string in = Make("in.jpg");
    const Bytes target = {'o', 'l', 'd'};
    std::string out = dir.Path("out.jpg");
    WriteFile(out, target);
    CExifIfdCoder coder;
    ASSERT_EQ(coder.Decoder(in.c_str()), 1);
    EXPECT_EQ(coder.Coder(dir.Path("missing.jpg").c_str(), out.c_str(), 0, 1), 0);
    EXPECT_EQ(coder.Coder(in.c_str(), dir.Path("no/such/dir/out.jpg").c_str(), 0, 1), 0);
    EXPECT_EQ(coder.Coder(in.c_str(), dir.Dir().c_str(), 0, 1), 0);  // a directory
    EXPECT_EQ(coder.OverwriteGPS(dir.Path("missing.jpg").c_str()), 0);
    EXPECT_EQ(ReadFile(out), target);

    // The block fills its segment up to a length field of 0xFFFF and no further: the longest
    // comment that is written gives exactly that, one byte more refuses the whole copy.
    coder.m_Property.bUserComment = 1;
    auto writes = [&](size_t comment) {
        coder.m_Property.strUserComment = std::string(comment, 'c').c_str();
        return coder.Coder(in.c_str(), out.c_str(), 0, 1) == 1;
    };
    size_t fits = 60000, fails = 70000;
    ASSERT_TRUE(writes(fits));
    ASSERT_FALSE(writes(fails));
    while (fails - fits > 1) (writes((fits + fails) / 2) ? fits : fails) = (fits + fails) / 2;
    const Bytes before = ReadFile(out);
    ASSERT_FALSE(writes(fails));
    EXPECT_EQ(ReadFile(out), before);
    ASSERT_TRUE(writes(fits));
    const Bytes full = ReadFile(out);
    EXPECT_EQ(ExifSegment(full).length, 0xFFFFu + 2);
    EXPECT_EQ(Exiv2Text(ReadWithExiv2(out), "Exif.Image.Make"), "Testmaker");
    EXPECT_EQ(dir.List(), (std::vector<std::string>{"in.jpg", "out.jpg"}));
}

TEST_F(WriteTest, OverwriteGpsPatchesInPlace) {
    for (bool bigEndian : {false, true}) {
        std::string path = Make("gps.jpg", bigEndian, true);
        Bytes before = ReadFile(path);
        CExifIfdCoder coder;
        ASSERT_EQ(coder.Decoder(path.c_str()), 1);
        coder.m_Property.dGPSLatitude = -12.25;
        coder.m_Property.dGPSLongitude = 45.125;
        coder.m_Property.dGPSAltitude = 2000.0;
        coder.m_Property.strUserComment = "short";
        ASSERT_EQ(coder.OverwriteGPS(path.c_str()), 1);
        Bytes after = ReadFile(path);
        ASSERT_EQ(after.size(), before.size());
        // Only the patched entries' type, count and value bytes changed, and some did.
        const Segment exif = ExifSegment(before);
        ASSERT_NE(exif.marker, 0);
        const auto at = exiftest::Locate(before, exif.offset + 10);
        const std::set<size_t> changed = exiftest::Diff(before, after);
        for (size_t i : changed) ASSERT_TRUE(Patchable(at, i)) << "byte " << i;
        EXPECT_GT(changed.size(), 8u);
        const auto e = ReadWithExiv2(path);
        EXPECT_EQ(Exiv2Text(e, "Exif.GPSInfo.GPSLatitudeRef"), "S");
        EXPECT_EQ(Exiv2Text(e, "Exif.GPSInfo.GPSLatitude"), "12/1 15000/1000 0/1");
        EXPECT_EQ(Exiv2Text(e, "Exif.GPSInfo.GPSLongitude"), "45/1 7500/1000 0/1");
        EXPECT_EQ(Exiv2Text(e, "Exif.GPSInfo.GPSAltitude"), "2000/1");
        EXPECT_EQ(Exiv2Text(e, "Exif.Photo.UserComment"), "short");
        EXPECT_EQ(Exiv2Text(e, "Exif.Image.Make"), "Testmaker");
    }
    // A photo without EXIF stays as it is.
    const Bytes plain = EncodeJpeg(40, 30);
    WriteFile(dir.Path("plain.jpg"), plain);
    CExifIfdCoder coder;
    ASSERT_EQ(coder.Decoder(dir.Path("plain.jpg").c_str()), 1);
    coder.m_Property.bGPSPosition = 1;
    EXPECT_EQ(coder.OverwriteGPS(dir.Path("plain.jpg").c_str()), 1);
    EXPECT_EQ(ReadFile(dir.Path("plain.jpg")), plain);
}

TEST_F(WriteTest, PullupHtmlWritesOnlyHtmlComments) {
    CExifIfdCoder coder;
    SExifProperty& p = coder.m_Property;
    const std::string html = "<html><body>100% <b>harbour</b></body></html>\n";
    p.strUserComment = html.c_str();
    std::string out = dir.Path("c.html");
    EXPECT_EQ(coder.PullupHtml(out.c_str()), 0);  // no comment flag
    EXPECT_FALSE(FileExists(out));
    p.bUserComment = 1;
    EXPECT_EQ(coder.PullupHtml(out.c_str()), 1);
    Bytes written = ReadFile(out);
    EXPECT_EQ(std::string(written.begin(), written.end()), html);
    p.strUserComment = "Text with <HTML but no closing bracket";
    EXPECT_EQ(coder.PullupHtml(dir.Path("d.html").c_str()), 0);
    EXPECT_FALSE(FileExists(dir.Path("d.html")));
    p.strUserComment = "Intro <HtMl> mixed case";
    EXPECT_EQ(coder.PullupHtml(dir.Path("no/such/dir.html").c_str()), 0);
    EXPECT_EQ(coder.PullupHtml(dir.Path("e.html").c_str()), 1);
}

}  // namespace
