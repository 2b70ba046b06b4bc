// Exiv2 as an independent reader of TIFF blocks and JPEG files: a block is wrapped as a JPEG
// APP1 segment in memory and every EXIF datum Exiv2 finds is returned as key -> text value.
#ifndef PHOTOGEO_TESTS_SUPPORT_EXIV2ORACLE_H
#define PHOTOGEO_TESTS_SUPPORT_EXIV2ORACLE_H

#include <map>
#include <string>

#include "support/TiffBuilder.h"

namespace exiftest {

// Key ("Exif.GPSInfo.GPSLatitude") -> Exiv2's text of the value ("35/1 21/1 3030/100"), the
// first datum of a key counting. Throws when Exiv2 cannot read the block.
std::map<std::string, std::string> Exiv2Read(const Bytes& tiff);
// The same for a whole JPEG file in memory.
std::map<std::string, std::string> Exiv2ReadJpeg(const Bytes& jpeg);

// The value of key, or "" when Exiv2 found none.
inline std::string Exiv2Text(const std::map<std::string, std::string>& m, const std::string& key) {
    const auto it = m.find(key);
    return it == m.end() ? std::string() : it->second;
}

}  // namespace exiftest

#endif
