// SExifProperty: the decoded view of one photograph's EXIF metadata, and tagRATIONAL, the
// record's form of an EXIF RATIONAL or SRATIONAL value.
//
// The record starts with 70 presence flags (int, 1 = found by the last read, 0 = absent), in
// the order below and contiguous, so that they can be cleared as one run; the typed value
// fields follow. A value is meaningful only while its flag is 1: no reader clears a value, so
// a value whose flag is 0 holds whatever an earlier read or copy left there.
//
// Who fills what: CExif::ReadExif fills every flag and value except bLens/dLens and clears
// flags 9-13 (bGPS .. bGPSMapDatum) at its start; CExif::ReadQuickExif fills the title, the
// shooting time, the comment and the GPS position, altitude, datum and direction; the readers
// never clear any other flag. CExif::RewriteData reads a copy of the record.
//
// Texts hold the bytes as the block stores them (ASCII or Shift-JIS), except strUserComment,
// which is converted to Shift-JIS. Fixed-size text arrays are never written past their end.
#ifndef PHOTOGEO_EXIFPROPERTY_H
#define PHOTOGEO_EXIFPROPERTY_H

#include <cstdint>

#include "photogeo/HostTypes.h"

// An EXIF RATIONAL or SRATIONAL value: the 32 bits of each part exactly as read. The record
// does not fix their signedness; each consumer reads them as signed or unsigned as it needs.
struct tagRATIONAL {
    int32_t nNumerator;
    int32_t nDenominator;
};

// The number of presence flags at the start of SExifProperty.
constexpr int EXIF_PROPERTY_FLAG_COUNT = 70;

struct SExifProperty {
    // ---- presence flags (tag number and directory that set them) ----
    int bImageDescription;          // 0: 270 IFD0
    int bMake;                      // 1: 271 IFD0
    int bModel;                     // 2: 272 IFD0
    int bCopyrightPhotographer;     // 3: 33432 IFD0, photographer part not the single " "
    int bCopyrightEditor;           // 4: 33432 IFD0, an editor part follows
    int bUserComment;               // 5: 37510 Exif
    int bDateTimeOriginal;          // 6: 36867 Exif, first character not NUL
    int bDateTime;                  // 7: 306 IFD0, first character not NUL
    int bLens;                      // 8: never set by a reader
    int bGPS;                       // 9: the GPS directory was walked to its end
    int bGPSPosition;               // 10: 2 GPSLatitude
    int bGPSAltitude;               // 11: 6
    int bGPSMapDatum;               // 12: 18
    int bGPSImgDirection;           // 13: 17
    int bGPSImgDirectionRef;        // 14: 16
    int bGPSVersionID;              // 15: 0
    int bGPSTimeStamp;              // 16: 7
    int bGPSSatellites;             // 17: 8
    int bGPSStatus;                 // 18: 9
    int bGPSMeasureMode;            // 19: 10
    int bGPSDOP;                    // 20: 11
    int bGPSSpeedRef;               // 21: 12
    int bGPSSpeed;                  // 22: 13
    int bGPSTrackRef;               // 23: 14
    int bGPSTrack;                  // 24: 15
    int bGPSDest;                   // 25: 20 or 22
    int bGPSDestBearingRef;         // 26: 23
    int bGPSDestBearing;            // 27: 24
    int bGPSDestDistanceRef;        // 28: 25
    int bGPSDestDistance;           // 29: 26
    int bOrientation;               // 30: 274 IFD0
    int bXResolution;               // 31: 282 IFD0
    int bYResolution;               // 32: 283 IFD0
    int bResolutionUnit;            // 33: 296 IFD0
    int bSoftware;                  // 34: 305 IFD0
    int bWhitePoint;                // 35: 318 IFD0
    int bPrimaryChromaticities;     // 36: 319 IFD0
    int bYCbCrCoefficients;         // 37: 529 IFD0
    int bYCbCrPositioning;          // 38: 531 IFD0
    int bReferenceBlackWhite;       // 39: 532 IFD0
    int bExposureTime;              // 40: 33434 Exif
    int bFNumber;                   // 41: 33437 Exif
    int bExposureProgram;           // 42: 34850 Exif
    int bISOSpeedRatings;           // 43: 34855 Exif
    int bExifVersion;               // 44: 36864 Exif
    int bDateTimeDigitized;         // 45: 36868 Exif, first character not NUL
    int bComponentsConfiguration;   // 46: 37121 Exif
    int bCompressedBitsPerPixel;    // 47: 37122 Exif
    int bShutterSpeedValue;         // 48: 37377 Exif
    int bApertureValue;             // 49: 37378 Exif
    int bBrightnessValue;           // 50: 37379 Exif
    int bExposureBiasValue;         // 51: 37380 Exif
    int bMaxApertureValue;          // 52: 37381 Exif
    int bSubjectDistance;           // 53: 37382 Exif
    int bMeteringMode;              // 54: 37383 Exif
    int bLightSource;               // 55: 37384 Exif
    int bFlash;                     // 56: 37385 Exif
    int bFocalLength;               // 57: 37386 Exif
    int bFlashpixVersion;           // 58: 40960 Exif
    int bColorSpace;                // 59: 40961 Exif
    int bPixelXDimension;           // 60: 40962 Exif
    int bPixelYDimension;           // 61: 40963 Exif
    int bRelatedSoundFile;          // 62: 40964 Exif
    int bFocalPlaneXResolution;     // 63: 41486 Exif
    int bFocalPlaneYResolution;     // 64: 41487 Exif
    int bFocalPlaneResolutionUnit;  // 65: 41488 Exif
    int bExposureIndex;             // 66: 41493 Exif
    int bSensingMethod;             // 67: 41495 Exif
    int bFileSource;                // 68: 41728 Exif
    int bSceneType;                 // 69: 41729 Exif

    // ---- values ----
    CString strImageDescription;  // ASCII text up to its first NUL
    CString strMake;
    CString strModel;
    CString strCopyrightPhotographer;  // first NUL-terminated part of Copyright
    CString strCopyrightEditor;        // second part; emptied whenever a Copyright tag is met
    CString strUserComment;            // text after the 8-byte code, in Shift-JIS
    CTime tmDateTimeOriginal;          // local time of "YYYY:MM:DD HH:MM:SS"
    CTime tmDateTime;
    double dLens;                  // lens focal length, mm; filled by no reader
    double dGPSLatitude;           // degrees, north positive
    double dGPSLongitude;          // degrees, east positive
    double dGPSAltitude;           // metres, negative below sea level
    char szGPSMapDatum[80];        // datum text; the readers keep at most 79 bytes and a NUL
    double dGPSImgDirection;       // degrees
    char szGPSImgDirectionRef[2];  // "T" true or "M" magnetic north, as stored
    unsigned char byGPSVersionID[4];
    tagRATIONAL rGPSTimeStamp[3];  // hour, minute, second (UTC)
    CString strGPSSatellites;      // at most three characters from the value field
    char szGPSStatus[2];           // "A" measuring, "V" interrupted
    char szGPSMeasureMode[2];      // "2" or "3"
    tagRATIONAL rGPSDOP;
    char szGPSSpeedRef[2];  // "K", "M", "N"
    tagRATIONAL rGPSSpeed;
    char szGPSTrackRef[2];     // "T" or "M"
    tagRATIONAL rGPSTrack;     // degrees
    double dGPSDestLatitude;   // degrees, north positive
    double dGPSDestLongitude;  // degrees, east positive
    char szGPSDestBearingRef[2];
    tagRATIONAL rGPSDestBearing;  // degrees
    char szGPSDestDistanceRef[2];
    tagRATIONAL rGPSDestDistance;
    short nOrientation;  // 1..8
    tagRATIONAL rXResolution;
    tagRATIONAL rYResolution;
    short nResolutionUnit;  // 2 inch, 3 centimetre
    CString strSoftware;
    tagRATIONAL rWhitePoint[2];
    tagRATIONAL rPrimaryChromaticities[6];
    tagRATIONAL rYCbCrCoefficients[3];
    short nYCbCrPositioning;  // 1 centred, 2 co-sited
    tagRATIONAL rReferenceBlackWhite[6];
    tagRATIONAL rExposureTime;  // seconds
    tagRATIONAL rFNumber;
    short nExposureProgram;     // 0..8
    short nISOSpeedRatings[2];  // first two 16-bit values of the value field
    char szExifVersion[5];      // four bytes as stored, then NUL ("0220")
    CTime tmDateTimeDigitized;
    unsigned char byComponentsConfiguration[4];
    tagRATIONAL rCompressedBitsPerPixel;
    tagRATIONAL rShutterSpeedValue;  // APEX, signed
    tagRATIONAL rApertureValue;      // APEX
    tagRATIONAL rBrightnessValue;    // APEX, signed
    tagRATIONAL rExposureBiasValue;  // APEX, signed
    tagRATIONAL rMaxApertureValue;   // APEX
    tagRATIONAL rSubjectDistance;    // metres
    short nMeteringMode;
    short nLightSource;
    short nFlash;
    tagRATIONAL rFocalLength;   // mm
    char szFlashpixVersion[5];  // four bytes as stored, then NUL
    short nColorSpace;          // 1 sRGB
    int nPixelXDimension;
    int nPixelYDimension;
    CString strRelatedSoundFile;
    tagRATIONAL rFocalPlaneXResolution;
    tagRATIONAL rFocalPlaneYResolution;
    short nFocalPlaneResolutionUnit;
    tagRATIONAL rExposureIndex;
    short nSensingMethod;        // 1..8
    unsigned char byFileSource;  // 3 = digital still camera
    unsigned char bySceneType;   // 1 = directly photographed
};

static_assert(sizeof(tagRATIONAL) == 8, "a rational is two 32-bit parts");

#endif
