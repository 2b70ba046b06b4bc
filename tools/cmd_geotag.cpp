// "photogeo geotag": gives photos a position (and optionally altitude, bearing, datum, title,
// comment), either as typed or interpolated from a GPX track at each photo's shooting time.
// Each photo is read with CExifIfdCoder::Decoder, its record edited, and written back with
// Coder (a new EXIF block, to a copy or in place) or OverwriteGPS (a patch of the existing
// block); the result is read back to confirm that the position arrived.
#include <photogeo/ExifIfdCoder.h>
#include <fcntl.h>
#include <photogeo/SafeFile.h>
#include <sys/stat.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "cli.h"
#include "commands.h"
#include "dates.h"
#include "gpx.h"
#include "photo.h"

namespace cli {

namespace {

const char kUsage[] =
    "Usage: photogeo geotag FILE... --lat D --lon D [--alt M] [--dir DEG] [--dir-ref T|M]\n"
    "                       [--datum TEXT] [--title TEXT] [--comment TEXT] MODE\n"
    "       photogeo geotag --gpx TRACK.gpx [--offset +HH:MM] [--max-gap SECONDS] FILE... MODE\n"
    "MODE:  -o OUT | --in-place | --patch      (add --dry-run to only report)\n";
const char kIntro[] = "Writes a position and other items into the EXIF of JPEG photos.\n";
const char kFooter[] =
    "Each photo is reported on standard output. Exit status 1 when a photo could not be\n"
    "read or written (the others are still processed); skipped photos are not failures.\n"
    "Example: photogeo geotag photo.jpg --lat 35.6586 --lon 139.7454 -o tagged.jpg\n";

// The command line as parsed; given() tells whether an option was.
struct Arguments {
    const CLI::App* app = nullptr;
    std::vector<std::string> files;
    double lat = 0.0, lon = 0.0, alt = 0.0, dir = 0.0, maxGap = 300.0;
    std::string dirRef, datum, title, comment, gpx, offset, out;
    bool inPlace = false, patch = false, dryRun = false, keepTime = false;

    bool given(const std::string& option) const { return app->count(option) != 0; }
};

// What the command line asks to set; a field is set when its flag is.
struct Edits {
    bool position = false;
    double lat = 0.0, lon = 0.0;
    bool altitude = false;
    double alt = 0.0;
    bool direction = false;
    double dir = 0.0;
    char dirRef = 'T';
    bool datum = false;
    std::string datumText;
    bool title = false;
    std::string titleSjis;
    bool comment = false;
    std::string commentSjis;
};

enum class Mode { kCopy, kInPlace, kPatch };

struct Options {
    Mode mode = Mode::kCopy;
    std::string out;
    bool outIsDir = false;
    bool dryRun = false;
    bool keepTime = false;
};

// Matches the precision the writer stores a position with: whole degrees and minutes with
// three decimals is 1/60000 degree; a patch may round to whole seconds' hundredths.
const double kPositionTolerance = 1e-4;

Edits ParseEdits(const Arguments& a) {
    Edits e;
    if (a.given("--lat")) {
        e.position = true;
        e.lat = a.lat;
        e.lon = a.lon;
    }
    if (a.given("--alt")) {
        e.altitude = true;
        e.alt = a.alt;
    }
    if (a.given("--dir")) {
        e.direction = true;
        e.dir = a.dir;
    }
    if (a.given("--dir-ref")) e.dirRef = a.dirRef[0];
    if (a.given("--datum")) {
        e.datum = true;
        e.datumText = a.datum;
        for (unsigned char c : e.datumText) {
            if (c < 0x20 || c > 0x7E) throw UsageError("--datum must be printable ASCII");
        }
        // The record keeps the datum in 80 bytes, its NUL included.
        if (e.datumText.size() > 79) throw UsageError("--datum is longer than 79 characters");
    }
    if (a.given("--title")) {
        e.title = true;
        e.titleSjis = Utf8ToSjis(a.title, "--title");
    }
    if (a.given("--comment")) {
        e.comment = true;
        e.commentSjis = Utf8ToSjis(a.comment, "--comment");
    }
    return e;
}

void Apply(const Edits& e, SExifProperty& p) {
    if (e.position) {
        p.bGPSPosition = 1;
        p.dGPSLatitude = e.lat;
        p.dGPSLongitude = e.lon;
    }
    if (e.altitude) {
        p.bGPSAltitude = 1;
        p.dGPSAltitude = e.alt;
    }
    if (e.direction) {
        p.bGPSImgDirection = 1;
        p.bGPSImgDirectionRef = 1;
        p.dGPSImgDirection = e.dir;
        p.szGPSImgDirectionRef[0] = e.dirRef;
        p.szGPSImgDirectionRef[1] = '\0';
    }
    if (e.datum) {
        p.bGPSMapDatum = 1;
        std::memset(p.szGPSMapDatum, 0, sizeof p.szGPSMapDatum);
        std::memcpy(p.szGPSMapDatum, e.datumText.data(), e.datumText.size());
    }
    if (e.title) {
        p.bImageDescription = 1;
        p.strImageDescription = e.titleSjis.c_str();
    }
    if (e.comment) {
        p.bUserComment = 1;
        p.strUserComment = e.commentSjis.c_str();
    }
}

bool IsDirectory(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string BaseName(const std::string& path) {
    std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string FormatPosition(double lat, double lon) {
    char text[64];
    std::snprintf(text, sizeof text, "%.6f, %.6f", lat, lon);
    return text;
}

// Reads the written photo back and checks that the position (when one was set) is there.
bool Confirm(const std::string& written, const Edits& e, std::string& cause) {
    if (!e.position) return true;
    CExifIfdCoder check;
    if (!check.Decoder(written.c_str()) || check.m_nStatus != 1) {
        cause = "the written file has no readable EXIF block";
        return false;
    }
    const SExifProperty& p = check.m_Property;
    if (!p.bGPSPosition || std::fabs(p.dGPSLatitude - e.lat) > kPositionTolerance ||
        std::fabs(p.dGPSLongitude - e.lon) > kPositionTolerance) {
        cause = "the position did not arrive in the file";
        return false;
    }
    return true;
}

// Writes one photo whose record has been edited; false with the cause on failure.
bool Write(CExifIfdCoder& coder, const std::string& file, const Options& options,
           const Edits& edits, std::string& target, std::string& cause) {
    target = options.mode == Mode::kCopy
                 ? (options.outIsDir ? options.out + "/" + BaseName(file) : options.out)
                 : file;
    photogeo::Result<void> writable = photogeo::CheckOutputTarget(target);
    if (!writable) {
        cause = writable.error().message;
        return false;
    }
    if (options.dryRun) return true;
    struct stat input {};
    if (options.keepTime && stat(file.c_str(), &input) != 0) {
        cause = "stat " + file + ": " + ErrnoText(errno);
        return false;
    }
    switch (options.mode) {
        case Mode::kCopy:
            if (!coder.Coder(file.c_str(), target.c_str(), 0, 1)) {
                cause = "cannot write " + target +
                        " (unwritable, or the new EXIF block would be too large)";
                return false;
            }
            break;
        case Mode::kInPlace:
            if (!coder.Coder(file.c_str(), file.c_str(), 0, 1)) {
                cause = "cannot rewrite the file (unchanged)";
                return false;
            }
            break;
        case Mode::kPatch:
            if (coder.m_nStatus != 1) {
                cause = "has no EXIF block to patch; use --in-place or -o";
                return false;
            }
            if (!coder.OverwriteGPS(file.c_str())) {
                cause = "cannot patch the file (unchanged)";
                return false;
            }
            break;
    }
    const struct timespec times[2] = {input.st_atim, input.st_mtim};
    if (options.keepTime && utimensat(AT_FDCWD, target.c_str(), times, 0) != 0) {
        cause = "set the times of " + target + ": " + ErrnoText(errno);
        return false;
    }
    if (!Confirm(target, edits, cause)) {
        if (options.mode == Mode::kPatch) {
            cause +=
                ": a patch changes only the GPS entries a photo already has; use "
                "--in-place or -o";
        }
        return false;
    }
    return true;
}

// The photo's shooting moment in seconds since 1970 UTC, from DateTimeOriginal.
bool ShootingTime(const SExifProperty& p, bool hasOffset, int offset, double& utc) {
    if (!p.bDateTimeOriginal) return false;
    const CTime& t = p.tmDateTimeOriginal;
    if (!hasOffset) {
        utc = t.GetTime();
        return true;
    }
    utc = static_cast<double>(WallClockAsUtc(t.GetYear(), t.GetMonth(), t.GetDay(), t.GetHour(),
                                             t.GetMinute(), t.GetSecond()) -
                              offset);
    return true;
}

int Run(const Arguments& a) {
    const std::vector<std::string>& files = a.files;
    Options options;
    int modes = a.given("--out") + a.inPlace + a.patch;
    if (modes != 1) throw UsageError("give exactly one of -o OUT, --in-place and --patch");
    if (a.given("--out")) {
        options.out = a.out;
        options.outIsDir = IsDirectory(options.out);
        if (files.size() > 1 && !options.outIsDir) {
            throw UsageError("-o must name an existing directory when there are several files");
        }
    }
    options.mode = a.inPlace ? Mode::kInPlace : a.patch ? Mode::kPatch : Mode::kCopy;
    options.dryRun = a.dryRun;
    options.keepTime = a.keepTime;

    Edits base = ParseEdits(a);
    bool gpx = a.given("--gpx");
    if (!gpx && !base.position && !base.altitude && !base.direction && !base.datum && !base.title &&
        !base.comment) {
        throw UsageError("nothing to write: give --lat and --lon, --gpx, or another item");
    }
    bool hasOffset = a.given("--offset");
    int offset = hasOffset ? ParseUtcOffset(a.offset, "--offset") : 0;
    const double maxGap = a.maxGap;

    std::vector<TrackPoint> track;
    if (gpx) {
        std::string cause;
        if (!LoadGpx(a.gpx, track, cause)) {
            ReportFileError(a.gpx, cause);
            return kExitFileFailed;
        }
        if (track.empty()) {
            ReportFileError(a.gpx, "has no track points with a time");
            return kExitFileFailed;
        }
    }

    int status = kExitOk;
    Progress progress(files.size());
    for (const std::string& file : files) {
        progress.Step(file);
        CExifIfdCoder coder;
        std::string cause;
        if (!ReadPhoto(file, coder, false, cause)) {
            progress.Clear();
            ReportFileError(file, cause);
            status = kExitFileFailed;
            continue;
        }
        Edits edits = base;
        std::string note;
        if (gpx) {
            double when = 0.0;
            if (!ShootingTime(coder.m_Property, hasOffset, offset, when)) {
                std::printf("%s: skipped, no shooting time (DateTimeOriginal)\n", file.c_str());
                continue;
            }
            Fix fix{};
            FixOutcome outcome = FindFix(track, when, maxGap, fix);
            if (outcome == FixOutcome::kOutside) {
                std::printf("%s: skipped, shot at %s, outside the track (%s to %s)\n", file.c_str(),
                            IsoUtc(when).c_str(), IsoUtc(track.front().time).c_str(),
                            IsoUtc(track.back().time).c_str());
                continue;
            }
            if (outcome == FixOutcome::kTooFar) {
                std::printf("%s: skipped, shot at %s, more than %g s from a track point\n",
                            file.c_str(), IsoUtc(when).c_str(), maxGap);
                continue;
            }
            edits.position = true;
            edits.lat = fix.lat;
            edits.lon = fix.lon;
            if (fix.hasEle && !base.altitude) {
                edits.altitude = true;
                edits.alt = fix.ele;
            }
            char text[96];
            std::snprintf(text, sizeof text, " (shot at %s, %.0f s from a track point)",
                          IsoUtc(when).c_str(), fix.gap);
            note = text;
        }
        Apply(edits, coder.m_Property);
        std::string target;
        if (!Write(coder, file, options, edits, target, cause)) {
            progress.Clear();
            ReportFileError(file, cause);
            status = kExitFileFailed;
            continue;
        }
        std::string what = edits.position ? FormatPosition(edits.lat, edits.lon) : "items set";
        if (edits.altitude) what += ", " + std::to_string(static_cast<long>(edits.alt)) + " m";
        std::string where = options.mode == Mode::kPatch ? "patched in place"
                            : target == file             ? "rewritten in place"
                                                         : "-> " + target;
        std::printf("%s: %s%s %s%s\n", file.c_str(), options.dryRun ? "would write " : "",
                    what.c_str(), where.c_str(), note.c_str());
    }
    return status;
}

std::function<int()> Setup(CLI::App& app) {
    SetHelp(app, kUsage, kIntro, kFooter);
    auto a = std::make_shared<Arguments>();
    a->app = &app;
    app.add_option("FILE", a->files, "JPEG photos")->required();
    CLI::Option* lat = app.add_option("--lat", a->lat, "latitude in degrees, south negative")
                           ->check(Range(-90.0, 90.0))
                           ->option_text("D");
    CLI::Option* lon = app.add_option("--lon", a->lon, "longitude in degrees, west negative")
                           ->check(Range(-180.0, 180.0))
                           ->option_text("D");
    lat->needs(lon);
    lon->needs(lat);
    app.add_option("--alt", a->alt,
                   "altitude in metres (stored as whole metres; below sea level as 0)")
        ->check(Range(-1e8, 1e8))
        ->option_text("M");
    CLI::Option* dir = app.add_option("--dir", a->dir, "bearing of the view in degrees, 0 to 360")
                           ->check(Range(0.0, 360.0))
                           ->option_text("DEG");
    app.add_option("--dir-ref", a->dirRef,
                   "bearing against true (T, default) or magnetic (M) north")
        ->check(CLI::IsMember({"T", "M"}))
        ->needs(dir)
        ->option_text("T|M");
    app.add_option("--datum", a->datum, "map datum, as WGS-84 or TOKYO")->option_text("TEXT");
    app.add_option("--title", a->title, "title (UTF-8, stored as Shift-JIS)")->option_text("TEXT");
    app.add_option("--comment", a->comment, "comment (UTF-8, stored as Shift-JIS)")
        ->option_text("TEXT");
    CLI::Option* gpx =
        app.add_option("--gpx", a->gpx,
                       "take each photo's position (and altitude) from the track, interpolated "
                       "at its shooting time (DateTimeOriginal); photos outside the track or "
                       "farther than the gap from a track point are skipped")
            ->option_text("TRACK.gpx")
            ->excludes(lat)
            ->excludes(lon);
    app.add_option("--offset", a->offset,
                   "the camera clock's offset from UTC (default: the TZ time zone)")
        ->needs(gpx)
        ->option_text("+HH:MM");
    app.add_option("--max-gap", a->maxGap,
                   "largest distance in time to a track point (default 300)")
        ->check(Range(0.0))
        ->needs(gpx)
        ->option_text("SECONDS");
    app.add_option("-o,--out", a->out,
                   "write a copy: OUT is a file, or a directory for several photos")
        ->option_text("OUT");
    app.add_flag("--in-place", a->inPlace,
                 "rewrite each photo with a new EXIF block (safely, via a temporary file)");
    app.add_flag("--patch", a->patch,
                 "patch the existing EXIF block in place; the file keeps its length, so only "
                 "items the photo already has can change");
    app.add_flag("-n,--dry-run", a->dryRun, "report what would be done, write nothing");
    app.add_flag("--keep-time", a->keepTime,
                 "give the written photo the access and modification times of the one read");
    return [a] { return Run(*a); };
}

}  // namespace

const Command kGeotagCommand = {
    "geotag", "write a position (typed or from a GPX track) into photos", Setup};

}  // namespace cli
