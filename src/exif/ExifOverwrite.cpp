// CExif::OverwriteGPS: patches an existing TIFF block in place with entries of the table, after
// RewriteData has applied the record to it. The block keeps its size and layout: only the
// type, count and value bytes of the title, copyright, shooting time, comment and GPS entries
// change, and only where the block already gives the new value room. The coder calls it with a
// reader standing on the block's first byte inside its whole-file buffer, then writes the
// buffer back.
//
// Room is judged by the counts, as the format always has: an entry whose value lies at an
// offset takes a new value of no more values than it has; the GPS references held in the value
// field take a new value of exactly as many. A new value that would have to go to an offset is
// also refused when the block's own value is held in the value field (there is no offset to
// write at) or is shorter in bytes, and a value whose offset lies outside the reader's buffer
// is left alone: nothing is ever written outside the block's own value.
#include <cstring>

#include "exif/ExifSpan.h"
#include "exif/ExifTables.h"
#include "photogeo/Exif.h"

namespace {

// The walk over the block: reads at the reader's position, bounded by its buffer.
struct BlockWalk {
    CInBitStream& s;
    unsigned char* base;

    int64_t Pos() const { return s.m_pCur - base; }
    unsigned char* Take(int n, const char* what) {
        unsigned char* p = exif::SpanAt(s, 0, n);
        if (!p) throw EBufferError(what);
        s.m_pCur += n;
        return p;
    }
    int Read16() {
        const unsigned char* p = Take(2, exif::kErrGetWord);
        return s.m_bIntel ? p[0] | (p[1] << 8) : (p[0] << 8) | p[1];
    }
    uint32_t Read32() {
        const unsigned char* p = Take(4, exif::kErrCopyByte);
        if (s.m_bIntel)
            return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
        return (static_cast<uint32_t>(p[0]) << 24) | (p[1] << 16) | (p[2] << 8) | p[3];
    }
    void SeekTo(int64_t offset) {
        const int64_t delta = offset - Pos();
        if (delta < INT32_MIN || delta > INT32_MAX) throw EBufferError(exif::kErrSkipByte);
        s.SkipByte(static_cast<int>(delta));
    }
};

struct FileEntry {
    int nTag;
    unsigned char* pType;  // the entry's type field; count and value field follow
    int nType;
    uint32_t nCount;
    uint32_t nValue;
};

FileEntry ReadFileEntry(BlockWalk& w) {
    FileEntry f;
    f.nTag = w.Read16();
    f.pType = w.s.m_pCur;
    f.nType = w.Read16();
    f.nCount = w.Read32();
    f.nValue = w.Read32();
    return f;
}

}  // namespace

void CExif::OverwriteGPS(CInBitStream* pStream) {
    using namespace exif;
    BlockWalk w{*pStream, pStream->m_pCur};

    // The offset rule: the value goes where the block keeps it.
    auto atOffset = [&](int parent, const FileEntry& f) {
        const int i = GetTag(parent, f.nTag);
        if (i < 0) return;
        const SExifEntry& e = m_aEntry[i];
        if (!e.pData || f.nCount < static_cast<uint32_t>(e.nCount)) return;
        const int64_t fileSize = static_cast<int64_t>(TypeSize(f.nType)) * f.nCount;
        unsigned char* dst = f.pType + 6;
        if (e.nSize > 4) {
            if (fileSize < e.nSize || fileSize <= 4) return;
            dst = SpanAt(w.s, static_cast<int64_t>(f.nValue) - w.Pos(), e.nSize);
            if (!dst) return;
        }
        LONGtoBYTE(static_cast<uint32_t>(e.nType), f.pType, 2);
        LONGtoBYTE(static_cast<uint32_t>(e.nCount), f.pType + 2, 4);
        if (e.nSize > 0) std::memcpy(dst, e.pData, e.nSize);
    };
    // The inline rule: the value goes into the value field, which is cleared first.
    auto inField = [&](const FileEntry& f) {
        const int i = GetTag(m_nGPSEntry, f.nTag);
        if (i < 0) return;
        const SExifEntry& e = m_aEntry[i];
        if (!e.pData || f.nCount != static_cast<uint32_t>(e.nCount) || e.nSize > 4) return;
        LONGtoBYTE(static_cast<uint32_t>(e.nType), f.pType, 2);
        LONGtoBYTE(static_cast<uint32_t>(e.nCount), f.pType + 2, 4);
        std::memset(f.pType + 6, 0, 4);
        if (e.nSize > 0) std::memcpy(f.pType + 6, e.pData, e.nSize);
    };
    // Walks the sub-directory at offset and comes back.
    auto walkSub = [&](uint32_t offset, auto apply) {
        unsigned char* saved = w.s.GetPosition();
        w.SeekTo(offset);
        const int m = w.Read16();
        for (int k = 0; k < m; ++k) apply(ReadFileEntry(w));
        w.s.SetPosition(saved);
    };

    const unsigned char* mark = SpanAt(w.s, 0, 2);
    if (!mark) throw EBufferError(exif::kErrGetWord);
    const int order = (mark[0] << 8) | mark[1];
    w.s.m_pCur += 2;
    w.SeekTo(4);
    if (order == 0x4D4D) w.s.m_bIntel = 0;
    if (order == 0x4949) w.s.m_bIntel = 1;
    const uint32_t ifd0 = w.Read32();
    if (ifd0 > 8) w.SeekTo(ifd0);
    const int n = w.Read16();
    for (int k = 0; k < n; ++k) {
        const FileEntry f = ReadFileEntry(w);
        switch (f.nTag) {
            case TAG_IMAGE_DESCRIPTION:
            case TAG_COPYRIGHT:
                atOffset(DIR_IFD0, f);
                break;
            case TAG_EXIF_POINTER:
                walkSub(f.nValue, [&](const FileEntry& sub) {
                    if (sub.nTag == TAG_DATE_TIME_ORIGINAL || sub.nTag == TAG_USER_COMMENT)
                        atOffset(m_nExifEntry, sub);
                });
                break;
            case TAG_GPS_POINTER:
                walkSub(f.nValue, [&](const FileEntry& sub) {
                    switch (sub.nTag) {
                        case GPS_LATITUDE_REF:
                        case GPS_LONGITUDE_REF:
                        case GPS_ALTITUDE_REF:
                        case GPS_IMG_DIRECTION_REF:
                            inField(sub);
                            break;
                        case GPS_LATITUDE:
                        case GPS_LONGITUDE:
                        case GPS_ALTITUDE:
                        case GPS_IMG_DIRECTION:
                        case GPS_MAP_DATUM:
                            atOffset(m_nGPSEntry, sub);
                            break;
                        default:
                            break;
                    }
                });
                break;
            default:
                break;
        }
    }
}
