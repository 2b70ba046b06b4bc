// Read speed of the coder against peer libraries: over 500 generated photos with realistic EXIF
// blocks (about 100 entries with GPS and the Exif, Interoperability and thumbnail directories,
// and a JPEG thumbnail), files per second of QuickDecoder, Decoder, Exiv2's metadata read and
// (when built with it) libexif's read, each the best of several passes over the same files
// in the page cache. Prints the rates and the ratios against the peers.
//   bench_exifcoder [files]
#include <unistd.h>

#include <exiv2/exiv2.hpp>
#ifdef PHOTOGEO_BENCH_LIBEXIF
#include <libexif/exif-data.h>
#endif

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "photogeo/ExifIfdCoder.h"
#include "support/JpegEncode.h"

namespace {

std::vector<unsigned char> EncodeJpeg(int width, int height, int seed) {
    std::vector<unsigned char> px(static_cast<size_t>(width) * height * 3);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width * 3; ++x)
            px[static_cast<size_t>(y) * width * 3 + x] =
                static_cast<unsigned char>(x * 3 + y * 5 + seed);
    return testsupport::CompressJpeg(px.data(), width, height, 3);
}

// A photo as a camera writes it: about 100 entries over five directories.
void MakePhoto(const std::string& path, int i) {
    std::vector<unsigned char> jpeg = EncodeJpeg(96, 64, i);
    FILE* f = std::fopen(path.c_str(), "wb");
    std::fwrite(jpeg.data(), 1, jpeg.size(), f);
    std::fclose(f);
    auto image = Exiv2::ImageFactory::open(path);
    image->readMetadata();
    Exiv2::ExifData e;
    e["Exif.Image.ImageDescription"] = "Photo number " + std::to_string(i);
    e["Exif.Image.Make"] = "Benchmaker";
    e["Exif.Image.Model"] = "BM-100 Mark II";
    e["Exif.Image.Orientation"] = uint16_t(1);
    e["Exif.Image.XResolution"] = Exiv2::URational(180, 1);
    e["Exif.Image.YResolution"] = Exiv2::URational(180, 1);
    e["Exif.Image.ResolutionUnit"] = uint16_t(2);
    e["Exif.Image.Software"] = "Firmware 1.0.4";
    e["Exif.Image.DateTime"] = "2009:07:01 12:00:00";
    e["Exif.Image.Artist"] = "Bench";
    e["Exif.Image.WhitePoint"] = "313/1000 329/1000";
    e["Exif.Image.PrimaryChromaticities"] = "64/100 33/100 21/100 71/100 15/100 6/100";
    e["Exif.Image.YCbCrCoefficients"] = "299/1000 587/1000 114/1000";
    e["Exif.Image.YCbCrPositioning"] = uint16_t(2);
    e["Exif.Image.ReferenceBlackWhite"] = "0/1 255/1 128/1 255/1 128/1 255/1";
    e["Exif.Image.Copyright"] = "Bench photographer";
    const char* rationals[] = {"Exif.Photo.ExposureTime",
                               "Exif.Photo.FNumber",
                               "Exif.Photo.CompressedBitsPerPixel",
                               "Exif.Photo.ApertureValue",
                               "Exif.Photo.MaxApertureValue",
                               "Exif.Photo.SubjectDistance",
                               "Exif.Photo.FocalLength",
                               "Exif.Photo.FocalPlaneXResolution",
                               "Exif.Photo.FocalPlaneYResolution",
                               "Exif.Photo.ExposureIndex",
                               "Exif.Photo.DigitalZoomRatio",
                               "Exif.Photo.Gamma"};
    for (const char* key : rationals) e[key] = Exiv2::URational(10 + i % 7, 10);
    for (const char* key : {"Exif.Photo.ShutterSpeedValue", "Exif.Photo.BrightnessValue",
                            "Exif.Photo.ExposureBiasValue"})
        e[key] = Exiv2::Rational(-3 + i % 5, 3);
    const char* shorts[] = {"Exif.Photo.ExposureProgram",
                            "Exif.Photo.ISOSpeedRatings",
                            "Exif.Photo.MeteringMode",
                            "Exif.Photo.LightSource",
                            "Exif.Photo.Flash",
                            "Exif.Photo.ColorSpace",
                            "Exif.Photo.FocalPlaneResolutionUnit",
                            "Exif.Photo.SensingMethod",
                            "Exif.Photo.CustomRendered",
                            "Exif.Photo.ExposureMode",
                            "Exif.Photo.WhiteBalance",
                            "Exif.Photo.FocalLengthIn35mmFilm",
                            "Exif.Photo.SceneCaptureType",
                            "Exif.Photo.GainControl",
                            "Exif.Photo.Contrast",
                            "Exif.Photo.Saturation",
                            "Exif.Photo.Sharpness",
                            "Exif.Photo.SubjectDistanceRange"};
    for (const char* key : shorts) e[key] = uint16_t(1 + i % 2);
    e["Exif.Photo.ExifVersion"] = "48 50 51 48";
    e["Exif.Photo.FlashpixVersion"] = "48 49 48 48";
    e["Exif.Photo.ComponentsConfiguration"] = "1 2 3 0";
    e["Exif.Photo.DateTimeOriginal"] = "2009:07:01 11:59:58";
    e["Exif.Photo.DateTimeDigitized"] = "2009:07:01 11:59:58";
    e["Exif.Photo.SubSecTime"] = "12";
    e["Exif.Photo.SubSecTimeOriginal"] = "12";
    e["Exif.Photo.SubSecTimeDigitized"] = "12";
    e["Exif.Photo.UserComment"] = "charset=Ascii A benchmark photograph with a comment";
    e["Exif.Photo.PixelXDimension"] = uint32_t(96);
    e["Exif.Photo.PixelYDimension"] = uint32_t(64);
    e["Exif.Photo.FileSource"] = "3";
    e["Exif.Photo.SceneType"] = "1";
    e["Exif.Photo.ImageUniqueID"] = "0123456789abcdef0123456789abcdef";
    e["Exif.Photo.BodySerialNumber"] = "SN" + std::to_string(100000 + i);
    e["Exif.Photo.LensModel"] = "Zoom 18-55mm";
    e["Exif.Photo.MakerNote"] = std::string("65 66 67 68 69 70 71 72 73 74 75 76 77 78 79 80");
    e["Exif.Iop.InteroperabilityIndex"] = "R98";
    e["Exif.Iop.InteroperabilityVersion"] = "48 49 48 48";
    e["Exif.GPSInfo.GPSVersionID"] = "2 2 0 0";
    e["Exif.GPSInfo.GPSLatitudeRef"] = "N";
    e["Exif.GPSInfo.GPSLatitude"] = "35/1 " + std::to_string(i % 60) + "/1 1234/100";
    e["Exif.GPSInfo.GPSLongitudeRef"] = "E";
    e["Exif.GPSInfo.GPSLongitude"] = "139/1 44/1 435/10";
    e["Exif.GPSInfo.GPSAltitudeRef"] = "0";
    e["Exif.GPSInfo.GPSAltitude"] = Exiv2::URational(40 + i, 1);
    e["Exif.GPSInfo.GPSTimeStamp"] = "3/1 4/1 5/1";
    e["Exif.GPSInfo.GPSSatellites"] = "07";
    e["Exif.GPSInfo.GPSStatus"] = "A";
    e["Exif.GPSInfo.GPSMeasureMode"] = "3";
    e["Exif.GPSInfo.GPSDOP"] = Exiv2::URational(25, 10);
    e["Exif.GPSInfo.GPSSpeedRef"] = "K";
    e["Exif.GPSInfo.GPSSpeed"] = Exiv2::URational(0, 1);
    e["Exif.GPSInfo.GPSTrackRef"] = "T";
    e["Exif.GPSInfo.GPSTrack"] = Exiv2::URational(9000, 100);
    e["Exif.GPSInfo.GPSImgDirectionRef"] = "M";
    e["Exif.GPSInfo.GPSImgDirection"] = Exiv2::URational(12345, 100);
    e["Exif.GPSInfo.GPSMapDatum"] = "WGS-84";
    e["Exif.GPSInfo.GPSDateStamp"] = "2009:07:01";
    e["Exif.GPSInfo.GPSDifferential"] = uint16_t(0);
    std::vector<unsigned char> thumb = EncodeJpeg(160, 120, i + 1);
    Exiv2::ExifThumb(e).setJpegThumbnail(thumb.data(), static_cast<long>(thumb.size()),
                                         Exiv2::URational(72, 1), Exiv2::URational(72, 1), 2);
    image->setExifData(e);
    image->writeMetadata();
}

// Files per second of read over all files, best of `passes` passes.
double Rate(const std::vector<std::string>& files, int passes,
            const std::function<void(const std::string&)>& read) {
    double best = 0.0;
    for (int p = 0; p < passes; ++p) {
        auto start = std::chrono::steady_clock::now();
        for (const std::string& f : files) read(f);
        std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
        best = std::max(best, static_cast<double>(files.size()) / took.count());
    }
    return best;
}

}  // namespace

int main(int argc, char** argv) {
    int count = argc > 1 ? std::atoi(argv[1]) : 500;
    char dir[] = "/tmp/photogeo-bench-XXXXXX";
    if (!::mkdtemp(dir)) return 1;
    std::vector<std::string> files;
    for (int i = 0; i < count; ++i) {
        files.push_back(std::string(dir) + "/p" + std::to_string(i) + ".jpg");
        MakePhoto(files.back(), i);
    }
    {
        CExifIfdCoder probe;
        probe.Decoder(files[0].c_str());
        std::printf("%d photos, %zu entries and a %d-byte thumbnail each\n", count,
                    probe.m_Exif.m_aEntry.size(), probe.m_Exif.m_nThumbSize);
    }
    const int passes = 5;
    CExifIfdCoder coder;
    double quick = Rate(files, passes, [&](const std::string& f) {
        coder.ClearExifEnable();
        coder.QuickDecoder(f.c_str(), 0);
    });
    double full = Rate(files, passes, [&](const std::string& f) {
        coder.ClearExifEnable();
        coder.Decoder(f.c_str());
    });
    double exiv2 = Rate(files, passes, [](const std::string& f) {
        auto image = Exiv2::ImageFactory::open(f);
        image->readMetadata();
    });
    std::printf("QuickDecoder  %10.0f files/s  %5.2fx Exiv2\n", quick, quick / exiv2);
    std::printf("Decoder       %10.0f files/s  %5.2fx Exiv2\n", full, full / exiv2);
    std::printf("Exiv2         %10.0f files/s\n", exiv2);
#ifdef PHOTOGEO_BENCH_LIBEXIF
    double libexif = Rate(files, passes, [](const std::string& f) {
        ExifData* d = exif_data_new_from_file(f.c_str());
        if (d) exif_data_unref(d);
    });
    std::printf("libexif       %10.0f files/s  (Decoder %.2fx libexif)\n", libexif, full / libexif);
#else
    std::printf("libexif       not built in (libexif-dev missing)\n");
#endif
    std::string cmd = std::string("rm -rf '") + dir + "'";
    return std::system(cmd.c_str()) == 0 ? 0 : 1;
}
