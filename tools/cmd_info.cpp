// "photogeo info": the command line of the EXIF listing; info_listing.cpp reads and prints
// each photo.
#include <memory>
#include <string>
#include <vector>

#include "cli.h"
#include "commands.h"
#include "info_listing.h"

namespace cli {

namespace {

const char kUsage[] = "Usage: photogeo info [--quick] [--all] [--json | --sjis] FILE|-...\n";
const char kIntro[] =
    "Lists the EXIF items of each JPEG photo: title, camera, dates, position, altitude,\n"
    "map datum, bearing, GPS, image and camera items, as labelled Japanese text.\n";
const char kFooter[] =
    "FILE - reads the photo from standard input. Dates are listed as recorded, whatever TZ\n"
    "says; a value stored in a form that cannot be read is listed as (unreadable) in the\n"
    "text and null in the JSON, whose keys docs/json-schema.json (installed in\n"
    "share/doc/photogeo) describes.\n"
    "A file without EXIF is listed as such and is not an error. Exit status: 0 every file\n"
    "listed; 1 a file cannot be read or is not a JPEG file (the others are still listed), or\n"
    "the output cannot be written; 2 wrong usage.\n"
    "Example: photogeo info --json samples/*.jpg\n";

struct Options : InfoOptions {
    std::vector<std::string> files;
};

int Run(const Options& o) {
    int status = kExitOk;
    Progress progress(o.files.size());
    bool first = true;
    for (const std::string& file : o.files) {
        progress.Step(file);
        std::string cause;
        if (!ListPhoto(file, o, first, cause)) {
            progress.Clear();
            ReportFileError(file, cause);
            status = kExitFileFailed;
            continue;
        }
        first = false;
    }
    return status;
}

std::function<int()> Setup(CLI::App& app) {
    SetHelp(app, kUsage, kIntro, kFooter);
    auto o = std::make_shared<Options>();
    app.add_option("FILE", o->files, "JPEG photos, - for standard input")->required();
    app.add_flag("--quick", o->quick,
                 "quick read: only title, shooting time, comment and GPS position items (text)");
    app.add_flag("--all", o->all, "also list the basic items that are absent, as -");
    CLI::Option* json = app.add_flag(
        "--json", o->json,
        "one JSON object per file and line (always from the full read): the listed texts "
        "under stable English keys, and the raw values: latitude, longitude (degrees, south "
        "and west negative), altitude (metres), direction and direction_ref (\"T\" or \"M\"), "
        "declination, dates as recorded (an offset only when the photo records one), "
        "gps_time (UTC), exposure_time (s), f_number, iso, focal_length (mm), orientation, "
        "flash, width and height (pixels); absent or unreadable values are null");
    app.add_flag("--sjis", o->sjis,
                 "print the library's Shift-JIS texts as they are (default: UTF-8)")
        ->excludes(json);
    return [o] { return Run(*o); };
}

}  // namespace

const Command kInfoCommand = {"info", "list the EXIF items of photos (text or JSON)", Setup};

}  // namespace cli
