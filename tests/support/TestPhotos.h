// Test photos carrying the cases that break metadata writers: both byte orders, a vendor maker
// note whose values sit at absolute block offsets, a big-endian UNICODE comment, an altitude
// below sea level, an unknown date, an XMP APP1 before the EXIF APP1, an ICC APP2 holding the
// bytes of a fake EXIF segment header, a thumbnail, and a block padded near its 64 KB limit.
// Blocks are made with the EXIF tests' TiffBuilder and put into a JFIF photo given as bytes.
#ifndef PHOTOGEO_TESTS_SUPPORT_TESTPHOTOS_H
#define PHOTOGEO_TESTS_SUPPORT_TESTPHOTOS_H

#include <cstddef>
#include <initializer_list>
#include <string>
#include <vector>

namespace testsupport {

struct PhotoRecipe {
    bool exif = true;             // false: the JFIF photo as it is
    bool bigEndian = false;
    bool makerNote = false;       // Make "Canon" and a maker note directory, values absolute
    bool unicodeComment = false;  // UserComment "UNICODE" in the block's order
    bool gps = false;             // a GPS directory: 2.2.0.0, 12 m below sea level, speed,
                                  // track, satellites, processing method
    bool unknownDate = false;     // DateTimeOriginal "0000:00:00 00:00:00"
    bool xmpFirst = false;        // an XMP APP1 before the EXIF APP1
    bool iccWithExifBytes = false;  // an ICC APP2 whose data holds FF E1 .. "Exif\0\0"
    bool thumbnail = false;       // IFD1 with a JPEG thumbnail (PlainPhoto)
    std::size_t padTo = 0;        // grow the block to this size with an unknown IFD0 tag
};

// A recipe with the named flags set (and exif), e.g. With({&PhotoRecipe::gps}).
PhotoRecipe With(std::initializer_list<bool PhotoRecipe::*> flags, std::size_t padTo = 0);

// The photo: base (a JPEG starting with SOI and a JFIF APP0) with the recipe's segments
// after its APP0.
std::vector<unsigned char> MakePhoto(const PhotoRecipe& recipe,
                                     const std::vector<unsigned char>& base);

// The hard cases together, four photos: little-endian with a maker note, a thumbnail, a GPS
// directory and an unknown date; big-endian with a maker note, a UNICODE comment, XMP first and
// the ICC trap; no EXIF; a big-endian block near the segment limit.
struct NamedRecipe {
    const char* name;
    PhotoRecipe recipe;
};
const std::vector<NamedRecipe>& HardCases();

// A small JFIF photo kept in the repository (no EXIF, density without units).
std::vector<unsigned char> PlainPhoto();

}  // namespace testsupport

#endif
