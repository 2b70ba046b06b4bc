// Shared helpers of the EXIF tests (see ExifTestUtil.h).
#include "support/ExifTestUtil.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <stdexcept>
#include <vector>

namespace exiftest {

std::string Golden(const std::string& name, const std::string& text) {
    const std::string path = std::string(PHOTOGEO_TEST_DATA) + "/" + name;
    if (std::getenv("PHOTOGEO_WRITE_GOLDEN")) std::ofstream(path) << text;
    std::ifstream in(path);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

Bytes SampleBlock(bool bIntel) {
    std::ifstream in(std::string(PHOTOGEO_TEST_DATA) +
                         (bIntel ? "/exif/sample-le.tiff" : "/exif/sample-be.tiff"),
                     std::ios::binary);
    Bytes b((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (b.empty()) throw std::runtime_error("sample block missing");
    return b;
}

namespace {

std::string Hex(const unsigned char* p, size_t n) {
    static const char kDigits[] = "0123456789abcdef";
    std::string s;
    for (size_t i = 0; i < n; ++i) s += {kDigits[p[i] >> 4], kDigits[p[i] & 15]};
    return s;
}

template <size_t N>
std::string Chars(const char (&a)[N]) {
    return Hex(reinterpret_cast<const unsigned char*>(a), N);
}

std::string Rat(const tagRATIONAL* r, int n) {
    std::string s;
    for (int i = 0; i < n; ++i)
        s += std::to_string(r[i].nNumerator) + "/" + std::to_string(r[i].nDenominator) + " ";
    return s;
}

const char kTimeFormat[] = "%Y-%m-%d %H:%M:%S (local)";

std::string Num(double d) {
    char buf[40];
    std::snprintf(buf, sizeof(buf), "%.12g", d);
    return buf;
}

}  // namespace

std::string DumpRecord(const SExifProperty& r) {
    std::string s = "flags ";
    const int* flags = &r.bImageDescription;
    for (int i = 0; i < EXIF_PROPERTY_FLAG_COUNT; ++i) s += flags[i] ? '1' : '0';
    s += "\n";
    // Only values whose flag is set carry meaning.
    auto line = [&s](int flag, const char* name, const std::string& v) {
        if (flag) s += std::string(name) + " " + v + "\n";
    };
    line(r.bImageDescription, "desc", r.strImageDescription.str());
    line(r.bMake, "make", r.strMake.str());
    line(r.bModel, "model", r.strModel.str());
    line(r.bCopyrightPhotographer, "photographer", r.strCopyrightPhotographer.str());
    line(r.bCopyrightEditor, "editor", r.strCopyrightEditor.str());
    line(r.bUserComment, "comment", r.strUserComment.str());
    line(r.bDateTimeOriginal, "dto", r.tmDateTimeOriginal.Format(kTimeFormat).str());
    line(r.bDateTime, "dt", r.tmDateTime.Format(kTimeFormat).str());
    line(r.bGPS, "gps",
         Num(r.dGPSLatitude) + " " + Num(r.dGPSLongitude) + " " + Num(r.dGPSAltitude) + " " +
             Num(r.dGPSImgDirection));
    line(r.bGPSMapDatum, "datum", r.szGPSMapDatum);
    line(r.bGPSImgDirectionRef, "dirref", Chars(r.szGPSImgDirectionRef));
    line(r.bGPSVersionID, "gpsver", Hex(r.byGPSVersionID, 4));
    line(r.bGPSTimeStamp, "gpstime", Rat(r.rGPSTimeStamp, 3));
    line(r.bGPSSatellites, "sat", r.strGPSSatellites.str());
    line(r.bGPSStatus, "status", Chars(r.szGPSStatus));
    line(r.bGPSMeasureMode, "measure", Chars(r.szGPSMeasureMode));
    line(r.bGPSDOP, "dop", Rat(&r.rGPSDOP, 1));
    line(r.bGPSSpeedRef, "speedref", Chars(r.szGPSSpeedRef));
    line(r.bGPSSpeed, "speed", Rat(&r.rGPSSpeed, 1));
    line(r.bGPSTrackRef, "trackref", Chars(r.szGPSTrackRef));
    line(r.bGPSTrack, "track", Rat(&r.rGPSTrack, 1));
    line(r.bGPSDest, "dest", Num(r.dGPSDestLatitude) + " " + Num(r.dGPSDestLongitude));
    line(r.bGPSDestBearingRef, "bearingref", Chars(r.szGPSDestBearingRef));
    line(r.bGPSDestBearing, "bearing", Rat(&r.rGPSDestBearing, 1));
    line(r.bGPSDestDistanceRef, "distref", Chars(r.szGPSDestDistanceRef));
    line(r.bGPSDestDistance, "dist", Rat(&r.rGPSDestDistance, 1));
    line(r.bOrientation, "orient", std::to_string(r.nOrientation));
    line(r.bXResolution, "xres", Rat(&r.rXResolution, 1));
    line(r.bYResolution, "yres", Rat(&r.rYResolution, 1));
    line(r.bResolutionUnit, "resunit", std::to_string(r.nResolutionUnit));
    line(r.bSoftware, "software", r.strSoftware.str());
    line(r.bWhitePoint, "white", Rat(r.rWhitePoint, 2));
    line(r.bPrimaryChromaticities, "prim", Rat(r.rPrimaryChromaticities, 6));
    line(r.bYCbCrCoefficients, "ycc", Rat(r.rYCbCrCoefficients, 3));
    line(r.bYCbCrPositioning, "yccpos", std::to_string(r.nYCbCrPositioning));
    line(r.bReferenceBlackWhite, "refbw", Rat(r.rReferenceBlackWhite, 6));
    line(r.bExposureTime, "exptime", Rat(&r.rExposureTime, 1));
    line(r.bFNumber, "fnumber", Rat(&r.rFNumber, 1));
    line(r.bExposureProgram, "expprog", std::to_string(r.nExposureProgram));
    line(r.bISOSpeedRatings, "iso",
         std::to_string(r.nISOSpeedRatings[0]) + " " + std::to_string(r.nISOSpeedRatings[1]));
    line(r.bExifVersion, "exifver", r.szExifVersion);
    line(r.bDateTimeDigitized, "dtd", r.tmDateTimeDigitized.Format(kTimeFormat).str());
    line(r.bComponentsConfiguration, "comp", Hex(r.byComponentsConfiguration, 4));
    line(r.bCompressedBitsPerPixel, "cbpp", Rat(&r.rCompressedBitsPerPixel, 1));
    line(r.bShutterSpeedValue, "ssv", Rat(&r.rShutterSpeedValue, 1));
    line(r.bApertureValue, "av", Rat(&r.rApertureValue, 1));
    line(r.bBrightnessValue, "bv", Rat(&r.rBrightnessValue, 1));
    line(r.bExposureBiasValue, "ebv", Rat(&r.rExposureBiasValue, 1));
    line(r.bMaxApertureValue, "mav", Rat(&r.rMaxApertureValue, 1));
    line(r.bSubjectDistance, "subj", Rat(&r.rSubjectDistance, 1));
    line(r.bMeteringMode, "meter", std::to_string(r.nMeteringMode));
    line(r.bLightSource, "light", std::to_string(r.nLightSource));
    line(r.bFlash, "flash", std::to_string(r.nFlash));
    line(r.bFocalLength, "focal", Rat(&r.rFocalLength, 1));
    line(r.bFlashpixVersion, "fpxver", r.szFlashpixVersion);
    line(r.bColorSpace, "colorspace", std::to_string(r.nColorSpace));
    line(r.bPixelXDimension, "px", std::to_string(r.nPixelXDimension));
    line(r.bPixelYDimension, "py", std::to_string(r.nPixelYDimension));
    line(r.bRelatedSoundFile, "sound", r.strRelatedSoundFile.str());
    line(r.bFocalPlaneXResolution, "fpx", Rat(&r.rFocalPlaneXResolution, 1));
    line(r.bFocalPlaneYResolution, "fpy", Rat(&r.rFocalPlaneYResolution, 1));
    line(r.bFocalPlaneResolutionUnit, "fpunit", std::to_string(r.nFocalPlaneResolutionUnit));
    line(r.bExposureIndex, "expindex", Rat(&r.rExposureIndex, 1));
    line(r.bSensingMethod, "sensing", std::to_string(r.nSensingMethod));
    line(r.bFileSource, "filesource", std::to_string(r.byFileSource));
    line(r.bSceneType, "scene", std::to_string(r.bySceneType));
    return s;
}

std::string DumpTable(const CExif& exif) {
    const std::vector<SExifEntry>& t = exif.m_aEntry;
    // Name each directory by the path of pointer tags that leads to it.
    std::function<std::string(int)> name = [&](int parent) -> std::string {
        if (parent == DIR_IFD0) return "IFD0";
        if (parent == DIR_IFD1) return "IFD1";
        if (parent < 0) return "main" + std::to_string(parent);
        if (parent >= static_cast<int>(t.size())) return "?";
        return name(t[parent].nParent) + "/" + std::to_string(t[parent].nTag);
    };
    std::map<std::string, std::string> dirs;
    for (const SExifEntry& e : t) {
        if (e.nParent == DIR_DELETED) continue;
        const bool relocated = e.nTag == 34665 || e.nTag == 34853 || e.nTag == 40965 ||
                               (e.nParent == DIR_IFD1 && (e.nTag == 513 || e.nTag == 273));
        std::string& d = dirs[name(e.nParent)];
        d += std::to_string(e.nTag) + " t" + std::to_string(e.nType) + " n" +
             std::to_string(e.nCount) + " " + (relocated ? "*" : Hex(e.pData, e.nSize)) + "\n";
    }
    std::string s;
    for (const auto& d : dirs) s += "[" + d.first + "]\n" + d.second;
    return s;
}

uint32_t Get(const Bytes& b, size_t at, int n, size_t tiff) {
    uint32_t v = 0;
    for (int i = 0; i < n; ++i) v |= uint32_t(b[at + i]) << 8 * (b[tiff] == 'I' ? i : n - 1 - i);
    return v;
}

std::map<std::pair<int, int>, Located> Locate(const Bytes& b, size_t tiff) {
    static const int kSize[13] = {0, 1, 1, 2, 4, 8, 1, 1, 2, 4, 8, 4, 8};
    std::map<std::pair<int, int>, Located> out;
    std::function<void(size_t, int)> walk = [&](size_t at, int dir) {
        const uint32_t n = Get(b, at, 2, tiff);
        for (uint32_t i = 0; i < n; ++i) {
            const size_t e = at + 2 + 12 * i;
            const uint32_t tag = Get(b, e, 2, tiff), type = Get(b, e + 2, 2, tiff);
            const size_t size = size_t(kSize[type <= 12 ? type : 0]) * Get(b, e + 4, 4, tiff);
            const size_t value = tiff + Get(b, e + 8, 4, tiff);
            out[{dir, static_cast<int>(tag)}] = {e, size > 4 ? value : e + 8, size};
            if (dir == 0 && tag == 34665) walk(value, 1);
            if (dir == 0 && tag == 34853) walk(value, 2);
        }
    };
    walk(tiff + Get(b, tiff + 4, 4, tiff), 0);
    return out;
}

bool Within(size_t at, const Located& l) {
    return (at >= l.entry + 2 && at < l.entry + 12) || (at >= l.value && at < l.value + l.size);
}

std::set<size_t> Diff(const Bytes& a, const Bytes& b) {
    std::set<size_t> d;
    for (size_t i = 0; i < a.size(); ++i)
        if (a[i] != b[i]) d.insert(i);
    return d;
}

bool ReadBlock(CExif& exif, Bytes block, SExifProperty& prop, bool bQuick, int bThumbnail) {
    CInBitStream stream(block.data(), static_cast<int>(block.size()));
    try {
        if (bQuick)
            exif.ReadQuickExif(&stream, static_cast<int>(block.size()), &prop, bThumbnail);
        else
            exif.ReadExif(&stream, static_cast<int>(block.size()), &prop);
    } catch (...) {
        return false;
    }
    return true;
}

}  // namespace exiftest
