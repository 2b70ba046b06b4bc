// CExif::RewriteData: applies a property record, as the host edited it, to the entry table
// before the coder writes the table out (WriteExif) or patches a block in place
// (OverwriteGPS). It builds a minimal directory when nothing was read, makes sure an Exif
// sub-directory exists, stamps dates, and creates, updates or deletes the GPS, copyright,
// software, shooting-time, title, comment and pixel-size entries. It reads and writes no file.
//
// Numbers derived from doubles are truncated toward zero as 32-bit integers; a value that has
// no 32-bit form (NaN, out of range) becomes 0x80000000 (INT32_MIN), the "integer
// indefinite" value that a hardware double-to-int conversion gives.
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "exif/ExifTables.h"
#include "photogeo/Exif.h"

namespace {

int32_t Truncate(double d) {
    if (!(d > -2147483649.0 && d < 2147483648.0)) return INT32_MIN;
    return static_cast<int32_t>(d);
}

// A text and its NUL as entry bytes.
std::vector<unsigned char> WithNul(const char* text, size_t length) {
    std::vector<unsigned char> v(text, text + length);
    v.push_back(0);
    return v;
}

std::vector<unsigned char> DateText(const CTime& time) {
    const CString text = time.Format(photogeo::exif::kDateFormat);
    std::vector<unsigned char> v(photogeo::exif::kDateCount, 0);
    const size_t n =
        static_cast<size_t>(text.GetLength()) < v.size() - 1 ? text.GetLength() : v.size() - 1;
    std::memcpy(v.data(), static_cast<const char*>(text), n);
    return v;
}

}  // namespace

void CExif::RewriteData(SExifProperty prop, CTime time, const char* pszName, int bDate,
                        int bWriteGPS) {
    using namespace photogeo::exif;
    const std::vector<unsigned char> stamp = DateText(time);
    auto count = [](const std::vector<unsigned char>& v) { return static_cast<int>(v.size()); };
    // To set: find the entry, or add it zero-filled with the given type and count.
    auto set = [this](int parent, int tag, int type, int n) {
        const int i = GetTag(parent, tag);
        return i >= 0 ? i : AddDirect(parent, tag, type, n, nullptr);
    };
    // To store: replace the entry's type, count and value in place, or add it.
    auto store = [this](int parent, int tag, int type, std::vector<unsigned char> value) {
        const int n = static_cast<int>(value.size());
        const int i = GetTag(parent, tag);
        if (i < 0)
            AddDirect(parent, tag, type, n, value.data());
        else
            RewriteDirect(i, parent, tag, type, n, value.data());
    };
    auto text = [](const CString& s) { return WithNul(s, s.GetLength()); };

    if (!m_bReadExif) {
        m_bIntel = 1;
        const char* name = pszName ? pszName : "";
        std::vector<unsigned char> v = WithNul(name, std::strlen(name));
        AddDirect(DIR_IFD0, TAG_IMAGE_DESCRIPTION, TYPE_ASCII, count(v), v.data());
        v.assign(kNewMake, kNewMake + sizeof(kNewMake));
        AddDirect(DIR_IFD0, TAG_MAKE, TYPE_ASCII, count(v), v.data());
        CString model;
        model.Format(kNewModelFormat, kNewModelMajor, kNewModelMinor);
        v = text(model);
        AddDirect(DIR_IFD0, TAG_MODEL, TYPE_ASCII, count(v), v.data());
        v = stamp;
        AddDirect(DIR_IFD0, TAG_DATE_TIME, TYPE_ASCII, count(v), v.data());
    }

    if (m_nExifEntry == -1) {
        m_nExifEntry = AddDirect(DIR_IFD0, TAG_EXIF_POINTER, TYPE_LONG, 1, nullptr);
        std::vector<unsigned char> v = stamp;
        AddDirect(m_nExifEntry, TAG_DATE_TIME_ORIGINAL, TYPE_ASCII, count(v), v.data());
        AddDirect(m_nExifEntry, TAG_DATE_TIME_DIGITIZED, TYPE_ASCII, count(v), v.data());
        v.assign(kNewExifVersion, kNewExifVersion + 4);
        AddDirect(m_nExifEntry, TAG_EXIF_VERSION, TYPE_UNDEFINED, 4, v.data());
    }
    const int exifDir = m_nExifEntry;

    if (m_bReadExif && bDate) {
        for (SExifEntry& e : m_aEntry) {
            const bool date = (e.nParent == DIR_IFD0 && e.nTag == TAG_DATE_TIME) ||
                              (e.nParent == exifDir && e.nTag == TAG_DATE_TIME_ORIGINAL);
            if (!date || !e.pData) continue;
            std::memcpy(e.pData, stamp.data(), e.nSize < kDateCount ? e.nSize : kDateCount);
        }
    }

    if (bWriteGPS) {
        if (m_nGPSEntry == -1 && (prop.bGPSPosition || prop.bGPSAltitude || prop.bGPSMapDatum)) {
            m_nGPSEntry = AddDirect(DIR_IFD0, TAG_GPS_POINTER, TYPE_LONG, 1, nullptr);
            unsigned char version[4] = {kGpsVersion[0], kGpsVersion[1], kGpsVersion[2],
                                        kGpsVersion[3]};
            AddDirect(m_nGPSEntry, GPS_VERSION_ID, TYPE_BYTE, 4, version);
        }
        const int g = m_nGPSEntry;
        if (g >= 0) {
            if (prop.bGPSPosition) {
                // Whole degrees, minutes with three decimals, seconds 0/1; the minutes may
                // round up to 60.000 without carrying into the degrees.
                auto position = [&](int refTag, int tag, double value, char positive,
                                    char negative) {
                    const int ref = set(g, refTag, TYPE_ASCII, 2);
                    SetDirEntry(static_cast<unsigned char>(value < 0.0 ? negative : positive), ref,
                                0, 1);
                    const double a = std::fabs(value);
                    const int32_t d = Truncate(a);
                    const int32_t m = Truncate((a - d) * 60000.0 + 0.5);
                    const int i = set(g, tag, TYPE_RATIONAL, 3);
                    const uint32_t parts[6] = {
                        static_cast<uint32_t>(d), 1, static_cast<uint32_t>(m), 1000, 0, 1};
                    for (int k = 0; k < 6; ++k) SetDirEntry(parts[k], i, 4 * k, 4);
                };
                position(GPS_LATITUDE_REF, GPS_LATITUDE, prop.dGPSLatitude, 'N', 'S');
                position(GPS_LONGITUDE_REF, GPS_LONGITUDE, prop.dGPSLongitude, 'E', 'W');
            } else {
                for (int tag : {GPS_LATITUDE_REF, GPS_LATITUDE, GPS_LONGITUDE_REF, GPS_LONGITUDE})
                    DeleteTag(g, tag);
            }
            if (prop.bGPSAltitude) {
                SetDirEntry(0, set(g, GPS_ALTITUDE_REF, TYPE_BYTE, 1), 0, 1);
                const int i = set(g, GPS_ALTITUDE, TYPE_RATIONAL, 1);
                const int32_t metres = prop.dGPSAltitude > 0.0 ? Truncate(prop.dGPSAltitude) : 0;
                SetDirEntry(static_cast<uint32_t>(metres), i, 0, 4);
                SetDirEntry(1, i, 4, 4);
            } else {
                DeleteTag(g, GPS_ALTITUDE_REF);
                DeleteTag(g, GPS_ALTITUDE);
            }
            if (prop.bGPSMapDatum)
                store(g, GPS_MAP_DATUM, TYPE_ASCII,
                      WithNul(prop.szGPSMapDatum,
                              strnlen(prop.szGPSMapDatum, sizeof(prop.szGPSMapDatum))));
            else
                DeleteTag(g, GPS_MAP_DATUM);
            if (prop.bGPSImgDirection) {
                const char ref = prop.szGPSImgDirectionRef[0] == 'M' ? 'M' : 'T';
                SetDirEntry(static_cast<unsigned char>(ref),
                            set(g, GPS_IMG_DIRECTION_REF, TYPE_ASCII, 2), 0, 1);
                const int i = set(g, GPS_IMG_DIRECTION, TYPE_RATIONAL, 1);
                SetDirEntry(static_cast<uint32_t>(Truncate(prop.dGPSImgDirection * 100.0)), i, 0,
                            4);
                SetDirEntry(100, i, 4, 4);
            } else {
                DeleteTag(g, GPS_IMG_DIRECTION_REF);
                DeleteTag(g, GPS_IMG_DIRECTION);
            }
        }
    }

    const bool hasP = prop.bCopyrightPhotographer && !prop.strCopyrightPhotographer.IsEmpty();
    const bool hasE = prop.bCopyrightEditor && !prop.strCopyrightEditor.IsEmpty();
    if (hasP || hasE) {
        // The photographer part and its NUL (a lone space when only an editor is named), then
        // the editor part and its NUL.
        std::vector<unsigned char> v =
            hasP ? text(prop.strCopyrightPhotographer) : std::vector<unsigned char>{' ', 0};
        if (hasE) {
            const std::vector<unsigned char> e = text(prop.strCopyrightEditor);
            v.insert(v.end(), e.begin(), e.end());
        }
        store(DIR_IFD0, TAG_COPYRIGHT, TYPE_ASCII, v);
    } else {
        DeleteTag(DIR_IFD0, TAG_COPYRIGHT);
    }

    if (prop.bSoftware)
        store(DIR_IFD0, TAG_SOFTWARE, TYPE_ASCII, text(prop.strSoftware));
    else
        DeleteTag(DIR_IFD0, TAG_SOFTWARE);

    if (prop.bDateTimeOriginal)
        store(exifDir, TAG_DATE_TIME_ORIGINAL, TYPE_ASCII, DateText(prop.tmDateTimeOriginal));
    else
        DeleteTag(exifDir, TAG_DATE_TIME_ORIGINAL);

    if (prop.bImageDescription)
        store(DIR_IFD0, TAG_IMAGE_DESCRIPTION, TYPE_ASCII, text(prop.strImageDescription));
    else
        DeleteTag(DIR_IFD0, TAG_IMAGE_DESCRIPTION);

    if (prop.bUserComment) {
        std::vector<unsigned char> v(8, 0);
        const std::vector<unsigned char> t = text(prop.strUserComment);
        v.insert(v.end(), t.begin(), t.end());
        store(exifDir, TAG_USER_COMMENT, TYPE_UNDEFINED, v);
    } else {
        DeleteTag(exifDir, TAG_USER_COMMENT);
    }

    if (prop.bPixelXDimension)
        SetDirEntry(static_cast<uint32_t>(prop.nPixelXDimension),
                    set(exifDir, TAG_PIXEL_X_DIMENSION, TYPE_LONG, 1), 0, 4);
    else
        DeleteTag(exifDir, TAG_PIXEL_X_DIMENSION);
    if (prop.bPixelYDimension)
        SetDirEntry(static_cast<uint32_t>(prop.nPixelYDimension),
                    set(exifDir, TAG_PIXEL_Y_DIMENSION, TYPE_LONG, 1), 0, 4);
    else
        DeleteTag(exifDir, TAG_PIXEL_Y_DIMENSION);
}
