// CInBitStream: the byte and bit reader through which every in-memory decoder of the library
// reads (EXIF blocks, JPEG segments, entropy-coded JPEG data), and the five error types that
// it and the JPEG decoder throw.
//
// The reader never owns or copies its buffer. Every read is checked against [m_pTop, m_pEnd):
// running past either end throws EBufferError carrying the operation's name.
#ifndef PHOTOGEO_INBITSTREAM_H
#define PHOTOGEO_INBITSTREAM_H

#include "photogeo/Export.h"

// A read past the end of the data. message: the failing operation ("GetByte", "GetWord",
// "CopyByte", "SkipByte", ...) or "EndOfDisk" from the file marker scanner.
class PHOTOGEO_API EBufferError {
public:
    explicit EBufferError(const char* pMessage) : message(pMessage) {}
    const char* message;
};

// Malformed JPEG data. position: address in the input buffer, or null.
class PHOTOGEO_API EDataFormatError {
public:
    EDataFormatError(unsigned char* pPosition, const char* pMessage)
        : position(pPosition), message(pMessage) {}
    unsigned char* position;
    const char* message;
};

// A JPEG construct the decoder does not handle. code: the marker code of the construct.
class PHOTOGEO_API ENotSupported {
public:
    ENotSupported(int nCode, unsigned char* pPosition) : code(nCode), position(pPosition) {}
    int code;
    unsigned char* position;
};

// A table index or size beyond its bound: limit is the largest allowed value.
class PHOTOGEO_API EIndexError {
public:
    EIndexError(int nLimit, int nValue, const char* pMessage)
        : limit(nLimit), value(nValue), message(pMessage) {}
    int limit;
    int value;
    const char* message;
};

// A buffer that could not be allocated: count elements of the buffer called name.
class PHOTOGEO_API EMemoryError {
public:
    EMemoryError(int nCount, const char* pName) : count(nCount), name(pName) {}
    int count;
    const char* name;
};

class PHOTOGEO_API CInBitStream {
public:
    // Reads nSize bytes at pData; byte aligned, big-endian (m_bIntel 0).
    CInBitStream(unsigned char* pData, int nSize);

    // One byte, after dropping the unread bits of a partly read byte. Throws "GetByte" once the
    // end has been reached (m_bData 0), even after SetPosition moved back.
    unsigned char GetByte();
    // 16 bits big-endian (GetWord) or little-endian (GetWordLE), aligned; throws "GetWord".
    int GetWord();
    int GetWordLE();
    // n bytes to pDst: in order, reversed (big- to little-endian), or byte by byte. Aligned;
    // throws "CopyByte" when the run passes the end (n = 0 at the end succeeds).
    void CopyByte(unsigned char* pDst, int n);
    void CopyByteReverse(unsigned char* pDst, int n);
    void CopyByteForward(unsigned char* pDst, int n);
    // Moves n bytes forward or (negative n) backward without aligning; throws "SkipByte" when
    // the target lies outside the buffer.
    void SkipByte(int n);

    // Next n bits of entropy-coded data, most significant first, skipping stuffed zero bytes;
    // a marker met on the way is returned as its negated code with the reader left on its 0xFF.
    // Throws "GetBits" when the data ends before a marker.
    int GetBits(int n);
    // Marks a data 0xFF 0x00 at the current aligned position, so that GetBits skips the 0x00.
    void CheckStuffByte();

    unsigned char* GetPosition() const { return m_pCur; }
    void SetPosition(unsigned char* p) { m_pCur = p; }
    // Saves the position and moves n bytes (one level); throws "PushSkip" outside the buffer.
    void PushSkip(int n);
    void PopSkip() { m_pCur = m_pSave; }
    // Address of the next whole byte; null when the partly read byte was the last one.
    unsigned char* GetBytePosition() const;
    // 1 if m_pCur + n lies inside the buffer.
    int CheckOffset(int n) const;
    // Bytes from the current position to the end, when byte aligned; else 0.
    int GetRestSize() const;

    unsigned char* m_pCur;
    int m_bIntel;
    unsigned char* m_pSave;
    unsigned char* m_pTop;
    unsigned char* m_pEnd;
    int m_nBit;
    int m_bNoStuff;
    int m_bData;

private:
    void Align();
    void IncPointer();
    bool Inside(const unsigned char* p) const { return p >= m_pTop && p < m_pEnd; }
};

#endif
