// "photogeo bearing": the magnetic variation at a photo's place and time and its true bearing,
// from CExifIfdCoder::GetMagVar and GetTrueDir.
#include <photogeo/ExifIfdCoder.h>

#include <cstdio>
#include <memory>
#include <string>

#include "cli.h"
#include "commands.h"
#include "dates.h"
#include "photo.h"

namespace cli {

namespace {

const char kUsage[] = "Usage: photogeo bearing FILE...\n";
const char kIntro[] =
    "For each photo prints its position and shooting time, the magnetic variation there\n"
    "(degrees, east positive) and the bearing of the view against true north. A bearing\n"
    "recorded against magnetic north is corrected by the variation; one recorded against\n"
    "true north is shown as it is. Without a shooting time the current date is used.\n";
const char kFooter[] =
    "Exit status 1 when a photo cannot be read or records no position or no bearing.\n"
    "Example: photogeo bearing samples/tokyo-tower.jpg\n";

int Report(const std::string& file) {
    CExifIfdCoder coder;
    std::string cause;
    if (!ReadPhoto(file, coder, false, cause)) {
        ReportFileError(file, cause);
        return kExitFileFailed;
    }
    const SExifProperty& p = coder.m_Property;
    if (!p.bGPSPosition) {
        ReportFileError(file, "records no position, so the variation is unknown");
        return kExitFileFailed;
    }
    if (!p.bGPSImgDirection) {
        ReportFileError(file, "records no bearing (GPSImgDirection)");
        return kExitFileFailed;
    }
    char ref = p.bGPSImgDirectionRef ? p.szGPSImgDirectionRef[0] : '\0';
    double variation = coder.GetMagVar();
    double trueDir = coder.GetTrueDir();
    std::printf("%s\n", file.c_str());
    std::printf("  position            %.6f, %.6f", p.dGPSLatitude, p.dGPSLongitude);
    if (p.bGPSAltitude) std::printf(", %.0f m", p.dGPSAltitude);
    std::printf("\n  shot                %s\n",
                p.bDateTimeOriginal ? IsoLocal(p.tmDateTimeOriginal.GetTime()).c_str()
                                    : "unknown (the current date is used)");
    std::printf("  magnetic variation  %.2f (%s)\n", variation, variation < 0 ? "west" : "east");
    std::printf("  recorded bearing    %.2f (%s)\n", p.dGPSImgDirection,
                ref == 'M'   ? "magnetic north"
                : ref == 'T' ? "true north"
                             : "reference not recorded, taken as true north");
    std::printf("  true bearing        %.2f\n", trueDir);
    return kExitOk;
}

std::function<int()> Setup(CLI::App& app) {
    SetHelp(app, kUsage, kIntro, kFooter);
    auto files = std::make_shared<std::vector<std::string>>();
    app.add_option("FILE", *files, "JPEG photos")->required();
    return [files] {
        int status = kExitOk;
        for (const std::string& file : *files) {
            if (Report(file) != kExitOk) status = kExitFileFailed;
        }
        return status;
    };
}

}  // namespace

const Command kBearingCommand = {"bearing", "magnetic variation and true bearing of photos",
                                 Setup};

}  // namespace cli
