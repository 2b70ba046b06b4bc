// Geotagging speed of the lossless editor against ExifTool: N photos (1024 x 768, an EXIF block
// with a maker note, a GPS directory and a thumbnail, each shot at its own second) are given
// the position of a GPX track at their shooting time, through the library (read the file, look
// up DateTimeOriginal, interpolate on the track, EditJpeg, WriteFileAtomically in place, which
// fsyncs each file before its rename) in three ways: the folder synced after each photo, once
// per batch (WriteOptions::syncFolder false, then SyncFolder), and a batch from two threads;
// and once by `exiftool -geotag TRACK -overwrite_original` over a copy of the same files (one
// process for all, no fsync). Both take the shooting time as UTC. Prints the rates, their
// ratios, and the largest distance between the two tools' positions for the same photo.
//   bench_edit [photos]         (the photos are made under $TMPDIR, default /tmp)
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
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
bool Geotag(const std::string& path, const std::vector<Point>& track,
            const photogeo::WriteOptions& options) {
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
    return edited && photogeo::WriteFileAtomically(path, edited.value(), options);
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

// Geotags the files in folder through the library from `threads` threads (file i by thread
// i mod threads); a batch defers the folder sync to one SyncFolder at the end. Seconds taken.
double GeotagAll(const std::string& folder, const std::vector<std::string>& names,
                 const std::vector<Point>& track, bool batch, unsigned threads, int* failed) {
    photogeo::WriteOptions options;
    options.syncFolder = !batch;
    std::atomic<int> failures{0};
    const auto start = std::chrono::steady_clock::now();
    std::vector<std::thread> workers;
    for (unsigned t = 0; t < threads; ++t)
        workers.emplace_back([&, t] {
            for (size_t i = t; i < names.size(); i += threads)
                failures += !Geotag(folder + "/" + names[i], track, options);
        });
    for (std::thread& w : workers) w.join();
    if (batch && !photogeo::SyncFolder(folder)) ++failures;
    *failed += failures;
    return Seconds(start);
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
    ::sync();  // the timings start with the new files on the disk, not in the write-back queue
    std::printf("%d photos of %zu bytes, a track of %lld points\n", count, model.size(),
                (last - kTrackStart) / kTrackStep + 1);

    // The library three ways, each over the photos as the previous one left them (a re-tag
    // costs what a first tag does): a folder sync per photo, one per batch, and two threads.
    const std::vector<Point> points = ReadTrack(track);
    int failed = 0;
    const struct {
        const char* name;
        bool batch;
        unsigned threads;
    } ways[] = {{"library, each photo synced with its folder", false, 1},
                {"library, folder synced once per batch", true, 1},
                {"library, batch, 2 threads", true, 2}};
    double seconds[3];
    for (int w = 0; w < 3; ++w)
        seconds[w] = GeotagAll(lib, names, points, ways[w].batch, ways[w].threads, &failed);

    auto start = std::chrono::steady_clock::now();
    const std::string cmd = "TZ=UTC exiftool -q -m -geotag '" + track + "' -overwrite_original '" +
                            tool + "' >/dev/null 2>&1";
    const bool ran = std::system(cmd.c_str()) == 0;
    const double exiftool = Seconds(start);

    double worst = 0;
    for (const std::string& n : names)
        worst = std::max(worst, std::fabs(Latitude(lib + "/" + n) - Latitude(tool + "/" + n)));
    if (ran)
        std::printf("exiftool -geotag: %8.0f photos/s  (%.2f s)\n", count / exiftool, exiftool);
    else
        std::printf("exiftool  did not run\n");
    for (int w = 0; w < 3; ++w)
        std::printf("%s: %8.0f photos/s  (%.2f s)  %.1fx exiftool\n", ways[w].name,
                    count / seconds[w], seconds[w], ran ? exiftool / seconds[w] : 0.0);
    if (failed) std::printf("%d photos failed\n", failed);
    std::printf("largest latitude difference between the two: %.2g degrees (%.2g m)\n", worst,
                worst * 111320);
    return std::system(("rm -rf '" + std::string(dir.data()) + "'").c_str()) == 0 && !failed ? 0 : 1;
}
