// Directory walking and thumbnail handling shared by CExif::ReadExif and ReadQuickExif: the
// reset that starts every read, the header, entries and main-directory chain, sub-directory
// pointers, and the IFD1 rules that collect and then extract the thumbnail (a JPEG stream, or
// uncompressed RGB samples gathered from strips).
//
// Limits that only a hostile block reaches: the chain of main directories ends at a directory
// already visited and after 255 directories (so that their numbers stay below 0, apart from
// the sub-directory numbers); the entries read may not exceed one per 6 bytes of buffer plus
// 64, and the values stored may not exceed twice the buffer plus 64 KiB. A well-formed block
// keeps far inside both, since its entries and values do not overlap.
#include "exif/ExifReadPass.h"

#include <cstring>
#include <memory>

namespace tiff = photogeo::tiff;

namespace {
// The largest JPEG thumbnail taken (2 MiB).
constexpr int64_t kMaxJpegThumbnail = 0x200000;
// The read budget: entries per byte of buffer and the allowance on top, and the stored value
// bytes per byte of buffer and the allowance on top (see above).
constexpr int64_t kBytesPerEntry = 6;
constexpr int64_t kEntryAllowance = 64;
constexpr int64_t kValueBytesPerByte = 2;
constexpr int64_t kValueAllowance = 65536;
}  // namespace

void CExif::ResetForRead() {
    FreeStripTables();
    FreeThumbnail();
    RemoveAll();
    m_nGPSEntry = -1;
    m_nExifEntry = -1;
    m_nThumbCompression = -1;
    m_bReadExif = 1;
    m_bIntel = 0;
    m_nThumbSize = 0;
    // A block without ImageWidth/ImageLength must not inherit the last block's thumbnail size.
    m_nThumbWidth = 0;
    m_nThumbHeight = 0;
}

CExif::ReadPass::ReadPass(CExif& exif, CInBitStream& stream, SExifProperty& prop)
    : m_exif(exif),
      m_s(stream),
      m_prop(prop),
      m_pBase(stream.m_pCur),
      m_cur(stream.m_pCur, stream.m_pEnd - stream.m_pCur, tiff::OrderOf(stream.m_bIntel)) {
    const int64_t size = stream.m_pEnd - stream.m_pTop;
    m_nEntriesLeft = size / kBytesPerEntry + kEntryAllowance;
    m_nBytesLeft = kValueBytesPerByte * size + kValueAllowance;
}

uint32_t CExif::ReadPass::Read32() {
    const uint32_t v = m_cur.Read32();
    Sync();
    return v;
}

void CExif::ReadPass::SeekTo(int64_t nOffset) {
    m_cur.Seek(nOffset);
    Sync();
    // A move onto the end clears the stream's data flag, as the stream's own skip does.
    if (m_cur.Pos() == m_cur.Size()) m_s.m_bData = 0;
}

void CExif::ReadPass::Restore(int64_t nOffset) {
    m_cur.Seek(nOffset);
    Sync();
}

int CExif::ReadPass::ReadCount() {
    const int n = m_cur.ReadCount();
    Sync();
    if (n > m_nEntriesLeft) throw EBufferError(photogeo::exif::kErrEntryLimit);
    m_nEntriesLeft -= n;
    return n;
}

CExif::ReadPass::Entry CExif::ReadPass::ReadEntry() {
    const Entry e = m_cur.ReadEntry();
    Sync();
    return e;
}

void CExif::ReadPass::ChargeBytes(int64_t nBytes) {
    if (nBytes > m_nBytesLeft) throw EBufferError(photogeo::exif::kErrEntryLimit);
    m_nBytesLeft -= nBytes;
}

int CExif::ReadPass::Add(int nParent, const Entry& e) {
    const int64_t size = e.ByteSize();
    // Only values that AddEntry will actually copy count against the budget.
    if (size >= 5 && ValueAt(m_exif.BYTEtoLONG(e.field, 4), size)) ChargeBytes(size);
    unsigned char field[4];
    std::memcpy(field, e.field, 4);
    return m_exif.AddEntry(&m_s, nParent, e.tag, e.type, static_cast<int>(e.count), field,
                           static_cast<int>(Pos()));
}

void CExif::ReadPass::ReadHeader() {
    // The order is taken from the mark before the IFD0 offset is read, so that a header cut
    // short after its mark still sets it. An unknown mark changes neither flag: the block is
    // then read in the order the stream already had, big-endian for a fresh stream.
    const uint16_t mark = m_cur.ReadMark();
    if (mark == tiff::kMarkBigEndian || mark == tiff::kMarkLittleEndian) {
        m_s.m_bIntel = m_cur.LittleEndian() ? 1 : 0;
        m_exif.m_bIntel = m_s.m_bIntel;
    }
    const uint32_t offset = Read32();
    if (offset > tiff::kHeaderSize) SeekTo(offset);
    m_visited.push_back(Pos());
}

bool CExif::ReadPass::NextDirectory(int& nDir) {
    const uint32_t next = Read32();
    if (next == 0) return false;
    // Directory numbers must stay negative: 0 and up name sub-directories.
    if (nDir >= -1) return false;
    for (int64_t seen : m_visited)
        if (seen == next) return false;
    SeekTo(next);
    m_visited.push_back(next);
    ++nDir;
    return true;
}

uint32_t CExif::ReadPass::AddPointer(const Entry& e, int& k) {
    k = Add(DIR_IFD0, e);
    if (e.tag == photogeo::exif::TAG_GPS_POINTER)
        m_exif.m_nGPSEntry = k;
    else
        m_exif.m_nExifEntry = k;
    if (k < 0) return 0;
    const SExifEntry& entry = m_exif.m_aEntry[k];
    return m_exif.BYTEtoLONG(entry.pData, entry.nSize < 4 ? entry.nSize : 4);
}

namespace {

// Replaces table (with its slot count) by the count 32-bit numbers of strip entry e. False
// when the numbers lie outside the buffer or cannot be held.
bool ReadStripTable(const CExif& exif, const tiff::Cursor& cur, const tiff::Entry& e,
                    int64_t nBufferSize, int32_t*& table, int& slots) {
    delete[] table;
    table = nullptr;
    slots = 0;
    const uint32_t count = e.count;
    const unsigned char* p = e.field;
    if (count != 1) {
        if (count == 0 || count > nBufferSize / 4) return false;
        p = cur.Span(e.value, count, 4);
        if (!p) return false;
    }
    try {
        table = new int32_t[count];
    } catch (...) {
        return false;
    }
    slots = static_cast<int>(count);
    // Strip tables follow the block's byte order; the value field of a single strip is taken
    // in the entry table's order.
    for (uint32_t i = 0; i < count; ++i) {
        const unsigned char* q = p + 4 * static_cast<size_t>(i);
        table[i] = static_cast<int32_t>(count == 1 ? exif.BYTEtoLONG(q, 4) : cur.Load32(q));
    }
    return true;
}

}  // namespace

void CExif::ReadPass::ThumbnailRule(const Entry& e) {
    CExif& x = m_exif;
    switch (e.tag) {
        case photogeo::exif::TAG_IMAGE_WIDTH:
            x.m_nThumbWidth =
                static_cast<int>(x.BYTEtoLONG(e.field, e.type == tiff::kShort ? 2 : 4));
            break;
        case photogeo::exif::TAG_IMAGE_LENGTH:
            x.m_nThumbHeight =
                static_cast<int>(x.BYTEtoLONG(e.field, e.type == tiff::kShort ? 2 : 4));
            break;
        case photogeo::exif::TAG_BITS_PER_SAMPLE:
            m_nSamplesPerPixel = e.count;
            break;
        case photogeo::exif::TAG_COMPRESSION:
            x.m_nThumbCompression = static_cast<int>(x.BYTEtoLONG(e.field, 2));
            break;
        case photogeo::exif::TAG_STRIP_OFFSETS:
            if (!ReadStripTable(x, m_cur, e, m_s.m_pEnd - m_s.m_pTop, x.m_pStripOffsets,
                                x.m_nStripOffsetCount))
                x.m_nThumbCompression = -1;
            break;
        case photogeo::exif::TAG_STRIP_BYTE_COUNTS:
            if (!ReadStripTable(x, m_cur, e, m_s.m_pEnd - m_s.m_pTop, x.m_pStripByteCounts,
                                x.m_nStripByteCountCount))
                x.m_nThumbCompression = -1;
            break;
        case photogeo::exif::TAG_JPEG_IF_OFFSET:
            if (x.m_nThumbCompression == photogeo::exif::kCompressionJpeg)
                m_nJpegOffset = x.BYTEtoLONG(e.field, 4);
            break;
        case photogeo::exif::TAG_JPEG_IF_LENGTH:
            if (x.m_nThumbCompression == photogeo::exif::kCompressionJpeg)
                m_nJpegLength = x.BYTEtoLONG(e.field, 4);
            break;
        default:
            break;
    }
}

void CExif::ReadPass::ExtractThumbnail() {
    CExif& x = m_exif;
    if (x.m_nThumbCompression == photogeo::exif::kCompressionJpeg) {
        const unsigned char* p =
            m_nJpegOffset >= 0 && m_nJpegLength >= 1 && m_nJpegLength <= kMaxJpegThumbnail
                ? ValueAt(m_nJpegOffset, m_nJpegLength)
                : nullptr;
        unsigned char* data = nullptr;
        if (p) {
            try {
                data = new unsigned char[m_nJpegLength];
            } catch (...) {
                data = nullptr;
            }
        }
        if (!data) {
            x.m_nThumbCompression = -1;
            return;
        }
        std::memcpy(data, p, m_nJpegLength);
        x.m_pThumbData = data;
        x.m_nThumbSize = static_cast<int>(m_nJpegLength);
        return;
    }
    if (x.m_nThumbCompression != photogeo::exif::kCompressionNone ||
        m_nSamplesPerPixel != photogeo::exif::kRgbSamples) {
        x.m_nThumbCompression = -1;
        return;
    }

    // Uncompressed: width x height RGB triples gathered strip by strip. Every sample comes
    // from the block and the strips of a well-formed block do not overlap, so a thumbnail
    // larger than the buffer cannot be complete and is refused before allocating it.
    const int w = x.m_nThumbWidth;
    const int h = x.m_nThumbHeight;
    // The pixel count is compared with the buffer before it is tripled: two hostile sizes near
    // 2^31 would overflow even 64 bits once multiplied by 3.
    const int64_t bufferSize = m_s.m_pEnd - m_s.m_pTop;
    const int64_t pixels = (w > 0 && h > 0) ? static_cast<int64_t>(w) * h : 0;
    const int64_t total = pixels <= bufferSize / 3 ? pixels * 3 : bufferSize + 1;
    auto drop = [&x]() {
        x.FreeThumbnail();
        x.m_nThumbSize = 0;
        x.m_nThumbCompression = -1;
    };
    if (!x.m_pStripOffsets || !x.m_pStripByteCounts || w <= 0 || h <= 0 || total > bufferSize)
        return drop();
    try {
        x.m_pThumbData = new unsigned char[total];
    } catch (...) {
        return drop();
    }
    x.m_nThumbSize = static_cast<int>(total);
    int s = 0;
    int64_t used = 0;
    int64_t source = static_cast<uint32_t>(x.m_pStripOffsets[0]);
    for (int y = 0; y < h; ++y) {
        unsigned char* row = x.m_pThumbData + static_cast<int64_t>(w) * y * 3;
        for (int i = 0; i < w; ++i) {
            if (used >= static_cast<uint32_t>(x.m_pStripByteCounts[s])) {
                ++s;
                if (s >= x.m_nStripOffsetCount || s >= x.m_nStripByteCountCount) return drop();
                source = static_cast<uint32_t>(x.m_pStripOffsets[s]);
                used = 0;
            }
            const unsigned char* p = ValueAt(source + used, 3);
            if (!p) return drop();
            std::memcpy(row + 3 * i, p, 3);
            used += 3;
        }
    }
}

void CExif::ReadPass::FinishGps(bool bDest) {
    m_prop.dGPSImgDirection = m_dImgDirection;
    m_prop.bGPS = 1;
    m_prop.dGPSLatitude = m_dLat * m_dLatSign;
    m_prop.dGPSLongitude = m_dLon * m_dLonSign;
    m_prop.dGPSAltitude = m_nAltitudeRef == 1 ? -m_dAltitude : m_dAltitude;
    if (bDest) {
        m_prop.dGPSDestLatitude = m_dDestLat * m_dDestLatSign;
        m_prop.dGPSDestLongitude = m_dDestLon * m_dDestLonSign;
    }
}

void CExif::ReadPass::Finish(int nLength) {
    // The stream itself takes the final move, so that it ends nLength bytes after the block's
    // first byte with the bounds and flags of its own skip.
    const int64_t delta = nLength - Pos();
    if (delta < INT32_MIN || delta > INT32_MAX) throw EBufferError(photogeo::exif::kErrSkipByte);
    m_s.SkipByte(static_cast<int>(delta));
    m_exif.FreeStripTables();
}
