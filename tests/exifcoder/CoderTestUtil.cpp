// Test-side helpers: libjpeg encoding, Exiv2 tagging and reading, the marker structure of a
// JPEG file.
#include "exifcoder/CoderTestUtil.h"

#include <algorithm>
#include <cstring>
#include <exiv2/exiv2.hpp>
#include <stdexcept>

#include "support/JpegEncode.h"

namespace codertest {

Bytes EncodeJpeg(int width, int height, bool progressive) {
    Bytes px(static_cast<size_t>(width) * height * 3);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            unsigned char* p = &px[(static_cast<size_t>(y) * width + x) * 3];
            p[0] = static_cast<unsigned char>(x * 255 / std::max(1, width - 1));
            p[1] = static_cast<unsigned char>(y * 255 / std::max(1, height - 1));
            p[2] = static_cast<unsigned char>((x ^ y) * 7);
        }
    return testsupport::CompressJpeg(px.data(), width, height, 3, [&](jpeg_compress_struct& cinfo) {
        jpeg_set_quality(&cinfo, 85, TRUE);
        if (progressive) jpeg_simple_progression(&cinfo);
    });
}

void MakePhoto(const std::string& path, const PhotoRecipe& recipe) {
    WriteFile(path, EncodeJpeg(recipe.width, recipe.height));
    auto image = Exiv2::ImageFactory::open(path);
    image->readMetadata();
    Exiv2::ExifData exif;
    exif["Exif.Image.ImageDescription"] = "Harbour at dusk";
    exif["Exif.Image.Make"] = "Testmaker";
    exif["Exif.Image.Model"] = "TM-1";
    exif["Exif.Image.Orientation"] = uint16_t(1);
    exif["Exif.Image.XResolution"] = Exiv2::URational(72, 1);
    exif["Exif.Image.YResolution"] = Exiv2::URational(72, 1);
    exif["Exif.Image.ResolutionUnit"] = uint16_t(2);
    exif["Exif.Image.Software"] = "fw 1.02";
    exif["Exif.Image.DateTime"] = "2008:02:29 09:00:00";
    exif["Exif.Image.Copyright"] = "Photographer";
    exif["Exif.Image.YCbCrPositioning"] = uint16_t(1);
    exif["Exif.Photo.ExposureTime"] = Exiv2::URational(1, 250);
    exif["Exif.Photo.FNumber"] = Exiv2::URational(28, 10);
    exif["Exif.Photo.ISOSpeedRatings"] = uint16_t(200);
    exif["Exif.Photo.ExifVersion"] = "48 50 50 48";
    exif["Exif.Photo.FlashpixVersion"] = "48 49 48 48";
    exif["Exif.Photo.ComponentsConfiguration"] = "1 2 3 0";
    exif["Exif.Photo.DateTimeOriginal"] = "2008:02:28 10:15:00";
    exif["Exif.Photo.DateTimeDigitized"] = "2008:02:28 10:15:00";
    exif["Exif.Photo.UserComment"] = "charset=Ascii A quiet harbour";
    exif["Exif.Photo.FocalLength"] = Exiv2::URational(350, 10);
    exif["Exif.Photo.ColorSpace"] = uint16_t(1);
    exif["Exif.Photo.PixelXDimension"] = uint32_t(recipe.width);
    exif["Exif.Photo.PixelYDimension"] = uint32_t(recipe.height);
    if (recipe.gps) {
        exif["Exif.GPSInfo.GPSVersionID"] = "2 2 0 0";
        exif["Exif.GPSInfo.GPSLatitudeRef"] = "N";
        exif["Exif.GPSInfo.GPSLatitude"] = "35/1 39/1 309/10";
        exif["Exif.GPSInfo.GPSLongitudeRef"] = "E";
        exif["Exif.GPSInfo.GPSLongitude"] = "139/1 44/1 435/10";
        exif["Exif.GPSInfo.GPSAltitudeRef"] = "0";
        exif["Exif.GPSInfo.GPSAltitude"] = Exiv2::URational(40, 1);
        exif["Exif.GPSInfo.GPSImgDirectionRef"] = "M";
        exif["Exif.GPSInfo.GPSImgDirection"] = Exiv2::URational(12345, 100);
        exif["Exif.GPSInfo.GPSMapDatum"] = "WGS-84";
    }
    if (recipe.thumbnail) {
        Bytes thumb = EncodeJpeg(16, 12);
        Exiv2::ExifThumb(exif).setJpegThumbnail(thumb.data(), static_cast<long>(thumb.size()));
    }
    image->setExifData(exif);
    image->setByteOrder(recipe.bigEndian ? Exiv2::bigEndian : Exiv2::littleEndian);
    image->writeMetadata();
}

std::map<std::string, std::string> ReadWithExiv2(const std::string& path) {
    return exiftest::Exiv2ReadJpeg(ReadFile(path));
}

namespace {
bool IsFrame(int m) {
    return m >= 0xC0 && m <= 0xCF && m != 0xC4 && m != 0xC8 && m != 0xCC;
}
}  // namespace

std::vector<Segment> HeaderSegments(const Bytes& jpeg) {
    std::vector<Segment> out;
    size_t i = 0;
    while (i + 1 < jpeg.size() && !(jpeg[i] == 0xFF && jpeg[i + 1] == 0xD8)) ++i;
    if (i + 1 >= jpeg.size()) return out;
    out.push_back({0xD8, i, 2});
    i += 2;
    while (i + 3 < jpeg.size()) {
        if (jpeg[i] != 0xFF) throw std::runtime_error("not a marker");
        int m = jpeg[i + 1];
        if (m == 0xFF) {
            ++i;
            continue;
        }
        size_t len = static_cast<size_t>(jpeg[i + 2] << 8 | jpeg[i + 3]);
        out.push_back({m, i, len + 2});
        if (IsFrame(m)) break;
        i += len + 2;
    }
    return out;
}

size_t FrameOffset(const Bytes& jpeg) {
    std::vector<Segment> s = HeaderSegments(jpeg);
    return !s.empty() && IsFrame(s.back().marker) ? s.back().offset : jpeg.size();
}

bool IsExifSegment(const Bytes& jpeg, const Segment& s) {
    return s.marker == 0xE1 && s.length >= 10 && std::memcmp(&jpeg[s.offset + 4], "Exif", 4) == 0;
}

Segment ExifSegment(const Bytes& jpeg) {
    Segment exif{0, 0, 0};
    for (const Segment& s : HeaderSegments(jpeg))
        if (IsExifSegment(jpeg, s)) exif = s;
    return exif;
}

Bytes Slice(const Bytes& b, size_t from, size_t n) {
    return Bytes(b.begin() + static_cast<long>(from), b.begin() + static_cast<long>(from + n));
}

Bytes Tail(const Bytes& b, size_t from) {
    return Slice(b, from, b.size() - from);
}

}  // namespace codertest
