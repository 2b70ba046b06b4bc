// GPX reading, the choice of a track file's reader, segment merging and track interpolation of
// the command-line tool (see gpx.h; the other formats' readers are in track_readers.cpp).
#include "gpx.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <pugixml.hpp>

#include "cli.h"
#include "dates.h"

namespace cli {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kEarthRadiusMetres = 6371008.8;  // mean radius (IUGG)

void SortByTime(std::vector<TrackPoint>& points) {
    std::stable_sort(points.begin(), points.end(),
                     [](const TrackPoint& a, const TrackPoint& b) { return a.time < b.time; });
}

// An element's name without its namespace prefix.
const char* LocalName(const pugi::xml_node& node) {
    const char* name = node.name();
    const char* colon = std::strrchr(name, ':');
    return colon ? colon + 1 : name;
}

pugi::xml_node Child(const pugi::xml_node& node, const char* local) {
    for (pugi::xml_node child : node.children()) {
        if (child.type() == pugi::node_element && std::strcmp(LocalName(child), local) == 0) {
            return child;
        }
    }
    return pugi::xml_node();
}

bool ParseNumber(const char* text, double& value) {
    char* end = nullptr;
    value = std::strtod(text, &end);
    while (end && (*end == ' ' || *end == '\t' || *end == '\n' || *end == '\r')) ++end;
    return end != text && end && *end == '\0' && std::isfinite(value);
}

std::string Trim(const std::string& text) {
    std::size_t b = text.find_first_not_of(" \t\r\n");
    std::size_t e = text.find_last_not_of(" \t\r\n");
    return b == std::string::npos ? "" : text.substr(b, e - b + 1);
}

// Collects the timed points named pointName below node: the ones sharing a parent element make
// one segment, in document order.
bool Collect(const pugi::xml_node& node, const char* pointName, SegmentList& segments,
             std::string& cause) {
    std::vector<TrackPoint> segment;
    for (pugi::xml_node child : node.children()) {
        if (child.type() != pugi::node_element) continue;
        if (std::strcmp(LocalName(child), pointName) != 0) {
            if (!Collect(child, pointName, segments, cause)) return false;
            continue;
        }
        TrackPoint point{};
        pugi::xml_node timeNode = Child(child, "time");
        if (!timeNode) continue;
        std::string when = Trim(timeNode.child_value());
        if (!ParseIsoDateTime(when, point.time)) {
            cause = "track point with a malformed time '" + when + "'";
            return false;
        }
        if (!ParseNumber(child.attribute("lat").value(), point.lat) ||
            !ParseNumber(child.attribute("lon").value(), point.lon) || point.lat < -90.0 ||
            point.lat > 90.0 || point.lon < -180.0 || point.lon > 180.0) {
            cause = "track point at " + when + " without a valid lat and lon";
            return false;
        }
        pugi::xml_node eleNode = Child(child, "ele");
        point.hasEle = eleNode && ParseNumber(eleNode.child_value(), point.ele);
        segment.push_back(point);
    }
    if (!segment.empty()) segments.push_back(std::move(segment));
    return true;
}

// The segments of a GPX file: its tracks, else its routes and waypoints.
bool ReadGpx(const std::string& data, SegmentList& segments, std::string& cause) {
    pugi::xml_document doc;
    pugi::xml_parse_result parsed = doc.load_buffer(data.data(), data.size());
    if (!parsed) {
        cause = std::string("not well-formed XML: ") + parsed.description() + " at byte " +
                std::to_string(parsed.offset);
        return false;
    }
    segments.clear();
    if (!Collect(doc, "trkpt", segments, cause)) return false;
    if (segments.empty()) {
        if (!Collect(doc, "rtept", segments, cause) || !Collect(doc, "wpt", segments, cause)) {
            return false;
        }
    }
    return true;
}

enum class TrackFormat { kGpx, kNmea, kGeoJson, kUnknown };

// The format by the first character after an optional byte order mark and white space; an
// NMEA log may also start with other lines (a logger's header) before its first sentence.
TrackFormat FormatOf(const std::string& data) {
    static const char kBom[] = "\xEF\xBB\xBF";
    std::size_t start = data.compare(0, 3, kBom) == 0 ? 3 : 0;
    std::size_t first = data.find_first_not_of(" \t\r\n", start);
    if (first == std::string::npos) return TrackFormat::kUnknown;
    if (data[first] == '<') return TrackFormat::kGpx;
    if (data[first] == '{') return TrackFormat::kGeoJson;
    if (data[first] == '$' || data.find("\n$") != std::string::npos) return TrackFormat::kNmea;
    return TrackFormat::kUnknown;
}

double Radians(double degrees) { return degrees * kPi / 180.0; }

// The position at t between a and b (a.time < t < b.time).
Fix Interpolate(const TrackPoint& a, const TrackPoint& b, double t) {
    double f = (t - a.time) / (b.time - a.time);
    double dLon = b.lon - a.lon;
    if (dLon > 180.0) dLon -= 360.0;
    if (dLon < -180.0) dLon += 360.0;
    double lon = a.lon + f * dLon;
    if (lon > 180.0) lon -= 360.0;
    if (lon < -180.0) lon += 360.0;
    Fix fix;
    fix.lat = a.lat + f * (b.lat - a.lat);
    fix.lon = lon;
    fix.hasEle = a.hasEle && b.hasEle;
    fix.ele = fix.hasEle ? a.ele + f * (b.ele - a.ele) : 0.0;
    fix.gap = std::min(t - a.time, b.time - t);
    return fix;
}

Fix AtPoint(const TrackPoint& p, double t) {
    return {p.lat, p.lon, p.hasEle, p.hasEle ? p.ele : 0.0, std::fabs(t - p.time)};
}

// The best position one segment offers for t, whatever its gap.
Fix FromSegment(const std::vector<TrackPoint>& points, double t, double maxDistance) {
    if (t <= points.front().time) return AtPoint(points.front(), t);
    if (t >= points.back().time) return AtPoint(points.back(), t);
    auto after = std::lower_bound(points.begin(), points.end(), t,
                                  [](const TrackPoint& p, double v) { return p.time < v; });
    const TrackPoint& b = *after;
    const TrackPoint& a = *(after - 1);
    if (b.time == t) return AtPoint(b, t);
    bool jump = maxDistance > 0.0 && DistanceMetres(a.lat, a.lon, b.lat, b.lon) > maxDistance;
    if (jump) return t - a.time <= b.time - t ? AtPoint(a, t) : AtPoint(b, t);
    return Interpolate(a, b, t);
}

}  // namespace

double DistanceMetres(double lat1, double lon1, double lat2, double lon2) {
    double dLat = Radians(lat2 - lat1);
    double dLon = Radians(lon2 - lon1);
    double h = std::sin(dLat / 2) * std::sin(dLat / 2) +
               std::cos(Radians(lat1)) * std::cos(Radians(lat2)) * std::sin(dLon / 2) * std::sin(dLon / 2);
    return 2.0 * kEarthRadiusMetres * std::asin(std::sqrt(std::min(1.0, h)));
}

bool Track::AddFile(const std::string& path, std::string& cause) {
    std::vector<unsigned char> bytes;
    if (!ReadWholeFile(path, bytes)) {
        cause = "cannot read: " + ErrnoText(errno);
        return false;
    }
    const std::string data(bytes.begin(), bytes.end());
    SegmentList segments;
    switch (FormatOf(data)) {
        case TrackFormat::kGpx:
            if (!ReadGpx(data, segments, cause)) return false;
            if (segments.empty()) {
                cause = "has no track, route or waypoint with a time";
                return false;
            }
            break;
        case TrackFormat::kNmea:
            if (!ReadNmea(data, segments, cause)) return false;
            break;
        case TrackFormat::kGeoJson:
            if (!ReadGeoJson(data, segments, cause)) return false;
            break;
        case TrackFormat::kUnknown:
            cause = "not a track: neither GPX, an NMEA log nor GeoJSON";
            return false;
    }
    for (std::vector<TrackPoint>& segment : segments) AddSegment(std::move(segment));
    return true;
}

void Track::AddSegment(std::vector<TrackPoint> points) {
    if (points.empty()) return;
    SortByTime(points);
    m_segments.push_back(std::move(points));
}

double Track::Begin() const {
    double t = m_segments.front().front().time;
    for (const auto& segment : m_segments) t = std::min(t, segment.front().time);
    return t;
}

double Track::End() const {
    double t = m_segments.front().back().time;
    for (const auto& segment : m_segments) t = std::max(t, segment.back().time);
    return t;
}

FixOutcome Track::Locate(double t, const TrackLimits& limits, Fix& fix) const {
    if (Empty() || t < Begin() || t > End()) return FixOutcome::kOutside;
    bool found = false;
    for (const auto& segment : m_segments) {
        Fix candidate = FromSegment(segment, t, limits.maxDistance);
        if (candidate.gap <= limits.maxGap && (!found || candidate.gap < fix.gap)) {
            fix = candidate;
            found = true;
        }
    }
    return found ? FixOutcome::kFound : FixOutcome::kTooFar;
}

}  // namespace cli
