// A bounded, byte-order-aware reader for TIFF blocks (the body of an EXIF segment), shared by
// every piece of code that walks one: the EXIF readers, the in-place patches of an existing
// block (GPS overwrite, date stamp) and the lossless editor.
//
// A Cursor is laid over bytes that the caller holds; it never owns, copies or writes them. It
// reads the 8-byte header, 16- and 32-bit numbers in the block's byte order, and the 12-byte
// directory entries, at a position that moves through the block or at any block offset.
// Offsets and counts come from untrusted data, so every check is made in 64-bit arithmetic on
// offsets, never on pointers: offset + count x type size cannot overflow (a 32-bit count times
// a type size of at most 8 stays below 2^35), and no pointer outside the bytes is ever formed.
// Numbers are assembled from bytes, so the host's own byte order never matters.
//
// Failures throw tiff::Error carrying a Fault; its text comes from the one table in
// TiffCursor.cpp. The cursor is left where it was before the failing call. Callers convert the
// error at their own boundary (the EXIF code raises its EBufferError texts from the Fault).
#ifndef PHOTOGEO_SRC_TIFF_TIFFCURSOR_H
#define PHOTOGEO_SRC_TIFF_TIFFCURSOR_H

#include <cstdint>
#include <exception>

namespace photogeo::tiff {

enum class ByteOrder { kBigEndian, kLittleEndian };

// Header layout: a byte-order mark, the number 42, the offset of the first directory (IFD0).
constexpr uint16_t kMarkBigEndian = 0x4D4D;     // "MM"
constexpr uint16_t kMarkLittleEndian = 0x4949;  // "II"
constexpr uint16_t kMagic = 42;
constexpr int64_t kHeaderSize = 8;
// A directory: a 16-bit entry count, the 12-byte entries, a 32-bit next-directory offset.
constexpr int64_t kCountSize = 2;
constexpr int64_t kEntrySize = 12;
constexpr int64_t kNextOffsetSize = 4;
// The value field of an entry: values of this many bytes or fewer are held in it.
constexpr int64_t kValueFieldSize = 4;

// Field types of an entry.
enum Type : int {
    kByte = 1,
    kAscii = 2,
    kShort = 3,
    kLong = 4,
    kRational = 5,
    kSByte = 6,
    kUndefined = 7,
    kSShort = 8,
    kSLong = 9,
    kSRational = 10,
    kFloat = 11,
    kDouble = 12,
};

// Bytes per value of a field type; 0 for a type outside 1..12.
int TypeSize(int nType);

// Why a read failed. Each has one text, FaultText, from the table in TiffCursor.cpp.
enum class Fault {
    kRead16,  // a 16-bit number passes the end of the bytes
    kRead32,  // a 32-bit number (or an entry's value field) passes the end
    kSeek,    // a position outside the bytes
    kSpan,    // a run of bytes (Require) that does not lie wholly inside
};
const char* FaultText(Fault fault);

class Error : public std::exception {
public:
    explicit Error(Fault fault) : m_fault(fault) {}
    Fault fault() const { return m_fault; }
    const char* what() const noexcept override { return FaultText(m_fault); }

private:
    Fault m_fault;
};

// True when the nLength bytes at nOffset lie inside [0, nSize). A run of length 0 needs a
// start inside the bytes or at their end. Negative offsets or lengths never fit.
constexpr bool Fits(int64_t nOffset, int64_t nLength, int64_t nSize) {
    return nOffset >= 0 && nLength >= 0 && nOffset <= nSize && nLength <= nSize - nOffset;
}

// Numbers at p (two or four readable bytes) in the given order, assembled from the bytes.
constexpr uint16_t Load16(const unsigned char* p, ByteOrder order) {
    return order == ByteOrder::kLittleEndian ? static_cast<uint16_t>(p[0] | (p[1] << 8))
                                             : static_cast<uint16_t>((p[0] << 8) | p[1]);
}
constexpr uint32_t Load32(const unsigned char* p, ByteOrder order) {
    return order == ByteOrder::kLittleEndian
               ? static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
                     static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24
               : static_cast<uint32_t>(p[0]) << 24 | static_cast<uint32_t>(p[1]) << 16 |
                     static_cast<uint32_t>(p[2]) << 8 | static_cast<uint32_t>(p[3]);
}

// The order that a nonzero "little-endian" flag (the readers' m_bIntel) names.
constexpr ByteOrder OrderOf(int bLittleEndian) {
    return bLittleEndian ? ByteOrder::kLittleEndian : ByteOrder::kBigEndian;
}

// The 8-byte header as read. The order is that of the mark, or, for an unknown mark, the order
// the cursor had before (readers keep reading in it). Magic is not checked by ReadHeader.
struct Header {
    uint16_t mark;      // as stored, read big-endian
    uint16_t magic;     // 42 in a well-formed block
    uint32_t firstIfd;  // block offset of IFD0
    ByteOrder order;
    bool KnownMark() const { return mark == kMarkBigEndian || mark == kMarkLittleEndian; }
    bool Valid() const { return KnownMark() && magic == kMagic; }
};

// One 12-byte directory entry as read.
struct Entry {
    int64_t offset;  // block offset of the entry's first byte (its tag)
    uint16_t tag;
    uint16_t type;
    uint32_t count;
    uint32_t value;          // the value field as a number in the block's order
    unsigned char field[4];  // the value field as stored

    // Bytes of the whole value: type size x count (at most 8 x (2^32 - 1), no overflow).
    int64_t ByteSize() const { return static_cast<int64_t>(TypeSize(type)) * count; }
    // The value lies in the value field itself (else at block offset `value`).
    bool Inline() const { return ByteSize() <= kValueFieldSize; }
    // Block offsets of the type field and the value field, for in-place patches.
    int64_t TypeOffset() const { return offset + 2; }
    int64_t FieldOffset() const { return offset + 8; }
};

class Cursor {
public:
    // A cursor over the nSize bytes at pData (a negative size is taken as 0), at offset 0.
    Cursor(const unsigned char* pData, int64_t nSize, ByteOrder order = ByteOrder::kBigEndian)
        : m_pData(pData), m_nSize(nSize > 0 ? nSize : 0), m_order(order) {}

    ByteOrder Order() const { return m_order; }
    void SetOrder(ByteOrder order) { m_order = order; }
    bool LittleEndian() const { return m_order == ByteOrder::kLittleEndian; }
    int64_t Size() const { return m_nSize; }
    int64_t Pos() const { return m_nPos; }
    const unsigned char* Data() const { return m_pData; }

    // Moves to block offset nOffset, anywhere in [0, Size()]; else throws kSeek.
    void Seek(int64_t nOffset);

    // Numbers at the position, which moves past them; kRead16 / kRead32 when they pass the end.
    uint16_t Read16();
    uint32_t Read32();
    // Numbers at a block offset; the position does not move.
    uint16_t Get16At(int64_t nOffset) const;
    uint32_t Get32At(int64_t nOffset) const;
    // A number held in bytes the caller has (an entry's field, a value run) in the block's order.
    uint16_t Load16(const unsigned char* p) const { return tiff::Load16(p, m_order); }
    uint32_t Load32(const unsigned char* p) const { return tiff::Load32(p, m_order); }

    // The nLength bytes at block offset nOffset, or null when any lies outside.
    const unsigned char* Span(int64_t nOffset, int64_t nLength) const {
        return Fits(nOffset, nLength, m_nSize) ? m_pData + nOffset : nullptr;
    }
    // nCount values of nTypeSize bytes at nOffset; null when outside (checked without overflow).
    const unsigned char* Span(int64_t nOffset, uint32_t nCount, int nTypeSize) const {
        return Span(nOffset, static_cast<int64_t>(nCount) * nTypeSize);
    }
    // As Span, but throws kSpan instead of giving null.
    const unsigned char* Require(int64_t nOffset, int64_t nLength) const;

    // Reads the whole header at offset 0 and leaves the cursor at offset 8: ReadMark, then the
    // IFD0 offset in the mark's order (kRead32 when fewer than 8 bytes).
    Header ReadHeader();
    // The first half of the header: the byte-order mark at offset 0, read big-endian, which
    // sets the cursor's order (an unknown mark keeps the order the cursor had). Leaves the
    // cursor at offset 4, on the IFD0 offset. kRead16 when fewer than 2 bytes, kSeek when
    // fewer than 4. Readers that must keep their own order flag in step even when the header
    // is cut short call this first, then Read32.
    uint16_t ReadMark();
    // Moves to the first directory: an IFD0 offset inside the header (8 or less) is taken as
    // 8, the directory that follows the header.
    void SeekFirstIfd(uint32_t nFirstIfd);
    // The entry count of the directory at the position (kRead16 when it passes the end).
    uint16_t ReadCount() { return Read16(); }
    // The entry at the position; the cursor moves past it. On failure the cursor stays where
    // it was; the fault is that of the part that passes the end (kRead16 for the tag or type,
    // kRead32 for the count or value field).
    Entry ReadEntry();

private:
    const unsigned char* m_pData;
    int64_t m_nSize;
    ByteOrder m_order;
    int64_t m_nPos = 0;
};

}  // namespace photogeo::tiff

#endif
