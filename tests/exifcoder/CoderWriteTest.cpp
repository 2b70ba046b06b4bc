// The write-back operations over real files, with Exiv2 and ExifTool as independent readers:
// round trips of an edited record, the segment size limit, in-place GPS patches, failures that
// leave the target alone (the file replacement itself is the safe-file tests' business), and
// the HTML pull-up. The segments of a copy are HostileInputTest.cpp's.
#include <gtest/gtest.h>
#include <utime.h>

#include <cstdio>
#include <functional>
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

// Each case edits the record read from a photo and writes it with Coder(in, out, bExifTime,
// bWriteGPS); Exiv2's reading of the result is compared with a golden text (each encoding is the
// EXIF writer tests'; here the whole path). The picture data is copied unchanged, and our reader
// finds the byte order and the thumbnail again. Cases: an edited record in both byte orders (the
// big-endian photo written over itself; Software cleared); cleared flags deleting their entries
// while GPS is written; GPS not asked for, kept whatever its flags; a photo without EXIF, whose
// created dates come from its modification time.
TEST_F(WriteTest, WrittenPhotosReadByExiv2MatchTheGoldenTexts) {
    WriteFile(dir.Path("plain.jpg"), PlainPhoto());
    const utimbuf modified{1262271598, 1262271598};  // 2009-12-31 23:59:58 JST
    ASSERT_EQ(::utime(dir.Path("plain.jpg").c_str(), &modified), 0);
    auto edited = [](SExifProperty& p) {
        p.dGPSLongitude = -139.25;
        p.dGPSImgDirection = 359.999;
        p.szGPSImgDirectionRef[0] = 'T';
        std::snprintf(p.szGPSMapDatum, sizeof p.szGPSMapDatum, "TOKYO");
        p.strImageDescription = "New title";
        p.tmDateTimeOriginal = CTime(2010, 5, 6, 7, 8, 9);
        p.bSoftware = 0;
    };
    const struct {
        const char* golden;
        std::string in, out;
        unsigned char order;
        int bExifTime, bWriteGps;
        std::function<void(SExifProperty&)> edit;
    } cases[] = {
        {"write-edited.txt", Make("le.jpg", false, true), dir.Path("le-out.jpg"), 'I', 1, 1,
         edited},
        {"write-edited.txt", Make("be.jpg", true), dir.Path("be.jpg"), 'M', 1, 1, edited},
        {"write-cleared.txt", Make("c.jpg"), dir.Path("c-out.jpg"), 'I', 0, 1,
         [](SExifProperty& p) {
             p.bGPSPosition = p.bGPSMapDatum = p.bImageDescription = p.bUserComment = 0;
             p.bCopyrightPhotographer = p.bDateTimeOriginal = 0;
             p.dGPSImgDirection = 7.5;
             p.szGPSImgDirectionRef[0] = 'M';
         }},
        {"write-gps-kept.txt", Make("k.jpg"), dir.Path("k-out.jpg"), 'I', 0, 0,
         [](SExifProperty& p) {
             p.dGPSLatitude = 1.0;
             p.bGPSPosition = p.bGPSAltitude = 0;
             p.tmDateTimeOriginal = CTime(2010, 5, 6, 7, 8, 9);
         }},
        {"write-fresh.txt", dir.Path("plain.jpg"), dir.Path("fresh.jpg"), 'I', 0, 1,
         [](SExifProperty& p) {
             p.bGPSPosition = p.bDateTimeOriginal = 1;
             p.dGPSLatitude = 35.658581;
             p.tmDateTimeOriginal = CTime(2010, 1, 2, 3, 4, 5);
         }},
    };
    for (const auto& c : cases) {
        const Bytes input = ReadFile(c.in);
        CExifIfdCoder coder;
        ASSERT_EQ(coder.Decoder(c.in.c_str()), 1);
        c.edit(coder.m_Property);
        ASSERT_EQ(coder.Coder(c.in.c_str(), c.out.c_str(), c.bExifTime, c.bWriteGps), 1);
        std::string text;
        for (const auto& [key, value] : ReadWithExiv2(c.out)) text += key + '\t' + value + '\n';
        EXPECT_EQ(text, exiftest::Golden(std::string("exifcoder/") + c.golden, text));
        // The new segment right after SOI, in the photo's byte order (a new block's is 'I').
        const Bytes output = ReadFile(c.out);
        EXPECT_EQ(ExifSegment(output).offset, 2u) << c.out;
        EXPECT_EQ(Slice(output, 12, 2), Bytes(2, c.order)) << c.out;
        EXPECT_EQ(Tail(output, FrameOffset(output)), Tail(input, FrameOffset(input))) << c.out;
        CExifIfdCoder back;
        ASSERT_EQ(back.Decoder(c.out.c_str()), 1);
        EXPECT_EQ(back.m_Exif.m_nThumbSize, coder.m_Exif.m_nThumbSize) << c.out;
    }
}

// ExifTool's validation finds nothing new in our output but the layout remarks the coder's
// directories always draw (odd offsets, tag order, optional tags it does not write).
TEST_F(WriteTest, ExifToolFindsNoNewProblems) {
    if (!testsupport::HaveExiftool()) GTEST_SKIP() << "exiftool not installed";
    WriteFile(dir.Path("plain.jpg"), PlainPhoto());
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
    const Bytes plain = PlainPhoto();
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
