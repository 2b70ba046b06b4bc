// Unit tests of the command-line tool's own logic, apart from the library: calendar arithmetic
// (against the C runtime's gmtime), track interpolation, track files (each format must give the
// segments of the plain GPX track with the same points; broken files a cause), the command-line
// parser, the text helpers and the folder walk. run.sh checks the image writers (ImageMagick).
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <ctime>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "cli.h"
#include "dates.h"
#include "gpx.h"
#include "photo_walk.h"
#include "shot_time.h"
#include "support/Files.h"

using namespace cli;

namespace {

TrackPoint Point(double t, double lat, double lon) {
    return {t, lat, lon, false, 0.0};
}

// The segments of a track file with these contents as text, a line per point (time, position
// to 1e-9 degree, elevation or "-"), after "refused: CAUSE" when the file is refused.
std::string Segments(const std::string& text) {
    testsupport::TempDir dir;
    std::ofstream(dir.Path("track"), std::ios::binary) << text;
    Track track;
    std::string cause, out;
    if (!track.AddFile(dir.Path("track"), cause)) out = "refused: " + cause + "\n";
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

TEST(Dates, DayCountAndUtcTextAgreeWithTheCRuntime) {
    for (int64_t day = -25567; day <= 47482; day += 37) {  // 1900 to 2100
        int64_t seconds = day * 86400 + (day % 86400 + 86400) % 86400;
        std::time_t t = static_cast<std::time_t>(seconds);
        std::tm utc{};
        ASSERT_NE(gmtime_r(&t, &utc), nullptr);
        EXPECT_EQ(DaysFromCivil(utc.tm_year + 1900, utc.tm_mon + 1, utc.tm_mday), day);
        char expected[32];
        std::strftime(expected, sizeof expected, "%Y-%m-%dT%H:%M:%SZ", &utc);
        EXPECT_EQ(IsoUtc(static_cast<double>(seconds)), expected);
    }
}

TEST(Dates, ParsesGpxTimesWithZonesAndFractions) {
    const std::pair<const char*, double> good[] = {
        {"2008-02-28T01:15:00Z", 1204161300.0},      {"2008-02-28T10:15:00+09:00", 1204161300.0},
        {"2008-02-27T21:45:00-03:30", 1204161300.0}, {"2008-02-28T01:15:00.250Z", 1204161300.25},
        {"2008-02-28T01:15:00", 1204161300.0},       {"2008-02-29T00:00:00Z", 1204243200.0}};
    double t = 0;
    for (const auto& g : good) {
        ASSERT_TRUE(ParseIsoDateTime(g.first, t)) << g.first;
        EXPECT_DOUBLE_EQ(t, g.second) << g.first;
    }
    for (const char* bad : {"2007-02-29T00:00:00Z", "2008-02-28 01:15:00Z", "2008-02-28T24:00:00Z",
                            "2008-02-28T01:15Z", "2008-02-28T01:15:00.Z", "2008-02-28T01:15:00+9",
                            "2008-13-01T00:00:00Z", "2008-02-28T01:15:00Zjunk", ""}) {
        EXPECT_FALSE(ParseIsoDateTime(bad, t)) << bad;
    }
}

TEST(Dates, OffsetsAndDays) {
    // +14:00 is the widest zone in use.
    for (auto [text, seconds] : {std::pair<const char*, int>{"+09:00", 32400},
                                 {"-03:30", -12600}, {"+0545", 20700}, {"Z", 0}, {"+14:00", 50400}})
        EXPECT_EQ(ParseUtcOffset(text, "x"), seconds) << text;
    for (const char* bad : {"+15:00", "9", "+09:75"})
        EXPECT_THROW(ParseUtcOffset(bad, "x"), UsageError) << bad;
    EXPECT_EQ(ParseIsoDay("2038-01-19", "x"), 2147472000);
    for (const char* bad : {"2038-1-19", "2001-02-29"})
        EXPECT_THROW(ParseIsoDay(bad, "x"), UsageError) << bad;
}

// Track a: elevations on the first two points only; across the antimeridian westward and
// eastward; exact hits and the ends need no gap. Track b: a 143 km gap between its first two
// segments, a 111 km jump inside the third, and a fourth (a waypoint file's) overlapping the
// first with closer points.
TEST(Track, LocatesInsideSegmentsNeverAcrossGapsOrJumps) {
    Track a, b;
    a.AddSegment(
        {{100, 35.0, 135.0, true, 10}, {200, 36.0, 137.0, true, 30}, Point(400, 36.0, 139.0)});
    a.AddSegment({Point(1000, 0.0, 179.0), Point(1100, 0.0, -179.0)});
    a.AddSegment({Point(2000, 0.0, -179.0), Point(2100, 0.0, 179.0)});
    b.AddSegment({{0, 35, 135, true, 10}, {100, 35, 135.1, true, 20}});
    b.AddSegment({Point(1000, 36, 136), Point(1100, 36, 136.1)});
    b.AddSegment({Point(2000, 0, 0), Point(2100, 0, 1)});
    b.AddSegment({Point(45, 40, 140), Point(55, 40, 140.2)});
    EXPECT_EQ(b.Begin(), 0);
    EXPECT_EQ(b.End(), 2100);
    const double kNoEle = -1;
    const FixOutcome kFound = FixOutcome::kFound, kTooFar = FixOutcome::kTooFar;
    const struct {
        const Track& track;
        double t, maxGap, maxDistance;
        FixOutcome outcome;
        double lat, lon, ele, gap;
    } cases[] = {
        {a, 250, 60, 0, kFound, 36.0, 137.5, kNoEle, 50},
        {a, 150, 60, 0, kFound, 35.5, 136.0, 20, 50},
        {a, 400, 0, 0, kFound, 36.0, 139.0, kNoEle, 0},
        {a, 300, 99, 0, kTooFar, 0, 0, 0, 0},
        {a, 300, 100, 0, kFound, 36.0, 138.0, kNoEle, 100},
        {a, 1025, 1000, 0, kFound, 0.0, 179.5, kNoEle, 25},
        {a, 1075, 1000, 0, kFound, 0.0, -179.5, kNoEle, 25},
        {a, 2025, 1000, 0, kFound, 0.0, -179.5, kNoEle, 25},
        {b, 10, 300, 0, kFound, 35, 135.01, 11, 10},
        {b, 50, 300, 0, kFound, 40, 140.1, kNoEle, 5},  // the closer neighbours win
        {b, 500, 300, 0, kTooFar, 0, 0, 0, 0},          // no line across the gap
        {b, 500, 400, 0, kFound, 35, 135.1, 20, 400},   // the nearer end within the gap
        {b, 950, 300, 0, kFound, 36, 136, kNoEle, 50},  // the next segment's first point
        {b, 2030, 300, 0, kFound, 0, 0.3, kNoEle, 30},  // no distance limit: interpolated
        {b, 2030, 300, 50000, kFound, 0, 0, kNoEle, 30},  // a jump: the nearer end
        {b, 2050, 40, 50000, kTooFar, 0, 0, 0, 0},        // a jump, both ends too far
        {b, -1, 1e9, 0, FixOutcome::kOutside, 0, 0, 0, 0},
        {b, 2101, 1e9, 0, FixOutcome::kOutside, 0, 0, 0, 0},
        {Track(), 0, 1e9, 0, FixOutcome::kOutside, 0, 0, 0, 0},
    };
    for (const auto& c : cases) {
        Fix fix{};
        ASSERT_EQ(c.track.Locate(c.t, {c.maxGap, c.maxDistance}, fix), c.outcome) << c.t;
        if (c.outcome != kFound) continue;
        EXPECT_NEAR(fix.lat, c.lat, 1e-9) << c.t;
        EXPECT_NEAR(fix.lon, c.lon, 1e-9) << c.t;
        EXPECT_DOUBLE_EQ(fix.hasEle ? fix.ele : kNoEle, c.ele) << c.t;
        EXPECT_DOUBLE_EQ(fix.gap, c.gap) << c.t;
    }
    // One degree of the equator, against the published mean radius.
    EXPECT_NEAR(DistanceMetres(0, 0, 0, 1), 111195.08, 0.01);
}

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

TEST(Args, EveryCommandParsesAlike) {
    // Options anywhere, negative numbers and "-" as values, "--", the last value winning.
    struct Seen {
        double lat = 0.0;
        bool patch = false;
        std::vector<std::string> files;
    };
    static Seen seen;
    const Command command{"t", "test", [](CLI::App& app) -> std::function<int()> {
        seen = Seen();
        app.add_option("FILE", seen.files);
        app.add_option("--lat", seen.lat)->check(Range(-90.0, 90.0));
        app.add_flag("--patch", seen.patch);
        return [] { return 0; };
    }};
    auto parse = [&](std::vector<const char*> args) {
        std::function<int()> run;
        std::unique_ptr<CLI::App> app = MakeParser(command, run);
        args.insert(args.begin(), "t");
        app->parse(static_cast<int>(args.size()), args.data());
    };
    parse({"a.jpg", "--lat", "-33.5", "-", "--lat=-12", "--patch", "-7", "--", "--patch"});
    EXPECT_EQ(seen.lat, -12.0);
    EXPECT_TRUE(seen.patch);
    EXPECT_EQ(seen.files, (std::vector<std::string>{"a.jpg", "-", "-7", "--patch"}));
    for (auto bad : {std::vector<const char*>{"--lat", "91"}, {"--lat", "nan"}, {"--lat", "1e"},
                     {"--lon", "1"}, {"--lat"}}) {
        EXPECT_THROW(parse(bad), CLI::ParseError) << bad[0];
    }
    EXPECT_THROW(ParseLong("12abc", "x"), UsageError);
}

TEST(Text, ShiftJisRoundTripAndWidths) {
    const std::string utf8 = "東京ﾀﾜｰ 35ﾟ";
    std::string sjis = Utf8ToSjis(utf8, "x");
    EXPECT_EQ(sjis, "\x93\x8C\x8B\x9E\xC0\xDC\xB0 35\xDF");
    EXPECT_EQ(SjisToUtf8(sjis), utf8);
    EXPECT_EQ(DisplayWidthSjis(sjis), 11u);
    EXPECT_EQ(DisplayWidthUtf8(utf8), 11u);
    // A broken byte becomes one replacement character and the rest still converts.
    EXPECT_EQ(SjisToUtf8("a\x81 b"), "a\xEF\xBF\xBD b");
    EXPECT_EQ(SjisToUtf8("ab\x81"), "ab\xEF\xBF\xBD");
    EXPECT_THROW(Utf8ToSjis("\xF0\x9F\x98\x80", "x"), UsageError);  // no Shift-JIS form
}

TEST(PhotoWalk, SortedTreeWithoutHiddenOrForeignFilesAndNoLinkLoop) {
    testsupport::TempDir dir;
    const std::string root = dir.Path("tree");
    for (const char* folder : {"", "/b", "/b/c", "/.hidden"}) mkdir((root + folder).c_str(), 0777);
    const char* jpeg = "\xFF\xD8\xFF\xE0";
    for (auto [name, text] : {std::pair<const char*, const char*>{"/b/10.JPG", "x"},
                              {"/b/2.jpeg", "x"}, {"/b/c/raw", jpeg}, {"/b/notes.txt", "x"},
                              {"/b/.dot.jpg", jpeg}, {"/.hidden/h.jpg", jpeg}, {"/a.jpe", "x"}}) {
        std::ofstream(root + name) << text;
    }
    ASSERT_EQ(symlink("..", (root + "/b/c/up").c_str()), 0);  // a loop back to b
    std::vector<std::string> got;
    for (const WalkedPhoto& p : WalkPhotos({root, root + "/b/.dot.jpg", root + "/b"}, {true, {}})) {
        got.push_back(p.relative + (p.cause.empty() ? "" : " !"));
    }
    EXPECT_EQ(got, (std::vector<std::string>{"a.jpe", "b/10.JPG", "b/2.jpeg", "b/c/raw",
                                             ".dot.jpg"}));
    std::vector<WalkedPhoto> flat = WalkPhotos({root + "/b"}, {false, {}});
    ASSERT_EQ(flat.size(), 1u);
    EXPECT_EQ(flat[0].cause, "is a directory (give -r to go through it)");
    EXPECT_EQ(WalkPhotos({root}, {true, {root + "/b/c/up"}}).size(), 1u);  // b skipped: a.jpe
}

TEST(CameraClock, ZoneOrderDaylightSavingAndDrift) {
    struct Case {
        const char *offset, *zone, *recorded, *wall, *utc;  // utc "" = no instant
    };
    // The suite runs under TZ=JST-9. Paris changed to summer time on 2026-03-29 at 01:00Z and
    // back on 2026-10-25 at 01:00Z.
    const Case cases[] = {
        {"", "", nullptr, "2008:02:28 11:00:00", "2008-02-28T02:00:00Z"},
        {"", "", "-03:30", "2008:02:28 11:00:00", "2008-02-28T14:30:00Z"},
        {"", "", "bad", "2008:02:28 11:00:00", "2008-02-28T02:00:00Z"},
        {"+05:45:30", "", "-03:30", "2008:02:28 11:00:00", "2008-02-28T05:14:30Z"},
        {"", "Europe/Paris", "+09:00", "2026:03:29 01:30:00", "2026-03-29T00:30:00Z"},
        {"", "Europe/Paris", nullptr, "2026:03:29 03:30:00", "2026-03-29T01:30:00Z"},
        {"", "Europe/Paris", nullptr, "2026:03:29 02:30:00", "2026-03-29T01:00:00Z"},
        {"", "Europe/Paris", nullptr, "2026:10:25 02:30:00", "2026-10-25T00:30:00Z"},
        {"", "Europe/Paris", nullptr, "2026:10:25 03:30:00", "2026-10-25T02:30:00Z"},
        {"", "", nullptr, "2023:02:29 00:00:00", ""},
        {"", "", nullptr, "2023:02:28", ""},
    };
    for (const Case& c : cases) {
        CameraClock clock = CameraClock::FromOptions(c.offset, c.zone);
        const auto recorded = c.recorded ? std::optional<std::string>(c.recorded) : std::nullopt;
        std::optional<double> utc = clock.Instant(c.wall, recorded);
        EXPECT_EQ(utc ? IsoUtc(*utc) : "", c.utc) << c.wall << " " << c.zone;
        clock.SetDrift(90);
        EXPECT_EQ(clock.Instant(c.wall, recorded), utc ? std::optional<double>(*utc - 90) : utc);
    }
    EXPECT_THROW(CameraClock::FromOptions("+01:00", "UTC"), UsageError);
    EXPECT_THROW(CameraClock::FromOptions("", "Mars/Olympus"), UsageError);
    EXPECT_THROW(CameraClock::FromOptions("+1", ""), UsageError);
}
