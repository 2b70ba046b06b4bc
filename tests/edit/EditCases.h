// The edit both editor suites make: a fix south of the equator below sea level, with direction,
// datum and time, a UTF-8 title, and a comment that is UNICODE in big-endian blocks.
#ifndef PHOTOGEO_TESTS_EDIT_EDITCASES_H
#define PHOTOGEO_TESTS_EDIT_EDITCASES_H

#include "photogeo/ExifEdit.h"
#include "support/TestPhotos.h"

namespace edittest {

inline photogeo::GpsFix SydneyFix() {
    photogeo::GpsFix f;
    f.latitude = -33.868812;
    f.longitude = 151.209295;
    f.altitude = -12.345;
    f.imageDirection = 123.456;
    f.mapDatum = "WGS-84";
    f.timeUtc = 1700000000.25;  // 2023-11-14 22:13:20.25 UTC
    return f;
}

inline photogeo::ExifChanges SetGps(const photogeo::GpsFix& fix) {
    photogeo::ExifChanges c;
    c.gps = fix;
    return c;
}

inline photogeo::ExifChanges StandardChanges(const testsupport::PhotoRecipe& photo) {
    photogeo::ExifChanges c = SetGps(SydneyFix());
    c.imageDescription = "Hafen \xC3\xBC";
    c.userComment = photo.bigEndian ? "\xE6\x97\xA5 UNICODE" : "plain";
    return c;
}

}  // namespace edittest

#endif
