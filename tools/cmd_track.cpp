// "photogeo track": the positions recorded in photos, in time order, written as one GPX track,
// a KML document, a GeoJSON feature collection or a CSV table, for mapping programs or for
// tagging other photos with "photogeo geotag --gpx".
#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "cli.h"
#include "commands.h"
#include "dates.h"
#include "photo_gps.h"

namespace cli {

namespace {

const char kUsage[] = "Usage: photogeo track PHOTO... [-r] -o OUT [--format gpx|kml|geojson|csv]\n";
const char kIntro[] =
    "Writes the positions recorded in the photos, in the order they were taken, to OUT: a GPX\n"
    "track (a point per photo with its name, time, elevation and a link to the file), a KML\n"
    "document (a placemark per photo and the path between them), a GeoJSON feature\n"
    "collection (a point per photo and the path with its times) or a CSV table.\n";
const char kFooter[] =
    "A photo's time is its GPS date and time stamp, else DateTimeOriginal with\n"
    "OffsetTimeOriginal, else DateTimeOriginal as local time under TZ. Photos without a time\n"
    "come last, in the order given. Photos without a position are reported and left out.\n"
    "The format is --format, else OUT's extension (.gpx, .kml, .geojson or .json, .csv).\n"
    "\n"
    "Exit status 1 when a photo cannot be read or OUT cannot be written.\n"
    "Example: photogeo track day1/*.jpg -o day1.gpx\n";

struct Options {
    std::vector<std::string> files;
    std::string out, format;
    bool recursive = false;
};

using Placed = PlacedPhoto;

std::string BaseName(const std::string& path) {
    std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string XmlEscaped(const std::string& text) {
    std::string out;
    for (char c : text) {
        switch (c) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += "&quot;"; break;
            case '\'': out += "&apos;"; break;
            default: out += c;
        }
    }
    return out;
}

// A path as a relative URI reference: bytes other than unreserved characters and '/' escaped.
std::string UriPath(const std::string& path) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : path) {
        if (std::isalnum(c) || c == '-' || c == '.' || c == '_' || c == '~' || c == '/') {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 0xF];
        }
    }
    return out;
}

std::string CsvField(const std::string& text) {
    if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
    std::string out = "\"";
    for (char c : text) out += c == '"' ? std::string("\"\"") : std::string(1, c);
    return out + "\"";
}

std::string Number(const char* format, double value) {
    char text[64];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

// Degrees to 1e-8 (about a millimetre), metres to the millimetre.
std::string Degrees(double value) { return Number("%.8f", value); }
std::string Metres(double value) { return Number("%.3f", value); }

std::string Gpx(const std::vector<Placed>& photos) {
    std::string out =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<gpx version=\"1.1\" creator=\"photogeo\" xmlns=\"http://www.topografix.com/GPX/1/1\">\n"
        " <trk>\n  <name>photos</name>\n  <trkseg>\n";
    for (const Placed& p : photos) {
        out += "   <trkpt lat=\"" + Degrees(p.gps.lat) + "\" lon=\"" + Degrees(p.gps.lon) + "\">";
        if (p.gps.alt) out += "<ele>" + Metres(*p.gps.alt) + "</ele>";
        if (p.gps.time) out += "<time>" + IsoUtc(*p.gps.time) + "</time>";
        out += "<name>" + XmlEscaped(BaseName(p.file)) + "</name>";
        out += "<link href=\"" + XmlEscaped(UriPath(p.file)) + "\"/></trkpt>\n";
    }
    return out + "  </trkseg>\n </trk>\n</gpx>\n";
}

std::string KmlCoordinates(const PhotoGps& g) {
    return Degrees(g.lon) + "," + Degrees(g.lat) + (g.alt ? "," + Metres(*g.alt) : "");
}

std::string Kml(const std::vector<Placed>& photos) {
    std::string out =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<kml xmlns=\"http://www.opengis.net/kml/2.2\">\n<Document>\n <name>photos</name>\n";
    std::string path;
    for (const Placed& p : photos) {
        out += " <Placemark><name>" + XmlEscaped(BaseName(p.file)) + "</name>";
        if (p.gps.time) out += "<TimeStamp><when>" + IsoUtc(*p.gps.time) + "</when></TimeStamp>";
        out += "<Point><coordinates>" + KmlCoordinates(p.gps) + "</coordinates></Point></Placemark>\n";
        path += (path.empty() ? "" : " ") + KmlCoordinates(p.gps);
    }
    if (photos.size() > 1) {
        out += " <Placemark><name>path</name><LineString><coordinates>" + path +
               "</coordinates></LineString></Placemark>\n";
    }
    return out + "</Document>\n</kml>\n";
}

std::string GeoJson(const std::vector<Placed>& photos) {
    Json features = Json::array();
    for (const Placed& p : photos) {
        Json coordinates = {p.gps.lon, p.gps.lat};
        if (p.gps.alt) coordinates.push_back(*p.gps.alt);
        Json properties = {{"name", BaseName(p.file)}, {"file", p.file}};
        properties["time"] = p.gps.time ? Json(IsoUtc(*p.gps.time)) : Json(nullptr);
        features.push_back({{"type", "Feature"},
                            {"geometry", {{"type", "Point"}, {"coordinates", coordinates}}},
                            {"properties", properties}});
    }
    // The timed photos also as one line with its times, the form geotag --gpx reads back.
    Json line = Json::array(), times = Json::array();
    for (const Placed& p : photos) {
        if (!p.gps.time) continue;
        line.push_back(p.gps.alt ? Json{p.gps.lon, p.gps.lat, *p.gps.alt} : Json{p.gps.lon, p.gps.lat});
        times.push_back(IsoUtc(*p.gps.time));
    }
    if (line.size() > 1) {
        features.push_back({{"type", "Feature"},
                            {"geometry", {{"type", "LineString"}, {"coordinates", line}}},
                            {"properties", {{"name", "path"}, {"coordTimes", times}}}});
    }
    Json collection = {{"type", "FeatureCollection"}, {"features", features}};
    return collection.dump(1, ' ', false, Json::error_handler_t::replace) + "\n";
}

std::string Csv(const std::vector<Placed>& photos) {
    std::string out = "file,time,latitude,longitude,altitude\n";
    for (const Placed& p : photos) {
        out += CsvField(p.file) + "," + (p.gps.time ? IsoUtc(*p.gps.time) : "") + "," +
               Degrees(p.gps.lat) + "," + Degrees(p.gps.lon) + "," +
               (p.gps.alt ? Metres(*p.gps.alt) : "") + "\n";
    }
    return out;
}

std::string FormatOf(const Options& o) {
    if (!o.format.empty()) return o.format;
    if (o.out == "-") throw UsageError("-o - needs --format");
    std::size_t dot = o.out.find_last_of('.');
    std::string ext = dot == std::string::npos ? "" : o.out.substr(dot + 1);
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
    if (ext == "json") ext = "geojson";
    if (ext != "gpx" && ext != "kml" && ext != "geojson" && ext != "csv") {
        throw UsageError("cannot tell the format from '" + o.out + "': give --format");
    }
    return ext;
}

int Run(const Options& o) {
    const std::string format = FormatOf(o);
    std::vector<Placed> photos;
    int status = ReadPlacedPhotos(o.files, o.recursive, false, photos);
    std::string text = format == "gpx" ? Gpx(photos)
                       : format == "kml" ? Kml(photos)
                       : format == "geojson" ? GeoJson(photos)
                                             : Csv(photos);
    if (int written = WriteStatus(WriteOutput(o.out, {{text.data(), text.size()}}))) return written;
    return status;
}

std::function<int()> Setup(CLI::App& app) {
    SetHelp(app, kUsage, kIntro, kFooter);
    auto o = std::make_shared<Options>();
    AddPhotoArguments(app, "PHOTO", o->files, o->recursive);
    app.add_option("-o,--out", o->out, "the file to write, or - for standard output")
        ->required()
        ->option_text("OUT");
    app.add_option("--format", o->format, "gpx, kml, geojson or csv (default: OUT's extension)")
        ->check(CLI::IsMember({"gpx", "kml", "geojson", "csv"}))
        ->option_text("FORMAT");
    return [o] { return Run(*o); };
}

}  // namespace

const Command kTrackCommand = {"track", "export the positions of photos as GPX, KML, GeoJSON or CSV",
                               Setup};

}  // namespace cli
