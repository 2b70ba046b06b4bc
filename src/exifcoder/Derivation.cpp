// Values derived from the property record: the magnetic variation at the photograph's place and
// time (through the exported GetMagVar of the magnetic model), the photograph's bearing from
// true north, and AnalysisDate, which stamps the record's shooting time over the date texts of
// an EXIF block in memory (for classes that the host derives from the coder).
#include <cstdint>
#include <cstring>

#include "photogeo/ExifIfdCoder.h"
#include "photogeo/MagVar.h"

namespace {

// The EXIF date text: "YYYY:MM:DD HH:MM:SS" and its NUL.
constexpr int kDateTextSize = 20;

// A 16- or 32-bit number of the block in its own byte order.
int ReadWord(CInBitStream& in) {
    return in.m_bIntel ? in.GetWordLE() : in.GetWord();
}

uint32_t ReadLong(CInBitStream& in) {
    unsigned char b[4];
    if (in.m_bIntel)
        in.CopyByteForward(b, 4);
    else
        in.CopyByteReverse(b, 4);
    // b now holds the number little-endian, whatever the block's order.
    return static_cast<uint32_t>(b[0]) | static_cast<uint32_t>(b[1]) << 8 |
           static_cast<uint32_t>(b[2]) << 16 | static_cast<uint32_t>(b[3]) << 24;
}

// Moves the reader from block offset p to block offset target.
void MoveTo(CInBitStream& in, int64_t& p, int64_t target) {
    int64_t step = target - p;
    if (step < INT32_MIN || step > INT32_MAX) throw EBufferError("SkipByte");
    in.SkipByte(static_cast<int>(step));
    p = target;
}

// Walks the directory at the reader (block offset p, block starting at top) and writes the date
// text over the value of every entry tagged dateTag, where all its 20 bytes lie inside the
// block. Returns the value of the last entry tagged pointerTag, or -1.
int64_t StampDirectory(CInBitStream& in, unsigned char* top, int64_t& p, int dateTag,
                       int pointerTag, const char* text) {
    int64_t pointer = -1;
    int n = ReadWord(in);
    p += 2;
    for (int i = 0; i < n; ++i) {
        int tag = ReadWord(in);
        ReadWord(in);
        ReadLong(in);
        uint32_t value = ReadLong(in);
        p += 12;
        uint64_t room = static_cast<uint64_t>(in.m_pEnd - top);
        if (tag == dateTag && value <= room && room - value >= kDateTextSize)
            std::memcpy(top + value, text, kDateTextSize);
        if (tag == pointerTag) pointer = value;
    }
    return pointer;
}

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
    CString date = m_Property.tmDateTimeOriginal.Format("%Y:%m:%d %H:%M:%S");
    char text[kDateTextSize] = {};
    std::strncpy(text, date, kDateTextSize - 1);

    unsigned char* top = in.GetPosition();
    int mark = in.GetWord();
    in.SkipByte(2);
    if (mark == 0x4D4D)
        in.m_bIntel = 0;
    else if (mark == 0x4949)
        in.m_bIntel = 1;

    uint32_t ifd0 = ReadLong(in);
    int64_t p = 8;
    if (ifd0 > 8) MoveTo(in, p, ifd0);
    int64_t exif = StampDirectory(in, top, p, 0x0132, 0x8769, text);
    if (exif >= 0) {
        MoveTo(in, p, exif);
        StampDirectory(in, top, p, 0x9003, -1, text);
    }
    MoveTo(in, p, nEndPos);
}
