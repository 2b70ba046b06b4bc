// The coder object and its read operations: construction, the clearing of the record's presence
// flags, and the three reads that the host calls per file: GetJPEGInfo (picture size only),
// Decoder (full EXIF read) and QuickDecoder (quick EXIF read). They open the file with the C
// runtime and hand it to the segment walkers of SegmentIO.cpp, which find the EXIF segment and
// pass its block to CExif; the listing, derivations and write-back then work on the record.
#include "photogeo/ExifIfdCoder.h"

#include <cstdio>
#include <cstring>

namespace {

// Closes a C runtime file on every way out of a read.
struct FileCloser {
    void operator()(FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<FILE, FileCloser>;

}  // namespace

CExifIfdCoder::CExifIfdCoder()
    : m_nStatus(2),
      m_Property(),
      m_nReserved(0),
      m_dwFileLength(0),
      m_pFileBuffer(nullptr),
      m_pExifBuffer(nullptr),
      m_nSegmentState(0) {
    ClearExifEnable();
}

CExifIfdCoder::~CExifIfdCoder() {
    m_pStream.reset();
    m_nStatus = 2;
}

void CExifIfdCoder::ClearExifEnable() {
    // The flags are the record's first EXIF_PROPERTY_FLAG_COUNT ints, contiguous and ahead of
    // every value (ExifProperty.h); the values and texts behind them are left alone.
    std::memset(static_cast<void*>(&m_Property), 0, EXIF_PROPERTY_FLAG_COUNT * sizeof(int));
}

int CExifIfdCoder::GetJPEGInfo(const char* path, int& width, int& height) {
    m_pStream.reset();
    FilePtr file(path ? std::fopen(path, "rb") : nullptr);
    if (!file) return 0;
    ReadJPEGInfo(file.get(), width, height);
    return 1;
}

int CExifIfdCoder::Decoder(const char* path) {
    m_pStream.reset();
    m_nStatus = 2;
    m_nReserved = 0;
    FilePtr file(path ? std::fopen(path, "rb") : nullptr);
    if (!file) {
        m_nStatus = 3;
        return 0;
    }
    ReadIFD(file.get(), 0, 1);
    return 1;
}

int CExifIfdCoder::QuickDecoder(const char* path, int option) {
    m_pStream.reset();
    m_nStatus = 2;
    m_nReserved = 0;
    FilePtr file(path ? std::fopen(path, "rb") : nullptr);
    if (!file) {
        m_nStatus = 3;
        return 0;
    }
    ReadIFD(file.get(), 1, option);
    return 1;
}
