// GPX reading and track interpolation of the command-line tool (see gpx.h).
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

// Collects the <trkpt> elements below node, depth first, in document order.
bool Collect(const pugi::xml_node& node, std::vector<TrackPoint>& points, std::string& cause) {
    for (pugi::xml_node child : node.children()) {
        if (child.type() != pugi::node_element) continue;
        if (std::strcmp(LocalName(child), "trkpt") != 0) {
            if (!Collect(child, points, cause)) return false;
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
        points.push_back(point);
    }
    return true;
}

}  // namespace

bool LoadGpx(const std::string& path, std::vector<TrackPoint>& points, std::string& cause) {
    std::vector<unsigned char> data;
    if (!ReadWholeFile(path, data)) {
        cause = "cannot read: " + ErrnoText(errno);
        return false;
    }
    pugi::xml_document doc;
    pugi::xml_parse_result parsed = doc.load_buffer(data.data(), data.size());
    if (!parsed) {
        cause = std::string("not well-formed XML: ") + parsed.description() + " at byte " +
                std::to_string(parsed.offset);
        return false;
    }
    points.clear();
    if (!Collect(doc, points, cause)) return false;
    std::stable_sort(points.begin(), points.end(),
                     [](const TrackPoint& a, const TrackPoint& b) { return a.time < b.time; });
    return true;
}

FixOutcome FindFix(const std::vector<TrackPoint>& points, double t, double maxGap, Fix& fix) {
    if (points.empty() || t < points.front().time || t > points.back().time) {
        return FixOutcome::kOutside;
    }
    auto after = std::lower_bound(points.begin(), points.end(), t,
                                  [](const TrackPoint& p, double v) { return p.time < v; });
    const TrackPoint& b = *after;
    if (b.time == t) {
        fix = {b.lat, b.lon, b.hasEle, b.ele, 0.0};
        return FixOutcome::kFound;
    }
    // t lies strictly inside the track, so a point before it exists.
    const TrackPoint& a = *(after - 1);
    double gap = std::min(t - a.time, b.time - t);
    if (gap > maxGap) return FixOutcome::kTooFar;
    double f = (t - a.time) / (b.time - a.time);
    double dLon = b.lon - a.lon;
    if (dLon > 180.0) dLon -= 360.0;
    if (dLon < -180.0) dLon += 360.0;
    double lon = a.lon + f * dLon;
    if (lon > 180.0) lon -= 360.0;
    if (lon < -180.0) lon += 360.0;
    fix.lat = a.lat + f * (b.lat - a.lat);
    fix.lon = lon;
    fix.hasEle = a.hasEle && b.hasEle;
    fix.ele = fix.hasEle ? a.ele + f * (b.ele - a.ele) : 0.0;
    fix.gap = gap;
    return FixOutcome::kFound;
}

}  // namespace cli
