// The photogeo tool's batch geotagging against `exiftool -geotag`: N small photos (160 x 120, an
// EXIF block with DateTimeOriginal, each shot at its own second) in a folder tree of 10 x 10
// folders are tagged in place from three GPX files (three consecutive outings) by one
// `photogeo geotag -r` process, with --jobs 1 and --jobs 2 when the tool has --jobs, and by one
// `exiftool -geotag` process over the first folder's photos (ExifTool is slow; its rate is
// taken on that subset). Both read the shooting time as UTC. Prints photos per second, the
// ratios, and the largest distance between the two tools' positions for the same photo.
//   bench_geotag [photos [exiftool-photos]]   (default 10000 and 1000; made under $TMPDIR)
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "photogeo/ExifEdit.h"
#include "photogeo/SafeFile.h"
#include "support/JpegEncode.h"
#include "support/TestPhotos.h"

namespace {

using Bytes = std::vector<unsigned char>;

constexpr long long kTrackStart = 1714978800;  // 2024-05-06 07:00:00 UTC
constexpr int kTrackStep = 10;                 // seconds between track points
constexpr int kShotStep = 7;                   // seconds between photos
constexpr int kTracks = 3;
constexpr int kFolders = 10;                   // top folders, each with as many subfolders
constexpr double kMetresPerDegree = 111320.0;

// "YYYY<sep>MM<sep>DD<middle>HH:MM:SS<end>" for a UTC time in May 2024 (the bench's span).
std::string Stamp(long long t, const char* sep, const char* middle, const char* end) {
    const long long kMay1 = 1714521600;  // 2024-05-01T00:00:00Z
    const long long s = t - kMay1;
    char text[40];
    std::snprintf(text, sizeof text, "2024%s05%s%02lld%s%02lld:%02lld:%02lld%s", sep, sep,
                  1 + s / 86400, middle, s % 86400 / 3600, s % 3600 / 60, s % 60, end);
    return text;
}

// The bench's own inputs, written plainly (no fsync: making them is not what is timed).
bool Write(const std::string& path, const Bytes& bytes) {
    FILE* f = std::fopen(path.c_str(), "wb");
    bool ok = f && std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return f && std::fclose(f) == 0 && ok;
}

bool Run(const std::string& command) { return std::system(command.c_str()) == 0; }

double Seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

double Latitude(const std::string& path) {
    auto file = photogeo::ReadWholeFile(path);
    if (!file) return NAN;
    auto tags = photogeo::ExifTags::FromJpeg(file.value().data(), file.value().size());
    const auto lat = tags ? tags.value().Find(photogeo::ExifDirectory::kGps, 2) : std::nullopt;
    return lat ? *lat->Rational(0) + *lat->Rational(1) / 60 + *lat->Rational(2) / 3600 : NAN;
}

}  // namespace

int main(int argc, char** argv) {
    std::setvbuf(stdout, nullptr, _IOLBF, 0);  // each result as soon as it is measured
    const int count = argc > 1 ? std::atoi(argv[1]) : 10000;
    const int subset = std::min(count, argc > 2 ? std::atoi(argv[2]) : 1000);
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/photogeo-geotag-XXXXXX";
    std::vector<char> dir(pattern.begin(), pattern.end());
    dir.push_back('\0');
    if (!::mkdtemp(dir.data()) || count < kFolders * kFolders || subset < 1) return 2;
    const std::string root = dir.data(), model = root + "/photos", subsetTree = root + "/exiftool";

    // Three GPX files, one after the other in time, covering all the shots.
    const long long last = kTrackStart + 5 + static_cast<long long>(count) * kShotStep + kTrackStep;
    const long long points = (last - kTrackStart) / kTrackStep + 1;
    std::string gpxArgs, exiftoolArgs;
    for (int k = 0; k < kTracks; ++k) {
        const std::string path = root + "/track" + std::to_string(k) + ".gpx";
        std::string text = "<?xml version=\"1.0\"?>\n<gpx version=\"1.1\" creator=\"bench\" "
                           "xmlns=\"http://www.topografix.com/GPX/1/1\"><trk><trkseg>\n";
        for (long long i = points * k / kTracks; i <= points * (k + 1) / kTracks && i < points; ++i) {
            char line[200];
            std::snprintf(line, sizeof line,
                          "<trkpt lat=\"%.7f\" lon=\"%.7f\"><ele>%.2f</ele><time>%s</time></trkpt>\n",
                          35.0 + 0.0001 * i, 139.0 + 0.00013 * i, 10.0 + 0.1 * (i % 200),
                          Stamp(kTrackStart + i * kTrackStep, "-", "T", "Z").c_str());
            text += line;
        }
        text += "</trkseg></trk></gpx>\n";
        if (!Write(path, Bytes(text.begin(), text.end()))) return 2;
        gpxArgs += " --gpx '" + path + "'";
        exiftoolArgs += " -geotag '" + path + "'";
    }

    // The photos: one model, its date changed per photo, spread over the folder tree.
    Bytes pixels(160 * 120 * 3);
    unsigned x = 12345;
    for (unsigned char& p : pixels) p = static_cast<unsigned char>((x = x * 1103515245 + 12345) >> 24);
    const Bytes photo = testsupport::MakePhoto(testsupport::PhotoRecipe{},
                                               testsupport::CompressJpeg(pixels.data(), 160, 120, 3));
    const std::string modelDate = "2024:05:06 07:08:09";
    std::vector<std::string> names;
    for (int i = 0; i < count; ++i) {
        const int folder = i * kFolders * kFolders / count;
        const std::string sub = "/d" + std::to_string(folder / kFolders) + "/s" + std::to_string(folder % kFolders);
        if (i == 0 || folder != (i - 1) * kFolders * kFolders / count) {
            if (!Run("mkdir -p '" + model + sub + "' '" + subsetTree + sub + "'")) return 2;
        }
        Bytes bytes = photo;
        const std::string date = Stamp(kTrackStart + 5 + static_cast<long long>(i) * kShotStep, ":", " ", "");
        auto at = std::search(bytes.begin(), bytes.end(), modelDate.begin(), modelDate.end());
        if (at == bytes.end()) return 2;
        std::copy(date.begin(), date.end(), at);
        names.push_back(sub + "/p" + std::to_string(i) + ".jpg");
        if (!Write(model + names.back(), bytes)) return 2;
        if (i < subset && !Write(subsetTree + names.back(), bytes)) return 2;
    }
    std::printf("%d photos of %zu bytes in %d folders, %d GPX files of %lld points in all\n", count,
                photo.size(), kFolders * kFolders, kTracks, points);

    // photogeo, one process for the whole tree, on a fresh copy per run.
    const std::string tool = PHOTOGEO_TOOL;
    const bool hasJobs = Run("'" + tool + "' geotag --help | grep -q -- --jobs");
    std::vector<int> jobs = hasJobs ? std::vector<int>{1, 2} : std::vector<int>{0};
    double best = 0;
    int status = 0;
    for (int j : jobs) {
        const std::string tree = root + "/photogeo" + std::to_string(j);
        if (!Run("cp -r '" + model + "' '" + tree + "'")) return 2;
        const std::string command = "TZ=UTC '" + tool + "' geotag -r --in-place --offset +00:00" +
                                    gpxArgs + (j ? " --jobs " + std::to_string(j) : "") + " '" +
                                    tree + "' >/dev/null 2>&1";
        auto start = std::chrono::steady_clock::now();
        const bool ok = Run(command);
        const double seconds = Seconds(start);
        status |= !ok;
        best = std::max(best, count / seconds);
        std::printf("photogeo %-9s %8.0f photos/s  (%.2f s%s)\n",
                    j ? ("--jobs " + std::to_string(j)).c_str() : "", count / seconds, seconds,
                    ok ? "" : ", FAILED");
    }
    if (!hasJobs) std::printf("(this photogeo has no --jobs: one serial run)\n");

    // ExifTool, one process over the tree of the first photos (made with the others).
    const std::string& tree = subsetTree;
    auto start = std::chrono::steady_clock::now();
    const bool ran = Run("TZ=UTC exiftool -q -m -r" + exiftoolArgs + " -overwrite_original '" + tree +
                         "' >/dev/null 2>&1");
    const double exiftool = Seconds(start);
    if (!ran) {
        std::printf("exiftool  did not run\n");
        return 1;
    }
    std::printf("exiftool           %8.0f photos/s  (%.2f s for %d photos)  photogeo's best %.1fx\n",
                subset / exiftool, exiftool, subset, best / (subset / exiftool));
    double worst = 0;
    int untagged = 0;
    const std::string ours = root + "/photogeo" + std::to_string(jobs.back());
    for (int i = 0; i < subset; ++i) {
        const double d = std::fabs(Latitude(ours + names[i]) - Latitude(tree + names[i]));
        untagged += std::isnan(d);
        if (!std::isnan(d)) worst = std::max(worst, d);
    }
    std::printf("largest latitude difference on the subset: %.2g degrees (%.2g m); %d photos "
                "without a position from either tool\n", worst, worst * kMetresPerDegree, untagged);
    return Run("rm -rf '" + root + "'") && !status && !untagged ? 0 : 1;
}
