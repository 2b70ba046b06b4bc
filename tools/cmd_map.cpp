// "photogeo map": one self-contained HTML page that shows the photos where they were taken and
// the tracks they were tagged from, on OpenStreetMap tiles drawn by Leaflet. Leaflet's script
// and style sheet are built into the program (cmake/EmbedFiles.cmake) and inlined into the page,
// so the page opens anywhere and needs the network only for the tiles.
//
// Every text taken from the photos or the command line (file names, times) reaches the page only
// inside one JSON value in the page's script, with '<', '>' and '&' escaped; the script puts
// them into the document as text nodes, never as markup.
#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "cli.h"
#include "commands.h"
#include "dates.h"
#include "gpx.h"
#include "photo_gps.h"

namespace cli {

extern const unsigned char kLeafletJs[];
extern const std::size_t kLeafletJsSize;
extern const unsigned char kLeafletCss[];
extern const std::size_t kLeafletCssSize;

namespace {

const char kUsage[] = "Usage: photogeo map PHOTO... [-r] -o OUT.html [--gpx TRACK]...\n";
const char kIntro[] =
    "Writes one HTML page that shows the photos that record a position as markers on an\n"
    "OpenStreetMap map, and the given tracks as lines. A photo's marker is an arrow when the\n"
    "photo records the direction it looks to, else a dot; clicking it shows the photo's EXIF\n"
    "thumbnail, name and time. The page holds everything it needs except the map tiles.\n";
const char kFooter[] =
    "A TRACK is a GPX file, an NMEA log or GeoJSON, as for geotag --gpx. Photos without a\n"
    "position are reported and left out.\n"
    "\n"
    "Exit status 1 when a photo or track cannot be read or OUT cannot be written.\n"
    "Example: photogeo map day1/*.jpg --gpx day1.gpx -o day1.html\n";

struct Options {
    std::vector<std::string> files, tracks;
    std::string out;
    bool recursive = false;
};

std::string Base64(const std::vector<unsigned char>& bytes) {
    static const char kDigits[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    for (std::size_t i = 0; i < bytes.size(); i += 3) {
        unsigned long v = static_cast<unsigned long>(bytes[i]) << 16;
        if (i + 1 < bytes.size()) v |= static_cast<unsigned long>(bytes[i + 1]) << 8;
        if (i + 2 < bytes.size()) v |= bytes[i + 2];
        out += kDigits[(v >> 18) & 63];
        out += kDigits[(v >> 12) & 63];
        out += i + 1 < bytes.size() ? kDigits[(v >> 6) & 63] : '=';
        out += i + 2 < bytes.size() ? kDigits[v & 63] : '=';
    }
    return out;
}

std::string BaseName(const std::string& path) {
    std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// A JSON value that may stand inside a <script> element: ASCII only (so no line separator
// U+2028 either), and no '<', '>' or '&' that could end the element or start markup.
std::string ScriptJson(const Json& value) {
    std::string json = value.dump(-1, ' ', true, Json::error_handler_t::replace);
    std::string out;
    out.reserve(json.size());
    for (char c : json) {
        switch (c) {
            case '<': out += "\\u003c"; break;
            case '>': out += "\\u003e"; break;
            case '&': out += "\\u0026"; break;
            default: out += c;
        }
    }
    return out;
}

Json PageData(const std::vector<PlacedPhoto>& photos, const std::vector<Track>& tracks,
              const std::vector<std::string>& trackFiles) {
    Json items = Json::array();
    for (const PlacedPhoto& p : photos) {
        Json item = {{"name", BaseName(p.file)}, {"lat", p.gps.lat}, {"lon", p.gps.lon}};
        if (p.gps.time) item["time"] = IsoUtc(*p.gps.time);
        if (p.gps.alt) item["alt"] = *p.gps.alt;
        if (p.gps.direction) {
            item["bearing"] = *p.gps.direction;
            item["magnetic"] = p.gps.magneticNorth;
        }
        if (!p.thumbnail.empty()) item["thumb"] = "data:image/jpeg;base64," + Base64(p.thumbnail);
        items.push_back(item);
    }
    Json lines = Json::array();
    for (std::size_t i = 0; i < tracks.size(); ++i) {
        Json segments = Json::array();
        for (const std::vector<TrackPoint>& segment : tracks[i].Segments()) {
            Json points = Json::array();
            for (const TrackPoint& t : segment) points.push_back({t.lat, t.lon});
            segments.push_back(points);
        }
        lines.push_back({{"name", BaseName(trackFiles[i])}, {"segments", segments}});
    }
    return {{"photos", items}, {"tracks", lines}};
}

// The page's own script: draws the data, fits the view, and lists any script error in the
// page (element pg-errors) so that it is seen without a console.
const char kPageScript[] = R"JS(
(function () {
  var shown = document.getElementById('pg-errors');
  function report(text) {
    shown.hidden = false;
    shown.appendChild(document.createTextNode(text + '\n'));
  }
  window.addEventListener('error', function (e) { report('error: ' + e.message); });
  try {
    var map = L.map('map');
    L.tileLayer('https://tile.openstreetmap.org/{z}/{x}/{y}.png', {
      maxZoom: 19,
      attribution: '&copy; <a href="https://www.openstreetmap.org/copyright">OpenStreetMap</a> contributors'
    }).addTo(map);
    var bounds = L.latLngBounds([]);
    var svg = 'http://www.w3.org/2000/svg';
    function text(parent, tag, value) {
      var e = document.createElement(tag);
      e.textContent = value;
      parent.appendChild(e);
      return e;
    }
    function arrow(bearing) {
      var box = document.createElementNS(svg, 'svg');
      box.setAttribute('viewBox', '-16 -16 32 32');
      box.setAttribute('width', '32');
      box.setAttribute('height', '32');
      var g = document.createElementNS(svg, 'g');
      g.setAttribute('transform', 'rotate(' + Number(bearing) + ')');
      var path = document.createElementNS(svg, 'path');
      path.setAttribute('d', 'M0,-15 L7,3 L0,-1 L-7,3 Z');
      var dot = document.createElementNS(svg, 'circle');
      dot.setAttribute('r', '5');
      g.appendChild(path);
      g.appendChild(dot);
      box.appendChild(g);
      return box;
    }
    function popup(p) {
      var box = document.createElement('div');
      box.className = 'pg-popup';
      if (p.thumb) {
        var img = document.createElement('img');
        img.src = p.thumb;
        img.alt = p.name;
        box.appendChild(img);
      }
      text(box, 'b', p.name);
      if (p.time) text(box, 'div', p.time.replace('T', ' ').replace('Z', ' UTC'));
      var where = p.lat.toFixed(6) + ', ' + p.lon.toFixed(6);
      if (p.alt !== undefined) where += ', ' + p.alt.toFixed(1) + ' m';
      text(box, 'div', where);
      if (p.bearing !== undefined) {
        text(box, 'div', 'looking ' + p.bearing.toFixed(1) + '\u00b0 ' + (p.magnetic ? 'magnetic' : 'true'));
      }
      return box;
    }
    PG_DATA.tracks.forEach(function (t) {
      t.segments.forEach(function (s) {
        var line = L.polyline(s, {className: 'pg-track', color: '#c0392b', weight: 3, opacity: 0.8});
        line.bindTooltip(document.createTextNode(t.name));
        line.addTo(map);
        bounds.extend(line.getBounds());
      });
    });
    PG_DATA.photos.forEach(function (p) {
      var marker;
      if (p.bearing !== undefined) {
        marker = L.marker([p.lat, p.lon], {icon: L.divIcon({
          className: 'pg-photo pg-arrow', html: arrow(p.bearing), iconSize: [32, 32], iconAnchor: [16, 16]})});
      } else {
        marker = L.circleMarker([p.lat, p.lon], {className: 'pg-photo', radius: 7, color: '#fff',
          weight: 2, fillColor: '#1f6fb2', fillOpacity: 1});
      }
      marker.bindPopup(popup(p)).addTo(map);
      bounds.extend([p.lat, p.lon]);
    });
    if (bounds.isValid()) {
      map.fitBounds(bounds, {padding: [40, 40], maxZoom: 17});
    } else {
      map.setView([20, 0], 2);
    }
    document.getElementById('pg-summary').textContent = 'photos: ' + PG_DATA.photos.length +
      ', tracks: ' + PG_DATA.tracks.length;
  } catch (e) {
    report('error: ' + e);
  }
})();
)JS";

const char kPageStyle[] = R"CSS(
html, body, #map { height: 100%; margin: 0; }
#pg-summary { position: absolute; z-index: 1000; left: 50px; top: 10px; padding: 2px 8px;
  background: rgba(255, 255, 255, 0.85); font: 13px sans-serif; border-radius: 4px; }
#pg-errors { position: absolute; z-index: 1001; left: 50px; bottom: 20px; margin: 0;
  padding: 4px 8px; background: #fee; color: #900; font: 12px monospace; }
.pg-arrow svg path { fill: #1f6fb2; stroke: #fff; stroke-width: 1.5; }
.pg-arrow svg circle { fill: #1f6fb2; stroke: #fff; stroke-width: 2; }
.pg-popup img { display: block; max-width: 200px; max-height: 200px; margin-bottom: 4px; }
)CSS";

std::string Page(const Json& data) {
    std::string page =
        "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
        "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
        "<title>photogeo map</title>\n<style>\n";
    page.append(reinterpret_cast<const char*>(kLeafletCss), kLeafletCssSize);
    page += kPageStyle;
    page += "</style>\n<script>\n";
    page.append(reinterpret_cast<const char*>(kLeafletJs), kLeafletJsSize);
    page += "\n</script>\n</head>\n<body>\n<div id=\"map\"></div>\n<div id=\"pg-summary\"></div>\n"
            "<pre id=\"pg-errors\" hidden></pre>\n<script>\nvar PG_DATA = ";
    page += ScriptJson(data);
    page += ";\n";
    page += kPageScript;
    page += "</script>\n</body>\n</html>\n";
    return page;
}

int Run(const Options& o) {
    int status = kExitOk;
    std::vector<Track> tracks;
    std::vector<std::string> trackFiles;
    for (const std::string& file : o.tracks) {
        Track track;
        std::string cause;
        if (!track.AddFile(file, cause)) {
            ReportFileError(file, cause);
            status = kExitFileFailed;
            continue;
        }
        tracks.push_back(std::move(track));
        trackFiles.push_back(file);
    }
    std::vector<PlacedPhoto> photos;
    if (ReadPlacedPhotos(o.files, o.recursive, true, photos) != kExitOk) status = kExitFileFailed;
    std::string page = Page(PageData(photos, tracks, trackFiles));
    if (int written = WriteStatus(WriteOutput(o.out, {{page.data(), page.size()}}))) return written;
    return status;
}

std::function<int()> Setup(CLI::App& app) {
    SetHelp(app, kUsage, kIntro, kFooter);
    auto o = std::make_shared<Options>();
    AddPhotoArguments(app, "PHOTO", o->files, o->recursive);
    app.add_option("-o,--out", o->out, "the page to write, or - for standard output")
        ->required()
        ->option_text("OUT.html");
    app.add_option("--gpx", o->tracks, "a track to draw: GPX, NMEA log or GeoJSON (repeatable)")
        ->allow_extra_args(false)
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll)
        ->option_text("TRACK");
    return [o] { return Run(*o); };
}

}  // namespace

const Command kMapCommand = {"map", "write an HTML map of photos and tracks", Setup};

}  // namespace cli
