// CExifIfdCoder: the class through which the host works on JPEG photograph files. It finds the
// EXIF segment of a file, has CExif decode it into the property record m_Property, lists that
// record as labelled Japanese text, derives the magnetic variation and true bearing of the
// photograph, writes the edited record back (as a new copy of the file, or patched in place) and
// extracts an HTML document held in the user comment.
//
// Typical use: Decoder(path); read or change m_Property; Listup(...) item by item; Coder(in, out,
// ...) or OverwriteGPS(path). Public operations return 1 for success and 0 for failure and throw
// nothing, except that the write-back operations let an allocation failure of CExif::RewriteData
// through. All texts handed out are Shift-JIS. One object serves one thread at a time.
//
// Writing is all or nothing: Coder and OverwriteGPS build the whole result in a temporary file
// beside the target, push it to the disk and then rename it over the target; on any failure the
// target keeps its old contents, no temporary file remains, and the result is 0.
#ifndef PHOTOGEO_EXIFIFDCODER_H
#define PHOTOGEO_EXIFIFDCODER_H

#include <cstdio>
#include <memory>

#include "photogeo/Exif.h"
#include "photogeo/ExifProperty.h"
#include "photogeo/Export.h"
#include "photogeo/HostTypes.h"
#include "photogeo/InBitStream.h"
#include "photogeo/Marker.h"

class PHOTOGEO_API CExifIfdCoder {
public:
    // All presence flags of m_Property cleared, m_nStatus 2, no reader.
    CExifIfdCoder();
    ~CExifIfdCoder();
    CExifIfdCoder(const CExifIfdCoder&) = delete;
    CExifIfdCoder& operator=(const CExifIfdCoder&) = delete;

    // Sets the seventy presence flags of m_Property to 0; values and texts stay as they are.
    // The reads below never clear the record: call this before reading a second file to drop
    // the items of the first.
    void ClearExifEnable();

    // Picture size of the first frame header of the JPEG file at path: width = samples per line,
    // height = number of lines. Returns 1 when the file could be opened (width and height are
    // left unchanged when it has no frame header), 0 when it could not.
    int GetJPEGInfo(const char* path, int& width, int& height);

    // Reads the EXIF block of the JPEG file at path into m_Exif and m_Property (full read).
    // Returns 0 when the file does not open (m_nStatus 3), else 1; m_nStatus is then 1 when an
    // EXIF segment was found (even if its block proved malformed) and 2 when there was none. Only
    // the first APP1 segment before the frame header is examined.
    int Decoder(const char* path);
    // As Decoder, with the quick reader (title, shooting time, comment and GPS items only);
    // option nonzero also extracts the thumbnail.
    int QuickDecoder(const char* path, int option);

    // One item of m_Property as a label and a value text. nItem: 0-13 basic items, 101-112 GPS,
    // 201-209 image, 301-326 camera. Returns 1 when the item is listed: strName receives the
    // label and strValue the value (strValue is left as passed when the stored value has no
    // text). Returns 0, both strings untouched, for another number or an absent item. bAll
    // nonzero lists the basic items 0, 3, 4, 5, 8-13 even when absent, and first stores their
    // defaults (empty texts, 0.0 degrees and metres, datum "WGS84") into m_Property.
    int Listup(int nItem, CString& strName, CString& strValue, int bAll);
    // A rational as the listing shows it: "1/%d" of den/num when num <= den, else "%d" of
    // num/den, both parts unsigned; the empty text when den is 0; "0" when num alone is 0.
    void StrRational(CString& str, tagRATIONAL r);

    // Magnetic variation in degrees (east positive) at the recorded position, altitude (0 m when
    // absent) and shooting time (the current time when absent); 0.0 without a position.
    double GetMagVar();
    // The recorded image direction in degrees from true north: a direction recorded against
    // magnetic north ('M') has the variation subtracted (and 360 taken off a result of 360 or
    // more); any other is returned as stored. 0.0 without an image direction.
    double GetTrueDir();

    // Writes pszOut as a copy of the JPEG file pszIn with a new EXIF segment built from
    // m_Exif after applying m_Property to it (CExif::RewriteData). m_Exif must hold what
    // Decoder read from pszIn. bExifTime nonzero: the shooting date-time of the record replaces
    // the file's dates; zero: pszIn's modification time dates only the date entries that have to
    // be created. bWriteGPS nonzero: the record's GPS items are written. The new segment stands
    // right after SOI; earlier EXIF segments are dropped; everything from the frame header on is
    // copied unchanged. pszIn and pszOut may name the same file. Returns 1 when pszOut was
    // written; 0 when pszIn cannot be read, the new block would not fit a segment (65,527 bytes),
    // or pszOut cannot be written (then pszOut is unchanged).
    int Coder(const char* pszIn, const char* pszOut, int bExifTime, int bWriteGPS);
    // Patches the existing EXIF block of the file at path in place with the record's GPS items,
    // title, copyright, comment and shooting date-time where each fits in the space the file
    // already gives it; the file's length never changes, and a file without EXIF is written back
    // unchanged. Returns 1 when the file was written back, 0 otherwise (file unchanged).
    int OverwriteGPS(const char* path);

    // Writes the user comment of m_Property to path (created or truncated) when it is present and
    // contains "<HTML>" in any letter case; the text is written byte for byte, in its own case.
    // Returns 1 when written, else 0; a comment without the tag never touches path.
    int PullupHtml(const char* path);

    // 1: an EXIF segment was found by the last Decoder/QuickDecoder; 2: none (also after
    // construction); 3: the file did not open.
    int m_nStatus;
    // The decoded properties; the host reads and edits it between calls.
    SExifProperty m_Property;
    // The entry directory of the last EXIF block read.
    CExif m_Exif;

protected:
    // Rewrites the DateTime (IFD0) and DateTimeOriginal (Exif directory) texts of the TIFF block
    // under m_pStream with tmDateTimeOriginal, then leaves the reader nEndPos bytes after the
    // block's start. The reader must stand at the block's first byte (without a reader nothing
    // happens). A text whose 20 bytes would not lie inside the block is not written; a walk past
    // the block's end throws EBufferError.
    void AnalysisDate(int nEndPos);

    // Next marker code from a file (throws EBufferError "EndOfDisk" at its end) or from
    // m_pStream. Stuffed 0xFF 0x00 pairs are passed over; codes 0x03-0xBF give INVALID.
    eMarker GetMarker(FILE* file);
    eMarker GetMarker();
    // Finds the first APP1 segment before the frame header of an open file and, when it is an
    // EXIF segment, parses its block (quick: with the quick reader, option its thumbnail flag).
    // 1 when an EXIF segment was handed to the reader, 0 otherwise; throws nothing.
    int ReadIFD(FILE* file, int quick, int option);
    // Size from the first frame header; 1 when found, 0 otherwise (width, height unchanged).
    int ReadJPEGInfo(FILE* file, int& width, int& height);
    // Copies the JPEG file under m_pStream (standing at its first byte) to out with a new EXIF
    // segment right after SOI, built into m_pExifBuffer (at least CExif::GetTotalSize() bytes).
    // Malformed input ends the copy early, with what was written. A failed write is thrown on as
    // CFileException, and a block too large for a segment as EBufferError "WriteIFD" before
    // anything is written.
    void WriteIFD(CFile* out);
    // Copies bytes of m_pStream to out up to and including the next marker, dropping EXIF
    // segments and passing other APP1 segments over unchanged by their length; returns the code.
    eMarker WriteMarker(CFile* out);
    // Patches the first APP1 segment of the file held under m_pStream, when it is EXIF, with
    // CExif::OverwriteGPS; a malformed block ends the patching quietly.
    void OverwriteExif();

    int m_nReserved;
    CFile m_File;
    unsigned m_dwFileLength;
    unsigned char* m_pFileBuffer;  // whole input file, only during a write-back
    unsigned char* m_pExifBuffer;  // new TIFF block, only during Coder
    int m_nSegmentState;           // 0 until SOI is met, 1 while the header segments are walked
    // The byte reader over the memory block being walked; null between operations.
    std::unique_ptr<CInBitStream> m_pStream;
};

#endif
