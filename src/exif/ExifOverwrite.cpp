// CExif::OverwriteGPS: patches an existing TIFF block in place with entries of the table, after
// RewriteData has applied the record to it. The block keeps its size and layout: only the
// type, count and value bytes of the title, copyright, shooting time, comment and GPS entries
// change, and only where the block already gives the new value room. The coder calls it with a
// reader standing on the block's first byte inside its whole-file buffer, then writes the
// buffer back.
//
// Room is judged by the counts: an entry whose value lies at an
// offset takes a new value of no more values than it has; the GPS references held in the value
// field take a new value of exactly as many. A new value that would have to go to an offset is
// also refused when the block's own value is held in the value field (there is no offset to
// write at) or is shorter in bytes, and a value whose offset lies outside the reader's buffer
// is left alone: nothing is ever written outside the block's own value.
#include <cstring>

#include "exif/ExifSpan.h"
#include "exif/ExifTables.h"
#include "photogeo/Exif.h"
#include "tiff/TiffCursor.h"

void CExif::OverwriteGPS(CInBitStream* pStream) {
    using namespace photogeo::exif;
    namespace tiff = photogeo::tiff;
    // The block from the stream's position to its end; the cursor reads it, the patches are
    // written through base once the cursor has checked their place.
    unsigned char* const base = pStream->m_pCur;
    tiff::Cursor cur(base, pStream->m_pEnd - base, tiff::OrderOf(pStream->m_bIntel));

    // The offset rule: the value goes where the block keeps it.
    auto atOffset = [&](int parent, const tiff::Entry& f) {
        const int i = GetTag(parent, f.tag);
        if (i < 0) return;
        const SExifEntry& e = m_aEntry[i];
        if (!e.pData || f.count < static_cast<uint32_t>(e.nCount)) return;
        unsigned char* dst = base + f.FieldOffset();
        if (e.nSize > tiff::kValueFieldSize) {
            if (f.ByteSize() < e.nSize || f.Inline() || !cur.Span(f.value, e.nSize)) return;
            dst = base + f.value;
        }
        LONGtoBYTE(static_cast<uint32_t>(e.nType), base + f.TypeOffset(), 2);
        LONGtoBYTE(static_cast<uint32_t>(e.nCount), base + f.TypeOffset() + 2, 4);
        if (e.nSize > 0) std::memcpy(dst, e.pData, e.nSize);
    };
    // The inline rule: the value goes into the value field, which is cleared first.
    auto inField = [&](const tiff::Entry& f) {
        const int i = GetTag(m_nGPSEntry, f.tag);
        if (i < 0) return;
        const SExifEntry& e = m_aEntry[i];
        if (!e.pData || f.count != static_cast<uint32_t>(e.nCount) ||
            e.nSize > tiff::kValueFieldSize)
            return;
        unsigned char* field = base + f.FieldOffset();
        LONGtoBYTE(static_cast<uint32_t>(e.nType), base + f.TypeOffset(), 2);
        LONGtoBYTE(static_cast<uint32_t>(e.nCount), base + f.TypeOffset() + 2, 4);
        std::memset(field, 0, tiff::kValueFieldSize);
        if (e.nSize > 0) std::memcpy(field, e.pData, e.nSize);
    };
    // Walks the sub-directory at offset and comes back.
    auto walkSub = [&](uint32_t offset, auto apply) {
        const int64_t saved = cur.Pos();
        cur.Seek(offset);
        if (cur.Pos() == cur.Size()) pStream->m_bData = 0;
        const int m = cur.ReadCount();
        for (int k = 0; k < m; ++k) apply(cur.ReadEntry());
        cur.Seek(saved);
    };

    try {
        // The stream takes the mark's order before the IFD0 offset is read.
        const uint16_t mark = cur.ReadMark();
        if (mark == tiff::kMarkBigEndian || mark == tiff::kMarkLittleEndian)
            pStream->m_bIntel = cur.LittleEndian() ? 1 : 0;
        const uint32_t ifd0 = cur.Read32();
        if (ifd0 > tiff::kHeaderSize) {
            cur.Seek(ifd0);
            if (cur.Pos() == cur.Size()) pStream->m_bData = 0;
        }
        const int n = cur.ReadCount();
        for (int k = 0; k < n; ++k) {
            const tiff::Entry f = cur.ReadEntry();
            switch (f.tag) {
                case TAG_IMAGE_DESCRIPTION:
                case TAG_COPYRIGHT:
                    atOffset(DIR_IFD0, f);
                    break;
                case TAG_EXIF_POINTER:
                    walkSub(f.value, [&](const tiff::Entry& sub) {
                        if (sub.tag == TAG_DATE_TIME_ORIGINAL || sub.tag == TAG_USER_COMMENT)
                            atOffset(m_nExifEntry, sub);
                    });
                    break;
                case TAG_GPS_POINTER:
                    walkSub(f.value, [&](const tiff::Entry& sub) {
                        switch (sub.tag) {
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
    } catch (const tiff::Error& e) {
        pStream->m_pCur = base + cur.Pos();
        throw EBufferError(BufferErrorText(e.fault()));
    }
    pStream->m_pCur = base + cur.Pos();
}
