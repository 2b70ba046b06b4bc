// The values the lossless editor writes, encoded as directory entries in a block's byte order:
// the GPS items of a fix, ImageDescription, UserComment, the pointers, and the four IFD0 items
// of a new block. Ranges and texts are checked here; ExifEditor.cpp places the entries.
//
// Precision. Latitude and longitude are whole degrees, whole minutes and seconds in units of
// 1/10000 second, rounded once from the total: 1/10000 second of arc is 3.1 mm of latitude, so
// the stored position is within 2 mm of the one given. The total, at most 180 x 3600 x 10000 =
// 6.48e9 units, is exact in 64 bits; the seconds numerator stays below 600,000. Altitude is
// rounded to the centimetre, the image direction to 1/100 degree, the time of the fix to the
// millisecond (carrying into the date).
#include <cmath>
#include <cstdio>
#include <cstring>

#include "edit/EditInternal.h"

namespace photogeo::edit {
namespace {

constexpr uint16_t kTagGpsVersion = 0x0000;
constexpr uint16_t kTagLatitudeRef = 0x0001;
constexpr uint16_t kTagLatitude = 0x0002;
constexpr uint16_t kTagLongitudeRef = 0x0003;
constexpr uint16_t kTagLongitude = 0x0004;
constexpr uint16_t kTagAltitudeRef = 0x0005;
constexpr uint16_t kTagAltitude = 0x0006;
constexpr uint16_t kTagTimeStamp = 0x0007;
constexpr uint16_t kTagImgDirectionRef = 0x0010;
constexpr uint16_t kTagImgDirection = 0x0011;
constexpr uint16_t kTagMapDatum = 0x0012;
constexpr uint16_t kTagDateStamp = 0x001D;
constexpr uint16_t kTagXResolution = 0x011A;
constexpr uint16_t kTagYResolution = 0x011B;
constexpr uint16_t kTagResolutionUnit = 0x0128;
constexpr uint16_t kTagYCbCrPositioning = 0x0213;
constexpr uint16_t kTagExifVersion = 0x9000;
constexpr uint16_t kTagComponentsConfiguration = 0x9101;
constexpr uint16_t kTagFlashpixVersion = 0xA000;
constexpr uint16_t kTagColorSpace = 0xA001;
constexpr uint16_t kTagPixelXDimension = 0xA002;
constexpr uint16_t kTagPixelYDimension = 0xA003;
constexpr uint16_t kUncalibrated = 0xFFFF;

constexpr int64_t kSecondUnits = 10000;  // of a second of arc
constexpr int64_t kMinuteUnits = 60 * kSecondUnits;
constexpr int64_t kDegreeUnits = 60 * kMinuteUnits;
constexpr double kMaxAltitude = 42000000.0;  // metres: centimetres fit 32 bits
constexpr int64_t kCentidegreesInCircle = 36000;
constexpr int64_t kMillisecondsPerDay = 86400000;
constexpr uint16_t kUnitInch = 2, kUnitCentimetre = 3;
constexpr uint32_t kDefaultDpi = 72;
constexpr uint16_t kCentred = 1;

// Days since 1970-01-01 to a proleptic Gregorian date (H. Hinnant's civil_from_days: the year
// is shifted to start in March, so the leap day ends it; eras are 400-year cycles).
void CivilFromDays(int64_t days, int64_t* year, unsigned* month, unsigned* day) {
    days += 719468;
    const int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(days - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    *day = doy - (153 * mp + 2) / 5 + 1;
    *month = mp < 10 ? mp + 3 : mp - 9;
    *year = static_cast<int64_t>(yoe) + era * 400 + (*month <= 2);
}

void Require(bool ok, const char* what) {
    if (!ok) throw Failure(Fault::kOutOfRange, what);
}

NewEntry Entry(uint16_t tag, uint16_t type, uint32_t count) {
    NewEntry e;
    e.tag = tag;
    e.type = type;
    e.count = count;
    return e;
}

// Values of up to four bytes go into the field, longer ones into value.
void Place(NewEntry& e, std::vector<unsigned char> bytes) {
    if (bytes.size() <= sizeof e.field)
        std::memcpy(e.field, bytes.data(), bytes.size());
    else
        e.value = std::move(bytes);
}

NewEntry Rationals(uint16_t tag, std::initializer_list<std::pair<uint32_t, uint32_t>> values,
                   tiff::ByteOrder order) {
    NewEntry e = Entry(tag, tiff::kRational, static_cast<uint32_t>(values.size()));
    std::vector<unsigned char> bytes(8 * values.size());
    unsigned char* p = bytes.data();
    for (const auto& [numerator, denominator] : values) {
        Store32(p, numerator, order);
        Store32(p + 4, denominator, order);
        p += 8;
    }
    Place(e, std::move(bytes));
    return e;
}

NewEntry ShortEntry(uint16_t tag, uint16_t v, tiff::ByteOrder order) {
    NewEntry e = Entry(tag, tiff::kShort, 1);
    Store16(e.field, v, order);
    return e;
}

// Degrees as D/1, M/1, S/10000 (see the top of the file).
NewEntry Dms(uint16_t tag, double degrees, tiff::ByteOrder order) {
    const int64_t units = std::llround(std::fabs(degrees) * static_cast<double>(kDegreeUnits));
    return Rationals(tag,
                     {{static_cast<uint32_t>(units / kDegreeUnits), 1},
                      {static_cast<uint32_t>(units % kDegreeUnits / kMinuteUnits), 1},
                      {static_cast<uint32_t>(units % kMinuteUnits), kSecondUnits}},
                     order);
}

NewEntry RefEntry(uint16_t tag, char ref) {
    return AsciiEntry(tag, std::string(1, ref));
}

// Decodes UTF-8 into code points; throws kBadUtf8 on a malformed, overlong or surrogate
// sequence or a value above U+10FFFF.
std::vector<uint32_t> CodePoints(const std::string& text) {
    std::vector<uint32_t> out;
    const unsigned char* p = reinterpret_cast<const unsigned char*>(text.data());
    const unsigned char* end = p + text.size();
    while (p < end) {
        const unsigned lead = *p++;
        int more = 0;
        uint32_t cp = lead, min = 0;
        if (lead >= 0xF0 && lead <= 0xF4) {
            more = 3, cp = lead & 0x07, min = 0x10000;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            more = 2, cp = lead & 0x0F, min = 0x800;
        } else if (lead >= 0xC2 && lead <= 0xDF) {
            more = 1, cp = lead & 0x1F, min = 0x80;
        } else if (lead >= 0x80) {
            throw Failure(Fault::kBadUtf8);
        }
        for (int i = 0; i < more; ++i) {
            if (p == end || (*p & 0xC0) != 0x80) throw Failure(Fault::kBadUtf8);
            cp = cp << 6 | (*p++ & 0x3F);
        }
        if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
            throw Failure(Fault::kBadUtf8);
        out.push_back(cp);
    }
    return out;
}

bool IsAscii(const std::string& text) {
    for (unsigned char c : text)
        if (c >= 0x80) return false;
    return true;
}

}  // namespace

void Store16(unsigned char* p, uint16_t v, tiff::ByteOrder order) {
    const bool little = order == tiff::ByteOrder::kLittleEndian;
    p[little ? 0 : 1] = static_cast<unsigned char>(v & 0xFF);
    p[little ? 1 : 0] = static_cast<unsigned char>(v >> 8);
}

void Store32(unsigned char* p, uint32_t v, tiff::ByteOrder order) {
    for (int i = 0; i < 4; ++i)
        p[order == tiff::ByteOrder::kLittleEndian ? i : 3 - i] =
            static_cast<unsigned char>(v >> (8 * i));
}

NewEntry KeptEntry(const tiff::Entry& stored) {
    NewEntry e = Entry(stored.tag, stored.type, stored.count);
    std::memcpy(e.field, stored.field, sizeof e.field);
    return e;
}

NewEntry AsciiEntry(uint16_t tag, const std::string& text) {
    if (text.find('\0') != std::string::npos) throw Failure(Fault::kBadText);
    NewEntry e = Entry(tag, tiff::kAscii, static_cast<uint32_t>(text.size() + 1));
    Place(e, std::vector<unsigned char>(text.c_str(), text.c_str() + text.size() + 1));
    return e;
}

NewEntry LongEntry(uint16_t tag, uint32_t v, tiff::ByteOrder order) {
    NewEntry e = Entry(tag, tiff::kLong, 1);
    Store32(e.field, v, order);
    return e;
}

NewEntry DescriptionEntry(const std::string& utf8) {
    CodePoints(utf8);
    return AsciiEntry(kTagImageDescription, utf8);
}

NewEntry CommentEntry(const std::string& utf8, tiff::ByteOrder order) {
    static const unsigned char kAsciiCode[8] = {'A', 'S', 'C', 'I', 'I', 0, 0, 0};
    static const unsigned char kUnicodeCode[8] = {'U', 'N', 'I', 'C', 'O', 'D', 'E', 0};
    std::vector<unsigned char> bytes;
    if (IsAscii(utf8)) {
        bytes.assign(kAsciiCode, kAsciiCode + 8);
        bytes.insert(bytes.end(), utf8.begin(), utf8.end());
    } else {
        bytes.assign(kUnicodeCode, kUnicodeCode + 8);
        auto unit = [&](uint32_t u) {
            unsigned char b[2];
            Store16(b, static_cast<uint16_t>(u), order);
            bytes.insert(bytes.end(), b, b + 2);
        };
        for (uint32_t cp : CodePoints(utf8)) {
            if (cp < 0x10000) {
                unit(cp);
            } else {
                unit(0xD800 + ((cp - 0x10000) >> 10));
                unit(0xDC00 + ((cp - 0x10000) & 0x3FF));
            }
        }
    }
    NewEntry e = Entry(kTagUserComment, tiff::kUndefined, static_cast<uint32_t>(bytes.size()));
    Place(e, std::move(bytes));
    return e;
}

std::vector<NewEntry> RequiredExifEntries(const JpegHeader& jpeg, tiff::ByteOrder order) {
    auto bytes4 = [](uint16_t tag, const char* four) {
        NewEntry e = Entry(tag, tiff::kUndefined, 4);
        std::memcpy(e.field, four, 4);
        return e;
    };
    // Y, Cb, Cr for a colour picture, Y alone for a grey one.
    const char components[4] = {1, static_cast<char>(jpeg.components == 3 ? 2 : 0),
                                static_cast<char>(jpeg.components == 3 ? 3 : 0), 0};
    return {bytes4(kTagExifVersion, "0232"), bytes4(kTagFlashpixVersion, "0100"),
            bytes4(kTagComponentsConfiguration, components),
            ShortEntry(kTagColorSpace, kUncalibrated, order),
            LongEntry(kTagPixelXDimension, jpeg.width, order),
            LongEntry(kTagPixelYDimension, jpeg.height, order)};
}

std::vector<NewEntry> GpsEntries(const GpsFix& fix, const unsigned char version[4],
                                 tiff::ByteOrder order) {
    Require(std::fabs(fix.latitude) <= 90, "latitude");
    Require(std::fabs(fix.longitude) <= 180, "longitude");
    std::vector<NewEntry> out;
    NewEntry v = Entry(kTagGpsVersion, tiff::kByte, 4);
    std::memcpy(v.field, version, 4);
    out.push_back(v);
    out.push_back(RefEntry(kTagLatitudeRef, fix.latitude < 0 ? 'S' : 'N'));
    out.push_back(Dms(kTagLatitude, fix.latitude, order));
    out.push_back(RefEntry(kTagLongitudeRef, fix.longitude < 0 ? 'W' : 'E'));
    out.push_back(Dms(kTagLongitude, fix.longitude, order));
    if (fix.altitude) {
        Require(std::fabs(*fix.altitude) < kMaxAltitude, "altitude");
        const int64_t cm = std::llround(std::fabs(*fix.altitude) * 100);
        NewEntry ref = Entry(kTagAltitudeRef, tiff::kByte, 1);
        ref.field[0] = *fix.altitude < 0 && cm > 0 ? 1 : 0;
        out.push_back(ref);
        out.push_back(Rationals(kTagAltitude, {{static_cast<uint32_t>(cm), 100}}, order));
    }
    std::string dateStamp;
    if (fix.timeUtc) {
        const double t = *fix.timeUtc;
        Require(std::isfinite(t), "time");
        int64_t days = static_cast<int64_t>(std::floor(t / 86400));
        int64_t ms = std::llround((t - static_cast<double>(days) * 86400) * 1000);
        if (ms >= kMillisecondsPerDay) ++days, ms -= kMillisecondsPerDay;
        int64_t year;
        unsigned month, day;
        CivilFromDays(days, &year, &month, &day);
        Require(year >= 1 && year <= 9999, "time");
        const uint32_t seconds = static_cast<uint32_t>(ms % 60000);
        out.push_back(Rationals(kTagTimeStamp,
                                {{static_cast<uint32_t>(ms / 3600000), 1},
                                 {static_cast<uint32_t>(ms / 60000 % 60), 1},
                                 seconds % 1000 ? std::make_pair(seconds, 1000u)
                                                : std::make_pair(seconds / 1000, 1u)},
                                order));
        char text[32];
        std::snprintf(text, sizeof text, "%04d:%02u:%02u", static_cast<int>(year), month, day);
        dateStamp = text;
    }
    if (fix.imageDirection) {
        const double d = *fix.imageDirection;
        Require(d >= 0 && d <= 360, "image direction");
        const int64_t centi = std::llround(d * 100) % kCentidegreesInCircle;
        out.push_back(RefEntry(kTagImgDirectionRef, fix.magneticNorth ? 'M' : 'T'));
        out.push_back(Rationals(kTagImgDirection, {{static_cast<uint32_t>(centi), 100}}, order));
    }
    if (!fix.mapDatum.empty()) {
        for (unsigned char c : fix.mapDatum)
            if (c < 0x20 || c > 0x7E) throw Failure(Fault::kBadText, "map datum");
        out.push_back(AsciiEntry(kTagMapDatum, fix.mapDatum));
    }
    if (!dateStamp.empty()) out.push_back(AsciiEntry(kTagDateStamp, dateStamp));
    return out;
}

std::vector<NewEntry> RequiredIfd0Entries(const JpegHeader& jpeg, tiff::ByteOrder order) {
    uint32_t x = kDefaultDpi, y = kDefaultDpi;
    uint16_t unit = kUnitInch;
    if ((jpeg.densityUnits == 1 || jpeg.densityUnits == 2) && jpeg.xDensity && jpeg.yDensity) {
        x = jpeg.xDensity;
        y = jpeg.yDensity;
        unit = jpeg.densityUnits == 1 ? kUnitInch : kUnitCentimetre;
    }
    return {Rationals(kTagXResolution, {{x, 1}}, order), Rationals(kTagYResolution, {{y, 1}}, order),
            ShortEntry(kTagResolutionUnit, unit, order),
            ShortEntry(kTagYCbCrPositioning, kCentred, order)};
}

}  // namespace photogeo::edit
