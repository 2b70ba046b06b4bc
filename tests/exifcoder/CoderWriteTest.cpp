// The write-back operations over real files, with Exiv2 and ExifTool as independent readers:
// the structure of a Coder copy (new EXIF segment right after SOI, old ones gone, other
// segments and everything from the frame header on unchanged), round trips of an edited
// record, the segment size limit, in-place GPS patches, failures that leave the target alone
// (the file replacement itself is the safe-file tests' business), and the HTML pull-up.
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

using namespace codertest;

namespace {

// The header segments other than SOI, the frame and EXIF APP1s, as bytes, in file order.
std::vector<Bytes> OtherSegments(const Bytes& file) {
    std::vector<Bytes> out;
    std::vector<Segment> segs = HeaderSegments(file);
    for (size_t i = 1; i + 1 < segs.size(); ++i)
        if (!IsExifSegment(file, segs[i]))
            out.push_back(Slice(file, segs[i].offset, segs[i].length));
    return out;
}

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
    std::string Make(const std::string& name, const PhotoRecipe& recipe) {
        std::string path = dir.Path(name);
        MakePhoto(path, recipe);
        return path;
    }
    TempDir dir;
};

// A file with JFIF APP0, an XMP APP1 whose body holds 0xFF bytes, two EXIF segments and an
// APP2 between them: all EXIF segments go, the rest keeps its order and bytes.
TEST_F(WriteTest, CopyReplacesEveryExifSegmentAndKeepsTheRest) {
    for (bool bigEndian : {false, true}) {
        for (bool thumbnail : {false, true}) {
            Bytes photo = ReadFile(Make("p.jpg", {bigEndian, thumbnail}));
            const Segment exif = ExifSegment(photo);
            ASSERT_NE(exif.marker, 0);
            Bytes exifSeg = Slice(photo, exif.offset, exif.length);
            Bytes xmp = {0xFF, 0xE1, 0x00, 0x0E, 'h',  't',  't',  'p',
                         0,    0xFF, 0xD9, 0xFF, 0xE1, 0x00, 0xFF, 0xC0};
            Bytes app2 = {0xFF, 0xE2, 0x00, 0x04, 0xAB, 0xCD};
            Bytes input = Slice(photo, 0, 2);
            for (const Bytes& part : {exifSeg, app2, Tail(photo, 2)})
                input.insert(input.end(), part.begin(), part.end());
            // The second EXIF segment stands where Exiv2 put it, behind the APP2.
            input.insert(input.begin() + 2 + static_cast<long>(exifSeg.size() + app2.size()),
                         xmp.begin(), xmp.end());
            WriteFile(dir.Path("in.jpg"), input);

            CExifIfdCoder coder;
            ASSERT_EQ(coder.Decoder(dir.Path("in.jpg").c_str()), 1);
            ASSERT_EQ(coder.m_nStatus, 1);
            ASSERT_EQ(coder.Coder(dir.Path("in.jpg").c_str(), dir.Path("out.jpg").c_str(), 0, 0),
                      1);
            Bytes out = ReadFile(dir.Path("out.jpg"));
            std::vector<Segment> outSegs = HeaderSegments(out);
            ASSERT_GE(outSegs.size(), 3u);
            EXPECT_EQ(outSegs[0].offset, 0u);
            EXPECT_TRUE(IsExifSegment(out, outSegs[1]));
            int exifCount = 0;
            for (const Segment& s : outSegs) exifCount += IsExifSegment(out, s);
            EXPECT_EQ(exifCount, 1);
            EXPECT_EQ(OtherSegments(out), OtherSegments(input));
            EXPECT_EQ(Tail(out, FrameOffset(out)), Tail(input, FrameOffset(input)));
            if (bigEndian || thumbnail) continue;
            // A photo cut right after the XMP segment keeps that segment whole.
            input = Slice(input, 0, 2 + exifSeg.size() + app2.size() + xmp.size());
            WriteFile(dir.Path("in.jpg"), input);
            ASSERT_EQ(coder.Coder(dir.Path("in.jpg").c_str(), dir.Path("out.jpg").c_str(), 0, 0),
                      1);
            out = ReadFile(dir.Path("out.jpg"));
            EXPECT_EQ(Tail(out, out.size() - app2.size() - xmp.size()),
                      Tail(input, 2 + exifSeg.size()));
        }
    }
}

TEST_F(WriteTest, EditedRecordRoundTripsThroughOurReaderAndExiv2) {
    for (bool bigEndian : {false, true}) {
        std::string in = Make("in.jpg", {bigEndian, true});
        Bytes input = ReadFile(in);
        CExifIfdCoder coder;
        ASSERT_EQ(coder.Decoder(in.c_str()), 1);
        SExifProperty& p = coder.m_Property;
        p.dGPSLatitude = 35.5;
        p.dGPSLongitude = -139.25;
        p.dGPSAltitude = 123.9;
        p.dGPSImgDirection = 359.999;
        p.szGPSImgDirectionRef[0] = 'T';
        std::snprintf(p.szGPSMapDatum, sizeof p.szGPSMapDatum, "TOKYO");
        p.strImageDescription = "New title";
        p.strCopyrightPhotographer = "Ph";
        p.bCopyrightEditor = 1;
        p.strCopyrightEditor = "Ed";
        p.strUserComment = "New comment";
        p.tmDateTimeOriginal = CTime(2010, 5, 6, 7, 8, 9);
        p.nPixelXDimension = 320;
        p.nPixelYDimension = 240;
        p.bSoftware = 0;  // cleared: the Software entry is deleted
        // The big-endian photo is written over itself.
        const std::string out = bigEndian ? in : dir.Path("out.jpg");
        ASSERT_EQ(coder.Coder(in.c_str(), out.c_str(), 1, 1), 1);

        const auto e = ReadWithExiv2(out);
        EXPECT_EQ(Exiv2Text(e, "Exif.GPSInfo.GPSLatitudeRef"), "N");
        EXPECT_EQ(Exiv2Text(e, "Exif.GPSInfo.GPSLatitude"), "35/1 30000/1000 0/1");
        EXPECT_EQ(Exiv2Text(e, "Exif.GPSInfo.GPSLongitudeRef"), "W");
        EXPECT_EQ(Exiv2Text(e, "Exif.GPSInfo.GPSLongitude"), "139/1 15000/1000 0/1");
        EXPECT_EQ(Exiv2Text(e, "Exif.GPSInfo.GPSAltitude"), "123/1");
        EXPECT_EQ(Exiv2Text(e, "Exif.GPSInfo.GPSAltitudeRef"), "0");
        EXPECT_EQ(Exiv2Text(e, "Exif.GPSInfo.GPSImgDirection"), "35999/100");
        EXPECT_EQ(Exiv2Text(e, "Exif.GPSInfo.GPSImgDirectionRef"), "T");
        EXPECT_EQ(Exiv2Text(e, "Exif.GPSInfo.GPSMapDatum"), "TOKYO");
        EXPECT_EQ(Exiv2Text(e, "Exif.Image.ImageDescription"), "New title");
        EXPECT_EQ(Exiv2Text(e, "Exif.Image.Make"), "Testmaker");
        EXPECT_EQ(Exiv2Text(e, "Exif.Image.Software"), "");
        EXPECT_EQ(Exiv2Text(e, "Exif.Image.DateTime"), "2010:05:06 07:08:09");
        EXPECT_EQ(Exiv2Text(e, "Exif.Photo.DateTimeOriginal"), "2010:05:06 07:08:09");
        EXPECT_EQ(Exiv2Text(e, "Exif.Photo.PixelXDimension"), "320");
        EXPECT_EQ(Exiv2Text(e, "Exif.Photo.PixelYDimension"), "240");
        EXPECT_EQ(Exiv2Text(e, "Exif.Photo.ExposureTime"), "1/250");
        // Exiv2 shows the two copyright parts joined by ", ".
        EXPECT_EQ(Exiv2Text(e, "Exif.Image.Copyright").rfind("Ph", 0), 0u);
        EXPECT_NE(Exiv2Text(e, "Exif.Photo.UserComment").find("New comment"), std::string::npos);
        auto image = Exiv2::ImageFactory::open(out);
        image->readMetadata();
        EXPECT_GT(Exiv2::ExifThumbC(image->exifData()).copy().size_, 0u);

        CExifIfdCoder back;
        ASSERT_EQ(back.Decoder(out.c_str()), 1);
        const SExifProperty& q = back.m_Property;
        EXPECT_EQ(back.m_Exif.m_bIntel, bigEndian ? 0 : 1);
        EXPECT_DOUBLE_EQ(q.dGPSLatitude, 35.5);
        EXPECT_DOUBLE_EQ(q.dGPSLongitude, -139.25);
        EXPECT_DOUBLE_EQ(q.dGPSAltitude, 123.0);
        EXPECT_DOUBLE_EQ(q.dGPSImgDirection, 359.99);
        EXPECT_STREQ(q.szGPSMapDatum, "TOKYO");
        EXPECT_EQ(q.strImageDescription, "New title");
        EXPECT_EQ(q.strCopyrightPhotographer, "Ph");
        EXPECT_EQ(q.strCopyrightEditor, "Ed");
        EXPECT_EQ(q.strUserComment, "New comment");
        EXPECT_EQ(q.tmDateTimeOriginal, CTime(2010, 5, 6, 7, 8, 9));
        EXPECT_EQ(q.bSoftware, 0);
        EXPECT_EQ(back.m_Exif.m_nThumbSize, coder.m_Exif.m_nThumbSize);
        Bytes output = ReadFile(out);
        EXPECT_EQ(Tail(output, FrameOffset(output)), Tail(input, FrameOffset(input)));
    }
}

TEST_F(WriteTest, ClearedFlagsDeleteTheirEntries) {
    std::string in = Make("in.jpg", PhotoRecipe());
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
    CExifIfdCoder back;
    ASSERT_EQ(back.Decoder(out.c_str()), 1);
    EXPECT_EQ(back.m_Property.bGPSPosition, 0);
    EXPECT_EQ(back.m_Property.bGPSImgDirection, 1);

    // Not asked for, GPS and the dates stay as they were (DateTimeOriginal follows the record).
    ASSERT_EQ(coder.Decoder(in.c_str()), 1);
    coder.m_Property.dGPSLatitude = 1.0;
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
    coder.m_Property.bGPSPosition = 1;
    coder.m_Property.dGPSLatitude = 35.658581;
    coder.m_Property.dGPSLongitude = 139.745433;
    ASSERT_EQ(coder.Coder(dir.Path("plain.jpg").c_str(), dir.Path("tagged.jpg").c_str(), 0, 1), 1);
    Bytes out = ReadFile(dir.Path("tagged.jpg"));
    std::vector<Segment> segs = HeaderSegments(out);
    ASSERT_GE(segs.size(), 2u);
    EXPECT_TRUE(IsExifSegment(out, segs[1]));
    EXPECT_EQ(Slice(out, 6, 8), Bytes({'E', 'x', 'i', 'f', 0, 0, 'I', 'I'}));
    const auto e = ReadWithExiv2(dir.Path("tagged.jpg"));
    EXPECT_EQ(Exiv2Text(e, "Exif.Image.Model"), "TREMONA3D/8.800");
    EXPECT_EQ(Exiv2Text(e, "Exif.Photo.ExifVersion"), "48 50 49 48");
    EXPECT_EQ(Exiv2Text(e, "Exif.GPSInfo.GPSLatitude"), "35/1 39515/1000 0/1");
    CExifIfdCoder back;
    ASSERT_EQ(back.Decoder(dir.Path("tagged.jpg").c_str()), 1);
    EXPECT_EQ(back.m_nStatus, 1);
    EXPECT_NEAR(back.m_Property.dGPSLatitude, 35.658583, 1e-6);
}

// Neither Exiv2 nor ExifTool finds an error in our output that it did not find in the input;
// the warnings they give are printed for the record.
TEST_F(WriteTest, Exiv2AndExifToolFindNoNewErrors) {
    bool exiftool = HaveExiftool();
    struct Case {
        const char* name;
        PhotoRecipe recipe;
        bool plain;
    };
    for (const Case& c : {Case{"le", {}, false}, Case{"be-thumb", {true, true}, false},
                          Case{"le-thumb", {false, true}, false}, Case{"no-exif", {}, true}}) {
        std::string in = dir.Path(std::string(c.name) + ".jpg");
        if (c.plain)
            WriteFile(in, EncodeJpeg(48, 32));
        else
            MakePhoto(in, c.recipe);
        CExifIfdCoder coder;
        ASSERT_EQ(coder.Decoder(in.c_str()), 1);
        coder.m_Property.bGPSPosition = coder.m_Property.bGPSAltitude = 1;
        coder.m_Property.bGPSImgDirection = coder.m_Property.bImageDescription = 1;
        coder.m_Property.dGPSLatitude = -33.8688;
        coder.m_Property.dGPSLongitude = 151.2093;
        coder.m_Property.dGPSAltitude = 12.0;
        coder.m_Property.dGPSImgDirection = 90.0;
        coder.m_Property.strImageDescription = "Harbour";
        std::string out = dir.Path(std::string(c.name) + "-out.jpg");
        ASSERT_EQ(coder.Coder(in.c_str(), out.c_str(), 0, 1), 1);
        auto noNewErrors = [&](const char* tool, const char* error,
                               std::vector<std::string> (*issues)(const std::string&)) {
            const std::vector<std::string> before = issues(in);
            const std::set<std::string> known(before.begin(), before.end());
            for (const std::string& line : issues(out)) {
                std::printf("[%s %s] %s\n", tool, c.name, line.c_str());
                EXPECT_TRUE(line.rfind(error, 0) != 0 || known.count(line))
                    << c.name << ": " << line;
            }
        };
        noNewErrors("exiv2", "error", Exiv2Complaints);
        if (exiftool) noNewErrors("exiftool", "Error", ExiftoolIssues);
    }
    if (!exiftool) GTEST_SKIP() << "exiftool not installed: only Exiv2 was asked";
}

TEST_F(WriteTest, SegmentLimitAndFailuresLeaveTheTarget) {
    std::string in = Make("in.jpg", PhotoRecipe());
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
        std::string path = Make("gps.jpg", {bigEndian, true});
        Bytes before = ReadFile(path);
        CExifIfdCoder coder;
        ASSERT_EQ(coder.Decoder(path.c_str()), 1);
        coder.m_Property.dGPSLatitude = -12.25;
        coder.m_Property.dGPSLongitude = 45.125;
        coder.m_Property.dGPSAltitude = 2000.0;
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
        EXPECT_EQ(Exiv2Text(e, "Exif.Image.Make"), "Testmaker");
    }
}

TEST_F(WriteTest, OverwriteGpsWithoutExifLeavesThePhoto) {
    WriteFile(dir.Path("plain.jpg"), EncodeJpeg(40, 30));
    Bytes plain = ReadFile(dir.Path("plain.jpg"));
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
