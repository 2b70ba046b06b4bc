// "photogeo geotag": gives photos a position (and optionally altitude, bearing, datum, title,
// comment), either as typed or interpolated from a GPX track at each photo's shooting time.
//
// By default the lossless editor of photogeo/ExifEdit.h changes the items asked for and nothing
// else. --rebuild goes through CExifIfdCoder::Coder (a new EXIF block built from the record) and
// --patch through OverwriteGPS (the existing entries patched in place); both run on a scratch
// copy. Every mode makes the new photo first, checks that the items asked for arrived, and only
// then writes it, all or nothing, so a failure changes no file and --dry-run (which stops before
// the write) reports exactly what a real run would do.
#include <photogeo/ExifEdit.h>
#include <photogeo/ExifIfdCoder.h>
#include <photogeo/SafeFile.h>
#include <sys/stat.h>
#include <sys/types.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "cli.h"
#include "commands.h"
#include "dates.h"
#include "gpx.h"
#include "photo.h"
#include "photo_gps.h"
#include "photo_walk.h"

namespace cli {

namespace {

const char kUsage[] =
    "Usage: photogeo geotag FILE|DIR... [-r] --lat D --lon D [--alt M] [--dir DEG] [--dir-ref T|M]\n"
    "                       [--datum TEXT] [--title TEXT] [--comment TEXT] MODE\n"
    "       photogeo geotag --gpx TRACK.gpx... [--offset +HH:MM] [--max-gap SECONDS]\n"
    "                       [--max-distance METRES] FILE... MODE\n"
    "MODE:  -o OUT | --in-place | --patch   (add --rebuild, --keep-time or --dry-run)\n"
    "       (-r goes through folders; with -o DIR the tree below DIR mirrors the input tree)\n";
const char kIntro[] =
    "Writes a position and other items into the EXIF of JPEG photos. Only the items asked for\n"
    "change: every other tag, maker notes included, keeps its value and place, and the picture\n"
    "data is copied unchanged. A new position replaces the GPS items of the old one (its\n"
    "altitude and time too); the bearing and the datum are kept unless given. A photo without\n"
    "EXIF gets a minimal block (resolution items and the GPS directory, nothing invented).\n";
const char kFooter[] =
    "Each photo is reported on standard output (standard error with -o -). Exit status 1 when\n"
    "a photo could not be read or written, the others still being processed; a failed photo\n"
    "is left as it was. Skipped photos are not failures, but when every photo is skipped\n"
    "the exit status is 3 (nothing done).\n"
    "Example: photogeo geotag photo.jpg --lat 35.6586 --lon 139.7454 -o tagged.jpg\n";

// EXIF tags the command reads or checks.
const uint16_t kTagImageDescription = 0x010E;
const uint16_t kTagDateTimeOriginal = 0x9003;
const uint16_t kTagOffsetTimeOriginal = 0x9011;
const uint16_t kTagUserComment = 0x9286;
const uint16_t kGpsLatitudeRef = 0x01, kGpsLatitude = 0x02;
const uint16_t kGpsLongitudeRef = 0x03, kGpsLongitude = 0x04;
const uint16_t kGpsAltitudeRef = 0x05, kGpsAltitude = 0x06;
const uint16_t kGpsTimeStamp = 0x07, kGpsDateStamp = 0x1D;
const uint16_t kGpsImgDirectionRef = 0x10, kGpsImgDirection = 0x11;
const uint16_t kGpsMapDatum = 0x12;

// The coarsest position a mode stores: the rebuilt block keeps minutes to three decimals
// (1/60000 degree), a patch rounds to the seconds the old entries hold.
const double kPositionTolerance = 1e-4;
const std::size_t kMaxDatum = 79;  // the record keeps the datum in 80 bytes, NUL included

// The command line as parsed; given() tells whether an option was.
struct Arguments {
    const CLI::App* app = nullptr;
    std::vector<std::string> files;
    double lat = 0.0, lon = 0.0, alt = 0.0, dir = 0.0, maxGap = 300.0, maxDistance = 0.0;
    std::string dirRef, datum, title, comment, offset, out;
    std::vector<std::string> gpx;
    bool inPlace = false, patch = false, rebuild = false, dryRun = false, keepTime = false;
    bool json = false, recursive = false, skipTagged = false;

    bool given(const std::string& option) const { return app->count(option) != 0; }
};

// What to write into one photo; an item is written when set.
struct Request {
    std::optional<double> lat, lon, alt, dir, fixTime;
    std::optional<char> dirRef;
    std::optional<std::string> datum, title, comment;  // UTF-8

    bool Gps() const { return lat || alt || dir || dirRef || datum; }
};

enum class Mode { kLossless, kRebuild, kPatch };

struct Options {
    Mode mode = Mode::kLossless;
    bool inPlace = false;
    std::string out;
    bool outIsDir = false;
    bool dryRun = false;
    bool keepTime = false;
};

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

std::string BaseName(const std::string& path) {
    std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The GPS items the photo has, as a fix to build on.
photogeo::GpsFix ExistingFix(const photogeo::ExifTags& tags, bool& hasPosition) {
    using photogeo::ExifDirectory;
    photogeo::GpsFix fix;
    std::optional<double> lat = GpsCoordinate(tags, kGpsLatitudeRef, kGpsLatitude, 'S');
    std::optional<double> lon = GpsCoordinate(tags, kGpsLongitudeRef, kGpsLongitude, 'W');
    hasPosition = lat && lon;
    fix.latitude = lat.value_or(0.0);
    fix.longitude = lon.value_or(0.0);
    if (std::optional<photogeo::TagValue> alt = tags.Find(ExifDirectory::kGps, kGpsAltitude)) {
        std::optional<photogeo::TagValue> ref = tags.Find(ExifDirectory::kGps, kGpsAltitudeRef);
        std::optional<double> metres = alt->Rational(0);
        if (metres) fix.altitude = ref && ref->Unsigned(0) == 1u ? -*metres : *metres;
    }
    if (std::optional<photogeo::TagValue> dir = tags.Find(ExifDirectory::kGps, kGpsImgDirection)) {
        fix.imageDirection = dir->Rational(0);
        std::optional<std::string> ref = TagText(tags, ExifDirectory::kGps, kGpsImgDirectionRef);
        fix.magneticNorth = ref && ref->compare(0, 1, "M") == 0;
    }
    fix.mapDatum = TagText(tags, ExifDirectory::kGps, kGpsMapDatum).value_or("");
    int f[6];
    std::optional<std::string> date = TagText(tags, ExifDirectory::kGps, kGpsDateStamp);
    std::optional<double> time = GpsSexagesimal(tags, kGpsTimeStamp);
    if (date && time && ExifWallClock(*date, false, f)) {
        fix.timeUtc = static_cast<double>(WallClockAsUtc(f[0], f[1], f[2], 0, 0, 0)) + *time * 3600;
    }
    return fix;
}

// The changes for the lossless editor: the photo's GPS items with the request laid over them.
bool LosslessChanges(const photogeo::ExifTags& tags, const Request& r,
                     photogeo::ExifChanges& changes, std::string& cause) {
    if (r.Gps()) {
        bool hasPosition = false;
        photogeo::GpsFix fix = ExistingFix(tags, hasPosition);
        if (r.lat) {
            fix.latitude = *r.lat;
            fix.longitude = *r.lon;
            fix.altitude.reset();
            fix.timeUtc = r.fixTime;
            changes.dropGpsTags = {kGpsAltitudeRef, kGpsAltitude, kGpsTimeStamp, kGpsDateStamp};
        } else if (!hasPosition) {
            cause =
                "has no position to add the altitude, bearing or datum to; give --lat and --lon";
            return false;
        }
        if (r.alt) fix.altitude = r.alt;
        if (r.dir) fix.imageDirection = r.dir;
        if (r.dirRef) fix.magneticNorth = *r.dirRef == 'M';
        if (r.datum) fix.mapDatum = *r.datum;
        changes.gps = fix;
    }
    changes.imageDescription = r.title;
    changes.userComment = r.comment;
    return true;
}

// The request applied to the coder's record, texts in Shift-JIS as the record keeps them.
void ApplyToRecord(const Request& r, SExifProperty& p, std::string& titleSjis,
                   std::string& commentSjis) {
    if (r.lat) {
        p.bGPSPosition = 1;
        p.dGPSLatitude = *r.lat;
        p.dGPSLongitude = *r.lon;
    }
    if (r.alt) {
        p.bGPSAltitude = 1;
        p.dGPSAltitude = *r.alt;
    }
    if (r.dir) {
        p.bGPSImgDirection = 1;
        p.dGPSImgDirection = *r.dir;
    }
    if (r.dir || r.dirRef) {
        p.bGPSImgDirectionRef = 1;
        p.szGPSImgDirectionRef[0] = r.dirRef.value_or('T');
        p.szGPSImgDirectionRef[1] = '\0';
    }
    if (r.datum) {
        p.bGPSMapDatum = 1;
        std::memset(p.szGPSMapDatum, 0, sizeof p.szGPSMapDatum);
        std::memcpy(p.szGPSMapDatum, r.datum->data(), r.datum->size());
    }
    if (r.title) {
        titleSjis = Utf8ToSjis(*r.title, "--title");
        p.bImageDescription = 1;
        p.strImageDescription = titleSjis.c_str();
    }
    if (r.comment) {
        commentSjis = Utf8ToSjis(*r.comment, "--comment");
        p.bUserComment = 1;
        p.strUserComment = commentSjis.c_str();
    }
}

// The photo as Coder (rebuild) or OverwriteGPS (patch) writes it, made on a scratch copy named
// like the target (a rebuilt block of a photo without EXIF records the name). The copy has the
// EXIF APP1 first, which the coder needs; a patched block is put back where it was.
bool ThroughCoder(const std::vector<unsigned char>& photo, const photogeo::ExifLocation& where,
                  const Request& r, Mode mode, const std::string& name,
                  std::vector<unsigned char>& result, std::string& cause) {
    std::optional<std::vector<unsigned char>> reordered = ExifFirst(photo, where);
    photogeo::Result<ScratchFile> scratch = ScratchFile::Create(name, reordered.value_or(photo));
    if (!scratch) {
        cause = scratch.error().message;
        return false;
    }
    const char* path = scratch.value().Path().c_str();
    CExifIfdCoder coder;
    if (!coder.Decoder(path)) {
        cause = "cannot read its EXIF block";
        return false;
    }
    std::string titleSjis, commentSjis;
    ApplyToRecord(r, coder.m_Property, titleSjis, commentSjis);
    if (mode == Mode::kRebuild ? !coder.Coder(path, path, 0, 1) : !coder.OverwriteGPS(path)) {
        cause = mode == Mode::kRebuild ? "the rebuilt EXIF block would not fit its segment"
                                       : "cannot patch the EXIF block";
        return false;
    }
    photogeo::Result<std::vector<unsigned char>> written = photogeo::ReadWholeFile(path);
    if (!written) {
        cause = written.error().message;
        return false;
    }
    result = std::move(written.value());
    if (mode == Mode::kPatch && reordered) {
        // A patch keeps every length: the patched segment stands right after SOI.
        if (result.size() != photo.size()) {
            cause = "the patch changed the file's length";
            return false;
        }
        std::vector<unsigned char> back = photo;
        std::copy_n(result.begin() + 2, where.segmentSize,
                    back.begin() + static_cast<std::ptrdiff_t>(where.segmentOffset));
        result = std::move(back);
    }
    return true;
}

// Checks that every item asked for is in the new photo, the position at the right place.
bool Arrived(const std::vector<unsigned char>& photo, const Request& r, std::string& cause) {
    using photogeo::ExifDirectory;
    photogeo::Result<photogeo::ExifTags> tags =
        photogeo::ExifTags::FromJpeg(photo.data(), photo.size());
    if (!tags) {
        cause = "the new EXIF block cannot be read: " + tags.error().message;
        return false;
    }
    const photogeo::ExifTags& t = tags.value();
    if (r.lat) {
        std::optional<double> lat = GpsCoordinate(t, kGpsLatitudeRef, kGpsLatitude, 'S');
        std::optional<double> lon = GpsCoordinate(t, kGpsLongitudeRef, kGpsLongitude, 'W');
        if (!lat || !lon || std::fabs(*lat - *r.lat) > kPositionTolerance ||
            std::fabs(*lon - *r.lon) > kPositionTolerance) {
            cause = "the position would not arrive";
            return false;
        }
    }
    struct Item {
        bool asked;
        ExifDirectory directory;
        uint16_t tag;
        const char* name;
    };
    const Item items[] = {
        {r.alt.has_value(), ExifDirectory::kGps, kGpsAltitude, "the altitude"},
        {r.dir.has_value(), ExifDirectory::kGps, kGpsImgDirection, "the bearing"},
        {r.datum.has_value(), ExifDirectory::kGps, kGpsMapDatum, "the datum"},
        {r.title && !r.title->empty(), ExifDirectory::kPrimary, kTagImageDescription, "the title"},
        {r.comment && !r.comment->empty(), ExifDirectory::kExif, kTagUserComment, "the comment"},
    };
    for (const Item& item : items) {
        if (item.asked && !t.Find(item.directory, item.tag)) {
            cause = std::string(item.name) + " would not arrive";
            return false;
        }
    }
    return true;
}

// The photo's shooting moment in seconds since 1970 UTC, from DateTimeOriginal: the camera's
// clock offset from --offset, else from OffsetTimeOriginal, else the TZ time zone.
bool ShootingTime(const photogeo::ExifTags& tags, const std::optional<int>& offset, double& utc) {
    int f[6];
    std::optional<std::string> text =
        TagText(tags, photogeo::ExifDirectory::kExif, kTagDateTimeOriginal);
    if (!text || !ExifWallClock(*text, true, f)) return false;
    std::optional<int> recorded;
    if (std::optional<std::string> zone =
            TagText(tags, photogeo::ExifDirectory::kExif, kTagOffsetTimeOriginal)) {
        try {
            recorded = ParseUtcOffset(*zone, "OffsetTimeOriginal");
        } catch (const UsageError&) {
        }
    }
    if (offset || recorded) {
        utc = static_cast<double>(WallClockAsUtc(f[0], f[1], f[2], f[3], f[4], f[5]) -
                                  (offset ? *offset : *recorded));
        return true;
    }
    std::tm local{};
    local.tm_year = f[0] - 1900;
    local.tm_mon = f[1] - 1;
    local.tm_mday = f[2];
    local.tm_hour = f[3];
    local.tm_min = f[4];
    local.tm_sec = f[5];
    local.tm_isdst = -1;
    utc = static_cast<double>(std::mktime(&local));
    return true;
}

std::string Describe(const Request& r) {
    std::string what = "items set";
    if (r.lat) {
        char text[64];
        std::snprintf(text, sizeof text, "%.6f, %.6f", *r.lat, *r.lon);
        what = text;
    }
    if (r.alt) {
        char text[32];
        std::snprintf(text, sizeof text, ", %g m", *r.alt);
        what += text;
    }
    return what;
}

// The GPS items of a photo made by Tag, as the JSON report gives them.
Json WrittenPosition(const std::vector<unsigned char>& photo) {
    photogeo::Result<photogeo::ExifTags> tags =
        photogeo::ExifTags::FromJpeg(photo.data(), photo.size());
    bool hasPosition = false;
    photogeo::GpsFix fix;
    if (tags) fix = ExistingFix(tags.value(), hasPosition);
    if (!hasPosition) return nullptr;
    auto orNull = [](const std::optional<double>& v) { return v ? Json(*v) : Json(nullptr); };
    Json position;
    position["latitude"] = fix.latitude;
    position["longitude"] = fix.longitude;
    position["altitude"] = orNull(fix.altitude);
    position["direction"] = orNull(fix.imageDirection);
    position["direction_ref"] =
        fix.imageDirection ? Json(fix.magneticNorth ? "M" : "T") : Json(nullptr);
    position["time"] = fix.timeUtc ? Json(IsoUtc(*fix.timeUtc)) : Json(nullptr);
    return position;
}

// Makes, checks and (unless a dry run) writes one photo, which result receives; false with the
// cause on failure.
bool Tag(const std::string& file, const std::vector<unsigned char>& photo,
         const photogeo::ExifLocation& where, const photogeo::ExifTags& tags, const Request& r,
         const Options& options, const std::string& target, std::vector<unsigned char>& result,
         std::string& cause) {
    if (target != "-") {
        photogeo::Result<void> writable = photogeo::CheckOutputTarget(target);
        if (!writable) {
            cause = writable.error().message;
            return false;
        }
    }
    if (options.mode == Mode::kLossless) {
        photogeo::ExifChanges changes;
        if (!LosslessChanges(tags, r, changes, cause)) return false;
        photogeo::Result<std::vector<unsigned char>> edited =
            photogeo::EditJpeg(photo.data(), photo.size(), changes);
        if (!edited) {
            cause = edited.error().message;
            return false;
        }
        result = std::move(edited.value());
    } else {
        if (options.mode == Mode::kPatch && !where.found) {
            cause = "has no EXIF block to patch; leave out --patch";
            return false;
        }
        if (!ThroughCoder(photo, where, r, options.mode, BaseName(target == "-" ? file : target),
                          result, cause)) {
            return false;
        }
    }
    if (!Arrived(result, r, cause)) {
        if (options.mode == Mode::kPatch) {
            cause += ": a patch changes only the entries a photo already has; leave out --patch";
        }
        return false;
    }
    if (options.dryRun) return true;
    photogeo::WriteOptions write;
    if (options.keepTime) write.timesFrom = file;
    photogeo::Result<void> written = WriteOutput(target, {{result.data(), result.size()}}, write);
    if (!written) cause = written.error().message;
    return written.ok();
}

// Creates the folders of target's path below the existing folder root (for -o DIR with -r).
bool MakeFolders(const std::string& root, const std::string& target, std::string& cause) {
    for (std::size_t slash = target.find('/', root.size() + 1); slash != std::string::npos;
         slash = target.find('/', slash + 1)) {
        std::string folder = target.substr(0, slash);
        if (mkdir(folder.c_str(), 0777) != 0 && errno != EEXIST) {
            cause = "cannot create the folder " + folder + ": " + ErrnoText(errno);
            return false;
        }
    }
    return true;
}

// With -o DIR each photo goes to DIR/its path below its argument; two photos meeting on one
// target are refused before anything is written.
void RefuseCollisions(const std::vector<WalkedPhoto>& photos, const std::string& out) {
    std::map<std::string, const WalkedPhoto*> targets;
    for (const WalkedPhoto& photo : photos) {
        if (!photo.cause.empty()) continue;
        auto [at, fresh] = targets.emplace(out + "/" + photo.relative, &photo);
        if (!fresh) {
            throw UsageError(at->second->path + " and " + photo.path + " would both be written to " +
                             at->first);
        }
    }
}

int Run(const Arguments& a) {
    Options options;
    int modes = a.given("--out") + a.inPlace + a.patch;
    if (modes != 1) throw UsageError("give exactly one of -o OUT, --in-place and --patch");
    WalkOptions walk;
    walk.recursive = a.recursive;
    if (a.given("--out")) {
        options.out = a.out;
        while (options.out.size() > 1 && options.out.back() == '/') options.out.pop_back();
        options.outIsDir = options.out != "-" && IsDirectory(options.out);
        if ((a.files.size() > 1 || a.recursive) && !options.outIsDir) {
            throw UsageError("-o must name an existing directory when there are several files");
        }
        if (options.outIsDir) walk.skip.push_back(options.out);
    }
    const std::vector<WalkedPhoto> files = WalkPhotos(a.files, walk);
    if (options.outIsDir) RefuseCollisions(files, options.out);
    options.inPlace = a.inPlace || a.patch;
    options.mode = a.patch ? Mode::kPatch : a.rebuild ? Mode::kRebuild : Mode::kLossless;
    options.dryRun = a.dryRun;
    options.keepTime = a.keepTime;
    // With the photo on standard output, the reports go to standard error.
    std::FILE* report = options.out == "-" ? stderr : stdout;

    const Request base = ParseRequest(a);
    bool gpx = a.given("--gpx");
    if (!gpx && !base.Gps() && !base.title && !base.comment) {
        throw UsageError("nothing to write: give --lat and --lon, --gpx, or another item");
    }
    std::optional<int> offset;
    if (a.given("--offset")) offset = ParseUtcOffset(a.offset, "--offset");

    Track track;
    TrackLimits limits;
    limits.maxGap = a.maxGap;
    limits.maxDistance = a.maxDistance;
    for (const std::string& path : a.gpx) {
        std::string cause;
        if (!track.AddGpx(path, cause)) {
            ReportFileError(path, cause);
            return kExitFileFailed;
        }
    }

    int status = kExitOk;
    std::size_t skipped = 0;
    Progress progress(files.size());
    for (const WalkedPhoto& walked : files) {
        const std::string& file = walked.path;
        progress.Step(file);
        std::string cause = walked.cause;
        // --json: one object a photo, in the order given.
        Json object;
        if (a.json) {
            object["schema_version"] = 1;
            object["command"] = "geotag";
            object["file"] = file;
            object["outcome"] = nullptr;
            object["reason"] = nullptr;
            object["target"] = nullptr;
            object["position"] = nullptr;
        }
        auto print = [&](const char* outcome, const std::string& reason) {
            if (!a.json) return;
            object["outcome"] = outcome;
            if (!reason.empty()) object["reason"] = reason;
            std::string line = object.dump(-1, ' ', false, Json::error_handler_t::replace);
            std::fprintf(report, "%s\n", line.c_str());
        };
        auto skip = [&](const std::string& why) {
            ++skipped;
            if (a.json) {
                print("skipped", why);
            } else {
                std::fprintf(report, "%s: skipped, %s\n", file.c_str(), why.c_str());
            }
        };
        auto fail = [&](const std::string& why) {
            progress.Clear();
            ReportFileError(file, why);
            status = kExitFileFailed;
            print("failed", why);
        };
        if (!cause.empty() || !CheckJpegFile(file, cause)) {
            fail(cause);
            continue;
        }
        photogeo::Result<std::vector<unsigned char>> photo = photogeo::ReadWholeFile(file);
        if (!photo) {
            fail(photo.error().message);
            continue;
        }
        const std::vector<unsigned char>& bytes = photo.value();
        photogeo::Result<photogeo::ExifLocation> where =
            photogeo::LocateExif(bytes.data(), bytes.size());
        photogeo::Result<photogeo::ExifTags> tags =
            photogeo::ExifTags::FromJpeg(bytes.data(), bytes.size());
        if (!where || !tags) {
            fail(!where ? where.error().message : tags.error().message);
            continue;
        }
        if (a.skipTagged) {
            bool tagged = false;
            ExistingFix(tags.value(), tagged);
            if (tagged) {
                skip("already has a position (--skip-tagged)");
                continue;
            }
        }
        Request r = base;
        std::string note;
        if (gpx) {
            double when = 0.0;
            if (!ShootingTime(tags.value(), offset, when)) {
                skip("no shooting time (DateTimeOriginal)");
                continue;
            }
            if (a.json) object["shot_at"] = IsoUtc(when);
            Fix fix{};
            FixOutcome outcome = track.Locate(when, limits, fix);
            if (outcome == FixOutcome::kOutside) {
                skip("shot at " + IsoUtc(when) + ", outside the track (" + IsoUtc(track.Begin()) +
                     " to " + IsoUtc(track.End()) + ")");
                continue;
            }
            if (outcome == FixOutcome::kTooFar) {
                char text[64];
                std::snprintf(text, sizeof text, "%g", a.maxGap);
                skip("shot at " + IsoUtc(when) + ", more than " + text + " s from a track point");
                continue;
            }
            if (a.json) object["seconds_from_track_point"] = fix.gap;
            r.lat = fix.lat;
            r.lon = fix.lon;
            r.fixTime = when;
            if (fix.hasEle && !base.alt) r.alt = fix.ele;
            char text[96];
            std::snprintf(text, sizeof text, " (shot at %s, %.0f s from a track point)",
                          IsoUtc(when).c_str(), fix.gap);
            note = text;
        }
        const std::string target = options.inPlace    ? file
                                   : options.outIsDir ? options.out + "/" + walked.relative
                                                      : options.out;
        std::vector<unsigned char> result;
        if (options.outIsDir && !options.dryRun && !MakeFolders(options.out, target, cause)) {
            fail(cause);
            continue;
        }
        if (!Tag(file, bytes, where.value(), tags.value(), r, options, target, result, cause)) {
            fail(cause);
            continue;
        }
        if (a.json) {
            object["target"] = target;
            if (r.Gps()) object["position"] = WrittenPosition(result);
            print(options.dryRun ? "would_write" : "written", "");
            continue;
        }
        std::string place = options.mode == Mode::kPatch ? "patched in place"
                            : target == file             ? "rewritten in place"
                                                         : "-> " + target;
        std::fprintf(report, "%s: %s%s %s%s\n", file.c_str(), options.dryRun ? "would write " : "",
                     Describe(r).c_str(), place.c_str(), note.c_str());
    }
    // Every photo skipped and none failed: nothing was done, which a script should notice.
    if (status == kExitOk && !files.empty() && skipped == files.size()) return kExitNothingDone;
    return status;
}

std::function<int()> Setup(CLI::App& app) {
    SetHelp(app, kUsage, kIntro, kFooter);
    auto a = std::make_shared<Arguments>();
    a->app = &app;
    app.add_option("FILE", a->files, "JPEG photos, or folders with -r")->required();
    app.add_flag("-r,--recursive", a->recursive,
                 "go through folders and their subfolders in name order, taking files named "
                 "*.jpg, *.jpeg or *.jpe and other files that start as a JPEG does; hidden "
                 "files and folders are left out unless named");
    app.add_flag("--skip-tagged", a->skipTagged,
                 "leave photos that already have a position as they are (without it they get the "
                 "new one)");
    CLI::Option* lat = app.add_option("--lat", a->lat, "latitude in degrees, south negative")
                           ->check(Range(-90.0, 90.0))
                           ->option_text("D");
    CLI::Option* lon = app.add_option("--lon", a->lon, "longitude in degrees, west negative")
                           ->check(Range(-180.0, 180.0))
                           ->option_text("D");
    lat->needs(lon);
    lon->needs(lat);
    app.add_option("--alt", a->alt, "altitude in metres, below sea level negative")
        ->check(Range(-1e7, 1e7))
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
    app.add_option("--title", a->title, "title, stored as ImageDescription in UTF-8")
        ->option_text("TEXT");
    app.add_option("--comment", a->comment,
                   "comment, stored as UserComment with the ASCII code when it is ASCII, else "
                   "UNICODE (UCS-2 in the block's byte order)")
        ->option_text("TEXT");
    CLI::Option* gpx =
        app.add_option("--gpx", a->gpx,
                       "take each photo's position (and altitude) from the track, interpolated "
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
    app.add_option("--offset", a->offset,
                   "the camera clock's offset from UTC (default: the photo's OffsetTimeOriginal, "
                   "else the TZ time zone)")
        ->needs(gpx)
        ->option_text("+HH:MM");
    app.add_option("--max-gap", a->maxGap,
                   "largest distance in time to a track point (default 300)")
        ->check(Range(0.0))
        ->needs(gpx)
        ->option_text("SECONDS");
    app.add_option("--max-distance", a->maxDistance,
                   "two neighbouring track points farther apart than this are a jump: no "
                   "position is interpolated between them (default 0, no limit)")
        ->check(Range(0.0))
        ->needs(gpx)
        ->option_text("METRES");
    app.add_option("-o,--out", a->out,
                   "write a copy: OUT is a file, - for standard output, or a directory for "
                   "several photos; an existing OUT (or DIR/NAME) must be a regular file")
        ->option_text("OUT");
    app.add_flag("--in-place", a->inPlace, "rewrite each photo (safely, via a temporary file)");
    CLI::Option* patch = app.add_flag(
        "--patch", a->patch,
        "change only entries the photo already has, in place, keeping the file's length (texts "
        "in Shift-JIS); a photo that lacks one is left unchanged and reported");
    app.add_flag("--rebuild", a->rebuild,
                 "with -o or --in-place: write an EXIF block rebuilt from the items the library "
                 "reads instead of changing only the items asked for. It drops tags the library "
                 "does not know, may break maker notes, stores texts in Shift-JIS (a UNICODE "
                 "comment too), the position to 1/1000 minute, the altitude in whole metres "
                 "(below sea level as 0), rewrites unknown dates, and gives a photo without "
                 "EXIF a make, model, dates and its file name as title")
        ->excludes(patch);
    app.add_flag("-n,--dry-run", a->dryRun,
                 "make and check each photo as a real run would, and report, but write nothing");
    app.add_flag("--json", a->json,
                 "report each photo as one JSON object a line: file, outcome (written, "
                 "would_write, skipped or failed), reason, target, the position written");
    app.add_flag("--keep-time", a->keepTime,
                 "give the written photo the access and modification times of the one read");
    return [a] { return Run(*a); };
}

}  // namespace

const Command kGeotagCommand = {"geotag",
                                "write a position (typed or from a GPX track) into photos", Setup};

}  // namespace cli
