// Shared helpers of the EXIF tests: a realistic sample block in either byte order, a text
// dump of the property record and of the entry table (for whole-record comparisons) and golden
// texts to compare them with, and a CExif subclass that opens the protected table queries to
// the tests.
#ifndef PHOTOGEO_TESTS_SUPPORT_EXIFTESTUTIL_H
#define PHOTOGEO_TESTS_SUPPORT_EXIFTESTUTIL_H

#include <map>
#include <set>
#include <string>
#include <utility>

#include "support/TiffBuilder.h"
#include "photogeo/Exif.h"

namespace exiftest {

class TestExif : public CExif {
public:
    using CExif::AddDirect;
    using CExif::GetDirCount;
    using CExif::GetTag;
};

// The sample block of tests/data/exif (sample-le.tiff, sample-be.tiff), about 80 entries:
// IFD0 (texts, rationals, a two-part copyright), Exif (every decoded item, an ASCII comment, an
// Interoperability directory), GPS (every tag 0-26) and IFD1 with a 73-byte JPEG thumbnail
// that ends the block.
Bytes SampleBlock(bool bIntel);
constexpr size_t kSampleThumbnailSize = 73;

// Every flag and every value of the record as text, one item a line.
std::string DumpRecord(const SExifProperty& r);
// The live entries of the table, directory by directory: sub-directories are named by the
// tag path of their pointer entries, pointer and thumbnail-offset values are left out (the
// writer relocates them).
std::string DumpTable(const CExif& exif);

// Reads the block with a fresh record (all flags 0); returns false when the read threw.
bool ReadBlock(CExif& exif, Bytes block, SExifProperty& prop, bool bQuick = false,
               int bThumbnail = 1);

// A 2- or 4-byte number at offset at, in the byte order of the block that starts at tiff.
uint32_t Get(const Bytes& b, size_t at, int n, size_t tiff = 0);

// Where an entry sits in a buffer: the 12-byte entry and its value (the value field itself
// when 4 bytes or fewer), as offsets into the buffer.
struct Located {
    size_t entry = 0;
    size_t value = 0;
    size_t size = 0;
};
// The entries of IFD0 (directory 0), Exif (1) and GPS (2) of the block that starts at tiff,
// by (directory, tag).
std::map<std::pair<int, int>, Located> Locate(const Bytes& b, size_t tiff = 0);
// Whether byte at lies in the entry's type, count or value field, or in its value.
bool Within(size_t at, const Located& l);
// Offsets at which two equally long buffers differ.
std::set<size_t> Diff(const Bytes& a, const Bytes& b);

// The golden text tests/data/<name> to compare text with; PHOTOGEO_WRITE_GOLDEN=1 first
// writes text into the file, for review by diff.
std::string Golden(const std::string& name, const std::string& text);

}  // namespace exiftest

#endif
