// The read-only tables of the EXIF codec: the fixed texts of a directory that the rewrite
// builds from nothing, and the error texts of the walks. Declared in ExifTables.h.
#include "exif/ExifTables.h"

namespace photogeo::exif {

const char kNewMake[14] = "photogeo.test";
static_assert(sizeof(kNewMake) == 14, "the Make text is 13 characters and a NUL");
const char kNewModelFormat[] = "TREMONA3D/%d.%03d";
const unsigned char kNewExifVersion[4] = {'0', '2', '1', '0'};
const char kDateFormat[] = "%Y:%m:%d %H:%M:%S";

const char kErrEntryLimit[] = "EntryLimit";

const char* BufferErrorText(photogeo::tiff::Fault fault) {
    switch (fault) {
        case photogeo::tiff::Fault::kRead16:
            return kErrGetWord;
        case photogeo::tiff::Fault::kSeek:
            return kErrSkipByte;
        case photogeo::tiff::Fault::kRead32:
        case photogeo::tiff::Fault::kSpan:
            break;
    }
    return kErrCopyByte;
}

}  // namespace photogeo::exif
