// The property listing: CExifIfdCoder::Listup turns one item of the property record into a
// Japanese label and a value text for the host's two-column display, and StrRational writes an
// EXIF rational the way the listing shows exposure times and resolutions. Latitudes and
// longitudes are shown as hemisphere, degrees, minutes and seconds with tenths (PackDegree, then
// StrLatLon). The listing reads only the record (filled by Decoder/QuickDecoder or by the host);
// the labels and enumerated texts come from ListupText.cpp.
//
// Rationals are read as the consumer needs them: signed 32-bit parts for quotients, unsigned
// ones for the focal length and StrRational. Every division is guarded against a zero divisor:
// the listing shows a zero denominator as 1 wherever the record gives no better reading.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "exifcoder/ListupText.h"
#include "photogeo/ExifIfdCoder.h"

using namespace photogeo::exifcoder;

namespace {

int32_t Num(const tagRATIONAL& r) {
    return static_cast<int32_t>(r.nNumerator);
}

int32_t Den(const tagRATIONAL& r) {
    return static_cast<int32_t>(r.nDenominator);
}

// Numerator over denominator as signed numbers, a zero denominator counting as 1.
double GuardedQuotient(const tagRATIONAL& r) {
    int32_t den = Den(r);
    return static_cast<double>(Num(r)) / static_cast<double>(den == 0 ? 1 : den);
}

double UnsignedGuardedQuotient(const tagRATIONAL& r) {
    uint32_t den = static_cast<uint32_t>(r.nDenominator);
    return static_cast<double>(static_cast<uint32_t>(r.nNumerator)) /
           static_cast<double>(den == 0 ? 1u : den);
}

// Truncating signed division, a zero denominator counting as 1. It is taken in 64 bits so that
// INT32_MIN / -1, which overflows 32 bits, wraps to INT32_MIN instead of trapping.
int IntegerQuotient(const tagRATIONAL& r) {
    int64_t den = Den(r);
    int64_t q = static_cast<int64_t>(Num(r)) / (den == 0 ? 1 : den);
    return static_cast<int32_t>(static_cast<uint32_t>(q));
}

double ApexTime(const tagRATIONAL& r) {
    return std::pow(2.0, GuardedQuotient(r));
}

double ApexAperture(const tagRATIONAL& r) {
    return std::pow(std::sqrt(2.0), GuardedQuotient(r));
}

// A fixed-size text field of the record, which need not hold a NUL.
template <size_t N>
CString FieldText(const char (&field)[N]) {
    return CString(std::string(field, strnlen(field, N)).c_str());
}

// Decimal degrees to the packed form D.MMSSt (degrees, then two digits of minutes, two of
// seconds and one of tenths of a second after the point). A hundredth of a second of arc is
// added first so that values just below a tenth (x.x9999...) show the tenth they stand for; the
// terms are summed in this order on purpose, so the packed value rounds as printed.
double PackDegree(double degrees) {
    double x = std::fabs(degrees) + 2.777777777777778e-6;
    double d = std::trunc(x);
    double r = (x - d) * 60.0;
    double m = std::trunc(r);
    r = (r - m) * 60.0;
    double s = std::trunc(r);
    double t = std::trunc((r - s) * 10.0);
    double p = d + m * 0.01;
    p += s * 0.0001;
    p += t * 1e-5;
    return degrees < 0.0 ? -p : p;
}

// The packed form as hemisphere letter, degrees (three places, space padded), the half-width
// degree mark 0xDF, minutes, seconds with tenths and a double quote: "N 35\xDF" "39'30.9\"".
CString StrLatLon(double packed, int bLatitude) {
    char letter;
    if (packed < 0.0) {
        letter = bLatitude ? 'S' : 'W';
        packed = -packed;
    } else {
        letter = bLatitude ? 'N' : 'E';
    }
    // Degrees beyond three digits (not a coordinate) widen the field; the text keeps its first
    // nine characters, and the buffer holds any double.
    char buf[400];
    std::snprintf(buf, sizeof buf, "%9.5lf", packed);
    CString s;
    s.Format("%c%c%c%c\xDF%c%c'%c%c.%c\"", letter, buf[0], buf[1], buf[2], buf[4], buf[5], buf[6],
             buf[7], buf[8]);
    return s;
}

// The presence flags an item needs (both, when it has two), and whether list-all mode lists it
// anyway: the basic items whose values the write-back stores.
struct ItemPresence {
    int item;
    int SExifProperty::*flag;
    int SExifProperty::*flag2;
    bool listAll;
};

using P = SExifProperty;
const ItemPresence kPresence[] = {
    {0, &P::bImageDescription, nullptr, true},
    {1, &P::bMake, nullptr, false},
    {2, &P::bModel, nullptr, false},
    {3, &P::bCopyrightPhotographer, nullptr, true},
    {4, &P::bUserComment, nullptr, true},
    {5, &P::bDateTimeOriginal, nullptr, true},
    {6, &P::bDateTime, nullptr, false},
    {7, &P::bLens, nullptr, false},
    {8, &P::bGPSPosition, nullptr, true},
    {9, &P::bGPSPosition, nullptr, true},
    {10, &P::bGPSAltitude, nullptr, true},
    {11, &P::bGPSMapDatum, nullptr, true},
    {12, &P::bGPSImgDirection, nullptr, true},
    {13, &P::bCopyrightEditor, nullptr, true},
    {101, &P::bGPSVersionID, nullptr, false},
    {102, &P::bGPSTimeStamp, nullptr, false},
    {103, &P::bGPSSatellites, nullptr, false},
    {104, &P::bGPSStatus, nullptr, false},
    {105, &P::bGPSMeasureMode, nullptr, false},
    {106, &P::bGPSDOP, nullptr, false},
    {107, &P::bGPSSpeed, &P::bGPSSpeedRef, false},
    {108, &P::bGPSTrack, &P::bGPSTrackRef, false},
    {109, &P::bGPSDest, nullptr, false},
    {110, &P::bGPSDest, nullptr, false},
    {111, &P::bGPSDestBearing, &P::bGPSDestBearingRef, false},
    {112, &P::bGPSDestDistance, &P::bGPSDestDistanceRef, false},
    {201, &P::bOrientation, nullptr, false},
    {202, &P::bXResolution, nullptr, false},
    {203, &P::bYResolution, nullptr, false},
    {204, &P::bSoftware, nullptr, false},
    {205, &P::bWhitePoint, nullptr, false},
    {206, &P::bPrimaryChromaticities, nullptr, false},
    {207, &P::bYCbCrCoefficients, nullptr, false},
    {208, &P::bYCbCrPositioning, nullptr, false},
    {209, &P::bReferenceBlackWhite, nullptr, false},
    {301, &P::bExposureTime, nullptr, false},
    {302, &P::bFNumber, nullptr, false},
    {303, &P::bExposureProgram, nullptr, false},
    {304, &P::bISOSpeedRatings, nullptr, false},
    {305, &P::bExifVersion, nullptr, false},
    {306, &P::bDateTimeDigitized, nullptr, false},
    {307, &P::bComponentsConfiguration, nullptr, false},
    {308, &P::bCompressedBitsPerPixel, nullptr, false},
    {309, &P::bShutterSpeedValue, nullptr, false},
    {310, &P::bApertureValue, nullptr, false},
    {311, &P::bBrightnessValue, nullptr, false},
    {312, &P::bExposureBiasValue, nullptr, false},
    {313, &P::bMaxApertureValue, nullptr, false},
    {314, &P::bSubjectDistance, nullptr, false},
    {315, &P::bMeteringMode, nullptr, false},
    {316, &P::bLightSource, nullptr, false},
    {317, &P::bFlash, nullptr, false},
    {318, &P::bFocalLength, nullptr, false},
    {319, &P::bFlashpixVersion, nullptr, false},
    {320, &P::bColorSpace, nullptr, false},
    {321, &P::bPixelXDimension, &P::bPixelYDimension, false},
    {322, &P::bRelatedSoundFile, nullptr, false},
    {323, &P::bFocalPlaneXResolution, nullptr, false},
    {324, &P::bFocalPlaneYResolution, nullptr, false},
    {325, &P::bExposureIndex, nullptr, false},
    {326, &P::bSensingMethod, nullptr, false},
};

const ItemPresence* FindPresence(int nItem) {
    for (const ItemPresence& e : kPresence)
        if (e.item == nItem) return &e;
    return nullptr;
}

const char* Label(int nItem) {
    return FindCodeText(kItemLabels, kItemLabelCount, nItem);
}

// A reference byte 'T'/'M' as the true or magnetic north suffix; other bytes add nothing.
void AppendNorth(CString& s, char ref) {
    if (ref == 'T')
        s += kTrueNorth;
    else if (ref == 'M')
        s += kMagneticNorth;
}

void AppendResolutionUnit(CString& s, int present, short unit) {
    if (!present) return;
    if (unit == 2)
        s += "inch";
    else if (unit == 3)
        s += "cm";
}

// The value text of an enumerated item, or false when the value has no text.
bool EnumText(CString& strValue, const CodeText* pTable, int nCount, int nCode) {
    const char* psz = FindCodeText(pTable, nCount, nCode);
    if (!psz) return false;
    strValue = psz;
    return true;
}

}  // namespace

void CExifIfdCoder::StrRational(CString& str, tagRATIONAL r) {
    uint32_t num = static_cast<uint32_t>(r.nNumerator);
    uint32_t den = static_cast<uint32_t>(r.nDenominator);
    // The quotients are printed with %d as 32-bit values, as the host's 32-bit build shows them.
    if (den == 0)
        str.Empty();
    else if (num == 0)
        str = "0";
    else if (num <= den)
        str.Format("1/%d", static_cast<int32_t>(den / num));
    else
        str.Format("%d", static_cast<int32_t>(num / den));
}

int CExifIfdCoder::Listup(int nItem, CString& strName, CString& strValue, int bAll) {
    SExifProperty& p = m_Property;
    const char* pszLabel = Label(nItem);
    if (!pszLabel) return 0;

    const ItemPresence* pPresence = FindPresence(nItem);
    if (!pPresence) return 0;
    bool listed = (pPresence->listAll && bAll) ||
                  (p.*pPresence->flag && (!pPresence->flag2 || p.*pPresence->flag2));
    if (!listed) return 0;

    strName = pszLabel;
    CString v;
    switch (nItem) {
        case 0:
            if (!p.bImageDescription) p.strImageDescription.Empty();
            strValue = p.strImageDescription;
            break;
        case 1:
            strValue = p.strMake;
            break;
        case 2:
            strValue = p.strModel;
            break;
        case 3:
            strValue = p.strCopyrightPhotographer;
            break;
        case 4:
            if (!p.bUserComment) p.strUserComment.Empty();
            strValue = p.strUserComment;
            break;
        case 5:
            strValue = p.tmDateTimeOriginal.Format("%Y/%m/%d %H:%M:%S");
            break;
        case 6:
            strValue = p.tmDateTime.Format("%Y/%m/%d %H:%M:%S");
            break;
        case 7:
            v.Format("%.1lfmm", p.dLens);
            strValue = v;
            break;
        case 8:
            if (!p.bGPSPosition) p.dGPSLatitude = 0.0;
            strValue = StrLatLon(PackDegree(p.dGPSLatitude), 1);
            break;
        case 9:
            if (!p.bGPSPosition) p.dGPSLongitude = 0.0;
            strValue = StrLatLon(PackDegree(p.dGPSLongitude), 0);
            break;
        case 10:
            if (!p.bGPSAltitude) p.dGPSAltitude = 0.0;
            v.Format("%.0lfm", p.dGPSAltitude);
            strValue = v;
            break;
        case 11:
            if (!p.bGPSMapDatum) std::snprintf(p.szGPSMapDatum, sizeof p.szGPSMapDatum, "WGS84");
            strValue = FieldText(p.szGPSMapDatum);
            break;
        case 12:
            v.Format("%.2lf", p.dGPSImgDirection);
            v += kDegreeSuffix;
            if (p.bGPSImgDirectionRef) AppendNorth(v, p.szGPSImgDirectionRef[0]);
            strValue = v;
            break;
        case 13:
            strValue = p.strCopyrightEditor;
            break;
        case 101:
            v.Format("%c.%c.%c.%c", p.byGPSVersionID[0] + 0x30, p.byGPSVersionID[1] + 0x30,
                     p.byGPSVersionID[2] + 0x30, p.byGPSVersionID[3] + 0x30);
            strValue = v;
            break;
        case 102:
            v.Format("%02d:%02d:%02d", IntegerQuotient(p.rGPSTimeStamp[0]),
                     IntegerQuotient(p.rGPSTimeStamp[1]), IntegerQuotient(p.rGPSTimeStamp[2]));
            strValue = v;
            break;
        case 103:
            strValue = p.strGPSSatellites;
            break;
        case 104:
            if (p.szGPSStatus[0] == 'A')
                strValue = kGPSMeasuring;
            else if (p.szGPSStatus[0] == 'V')
                strValue = kGPSInterrupted;
            break;
        case 105:
            if (p.szGPSMeasureMode[0] == '2')
                strValue = kMeasure2D;
            else if (p.szGPSMeasureMode[0] == '3')
                strValue = kMeasure3D;
            break;
        case 106:
            v.Format("%.1lf", GuardedQuotient(p.rGPSDOP));
            strValue = v;
            break;
        case 107:
        case 112: {
            bool bSpeed = nItem == 107;
            v.Format("%.1lf", GuardedQuotient(bSpeed ? p.rGPSSpeed : p.rGPSDestDistance));
            char ref = bSpeed ? p.szGPSSpeedRef[0] : p.szGPSDestDistanceRef[0];
            if (ref == 'K')
                v += bSpeed ? "km/h" : "km";
            else if (ref == 'M')
                v += bSpeed ? "mile/h" : "mile";
            else if (ref == 'N')
                v += "knot";
            strValue = v;
            break;
        }
        case 108:
        case 111: {
            bool bTrack = nItem == 108;
            v.Format("%.2lf", GuardedQuotient(bTrack ? p.rGPSTrack : p.rGPSDestBearing));
            v += kDegreeSuffix;
            AppendNorth(v, bTrack ? p.szGPSTrackRef[0] : p.szGPSDestBearingRef[0]);
            strValue = v;
            break;
        }
        case 109:
            strValue = StrLatLon(PackDegree(p.dGPSDestLatitude), 1);
            break;
        case 110:
            strValue = StrLatLon(PackDegree(p.dGPSDestLongitude), 0);
            break;
        case 201:
            EnumText(strValue, kOrientation, kOrientationCount, static_cast<short>(p.nOrientation));
            break;
        case 202:
        case 203:
            StrRational(v, nItem == 202 ? p.rXResolution : p.rYResolution);
            AppendResolutionUnit(v, p.bResolutionUnit, static_cast<short>(p.nResolutionUnit));
            strValue = v;
            break;
        case 204:
            strValue = p.strSoftware;
            break;
        case 205:
            v.Format("%d/%d %d/%d", Num(p.rWhitePoint[0]), Den(p.rWhitePoint[0]),
                     Num(p.rWhitePoint[1]), Den(p.rWhitePoint[1]));
            strValue = v;
            break;
        case 206: {
            const tagRATIONAL* c = p.rPrimaryChromaticities;
            v.Format("%d/%d %d/%d %d/%d %d/%d %d/%d %d/%d", Num(c[0]), Den(c[0]), Num(c[1]),
                     Den(c[1]), Num(c[2]), Den(c[2]), Num(c[3]), Den(c[3]), Num(c[4]), Den(c[4]),
                     Num(c[5]), Den(c[5]));
            strValue = v;
            break;
        }
        case 207:
            v.Format("%.3lf %.3lf %.3lf", GuardedQuotient(p.rYCbCrCoefficients[0]),
                     GuardedQuotient(p.rYCbCrCoefficients[1]),
                     GuardedQuotient(p.rYCbCrCoefficients[2]));
            strValue = v;
            break;
        case 208:
            if (p.nYCbCrPositioning == 1)
                strValue = kCentered;
            else if (p.nYCbCrPositioning == 2)
                strValue = kCosited;
            break;
        case 209: {
            const tagRATIONAL* b = p.rReferenceBlackWhite;
            v.Format("%d %d %d %d %d %d", IntegerQuotient(b[0]), IntegerQuotient(b[1]),
                     IntegerQuotient(b[2]), IntegerQuotient(b[3]), IntegerQuotient(b[4]),
                     IntegerQuotient(b[5]));
            strValue = v;
            break;
        }
        case 301:
            StrRational(v, p.rExposureTime);
            v += kSecondSuffix;
            strValue = v;
            break;
        case 302:
            v.Format("F%.1lf", GuardedQuotient(p.rFNumber));
            strValue = v;
            break;
        case 303:
            EnumText(strValue, kExposureProgram, kExposureProgramCount,
                     static_cast<short>(p.nExposureProgram));
            break;
        case 304:
            v.Format("%d", static_cast<short>(p.nISOSpeedRatings[0]));
            strValue = v;
            break;
        case 305:
            strValue = FieldText(p.szExifVersion);
            break;
        case 306:
            strValue = p.tmDateTimeDigitized.Format("%Y/%m/%d %H:%M:%S");
            break;
        case 307:
            for (int i = 0; i < 4; ++i) {
                const char* psz =
                    FindCodeText(kComponents, kComponentsCount, p.byComponentsConfiguration[i]);
                if (psz) v += psz;
            }
            strValue = v;
            break;
        case 308:
            v.Format("%.2lfBit/Pixel", GuardedQuotient(p.rCompressedBitsPerPixel));
            strValue = v;
            break;
        case 309:
            v.Format("1/%.0lf", ApexTime(p.rShutterSpeedValue));
            v += kSecondSuffix;
            strValue = v;
            break;
        case 310:
        case 313:
            v.Format("F%.1lf", ApexAperture(nItem == 310 ? p.rApertureValue : p.rMaxApertureValue));
            strValue = v;
            break;
        case 311:
            v.Format("%.1lfAPEX", GuardedQuotient(p.rBrightnessValue));
            strValue = v;
            break;
        case 312:
            v.Format("%.1lfEV", GuardedQuotient(p.rExposureBiasValue));
            strValue = v;
            break;
        case 314:
            if (Den(p.rSubjectDistance) == 0) {
                strValue = kInfinity;
            } else {
                v.Format("%.1lfm", GuardedQuotient(p.rSubjectDistance));
                strValue = v;
            }
            break;
        case 315:
            EnumText(strValue, kMeteringMode, kMeteringModeCount,
                     static_cast<short>(p.nMeteringMode));
            break;
        case 316:
            EnumText(strValue, kLightSource, kLightSourceCount, static_cast<short>(p.nLightSource));
            break;
        case 317:
            EnumText(strValue, kFlash, kFlashCount, static_cast<short>(p.nFlash));
            break;
        case 318:
            v.Format("%.1lfmm", UnsignedGuardedQuotient(p.rFocalLength));
            strValue = v;
            break;
        case 319:
            strValue = FieldText(p.szFlashpixVersion);
            break;
        case 320:
            if (static_cast<short>(p.nColorSpace) == 1)
                strValue = "sRGB";
            else
                strValue = kUnknown;
            break;
        case 321:
            v.Format("%d x %d", static_cast<int>(p.nPixelXDimension),
                     static_cast<int>(p.nPixelYDimension));
            strValue = v;
            break;
        case 322:
            strValue = p.strRelatedSoundFile;
            break;
        case 323:
        case 324:
            StrRational(v, nItem == 323 ? p.rFocalPlaneXResolution : p.rFocalPlaneYResolution);
            AppendResolutionUnit(v, p.bFocalPlaneResolutionUnit,
                                 static_cast<short>(p.nFocalPlaneResolutionUnit));
            strValue = v;
            break;
        case 325:
            v.Format("%.0lf", GuardedQuotient(p.rExposureIndex));
            strValue = v;
            break;
        case 326:
            EnumText(strValue, kSensingMethod, kSensingMethodCount,
                     static_cast<short>(p.nSensingMethod));
            break;
    }
    return 1;
}
