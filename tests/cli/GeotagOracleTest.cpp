// photogeo geotag end to end on the hard-case photos (both byte orders, maker notes at absolute
// offsets, a big-endian UNICODE comment, XMP before EXIF, an ICC trap, no EXIF, a block near the
// segment limit): ExifTool reads the options' values back, and the tool's own readers (info,
// bearing, the GPX mode's shooting time) find what was written, also behind an XMP APP1. That
// nothing else changes is the lossless editor's part, judged on the same photos by
// EditOracleTest.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "support/ExifTool.h"
#include "support/Files.h"
#include "support/TestPhotos.h"

namespace {

// Runs the tool with arguments (already quoted for the shell); its standard output.
std::string Tool(const std::string& arguments, int& status) {
    std::string output;
    std::FILE* pipe = popen((std::string("'" PHOTOGEO_TOOL "' ") + arguments).c_str(), "r");
    char chunk[4096];
    std::size_t n;
    while (pipe && (n = std::fread(chunk, 1, sizeof chunk, pipe)) > 0) output.append(chunk, n);
    status = pipe ? pclose(pipe) : -1;
    return output;
}

TEST(GeotagOracle, ExifToolAndTheToolReadBackWhatWasAsked) {
    if (!testsupport::HaveExiftool()) GTEST_SKIP() << "exiftool not installed";
    testsupport::TempDir dir;
    const auto& cases = testsupport::HardCases();
    std::string inputs;
    std::vector<std::string> written;
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const std::string name = "photo" + std::to_string(i) + ".jpg";
        testsupport::WriteFile(dir.Path(name), testsupport::MakePhoto(cases[i].recipe,
                                                                      testsupport::PlainPhoto()));
        inputs += " '" + dir.Path(name) + "'";
        written.push_back(dir.Path("out/" + name));
    }
    std::system(("mkdir '" + dir.Path("out") + "'").c_str());
    int status = 0;
    Tool("geotag" + inputs + " --lat -33.856789 --lon 151.215296 --alt -3.25 --dir 12.5 " +
             "--dir-ref M --title 'Opera House' --comment 'Harbour, 夕方' -o '" +
             dir.Path("out") + "'",
         status);
    ASSERT_EQ(status, 0);
    const auto readings = testsupport::ReadWithExiftool(written);
    for (std::size_t i = 0; i < cases.size(); ++i) {
        SCOPED_TRACE(cases[i].name);
        auto tag = [&](const std::string& key) {
            const auto it = readings[i].tags.find(key);
            return it == readings[i].tags.end() ? std::string("(absent)") : it->second.front();
        };
        EXPECT_EQ(tag("GPS:GPSLatitude") + " " + tag("GPS:GPSLongitude"), "33.856789 151.215296");
        EXPECT_EQ(tag("GPS:GPSLatitudeRef") + tag("GPS:GPSAltitudeRef") + tag("GPS:GPSAltitude"),
                  "S13.25");
        EXPECT_EQ(tag("GPS:GPSImgDirection") + tag("GPS:GPSImgDirectionRef"), "12.5M");
        EXPECT_EQ(tag("IFD0:ImageDescription"), "Opera House");
        EXPECT_EQ(tag("ExifIFD:UserComment"), "Harbour, 夕方");
    }

    // The tool's own readers find the position, the XMP-first photo's too.
    const std::string outputs = dir.Path("out") + "/photo";
    std::string listing = Tool("info --json '" + outputs + "'*.jpg", status);
    EXPECT_EQ(status, 0);
    std::size_t read = 0;
    for (std::size_t at = 0, end; (end = listing.find('\n', at)) != std::string::npos; at = end + 1) {
        const auto object = nlohmann::json::parse(listing.substr(at, end - at));
        EXPECT_NEAR(object["latitude"].get<double>(), -33.856789, 1e-6) << object["file"];
        ++read;
    }
    EXPECT_EQ(read, cases.size());
    Tool("bearing '" + outputs + "1.jpg' >/dev/null", status);
    EXPECT_EQ(status, 0);
    // A patch reaches the EXIF block behind the XMP packet and puts it back in its place.
    const testsupport::Bytes unpatched = testsupport::ReadFile(outputs + "1.jpg");
    Tool("geotag --patch --lat 1.5 --lon 2.5 '" + outputs + "1.jpg'", status);
    EXPECT_EQ(status, 0);
    const auto patched = testsupport::ReadWithExiftool({outputs + "1.jpg"}).front().tags;
    EXPECT_EQ(patched.at("GPS:GPSLatitude").front() + " " + patched.at("GPS:GPSLongitude").front(),
              "1.5 2.5");
    // Only the position's few bytes differ: nothing moved.
    const testsupport::Bytes after = testsupport::ReadFile(outputs + "1.jpg");
    ASSERT_EQ(after.size(), unpatched.size());
    std::size_t differing = 0;
    for (std::size_t i = 0; i < after.size(); ++i) differing += after[i] != unpatched[i];
    EXPECT_LT(differing, 64u);
    // The GPX mode reads each shooting time behind the XMP packet as well.
    std::ofstream(dir.Path("track.gpx"))
        << "<gpx><trk><trkseg><trkpt lat=\"1\" lon=\"2\"><time>1990-01-01T00:00:00Z</time>"
           "</trkpt><trkpt lat=\"3\" lon=\"4\"><time>2030-01-01T00:00:00Z</time></trkpt>"
           "</trkseg></trk></gpx>";
    const std::string report = Tool("geotag -n --max-gap 1e10 --gpx '" + dir.Path("track.gpx") +
                                        "' '" + outputs + "1.jpg' --in-place",
                                    status);
    EXPECT_NE(report.find("would write"), std::string::npos) << report;
}

}  // namespace
