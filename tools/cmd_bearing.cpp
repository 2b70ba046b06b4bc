// "photogeo bearing": the magnetic declination at a photo's place and shooting time and the
// photo's bearing against true north (recorded bearing plus declination when it was recorded
// against magnetic north), by IGRF-14 or, with --model legacy, by GetMagVar.
#include <photogeo/ExifIfdCoder.h>
#include <photogeo/GeomagneticField.h>
#include <photogeo/MagVar.h>

#include <cstdint>
#include <cstdio>
#include <ctime>
#include <memory>
#include <optional>
#include <string>

#include "cli.h"
#include "commands.h"
#include "dates.h"
#include "photo.h"
#include "shot_time.h"

namespace cli {

namespace {

constexpr int kSchemaVersion = 1;  // docs/json-schema.json

const char kUsage[] = "Usage: photogeo bearing FILE... [--model igrf14|legacy] [--json]\n";
const char kIntro[] =
    "For each photo prints its position and shooting time, the magnetic declination there\n"
    "(degrees, east positive) and the bearing of the view against true north. A bearing\n"
    "recorded against magnetic north plus the declination is the true bearing; one recorded\n"
    "against true north (or without a reference) is shown as it is.\n";
const char kFooter[] =
    "The shooting time is read from the EXIF text DateTimeOriginal, with OffsetTimeOriginal\n"
    "when recorded (else as local time under TZ); without it the current time is used.\n"
    "Models: igrf14 (default), the IGRF-14 field at that moment, 1900 to 2030; legacy,\n"
    "the library's GetMagVar (regional approximation in Japan, IGRF 1990/2000 elsewhere),\n"
    "1970 to 2038. The library's CExifIfdCoder::GetTrueDir subtracts the variation\n"
    "instead; this command does not use it.\n"
    "\n"
    "Exit status 1 when a photo cannot be read, records no position or no bearing, or was\n"
    "taken outside the model's time span.\n"
    "Example: photogeo bearing samples/tokyo-tower.jpg\n";

struct Options {
    std::vector<std::string> files;
    std::string model = "igrf14";
    bool json = false;
};

int Report(const std::string& file, const Options& o) {
    CExifIfdCoder coder;
    std::string cause;
    if (!ReadPhoto(file, coder, false, cause)) {
        ReportFileError(file, cause);
        return kExitFileFailed;
    }
    const SExifProperty& p = coder.m_Property;
    if (!p.bGPSPosition) {
        ReportFileError(file, "records no position, so the declination is unknown");
        return kExitFileFailed;
    }
    if (!p.bGPSImgDirection) {
        ReportFileError(file, "records no bearing (GPSImgDirection)");
        return kExitFileFailed;
    }
    if (!(p.dGPSImgDirection >= 0.0 && p.dGPSImgDirection < 360.0)) {
        ReportFileError(file, "records a bearing outside 0 to 360 degrees");
        return kExitFileFailed;
    }
    const std::optional<ShotTime> shot = ShotTimeUtc(coder);
    const int64_t when = shot ? shot->utcSeconds : static_cast<int64_t>(std::time(nullptr));
    const double height = p.bGPSAltitude ? p.dGPSAltitude : 0.0;
    double declination = 0.0;
    if (o.model == "legacy") {
        if (when < 0 || when > INT32_MAX) {
            ReportFileError(file, "shot at " + IsoUtc(static_cast<double>(when)) +
                                      ", outside the legacy model's 1970-2038");
            return kExitFileFailed;
        }
        declination = GetMagVar(p.dGPSLatitude, p.dGPSLongitude, height, static_cast<long>(when));
    } else {
        const photogeo::GeomagneticResult r = photogeo::Igrf14Field(
            p.dGPSLatitude, p.dGPSLongitude, height, UtcFromSeconds(when));
        if (!r) {
            ReportFileError(file, "shot at " + IsoUtc(static_cast<double>(when)) + ": " +
                                      photogeo::GeomagneticStatusText(r.status));
            return kExitFileFailed;
        }
        declination = r.field.declination;
    }
    const char ref = p.bGPSImgDirectionRef ? p.szGPSImgDirectionRef[0] : '\0';
    const double trueBearing = ref == 'M' ? photogeo::TrueBearing(p.dGPSImgDirection, declination)
                                          : p.dGPSImgDirection;
    if (o.json) {
        Json j;
        j["schema_version"] = kSchemaVersion;
        j["command"] = "bearing";
        j["file"] = file;
        j["declination"] = declination;
        j["recorded_bearing"] = p.dGPSImgDirection;
        j["bearing_ref"] = ref == 'M' || ref == 'T' ? Json(std::string(1, ref)) : Json(nullptr);
        j["true_bearing"] = trueBearing;
        j["model"] = o.model;
        j["latitude"] = p.dGPSLatitude;
        j["longitude"] = p.dGPSLongitude;
        j["time"] = IsoUtc(static_cast<double>(when));
        PrintJsonLine(j);
        return kExitOk;
    }
    std::printf("%s\n", file.c_str());
    std::printf("  position            %.6f, %.6f", p.dGPSLatitude, p.dGPSLongitude);
    if (p.bGPSAltitude) std::printf(", %.0f m", p.dGPSAltitude);
    std::printf("\n  shot                %s\n",
                shot ? IsoUtc(static_cast<double>(when)).c_str()
                     : "unknown (the current time is used)");
    std::printf("  magnetic variation  %.2f (%s, %s)\n", declination,
                declination < 0 ? "west" : "east", o.model == "legacy" ? "legacy" : "IGRF-14");
    std::printf("  recorded bearing    %.2f (%s)\n", p.dGPSImgDirection,
                ref == 'M'   ? "magnetic north"
                : ref == 'T' ? "true north"
                             : "reference not recorded, taken as true north");
    std::printf("  true bearing        %.2f\n", trueBearing);
    return kExitOk;
}

std::function<int()> Setup(CLI::App& app) {
    SetHelp(app, kUsage, kIntro, kFooter);
    auto o = std::make_shared<Options>();
    app.add_option("FILE", o->files, "JPEG photos")->required();
    app.add_option("--model", o->model, "igrf14 (default) or legacy, see below")
        ->check(CLI::IsMember({"igrf14", "legacy"}))
        ->option_text("MODEL");
    app.add_flag("--json", o->json, "one JSON object per photo (docs/json-schema.json)");
    return [o] {
        int status = kExitOk;
        for (const std::string& file : o->files) {
            if (Report(file, *o) != kExitOk) status = kExitFileFailed;
        }
        return status;
    };
}

}  // namespace

const Command kBearingCommand = {"bearing", "magnetic declination and true bearing of photos",
                                 Setup};

}  // namespace cli
