// Fuzz target for the lossless editor: an arbitrary TIFF block is put into a minimal JPEG, a
// GPS fix (or its removal) and texts drawn from the input's last bytes are written with
// EditJpeg, and the result is read back with ExifTags.
//
// Checks, whenever the edit succeeds: the result is a JPEG whose EXIF block parses; the GPS
// items read back as written (position within 1e-7 degree, altitude to the centimetre, its
// reference, the version kept or 2.3.0.0, a GPS item asked to be dropped absent) or, after a
// removal, IFD0 has no GPS pointer; the texts read back; and every other tag of IFD0, the
// Exif, GPS (after a fix) and Interoperability directories and IFD1 whose value lay inside the
// block has the same type, count and value bytes afterwards. An edit may fail only for a block
// whose header or IFD0 does not parse, a damaged Exif directory when a comment is asked, or a
// result over the segment limit.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "FuzzRecord.h"
#include "edit/EditInternal.h"
#include "photogeo/ExifEdit.h"
#include "support/TiffBuilder.h"

using namespace photogeo;
using namespace photogeo::edit;

namespace {

bool Same(const std::optional<TagValue>& a, const std::optional<TagValue>& b) {
    if (!a || !b) return !a && !b;
    return a->type == b->type && a->count == b->count && a->bytes == b->bytes;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider fdp(data, size);
    ExifChanges changes;
    const bool remove = fdp.ConsumeBool();
    GpsFix fix;
    fix.latitude = fdp.ConsumeFloatingPointInRange(-90.0, 90.0);
    fix.longitude = fdp.ConsumeFloatingPointInRange(-180.0, 180.0);
    if (fdp.ConsumeBool()) fix.altitude = fdp.ConsumeFloatingPointInRange(-1e5, 1e5);
    if (fdp.ConsumeBool()) fix.imageDirection = fdp.ConsumeFloatingPointInRange(0.0, 360.0);
    if (fdp.ConsumeBool()) fix.timeUtc = fdp.ConsumeFloatingPointInRange(-6e10, 2.5e11);
    if (fdp.ConsumeBool()) fix.mapDatum = "WGS-84";
    if (remove)
        changes.removeGps = true;
    else
        changes.gps = fix;
    if (fdp.ConsumeBool()) changes.dropGpsTags = {fdp.ConsumeIntegral<uint8_t>()};
    if (fdp.ConsumeBool()) changes.imageDescription = fdp.ConsumeBool() ? "" : "T\xC3\xADtulo";
    if (fdp.ConsumeBool()) changes.userComment = fdp.ConsumeBool() ? "" : "\xE6\x97\xA5 note";
    const std::vector<unsigned char> block = fdp.ConsumeBytes<unsigned char>(kMaxTiffBlock);
    const std::vector<unsigned char> jpeg = exiftest::WrapAsJpeg(block);

    const auto before = ExifTags::Parse(block.data(), block.size());
    const auto edited = EditJpeg(jpeg.data(), jpeg.size(), changes);
    if (!before) {
        Require(!edited);
        return 0;
    }
    if (!edited) return 0;
    const auto after = ExifTags::FromJpeg(edited.value().data(), edited.value().size());
    Require(static_cast<bool>(after));
    const ExifTags& a = after.value();
    const ExifTags& b = before.value();

    if (remove) {
        Require(!a.Find(ExifDirectory::kPrimary, kTagGpsPointer));
    } else {
        const auto lat = a.Find(ExifDirectory::kGps, 2);
        Require(lat && lat->count == 3);
        const double degrees =
            *lat->Rational(0) + *lat->Rational(1) / 60 + *lat->Rational(2) / 3600;
        Require(std::fabs(degrees - std::fabs(fix.latitude)) < 1e-7);
        Require(a.Find(ExifDirectory::kGps, 1)->Text() == (fix.latitude < 0 ? "S" : "N"));
        if (fix.altitude) {
            const double cm = std::round(std::fabs(*fix.altitude) * 100);
            Require(std::round(*a.Find(ExifDirectory::kGps, 6)->Rational(0) * 100) == cm);
            Require(*a.Find(ExifDirectory::kGps, 5)->Unsigned(0) == (*fix.altitude < 0 && cm > 0));
        }
        const auto version = a.Find(ExifDirectory::kGps, 0);
        const auto old = b.Find(ExifDirectory::kGps, 0);
        Require(version &&
                (Same(version, old) || version->bytes == std::vector<unsigned char>{2, 3, 0, 0}));
    }
    if (changes.imageDescription) {
        const auto t = a.Find(ExifDirectory::kPrimary, kTagImageDescription);
        Require(changes.imageDescription->empty() ? !t
                                                  : t && t->Text() == *changes.imageDescription);
    }

    // Every other tag as it was, the GPS items the fix does not set among them.
    std::vector<uint16_t> gpsSet = {0, 1, 2, 3, 4};
    if (fix.altitude) gpsSet.insert(gpsSet.end(), {5, 6});
    if (fix.timeUtc) gpsSet.insert(gpsSet.end(), {7, 0x1D});
    if (fix.imageDirection) gpsSet.insert(gpsSet.end(), {0x10, 0x11});
    if (!fix.mapDatum.empty()) gpsSet.push_back(0x12);
    for (uint16_t tag : changes.dropGpsTags)
        if (!remove && std::find(gpsSet.begin(), gpsSet.end(), tag) == gpsSet.end())
            Require(!a.Find(ExifDirectory::kGps, tag)), gpsSet.push_back(tag);
    const Layout layout = ReadLayout(block.data(), block.size());
    for (int d = 0; d < kDirCount; ++d) {
        if (d == kGpsIfd && remove) continue;
        for (const auto& e : layout.dirs[d].entries) {
            const bool asked =
                (d == kGpsIfd && std::find(gpsSet.begin(), gpsSet.end(), e.tag) != gpsSet.end()) ||
                (d == kIfd0 && (e.tag == kTagGpsPointer || e.tag == kTagExifPointer ||
                                (e.tag == kTagImageDescription && changes.imageDescription))) ||
                (d == kExifIfd && e.tag == kTagUserComment && changes.userComment);
            if (asked) continue;
            // A value whose offset led outside the old block may now land in what was
            // appended; it had no value before.
            const auto dir = static_cast<ExifDirectory>(d);
            if (!b.Find(dir, e.tag)) continue;
            Require(Same(a.Find(dir, e.tag), b.Find(dir, e.tag)));
        }
    }
    return 0;
}
