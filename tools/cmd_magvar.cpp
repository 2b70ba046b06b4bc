// "photogeo magvar": the magnetic declination at a place and time, by the IGRF-14 model
// (photogeo/GeomagneticField.h) or, with --model legacy, by the library's GetMagVar.
#include <photogeo/GeomagneticField.h>
#include <photogeo/MagVar.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <memory>
#include <string>

#include "cli.h"
#include "commands.h"
#include "dates.h"
#include "shot_time.h"

namespace cli {

namespace {

constexpr int kSchemaVersion = 1;  // docs/json-schema.json

const char kUsage[] =
    "Usage: photogeo magvar LAT LON [--height M] [--date YYYY-MM-DD[THH:MM:SSZ]]\n"
    "                       [--model igrf14|legacy] [--json]\n";
const char kIntro[] =
    "Prints the magnetic declination (variation) at a place and time in degrees, east\n"
    "positive, west negative. A bearing against magnetic north plus the declination is the\n"
    "bearing against true north.\n";
const char kFooter[] =
    "Models:\n"
    "  igrf14  (default) the International Geomagnetic Reference Field, 14th generation:\n"
    "          1900-01-01 to 2030-01-01 UTC, geodetic position on WGS-84; also prints the\n"
    "          yearly change, inclination and intensities. Times outside are refused.\n"
    "  legacy  the library's GetMagVar: inside latitude 22 to 46 N and longitude 122 to\n"
    "          149 E a regional approximation that ignores height and date; elsewhere IGRF\n"
    "          1990 (until 1999) or 2000 (from then on). Only the day counts, 1970-01-01 to\n"
    "          2038-01-19. Off by about a degree for recent dates.\n"
    "\n"
    "Example: photogeo magvar 51.5 -0.13 --date 2026-12-01\n";

struct Options {
    double lat = 0.0, lon = 0.0, height = 0.0;
    std::string date;
    std::string model = "igrf14";
    bool json = false;
};

// The instant of --date (UTC; a day alone is its first second), or now.
int64_t Instant(const std::string& date) {
    if (date.empty()) return static_cast<int64_t>(std::time(nullptr));
    if (date.size() == 10) return ParseIsoDay(date, "--date");
    double seconds = 0.0;
    if (date.size() != 20 || date[10] != 'T' || date[19] != 'Z' ||
        !ParseIsoDateTime(date, seconds)) {
        throw UsageError("--date must be YYYY-MM-DD or YYYY-MM-DDTHH:MM:SSZ, not '" + date + "'");
    }
    return static_cast<int64_t>(seconds);
}

int Run(const Options& o) {
    const bool legacy = o.model == "legacy";
    int64_t when = Instant(o.date);
    const photogeo::UtcDateTime utc = UtcFromSeconds(when);
    const photogeo::DecimalYearResult year = photogeo::DecimalYear(utc);
    photogeo::GeomagneticResult field;
    double declination = 0.0;
    if (legacy) {
        if (when < 0 || when > INT32_MAX) {
            throw UsageError("--date must lie in 1970-01-01..2038-01-19 for the legacy model");
        }
        declination = GetMagVar(o.lat, o.lon, o.height, static_cast<long>(when));
    } else {
        field = photogeo::Igrf14Field(o.lat, o.lon, o.height, utc);
        if (!field) throw UsageError(photogeo::GeomagneticStatusText(field.status));
        declination = field.field.declination;
    }
    if (o.json) {
        const Json null = nullptr;
        Json j;
        j["schema_version"] = kSchemaVersion;
        j["command"] = "magvar";
        j["declination"] = declination;
        j["inclination"] = legacy ? null : Json(field.field.inclination);
        j["total_intensity"] = legacy ? null : Json(field.field.totalIntensity);
        j["horizontal_intensity"] = legacy ? null : Json(field.field.horizontalIntensity);
        j["declination_change_per_year"] =
            legacy ? null : Json(field.field.declinationChangePerYear);
        j["model"] = o.model;
        j["latitude"] = o.lat;
        j["longitude"] = o.lon;
        j["height"] = o.height;
        j["time"] = IsoUtc(static_cast<double>(when));
        j["decimal_year"] = year.year;
        PrintJsonLine(j);
        return kExitOk;
    }
    std::printf("%+.4f (%.4f %s)\n", declination, std::fabs(declination),
                declination < 0 ? "W" : "E");
    if (legacy) {
        std::printf("  model        legacy (GetMagVar) on %s\n",
                    IsoUtc(static_cast<double>(when)).substr(0, 10).c_str());
        return kExitOk;
    }
    const photogeo::GeomagneticField& f = field.field;
    std::printf("  change       %+.4f degrees a year\n", f.declinationChangePerYear);
    std::printf("  inclination  %+.4f degrees (down positive)\n", f.inclination);
    std::printf("  intensity    %.1f nT total, %.1f nT horizontal\n", f.totalIntensity,
                f.horizontalIntensity);
    std::printf("  model        IGRF-14 at %s (%.4f)\n", IsoUtc(static_cast<double>(when)).c_str(),
                year.year);
    return kExitOk;
}

std::function<int()> Setup(CLI::App& app) {
    SetHelp(app, kUsage, kIntro, kFooter);
    auto o = std::make_shared<Options>();
    app.add_option("LAT", o->lat, "latitude in degrees, south negative")
        ->required()
        ->check(Range(-90.0, 90.0));
    app.add_option("LON", o->lon, "longitude in degrees, west negative")->required()->check(Range());
    app.add_option("--height", o->height, "height above the WGS-84 ellipsoid in metres (default 0)")
        ->check(Range(-1e6, 1e8))
        ->option_text("M");
    app.add_option("--date", o->date,
                   "the moment in UTC, YYYY-MM-DD (its first second) or YYYY-MM-DDTHH:MM:SSZ "
                   "(default: now)")
        ->option_text("DATE");
    app.add_option("--model", o->model, "igrf14 (default) or legacy, see below")
        ->check(CLI::IsMember({"igrf14", "legacy"}))
        ->option_text("MODEL");
    app.add_flag("--json", o->json, "print one JSON object (docs/json-schema.json)");
    return [o] { return Run(*o); };
}

}  // namespace

const Command kMagvarCommand = {"magvar", "magnetic declination at a place and time", Setup};

}  // namespace cli
