// Track files: GPX with a namespace prefix or only routes and waypoints, an NMEA log and GeoJSON
// lines must give the same segments as the plain GPX track holding the same points, and broken
// files a cause.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "gpx.h"

using namespace cli;

namespace {

// The segments of a track file with these contents as text, a line per point (time, position
// to 1e-9 degree, elevation or "-"), after "refused: CAUSE" when the file is refused.
std::string Segments(const std::string& text) {
    const std::string path = ::testing::TempDir() + "photogeo-formats-" + std::to_string(getpid());
    std::ofstream(path, std::ios::binary) << text;
    Track track;
    std::string cause, out;
    if (!track.AddFile(path, cause)) out = "refused: " + cause + "\n";
    std::remove(path.c_str());
    for (const std::vector<TrackPoint>& segment : track.Segments()) {
        out += "segment\n";
        for (const TrackPoint& p : segment) {
            char line[128];
            std::snprintf(line, sizeof line, "%.3f %.9f %.9f %s\n", p.time, p.lat, p.lon,
                          p.hasEle ? std::to_string(p.ele).c_str() : "-");
            out += line;
        }
    }
    return out;
}

void ExpectSameAsGpx(const std::string& text, const std::string& gpx) {
    const std::string expected = Segments(gpx);
    ASSERT_EQ(expected.find("refused"), std::string::npos) << expected;
    EXPECT_EQ(Segments(text), expected);
}

}  // namespace

// A segment per <trkseg>, blanks around values, points without a time left out; without
// track points, each route and then the waypoints.
TEST(TrackFormats, GpxWithAPrefixOrWithoutTrackPointsMatchesPlainGpx) {
    ExpectSameAsGpx(R"(<?xml version="1.0"?>
<g:gpx xmlns:g="http://www.topografix.com/GPX/1/1"><g:trk><g:trkseg>
  <g:trkpt lat="35.2" lon="135.2"><g:ele>12.5</g:ele><g:time>2008-02-28T02:00:00Z</g:time></g:trkpt>
  <g:trkpt lat="35.9" lon="135.9"/>
 </g:trkseg><g:trkseg>
  <g:trkpt lat=" 35.1" lon="135.1"><g:time> 2008-02-28T01:55:00Z </g:time></g:trkpt>
</g:trkseg></g:trk></g:gpx>)",
                    "<gpx><trk><trkseg><trkpt lat='35.2' lon='135.2'><ele>12.5</ele>"
                    "<time>2008-02-28T02:00:00Z</time></trkpt></trkseg><trkseg>"
                    "<trkpt lat='35.1' lon='135.1'><time>2008-02-28T01:55:00Z</time></trkpt>"
                    "</trkseg></trk></gpx>");
    ExpectSameAsGpx("<gpx><wpt lat='1' lon='2'><time>2008-02-28T03:00:00Z</time></wpt>"
                    "<rte><rtept lat='3' lon='4'><time>2008-02-28T01:00:00Z</time></rtept>"
                    "<rtept lat='5' lon='6'><time>2008-02-28T02:00:00Z</time></rtept></rte>"
                    "<wpt lat='7' lon='8'><time>2008-02-28T04:00:00Z</time></wpt></gpx>",
                    "<gpx><trk><trkseg><trkpt lat='3' lon='4'><time>2008-02-28T01:00:00Z</time>"
                    "</trkpt><trkpt lat='5' lon='6'><time>2008-02-28T02:00:00Z</time></trkpt>"
                    "</trkseg><trkseg><trkpt lat='1' lon='2'><time>2008-02-28T03:00:00Z</time>"
                    "</trkpt><trkpt lat='7' lon='8'><time>2008-02-28T04:00:00Z</time></trkpt>"
                    "</trkseg></trk></gpx>");
}

// The first two sentences are the textbook RMC/GGA pair with their published checksums. Then a
// void fix, a GGA without a fix before a valid GNSS RMC in the southern and western
// hemispheres, and a sentence with a wrong checksum, all but the RMC skipped.
TEST(TrackFormats, NmeaLogMatchesGpx) {
    ExpectSameAsGpx(
        "logger v1 started\r\n"
        "$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47\r\n"
        "$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W*6A\r\n"
        "$GPRMC,123520,V,4807.038,N,01131.000,E,,,230394,,*00\r\n"
        "$GNGGA,123521.50,3350.000,S,15112.600,W,0,00,,12.0,M,,M,,*79\r\n"
        "$GNRMC,123521.50,A,3350.000,S,15112.600,W,,,230394,,*2B\r\n"
        "$GPRMC,123522,A,4807.100,N,01131.000,E,,,230394,,*1E\r\n",
        "<gpx><trk><trkseg>"
        "<trkpt lat='48.1173' lon='11.516666666667'><ele>545.4</ele>"
        "<time>1994-03-23T12:35:19Z</time></trkpt>"
        "<trkpt lat='-33.833333333333' lon='-151.21'><time>1994-03-23T12:35:21.5Z</time></trkpt>"
        "</trkseg></trk></gpx>");
}

// Both conventions for the times; a MultiLineString gives a segment per line; a feature
// without times (a Point, an untimed line) is ignored.
TEST(TrackFormats, GeoJsonLinesMatchGpx) {
    ExpectSameAsGpx(
        R"({"type": "FeatureCollection", "features": [
  {"type": "Feature", "geometry": {"type": "Point", "coordinates": [1, 2]}, "properties": {}},
  {"type": "Feature", "geometry": {"type": "LineString", "coordinates": [[135.1, 35.1, 12], [135.2, 35.2]]},
   "properties": {"coordTimes": ["2008-02-28T02:00:00Z", "2008-02-28T02:01:00+00:00"]}},
  {"type": "Feature", "geometry": {"type": "MultiLineString",
     "coordinates": [[[-0.1, 51.5]], [[-0.2, 51.6], [-0.3, 51.7]]]},
   "properties": {"coordinateProperties": {"times": [["2008-02-28T03:00:00Z"],
                                                     ["2008-02-28T04:00:00Z", "2008-02-28T04:00:10.5Z"]]}}}
]})",
        "<gpx><trk>"
        "<trkseg><trkpt lat='35.1' lon='135.1'><ele>12</ele><time>2008-02-28T02:00:00Z</time></trkpt>"
        "<trkpt lat='35.2' lon='135.2'><time>2008-02-28T02:01:00Z</time></trkpt></trkseg>"
        "<trkseg><trkpt lat='51.5' lon='-0.1'><time>2008-02-28T03:00:00Z</time></trkpt></trkseg>"
        "<trkseg><trkpt lat='51.6' lon='-0.2'><time>2008-02-28T04:00:00Z</time></trkpt>"
        "<trkpt lat='51.7' lon='-0.3'><time>2008-02-28T04:00:10.5Z</time></trkpt></trkseg>"
        "</trk></gpx>");
}

TEST(TrackFormats, RefusesBrokenFilesWithACause) {
    const std::string line = R"({"type": "Feature", "geometry": {"type": "LineString", "coordinates": )";
    struct Case {
        std::string text, cause;
    } cases[] = {
        {"$GPRMC,123520,V,4807.038,N,01131.000,E,,,230394,,*00\n", "no valid $GPRMC fix"},
        {"$GPRMC,123522,A,4807.100,N,01131.000,E,,,230394,,*1E\n", "no valid $GPRMC fix"},
        {"{\"type\": \"FeatureCollection\", \"features\": [", "not a JSON object"},
        {"{\"type\": \"FeatureCollection\"}", "without a features array"},
        {line + "[[1, 2], [3, 4]]}, \"properties\": {\"coordTimes\": [\"2008-02-28T02:00:00Z\"]}}",
         "do not match"},
        {line + "[[1, 2]]}, \"properties\": {\"coordTimes\": [\"yesterday\"]}}", "malformed time"},
        {line + "[[200, 2]]}, \"properties\": {\"coordTimes\": [\"2008-02-28T02:00:00Z\"]}}",
         "outside"},
        {line + "[[1, 2]]}, \"properties\": {}}", "has no LineString"},
        {"lat,lon,time\n1,2,2008-02-28T02:00:00Z\n", "not a track"},
        {"<gpx><trk><trkseg><trkpt lat='1' lon='2'><time>x</time></trkpt></trkseg></trk></gpx>",
         "malformed time"},
        {"<gpx><trkpt lat='91' lon='2'><time>2008-02-28T01:55:00Z</time></trkpt></gpx>", "valid lat"},
        {"<gpx><trkpt lon='2'><time>2008-02-28T01:55:00Z</time></trkpt></gpx>", "valid lat"},
        {"<gpx><trk>", "not well-formed XML"},
        {"<gpx><wpt lat='1' lon='2'/></gpx>", "no track, route or waypoint"},
    };
    for (const Case& c : cases) {
        const std::string got = Segments(c.text);  // refused, and nothing read
        EXPECT_TRUE(got.rfind("refused: ", 0) == 0 && got.find('\n') == got.size() - 1) << got;
        EXPECT_NE(got.find(c.cause), std::string::npos) << c.text << " -> " << got;
    }
    Track track;
    std::string cause;
    EXPECT_FALSE(track.AddFile(::testing::TempDir() + "photogeo-formats-missing", cause));
    EXPECT_NE(cause.find("cannot read"), std::string::npos) << cause;
}
