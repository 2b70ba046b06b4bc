// "photogeo magvar": the magnetic variation (declination) at a place and date, straight from the
// library's GetMagVar.
#include <photogeo/MagVar.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <ctime>

#include "cli.h"
#include "commands.h"
#include "dates.h"

namespace cli {

namespace {

const char kHelp[] =
    "Usage: photogeo magvar LAT LON [--height M] [--date YYYY-MM-DD]\n"
    "\n"
    "Prints the magnetic variation (declination) at a place and date in degrees, east\n"
    "positive, west negative. A bearing against magnetic north plus the variation is the\n"
    "bearing against true north.\n"
    "\n"
    "  LAT, LON        position in degrees, south and west negative\n"
    "  --height M      height above the ellipsoid in metres (default 0)\n"
    "  --date DATE     the day, YYYY-MM-DD (UTC), from 1970-01-01 to 2038-01-19\n"
    "                  (default: today)\n"
    "\n"
    "Inside latitude 22 to 46 N and longitude 122 to 149 E a regional approximation is used\n"
    "that does not depend on height or date; elsewhere the IGRF model (1990 coefficients\n"
    "until 1999, 2000 coefficients from then on).\n"
    "\n"
    "Example: photogeo magvar 35.6586 139.7454 --date 2008-02-28\n";

int Run(const std::vector<std::string>& args) {
    ParsedArgs parsed = ParseArgs(args, {{"height", 0, true}, {"date", 0, true}});
    if (parsed.positional.size() != 2) throw UsageError("needs LAT and LON");
    double lat = ParseDouble(parsed.positional[0], "LAT");
    double lon = ParseDouble(parsed.positional[1], "LON");
    if (lat < -90.0 || lat > 90.0) throw UsageError("LAT must lie between -90 and 90");
    double height = parsed.Has("height") ? ParseDouble(parsed.Get("height"), "--height") : 0.0;
    int64_t when = static_cast<int64_t>(std::time(nullptr));
    if (parsed.Has("date")) when = ParseIsoDay(parsed.Get("date"), "--date");
    if (when < 0 || when > INT32_MAX) throw UsageError("--date must lie in 1970-01-01..2038-01-19");
    double variation = GetMagVar(lat, lon, height, static_cast<long>(when));
    std::printf("%.4f (%.4f %s)\n", variation, std::fabs(variation), variation < 0 ? "W" : "E");
    return kExitOk;
}

}  // namespace

const Command kMagvarCommand = {"magvar", "magnetic variation at a place and date", kHelp, Run};

}  // namespace cli
