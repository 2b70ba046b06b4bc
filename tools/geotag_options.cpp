// The command line of "photogeo geotag": its help texts and options, and the Batch they ask for
// (the items to write, the mode, the tracks and the camera clock). Called by cmd_geotag.cpp.
#include <photogeo/ExifEdit.h>
#include <photogeo/SafeFile.h>
#include <sys/stat.h>

#include <string>

#include "dates.h"
#include "geotag.h"

namespace cli {
namespace geotag {

namespace {

const char kUsage[] =
    "Usage: photogeo geotag FILE|DIR... [-r] --lat D --lon D [--alt M] [--dir DEG] [--dir-ref T|M]\n"
    "                       [--datum TEXT] [--title TEXT] [--comment TEXT] MODE\n"
    "       photogeo geotag --gpx TRACK.gpx... [--offset +HH:MM[:SS] | --tz ZONE]\n"
    "                       [--drift SECONDS | --sync PHOTO=UTC-TIME] [--max-gap SECONDS]\n"
    "                       [--max-distance METRES] [--skip-tagged] FILE|DIR... [-r] MODE\n"
    "MODE:  -o OUT | --in-place | --patch   (add --rebuild, --keep-time, --dry-run, --jobs N,\n"
    "       --quiet or --json)\n"
    "       (-r goes through folders; with -o DIR the tree below DIR mirrors the input tree)\n";
const char kIntro[] =
    "Writes a position and other items into the EXIF of JPEG photos. Only the items asked for\n"
    "change: every other tag, maker notes included, keeps its value and place, and the picture\n"
    "data is copied unchanged. A new position replaces the GPS items of the old one (its\n"
    "altitude and time too); the bearing and the datum are kept unless given. A photo without\n"
    "EXIF gets a minimal block (resolution items and the GPS directory, nothing invented).\n";
const char kFooter[] =
    "Each photo is reported on standard output (standard error with -o -), in the order given\n"
    "whatever --jobs, and a summary ends a batch of several photos. Exit status 1 when\n"
    "a photo could not be read or written, the others still being processed; a failed photo\n"
    "is left as it was. Skipped photos are not failures, but when every photo is skipped\n"
    "the exit status is 3 (nothing done).\n"
    "Example: photogeo geotag photo.jpg --lat 35.6586 --lon 139.7454 -o tagged.jpg\n";

const std::size_t kMaxDatum = 79;  // the record keeps the datum in 80 bytes, NUL included

Request ParseRequest(const Arguments& a) {
    Request r;
    if (a.given("--lat")) {
        r.lat = a.lat;
        r.lon = a.lon;
    }
    if (a.given("--alt")) r.alt = a.alt;
    if (a.given("--dir")) r.dir = a.dir;
    if (a.given("--dir-ref")) r.dirRef = a.dirRef[0];
    if (a.given("--datum")) {
        for (unsigned char c : a.datum) {
            if (c < 0x20 || c > 0x7E) throw UsageError("--datum must be printable ASCII");
        }
        if (a.datum.size() > kMaxDatum) throw UsageError("--datum is longer than 79 characters");
        r.datum = a.datum;
    }
    if (a.given("--title")) r.title = a.title;
    if (a.given("--comment")) r.comment = a.comment;
    // The rebuilt and patched blocks keep texts in Shift-JIS: refuse what it cannot carry now.
    if (a.rebuild || a.patch) {
        if (r.title) Utf8ToSjis(*r.title, "--title");
        if (r.comment) Utf8ToSjis(*r.comment, "--comment");
    }
    return r;
}

bool IsDirectory(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// --sync PHOTO=UTC-TIME: the drift that makes PHOTO's shooting time the time it shows.
double SyncDrift(const std::string& sync, const CameraClock& clock) {
    std::size_t eq = sync.find_last_of('=');
    double shown = 0.0;
    if (eq == std::string::npos || !ParseIsoDateTime(sync.substr(eq + 1), shown)) {
        throw UsageError("--sync: give PHOTO=YYYY-MM-DDTHH:MM:SS (UTC), not '" + sync + "'");
    }
    const std::string photo = sync.substr(0, eq);
    photogeo::Result<std::vector<unsigned char>> bytes = photogeo::ReadWholeFile(photo);
    if (!bytes) throw UsageError("--sync: " + bytes.error().message);
    photogeo::Result<photogeo::ExifTags> tags =
        photogeo::ExifTags::FromJpeg(bytes.value().data(), bytes.value().size());
    std::optional<double> camera = tags ? ShootingInstant(tags.value(), clock) : std::nullopt;
    if (!camera) throw UsageError("--sync: " + photo + " has no shooting time (DateTimeOriginal)");
    return *camera - shown;
}

}  // namespace

void DeclareOptions(CLI::App& app, Arguments& a) {
    SetHelp(app, kUsage, kIntro, kFooter);
    a.app = &app;
    AddPhotoArguments(app, "FILE", a.files, a.recursive);
    app.add_flag("--skip-tagged", a.skipTagged,
                 "leave photos that already have a position as they are (without it they get the "
                 "new one)");
    CLI::Option* lat = app.add_option("--lat", a.lat, "latitude in degrees, south negative")
                           ->check(Range(-90.0, 90.0))
                           ->option_text("D");
    CLI::Option* lon = app.add_option("--lon", a.lon, "longitude in degrees, west negative")
                           ->check(Range(-180.0, 180.0))
                           ->option_text("D");
    lat->needs(lon);
    lon->needs(lat);
    app.add_option("--alt", a.alt, "altitude in metres, below sea level negative")
        ->check(Range(-1e7, 1e7))
        ->option_text("M");
    CLI::Option* dir = app.add_option("--dir", a.dir, "bearing of the view in degrees, 0 to 360")
                           ->check(Range(0.0, 360.0))
                           ->option_text("DEG");
    app.add_option("--dir-ref", a.dirRef,
                   "bearing against true (T, default) or magnetic (M) north")
        ->check(CLI::IsMember({"T", "M"}))
        ->needs(dir)
        ->option_text("T|M");
    app.add_option("--datum", a.datum, "map datum, as WGS-84 or TOKYO")->option_text("TEXT");
    app.add_option("--title", a.title, "title, stored as ImageDescription in UTF-8")
        ->option_text("TEXT");
    app.add_option("--comment", a.comment,
                   "comment, stored as UserComment with the ASCII code when it is ASCII, else "
                   "UNICODE (UCS-2 in the block's byte order)")
        ->option_text("TEXT");
    CLI::Option* gpx =
        app.add_option("--gpx", a.gpx,
                       "take each photo's position (and altitude) from the track (GPX, an NMEA "
                       "log or GeoJSON, told apart by content), interpolated "
                       "at its shooting time (DateTimeOriginal), which becomes the GPS time; "
                       "photos outside the track or farther than the gap from a track point are "
                       "skipped. Repeat it for several tracks: positions are interpolated only "
                       "within a track segment; between segments or files a photo takes the "
                       "nearer end's position when it lies within the gap, and where tracks "
                       "overlap the one with a point nearest in time wins")
            ->allow_extra_args(false)
            ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll)
            ->option_text("TRACK.gpx")
            ->excludes(lat)
            ->excludes(lon);
    CLI::Option* offset =
        app.add_option("--offset", a.offset,
                       "the camera clock's zone as an offset from UTC (default: the photo's "
                       "OffsetTimeOriginal, else the TZ time zone)")
            ->needs(gpx)
            ->option_text("+HH:MM[:SS]");
    app.add_option("--tz", a.tz,
                   "the camera clock's zone by name, as Europe/Paris, from the system's zone "
                   "database with its summer time changes")
        ->needs(gpx)
        ->excludes(offset)
        ->option_text("ZONE");
    CLI::Option* drift =
        app.add_option("--drift", a.drift,
                       "how far the camera clock was ahead of the true time (behind: negative); "
                       "taken off every shooting time")
            ->check(Range(-1e9, 1e9))
            ->needs(gpx)
            ->option_text("SECONDS");
    app.add_option("--sync", a.sync,
                   "derive the drift from a photo of a GPS or clock screen: PHOTO's shooting "
                   "time against the UTC time it shows (YYYY-MM-DDTHH:MM:SS, or with its zone)")
        ->needs(gpx)
        ->excludes(drift)
        ->option_text("PHOTO=UTC-TIME");
    app.add_option("--max-gap", a.maxGap,
                   "largest distance in time to a track point (default 300)")
        ->check(Range(0.0))
        ->needs(gpx)
        ->option_text("SECONDS");
    app.add_option("--max-distance", a.maxDistance,
                   "two neighbouring track points farther apart than this are a jump: no "
                   "position is interpolated between them (default 0, no limit)")
        ->check(Range(0.0))
        ->needs(gpx)
        ->option_text("METRES");
    app.add_option("-o,--out", a.out,
                   "write a copy: OUT is a file, - for standard output, or a directory for "
                   "several photos (with -r the tree below it mirrors the input; two photos "
                   "with one target are refused); an existing OUT (or DIR/NAME) must be a "
                   "regular file")
        ->option_text("OUT");
    app.add_flag("--in-place", a.inPlace, "rewrite each photo (safely, via a temporary file)");
    CLI::Option* patch = app.add_flag(
        "--patch", a.patch,
        "change only entries the photo already has, in place, keeping the file's length (texts "
        "in Shift-JIS); a photo that lacks one is left unchanged and reported");
    app.add_flag("--rebuild", a.rebuild,
                 "with -o or --in-place: write an EXIF block rebuilt from the items the library "
                 "reads instead of changing only the items asked for. It drops tags the library "
                 "does not know, may break maker notes, stores texts in Shift-JIS (a UNICODE "
                 "comment too), the position to 1/1000 minute, the altitude in whole metres "
                 "(below sea level as 0), rewrites unknown dates, and gives a photo without "
                 "EXIF a make, model, dates and its file name as title")
        ->excludes(patch);
    app.add_flag("-n,--dry-run", a.dryRun,
                 "make and check each photo as a real run would, and report, but write nothing");
    app.add_flag("--json", a.json,
                 "report each photo as one JSON object a line: file, outcome (written, "
                 "would_write, skipped or failed), reason, target, the position written");
    app.add_flag("--keep-time", a.keepTime,
                 "give the written photo the access and modification times of the one read");
    app.add_option("-j,--jobs", a.jobs,
                   "photos made at once (default: one a core); the report and the files are the "
                   "same whatever the number")
        ->check(CLI::Range(1u, 256u))
        ->option_text("N");
    app.add_flag("-q,--quiet", a.quiet,
                 "report only failed photos (on standard error) and no summary");
}

bool MakeBatch(const Arguments& a, Batch& batch) {
    int modes = a.given("--out") + a.inPlace + a.patch;
    if (modes != 1) throw UsageError("give exactly one of -o OUT, --in-place and --patch");
    if (a.given("--out")) {
        batch.out = a.out;
        while (batch.out.size() > 1 && batch.out.back() == '/') batch.out.pop_back();
        batch.outIsDir = batch.out != "-" && IsDirectory(batch.out);
        if ((a.files.size() > 1 || a.recursive) && !batch.outIsDir) {
            throw UsageError("-o must name an existing directory when there are several files");
        }
    }
    batch.inPlace = a.inPlace || a.patch;
    batch.mode = a.patch ? Mode::kPatch : a.rebuild ? Mode::kRebuild : Mode::kLossless;
    batch.dryRun = a.dryRun;
    batch.keepTime = a.keepTime;
    batch.json = a.json;
    batch.skipTagged = a.skipTagged;
    batch.base = ParseRequest(a);
    batch.gpx = a.given("--gpx");
    if (!batch.gpx && !batch.base.Gps() && !batch.base.title && !batch.base.comment) {
        throw UsageError("nothing to write: give --lat and --lon, --gpx, or another item");
    }
    batch.clock = CameraClock::FromOptions(a.offset, a.tz);
    batch.clock.SetDrift(a.given("--sync") ? SyncDrift(a.sync, batch.clock) : a.drift);
    batch.limits.maxGap = a.maxGap;
    batch.limits.maxDistance = a.maxDistance;
    for (const std::string& path : a.gpx) {
        std::string cause;
        if (!batch.track.AddGpx(path, cause)) {
            ReportFileError(path, cause);
            return false;
        }
    }
    return true;
}

}  // namespace geotag
}  // namespace cli
