// The write-back operations: Coder writes a copy of a JPEG file with a new EXIF segment built
// from the (edited) entry directory, OverwriteGPS patches the EXIF block of a file in place.
// Both first apply the property record to the directory (CExif::RewriteData) and both hold the
// whole input file in memory. Here too are the write side of the segment walk (WriteIFD,
// WriteMarker) and OverwriteExif, which finds the block that CExif::OverwriteGPS patches.
//
// Nothing is lost when a write fails: the result replaces the target through the file
// writer of photogeo/SafeFile.h (a temporary file in the target's folder, pushed to the disk,
// then renamed), so on any failure the target keeps its old contents and the result is 0.
// Since the input is wholly in memory first, input and output may be one file.
#include <climits>
#include <cstring>
#include <string>
#include <vector>

#include "exifcoder/CoderErrors.h"
#include "photogeo/ExifIfdCoder.h"
#include "photogeo/SafeFile.h"

namespace {

// The largest TIFF block an EXIF segment holds: its 16-bit length counts itself (2), the
// identifier (6) and the block.
constexpr int kMaxTiffBlock = 0xFFFF - 8;

// Reads the whole file at path into buffer; pModified receives its modification time. 0 when
// it does not open, is too large to be addressed by the byte reader, or cannot be read.
int LoadFile(CFile& file, const char* path, std::vector<unsigned char>& buffer, CTime* pModified) {
    if (!path || !file.Open(path, CFile::modeRead | CFile::typeBinary)) return 0;
    try {
        uint64_t length = file.GetLength();
        if (length > static_cast<uint64_t>(INT_MAX)) {
            file.Close();
            return 0;
        }
        buffer.resize(static_cast<size_t>(length));
        if (file.Read(buffer.data(), static_cast<unsigned>(length)) != length) {
            file.Close();
            return 0;
        }
        if (pModified) {
            CFileStatus status;
            if (file.GetStatus(status)) *pModified = status.m_mtime;
        }
    } catch (...) {
        file.Close();
        return 0;
    }
    file.Close();
    return 1;
}

// Writes pszTarget all or nothing (photogeo/SafeFile.h): write(file) fills a temporary file
// opened in file, which replaces the target only when every byte is written and flushed. Any
// exception from write counts as a failure. Returns 1 when the target was replaced, 0 when it
// was left as it was.
template <class Writer>
int ReplaceFile(CFile& file, const char* pszTarget, Writer write) {
    photogeo::Result<photogeo::FileReplacement> replacement =
        photogeo::FileReplacement::Begin(pszTarget);
    if (!replacement) return 0;
    bool written = false;
    if (file.Open(replacement.value().TemporaryPath().c_str(),
                  CFile::modeCreate | CFile::modeWrite | CFile::shareExclusive)) {
        try {
            write(file);
            file.Flush();
            written = true;
        } catch (...) {
        }
        file.Close();
    }
    return written && replacement.value().Commit() ? 1 : 0;
}

// The file-name part of a path: after the last slash or backslash, else after the last colon
// (a drive prefix), else the whole path.
std::string FileNamePart(const char* path) {
    std::string s(path);
    size_t cut = s.find_last_of("/\\");
    if (cut == std::string::npos) cut = s.rfind(':');
    return cut == std::string::npos ? s : s.substr(cut + 1);
}

void WritePair(CFile* out, unsigned char a, unsigned char b) {
    const unsigned char pair[2] = {a, b};
    out->Write(pair, 2);
}

}  // namespace

eMarker CExifIfdCoder::WriteMarker(CFile* out) {
    CInBitStream& in = *m_pStream;
    for (;;) {
        unsigned char b = in.GetByte();
        if (b != 0xFF) {
            // A stray byte (before SOI or between segments) and those that follow it up to the
            // next 0xFF go out in one write: a write per byte would make a file with megabytes
            // of them take seconds.
            const unsigned char* run = in.GetPosition() - 1;
            const int rest = in.GetRestSize();
            const void* next = std::memchr(run + 1, 0xFF, static_cast<size_t>(rest));
            const int more =
                next ? static_cast<int>(static_cast<const unsigned char*>(next) - (run + 1)) : rest;
            out->Write(run, static_cast<unsigned>(1 + more));
            in.SkipByte(more);
            continue;
        }
        unsigned char c = in.GetByte();
        if (c == 0x00) {
            WritePair(out, 0xFF, 0x00);
            continue;
        }
        if (c != APP1) {
            WritePair(out, 0xFF, c);
            return static_cast<eMarker>(c);
        }
        const unsigned char* p = in.GetPosition();
        int rest = in.GetRestSize();
        if (rest >= 6 && std::memcmp(p + 2, "Exif", 4) == 0) {
            // An old EXIF segment: dropped (a length running past the end ends the copy).
            int length = in.GetWord();
            in.SkipByte(length - 2);
            continue;
        }
        WritePair(out, 0xFF, APP1);
        // Any other APP1 (an XMP packet, say) is copied whole by its length, so that a 0xFF in
        // its body is not taken for a marker; a length that does not fit leaves its bytes to
        // the byte-by-byte copy.
        if (rest >= 2) {
            int length = (p[0] << 8) | p[1];
            if (length >= 2 && length <= rest) {
                out->Write(p, static_cast<unsigned>(length));
                in.SkipByte(length);
            }
        }
    }
}

void CExifIfdCoder::WriteIFD(CFile* out) {
    // The block is built before anything is written, so that one too large for its segment
    // refuses the whole copy.
    int size = m_Exif.WriteExif(m_pExifBuffer);
    if (size < 0 || size > kMaxTiffBlock) throw EBufferError(photogeo::exifcoder::kErrWriteIfd);
    try {
        m_nSegmentState = 0;
        while (WriteMarker(out) != SOI) {
        }
        m_nSegmentState = 1;

        const unsigned char header[10] = {0xFF,
                                          0xE1,
                                          static_cast<unsigned char>((size + 8) >> 8),
                                          static_cast<unsigned char>((size + 8) & 0xFF),
                                          'E',
                                          'x',
                                          'i',
                                          'f',
                                          0,
                                          0};
        out->Write(header, sizeof header);
        out->Write(m_pExifBuffer, static_cast<unsigned>(size));

        while (m_nSegmentState == 1) {
            if (IsFrameMarker(WriteMarker(out))) {
                m_nSegmentState = 0;
                break;
            }
            int length = m_pStream->GetWord();
            // A segment that runs past the end of the data ends the copy there.
            if (length < 2 || length - 2 > m_pStream->GetRestSize()) return;
            out->Write(m_pStream->GetPosition() - 2, static_cast<unsigned>(length));
            m_pStream->SkipByte(length - 2);
        }
        out->Write(m_pStream->GetPosition(), static_cast<unsigned>(m_pStream->GetRestSize()));
    } catch (const EBufferError&) {
        // The data ended before a frame header: the copy ends with what was written.
    }
}

void CExifIfdCoder::OverwriteExif() {
    try {
        m_nSegmentState = 0;
        while (GetMarker() != SOI) {
        }
        m_nSegmentState = 1;
        while (GetMarker() != APP1) {
        }
        int length = m_pStream->GetWord();
        if (length - 2 < 6) return;
        unsigned char id[6];
        m_pStream->CopyByte(id, 6);
        if (std::memcmp(id, "Exif", 5) != 0) return;
        // The patch sees the segment's block only, so no entry offset can reach the image data
        // behind it.
        int block = length - 8;
        if (block > m_pStream->GetRestSize()) block = m_pStream->GetRestSize();
        CInBitStream tiff(m_pStream->GetPosition(), block);
        m_Exif.OverwriteGPS(&tiff);
    } catch (...) {
        // A malformed block keeps what was patched before the walk failed.
    }
}

int CExifIfdCoder::Coder(const char* pszIn, const char* pszOut, int bExifTime, int bWriteGPS) {
    m_pStream.reset();
    if (!pszOut) return 0;
    std::vector<unsigned char> file;
    CTime modified;
    if (!LoadFile(m_File, pszIn, file, &modified)) return 0;

    CTime stamp = bExifTime ? m_Property.tmDateTimeOriginal : modified;
    m_Exif.RewriteData(m_Property, stamp, FileNamePart(pszOut).c_str(), bExifTime, bWriteGPS);

    std::vector<unsigned char> exif;
    try {
        exif.resize(static_cast<size_t>(m_Exif.GetTotalSize()));
    } catch (...) {
        return 0;
    }
    m_dwFileLength = static_cast<unsigned>(file.size());
    m_pFileBuffer = file.data();
    m_pExifBuffer = exif.data();
    m_pStream.reset(new CInBitStream(m_pFileBuffer, static_cast<int>(m_dwFileLength)));
    int result = ReplaceFile(m_File, pszOut, [this](CFile& out) { WriteIFD(&out); });
    m_pStream.reset();
    m_pFileBuffer = nullptr;
    m_pExifBuffer = nullptr;
    return result;
}

int CExifIfdCoder::OverwriteGPS(const char* path) {
    m_pStream.reset();
    std::vector<unsigned char> file;
    if (!LoadFile(m_File, path, file, nullptr)) return 0;

    m_Exif.RewriteData(m_Property, CTime::GetCurrentTime(), "", 0, 1);

    m_dwFileLength = static_cast<unsigned>(file.size());
    m_pFileBuffer = file.data();
    m_pStream.reset(new CInBitStream(m_pFileBuffer, static_cast<int>(m_dwFileLength)));
    OverwriteExif();
    int result =
        ReplaceFile(m_File, path, [this](CFile& out) { out.Write(m_pFileBuffer, m_dwFileLength); });
    m_pStream.reset();
    m_pFileBuffer = nullptr;
    return result;
}
