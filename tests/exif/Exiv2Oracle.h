// Exiv2 as an independent reader of TIFF blocks: the block is wrapped as a JPEG APP1 segment
// in memory and every EXIF datum Exiv2 finds is returned as key -> text value.
#ifndef PHOTOGEO_TESTS_EXIF_EXIV2ORACLE_H
#define PHOTOGEO_TESTS_EXIF_EXIV2ORACLE_H

#include <map>
#include <string>

#include "exif/TiffBuilder.h"

namespace exiftest {

// Key ("Exif.GPSInfo.GPSLatitude") -> Exiv2's text of the value ("35/1 21/1 3030/100").
// Throws when Exiv2 cannot read the block.
std::map<std::string, std::string> Exiv2Read(const Bytes& tiff);

}  // namespace exiftest

#endif
