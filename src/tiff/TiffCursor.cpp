// The TIFF cursor's reads, the type-size table and the error texts (TiffCursor.h). Every read
// checks its whole run with Fits before touching a byte, so a failing call changes nothing.
#include "tiff/TiffCursor.h"

#include <cstring>

namespace photogeo::tiff {

namespace {

// Bytes per value of the field types 1..12 (index 0: no type).
constexpr int kTypeSize[13] = {0, 1, 1, 2, 4, 8, 1, 1, 2, 4, 8, 4, 8};
static_assert(kTypeSize[kRational] == 8 && kTypeSize[kDouble] == 8,
              "a count times the largest type size stays below 2^35");

// The error texts, one per Fault, in the enum's order.
constexpr const char* kFaultText[] = {
    "TIFF: 16-bit number past the end of the block",
    "TIFF: 32-bit number past the end of the block",
    "TIFF: position outside the block",
    "TIFF: value outside the block",
};

}  // namespace

int TypeSize(int nType) {
    return nType >= kByte && nType <= kDouble ? kTypeSize[nType] : 0;
}

const char* FaultText(Fault fault) {
    return kFaultText[static_cast<int>(fault)];
}

void Cursor::Seek(int64_t nOffset) {
    if (!Fits(nOffset, 0, m_nSize)) throw Error(Fault::kSeek);
    m_nPos = nOffset;
}

uint16_t Cursor::Get16At(int64_t nOffset) const {
    if (!Fits(nOffset, 2, m_nSize)) throw Error(Fault::kRead16);
    return Load16(m_pData + nOffset);
}

uint32_t Cursor::Get32At(int64_t nOffset) const {
    if (!Fits(nOffset, 4, m_nSize)) throw Error(Fault::kRead32);
    return Load32(m_pData + nOffset);
}

uint16_t Cursor::Read16() {
    const uint16_t v = Get16At(m_nPos);
    m_nPos += 2;
    return v;
}

uint32_t Cursor::Read32() {
    const uint32_t v = Get32At(m_nPos);
    m_nPos += 4;
    return v;
}

const unsigned char* Cursor::Require(int64_t nOffset, int64_t nLength) const {
    const unsigned char* p = Span(nOffset, nLength);
    if (!p) throw Error(Fault::kSpan);
    return p;
}

uint16_t Cursor::ReadMark() {
    if (!Fits(0, 2, m_nSize)) throw Error(Fault::kRead16);
    const uint16_t mark = tiff::Load16(m_pData, ByteOrder::kBigEndian);
    if (!Fits(0, 4, m_nSize)) throw Error(Fault::kSeek);
    if (mark == kMarkBigEndian) m_order = ByteOrder::kBigEndian;
    if (mark == kMarkLittleEndian) m_order = ByteOrder::kLittleEndian;
    m_nPos = 4;
    return mark;
}

Header Cursor::ReadHeader() {
    Header h{};
    h.mark = ReadMark();
    h.order = m_order;
    h.magic = Get16At(2);
    h.firstIfd = Read32();
    return h;
}

void Cursor::SeekFirstIfd(uint32_t nFirstIfd) {
    Seek(nFirstIfd > kHeaderSize ? nFirstIfd : kHeaderSize);
}

Entry Cursor::ReadEntry() {
    Entry e;
    e.offset = m_nPos;
    e.tag = Get16At(m_nPos);
    e.type = Get16At(m_nPos + 2);
    e.count = Get32At(m_nPos + 4);
    e.value = Get32At(m_nPos + 8);
    std::memcpy(e.field, m_pData + m_nPos + 8, kValueFieldSize);
    m_nPos += kEntrySize;
    return e;
}

}  // namespace photogeo::tiff
