// Shared helpers of the EXIF tests: a realistic sample block in either byte order, a text
// dump of the property record and of the entry table (for whole-record comparisons), and a
// CExif subclass that opens the protected table queries to the tests.
#ifndef PHOTOGEO_TESTS_EXIF_EXIFTESTUTIL_H
#define PHOTOGEO_TESTS_EXIF_EXIFTESTUTIL_H

#include <string>

#include "exif/TiffBuilder.h"
#include "photogeo/Exif.h"

namespace exiftest {

class TestExif : public CExif {
public:
    using CExif::AddDirect;
    using CExif::GetDirCount;
    using CExif::GetNextParent;
    using CExif::GetSubParent;
    using CExif::GetTag;
};

struct SampleOptions {
    bool bIntel = true;
    bool bGps = true;
    bool bJpegThumbnail = true;
};

// A block with about 80 entries: IFD0 (texts, rationals, copyright), Exif (every decoded
// item, an ASCII comment, an Interoperability directory), GPS (every tag 0-26) and IFD1 with
// a small JPEG thumbnail.
Bytes MakeSampleBlock(const SampleOptions& options);
// The sample's JPEG thumbnail bytes.
Bytes SampleThumbnail();

// Every flag and every value of the record as text, one item a line.
std::string DumpRecord(const SExifProperty& r);
// The live entries of the table, directory by directory: sub-directories are named by the
// tag path of their pointer entries, pointer and thumbnail-offset values are left out (the
// writer relocates them).
std::string DumpTable(const CExif& exif);

// Reads the block with a fresh record (all flags 0); returns false when the read threw.
bool ReadBlock(CExif& exif, Bytes block, SExifProperty& prop, bool bQuick = false,
               int bThumbnail = 1);

}  // namespace exiftest

#endif
