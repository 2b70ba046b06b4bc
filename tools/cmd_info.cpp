// "photogeo info": reads each photo's EXIF with CExifIfdCoder (full or quick read) and lists
// every item the listing gives, as aligned label/value columns or as one JSON object per file.
#include <photogeo/ExifIfdCoder.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "cli.h"
#include "commands.h"
#include "dates.h"
#include "item_keys.h"
#include "photo.h"

namespace cli {

namespace {

const char kUsage[] = "Usage: photogeo info [--quick] [--all] [--json | --sjis] FILE...\n";
const char kIntro[] =
    "Lists the EXIF items of each JPEG photo: title, camera, dates, position, altitude,\n"
    "map datum, bearing, GPS, image and camera items, as labelled Japanese text.\n";
const char kFooter[] =
    "A file without EXIF is listed as such and is not an error. Exit status 1 when a file\n"
    "cannot be read or is not a JPEG file; the other files are still listed.\n"
    "Example: photogeo info --json samples/*.jpg\n";

// The listing's four groups of item numbers.
const std::pair<int, int> kItemRanges[] = {{0, 13}, {101, 112}, {201, 209}, {301, 326}};

struct Listed {
    int item;
    std::string label;  // Shift-JIS
    std::string value;  // Shift-JIS
};

std::vector<Listed> ListItems(CExifIfdCoder& coder, bool all) {
    std::vector<Listed> listed;
    for (const auto& range : kItemRanges) {
        for (int item = range.first; item <= range.second; ++item) {
            CString name, value;
            if (coder.Listup(item, name, value, all ? 1 : 0)) {
                listed.push_back({item, name.str(), value.str()});
            }
        }
    }
    return listed;
}

const char* KeyOf(int item) {
    for (std::size_t i = 0; i < kItemKeyCount; ++i) {
        if (kItemKeys[i].item == item) return kItemKeys[i].key;
    }
    return "unknown";
}

// Every whole number below 2^53 has an exact double.
const double kExactInteger = 9007199254740992.0;

// Raw numbers keep ten significant digits, finer than any item the listing reads.
Json JsonNumber(bool present, double value) {
    if (!present) return nullptr;
    char text[40];
    std::snprintf(text, sizeof text, "%.10g", value);
    double rounded = std::strtod(text, nullptr);
    // Whole numbers print without a fraction, as 58 rather than 58.0.
    if (std::fabs(rounded) < kExactInteger && rounded == std::trunc(rounded)) {
        return static_cast<int64_t>(rounded);
    }
    return rounded;
}

Json JsonDate(bool present, const CTime& time) {
    return present ? Json(IsoLocal(time.GetTime())) : Json(nullptr);
}

void PrintJson(const std::string& file, CExifIfdCoder& coder, const std::vector<Listed>& items,
               int width, int height) {
    const SExifProperty& p = coder.m_Property;
    Json out;
    out["file"] = file;
    out["exif"] = coder.m_nStatus == 1;
    out["width"] = width >= 0 ? Json(width) : Json(nullptr);
    out["height"] = height >= 0 ? Json(height) : Json(nullptr);
    Json& listed = out["items"] = Json::object();
    for (const Listed& item : items) listed[KeyOf(item.item)] = SjisToUtf8(item.value);
    out["latitude"] = JsonNumber(p.bGPSPosition, p.dGPSLatitude);
    out["longitude"] = JsonNumber(p.bGPSPosition, p.dGPSLongitude);
    out["altitude"] = JsonNumber(p.bGPSAltitude, p.dGPSAltitude);
    out["direction"] = JsonNumber(p.bGPSImgDirection, p.dGPSImgDirection);
    char ref = p.bGPSImgDirectionRef ? p.szGPSImgDirectionRef[0] : '\0';
    out["direction_ref"] = ref == 'T' || ref == 'M' ? Json(std::string(1, ref)) : Json(nullptr);
    out["date_time_original"] = JsonDate(p.bDateTimeOriginal, p.tmDateTimeOriginal);
    out["date_time"] = JsonDate(p.bDateTime, p.tmDateTime);
    out["date_time_digitized"] = JsonDate(p.bDateTimeDigitized, p.tmDateTimeDigitized);
    PrintJsonLine(out);
}

void PrintText(const std::string& file, CExifIfdCoder& coder, const std::vector<Listed>& items,
               int width, int height, bool sjis) {
    std::string head = file;
    if (width >= 0 && height >= 0) {
        head += " (" + std::to_string(width) + " x " + std::to_string(height) + ")";
    }
    std::printf("%s\n", head.c_str());
    if (coder.m_nStatus != 1) std::printf("  (no EXIF data)\n");
    std::vector<std::pair<std::string, std::string>> rows;
    std::size_t labelWidth = 0;
    for (const Listed& item : items) {
        std::string label = sjis ? item.label : SjisToUtf8(item.label);
        std::string value = sjis ? item.value : SjisToUtf8(item.value);
        labelWidth = std::max(labelWidth, sjis ? DisplayWidthSjis(label) : DisplayWidthUtf8(label));
        rows.emplace_back(std::move(label), std::move(value));
    }
    for (const auto& row : rows) {
        std::size_t w = sjis ? DisplayWidthSjis(row.first) : DisplayWidthUtf8(row.first);
        std::printf("  %s%s  %s\n", row.first.c_str(), std::string(labelWidth - w, ' ').c_str(),
                    row.second.c_str());
    }
}

struct Options {
    bool quick = false, all = false, json = false, sjis = false;
    std::vector<std::string> files;
};

int Run(const Options& o) {
    const bool json = o.json, sjis = o.sjis;
    int status = kExitOk;
    Progress progress(o.files.size());
    bool first = true;
    for (const std::string& file : o.files) {
        progress.Step(file);
        CExifIfdCoder coder;
        std::string cause;
        if (!ReadPhoto(file, coder, o.quick, cause)) {
            progress.Clear();
            ReportFileError(file, cause);
            status = kExitFileFailed;
            continue;
        }
        int width = -1, height = -1;
        coder.GetJPEGInfo(file.c_str(), width, height);
        std::vector<Listed> items = ListItems(coder, o.all);
        if (json) {
            PrintJson(file, coder, items, width, height);
        } else {
            if (!first) std::printf("\n");
            PrintText(file, coder, items, width, height, sjis);
        }
        first = false;
    }
    return status;
}

std::function<int()> Setup(CLI::App& app) {
    SetHelp(app, kUsage, kIntro, kFooter);
    auto o = std::make_shared<Options>();
    app.add_option("FILE", o->files, "JPEG photos")->required();
    app.add_flag("--quick", o->quick,
                 "quick read: only title, shooting time, comment and GPS position items");
    app.add_flag("--all", o->all, "also list the basic items that are absent, with their defaults");
    CLI::Option* json = app.add_flag(
        "--json", o->json,
        "one JSON object per file and line, with English keys for the listed texts and the raw "
        "values: latitude, longitude (degrees, south and west negative), altitude (metres), "
        "direction (degrees) and direction_ref (\"T\" true or \"M\" magnetic north), dates in "
        "ISO 8601, width and height in pixels; absent values are null");
    app.add_flag("--sjis", o->sjis,
                 "print the library's Shift-JIS texts as they are (default: UTF-8)")
        ->excludes(json);
    return [o] { return Run(*o); };
}

}  // namespace

const Command kInfoCommand = {"info", "list the EXIF items of photos (text or JSON)", Setup};

}  // namespace cli
