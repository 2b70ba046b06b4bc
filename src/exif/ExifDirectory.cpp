// The entry table of CExif: construction, copying and clearing, the byte-order conversions
// through which every number enters and leaves an entry, and the table operations that the
// readers (AddEntry), the rewrite (AddDirect, RewriteDirect, DeleteTag, SetDirEntry) and the
// writer (GetDirCount, GetTotalSize) build on.
#include <cstring>
#include <memory>

#include "exif/ExifSpan.h"
#include "exif/ExifTables.h"
#include "photogeo/Exif.h"

CExif::CExif()
    : m_bIntel(0),
      m_bReadExif(0),
      m_nThumbCompression(-1),
      m_pThumbData(nullptr),
      m_nThumbSize(0),
      m_nThumbWidth(0),
      m_nThumbHeight(0),
      m_nGPSEntry(-1),
      m_nExifEntry(-1),
      m_pStripOffsets(nullptr),
      m_pStripByteCounts(nullptr),
      m_nStripOffsetCount(0),
      m_nStripByteCountCount(0) {}

CExif::CExif(const CExif& other) : CExif() {
    *this = other;
}

CExif::~CExif() {
    FreeStripTables();
    FreeThumbnail();
    RemoveAll();
}

CExif& CExif::operator=(const CExif& other) {
    if (this == &other) return *this;
    // Copy into fresh storage first, so that a failed allocation leaves this object as it was.
    std::vector<SExifEntry> entries;
    entries.reserve(other.m_aEntry.size());
    try {
        for (const SExifEntry& e : other.m_aEntry) {
            SExifEntry copy = e;
            if (e.pData) {
                copy.pData = new unsigned char[e.nSize > 0 ? e.nSize : 0];
                if (e.nSize > 0) std::memcpy(copy.pData, e.pData, e.nSize);
            }
            entries.push_back(copy);
        }
    } catch (...) {
        for (SExifEntry& e : entries) delete[] e.pData;
        throw;
    }
    std::unique_ptr<unsigned char[]> thumb;
    if (other.m_nThumbCompression != -1 && other.m_pThumbData && other.m_nThumbSize > 0) {
        thumb.reset(new unsigned char[other.m_nThumbSize]);
        std::memcpy(thumb.get(), other.m_pThumbData, other.m_nThumbSize);
    }
    FreeThumbnail();
    RemoveAll();
    m_aEntry.swap(entries);
    m_bIntel = other.m_bIntel;
    m_bReadExif = other.m_bReadExif;
    m_nGPSEntry = other.m_nGPSEntry;
    m_nExifEntry = other.m_nExifEntry;
    m_nThumbCompression = other.m_nThumbCompression;
    m_nThumbSize = other.m_nThumbSize;
    m_pThumbData = thumb.release();
    if (!m_pThumbData) m_nThumbSize = 0;
    return *this;
}

void CExif::RemoveAll() {
    for (SExifEntry& e : m_aEntry) delete[] e.pData;
    std::vector<SExifEntry>().swap(m_aEntry);
}

void CExif::FreeStripTables() {
    delete[] m_pStripOffsets;
    delete[] m_pStripByteCounts;
    m_pStripOffsets = nullptr;
    m_pStripByteCounts = nullptr;
    m_nStripOffsetCount = 0;
    m_nStripByteCountCount = 0;
}

void CExif::FreeThumbnail() {
    delete[] m_pThumbData;
    m_pThumbData = nullptr;
}

uint32_t CExif::BYTEtoLONG(const unsigned char* p, int n) const {
    if (n <= 0) return 0;
    if (n > 4) n = 4;
    uint32_t value = 0;
    for (int i = 0; i < n; ++i) {
        const int shift = m_bIntel ? 8 * i : 8 * (n - 1 - i);
        value |= static_cast<uint32_t>(p[i]) << shift;
    }
    return value;
}

void CExif::LONGtoBYTE(uint32_t value, unsigned char* p, int n) const {
    if (n <= 0) return;
    if (n > 4) n = 4;
    for (int i = 0; i < n; ++i) {
        const int shift = m_bIntel ? 8 * i : 8 * (n - 1 - i);
        p[i] = static_cast<unsigned char>(value >> shift);
    }
}

void CExif::SetDirEntry(uint32_t value, int index, int offset, int n) {
    if (index < 0 || index >= static_cast<int>(m_aEntry.size()) || offset < 0) return;
    SExifEntry& e = m_aEntry[index];
    if (!e.pData) return;
    if (offset + static_cast<int64_t>(n) > e.nSize) n = e.nSize - offset;
    if (n <= 0) return;
    LONGtoBYTE(value, e.pData + offset, n);
}

int CExif::AppendEntry(int nParent, int nTag, int nType, int nCount, const unsigned char* pValue) {
    const int64_t size =
        static_cast<int64_t>(photogeo::exif::TypeSize(nType)) * static_cast<uint32_t>(nCount);
    if (size > INT32_MAX) throw std::bad_alloc();
    std::unique_ptr<unsigned char[]> data(new unsigned char[size]());
    if (pValue && size > 0) std::memcpy(data.get(), pValue, size);
    SExifEntry e{nParent, nTag, nType, nCount, static_cast<int32_t>(size), data.get()};
    // The table grows in steps of 100 entries; indexes never move.
    if (m_aEntry.size() == m_aEntry.capacity()) m_aEntry.reserve(m_aEntry.size() + 100);
    m_aEntry.push_back(e);
    data.release();
    return static_cast<int>(m_aEntry.size()) - 1;
}

int CExif::AddEntry(CInBitStream* pStream, int nParent, int nTag, int nType, int nCount,
                    unsigned char* pField, int nPos) {
    const int64_t size =
        static_cast<int64_t>(photogeo::exif::TypeSize(nType)) * static_cast<uint32_t>(nCount);
    if (size < 5) return AppendEntry(nParent, nTag, nType, nCount, pField);
    // A value beyond the value field lives at an offset from the block's first byte, which
    // lies nPos bytes before the stream's current position. A value that is not wholly inside
    // the stream's buffer is never read: the entry is dropped rather than stored with invented
    // bytes, so that the table never holds a value the block did not give.
    const int64_t rel = static_cast<int64_t>(BYTEtoLONG(pField, 4)) - nPos;
    const unsigned char* value = photogeo::exif::SpanAt(*pStream, rel, size);
    if (!value) return -1;
    return AppendEntry(nParent, nTag, nType, nCount, value);
}

int CExif::AddDirect(int nParent, int nTag, int nType, int nCount, unsigned char* pValue) {
    return AppendEntry(nParent, nTag, nType, nCount, pValue);
}

void CExif::RewriteDirect(int index, int nParent, int nTag, int nType, int nCount,
                          unsigned char* pValue) {
    if (index < 0 || index >= static_cast<int>(m_aEntry.size())) return;
    const int64_t size =
        static_cast<int64_t>(photogeo::exif::TypeSize(nType)) * static_cast<uint32_t>(nCount);
    if (size > INT32_MAX) throw std::bad_alloc();
    std::unique_ptr<unsigned char[]> data(new unsigned char[size]());
    if (pValue && size > 0) std::memcpy(data.get(), pValue, size);
    SExifEntry& e = m_aEntry[index];
    delete[] e.pData;
    e = SExifEntry{nParent, nTag, nType, nCount, static_cast<int32_t>(size), data.release()};
}

void CExif::DeleteTag(int nParent, int nTag) {
    const int index = GetTag(nParent, nTag);
    if (index < 0) return;
    SExifEntry& e = m_aEntry[index];
    delete[] e.pData;
    e.pData = nullptr;
    e.nParent = DIR_DELETED;
}

int CExif::GetTag(int nParent, int nTag) const {
    for (size_t i = 0; i < m_aEntry.size(); ++i)
        if (m_aEntry[i].nParent == nParent && m_aEntry[i].nTag == nTag) return static_cast<int>(i);
    return -1;
}

int CExif::GetDirCount(int nParent) const {
    int count = 0;
    for (const SExifEntry& e : m_aEntry)
        if (e.nParent == nParent) ++count;
    return count;
}

int CExif::GetNextParent(int nParent) const {
    bool found = false;
    int best = 0;
    for (const SExifEntry& e : m_aEntry)
        if (e.nParent > nParent && (!found || e.nParent < best)) {
            best = e.nParent;
            found = true;
        }
    return found ? best : -1;
}

int CExif::GetSubParent(int nParent) const {
    bool found = false;
    int best = 0;
    for (const SExifEntry& e : m_aEntry)
        if (e.nParent >= 0 && e.nParent > nParent && (!found || e.nParent < best)) {
            best = e.nParent;
            found = true;
        }
    return found ? best : -1;
}

int CExif::GetTotalSize() const {
    // Entry values are bounded by the block they were read from or by the record's texts, so
    // the sum stays far below 2^31 in practice; it is taken in 64 bits and pinned to be sure.
    int64_t total = 400 + static_cast<int64_t>(m_nThumbSize > 0 ? m_nThumbSize : 0);
    for (const SExifEntry& e : m_aEntry) total += static_cast<int64_t>(e.nSize) + 12;
    return total > INT32_MAX ? INT32_MAX : static_cast<int>(total);
}
