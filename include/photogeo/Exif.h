// CExif: the EXIF block of one photograph held as a flat table of directory entries plus the
// photograph's thumbnail, and the operations that fill that table from a TIFF block in memory
// (ReadExif, ReadQuickExif), edit it (RewriteData and the table operations), lay it out again
// as a TIFF block (WriteExif) and patch an existing block in place (OverwriteGPS).
//
// Every entry keeps its value bytes exactly as a TIFF block stores them: in the block's byte
// order (m_bIntel), left-justified. Numbers go in and out of entries only through BYTEtoLONG,
// LONGtoBYTE and SetDirEntry, which apply that byte order.
//
// The directories form a tree inside the flat table: each entry names its directory in
// nParent. IFD0 is DIR_IFD0, IFD1 (thumbnail) DIR_IFD1; a sub-directory (Exif, GPS,
// Interoperability) is numbered by the table index of the entry that points to it. Entries are
// only appended or overwritten in place, never moved, so an index stays valid until the next
// read or RemoveAll. Deleted entries stay in the table with the parent DIR_DELETED.
//
// A CExif is not thread-safe; use one object from one thread at a time.
#ifndef PHOTOGEO_EXIF_H
#define PHOTOGEO_EXIF_H

#include <cstdint>
#include <vector>

#include "photogeo/ExifProperty.h"
#include "photogeo/Export.h"
#include "photogeo/HostTypes.h"
#include "photogeo/InBitStream.h"

// One directory entry. pData is owned by the CExif that holds the entry: nSize bytes of the
// value in the block's byte order; null once the entry is deleted.
struct SExifEntry {
    int32_t nParent;  // directory number (DIR_IFD0, DIR_IFD1, DIR_DELETED, or a table index)
    int32_t nTag;     // EXIF/TIFF tag number
    int32_t nType;    // 1 BYTE, 2 ASCII, 3 SHORT, 4 LONG, 5 RATIONAL, 6 SBYTE, 7 UNDEFINED,
                      // 8 SSHORT, 9 SLONG, 10 SRATIONAL, 11 FLOAT, 12 DOUBLE
    int32_t nCount;   // number of values
    int32_t nSize;    // type size x nCount; 0 for a type outside 1..12
    unsigned char* pData;
};

// Directory numbers of the main directories. The reader numbers a chain of main directories
// from DIR_IFD0 upward, so a third one lands on DIR_DELETED and is never written.
constexpr int DIR_IFD0 = -255;
constexpr int DIR_IFD1 = -254;
constexpr int DIR_DELETED = -253;

class PHOTOGEO_API CExif {
public:
    // Empty table, big-endian, nothing read (m_bReadExif 0), no thumbnail, no sub-directory.
    CExif();
    // Frees the strip tables, the thumbnail and every entry.
    ~CExif();
    // A deep copy, made as operator= makes it.
    CExif(const CExif& other);
    // Replaces this table by a deep copy of other's entries; copies m_bIntel, m_bReadExif,
    // m_nGPSEntry, m_nExifEntry, m_nThumbCompression, m_nThumbSize and (when other has a
    // usable thumbnail) the thumbnail bytes. Thumbnail width/height are not copied.
    CExif& operator=(const CExif& other);

    // Frees every entry's value and empties the table. The thumbnail is untouched.
    void RemoveAll();

    // ---- byte order (m_bIntel) ----
    // The unsigned number held in the n bytes at p, in the block's byte order, zero-extended.
    // n from 1 to 4; n <= 0 gives 0 (n above 4 is taken as 4).
    uint32_t BYTEtoLONG(const unsigned char* p, int n) const;
    // Writes the low n bytes of value at p in the block's byte order. n <= 0 writes nothing
    // (n above 4 is taken as 4).
    void LONGtoBYTE(uint32_t value, unsigned char* p, int n) const;
    // Writes value into the data of entry index from byte offset on, as LONGtoBYTE would, but
    // never past the entry's nSize: n bytes, or nSize - offset when that is fewer (then the
    // low bytes of value). Nothing is written for a missing or deleted entry.
    void SetDirEntry(uint32_t value, int index, int offset, int n);

    // ---- table operations ----
    // Appends an entry read from a TIFF block: pField is the entry's raw 4-byte value field,
    // nPos the block offset of pStream's current position (so the block starts at the current
    // position minus nPos). A value of 4 bytes or fewer is taken from pField; a longer one
    // from block offset BYTEtoLONG(pField, 4), without moving the stream. Returns the new
    // index, or -1 when the entry was dropped: a value that would lie (even in part) outside
    // the stream's buffer is never read, and its entry is not stored.
    int AddEntry(CInBitStream* pStream, int nParent, int nTag, int nType, int nCount,
                 unsigned char* pField, int nPos);
    // Replaces entry index in place with the given directory, tag, type, count and a copy of
    // type size x nCount bytes at pValue (null: zeros). An index outside the table does
    // nothing.
    void RewriteDirect(int index, int nParent, int nTag, int nType, int nCount,
                       unsigned char* pValue);
    // Deletes the first entry with that directory and tag (frees its value, parent becomes
    // DIR_DELETED; it keeps its place and still counts in GetTotalSize). No match: nothing.
    void DeleteTag(int nParent, int nTag);
    // An upper bound of the byte count that WriteExif produces: the sum over all entries
    // (deleted ones included) of nSize + 12, plus m_nThumbSize, plus 400.
    int GetTotalSize() const;

    // ---- reading (pStream stands on the first byte of the TIFF header) ----
    // Full read of the nLength-byte TIFF block: the table is replaced by every entry of the
    // block, pProp receives every item the library understands (flags accumulate across
    // reads; flags 9-13 are cleared first) and the IFD1 thumbnail is extracted. On return the
    // stream stands at the block's end. A malformed block makes the read throw
    // (EBufferError); what was read until then stays in the table and the record. Values that
    // lie outside the stream's buffer are skipped; nothing outside it is ever read.
    void ReadExif(CInBitStream* pStream, int nLength, SExifProperty* pProp);
    // Quick read: only the title, DateTimeOriginal, UserComment and GPS position, altitude,
    // datum and direction are decoded (the failures are those of ReadExif); the table keeps only
    // the Exif and GPS pointer entries; the thumbnail is extracted only when bThumbnail is nonzero.
    // Nothing in pProp is cleared.
    void ReadQuickExif(CInBitStream* pStream, int nLength, SExifProperty* pProp, int bThumbnail);

    // ---- writing ----
    // Lays the table out as a complete TIFF block at pOut and returns its length. pOut must
    // hold GetTotalSize() bytes; nothing is written beyond the returned length. Layout: header
    // ("II" or "MM" after m_bIntel), IFD0, GPS, Exif, Interoperability, IFD1, each directory's
    // entries in table order followed by its values, then the thumbnail. A thumbnail that no
    // IFD1 offset entry (a value of 4 bytes or fewer) can point at is left out. Only the IFD1
    // strip entries of an uncompressed thumbnail are changed in the table (one strip).
    int WriteExif(unsigned char* pOut);
    // Applies the record to the table: builds a minimal directory when nothing was read,
    // makes sure an Exif sub-directory exists, stamps dates (bDate), creates, updates or
    // deletes the GPS entries (bWriteGPS), and rewrites or deletes the copyright, software,
    // shooting date-time, title, user comment and pixel-dimension entries. time gives the
    // text of new date entries; pszName the title of a directory built from nothing.
    void RewriteData(SExifProperty prop, CTime time, const char* pszName, int bDate, int bWriteGPS);
    // Patches the TIFF block under pStream (standing on its first byte) in place with the
    // table's title, copyright, shooting date-time, comment and GPS entries, where the block's
    // own entries give them room. Throws EBufferError when the walk runs past the buffer;
    // values written before that stay written.
    void OverwriteGPS(CInBitStream* pStream);

    // ---- data ----
    std::vector<SExifEntry> m_aEntry;  // the table
    int m_bIntel;                      // nonzero: little-endian ("II"); 0: big-endian ("MM")
    int m_bReadExif;                   // 1 once a read has started on this object
    int m_nThumbCompression;           // 6 JPEG, 1 uncompressed RGB, -1 no usable thumbnail
    unsigned char* m_pThumbData;       // owned thumbnail bytes, or null
    int m_nThumbSize;                  // byte count of m_pThumbData
    int m_nThumbWidth;                 // IFD1 ImageWidth (uncompressed thumbnail)
    int m_nThumbHeight;                // IFD1 ImageLength (uncompressed thumbnail)
    int m_nGPSEntry;                   // index of the IFD0 GPS pointer entry (34853), or -1
    int m_nExifEntry;                  // index of the IFD0 Exif pointer entry (34665), or -1
    int32_t* m_pStripOffsets;          // IFD1 StripOffsets while a read runs, else null
    int32_t* m_pStripByteCounts;       // IFD1 StripByteCounts while a read runs, else null

protected:
    // Appends an entry holding a copy of type size x nCount bytes at pValue (already in the
    // block's byte order; null gives zeros). Returns the new index.
    int AddDirect(int nParent, int nTag, int nType, int nCount, unsigned char* pValue);
    // Index of the first live entry with that directory and tag, or -1.
    int GetTag(int nParent, int nTag) const;
    // Number of entries with that directory number.
    int GetDirCount(int nParent) const;
    // The smallest directory number among the entries that is greater than nParent, or -1.
    int GetNextParent(int nParent) const;
    // As GetNextParent, counting only sub-directories (numbers 0 and up).
    int GetSubParent(int nParent) const;

    // Item getters shared by both readers. nOffset is relative to the stream's current
    // position; pField is the entry's value field as stored.
    // ASCII text of nCount bytes (from pField when nCount <= 4, else at nOffset) into str, up
    // to its first NUL; bFlag = 1. A text outside the buffer changes nothing.
    void GetStringItem(int& bFlag, CString& str, CInBitStream* pStream, int nCount, int nOffset,
                       unsigned char* const pField);
    // Copyright: two NUL-terminated texts in a row (photographer, editor).
    void GetDoubleStringItem(int& bFlag1, int& bFlag2, CString& str1, CString& str2,
                             CInBitStream* pStream, int nCount, int nOffset,
                             unsigned char* const pField);
    // nCount rationals at nOffset into pDst (which must hold nCount); bFlag = 1. Rationals
    // outside the buffer change nothing.
    void GetRationalItem(int& bFlag, tagRATIONAL* pDst, CInBitStream* pStream, int nCount,
                         int nOffset);
    // The 16-bit value at the start of pField; bFlag = 1.
    void GetShortItem(int& bFlag, short& nDst, CInBitStream* pStream, unsigned char* const pField);
    // Degrees + minutes/60 + seconds/3600 of three unsigned rationals at the stream's position
    // (the stream moves past them). A zero denominator gives the IEEE quotient.
    double GetLatLonItem(CInBitStream* pStream);
    // 1 when the byte at relative offset nOffset lies inside the stream's buffer.
    int CheckOffsetAddr(int32_t nOffset, CInBitStream* pStream);

private:
    struct ReadPass;  // the working state of one read, shared by both readers
    friend struct ReadPass;

    void ResetForRead();
    void FreeStripTables();
    void FreeThumbnail();
    int AppendEntry(int nParent, int nTag, int nType, int nCount, const unsigned char* pValue);

    int m_nStripOffsetCount;     // slots of m_pStripOffsets
    int m_nStripByteCountCount;  // slots of m_pStripByteCounts
};

#endif
