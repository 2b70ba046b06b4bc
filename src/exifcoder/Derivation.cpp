// Values derived from the property record: the magnetic variation at the photograph's place and
// time (through the exported GetMagVar of the magnetic model), the photograph's bearing from
// true north, and AnalysisDate, which stamps the record's shooting time over the date texts of
// an EXIF block in memory (for classes that the host derives from the coder).
#include <cstdint>
#include <cstring>

#include "exif/ExifTables.h"
#include "photogeo/ExifIfdCoder.h"
#include "photogeo/MagVar.h"
#include "tiff/TiffCursor.h"

namespace {

namespace tiff = photogeo::tiff;

// The walk of AnalysisDate: a TIFF cursor over the block, with the stream's rule that a 16-bit
// read fails once the stream has reached its end, even after moving back (the data flag).
struct DateWalk {
    tiff::Cursor m_cursor;
    bool m_data;

    void Reached() {
        if (m_cursor.Pos() == m_cursor.Size()) m_data = false;
    }
    uint16_t Word() {
        if (!m_data) throw tiff::Error(tiff::Fault::kRead16);
        const uint16_t v = m_cursor.Read16();
        Reached();
        return v;
    }
    uint32_t Long() {
        const uint32_t v = m_cursor.Read32();
        Reached();
        return v;
    }
    void Seek(int64_t offset) {
        m_cursor.Seek(offset);
        Reached();
    }

    // Walks the directory at the cursor and writes the date text over the value of every
    // entry tagged dateTag whose 20 bytes lie inside the block. Returns the value of the last
    // entry tagged pointerTag, or -1. Types and counts are not examined.
    int64_t StampDirectory(unsigned char* top, int dateTag, int pointerTag, const char* text) {
        int64_t pointer = -1;
        const int n = Word();
        for (int i = 0; i < n; ++i) {
            const int tag = Word();
            Word();  // type
            Long();  // count
            const uint32_t value = Long();
            if (tag == dateTag && m_cursor.Span(value, photogeo::exif::kDateCount))
                std::memcpy(top + value, text, photogeo::exif::kDateCount);
            if (tag == pointerTag) pointer = value;
        }
        return pointer;
    }
};

}  // namespace

double CExifIfdCoder::GetMagVar() {
    const SExifProperty& p = m_Property;
    if (!p.bGPSPosition) return 0.0;
    CTime when = p.bDateTimeOriginal ? p.tmDateTimeOriginal : CTime::GetCurrentTime();
    double height = p.bGPSAltitude ? p.dGPSAltitude : 0.0;
    return ::GetMagVar(p.dGPSLatitude, p.dGPSLongitude, height, when.GetTime());
}

double CExifIfdCoder::GetTrueDir() {
    const SExifProperty& p = m_Property;
    if (!p.bGPSImgDirection) return 0.0;
    if (p.bGPSImgDirectionRef && p.szGPSImgDirectionRef[0] == 'M') {
        // The variation is subtracted: in Japan, where it is about -7 degrees, this adds about
        // 7. A result below 0 is returned as it is.
        double v = p.dGPSImgDirection - GetMagVar();
        if (v >= 360.0) v -= 360.0;
        return v;
    }
    return p.dGPSImgDirection;
}

void CExifIfdCoder::AnalysisDate(int nEndPos) {
    if (!m_pStream) return;
    CInBitStream& in = *m_pStream;
    const CString date = m_Property.tmDateTimeOriginal.Format(photogeo::exif::kDateFormat);
    char text[photogeo::exif::kDateCount] = {};
    std::strncpy(text, date, photogeo::exif::kDateCount - 1);

    unsigned char* const top = in.GetPosition();
    DateWalk w{tiff::Cursor(top, in.m_pEnd - top, tiff::OrderOf(in.m_bIntel)), in.m_bData != 0};
    // The stream stands where the walk does, with its data flag, when the walk ends or fails.
    auto hand = [&]() {
        in.m_pCur = top + w.m_cursor.Pos();
        if (!w.m_data) in.m_bData = 0;
    };
    try {
        // The mark is read big-endian, as a 16-bit read of the stream.
        if (!w.m_data) throw tiff::Error(tiff::Fault::kRead16);
        const uint16_t mark = w.m_cursor.ReadMark();
        w.Reached();
        if (mark == tiff::kMarkBigEndian || mark == tiff::kMarkLittleEndian)
            in.m_bIntel = w.m_cursor.LittleEndian() ? 1 : 0;
        const uint32_t ifd0 = w.Long();
        if (ifd0 > tiff::kHeaderSize) w.Seek(ifd0);
        const int64_t exifDir = w.StampDirectory(top, photogeo::exif::TAG_DATE_TIME,
                                                 photogeo::exif::TAG_EXIF_POINTER, text);
        if (exifDir >= 0) {
            w.Seek(exifDir);
            w.StampDirectory(top, photogeo::exif::TAG_DATE_TIME_ORIGINAL, -1, text);
        }
    } catch (const tiff::Error& e) {
        hand();
        throw EBufferError(photogeo::exif::BufferErrorText(e.fault()));
    }
    hand();
    // The last move is the stream's own: nEndPos may lie anywhere in the stream's buffer.
    const int64_t step = static_cast<int64_t>(nEndPos) - w.m_cursor.Pos();
    if (step < INT32_MIN || step > INT32_MAX) throw EBufferError(photogeo::exif::kErrSkipByte);
    in.SkipByte(static_cast<int>(step));
}
