// The read side of the JPEG segment walk: the marker scanners (over a file on disk and over the
// coder's in-memory reader), the search for the EXIF APP1 segment that hands its TIFF block to
// CExif (ReadIFD, for Decoder and QuickDecoder), and the reading of the picture size from the
// first frame header (ReadJPEGInfo, for GetJPEGInfo). The write side is in WriteBack.cpp.
//
// A file is walked segment by segment until the first frame header: each header segment is
// passed over by its 16-bit length with fseek, so only the EXIF block itself is read into
// memory. The walk ends at the end of the file at the latest ("EndOfDisk").
#include <cstring>
#include <vector>

#include "exifcoder/CoderErrors.h"
#include "photogeo/ExifIfdCoder.h"

namespace {

// Every marker is 0xFF and a code; 0xFF followed by 0x00 is a data byte 0xFF (stuffing), not a
// marker. Codes 0x03-0xBF are reserved.
constexpr int kMarkerPrefix = 0xFF;
constexpr int kStuffedZero = 0x00;
constexpr int kFirstReservedCode = 0x03;
constexpr int kLastReservedCode = 0xBF;

// A byte of the file; the end of the file gives 0xFF, as the marker code after 0xFF does when
// a file ends on a fill byte.
int FileByte(FILE* file) {
    return std::fgetc(file) & 0xFF;
}

int FileWord(FILE* file) {
    int hi = FileByte(file);
    return (hi << 8) | FileByte(file);
}

// Reserved marker codes: the scanners report them as INVALID.
eMarker MapMarker(int code) {
    return (code >= kFirstReservedCode && code <= kLastReservedCode) ? INVALID
                                                                     : static_cast<eMarker>(code);
}

// Passes the body of a segment whose length field has just been read. A length below 2 (no
// body at all) moves nowhere, so the scan still advances with every marker.
void SkipSegmentBody(FILE* file) {
    int length = FileWord(file);
    if (length > 2) std::fseek(file, length - 2, SEEK_CUR);
}

}  // namespace

eMarker CExifIfdCoder::GetMarker(FILE* file) {
    for (;;) {
        int c;
        do {
            c = std::fgetc(file);
            if (c == EOF) throw EBufferError(photogeo::exifcoder::kErrEndOfDisk);
        } while (c != kMarkerPrefix);
        int code = FileByte(file);
        if (code != kStuffedZero) return MapMarker(code);
    }
}

eMarker CExifIfdCoder::GetMarker() {
    for (;;) {
        while (m_pStream->GetByte() != kMarkerPrefix) {
        }
        int code = m_pStream->GetByte();
        if (code != kStuffedZero) return MapMarker(code);
    }
}

int CExifIfdCoder::ReadIFD(FILE* file, int quick, int option) {
    try {
        m_nSegmentState = 0;
        while (GetMarker(file) != SOI) {
        }
        m_nSegmentState = 1;
        for (;;) {
            eMarker m = GetMarker(file);
            if (IsFrameMarker(m)) return 0;
            if (m == APP1) break;
            SkipSegmentBody(file);
        }

        // Only the first APP1 segment is examined: a non-EXIF one ends the search.
        int n = FileWord(file) - 2;
        if (n < 6) return 0;
        unsigned char id[6];
        if (std::fread(id, 1, 6, file) != 6 || std::memcmp(id, "Exif", 4) != 0) return 0;

        // A file that ends inside the block gives the reader only the bytes that exist.
        std::vector<unsigned char> payload(static_cast<size_t>(n - 6));
        size_t got = std::fread(payload.data(), 1, payload.size(), file);
        int size = static_cast<int>(got);
        m_pStream.reset(new CInBitStream(payload.data(), size));
        m_nStatus = 1;
        try {
            if (quick == 0)
                m_Exif.ReadExif(m_pStream.get(), size, &m_Property);
            else
                m_Exif.ReadQuickExif(m_pStream.get(), size, &m_Property, option);
        } catch (...) {
            // The reader must not outlive the payload it walks.
            m_pStream.reset();
            throw;
        }
        m_pStream.reset();
        return 1;
    } catch (...) {
        return 0;
    }
}

int CExifIfdCoder::ReadJPEGInfo(FILE* file, int& width, int& height) {
    try {
        m_nSegmentState = 0;
        while (GetMarker(file) != SOI) {
        }
        m_nSegmentState = 1;
        while (!IsFrameMarker(GetMarker(file))) SkipSegmentBody(file);

        // Length (2) and sample precision (1), then the number of lines and samples per line.
        unsigned char frame[7];
        if (std::fread(frame, 1, sizeof frame, file) != sizeof frame) return 0;
        height = (frame[3] << 8) | frame[4];
        width = (frame[5] << 8) | frame[6];
        return 1;
    } catch (...) {
        return 0;
    }
}
