// The lossless editor judged by ExifTool and Exiv2: on each hard-case photo, ExifTool's dump
// before and after differs only in the GPS items set and the asked-for texts (a camera's other
// GPS items are kept; for a photo that had no EXIF, also the items a new block requires), its
// -validate check finds nothing new, the maker note and thumbnail read as before, and both
// tools read back every item written.
#include <gtest/gtest.h>

#include "edit/EditCases.h"
#include "support/Exiv2Oracle.h"
#include "support/ExifTool.h"
#include "support/Files.h"

namespace {

TEST(ExifEditOracle, ExifToolAndExiv2SeeOnlyTheAskedChanges) {
    if (!testsupport::HaveExiftool()) GTEST_SKIP() << "exiftool not installed";
    testsupport::TempDir dir;
    const auto& cases = testsupport::HardCases();
    std::vector<std::string> files;
    for (size_t i = 0; i < cases.size(); ++i) {
        const std::string in = dir.Path("in" + std::to_string(i) + ".jpg");
        const std::string out = dir.Path("out" + std::to_string(i) + ".jpg");
        testsupport::WriteFile(in, testsupport::MakePhoto(cases[i].recipe, testsupport::PlainPhoto()));
        const auto r = photogeo::EditJpegFile(in, out, edittest::StandardChanges(cases[i].recipe));
        ASSERT_TRUE(r) << r.error().message;
        files.push_back(in);
        files.push_back(out);
    }
    const std::vector<testsupport::ExiftoolReading> readings = testsupport::ReadWithExiftool(files);

    const std::set<std::string> asked = {
        "IFD0:ImageDescription", "ExifIFD:UserComment", "GPS:GPSVersionID", "GPS:GPSLatitudeRef",
        "GPS:GPSLatitude", "GPS:GPSLongitudeRef", "GPS:GPSLongitude", "GPS:GPSAltitudeRef",
        "GPS:GPSAltitude", "GPS:GPSTimeStamp", "GPS:GPSDateStamp", "GPS:GPSImgDirectionRef",
        "GPS:GPSImgDirection", "GPS:GPSMapDatum"};
    const std::set<std::string> newBlock = {
        "File:ExifByteOrder", "IFD0:XResolution", "IFD0:YResolution", "IFD0:ResolutionUnit",
        "IFD0:YCbCrPositioning", "ExifIFD:ExifVersion", "ExifIFD:ComponentsConfiguration",
        "ExifIFD:FlashpixVersion", "ExifIFD:ColorSpace", "ExifIFD:ExifImageWidth",
        "ExifIFD:ExifImageHeight"};
    for (size_t i = 0; i < cases.size(); ++i) {
        SCOPED_TRACE(cases[i].name);
        const testsupport::PhotoRecipe& recipe = cases[i].recipe;
        const photogeo::ExifChanges changes = edittest::StandardChanges(recipe);
        const auto& before = readings[2 * i];
        const auto& after = readings[2 * i + 1];
        for (const std::string& key :
             testsupport::ChangedTags(before, after, {"Composite", "System", "ExifTool"}))
            EXPECT_TRUE(asked.count(key) || (!recipe.exif && newBlock.count(key))) << key;
        for (const std::string& warning : after.warnings)
            EXPECT_TRUE(before.warnings.count(warning)) << warning;
        // The cases are really there: ExifTool decodes the maker note and the thumbnail.
        EXPECT_EQ(before.tags.count("Canon:OwnerName"), recipe.makerNote ? 1u : 0u);
        EXPECT_EQ(before.tags.count("IFD1:ThumbnailImage"), recipe.thumbnail ? 1u : 0u);
        EXPECT_EQ(before.tags.count("GPS:GPSProcessingMethod"), recipe.gps ? 1u : 0u);

        auto tool = [&](const std::string& key) {
            const auto it = after.tags.find(key);
            return it == after.tags.end() ? std::string("(absent)") : it->second.front();
        };
        EXPECT_EQ(tool("IFD0:ImageDescription"), *changes.imageDescription);
        EXPECT_EQ(tool("ExifIFD:UserComment"), *changes.userComment);
        const auto e = exiftest::Exiv2ReadJpeg(testsupport::ReadFile(files[2 * i + 1]));
        using exiftest::Exiv2Text;
        EXPECT_EQ(Exiv2Text(e, "Exif.Image.ImageDescription"), *changes.imageDescription);
        // GPS items by name: ExifTool's value (-n), Exiv2's value.
        const std::string version = recipe.gps ? "2 2 0 0" : "2 3 0 0";
        const std::string items[][3] = {
            {"GPSLatitude", "33.868812", "33/1 52/1 77232/10000"},
            {"GPSLongitude", "151.209295", "151/1 12/1 334620/10000"},
            {"GPSLatitudeRef", "S", "S"}, {"GPSAltitudeRef", "1", "1"},
            {"GPSAltitude", "12.35", "1235/100"}, {"GPSImgDirection", "123.46", "12346/100"},
            {"GPSTimeStamp", "22:13:20.25", "22/1 13/1 20250/1000"},
            {"GPSDateStamp", "2023:11:14", "2023:11:14"}, {"GPSImgDirectionRef", "T", "T"},
            {"GPSMapDatum", "WGS-84", "WGS-84"}, {"GPSVersionID", version, version}};
        for (const auto& [name, exiftool, exiv2] : items) {
            EXPECT_EQ(tool("GPS:" + name), exiftool);
            EXPECT_EQ(Exiv2Text(e, "Exif.GPSInfo." + name), exiv2);
        }
        const std::string comment = Exiv2Text(e, "Exif.Photo.UserComment");
        EXPECT_NE(comment.find(*changes.userComment), std::string::npos) << comment;
    }
}

}  // namespace
