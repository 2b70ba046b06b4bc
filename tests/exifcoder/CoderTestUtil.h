// Test-side helpers of the coder tests: photos whose EXIF blocks Exiv2 (an independent writer)
// made, and a reader of the JPEG marker structure to compare files segment by segment.
#ifndef PHOTOGEO_TESTS_CODERTESTUTIL_H
#define PHOTOGEO_TESTS_CODERTESTUTIL_H

#include <cstdint>
#include <initializer_list>
#include <map>
#include <string>
#include <vector>

#include "support/Exiv2Oracle.h"
#include "support/Files.h"
#include "support/TestPhotos.h"

namespace codertest {

using testsupport::Bytes;

using testsupport::FileExists;
using testsupport::PlainPhoto;
using testsupport::ReadFile;
using testsupport::TempDir;
using testsupport::WriteFile;

// Copies a test photo of tests/data/exifcoder to path: a 64 x 48 picture encoded by libjpeg
// whose EXIF block Exiv2 (an independent writer) made, in either byte order: camera items,
// dates, a comment, a GPS position (35 39' 30.9" N, 139 44' 43.5" E, 40 m, bearing 123.45 M,
// WGS-84), and a JPEG thumbnail in IFD1 when asked for (the big-endian photo always has one).
void MakePhoto(const std::string& path, bool bigEndian = false, bool thumbnail = false);
constexpr int kPhotoWidth = 64, kPhotoHeight = 48;

// Exiv2's reading of a file's EXIF block: key -> text of the value (see Exiv2Text).
std::map<std::string, std::string> ReadWithExiv2(const std::string& path);
using exiftest::Exiv2Text;

// One marker segment of a JPEG file as it lies in the file.
struct Segment {
    int marker;     // the code after 0xFF
    size_t offset;  // of the 0xFF
    size_t length;  // bytes from the 0xFF to the end of the segment (2 for SOI)
};
// Offset of the first frame header's 0xFF, or the file size when there is none.
size_t FrameOffset(const Bytes& jpeg);
// The last APP1 with the "Exif" identifier before the first frame header; marker 0 when there
// is none.
Segment ExifSegment(const Bytes& jpeg);
// n bytes of b from offset from; Tail: from there to the end; Concat: the parts in order.
Bytes Slice(const Bytes& b, size_t from, size_t n);
Bytes Tail(const Bytes& b, size_t from);
Bytes Concat(std::initializer_list<Bytes> parts);

}  // namespace codertest

#endif
