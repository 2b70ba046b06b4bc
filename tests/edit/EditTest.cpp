// The lossless editor without outside oracles: nothing outside the EXIF segment moves,
// re-tagging reuses the old GPS space and removal leaves no trace of the position, and every
// refusal or failing system call leaves the file as it was.
#include <cmath>

#include <gtest/gtest.h>

#include "foundation/SystemCalls.h"
#include "edit/EditCases.h"
#include "support/Files.h"
#include "support/TestPhotos.h"
#include "support/TiffBuilder.h"

namespace {

using edittest::SetGps;
using edittest::SydneyFix;
using photogeo::ExifDirectory;
using testsupport::Bytes;
using R = testsupport::PhotoRecipe;

Bytes Edit(const Bytes& in, const photogeo::ExifChanges& c) {
    auto r = photogeo::EditJpeg(in.data(), in.size(), c);
    if (!r) ADD_FAILURE() << r.error().message;
    return r ? r.value() : Bytes();
}

photogeo::ExifTags Tags(const Bytes& jpeg) {
    auto t = photogeo::ExifTags::FromJpeg(jpeg.data(), jpeg.size());
    if (!t) ADD_FAILURE() << t.error().message;
    return t ? t.value() : photogeo::ExifTags();
}

// The EXIF segment's span, or for a photo without one the empty span where one would go.
std::pair<size_t, size_t> ExifSpan(const Bytes& jpeg) {
    const auto at = photogeo::LocateExif(jpeg.data(), jpeg.size());
    if (!at) ADD_FAILURE() << at.error().message;
    if (at && at.value().found)
        return {at.value().segmentOffset, at.value().segmentOffset + at.value().segmentSize};
    const size_t afterApp0 = 4 + (static_cast<size_t>(jpeg[4]) << 8 | jpeg[5]);
    return {afterApp0, afterApp0};
}

// Each photo, tagged in place: every byte outside the EXIF segment is where it was. Every item
// written is read back by ExifTool and Exiv2 in EditOracleTest.
TEST(ExifEdit, NothingOutsideTheExifSegmentMoves) {
    testsupport::TempDir dir;
    const Bytes base = testsupport::PlainPhoto();
    for (const testsupport::NamedRecipe& c : testsupport::HardCases()) {
        SCOPED_TRACE(c.name);
        const Bytes before = testsupport::MakePhoto(c.recipe, base);
        const std::string path = dir.Path("photo.jpg");
        testsupport::WriteFile(path, before);
        ASSERT_TRUE(photogeo::EditJpegFile(path, path, edittest::StandardChanges(c.recipe)));
        const Bytes after = testsupport::ReadFile(path);

        const auto [b0, b1] = ExifSpan(before);
        const auto [a0, a1] = ExifSpan(after);
        EXPECT_EQ(Bytes(before.begin(), before.begin() + b0), Bytes(after.begin(), after.begin() + a0));
        EXPECT_EQ(Bytes(before.begin() + b1, before.end()), Bytes(after.begin() + a1, after.end()));
    }
}

TEST(ExifEdit, RetaggingReusesTheSpaceAndRemovalLeavesNoTrace) {
    const Bytes photo =
        testsupport::MakePhoto(testsupport::With({&R::makerNote, &R::gps, &R::thumbnail}),
                               testsupport::PlainPhoto());
    photogeo::GpsFix other = SydneyFix();
    other.latitude = 48.8584;
    other.altitude.reset();  // the first fix's altitude, near the block's end, stays
    const Bytes first = Edit(photo, SetGps(SydneyFix()));
    photogeo::ExifChanges again = SetGps(other);
    again.dropGpsTags = {0x0D, 0x0F};  // the camera's speed and track
    const Bytes second = Edit(first, again);
    // Two entries fewer; the new latitude and longitude (24 bytes each) go after the altitude.
    EXPECT_EQ(second.size(), first.size() - 2 * 12 + 2 * 24);
    EXPECT_TRUE(Tags(first).Find(ExifDirectory::kGps, 0x0F) && !Tags(second).Find(ExifDirectory::kGps, 0x0F));
    EXPECT_EQ(Tags(second).Find(ExifDirectory::kGps, 6)->Rational(0), 12.35);
    photogeo::ExifChanges remove;
    remove.removeGps = true;
    const Bytes removed = Edit(second, remove);
    EXPECT_FALSE(Tags(removed).Find(ExifDirectory::kPrimary, 0x8825));
    EXPECT_EQ(Edit(removed, remove), removed);
    // Neither the camera's latitude (35/1 39/1 3090/100) nor a written one is left anywhere.
    auto holds = [](const Bytes& file, const photogeo::ExifTags& from) {
        const Bytes lat = from.Find(ExifDirectory::kGps, 2)->bytes;
        return std::search(file.begin(), file.end(), lat.begin(), lat.end()) != file.end();
    };
    EXPECT_FALSE(holds(first, Tags(photo)));
    EXPECT_FALSE(holds(removed, Tags(first)));
    EXPECT_FALSE(holds(removed, Tags(second)));
}

// Refused edits and failing system calls: the file keeps its bytes, no temporary file stays,
// and the error says why.
TEST(ExifEdit, FailuresLeaveTheFileAsItWas) {
    testsupport::TempDir dir;
    const Bytes good = testsupport::MakePhoto(testsupport::With({&R::bigEndian, &R::makerNote}),
                                              testsupport::PlainPhoto());
    Bytes badHeader = good;
    badHeader[ExifSpan(good).first + 10] = 'X';
    photogeo::GpsFix far = SydneyFix();
    far.latitude = 91;
    photogeo::GpsFix noAltitude = SydneyFix();
    noAltitude.altitude = std::nan("");
    photogeo::ExifChanges badText;
    badText.userComment = "\xC3\x28";
    // A cut block whose Exif pointer names its end: the edit's bytes would be read there.
    // (Values and tables that end exactly at the end, as the thumbnail and a re-tagged GPS
    // directory do above, are edited.)
    exiftest::TiffBuilder cut(true);
    cut.Long(cut.Ifd0(), 0x8769, {26});
    const struct {
        const char* name;
        Bytes file;
        photogeo::ExifChanges changes;
        const char* error;
    } cases[] = {
        {"not a JPEG", Bytes{'G', 'I', 'F', '8', '9', 'a'}, SetGps(SydneyFix()), "not a JPEG"},
        {"cut in the EXIF segment", Bytes(good.begin(), good.begin() + 300), SetGps(SydneyFix()), "past the end"},
        {"bad TIFF header", badHeader, SetGps(SydneyFix()), "TIFF header"},
        {"over the segment limit", testsupport::MakePhoto(testsupport::With({}, 65400), testsupport::PlainPhoto()), SetGps(SydneyFix()), "65,533"},
        {"latitude 91", good, SetGps(far), "out of range: latitude"},
        {"altitude NaN", good, SetGps(noAltitude), "out of range: altitude"},
        {"comment not UTF-8", good, badText, "UTF-8"},
        {"Exif pointer at the end", exiftest::WrapAsJpeg(cut.Build()), SetGps(SydneyFix()), "outside the block: Exif"},
    };
    const std::string path = dir.Path("photo.jpg");
    for (const auto& c : cases) {
        testsupport::WriteFile(path, c.file);
        const photogeo::Result<void> r = photogeo::EditJpegFile(path, path, c.changes);
        ASSERT_FALSE(r) << c.name;
        EXPECT_NE(r.error().message.find(c.error), std::string::npos) << r.error().message;
        EXPECT_EQ(r.error().message.find(path), 0u) << r.error().message;
        EXPECT_EQ(testsupport::ReadFile(path), c.file) << c.name;
    }
    testsupport::WriteFile(path, good);
    for (int n = 1;; ++n) {
        photogeo::foundation::InjectFailure(n, EIO);
        const bool ok = static_cast<bool>(photogeo::EditJpegFile(path, path, SetGps(SydneyFix())));
        if (!photogeo::foundation::InjectedFailureHappened()) {
            EXPECT_TRUE(ok);
            break;
        }
        ASSERT_FALSE(ok) << n;
        ASSERT_EQ(testsupport::ReadFile(path), good) << n;
        ASSERT_EQ(dir.List(), std::vector<std::string>{"photo.jpg"}) << n;
    }
    photogeo::foundation::InjectFailure(0);
    // A batch: the folder synced once at the end; a folder that cannot be opened is reported.
    photogeo::WriteOptions batch;
    batch.syncFolder = false;
    EXPECT_TRUE(photogeo::EditJpegFile(path, path, SetGps(SydneyFix()), batch));
    EXPECT_TRUE(photogeo::SyncFolder(path) && photogeo::SyncFolder(dir.Path(".")));
    EXPECT_EQ(photogeo::SyncFolder(dir.Path("gone/")).error().code, ENOENT);
}

}  // namespace
