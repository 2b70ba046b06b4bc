// "photogeo magvar": the magnetic variation (declination) at a place and date, straight from the
// library's GetMagVar.
#include <photogeo/MagVar.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <memory>

#include "cli.h"
#include "commands.h"
#include "dates.h"

namespace cli {

namespace {

const char kUsage[] = "Usage: photogeo magvar LAT LON [--height M] [--date YYYY-MM-DD]\n";
const char kIntro[] =
    "Prints the magnetic variation (declination) at a place and date in degrees, east\n"
    "positive, west negative. A bearing against magnetic north plus the variation is the\n"
    "bearing against true north.\n";
const char kFooter[] =
    "Inside latitude 22 to 46 N and longitude 122 to 149 E a regional approximation is used\n"
    "that does not depend on height or date; elsewhere the IGRF model (1990 coefficients\n"
    "until 1999, 2000 coefficients from then on).\n"
    "\n"
    "Example: photogeo magvar 35.6586 139.7454 --date 2008-02-28\n";

struct Options {
    double lat = 0.0, lon = 0.0, height = 0.0;
    std::string date;
};

int Run(const Options& o) {
    int64_t when = static_cast<int64_t>(std::time(nullptr));
    if (!o.date.empty()) when = ParseIsoDay(o.date, "--date");
    if (when < 0 || when > INT32_MAX) throw UsageError("--date must lie in 1970-01-01..2038-01-19");
    double variation = GetMagVar(o.lat, o.lon, o.height, static_cast<long>(when));
    std::printf("%.4f (%.4f %s)\n", variation, std::fabs(variation), variation < 0 ? "W" : "E");
    return kExitOk;
}

std::function<int()> Setup(CLI::App& app) {
    SetHelp(app, kUsage, kIntro, kFooter);
    auto o = std::make_shared<Options>();
    app.add_option("LAT", o->lat, "latitude in degrees, south negative")
        ->required()
        ->check(Range(-90.0, 90.0));
    app.add_option("LON", o->lon, "longitude in degrees, west negative")->required()->check(Range());
    app.add_option("--height", o->height, "height above the ellipsoid in metres (default 0)")
        ->check(Range())
        ->option_text("M");
    app.add_option("--date", o->date,
                   "the day, YYYY-MM-DD (UTC), from 1970-01-01 to 2038-01-19 (default: today)")
        ->option_text("DATE");
    return [o] { return Run(*o); };
}

}  // namespace

const Command kMagvarCommand = {"magvar", "magnetic variation at a place and date", Setup};

}  // namespace cli
