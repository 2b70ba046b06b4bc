// One photo's work for "photogeo geotag": read it, decide what to write (typed items, or the
// track's position at its shooting time), make the new photo, check it, write it, and say what
// came of it. Called by cmd_geotag.cpp, from several threads at once with --jobs: it only reads
// the Batch and keeps every library object on its own stack.
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
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "dates.h"
#include "geotag.h"
#include "photo.h"
#include "photo_gps.h"

namespace cli {
namespace geotag {

namespace {

// EXIF tags the command reads or checks.
const uint16_t kTagImageDescription = 0x010E;
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
         const Batch& options, const std::string& target, std::vector<unsigned char>& result,
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
    // The folders are synced once each at the end of the batch (cmd_geotag.cpp).
    write.syncFolder = false;
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

}  // namespace

PhotoResult TagPhoto(const WalkedPhoto& photo, const Batch& batch) {
    PhotoResult out;
    const std::string& file = photo.path;
    out.file = file;
    // --json: one object a photo, its keys in this order.
    if (batch.json) {
        out.object["schema_version"] = 1;
        out.object["command"] = "geotag";
        out.object["file"] = file;
        out.object["outcome"] = nullptr;
        out.object["reason"] = nullptr;
        out.object["target"] = nullptr;
        out.object["position"] = nullptr;
    }
    auto skip = [&](const std::string& kind, const std::string& why) {
        out.outcome = Outcome::kSkipped;
        out.kind = kind;
        out.reason = why;
        return out;
    };
    auto fail = [&](const std::string& why) {
        out.outcome = Outcome::kFailed;
        out.reason = why;
        return out;
    };
    std::string cause = photo.cause;
    if (!cause.empty() || !CheckJpegFile(file, cause)) return fail(cause);
    photogeo::Result<std::vector<unsigned char>> read = photogeo::ReadWholeFile(file);
    if (!read) return fail(read.error().message);
    const std::vector<unsigned char>& bytes = read.value();
    photogeo::Result<photogeo::ExifLocation> where =
        photogeo::LocateExif(bytes.data(), bytes.size());
    photogeo::Result<photogeo::ExifTags> tags =
        photogeo::ExifTags::FromJpeg(bytes.data(), bytes.size());
    if (!where || !tags) return fail(!where ? where.error().message : tags.error().message);
    if (batch.skipTagged) {
        bool tagged = false;
        ExistingFix(tags.value(), tagged);
        if (tagged) return skip("already tagged", "already has a position (--skip-tagged)");
    }
    Request r = batch.base;
    std::string note;
    if (batch.gpx) {
        std::optional<double> when = ShootingInstant(tags.value(), batch.clock);
        if (!when) return skip("no shooting time", "no shooting time (DateTimeOriginal)");
        if (batch.json) out.object["shot_at"] = IsoUtc(*when);
        Fix fix{};
        FixOutcome outcome = batch.track.Locate(*when, batch.limits, fix);
        if (outcome == FixOutcome::kOutside) {
            return skip("outside the track", "shot at " + IsoUtc(*when) + ", outside the track (" +
                                                 IsoUtc(batch.track.Begin()) + " to " +
                                                 IsoUtc(batch.track.End()) + ")");
        }
        if (outcome == FixOutcome::kTooFar) {
            char text[64];
            std::snprintf(text, sizeof text, "%g", batch.limits.maxGap);
            return skip("too far from a track point", "shot at " + IsoUtc(*when) +
                                                          ", more than " + text +
                                                          " s from a track point");
        }
        if (batch.json) out.object["seconds_from_track_point"] = fix.gap;
        r.lat = fix.lat;
        r.lon = fix.lon;
        r.fixTime = *when;
        if (fix.hasEle && !batch.base.alt) r.alt = fix.ele;
        char text[96];
        std::snprintf(text, sizeof text, " (shot at %s, %.0f s from a track point)",
                      IsoUtc(*when).c_str(), fix.gap);
        note = text;
    }
    const std::string target = batch.inPlace    ? file
                               : batch.outIsDir ? batch.out + "/" + photo.relative
                                                : batch.out;
    if (batch.outIsDir && !batch.dryRun && !MakeFolders(batch.out, target, cause)) {
        return fail(cause);
    }
    std::vector<unsigned char> result;
    if (!Tag(file, bytes, where.value(), tags.value(), r, batch, target, result, cause)) {
        return fail(cause);
    }
    out.outcome = batch.dryRun ? Outcome::kWouldWrite : Outcome::kWritten;
    if (!batch.dryRun && target != "-") out.written = target;
    if (batch.json) {
        out.object["target"] = target;
        if (r.Gps()) out.object["position"] = WrittenPosition(result);
    }
    std::string place = batch.mode == Mode::kPatch ? "patched in place"
                        : target == file           ? "rewritten in place"
                                                   : "-> " + target;
    out.text = (batch.dryRun ? "would write " : "") + Describe(r) + " " + place + note;
    return out;
}

}  // namespace geotag
}  // namespace cli
