// Track files and the position of a moment on a track, for "photogeo geotag --gpx", "photogeo
// map --gpx" and "photogeo track". A track file is GPX, an NMEA 0183 log or GeoJSON, told apart
// by its contents. GPX is parsed with pugixml, whatever namespace prefix the file uses.
// A track is a set of segments, each a run of timed points in time order: a GPX <trkseg> (or
// the points of one parent element), else, in a file without track points, each <rte> and the
// file's <wpt> points; a whole NMEA log; a GeoJSON LineString or each line of a
// MultiLineString. Positions are interpolated only inside a segment, never across the gap
// between two segments or two files.
#ifndef PHOTOGEO_TOOLS_GPX_H
#define PHOTOGEO_TOOLS_GPX_H

#include <string>
#include <vector>

namespace cli {

struct TrackPoint {
    double time;  // seconds since 1970 UTC
    double lat;   // degrees, south negative
    double lon;   // degrees, west negative
    bool hasEle;
    double ele;  // metres
};

enum class FixOutcome {
    kFound,
    kOutside,  // before the track's first point or after its last
    kTooFar,   // inside, but no usable point within the allowed gap
};

struct Fix {
    double lat, lon;
    bool hasEle;
    double ele;
    double gap;  // seconds to the nearer of the points used
};

struct TrackLimits {
    double maxGap = 300.0;     // seconds: largest distance in time to a track point
    double maxDistance = 0.0;  // metres: two neighbouring points farther apart are a jump, not
                               // joined by a line; 0 = no limit
};

using SegmentList = std::vector<std::vector<TrackPoint>>;

// The readers of the formats other than GPX; each appends the file's segments (points in file
// order) and gives false with a plain-words cause for a file that holds no usable point.
// NMEA: $--RMC sentences with status A give date, time and position, a $--GGA sentence of the
// same time with a fix quality above 0 the altitude (metres above mean sea level); sentences
// with a wrong or missing checksum and void fixes are skipped.
bool ReadNmea(const std::string& text, SegmentList& segments, std::string& cause);
// GeoJSON: a FeatureCollection or a Feature whose LineString or MultiLineString coordinates
// [lon, lat(, ele)] have their ISO 8601 times in properties.coordTimes or in
// properties.coordinateProperties.times (an array per line). Other features are ignored;
// a malformed position or time, or times that do not pair with the coordinates, is an error.
bool ReadGeoJson(const std::string& text, SegmentList& segments, std::string& cause);

class Track {
public:
    // Adds the segments of a track file: GPX, NMEA or GeoJSON, told by its first characters
    // ('<', '{', or a line starting with '$'), whatever its name. False with a plain-words cause
    // when the file cannot be read, is not one of those formats or not well-formed, holds a
    // point with a malformed coordinate or time, or has no timed point at all; the track is
    // then unchanged. Points without a time are left out.
    bool AddFile(const std::string& path, std::string& cause);
    // The same (kept for the callers written when only GPX was read).
    bool AddGpx(const std::string& path, std::string& cause) { return AddFile(path, cause); }
    // Adds one segment; the points are put in time order. An empty one is ignored.
    void AddSegment(std::vector<TrackPoint> points);

    bool Empty() const { return m_segments.empty(); }
    double Begin() const;  // time of the first point; only when not Empty()
    double End() const;    // time of the last point
    // The segments, each in time order, in the order they were added.
    const std::vector<std::vector<TrackPoint>>& Segments() const { return m_segments; }

    // The position at time t. Inside a segment it is interpolated linearly between the two
    // points around t (longitude across the 180th meridian the short way, elevation only when
    // both have one) when the nearer of them is within maxGap. Between two segments, or across
    // a jump longer than maxDistance, it is the nearer end point's position when that end is
    // within maxGap. Where segments overlap, the one with a point nearest in time to t wins.
    FixOutcome Locate(double t, const TrackLimits& limits, Fix& fix) const;

private:
    std::vector<std::vector<TrackPoint>> m_segments;
};

// Great-circle distance between two points in metres (mean Earth radius).
double DistanceMetres(double lat1, double lon1, double lat2, double lon2);

}  // namespace cli

#endif
