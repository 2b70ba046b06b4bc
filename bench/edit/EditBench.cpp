// Geotagging speed of the lossless editor against ExifTool: N photos (1024 x 768, an EXIF block
// with a maker note, a GPS directory and a thumbnail, each shot at its own second) are given
// the position of a GPX track at their shooting time, once through the library (read the file,
// look up DateTimeOriginal, interpolate on the track, EditJpeg, WriteFileAtomically in place,
// which includes an fsync per file) and once by `exiftool -geotag TRACK -overwrite_original`
// over a copy of the same files (one process for all, no fsync). Both take the shooting time
// as UTC. Prints both rates, their ratio, and the largest distance between the two tools'
// positions for the same photo.
//   bench_edit [photos]         (the photos are made under $TMPDIR, default /tmp)
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "photogeo/ExifEdit.h"
#include "support/JpegEncode.h"
#include "support/TestPhotos.h"

namespace {

using Bytes = std::vector<unsigned char>;

constexpr long long kTrackStart = 1714978800;  // 2024-05-06 07:00:00 UTC
constexpr int kTrackStep = 10;                 // seconds between track points
constexpr int kShotStep = 7;                   // seconds between photos

struct Point {
    double time, lat, lon, ele;
};

// Days since 1970-01-01 of a proleptic Gregorian date (H. Hinnant's days_from_civil).
long long DaysFromCivil(long long y, unsigned m, unsigned d) {
    y -= m <= 2;
    const long long era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<long long>(doe) - 719468;
}

std::string Stamp(long long t, const char* dateSep, const char* middle, const char* end) {
    const long long days = t / 86400, s = t % 86400;
    // Inverse of DaysFromCivil by search: the bench's dates lie within a few days.
    long long y = 2024;
    unsigned m = 5, d = 6;
    while (DaysFromCivil(y, m, d) < days) ++d;
    char text[40];
    std::snprintf(text, sizeof text, "%04lld%s%02u%s%02u%s%02lld:%02lld:%02lld%s", y, dateSep, m,
                  dateSep, d, middle, s / 3600, s / 60 % 60, s % 60, end);
    return text;
}

Bytes Picture() {
    const int w = 1024, h = 768;
    Bytes px(static_cast<size_t>(w) * h * 3);
    unsigned x = 12345;
    for (unsigned char& p : px) p = static_cast<unsigned char>((x = x * 1103515245 + 12345) >> 24);
    return testsupport::CompressJpeg(px.data(), w, h, 3);
}

std::vector<Point> ReadTrack(const std::string& path) {
    std::vector<Point> points;
    FILE* f = std::fopen(path.c_str(), "r");
    char line[256];
    while (f && std::fgets(line, sizeof line, f)) {
        Point p;
        int y, mo, d, h, mi, s;
        if (std::sscanf(line, " <trkpt lat=\"%lf\" lon=\"%lf\"><ele>%lf</ele><time>%d-%d-%dT%d:%d:%dZ",
                        &p.lat, &p.lon, &p.ele, &y, &mo, &d, &h, &mi, &s) == 9) {
            p.time = static_cast<double>(DaysFromCivil(y, mo, d) * 86400 + h * 3600 + mi * 60 + s);
            points.push_back(p);
        }
    }
    if (f) std::fclose(f);
    return points;
}

// Geotags one file in place through the library; false when anything fails.
bool Geotag(const std::string& path, const std::vector<Point>& track) {
    auto file = photogeo::ReadWholeFile(path);
    if (!file) return false;
    auto tags = photogeo::ExifTags::FromJpeg(file.value().data(), file.value().size());
    if (!tags) return false;
    const auto shot = tags.value().Find(photogeo::ExifDirectory::kExif, 0x9003);
    int y, mo, d, h, mi, s;
    if (!shot || std::sscanf(shot->Text().c_str(), "%d:%d:%d %d:%d:%d", &y, &mo, &d, &h, &mi, &s) != 6)
        return false;
    const double t = static_cast<double>(DaysFromCivil(y, mo, d) * 86400 + h * 3600 + mi * 60 + s);
    const auto after = std::upper_bound(track.begin(), track.end(), t,
                                        [](double v, const Point& p) { return v < p.time; });
    if (after == track.begin() || after == track.end()) return false;
    const Point& a = *(after - 1);
    const double k = (t - a.time) / (after->time - a.time);
    photogeo::GpsFix fix;
    fix.latitude = a.lat + k * (after->lat - a.lat);
    fix.longitude = a.lon + k * (after->lon - a.lon);
    fix.altitude = a.ele + k * (after->ele - a.ele);
    fix.timeUtc = t;
    photogeo::ExifChanges changes;
    changes.gps = fix;
    auto edited = photogeo::EditJpeg(file.value().data(), file.value().size(), changes);
    return edited && photogeo::WriteFileAtomically(path, edited.value());
}

double Latitude(const std::string& path) {
    auto file = photogeo::ReadWholeFile(path);
    if (!file) return NAN;
    auto tags = photogeo::ExifTags::FromJpeg(file.value().data(), file.value().size());
    const auto lat = tags ? tags.value().Find(photogeo::ExifDirectory::kGps, 2) : std::nullopt;
    return lat ? *lat->Rational(0) + *lat->Rational(1) / 60 + *lat->Rational(2) / 3600 : NAN;
}

double Seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

}  // namespace

int main(int argc, char** argv) {
    const int count = argc > 1 ? std::atoi(argv[1]) : 1000;
    // The photos go to $TMPDIR (default /tmp): the file system decides what an fsync costs.
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/photogeo-bench-XXXXXX";
    std::vector<char> dir(pattern.begin(), pattern.end());
    dir.push_back('\0');
    if (!::mkdtemp(dir.data()) || count < 1) return 1;
    const std::string lib = std::string(dir.data()) + "/lib", tool = std::string(dir.data()) + "/exiftool";
    const std::string track = std::string(dir.data()) + "/track.gpx";
    if (std::system(("mkdir '" + lib + "' '" + tool + "'").c_str()) != 0) return 1;

    const long long last = kTrackStart + 5 + static_cast<long long>(count) * kShotStep + kTrackStep;
    FILE* gpx = std::fopen(track.c_str(), "w");
    std::fprintf(gpx, "<?xml version=\"1.0\"?>\n<gpx version=\"1.1\" creator=\"bench\" "
                      "xmlns=\"http://www.topografix.com/GPX/1/1\"><trk><trkseg>\n");
    for (long long t = kTrackStart, i = 0; t <= last; t += kTrackStep, ++i)
        std::fprintf(gpx, "<trkpt lat=\"%.7f\" lon=\"%.7f\"><ele>%.2f</ele><time>%s</time></trkpt>\n",
                     35.0 + 0.0001 * i, 139.0 + 0.00013 * i, -5.0 + 0.1 * static_cast<double>(i % 200),
                     Stamp(t, "-", "T", "Z").c_str());
    std::fprintf(gpx, "</trkseg></trk></gpx>\n");
    std::fclose(gpx);

    using R = testsupport::PhotoRecipe;
    const Bytes model = testsupport::MakePhoto(
        testsupport::With({&R::makerNote, &R::gps, &R::thumbnail}), Picture());
    const std::string modelDate = "2024:05:06 07:08:09";
    std::vector<std::string> names;
    for (int i = 0; i < count; ++i) {
        Bytes photo = model;
        const std::string date = Stamp(kTrackStart + 5 + static_cast<long long>(i) * kShotStep, ":", " ", "");
        for (auto at = photo.begin();
             (at = std::search(at, photo.end(), modelDate.begin(), modelDate.end())) != photo.end();)
            at = std::copy(date.begin(), date.end(), at);
        names.push_back("p" + std::to_string(i) + ".jpg");
        for (const std::string& d : {lib, tool}) {
            FILE* f = std::fopen((d + "/" + names.back()).c_str(), "wb");
            std::fwrite(photo.data(), 1, photo.size(), f);
            std::fclose(f);
        }
    }
    std::printf("%d photos of %zu bytes, a track of %lld points\n", count, model.size(),
                (last - kTrackStart) / kTrackStep + 1);

    const std::vector<Point> points = ReadTrack(track);
    auto start = std::chrono::steady_clock::now();
    int failed = 0;
    for (const std::string& n : names) failed += !Geotag(lib + "/" + n, points);
    const double library = Seconds(start);

    start = std::chrono::steady_clock::now();
    const std::string cmd = "TZ=UTC exiftool -q -m -geotag '" + track + "' -overwrite_original '" +
                            tool + "' >/dev/null 2>&1";
    const bool ran = std::system(cmd.c_str()) == 0;
    const double exiftool = Seconds(start);

    double worst = 0;
    for (const std::string& n : names)
        worst = std::max(worst, std::fabs(Latitude(lib + "/" + n) - Latitude(tool + "/" + n)));
    std::printf("library   %8.0f photos/s  (%.2f s, %d failed)\n", count / library, library, failed);
    if (ran)
        std::printf("exiftool  %8.0f photos/s  (%.2f s)  library %.1fx faster\n", count / exiftool,
                    exiftool, exiftool / library);
    else
        std::printf("exiftool  did not run\n");
    std::printf("largest latitude difference between the two: %.2g degrees (%.2g m)\n", worst,
                worst * 111320);
    return std::system(("rm -rf '" + std::string(dir.data()) + "'").c_str()) == 0 && !failed ? 0 : 1;
}
