// The track formats other than GPX that Track::AddFile accepts: NMEA 0183 logs as GPS receivers
// write them, and GeoJSON lines with a time per point. Both are turned into the same timed
// segments as a GPX file (see gpx.h).
#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "cli.h"
#include "dates.h"
#include "gpx.h"

namespace cli {

namespace {

constexpr int kMinutesPerDegree = 60;
constexpr int kCenturyPivot = 80;  // two-digit NMEA years below this are 20xx, else 19xx
constexpr double kSecondsPerDay = 86400.0;

// --- NMEA 0183 ------------------------------------------------------------------------------

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// The comma-separated fields of a sentence "$TTSSS,...*HH" whose checksum (the XOR of the bytes
// between '$' and '*') matches; empty for anything else. Field 0 is the address "TTSSS".
std::vector<std::string> SentenceFields(const std::string& line) {
    std::size_t start = line.find('$');
    std::size_t star = line.find('*', start == std::string::npos ? 0 : start);
    if (start == std::string::npos || star == std::string::npos || star + 3 > line.size()) return {};
    int high = HexDigit(line[star + 1]), low = HexDigit(line[star + 2]);
    unsigned sum = 0;
    for (std::size_t i = start + 1; i < star; ++i) sum ^= static_cast<unsigned char>(line[i]);
    if (high < 0 || low < 0 || sum != static_cast<unsigned>(high * 16 + low)) return {};
    std::vector<std::string> fields(1);
    for (std::size_t i = start + 1; i < star; ++i) {
        if (line[i] == ',') {
            fields.emplace_back();
        } else {
            fields.back() += line[i];
        }
    }
    return fields;
}

bool Number(const std::string& text, double& value) {
    if (text.empty()) return false;
    char* end = nullptr;
    value = std::strtod(text.c_str(), &end);
    return *end == '\0' && std::isfinite(value);
}

// "ddmm.mmmm" (latitude) or "dddmm.mmmm" (longitude) with its hemisphere letter, as degrees.
bool Coordinate(const std::string& text, const std::string& hemisphere, char negative,
                double limit, double& degrees) {
    double raw = 0.0;
    if (!Number(text, raw) || raw < 0.0 || hemisphere.size() != 1) return false;
    double whole = std::floor(raw / 100.0);
    double minutes = raw - whole * 100.0;
    if (minutes >= kMinutesPerDegree) return false;
    degrees = whole + minutes / kMinutesPerDegree;
    if (hemisphere[0] == negative) degrees = -degrees;
    return std::fabs(degrees) <= limit;
}

// "hhmmss[.sss]" as seconds into the day.
bool TimeOfDay(const std::string& text, double& seconds) {
    double raw = 0.0;
    if (text.size() < 6 || !Number(text, raw) || raw < 0.0) return false;
    int whole = static_cast<int>(raw);
    int h = whole / 10000, m = whole / 100 % 100;
    double s = raw - (whole / 100) * 100;
    if (h > 23 || m > 59 || s >= 61.0) return false;
    seconds = h * 3600.0 + m * 60.0 + s;
    return true;
}

// "ddmmyy" as seconds since 1970 UTC at the start of that day.
bool Date(const std::string& text, double& seconds) {
    if (text.size() != 6 || text.find_first_not_of("0123456789") != std::string::npos) return false;
    int d = std::atoi(text.substr(0, 2).c_str()), mo = std::atoi(text.substr(2, 2).c_str());
    int y = std::atoi(text.substr(4, 2).c_str());
    if (d < 1 || d > 31 || mo < 1 || mo > 12) return false;
    y += y < kCenturyPivot ? 2000 : 1900;
    seconds = static_cast<double>(WallClockAsUtc(y, mo, d, 0, 0, 0));
    return true;
}

}  // namespace

bool ReadNmea(const std::string& text, SegmentList& segments, std::string& cause) {
    // RMC gives date, time and position when its status is A (valid); GGA the altitude of the
    // fix of the same time of day when its quality is not 0. The two come in either order.
    std::vector<TrackPoint> points;
    double ggaTime = -1.0, ggaAlt = 0.0;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = text.find('\n', pos);
        if (end == std::string::npos) end = text.size();
        std::vector<std::string> f = SentenceFields(text.substr(pos, end - pos));
        pos = end + 1;
        if (f.empty() || f[0].size() != 5) continue;
        std::string type = f[0].substr(2);
        double tod = 0.0;
        if (type == "RMC" && f.size() >= 10) {
            TrackPoint p{};
            double day = 0.0;
            if (f[2] != "A" || !TimeOfDay(f[1], tod) || !Date(f[9], day) ||
                !Coordinate(f[3], f[4], 'S', 90.0, p.lat) ||
                !Coordinate(f[5], f[6], 'W', 180.0, p.lon)) {
                continue;
            }
            p.time = day + tod;
            if (ggaTime == tod) {
                p.hasEle = true;
                p.ele = ggaAlt;
            }
            points.push_back(p);
        } else if (type == "GGA" && f.size() >= 10) {
            double alt = 0.0;
            if (f[6].empty() || f[6] == "0" || !TimeOfDay(f[1], tod) || !Number(f[9], alt)) {
                continue;
            }
            ggaTime = tod;
            ggaAlt = alt;
            if (!points.empty() && std::fmod(points.back().time, kSecondsPerDay) == tod) {
                points.back().hasEle = true;
                points.back().ele = alt;
            }
        }
    }
    if (points.empty()) {
        cause = "has no valid $GPRMC fix (NMEA log)";
        return false;
    }
    segments.push_back(std::move(points));
    return true;
}

namespace {

// --- GeoJSON --------------------------------------------------------------------------------

// The times of a feature's coordinates: properties.coordTimes, else
// properties.coordinateProperties.times (each an array, or an array of arrays for a
// MultiLineString); null when neither is there.
const Json* CoordinateTimes(const Json& feature) {
    const Json* properties = feature.contains("properties") ? &feature["properties"] : nullptr;
    if (!properties || !properties->is_object()) return nullptr;
    if (properties->contains("coordTimes")) return &(*properties)["coordTimes"];
    if (properties->contains("coordinateProperties") &&
        (*properties)["coordinateProperties"].is_object() &&
        (*properties)["coordinateProperties"].contains("times")) {
        return &(*properties)["coordinateProperties"]["times"];
    }
    return nullptr;
}

// One line's [lon, lat(, ele)] positions with their times as a segment.
bool Line(const Json& coordinates, const Json& times, std::vector<TrackPoint>& segment,
          std::string& cause) {
    if (!coordinates.is_array() || !times.is_array() || coordinates.size() != times.size()) {
        cause = "a line whose times do not match its coordinates one to one";
        return false;
    }
    for (std::size_t i = 0; i < coordinates.size(); ++i) {
        const Json& c = coordinates[i];
        TrackPoint p{};
        if (!c.is_array() || c.size() < 2 || !c[0].is_number() || !c[1].is_number()) {
            cause = "a position that is not [longitude, latitude]";
            return false;
        }
        p.lon = c[0].get<double>();
        p.lat = c[1].get<double>();
        if (std::fabs(p.lat) > 90.0 || std::fabs(p.lon) > 180.0) {
            cause = "a position outside -180..180, -90..90";
            return false;
        }
        p.hasEle = c.size() > 2 && c[2].is_number();
        p.ele = p.hasEle ? c[2].get<double>() : 0.0;
        if (!times[i].is_string() || !ParseIsoDateTime(times[i].get<std::string>(), p.time)) {
            cause = "a malformed time " + times[i].dump();
            return false;
        }
        segment.push_back(p);
    }
    return true;
}

bool Feature(const Json& feature, SegmentList& segments, std::string& cause) {
    const Json* times = CoordinateTimes(feature);
    if (!feature.contains("geometry") || !feature["geometry"].is_object() || !times) return true;
    const Json& geometry = feature["geometry"];
    const std::string type = geometry.value("type", "");
    const Json coordinates = geometry.value("coordinates", Json());
    if (type == "LineString") {
        std::vector<TrackPoint> segment;
        if (!Line(coordinates, *times, segment, cause)) return false;
        segments.push_back(std::move(segment));
    } else if (type == "MultiLineString") {
        if (!coordinates.is_array() || !times->is_array() || coordinates.size() != times->size()) {
            cause = "a MultiLineString whose times do not match its lines";
            return false;
        }
        for (std::size_t i = 0; i < coordinates.size(); ++i) {
            std::vector<TrackPoint> segment;
            if (!Line(coordinates[i], (*times)[i], segment, cause)) return false;
            segments.push_back(std::move(segment));
        }
    }
    return true;
}

}  // namespace

bool ReadGeoJson(const std::string& text, SegmentList& segments, std::string& cause) {
    Json doc = Json::parse(text, nullptr, false);
    if (doc.is_discarded() || !doc.is_object()) {
        cause = "not a JSON object (GeoJSON)";
        return false;
    }
    const std::string type = doc.value("type", "");
    if (type == "FeatureCollection") {
        if (!doc.contains("features") || !doc["features"].is_array()) {
            cause = "a FeatureCollection without a features array";
            return false;
        }
        for (const Json& feature : doc["features"]) {
            if (feature.is_object() && !Feature(feature, segments, cause)) return false;
        }
    } else if (type == "Feature") {
        if (!Feature(doc, segments, cause)) return false;
    }
    for (auto it = segments.begin(); it != segments.end();) {
        it = it->empty() ? segments.erase(it) : it + 1;
    }
    if (segments.empty()) {
        cause = "has no LineString or MultiLineString with coordTimes or coordinateProperties.times (GeoJSON)";
        return false;
    }
    return true;
}

}  // namespace cli
