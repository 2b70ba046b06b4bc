// "photogeo info": reads each photo's EXIF with CExifIfdCoder (full or quick read) and lists
// every item the listing gives, as aligned label/value columns or as one JSON object per file.
#include <photogeo/ExifIfdCoder.h>

#include <algorithm>
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

const char kHelp[] =
    "Usage: photogeo info [--quick] [--all] [--json | --sjis] FILE...\n"
    "\n"
    "Lists the EXIF items of each JPEG photo: title, camera, dates, position, altitude,\n"
    "map datum, bearing, GPS, image and camera items, as labelled Japanese text.\n"
    "\n"
    "  --quick   quick read: only title, shooting time, comment and GPS position items\n"
    "  --all     also list the basic items that are absent, with their defaults\n"
    "  --json    one JSON object per file and line, with English keys for the listed texts\n"
    "            and the raw values: latitude, longitude (degrees, south and west\n"
    "            negative), altitude (metres), direction (degrees) and direction_ref\n"
    "            (\"T\" true or \"M\" magnetic north), dates in ISO 8601, width and height\n"
    "            in pixels; absent values are null\n"
    "  --sjis    print the library's Shift-JIS texts as they are (default: UTF-8)\n"
    "\n"
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

std::string JsonNumber(bool present, double value) {
    if (!present) return "null";
    char text[40];
    std::snprintf(text, sizeof text, "%.10g", value);
    return text;
}

std::string JsonDate(bool present, const CTime& time) {
    return present ? JsonString(IsoLocal(time.GetTime())) : "null";
}

void PrintJson(const std::string& file, CExifIfdCoder& coder, const std::vector<Listed>& items,
               int width, int height) {
    const SExifProperty& p = coder.m_Property;
    std::string out = "{\"file\":" + JsonString(file);
    out += ",\"exif\":" + std::string(coder.m_nStatus == 1 ? "true" : "false");
    out += ",\"width\":" + JsonNumber(width >= 0, width);
    out += ",\"height\":" + JsonNumber(height >= 0, height);
    out += ",\"items\":{";
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (i) out += ",";
        out += JsonString(KeyOf(items[i].item)) + ":" + JsonString(SjisToUtf8(items[i].value));
    }
    out += "}";
    out += ",\"latitude\":" + JsonNumber(p.bGPSPosition, p.dGPSLatitude);
    out += ",\"longitude\":" + JsonNumber(p.bGPSPosition, p.dGPSLongitude);
    out += ",\"altitude\":" + JsonNumber(p.bGPSAltitude, p.dGPSAltitude);
    out += ",\"direction\":" + JsonNumber(p.bGPSImgDirection, p.dGPSImgDirection);
    out += ",\"direction_ref\":";
    out += p.bGPSImgDirectionRef &&
                   (p.szGPSImgDirectionRef[0] == 'T' || p.szGPSImgDirectionRef[0] == 'M')
               ? JsonString(std::string(1, p.szGPSImgDirectionRef[0]))
               : "null";
    out += ",\"date_time_original\":" + JsonDate(p.bDateTimeOriginal, p.tmDateTimeOriginal);
    out += ",\"date_time\":" + JsonDate(p.bDateTime, p.tmDateTime);
    out += ",\"date_time_digitized\":" + JsonDate(p.bDateTimeDigitized, p.tmDateTimeDigitized);
    out += "}\n";
    std::fputs(out.c_str(), stdout);
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

int Run(const std::vector<std::string>& args) {
    ParsedArgs parsed = ParseArgs(
        args, {{"quick", 0, false}, {"all", 0, false}, {"json", 0, false}, {"sjis", 0, false}});
    if (parsed.positional.empty()) throw UsageError("needs at least one FILE");
    bool json = parsed.Has("json");
    bool sjis = parsed.Has("sjis");
    if (json && sjis) throw UsageError("--json output is UTF-8; --sjis cannot go with it");
    int status = kExitOk;
    Progress progress(parsed.positional.size());
    bool first = true;
    for (const std::string& file : parsed.positional) {
        progress.Step(file);
        CExifIfdCoder coder;
        std::string cause;
        if (!ReadPhoto(file, coder, parsed.Has("quick"), cause)) {
            progress.Clear();
            ReportFileError(file, cause);
            status = kExitFileFailed;
            continue;
        }
        int width = -1, height = -1;
        coder.GetJPEGInfo(file.c_str(), width, height);
        std::vector<Listed> items = ListItems(coder, parsed.Has("all"));
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

}  // namespace

const Command kInfoCommand = {"info", "list the EXIF items of photos (text or JSON)", kHelp, Run};

}  // namespace cli
