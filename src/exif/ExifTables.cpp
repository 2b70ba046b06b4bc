// The read-only tables of the EXIF codec: type sizes, the fixed texts of a directory that the
// rewrite builds from nothing, and the error texts. Declared in ExifTables.h.
#include "exif/ExifTables.h"

namespace exif {

namespace {
// Bytes per value of the EXIF types: 1 BYTE, 2 ASCII, 3 SHORT, 4 LONG, 5 RATIONAL, 6 SBYTE,
// 7 UNDEFINED, 8 SSHORT, 9 SLONG, 10 SRATIONAL, 11 FLOAT, 12 DOUBLE.
const int kTypeSize[13] = {0, 1, 1, 2, 4, 8, 1, 1, 2, 4, 8, 4, 8};
}  // namespace

int TypeSize(int nType) {
    return nType >= 1 && nType <= 12 ? kTypeSize[nType] : 0;
}

const char kNewMake[14] = "photogeo.test";
static_assert(sizeof(kNewMake) == 14, "the Make text is 13 characters and a NUL");
const char kNewModelFormat[] = "TREMONA3D/%d.%03d";
const unsigned char kNewExifVersion[4] = {'0', '2', '1', '0'};
const char kDateFormat[] = "%Y:%m:%d %H:%M:%S";

const char kErrGetWord[] = "GetWord";
const char kErrCopyByte[] = "CopyByte";
const char kErrSkipByte[] = "SkipByte";
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

}  // namespace exif
