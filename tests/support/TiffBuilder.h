// A small builder of TIFF blocks (EXIF APP1 payloads) for the EXIF tests: directories of
// entries in either byte order, values inline or in each directory's value area, pointers to
// sub-directories, a main-directory chain, and raw blobs (thumbnails, strips) whose offsets
// entries can refer to. Layout: header, then the directories in the order they were made,
// each followed by its values, then the blobs.
#ifndef PHOTOGEO_TESTS_SUPPORT_TIFFBUILDER_H
#define PHOTOGEO_TESTS_SUPPORT_TIFFBUILDER_H

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace exiftest {

using Bytes = std::vector<uint8_t>;

class TiffBuilder {
public:
    explicit TiffBuilder(bool bIntel) : m_bIntel(bIntel) {}

    // A directory; bMain puts it on the main chain (IFD0 first, then IFD1, ...).
    int AddDir(bool bMain);
    int Ifd0() { return Main(0); }
    int Ifd1() { return Main(1); }
    // The nth main directory, made (with the ones before it) when missing.
    int Main(int n);

    // An entry whose value bytes are given already in the block's byte order.
    void Raw(int dir, int tag, int type, uint32_t count, const Bytes& value);
    void Ascii(int dir, int tag, const std::string& text);  // text and its NUL
    void Byte(int dir, int tag, const Bytes& values);
    void Undefined(int dir, int tag, const Bytes& values);
    void Short(int dir, int tag, const std::vector<uint16_t>& values);
    void Long(int dir, int tag, const std::vector<uint32_t>& values);
    void Rational(int dir, int tag, const std::vector<std::pair<uint32_t, uint32_t>>& values,
                  int type = 5);
    // A LONG entry holding the offset of directory child (Exif/GPS/Interop pointers).
    void Pointer(int dir, int tag, int child);
    // A blob placed after the directories; returns its handle.
    int Blob(const Bytes& data);
    // A LONG entry of count n holding the offsets of the n blobs.
    void BlobOffsets(int dir, int tag, const std::vector<int>& blobs);

    Bytes Build() const;
    // Directory dir alone with its values, laid out as if it stood at offset at of a block (a
    // maker note whose value offsets count from the start of the block around it).
    Bytes Bare(int dir, uint32_t at) const;
    // Number encoders in the builder's byte order.
    Bytes U16(uint16_t v) const;
    Bytes U32(uint32_t v) const;

    bool m_bIntel;

private:
    struct Entry {
        int tag;
        int type;
        uint32_t count;
        Bytes value;
        int child = -1;          // pointer to a directory
        std::vector<int> blobs;  // offsets of blobs
    };
    struct Dir {
        bool main;
        std::vector<Entry> entries;
    };
    std::vector<Dir> m_dirs;
    std::vector<int> m_main;
    std::vector<Bytes> m_blobs;

    // Directory d at offset at, children and blobs at the given offsets.
    Bytes Directory(size_t d, uint32_t at, uint32_t next, const std::vector<uint32_t>& dirOffset,
                    const std::vector<uint32_t>& blobOffset) const;
};

// Appends more to to.
void Append(Bytes& to, const Bytes& more);
// An APPn segment: marker, length, payload (at most 65,533 bytes, else std::length_error).
Bytes AppSegment(unsigned char marker, const Bytes& payload);
// The block wrapped as a minimal JPEG (SOI, APP1 "Exif", a tiny frame, EOI) for Exiv2.
Bytes WrapAsJpeg(const Bytes& tiff);

}  // namespace exiftest

#endif
