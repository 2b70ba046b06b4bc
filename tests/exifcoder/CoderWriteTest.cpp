// The write-back operations over real files, with Exiv2 and ExifTool as independent readers:
// the structure of a Coder copy (new EXIF segment right after SOI, old ones gone, other
// segments and everything from the frame header on unchanged), round trips of an edited
// record, in-place GPS patches, the all-or-nothing rule under injected write failures (a file
// size limit makes every write from a given byte on fail), and the HTML pull-up.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <exiv2/exiv2.hpp>
#include <map>
#include <random>
#include <set>

#include "support/ExifTestUtil.h"
#include "exifcoder/CoderTestUtil.h"
#include "photogeo/ExifIfdCoder.h"

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

// Every write to a file beyond limit bytes fails (EFBIG) while this lives.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t limit) {
        std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &m_old);
        rlimit r = m_old;
        r.rlim_cur = limit;
        setrlimit(RLIMIT_FSIZE, &r);
    }
    ~FileSizeLimit() { setrlimit(RLIMIT_FSIZE, &m_old); }

private:
    rlimit m_old;
};

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
        std::string out = dir.Path("out.jpg");
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
}

TEST_F(WriteTest, GpsAndDatesAreLeftAloneWhenNotAsked) {
    std::string in = Make("in.jpg", PhotoRecipe());
    CExifIfdCoder coder;
    ASSERT_EQ(coder.Decoder(in.c_str()), 1);
    coder.m_Property.dGPSLatitude = 1.0;
    coder.m_Property.tmDateTimeOriginal = CTime(2010, 5, 6, 7, 8, 9);
    std::string out = dir.Path("out.jpg");
    ASSERT_EQ(coder.Coder(in.c_str(), out.c_str(), 0, 0), 1);
    const auto before = ReadWithExiv2(in), after = ReadWithExiv2(out);
    for (const char* key :
         {"Exif.GPSInfo.GPSLatitude", "Exif.GPSInfo.GPSLongitude", "Exif.GPSInfo.GPSAltitude",
          "Exif.GPSInfo.GPSImgDirection", "Exif.GPSInfo.GPSMapDatum", "Exif.Image.DateTime"})
        EXPECT_EQ(Exiv2Text(after, key), Exiv2Text(before, key)) << key;
    EXPECT_EQ(Exiv2Text(after, "Exif.Photo.DateTimeOriginal"), "2010:05:06 07:08:09");
}

TEST_F(WriteTest, InputAndOutputMayBeOneFile) {
    std::string path = Make("same.jpg", PhotoRecipe());
    Bytes input = ReadFile(path);
    CExifIfdCoder coder;
    ASSERT_EQ(coder.Decoder(path.c_str()), 1);
    coder.m_Property.strImageDescription = "Replaced";
    ASSERT_EQ(coder.Coder(path.c_str(), path.c_str(), 0, 1), 1);
    EXPECT_EQ(Exiv2Text(ReadWithExiv2(path), "Exif.Image.ImageDescription"), "Replaced");
    Bytes output = ReadFile(path);
    EXPECT_EQ(Tail(output, FrameOffset(output)), Tail(input, FrameOffset(input)));
    EXPECT_EQ(dir.List(), std::vector<std::string>{"same.jpg"});
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

TEST_F(WriteTest, FailedCopiesLeaveTheTargetAsItWas) {
    std::string in = Make("in.jpg", PhotoRecipe());
    const Bytes target = {'o', 'l', 'd'};
    std::string out = dir.Path("out.jpg");
    WriteFile(out, target);
    CExifIfdCoder coder;
    ASSERT_EQ(coder.Decoder(in.c_str()), 1);

    EXPECT_EQ(coder.Coder(dir.Path("missing.jpg").c_str(), out.c_str(), 0, 1), 0);
    EXPECT_EQ(coder.Coder(in.c_str(), dir.Path("no/such/dir/out.jpg").c_str(), 0, 1), 0);
    EXPECT_EQ(coder.Coder(in.c_str(), dir.Dir().c_str(), 0, 1), 0);  // a directory
    EXPECT_EQ(ReadFile(out), target);
    EXPECT_EQ(dir.List(), (std::vector<std::string>{"in.jpg", "out.jpg"}));

    // A block too large for one segment: a 70,000-byte comment.
    coder.m_Property.bUserComment = 1;
    coder.m_Property.strUserComment = std::string(70000, 'c').c_str();
    EXPECT_EQ(coder.Coder(in.c_str(), out.c_str(), 0, 1), 0);
    EXPECT_EQ(ReadFile(out), target);
    EXPECT_EQ(dir.List(), (std::vector<std::string>{"in.jpg", "out.jpg"}));
    coder.m_Property.bUserComment = 0;

    // Every write failing in turn: the file may hold only `limit` bytes. Every byte of the
    // header is a limit (the header is written one segment, or one or two bytes, at a time),
    // and so is a byte of the image data behind it.
    ASSERT_EQ(coder.Coder(in.c_str(), dir.Path("ref.jpg").c_str(), 0, 1), 1);
    const Bytes ref = ReadFile(dir.Path("ref.jpg"));
    const size_t full = ref.size(), frame = FrameOffset(ref);
    std::remove(dir.Path("ref.jpg").c_str());
    for (size_t limit = 0; limit < full; limit += (limit <= frame ? 1 : 97)) {
        int result;
        {
            FileSizeLimit guard(limit);
            result = coder.Coder(in.c_str(), out.c_str(), 0, 1);
        }
        ASSERT_EQ(result, 0) << limit;
        ASSERT_EQ(ReadFile(out), target) << limit;
        ASSERT_EQ(dir.List(), (std::vector<std::string>{"in.jpg", "out.jpg"})) << limit;
    }
    {
        FileSizeLimit guard(full);
        EXPECT_EQ(coder.Coder(in.c_str(), out.c_str(), 0, 1), 1);
    }
    EXPECT_EQ(ReadFile(out).size(), full);
}

TEST_F(WriteTest, TargetPermissionsAreKeptAndHonoured) {
    std::string in = Make("in.jpg", PhotoRecipe());
    std::string out = dir.Path("out.jpg");
    WriteFile(out, Bytes{'o', 'l', 'd'});
    ASSERT_EQ(::chmod(out.c_str(), 0640), 0);
    CExifIfdCoder coder;
    ASSERT_EQ(coder.Decoder(in.c_str()), 1);
    ASSERT_EQ(coder.Coder(in.c_str(), out.c_str(), 0, 1), 1);
    struct stat st;
    ASSERT_EQ(::stat(out.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    if (::geteuid() == 0) GTEST_SKIP() << "root may write read-only files";
    ASSERT_EQ(::chmod(out.c_str(), 0440), 0);
    const Bytes before = ReadFile(out);
    EXPECT_EQ(coder.Coder(in.c_str(), out.c_str(), 0, 1), 0);
    EXPECT_EQ(coder.OverwriteGPS(out.c_str()), 0);
    EXPECT_EQ(ReadFile(out), before);
    // A writable file in a directory that may not be written: no temporary file can be made.
    ASSERT_EQ(::chmod(out.c_str(), 0640), 0);
    ASSERT_EQ(::chmod(dir.Dir().c_str(), 0500), 0);
    EXPECT_EQ(coder.Coder(in.c_str(), out.c_str(), 0, 1), 0);
    EXPECT_EQ(coder.OverwriteGPS(out.c_str()), 0);
    ASSERT_EQ(::chmod(dir.Dir().c_str(), 0700), 0);
    EXPECT_EQ(ReadFile(out), before);
    EXPECT_EQ(dir.List(), (std::vector<std::string>{"in.jpg", "out.jpg"}));
}

TEST_F(WriteTest, LongOutputPathsWork) {
    std::string in = Make("in.jpg", PhotoRecipe());
    std::string path = dir.Dir();
    for (int i = 0; i < 6; ++i) {
        path += "/" + std::string(60, static_cast<char>('a' + i));
        ASSERT_EQ(::mkdir(path.c_str(), 0700), 0);
    }
    path += "/" + std::string(120, 'n') + ".jpg";
    ASSERT_GT(path.size(), 260u);
    CExifIfdCoder coder;
    ASSERT_EQ(coder.Decoder(in.c_str()), 1);
    EXPECT_EQ(coder.Coder(in.c_str(), path.c_str(), 0, 1), 1);
    EXPECT_EQ(Exiv2Text(ReadWithExiv2(path), "Exif.Image.Make"), "Testmaker");
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

TEST_F(WriteTest, OverwriteGpsWithoutExifOrFileAndUnderFailures) {
    WriteFile(dir.Path("plain.jpg"), EncodeJpeg(40, 30));
    Bytes plain = ReadFile(dir.Path("plain.jpg"));
    CExifIfdCoder coder;
    ASSERT_EQ(coder.Decoder(dir.Path("plain.jpg").c_str()), 1);
    coder.m_Property.bGPSPosition = 1;
    EXPECT_EQ(coder.OverwriteGPS(dir.Path("plain.jpg").c_str()), 1);
    EXPECT_EQ(ReadFile(dir.Path("plain.jpg")), plain);
    EXPECT_EQ(coder.OverwriteGPS(dir.Path("missing.jpg").c_str()), 0);
    EXPECT_FALSE(FileExists(dir.Path("missing.jpg")));

    std::string path = Make("gps.jpg", PhotoRecipe());
    Bytes before = ReadFile(path);
    CExifIfdCoder gps;
    ASSERT_EQ(gps.Decoder(path.c_str()), 1);
    gps.m_Property.dGPSLatitude = 1.5;
    for (size_t limit = 0; limit < before.size(); limit += 61) {
        int result;
        {
            FileSizeLimit guard(limit);
            result = gps.OverwriteGPS(path.c_str());
        }
        ASSERT_EQ(result, 0) << limit;
        ASSERT_EQ(ReadFile(path), before) << limit;
        ASSERT_EQ(dir.List(), (std::vector<std::string>{"gps.jpg", "plain.jpg"})) << limit;
    }
}

// Truncated and corrupted photos go through both write-backs without a fault; a patch in place
// never changes the length, and a copy keeps at least the bytes before the EXIF segment.
TEST_F(WriteTest, DamagedPhotosAreWrittenBackWithoutFault) {
    const Bytes full = ReadFile(Make("full.jpg", {false, true}));
    const size_t frame = FrameOffset(full);
    const std::string t = dir.Path("t.jpg"), out = dir.Path("out.jpg");
    std::mt19937 rng(99);
    for (int round = 0; round < 150; ++round) {
        Bytes bad;
        if (round < 75) {
            bad = Slice(full, 0, std::min(full.size(), frame * static_cast<size_t>(round) / 70));
        } else {
            bad = full;
            for (int i = 1 + static_cast<int>(rng() % 6); i > 0; --i)
                bad[2 + rng() % (frame - 2)] = static_cast<unsigned char>(rng());
        }
        WriteFile(t, bad);
        CExifIfdCoder coder;
        ASSERT_EQ(coder.Decoder(t.c_str()), 1);
        coder.m_Property.bGPSPosition = coder.m_Property.bImageDescription = 1;
        coder.m_Property.dGPSLatitude = -1.5;
        coder.m_Property.strImageDescription = "t";
        int result = coder.Coder(t.c_str(), out.c_str(), round % 2, 1);
        ASSERT_TRUE(result == 0 || result == 1) << round;
        ASSERT_EQ(coder.OverwriteGPS(t.c_str()), 1) << round;
        ASSERT_EQ(ReadFile(t).size(), bad.size()) << round;
    }
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
