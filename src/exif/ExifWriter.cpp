// CExif::WriteExif: lays the entry table out again as a complete TIFF block, the payload of a
// new EXIF APP1 segment. The coder sizes the output with GetTotalSize, calls this, and writes
// the returned byte count behind the segment header.
//
// Layout, offsets from the block's first byte: the 8-byte header with IFD0 at 8; IFD0 and its
// values; the GPS, Exif and Interoperability directories, each followed by its values; IFD1
// and its values; the thumbnail. Each directory is its entry count, 12 bytes per entry in
// table order, the next-directory field, then the values of more than 4 bytes, unpadded.
//
// Why GetTotalSize bounds the output: each of the five directories is written at most once
// (they are the directories of five distinct table entries, or IFD0/IFD1), so the block takes
// 8 + 5 x 6 bytes of framing, 12 bytes per written entry plus its value when that is over 4
// bytes, and the thumbnail; GetTotalSize counts 12 + nSize for every entry, the thumbnail and
// 400 more. The strip entries rewritten for an uncompressed thumbnail only shrink.
#include <cstring>

#include "exif/ExifTables.h"
#include "photogeo/Exif.h"
#include "tiff/TiffCursor.h"

namespace {

namespace tiff = photogeo::tiff;

// Where an entry's value field starts within its 12 bytes.
constexpr int kFieldInEntry = tiff::kEntrySize - tiff::kValueFieldSize;

// Where a pointer or thumbnail-offset entry's value field went, so it can be patched later.
struct Patch {
    int index = -1;
    int field = 0;
};

}  // namespace

int CExif::WriteExif(unsigned char* pOut) {
    using namespace photogeo::exif;
    int v = 0;
    // Writes directory nDir at p; calls note(index, tag, field offset) per entry and returns
    // the offset of its next-directory field. v ends after its values.
    auto writeDir = [&](int nDir, int p, auto note) {
        const int c = GetDirCount(nDir);
        LONGtoBYTE(static_cast<uint32_t>(c), pOut + p, 2);
        int q = p + tiff::kCountSize;
        v = q + tiff::kEntrySize * c + tiff::kNextOffsetSize;
        for (size_t i = 0; i < m_aEntry.size(); ++i) {
            const SExifEntry& e = m_aEntry[i];
            if (e.nParent != nDir) continue;
            LONGtoBYTE(static_cast<uint32_t>(e.nTag), pOut + q, 2);
            LONGtoBYTE(static_cast<uint32_t>(e.nType), pOut + q + 2, 2);
            LONGtoBYTE(static_cast<uint32_t>(e.nCount), pOut + q + 4, 4);
            const int field = q + kFieldInEntry;
            if (e.nSize <= tiff::kValueFieldSize) {
                std::memset(pOut + field, 0, tiff::kValueFieldSize);
                if (e.nSize > 0) std::memcpy(pOut + field, e.pData, e.nSize);
            } else {
                std::memcpy(pOut + v, e.pData, e.nSize);
                LONGtoBYTE(static_cast<uint32_t>(v), pOut + field, 4);
                v += e.nSize;
            }
            note(static_cast<int>(i), e.nTag, field);
            q += tiff::kEntrySize;
        }
        LONGtoBYTE(0, pOut + q, 4);
        return q;
    };
    auto patch = [&](const Patch& at, int value) {
        LONGtoBYTE(static_cast<uint32_t>(value), pOut + at.field, 4);
    };

    // Header: the mark ("II" or "MM", a letter twice), 42, and IFD0 right after the header.
    pOut[0] = pOut[1] = (m_bIntel ? tiff::kMarkLittleEndian : tiff::kMarkBigEndian) & 0xFF;
    LONGtoBYTE(tiff::kMagic, pOut + 2, 2);
    LONGtoBYTE(tiff::kHeaderSize, pOut + 4, 4);

    Patch gps, exifDir, interop;
    const int ifd0Next = writeDir(DIR_IFD0, tiff::kHeaderSize, [&](int i, int tag, int field) {
        if (tag == TAG_GPS_POINTER) gps = {i, field};
        if (tag == TAG_EXIF_POINTER) exifDir = {i, field};
    });
    if (gps.index >= 0) {
        patch(gps, v);
        writeDir(gps.index, v, [](int, int, int) {});
    }
    if (exifDir.index >= 0) {
        patch(exifDir, v);
        writeDir(exifDir.index, v, [&](int i, int tag, int field) {
            if (tag == TAG_INTEROP_POINTER) interop = {i, field};
        });
        if (interop.index >= 0) {
            patch(interop, v);
            writeDir(interop.index, v, [](int, int, int) {});
        }
    }

    if (m_nThumbCompression == kCompressionNone) {
        // The uncompressed thumbnail is written as one strip. An entry without a value (count
        // 0) is left as it is rather than given an invented one.
        for (SExifEntry& e : m_aEntry) {
            if (e.nParent != DIR_IFD1 || e.nCount == 0 || !e.pData) continue;
            if (e.nTag != TAG_STRIP_OFFSETS && e.nTag != TAG_ROWS_PER_STRIP &&
                e.nTag != TAG_STRIP_BYTE_COUNTS)
                continue;
            e.nCount = 1;
            e.nSize = TypeSize(e.nType);
        }
        for (size_t i = 0; i < m_aEntry.size(); ++i) {
            const SExifEntry& e = m_aEntry[i];
            if (e.nParent != DIR_IFD1) continue;
            if (e.nTag == TAG_ROWS_PER_STRIP)
                SetDirEntry(static_cast<uint32_t>(m_nThumbHeight), static_cast<int>(i), 0, 4);
            else if (e.nTag == TAG_STRIP_BYTE_COUNTS)
                SetDirEntry(static_cast<uint32_t>(m_nThumbSize), static_cast<int>(i), 0, 4);
        }
    }

    Patch thumb;
    patch({-1, ifd0Next}, v);
    writeDir(DIR_IFD1, v, [&](int i, int tag, int field) {
        // Only an offset held in the value field itself can be pointed at the thumbnail; an
        // entry whose value went to the value area would lose that value.
        if (m_aEntry[i].nSize > tiff::kValueFieldSize) return;
        if ((m_nThumbCompression == kCompressionJpeg && tag == TAG_JPEG_IF_OFFSET) ||
            (m_nThumbCompression == kCompressionNone && tag == TAG_STRIP_OFFSETS))
            thumb = {i, field};
    });
    // A thumbnail that no IFD1 entry can point to is left out.
    if (m_pThumbData && m_nThumbSize > 0 && thumb.index >= 0) {
        patch(thumb, v);
        std::memcpy(pOut + v, m_pThumbData, m_nThumbSize);
        v += m_nThumbSize;
    }
    return v;
}
