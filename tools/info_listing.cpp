// One photo's listing for "photogeo info" (see info_listing.h). The display texts come from
// CExifIfdCoder::Listup; the raw values of the JSON output are read from the directory table
// that the coder's full read leaves in m_Exif, entry by entry, so that a value the photo does
// not hold, or holds in a form that cannot be read (a zero denominator, a date of zeros, a
// latitude without its longitude), is null rather than the record's default.
#include "info_listing.h"

#include <photogeo/ExifIfdCoder.h>
#include <photogeo/GeomagneticField.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <optional>
#include <utility>
#include <vector>

#include "cli.h"
#include "dates.h"
#include "input_file.h"
#include "item_keys.h"
#include "photo.h"
#include "text_out.h"

namespace cli {

namespace {

const int kSchemaVersion = 1;

// The listing's four groups of item numbers.
const std::pair<int, int> kItemRanges[] = {{0, 13}, {101, 112}, {201, 209}, {301, 326}};
// Items whose value is free text from the file; every other item is a number the listing
// formats, and printf's "nan" or "inf" in it means the stored number cannot be read.
const int kTextItems[] = {0, 1, 2, 3, 4, 11, 13, 204, 322};
const char kUnreadable[] = "(unreadable)";
const char kAbsent[] = "-";
const int kItemDateTimeOriginal = 5;
const int kItemDateTime = 6;
const int kItemLatitude = 8;
const int kItemLongitude = 9;
const int kItemDateTimeDigitized = 306;

// Tags read for the raw values.
enum Tag {
    kTagOrientation = 0x0112,
    kTagDateTime = 0x0132,
    kTagExposureTime = 0x829A,
    kTagFNumber = 0x829D,
    kTagIso = 0x8827,
    kTagDateTimeOriginal = 0x9003,
    kTagDateTimeDigitized = 0x9004,
    kTagOffsetTime = 0x9010,
    kTagOffsetTimeOriginal = 0x9011,
    kTagOffsetTimeDigitized = 0x9012,
    kTagFlash = 0x9209,
    kTagFocalLength = 0x920A,
    kTagGpsLatitudeRef = 0x01,
    kTagGpsLatitude = 0x02,
    kTagGpsLongitudeRef = 0x03,
    kTagGpsLongitude = 0x04,
    kTagGpsAltitudeRef = 0x05,
    kTagGpsAltitude = 0x06,
    kTagGpsTimeStamp = 0x07,
    kTagGpsImgDirectionRef = 0x10,
    kTagGpsImgDirection = 0x11,
    kTagGpsDateStamp = 0x1D,
};

enum Type { kByte = 1, kAscii = 2, kShort = 3, kLong = 4, kRational = 5, kSRational = 10 };

// Read access to the entries of one EXIF block as the coder's full read stored them.
class Entries {
public:
    explicit Entries(const CExif& exif) : m_exif(exif) {}

    int Ifd0() const { return DIR_IFD0; }
    int ExifDir() const { return m_exif.m_nExifEntry; }
    int GpsDir() const { return m_exif.m_nGPSEntry; }

    // The text up to its first NUL, trailing blanks kept.
    std::optional<std::string> Ascii(int dir, int tag) const {
        const SExifEntry* e = Find(dir, tag, kAscii, 1);
        if (!e) return std::nullopt;
        const char* p = reinterpret_cast<const char*>(e->pData);
        return std::string(p, std::find(p, p + e->nSize, '\0'));
    }

    // Value i of a BYTE, SHORT or LONG entry.
    std::optional<uint32_t> Unsigned(int dir, int tag, int i = 0) const {
        for (int type : {kShort, kLong, kByte}) {
            int width = type == kByte ? 1 : type == kShort ? 2 : 4;
            if (const SExifEntry* e = Find(dir, tag, type, i + 1)) {
                return m_exif.BYTEtoLONG(e->pData + i * width, width);
            }
        }
        return std::nullopt;
    }

    // Value i of a RATIONAL or SRATIONAL entry; none for a zero denominator.
    std::optional<double> Rational(int dir, int tag, int i = 0) const {
        const int kRationalSize = 8;
        for (int type : {kRational, kSRational}) {
            const SExifEntry* e = Find(dir, tag, type, i + 1);
            if (!e) continue;
            uint32_t num = m_exif.BYTEtoLONG(e->pData + i * kRationalSize, 4);
            uint32_t den = m_exif.BYTEtoLONG(e->pData + i * kRationalSize + 4, 4);
            if (den == 0) return std::nullopt;
            if (type == kRational) return static_cast<double>(num) / den;
            return static_cast<double>(static_cast<int32_t>(num)) / static_cast<int32_t>(den);
        }
        return std::nullopt;
    }

    // A live entry of that directory and tag, of any type.
    bool Has(int dir, int tag) const {
        if (dir != DIR_IFD0 && dir < 0) return false;
        for (const SExifEntry& e : m_exif.m_aEntry) {
            if (e.nParent == dir && e.nTag == tag && e.pData != nullptr) return true;
        }
        return false;
    }

private:
    // The live entry of that directory and tag when it has the type and at least count values.
    const SExifEntry* Find(int dir, int tag, int type, int count) const {
        if (dir != DIR_IFD0 && dir < 0) return nullptr;
        for (const SExifEntry& e : m_exif.m_aEntry) {
            if (e.nParent != dir || e.nTag != tag) continue;
            if (e.nType != type || e.nCount < count || e.pData == nullptr) return nullptr;
            int width = type == kByte || type == kAscii ? 1 : type == kShort ? 2 : type == kLong ? 4 : 8;
            return e.nSize >= count * width ? &e : nullptr;
        }
        return nullptr;
    }

    const CExif& m_exif;
};

Json Number(std::optional<double> v) {
    return v && std::isfinite(*v) ? Json(*v) : Json(nullptr);
}

// A whole number when it lies in [low, high], else null.
Json Whole(std::optional<uint32_t> v, uint32_t low, uint32_t high) {
    return v && *v >= low && *v <= high ? Json(*v) : Json(nullptr);
}

// Only positive values are meaningful for exposure time, f-number and focal length.
std::optional<double> Positive(std::optional<double> v) {
    return v && *v > 0 ? v : std::nullopt;
}

bool Digits(const std::string& s, std::size_t at, std::size_t n) {
    for (std::size_t i = at; i < at + n; ++i) {
        if (i >= s.size() || s[i] < '0' || s[i] > '9') return false;
    }
    return true;
}

int Field(const std::string& s, std::size_t at, std::size_t n) {
    return std::atoi(s.substr(at, n).c_str());
}

// "YYYY:MM:DD HH:MM:SS" as "YYYY-MM-DDTHH:MM:SS", with the recorded offset ("+09:00") when
// there is one; null for a blank, zero or malformed date.
Json LocalDate(const std::optional<std::string>& text, const std::optional<std::string>& offset) {
    if (!text || text->size() < 19) return nullptr;
    const std::string& t = *text;
    bool shape = Digits(t, 0, 4) && t[4] == ':' && Digits(t, 5, 2) && t[7] == ':' &&
                 Digits(t, 8, 2) && t[10] == ' ' && Digits(t, 11, 2) && t[13] == ':' &&
                 Digits(t, 14, 2) && t[16] == ':' && Digits(t, 17, 2);
    if (!shape) return nullptr;
    int month = Field(t, 5, 2), day = Field(t, 8, 2);
    if (Field(t, 0, 4) == 0 || month < 1 || month > 12 || day < 1 || day > 31 ||
        Field(t, 11, 2) > 23 || Field(t, 14, 2) > 59 || Field(t, 17, 2) > 60) {
        return nullptr;
    }
    std::string iso = t.substr(0, 4) + "-" + t.substr(5, 2) + "-" + t.substr(8, 2) + "T" +
                      t.substr(11, 8);
    if (offset && offset->size() >= 6) {
        const std::string& o = *offset;
        if ((o[0] == '+' || o[0] == '-') && Digits(o, 1, 2) && o[3] == ':' && Digits(o, 4, 2) &&
            Field(o, 1, 2) <= 14 && Field(o, 4, 2) <= 59) {
            iso += o.substr(0, 6);
        }
    }
    return iso;
}

// GPSTimeStamp (UTC hour, minute, second), after GPSDateStamp "YYYY:MM:DD" when it is readable.
Json GpsTime(const Entries& e) {
    auto h = e.Rational(e.GpsDir(), kTagGpsTimeStamp, 0);
    auto m = e.Rational(e.GpsDir(), kTagGpsTimeStamp, 1);
    auto s = e.Rational(e.GpsDir(), kTagGpsTimeStamp, 2);
    if (!h || !m || !s || *h < 0 || *h >= 24 || *m < 0 || *m >= 60 || *s < 0 || *s >= 61 ||
        *h != std::floor(*h) || *m != std::floor(*m)) {
        return nullptr;
    }
    char text[32];
    double whole = std::floor(*s);
    int millis = static_cast<int>(std::lround((*s - whole) * 1000));
    if (millis == 1000) millis = 999;  // keeps the second as recorded
    if (millis == 0) {
        std::snprintf(text, sizeof text, "%02d:%02d:%02dZ", static_cast<int>(*h),
                      static_cast<int>(*m), static_cast<int>(whole));
    } else {
        std::snprintf(text, sizeof text, "%02d:%02d:%02d.%03dZ", static_cast<int>(*h),
                      static_cast<int>(*m), static_cast<int>(whole), millis);
    }
    auto date = e.Ascii(e.GpsDir(), kTagGpsDateStamp);
    if (date && date->size() >= 10 && Digits(*date, 0, 4) && (*date)[4] == ':' &&
        Digits(*date, 5, 2) && (*date)[7] == ':' && Digits(*date, 8, 2) &&
        Field(*date, 0, 4) != 0 && Field(*date, 5, 2) >= 1 && Field(*date, 5, 2) <= 12 &&
        Field(*date, 8, 2) >= 1 && Field(*date, 8, 2) <= 31) {
        return date->substr(0, 4) + "-" + date->substr(5, 2) + "-" + date->substr(8, 2) + "T" +
               text;
    }
    return std::string(text);
}

// Degrees from three rationals (degrees, minutes, seconds) and the hemisphere letter; null when
// any part is unreadable or the result lies outside [-limit, limit].
Json Coordinate(const Entries& e, int tag, int refTag, char negative, double limit) {
    auto d = e.Rational(e.GpsDir(), tag, 0);
    auto m = e.Rational(e.GpsDir(), tag, 1);
    auto s = e.Rational(e.GpsDir(), tag, 2);
    if (!d || !m || !s) return nullptr;
    double v = *d + *m / 60 + *s / 3600;
    if (!std::isfinite(v) || v < 0 || v > limit) return nullptr;
    auto ref = e.Ascii(e.GpsDir(), refTag);
    return ref && !ref->empty() && (*ref)[0] == negative ? -v : v;
}

Json NorthRef(const std::optional<std::string>& ref) {
    if (ref && !ref->empty() && ((*ref)[0] == 'T' || (*ref)[0] == 'M')) return ref->substr(0, 1);
    return nullptr;
}

enum class State { kRecorded, kAbsent, kUnreadable };

struct Listed {
    int item;
    std::string label;  // Shift-JIS
    std::string value;  // Shift-JIS, as the listing gives it
    State state;        // kAbsent: listed only because of --all
};

std::vector<Listed> ListItems(CExifIfdCoder& coder, bool all) {
    std::vector<Listed> listed;
    for (const auto& range : kItemRanges) {
        for (int item = range.first; item <= range.second; ++item) {
            CString name, value;
            if (coder.Listup(item, name, value, 0)) {
                listed.push_back({item, name.str(), value.str(), State::kRecorded});
            } else if (all && coder.Listup(item, name, value, 1)) {
                listed.push_back({item, name.str(), value.str(), State::kAbsent});
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

// Where the listing's value rests on the record's coarser view, the raw value decides: both
// coordinates are listed once GPSLatitude is there, so a coordinate the table lacks is taken
// off (shown as absent with --all); dates are shown from their EXIF text, so no time zone turns
// them; a value stored but unreadable is marked so.
void CorrectListing(const Entries& e, const Json& raw, std::vector<Listed>& items, bool all) {
    struct Source {
        int item;
        const char* key;
        int dir;
        int tag;
    };
    const Source kSources[] = {
        {kItemLatitude, "latitude", e.GpsDir(), kTagGpsLatitude},
        {kItemLongitude, "longitude", e.GpsDir(), kTagGpsLongitude},
        {kItemDateTimeOriginal, "date_time_original", e.ExifDir(), kTagDateTimeOriginal},
        {kItemDateTime, "date_time", e.Ifd0(), kTagDateTime},
        {kItemDateTimeDigitized, "date_time_digitized", e.ExifDir(), kTagDateTimeDigitized},
    };
    for (Listed& item : items) {
        for (const Source& source : kSources) {
            if (item.item != source.item || item.state != State::kRecorded) continue;
            const Json& value = raw[source.key];
            if (!e.Has(source.dir, source.tag)) {
                item.state = State::kAbsent;
            } else if (value.is_null()) {
                item.state = State::kUnreadable;
            } else if (value.is_string()) {
                // "YYYY-MM-DDTHH:MM:SS" in the listing's form "YYYY/MM/DD HH:MM:SS".
                std::string date = value.get<std::string>().substr(0, 19);
                std::replace(date.begin(), date.end(), '-', '/');
                date[10] = ' ';
                item.value = date;
            }
        }
    }
    if (!all) {
        items.erase(std::remove_if(items.begin(), items.end(),
                                   [](const Listed& i) { return i.state == State::kAbsent; }),
                    items.end());
    }
}

// The declination at the photo's place and shooting time (IGRF-14), or null. The shooting time
// is the wall clock less the recorded offset; without one the wall clock is taken as UTC rather
// than read in the TZ zone, so that the output does not depend on where it is made: the field
// changes by well under a thousandth of a degree in a day.
Json Declination(const Json& raw) {
    const Json& when = raw["date_time_original"];
    if (raw["latitude"].is_null() || raw["longitude"].is_null() || when.is_null()) return nullptr;
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    int offsetHours = 0, offsetMinutes = 0;
    char sign = '+';
    std::sscanf(when.get<std::string>().c_str(), "%d-%d-%dT%d:%d:%d%c%d:%d", &year, &month, &day,
                &hour, &minute, &second, &sign, &offsetHours, &offsetMinutes);
    int offset = (sign == '-' ? -1 : 1) * (offsetHours * 3600 + offsetMinutes * 60);
    int64_t utc = WallClockAsUtc(year, month, day, hour, minute, second) - offset;
    std::time_t t = static_cast<std::time_t>(utc);
    std::tm u{};
    if (gmtime_r(&t, &u) == nullptr) return nullptr;
    photogeo::UtcDateTime at{u.tm_year + 1900, u.tm_mon + 1, u.tm_mday, u.tm_hour, u.tm_min, u.tm_sec};
    double height = raw["altitude"].is_null() ? 0.0 : raw["altitude"].get<double>();
    photogeo::GeomagneticResult field = photogeo::Igrf14Field(
        raw["latitude"].get<double>(), raw["longitude"].get<double>(), height, at);
    return field ? Json(field.field.declination) : Json(nullptr);
}

// A listed value as UTF-8 for people, with absent and unreadable values said in words.
std::string DisplayValue(const Listed& item) {
    if (item.state == State::kAbsent) return kAbsent;
    if (item.state == State::kUnreadable) return kUnreadable;
    std::string text = ListedText(item.value);
    if (std::find(std::begin(kTextItems), std::end(kTextItems), item.item) != std::end(kTextItems)) {
        return text;
    }
    return text.find("nan") != std::string::npos || text.find("inf") != std::string::npos
               ? kUnreadable
               : text;
}

// The JSON object of one photo, with an empty "items" in its place for the caller to fill.
Json InfoJson(const std::string& file, CExifIfdCoder& coder, int width, int height) {
    // A fresh coder's table is empty, so a photo without EXIF gives null everywhere below.
    Entries e(coder.m_Exif);
    Json j;
    j["schema_version"] = kSchemaVersion;
    j["command"] = "info";
    j["file"] = file;
    j["exif"] = coder.m_nStatus == 1;
    j["width"] = width >= 0 ? Json(width) : Json(nullptr);
    j["height"] = height >= 0 ? Json(height) : Json(nullptr);
    j["items"] = Json::object();
    int gps = e.GpsDir(), ex = e.ExifDir(), ifd0 = e.Ifd0();
    j["latitude"] = Coordinate(e, kTagGpsLatitude, kTagGpsLatitudeRef, 'S', 90);
    j["longitude"] = Coordinate(e, kTagGpsLongitude, kTagGpsLongitudeRef, 'W', 180);
    auto altitude = e.Rational(gps, kTagGpsAltitude);
    if (altitude && e.Unsigned(gps, kTagGpsAltitudeRef) == 1u) *altitude = -*altitude;
    j["altitude"] = Number(altitude);
    auto direction = e.Rational(gps, kTagGpsImgDirection);
    j["direction"] = direction && *direction >= 0 && *direction < 360 ? Json(*direction) : Json(nullptr);
    j["direction_ref"] = NorthRef(e.Ascii(gps, kTagGpsImgDirectionRef));
    j["declination"] = nullptr;
    j["date_time_original"] =
        LocalDate(e.Ascii(ex, kTagDateTimeOriginal), e.Ascii(ex, kTagOffsetTimeOriginal));
    j["date_time"] = LocalDate(e.Ascii(ifd0, kTagDateTime), e.Ascii(ex, kTagOffsetTime));
    j["date_time_digitized"] =
        LocalDate(e.Ascii(ex, kTagDateTimeDigitized), e.Ascii(ex, kTagOffsetTimeDigitized));
    j["declination"] = Declination(j);
    j["gps_time"] = GpsTime(e);
    j["exposure_time"] = Number(Positive(e.Rational(ex, kTagExposureTime)));
    j["f_number"] = Number(Positive(e.Rational(ex, kTagFNumber)));
    const uint32_t kShortMax = 0xFFFF;
    j["iso"] = Whole(e.Unsigned(ex, kTagIso), 0, kShortMax);
    j["focal_length"] = Number(Positive(e.Rational(ex, kTagFocalLength)));
    const uint32_t kOrientations = 8;
    j["orientation"] = Whole(e.Unsigned(ifd0, kTagOrientation), 1, kOrientations);
    j["flash"] = Whole(e.Unsigned(ex, kTagFlash), 0, kShortMax);
    return j;
}

void PrintText(std::FILE* out, const std::string& file, CExifIfdCoder& coder,
               const std::vector<Listed>& items, int width, int height, bool sjis) {
    std::string head = sjis ? file : TerminalText(file);
    if (width >= 0 && height >= 0) {
        head += " (" + std::to_string(width) + " x " + std::to_string(height) + ")";
    }
    std::fprintf(out, "%s\n", head.c_str());
    if (coder.m_nStatus != 1) std::fprintf(out, "  (no EXIF data)\n");
    std::vector<std::pair<std::string, std::string>> rows;
    std::size_t labelWidth = 0;
    for (const Listed& item : items) {
        std::string label = sjis ? item.label : SjisToUtf8(item.label);
        std::string value = !sjis                           ? TerminalText(DisplayValue(item))
                            : item.state == State::kRecorded ? item.value
                                                             : DisplayValue(item);
        labelWidth = std::max(labelWidth, sjis ? DisplayWidthSjis(label) : DisplayWidthUtf8(label));
        rows.emplace_back(std::move(label), std::move(value));
    }
    for (const auto& row : rows) {
        std::size_t w = sjis ? DisplayWidthSjis(row.first) : DisplayWidthUtf8(row.first);
        std::string line = "  " + row.first + std::string(labelWidth - w, ' ') + "  " + row.second;
        // An empty value leaves no blanks at the end of the line.
        line.erase(line.find_last_not_of(' ') + 1);
        std::fprintf(out, "%s\n", line.c_str());
    }
}

}  // namespace

bool ListPhoto(const std::string& file, const InfoOptions& options, bool first,
               std::string& cause) {
    InputFile input;
    if (!input.Open(file, cause)) return false;
    CExifIfdCoder coder;
    // The raw values of the JSON output come from the directory table of the full read.
    if (!ReadPhoto(input.Path(), coder, options.quick && !options.json, cause)) return false;
    int width = -1, height = -1;
    coder.GetJPEGInfo(input.Path().c_str(), width, height);
    std::vector<Listed> items = ListItems(coder, options.all && !options.json);
    Json j = InfoJson(file, coder, width, height);
    // The quick read keeps no table to correct the listing from.
    if (!options.quick || options.json) CorrectListing(Entries(coder.m_Exif), j, items, options.all);
    if (options.json) {
        Json& listed = j["items"];
        for (const Listed& item : items) listed[KeyOf(item.item)] = DisplayValue(item);
        PrintJsonLine(j);
    } else {
        if (!first) std::fputc('\n', stdout);
        PrintText(stdout, file, coder, items, width, height, options.sjis);
    }
    return true;
}

}  // namespace cli
