// GPX track reading and the position of a moment on the track, for "photogeo geotag --gpx".
// The XML is parsed with pugixml; every <trkpt> of every track and segment that has a time is
// taken, whatever namespace prefix the file uses, and the points are ordered by time.
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

// Reads the track points of a GPX file, sorted by time. False with a plain-words cause when the
// file cannot be read, is not well-formed XML, or holds a point with a malformed coordinate or
// time. Points without a time are left out (they cannot be matched to a photo).
bool LoadGpx(const std::string& path, std::vector<TrackPoint>& points, std::string& cause);

enum class FixOutcome {
    kFound,
    kOutside,  // before the first or after the last point
    kTooFar,   // between two points, but farther than the allowed gap from both
};

struct Fix {
    double lat, lon;
    bool hasEle;
    double ele;
    double gap;  // seconds to the nearer of the two points used
};

// The position at time t, interpolated linearly between the two points around it (longitude
// across the 180th meridian the short way). Elevation only when both points have one.
FixOutcome FindFix(const std::vector<TrackPoint>& points, double t, double maxGap, Fix& fix);

}  // namespace cli

#endif
