// The item getters and item rules that the full and the quick EXIF reader share: texts,
// copyright pairs, rationals, 16-bit values, degree triples, dates, user comments and the GPS
// entries. Each rule reads a value only once its whole run lies inside the reader's buffer;
// a value that does not is skipped and its flag left as it was.
//
// User comments come in three codes: ASCII (or undefined) kept as stored, JIS converted to
// Shift-JIS by nkf, and UNICODE (UTF-16, little-endian units whatever the block's order)
// converted to Shift-JIS (CP932) by foundation/TextCodec.h, a character without a Shift-JIS form
// becoming "?".
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "exif/ExifReadPass.h"
#include "foundation/TextCodec.h"
#include "photogeo/Nkf.h"

namespace {

// Minutes and seconds of arc in degrees (the nearest doubles to 1/60 and 1/3600).
constexpr double kDegreesPerMinute = 0.016666666666666666;
constexpr double kDegreesPerSecond = 0.0002777777777777778;

// A user comment opens with 8 bytes naming its character code; anything else (ASCII, or
// undefined) is kept as stored.
enum class CommentCode { kAscii, kJis, kUnicode };
constexpr size_t kCommentCodeSize = 8;
constexpr char kCodeJis[kCommentCodeSize + 1] = "JIS\0\0\0\0\0";
constexpr char kCodeUnicode[kCommentCodeSize + 1] = "UNICODE\0";

// The text of nLength bytes at p up to its first NUL.
std::string TextUpToNul(const unsigned char* p, size_t nLength) {
    const void* nul = std::memchr(p, 0, nLength);
    const size_t n = nul ? static_cast<const unsigned char*>(nul) - p : nLength;
    return std::string(reinterpret_cast<const char*>(p), n);
}

}  // namespace

int CExif::CheckOffsetAddr(int32_t nOffset, CInBitStream* pStream) {
    return photogeo::exif::SpanAt(*pStream, nOffset, 1) ? 1 : 0;
}

void CExif::GetStringItem(int& bFlag, CString& str, CInBitStream* pStream, int nCount, int nOffset,
                          unsigned char* const pField) {
    if (nCount < 0) return;
    const unsigned char* p =
        nCount > 4 ? photogeo::exif::SpanAt(*pStream, nOffset, nCount) : pField;
    if (!p) return;
    str = TextUpToNul(p, nCount).c_str();
    bFlag = 1;
}

void CExif::GetDoubleStringItem(int& bFlag1, int& bFlag2, CString& str1, CString& str2,
                                CInBitStream* pStream, int nCount, int nOffset,
                                unsigned char* const pField) {
    str2.Empty();
    bFlag1 = 0;
    bFlag2 = 0;
    if (nCount < 0) return;
    const unsigned char* p =
        nCount > 4 ? photogeo::exif::SpanAt(*pStream, nOffset, nCount) : pField;
    if (!p) return;
    const std::string first = TextUpToNul(p, nCount);
    str1 = first.c_str();
    const size_t rest = first.size() + 1;
    if (rest < static_cast<size_t>(nCount)) {
        str2 = TextUpToNul(p + rest, nCount - rest).c_str();
        bFlag2 = 1;
    }
    // A photographer part of a single space means "no photographer, editor only".
    bFlag1 = first != " " ? 1 : 0;
}

void CExif::GetRationalItem(int& bFlag, tagRATIONAL* pDst, CInBitStream* pStream, int nCount,
                            int nOffset) {
    if (nCount < 0) return;
    const int64_t bytes = 8 * static_cast<int64_t>(nCount);
    const unsigned char* p = photogeo::exif::SpanAt(*pStream, nOffset, bytes > 0 ? bytes : 1);
    if (!p) return;
    for (int i = 0; i < nCount; ++i) {
        pDst[i].nNumerator = static_cast<int32_t>(BYTEtoLONG(p + 8 * i, 4));
        pDst[i].nDenominator = static_cast<int32_t>(BYTEtoLONG(p + 8 * i + 4, 4));
    }
    bFlag = 1;
}

void CExif::GetShortItem(int& bFlag, short& nDst, CInBitStream*, unsigned char* const pField) {
    nDst = static_cast<short>(BYTEtoLONG(pField, 2));
    bFlag = 1;
}

double CExif::GetLatLonItem(CInBitStream* pStream) {
    const unsigned char* p = photogeo::exif::SpanAt(*pStream, 0, 24);
    if (!p) throw EBufferError(photogeo::exif::kErrCopyByte);
    const photogeo::tiff::ByteOrder order = photogeo::tiff::OrderOf(pStream->m_bIntel);
    double part[3];
    for (int i = 0; i < 3; ++i) {
        const double num = photogeo::tiff::Load32(p + 8 * i, order);
        const double den = photogeo::tiff::Load32(p + 8 * i + 4, order);
        part[i] = num / den;
    }
    pStream->m_pCur += 24;
    return part[0] + part[1] * kDegreesPerMinute + part[2] * kDegreesPerSecond;
}

void CExif::ReadPass::DateRule(const Entry& e, int& bFlag, CTime& tm) {
    const unsigned char* p = ValueAt(e.value, 20);
    if (!p) return;
    // One byte more than the text, so that the seconds end in a NUL even when the block's
    // text does not.
    char text[21] = {};
    std::memcpy(text, p, 20);
    if (text[0] == 0) return;
    text[4] = text[7] = text[10] = text[13] = text[16] = 0;
    tm = CTime(std::atoi(text), std::atoi(text + 5), std::atoi(text + 8), std::atoi(text + 11),
               std::atoi(text + 14), std::atoi(text + 17), -1);
    bFlag = 1;
}

void CExif::ReadPass::CommentRule(const Entry& e, int& bFlag, CString& str) {
    const uint32_t count = e.count;
    if (count < kCommentCodeSize) return;
    const unsigned char* p = ValueAt(e.value, count);
    if (!p) return;
    CommentCode code = CommentCode::kAscii;
    if (std::memcmp(p, kCodeJis, kCommentCodeSize) == 0)
        code = CommentCode::kJis;
    else if (std::memcmp(p, kCodeUnicode, kCommentCodeSize) == 0)
        code = CommentCode::kUnicode;
    std::vector<unsigned char> text(p + kCommentCodeSize, p + count);
    text.push_back(0);
    if (code == CommentCode::kJis) {
        // count lies inside the buffer, so twice it plus two stays far below 2^31.
        std::vector<char> out(2 * static_cast<size_t>(count) + 2, 0);
        nkf(text.data(), out.data(), static_cast<int>(out.size()), "s");
        out[out.size() - 1] = 0;
        str = out.data();
    } else if (code == CommentCode::kUnicode) {
        const size_t nUnits = (count - kCommentCodeSize) / 2;
        str = photogeo::foundation::Utf16LeToShiftJis(text.data(), nUnits).c_str();
    } else {
        str = reinterpret_cast<const char*>(text.data());
    }
    bFlag = 1;
}

void CExif::ReadPass::GpsEntry(const Entry& e, bool bQuick) {
    using namespace photogeo::exif;
    unsigned char* after = m_s.GetPosition();
    SExifProperty& r = m_prop;
    const int tag = e.tag;
    if (bQuick && !(tag >= GPS_LATITUDE_REF && tag <= GPS_ALTITUDE) &&
        tag != GPS_IMG_DIRECTION_REF && tag != GPS_IMG_DIRECTION && tag != GPS_MAP_DATUM)
        return;
    try {
        switch (tag) {
            case GPS_VERSION_ID:
                std::memcpy(r.byGPSVersionID, e.field, 4);
                r.bGPSVersionID = 1;
                break;
            case GPS_LATITUDE_REF:
                m_dLatSign = e.field[0] == 'N' ? 1.0 : -1.0;
                break;
            case GPS_DEST_LATITUDE_REF:
                m_dDestLatSign = e.field[0] == 'N' ? 1.0 : -1.0;
                break;
            case GPS_LONGITUDE_REF:
                m_dLonSign = e.field[0] == 'E' ? 1.0 : -1.0;
                break;
            case GPS_DEST_LONGITUDE_REF:
                m_dDestLonSign = e.field[0] == 'E' ? 1.0 : -1.0;
                break;
            case GPS_LATITUDE:
            case GPS_LONGITUDE:
            case GPS_DEST_LATITUDE:
            case GPS_DEST_LONGITUDE: {
                if (!m_exif.CheckOffsetAddr(Rel(e.value), &m_s)) break;
                m_s.PushSkip(Rel(e.value));
                const double degrees = m_exif.GetLatLonItem(&m_s);
                m_s.PopSkip();
                if (tag == GPS_LATITUDE) {
                    m_dLat = degrees;
                    r.bGPSPosition = 1;
                } else if (tag == GPS_LONGITUDE) {
                    m_dLon = degrees;
                } else {
                    (tag == GPS_DEST_LATITUDE ? m_dDestLat : m_dDestLon) = degrees;
                    r.bGPSDest = 1;
                }
                break;
            }
            case GPS_ALTITUDE_REF:
                m_nAltitudeRef = e.field[0];
                break;
            case GPS_ALTITUDE:
            case GPS_IMG_DIRECTION: {
                const unsigned char* p = ValueAt(e.value, 8);
                if (!p) break;
                const double q =
                    static_cast<double>(m_cur.Load32(p)) / static_cast<double>(m_cur.Load32(p + 4));
                if (tag == GPS_ALTITUDE) {
                    m_dAltitude = q;
                    r.bGPSAltitude = 1;
                } else {
                    m_dImgDirection = q;
                    r.bGPSImgDirection = 1;
                }
                break;
            }
            case GPS_TIME_STAMP:
                m_exif.GetRationalItem(r.bGPSTimeStamp, r.rGPSTimeStamp, &m_s, Count(e.count, 3),
                                       Rel(e.value));
                break;
            case GPS_DOP:
                m_exif.GetRationalItem(r.bGPSDOP, &r.rGPSDOP, &m_s, Count(e.count, 1),
                                       Rel(e.value));
                break;
            case GPS_SPEED:
                m_exif.GetRationalItem(r.bGPSSpeed, &r.rGPSSpeed, &m_s, Count(e.count, 1),
                                       Rel(e.value));
                break;
            case GPS_TRACK:
                m_exif.GetRationalItem(r.bGPSTrack, &r.rGPSTrack, &m_s, Count(e.count, 1),
                                       Rel(e.value));
                break;
            case GPS_DEST_BEARING:
                m_exif.GetRationalItem(r.bGPSDestBearing, &r.rGPSDestBearing, &m_s,
                                       Count(e.count, 1), Rel(e.value));
                break;
            case GPS_DEST_DISTANCE:
                m_exif.GetRationalItem(r.bGPSDestDistance, &r.rGPSDestDistance, &m_s,
                                       Count(e.count, 1), Rel(e.value));
                break;
            case GPS_SATELLITES: {
                const char text[4] = {static_cast<char>(e.field[0]), static_cast<char>(e.field[1]),
                                      static_cast<char>(e.field[2]), 0};
                r.strGPSSatellites = text;
                r.bGPSSatellites = 1;
                break;
            }
            case GPS_STATUS:
                std::memcpy(r.szGPSStatus, e.field, 2);
                r.bGPSStatus = 1;
                break;
            case GPS_MEASURE_MODE:
                std::memcpy(r.szGPSMeasureMode, e.field, 2);
                r.bGPSMeasureMode = 1;
                break;
            case GPS_SPEED_REF:
                std::memcpy(r.szGPSSpeedRef, e.field, 2);
                r.bGPSSpeedRef = 1;
                break;
            case GPS_TRACK_REF:
                std::memcpy(r.szGPSTrackRef, e.field, 2);
                r.bGPSTrackRef = 1;
                break;
            case GPS_IMG_DIRECTION_REF:
                std::memcpy(r.szGPSImgDirectionRef, e.field, 2);
                r.bGPSImgDirectionRef = 1;
                break;
            case GPS_DEST_BEARING_REF:
                std::memcpy(r.szGPSDestBearingRef, e.field, 2);
                r.bGPSDestBearingRef = 1;
                break;
            case GPS_DEST_DISTANCE_REF:
                std::memcpy(r.szGPSDestDistanceRef, e.field, 2);
                r.bGPSDestDistanceRef = 1;
                break;
            case GPS_MAP_DATUM: {
                // A datum of four bytes or fewer sits in the value field itself. At most 79
                // bytes are kept, so that the text always ends in NUL inside the field.
                const unsigned char* p = e.count <= 4 ? e.field : ValueAt(e.value, e.count);
                if (!p) break;
                const size_t n =
                    e.count < sizeof(r.szGPSMapDatum) ? e.count : sizeof(r.szGPSMapDatum) - 1;
                std::memset(r.szGPSMapDatum, 0, sizeof(r.szGPSMapDatum));
                std::memcpy(r.szGPSMapDatum, p, n);
                r.bGPSMapDatum = 1;
                break;
            }
            default:
                break;
        }
    } catch (...) {
        m_s.SetPosition(after);
    }
}
