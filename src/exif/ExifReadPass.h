// The working state of one read of a TIFF block, shared by the full reader (ExifReader.cpp)
// and the quick reader (ExifQuickReader.cpp): directory walking, the item rules that both
// readers apply (dates, comments, GPS, thumbnail) and the limits that keep a hostile block
// from making a read loop or grow without bound.
//
// Directory structure (counts, entries, next-directory offsets) is read through a TIFF cursor
// whose position moves through the block, with the stream kept on the same byte; every value that
// an entry locates by offset is read straight from the buffer after its whole run has been checked
// against the reader's bounds, so a value at the very end of the block never leaves the reader at
// its end.
#ifndef PHOTOGEO_SRC_EXIF_EXIFREADPASS_H
#define PHOTOGEO_SRC_EXIF_EXIFREADPASS_H

#include <cstdint>
#include <vector>

#include "exif/ExifSpan.h"
#include "exif/ExifTables.h"
#include "photogeo/Exif.h"
#include "tiff/TiffCursor.h"

// Internal to the library: kept out of the exported interface of CExif.
struct PHOTOGEO_LOCAL CExif::ReadPass {
    using Entry = photogeo::tiff::Entry;

    ReadPass(CExif& exif, CInBitStream& stream, SExifProperty& prop);

    // Block offset of the reader's position.
    int64_t Pos() const { return m_cur.Pos(); }
    // The nLength bytes at block offset nOffset, or null when any lies outside the buffer.
    const unsigned char* ValueAt(int64_t nOffset, int64_t nLength) const {
        return m_cur.Span(nOffset, nLength);
    }
    // nOffset relative to the reader's position, as the item getters take it.
    int32_t Rel(int64_t nOffset) const { return photogeo::exif::ClampOffset(nOffset - Pos()); }

    uint32_t Read32();
    void SeekTo(int64_t nOffset);
    // Puts the reader back at a block offset that it has been at before.
    void Restore(int64_t nOffset);
    // The entry count of a directory; charged against the entry budget.
    int ReadCount();
    Entry ReadEntry();
    // Charges a stored value of nBytes against the byte budget.
    void ChargeBytes(int64_t nBytes);
    // Header: byte order and IFD0 offset; leaves the reader on IFD0.
    void ReadHeader();
    // Reads the next-directory offset and moves there. False when the chain ends: offset 0,
    // a directory already visited, or the last directory number that stays a main one.
    bool NextDirectory(int& nDir);

    // AddEntry for an entry just read (the reader stands after it), within the byte budget.
    int Add(int nParent, const Entry& e);
    // Adds a sub-directory pointer of IFD0, records its index, and returns the block offset
    // of the directory it points to (0: nothing to walk).
    uint32_t AddPointer(const Entry& e, int& k);
    // Walks the sub-directory at block offset nOffset, calling onEntry for each entry, and
    // puts the reader back where it was.
    template <class F>
    void WalkSubDirectory(uint32_t nOffset, F onEntry) {
        const int64_t saved = Pos();
        SeekTo(nOffset);
        const int m = ReadCount();
        for (int i = 0; i < m; ++i) onEntry(ReadEntry());
        Restore(saved);
    }

    // IFD1 rules that gather the thumbnail's description; ExtractThumbnail uses them.
    void ThumbnailRule(const Entry& e);
    void ExtractThumbnail();

    void DateRule(const Entry& e, int& bFlag, CTime& tm);
    void CommentRule(const Entry& e, int& bFlag, CString& str);
    // One GPS entry as a protected step: a failing item is skipped and the reader is put back
    // after the entry. bQuick limits the items to those of the quick reader.
    void GpsEntry(const Entry& e, bool bQuick);
    // The combined GPS values after a GPS directory; bDest also sets the destination.
    void FinishGps(bool bDest);
    // Moves to the block's end and frees the strip tables.
    void Finish(int nLength);

    // Full reader only (ExifReader.cpp): the IFD0 and Exif decoding tables and the
    // Interoperability walk under entry j.
    void DecodeIfd0(const Entry& e);
    void DecodeExif(const Entry& e, int j);
    void ReadInterop(const Entry& e, int j);
    // The getters' count argument: counts beyond 32-bit int are pinned, never to reach data.
    static int Count(uint32_t nCount, uint32_t nMax = INT32_MAX) {
        return static_cast<int>(nCount < nMax ? nCount : nMax);
    }

    // The stream (which the item getters read, relative to its position) follows the cursor:
    // after every move of the cursor, the stream stands on the same byte.
    void Sync() { m_s.m_pCur = m_pBase + m_cur.Pos(); }

    CExif& m_exif;
    CInBitStream& m_s;
    SExifProperty& m_prop;
    unsigned char* m_pBase;        // the block's first byte
    photogeo::tiff::Cursor m_cur;  // over the block's first byte to the stream's end
    int64_t m_nEntriesLeft;
    int64_t m_nBytesLeft;
    std::vector<int64_t> m_visited;  // offsets of the main directories read

    double m_dLat = 0.0, m_dLon = 0.0, m_dDestLat = 0.0, m_dDestLon = 0.0;
    double m_dLatSign = 1.0, m_dLonSign = 1.0, m_dDestLatSign = 1.0, m_dDestLonSign = 1.0;
    double m_dAltitude = 0.0;
    int m_nAltitudeRef = 0;
    double m_dImgDirection = 0.0;

    int64_t m_nJpegOffset = -1;
    int64_t m_nJpegLength = -1;
    uint32_t m_nSamplesPerPixel = 0;
};

#endif
