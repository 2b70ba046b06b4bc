// Reading a photo's GPS position and time for the tool's exporting commands (see photo_gps.h).
#include "photo_gps.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <string>

#include "cli.h"
#include "dates.h"
#include "photo_walk.h"
#include "shot_time.h"

namespace cli {

namespace {

using photogeo::ExifDirectory;

const uint16_t kGpsLatitudeRef = 0x01, kGpsLatitude = 0x02;
const uint16_t kGpsLongitudeRef = 0x03, kGpsLongitude = 0x04;
const uint16_t kGpsAltitudeRef = 0x05, kGpsAltitude = 0x06;
const uint16_t kGpsTimeStamp = 0x07, kGpsDateStamp = 0x1D;
const uint16_t kGpsImgDirectionRef = 0x10, kGpsImgDirection = 0x11;
const uint16_t kTagThumbnailOffset = 0x0201, kTagThumbnailLength = 0x0202;
const unsigned char kJpegSoi[2] = {0xFF, 0xD8};
const int kSecondsPerHour = 3600;

std::optional<double> RecordedTime(const photogeo::ExifTags& tags) {
    int f[6];
    std::optional<std::string> date = TagText(tags, ExifDirectory::kGps, kGpsDateStamp);
    std::optional<double> hours = GpsSexagesimal(tags, kGpsTimeStamp);
    if (date && hours && ExifWallClock(*date, false, f)) {
        return static_cast<double>(WallClockAsUtc(f[0], f[1], f[2], 0, 0, 0)) +
               *hours * kSecondsPerHour;
    }
    return ShootingInstant(tags, CameraClock());
}

// The IFD1 thumbnail when it is a JPEG stream lying inside the TIFF block.
std::vector<unsigned char> Thumbnail(const photogeo::ExifTags& tags,
                                     const std::vector<unsigned char>& jpeg) {
    std::optional<photogeo::TagValue> at = tags.Find(ExifDirectory::kThumbnail, kTagThumbnailOffset);
    std::optional<photogeo::TagValue> length =
        tags.Find(ExifDirectory::kThumbnail, kTagThumbnailLength);
    photogeo::Result<photogeo::ExifLocation> exif = photogeo::LocateExif(jpeg.data(), jpeg.size());
    if (!at || !length || !exif || !exif.value().found) return {};
    std::optional<uint32_t> offset = at->Unsigned(0), size = length->Unsigned(0);
    const photogeo::ExifLocation& where = exif.value();
    if (!offset || !size || *size < sizeof kJpegSoi || *offset > where.tiffSize ||
        *size > where.tiffSize - *offset) {
        return {};
    }
    auto begin = jpeg.begin() + static_cast<std::ptrdiff_t>(where.tiffOffset + *offset);
    if (!std::equal(kJpegSoi, kJpegSoi + sizeof kJpegSoi, begin)) return {};
    return std::vector<unsigned char>(begin, begin + static_cast<std::ptrdiff_t>(*size));
}

}  // namespace

std::optional<std::string> TagText(const photogeo::ExifTags& tags, photogeo::ExifDirectory d,
                                   uint16_t tag) {
    std::optional<photogeo::TagValue> v = tags.Find(d, tag);
    return v ? std::optional<std::string>(v->Text()) : std::nullopt;
}

// Degrees, minutes, seconds (or hours, minutes, seconds) as one number.
std::optional<double> GpsSexagesimal(const photogeo::ExifTags& tags, uint16_t tag) {
    std::optional<photogeo::TagValue> v = tags.Find(photogeo::ExifDirectory::kGps, tag);
    if (!v || v->count < 3) return std::nullopt;
    std::optional<double> a = v->Rational(0), b = v->Rational(1), c = v->Rational(2);
    if (!a || !b || !c) return std::nullopt;
    return *a + *b / 60.0 + *c / 3600.0;
}

std::optional<double> GpsCoordinate(const photogeo::ExifTags& tags, uint16_t refTag, uint16_t tag,
                                    char negative) {
    std::optional<double> value = GpsSexagesimal(tags, tag);
    std::optional<std::string> ref = TagText(tags, photogeo::ExifDirectory::kGps, refTag);
    if (!value || !ref || ref->empty()) return std::nullopt;
    return (*ref)[0] == negative ? -*value : *value;
}

// "YYYY:MM:DD HH:MM:SS" (the time part optional) as six fields.
bool ExifWallClock(const std::string& text, bool withTime, int f[6]) {
    int used = 0;
    f[3] = f[4] = f[5] = 0;
    int fields = withTime ? std::sscanf(text.c_str(), "%4d:%2d:%2d %2d:%2d:%2d%n", &f[0], &f[1],
                                        &f[2], &f[3], &f[4], &f[5], &used)
                          : std::sscanf(text.c_str(), "%4d:%2d:%2d%n", &f[0], &f[1], &f[2], &used);
    if (fields != (withTime ? 6 : 3) || used != (withTime ? 19 : 10)) return false;
    if (f[0] < 1 || f[1] < 1 || f[1] > 12 || f[2] < 1 || f[3] > 23 || f[4] > 59 || f[5] > 60) {
        return false;
    }
    // The day exists when counting to it does not carry into the next month (2023:02:30).
    int64_t day = DaysFromCivil(f[0], static_cast<unsigned>(f[1]), static_cast<unsigned>(f[2]));
    return IsoUtc(static_cast<double>(day) * 86400).compare(8, 2, text, 8, 2) == 0;
}

std::optional<PhotoGps> ReadPhotoGps(const photogeo::ExifTags& tags) {
    std::optional<double> lat = GpsCoordinate(tags, kGpsLatitudeRef, kGpsLatitude, 'S');
    std::optional<double> lon = GpsCoordinate(tags, kGpsLongitudeRef, kGpsLongitude, 'W');
    if (!lat || !lon) return std::nullopt;
    PhotoGps gps;
    gps.lat = *lat;
    gps.lon = *lon;
    if (std::optional<photogeo::TagValue> alt = tags.Find(ExifDirectory::kGps, kGpsAltitude)) {
        std::optional<photogeo::TagValue> ref = tags.Find(ExifDirectory::kGps, kGpsAltitudeRef);
        std::optional<double> metres = alt->Rational(0);
        if (metres) gps.alt = ref && ref->Unsigned(0) == 1u ? -*metres : *metres;
    }
    gps.time = RecordedTime(tags);
    if (std::optional<photogeo::TagValue> d = tags.Find(ExifDirectory::kGps, kGpsImgDirection)) {
        gps.direction = d->Rational(0);
        std::optional<std::string> ref = TagText(tags, ExifDirectory::kGps, kGpsImgDirectionRef);
        gps.magneticNorth = ref && !ref->empty() && (*ref)[0] == 'M';
    }
    return gps;
}

int ReadPlacedPhotos(const std::vector<std::string>& arguments, bool recursive,
                     bool withThumbnails, std::vector<PlacedPhoto>& photos) {
    int status = kExitOk;
    WalkOptions walk;
    walk.recursive = recursive;
    for (const WalkedPhoto& entry : WalkPhotos(arguments, walk)) {
        const std::string& file = entry.path;
        std::string cause = entry.cause;
        if (!cause.empty()) {
            ReportFileError(file, cause);
            status = kExitFileFailed;
            continue;
        }
        std::vector<unsigned char> bytes;
        if (!CheckJpegFile(file, cause)) {
            ReportFileError(file, cause);
            status = kExitFileFailed;
            continue;
        }
        if (!ReadWholeFile(file, bytes)) {
            ReportFileError(file, "cannot read: " + ErrnoText(errno));
            status = kExitFileFailed;
            continue;
        }
        photogeo::Result<photogeo::ExifTags> tags =
            photogeo::ExifTags::FromJpeg(bytes.data(), bytes.size());
        if (!tags) {
            ReportFileError(file, tags.error().message);
            status = kExitFileFailed;
            continue;
        }
        std::optional<PhotoGps> gps = ReadPhotoGps(tags.value());
        if (!gps) {
            ReportFileError(file, "records no position, left out");
            continue;
        }
        photos.push_back({file, *gps, withThumbnails ? Thumbnail(tags.value(), bytes)
                                                     : std::vector<unsigned char>()});
    }
    std::stable_sort(photos.begin(), photos.end(), [](const PlacedPhoto& a, const PlacedPhoto& b) {
        return a.gps.time && (!b.gps.time || *a.gps.time < *b.gps.time);
    });
    return status;
}

}  // namespace cli
