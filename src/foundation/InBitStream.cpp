// The byte and bit reader shared by the EXIF readers, the file coder and the JPEG decoder.
//
// Reads are checked against [m_pTop, m_pEnd) before every access, and pointer movements are
// computed as offsets from the current position so that no out-of-range pointer is ever formed:
// a hostile offset in an EXIF block or a truncated JPEG ends in EBufferError, never in a read
// outside the caller's buffer.
#include "photogeo/InBitStream.h"

#include <cstddef>
#include <cstring>

#include "foundation/ByteReaderErrors.h"

using namespace photogeo::foundation;

CInBitStream::CInBitStream(unsigned char* pData, int nSize)
    : m_pCur(pData),
      m_bIntel(0),
      m_pSave(pData),
      m_pTop(pData),
      m_pEnd(pData + (nSize > 0 ? nSize : 0)),
      m_nBit(7),
      m_bNoStuff(1),
      m_bData(1) {}

void CInBitStream::IncPointer() {
    ++m_pCur;
    if (m_pCur >= m_pEnd) m_bData = 0;
}

void CInBitStream::Align() {
    if (m_nBit != 7) {
        // The partly read byte is left behind; it may have been the last one.
        if (m_pCur < m_pEnd) IncPointer();
        m_nBit = 7;
    }
}

unsigned char CInBitStream::GetByte() {
    if (!m_bData) throw EBufferError(kErrGetByte);
    Align();
    if (!Inside(m_pCur)) {
        m_bData = 0;
        throw EBufferError(kErrGetByte);
    }
    unsigned char b = *m_pCur;
    IncPointer();
    m_bNoStuff = 1;
    return b;
}

int CInBitStream::GetWord() {
    if (!m_bData) throw EBufferError(kErrGetWord);
    Align();
    // Both bytes must be there before either is taken, so a failure leaves the position alone.
    if (!Inside(m_pCur) || m_pEnd - m_pCur < 2) throw EBufferError(kErrGetWord);
    int hi = *m_pCur;
    IncPointer();
    int lo = *m_pCur;
    IncPointer();
    return (hi << 8) | lo;
}

int CInBitStream::GetWordLE() {
    if (!m_bData) throw EBufferError(kErrGetWord);
    Align();
    if (!Inside(m_pCur) || m_pEnd - m_pCur < 2) throw EBufferError(kErrGetWord);
    int lo = *m_pCur;
    IncPointer();
    int hi = *m_pCur;
    IncPointer();
    return (hi << 8) | lo;
}

// The copy operations share the bound rule: the whole run of n bytes must lie inside the buffer.
static bool RunFits(const unsigned char* pCur, const unsigned char* pTop, const unsigned char* pEnd,
                    int n) {
    return n >= 0 && pCur >= pTop && pCur <= pEnd && n <= pEnd - pCur;
}

void CInBitStream::CopyByte(unsigned char* pDst, int n) {
    Align();
    if (!RunFits(m_pCur, m_pTop, m_pEnd, n)) throw EBufferError(kErrCopyByte);
    if (n > 0) std::memcpy(pDst, m_pCur, static_cast<size_t>(n));
    m_pCur += n;
    if (m_pCur >= m_pEnd) m_bData = 0;
}

void CInBitStream::CopyByteReverse(unsigned char* pDst, int n) {
    Align();
    if (!RunFits(m_pCur, m_pTop, m_pEnd, n)) throw EBufferError(kErrCopyByte);
    for (int i = 0; i < n; ++i) pDst[n - 1 - i] = m_pCur[i];
    m_pCur += n;
    if (m_pCur >= m_pEnd) m_bData = 0;
}

void CInBitStream::CopyByteForward(unsigned char* pDst, int n) {
    Align();
    if (!RunFits(m_pCur, m_pTop, m_pEnd, n)) throw EBufferError(kErrCopyByte);
    for (int i = 0; i < n; ++i) pDst[i] = m_pCur[i];
    m_pCur += n;
    if (m_pCur >= m_pEnd) m_bData = 0;
}

void CInBitStream::SkipByte(int n) {
    // Offsets, not pointers, are compared: the target may be anywhere a hostile block says.
    ptrdiff_t here = m_pCur - m_pTop;
    ptrdiff_t size = m_pEnd - m_pTop;
    ptrdiff_t target = here + n;
    if (here < 0 || here > size || target < 0 || target > size) throw EBufferError(kErrSkipByte);
    m_pCur = m_pTop + target;
    if (m_pCur >= m_pEnd) m_bData = 0;
}

void CInBitStream::PushSkip(int n) {
    ptrdiff_t here = m_pCur - m_pTop;
    ptrdiff_t size = m_pEnd - m_pTop;
    ptrdiff_t target = here + n;
    if (here < 0 || here > size || target < 0 || target > size) throw EBufferError(kErrPushSkip);
    m_pSave = m_pCur;
    m_pCur = m_pTop + target;
}

int CInBitStream::GetBits(int n) {
    if (n <= 0) return 0;
    int value = 0;
    for (int i = 0; i < n; ++i) {
        if (m_nBit < 0) {
            // The step onto the next byte (two with a stuffed zero) must stay within the buffer.
            if (m_pCur < m_pTop || m_pEnd - m_pCur < (m_bNoStuff ? 1 : 2))
                throw EBufferError(kErrGetBits);
            m_nBit = 7;
            IncPointer();
            if (!m_bNoStuff) {
                IncPointer();
                m_bNoStuff = 1;
            }
            if (Inside(m_pCur) && *m_pCur == 0xFF) {
                if (m_pCur + 1 >= m_pEnd) throw EBufferError(kErrGetBits);
                int m = m_pCur[1];
                if (m != 0) return -m;
                m_bNoStuff = 0;
            }
        }
        if (!Inside(m_pCur)) throw EBufferError(kErrGetBits);
        int bit = (*m_pCur >> m_nBit) & 1;
        --m_nBit;
        value = 2 * value + bit;
    }
    return value;
}

void CInBitStream::CheckStuffByte() {
    if (m_nBit == 7 && Inside(m_pCur) && m_pEnd - m_pCur >= 2 && m_pCur[0] == 0xFF &&
        m_pCur[1] == 0x00)
        m_bNoStuff = 0;
}

unsigned char* CInBitStream::GetBytePosition() const {
    if (m_nBit == 7) return m_pCur;
    if (m_pCur >= m_pEnd) return nullptr;
    return m_pCur + 1;
}

int CInBitStream::CheckOffset(int n) const {
    ptrdiff_t target = (m_pCur - m_pTop) + n;
    return target >= 0 && target < m_pEnd - m_pTop ? 1 : 0;
}

int CInBitStream::GetRestSize() const {
    if (m_nBit != 7 || m_pCur >= m_pEnd) return 0;
    return static_cast<int>(m_pEnd - m_pCur);
}
