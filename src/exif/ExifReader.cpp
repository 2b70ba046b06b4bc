// CExif::ReadExif: the full read of a TIFF block. Every directory entry of the block is copied
// into the entry table (so that the block can be rewritten and written again), the items the
// library understands are decoded into SExifProperty, and the thumbnail of IFD1 is extracted.
// The coder calls it with a reader over the EXIF segment's TIFF block; the walking machinery
// and the shared item rules are in ExifReadPass.cpp and ExifItems.cpp.
#include "exif/ExifReadPass.h"

using namespace photogeo::exif;

void CExif::ReadPass::DecodeIfd0(const Entry& e) {
    SExifProperty& r = m_prop;
    CExif& x = m_exif;
    const int n = Count(e.count);
    const int32_t rel = Rel(e.value);
    unsigned char field[4] = {e.field[0], e.field[1], e.field[2], e.field[3]};
    switch (e.tag) {
        case TAG_IMAGE_DESCRIPTION:
            x.GetStringItem(r.bImageDescription, r.strImageDescription, &m_s, n, rel, field);
            break;
        case TAG_MAKE:
            x.GetStringItem(r.bMake, r.strMake, &m_s, n, rel, field);
            break;
        case TAG_MODEL:
            x.GetStringItem(r.bModel, r.strModel, &m_s, n, rel, field);
            break;
        case TAG_SOFTWARE:
            x.GetStringItem(r.bSoftware, r.strSoftware, &m_s, n, rel, field);
            break;
        case TAG_ORIENTATION:
            x.GetShortItem(r.bOrientation, r.nOrientation, &m_s, field);
            break;
        case TAG_RESOLUTION_UNIT:
            x.GetShortItem(r.bResolutionUnit, r.nResolutionUnit, &m_s, field);
            break;
        case TAG_YCBCR_POSITIONING:
            x.GetShortItem(r.bYCbCrPositioning, r.nYCbCrPositioning, &m_s, field);
            break;
        case TAG_X_RESOLUTION:
            x.GetRationalItem(r.bXResolution, &r.rXResolution, &m_s, Count(e.count, 1), rel);
            break;
        case TAG_Y_RESOLUTION:
            x.GetRationalItem(r.bYResolution, &r.rYResolution, &m_s, Count(e.count, 1), rel);
            break;
        case TAG_WHITE_POINT:
            x.GetRationalItem(r.bWhitePoint, r.rWhitePoint, &m_s, Count(e.count, 2), rel);
            break;
        case TAG_PRIMARY_CHROMATICITIES:
            x.GetRationalItem(r.bPrimaryChromaticities, r.rPrimaryChromaticities, &m_s,
                              Count(e.count, 6), rel);
            break;
        case TAG_YCBCR_COEFFICIENTS:
            x.GetRationalItem(r.bYCbCrCoefficients, r.rYCbCrCoefficients, &m_s, Count(e.count, 3),
                              rel);
            break;
        case TAG_REFERENCE_BLACK_WHITE:
            x.GetRationalItem(r.bReferenceBlackWhite, r.rReferenceBlackWhite, &m_s,
                              Count(e.count, 6), rel);
            break;
        case TAG_DATE_TIME:
            DateRule(e, r.bDateTime, r.tmDateTime);
            break;
        case TAG_COPYRIGHT:
            x.GetDoubleStringItem(r.bCopyrightPhotographer, r.bCopyrightEditor,
                                  r.strCopyrightPhotographer, r.strCopyrightEditor, &m_s, n, rel,
                                  field);
            break;
        default:
            break;
    }
}

namespace {

// Exif-directory items held as one rational, and as one 16-bit value.
struct RationalItem {
    int tag;
    int SExifProperty::*flag;
    tagRATIONAL SExifProperty::*value;
};
struct ShortItem {
    int tag;
    int SExifProperty::*flag;
    short SExifProperty::*value;
};

const RationalItem kExifRationals[] = {
    {TAG_EXPOSURE_TIME, &SExifProperty::bExposureTime, &SExifProperty::rExposureTime},
    {TAG_F_NUMBER, &SExifProperty::bFNumber, &SExifProperty::rFNumber},
    {TAG_COMPRESSED_BITS_PER_PIXEL, &SExifProperty::bCompressedBitsPerPixel,
     &SExifProperty::rCompressedBitsPerPixel},
    {TAG_SHUTTER_SPEED_VALUE, &SExifProperty::bShutterSpeedValue,
     &SExifProperty::rShutterSpeedValue},
    {TAG_APERTURE_VALUE, &SExifProperty::bApertureValue, &SExifProperty::rApertureValue},
    {TAG_BRIGHTNESS_VALUE, &SExifProperty::bBrightnessValue, &SExifProperty::rBrightnessValue},
    {TAG_EXPOSURE_BIAS_VALUE, &SExifProperty::bExposureBiasValue,
     &SExifProperty::rExposureBiasValue},
    {TAG_MAX_APERTURE_VALUE, &SExifProperty::bMaxApertureValue, &SExifProperty::rMaxApertureValue},
    {TAG_SUBJECT_DISTANCE, &SExifProperty::bSubjectDistance, &SExifProperty::rSubjectDistance},
    {TAG_FOCAL_LENGTH, &SExifProperty::bFocalLength, &SExifProperty::rFocalLength},
    {TAG_FOCAL_PLANE_X_RESOLUTION, &SExifProperty::bFocalPlaneXResolution,
     &SExifProperty::rFocalPlaneXResolution},
    {TAG_FOCAL_PLANE_Y_RESOLUTION, &SExifProperty::bFocalPlaneYResolution,
     &SExifProperty::rFocalPlaneYResolution},
    {TAG_EXPOSURE_INDEX, &SExifProperty::bExposureIndex, &SExifProperty::rExposureIndex},
};

const ShortItem kExifShorts[] = {
    {TAG_EXPOSURE_PROGRAM, &SExifProperty::bExposureProgram, &SExifProperty::nExposureProgram},
    {TAG_METERING_MODE, &SExifProperty::bMeteringMode, &SExifProperty::nMeteringMode},
    {TAG_LIGHT_SOURCE, &SExifProperty::bLightSource, &SExifProperty::nLightSource},
    {TAG_FLASH, &SExifProperty::bFlash, &SExifProperty::nFlash},
    {TAG_COLOR_SPACE, &SExifProperty::bColorSpace, &SExifProperty::nColorSpace},
    {TAG_FOCAL_PLANE_RESOLUTION_UNIT, &SExifProperty::bFocalPlaneResolutionUnit,
     &SExifProperty::nFocalPlaneResolutionUnit},
    {TAG_SENSING_METHOD, &SExifProperty::bSensingMethod, &SExifProperty::nSensingMethod},
};

}  // namespace

void CExif::ReadPass::DecodeExif(const Entry& e, int j) {
    SExifProperty& r = m_prop;
    CExif& x = m_exif;
    unsigned char field[4] = {e.field[0], e.field[1], e.field[2], e.field[3]};
    for (const RationalItem& item : kExifRationals)
        if (item.tag == e.tag) {
            x.GetRationalItem(r.*item.flag, &(r.*item.value), &m_s, Count(e.count, 1),
                              Rel(e.value));
            return;
        }
    for (const ShortItem& item : kExifShorts)
        if (item.tag == e.tag) {
            x.GetShortItem(r.*item.flag, r.*item.value, &m_s, field);
            return;
        }
    switch (e.tag) {
        case TAG_ISO_SPEED_RATINGS:
            r.nISOSpeedRatings[0] = static_cast<short>(x.BYTEtoLONG(field, 2));
            r.nISOSpeedRatings[1] = static_cast<short>(x.BYTEtoLONG(field + 2, 2));
            r.bISOSpeedRatings = 1;
            break;
        case TAG_EXIF_VERSION:
            std::copy(field, field + 4, r.szExifVersion);
            r.szExifVersion[4] = 0;
            r.bExifVersion = 1;
            break;
        case TAG_FLASHPIX_VERSION:
            std::copy(field, field + 4, r.szFlashpixVersion);
            r.szFlashpixVersion[4] = 0;
            r.bFlashpixVersion = 1;
            break;
        case TAG_COMPONENTS_CONFIGURATION:
            std::copy(field, field + 4, r.byComponentsConfiguration);
            r.bComponentsConfiguration = 1;
            break;
        case TAG_DATE_TIME_ORIGINAL:
            DateRule(e, r.bDateTimeOriginal, r.tmDateTimeOriginal);
            break;
        case TAG_DATE_TIME_DIGITIZED:
            DateRule(e, r.bDateTimeDigitized, r.tmDateTimeDigitized);
            break;
        case TAG_USER_COMMENT:
            CommentRule(e, r.bUserComment, r.strUserComment);
            break;
        case TAG_PIXEL_X_DIMENSION:
            r.nPixelXDimension =
                static_cast<int>(x.BYTEtoLONG(field, e.type == TYPE_SHORT ? 2 : 4));
            r.bPixelXDimension = 1;
            break;
        case TAG_PIXEL_Y_DIMENSION:
            r.nPixelYDimension =
                static_cast<int>(x.BYTEtoLONG(field, e.type == TYPE_SHORT ? 2 : 4));
            r.bPixelYDimension = 1;
            break;
        case TAG_RELATED_SOUND_FILE:
            x.GetStringItem(r.bRelatedSoundFile, r.strRelatedSoundFile, &m_s, Count(e.count),
                            Rel(e.value), field);
            break;
        case TAG_INTEROP_POINTER:
            ReadInterop(e, j);
            break;
        case TAG_FILE_SOURCE:
            r.byFileSource = field[0];
            r.bFileSource = 1;
            break;
        case TAG_SCENE_TYPE:
            r.bySceneType = field[0];
            r.bSceneType = 1;
            break;
        default:
            break;
    }
}

void CExif::ReadPass::ReadInterop(const Entry& e, int j) {
    if (j < 0 || !ValueAt(e.value, 1)) return;
    // A protected step: a broken Interoperability directory costs only its own entries.
    const int64_t saved = Pos();
    try {
        WalkSubDirectory(e.value, [this, j](const Entry& ie) { Add(j, ie); });
    } catch (...) {
    }
    Restore(saved);
}

void CExif::ReadExif(CInBitStream* pStream, int nLength, SExifProperty* pProp) {
    ResetForRead();
    pProp->szGPSMapDatum[0] = 0;
    pProp->bGPS = 0;
    pProp->bGPSPosition = 0;
    pProp->bGPSAltitude = 0;
    pProp->bGPSMapDatum = 0;
    pProp->bGPSImgDirection = 0;

    ReadPass r(*this, *pStream, *pProp);
    WithBufferErrors([&] {
        r.ReadHeader();
        int dir = DIR_IFD0;
        do {
            const int n = r.ReadCount();
            for (int i = 0; i < n; ++i) {
                const ReadPass::Entry e = r.ReadEntry();
                if (dir == DIR_IFD1) {
                    r.ThumbnailRule(e);
                    r.Add(dir, e);
                } else if (dir != DIR_IFD0) {
                    r.Add(dir, e);
                } else if (e.tag == TAG_EXIF_POINTER || e.tag == TAG_GPS_POINTER) {
                    int k;
                    const uint32_t offset = r.AddPointer(e, k);
                    if (offset == 0) continue;
                    if (e.tag == TAG_GPS_POINTER) {
                        r.WalkSubDirectory(offset, [&r, k](const ReadPass::Entry& se) {
                            r.Add(k, se);
                            r.GpsEntry(se, false);
                        });
                        r.FinishGps(true);
                    } else {
                        r.WalkSubDirectory(offset, [&r, k](const ReadPass::Entry& se) {
                            r.DecodeExif(se, r.Add(k, se));
                        });
                    }
                } else {
                    r.DecodeIfd0(e);
                    r.Add(dir, e);
                }
            }
        } while (r.NextDirectory(dir));
        r.ExtractThumbnail();
        r.Finish(nLength);
    });
}
