// GetMagVar: the magnetic variation (declination) at a place, height and time, used to turn a
// bearing measured against magnetic north into a true bearing (true = magnetic + variation).
//
// Two methods:
// - inside the Japan box, latitude 22 to 46 degrees north and longitude 122 to 149 degrees
//   east (edges included), a quadratic approximation centred on 37 N 138 E; height and time
//   are not used there;
// - everywhere else the International Geomagnetic Reference Field, a spherical-harmonic
//   main-field model with linear secular variation: the 1990 model for dates up to the end of
//   1999, the 2000 model from 2000 on, evaluated at the geodetic position on an ellipsoid.
#ifndef PHOTOGEO_MAGVAR_H
#define PHOTOGEO_MAGVAR_H

#include "photogeo/Export.h"

// lat:    geodetic latitude in degrees, north positive (-90 to 90).
// lon:    longitude in degrees, east positive (any value; only its angle matters).
// height: height above the ellipsoid in metres.
// time:   the moment as seconds since 1970-01-01 00:00 UTC, a signed 32-bit count. Only the
//         low 32 bits of the value are used, read as a signed 32-bit number, so a caller with a
//         64-bit `long` sees the same dates as a 32-bit one (1970 to 2038). Only the UTC
//         calendar date counts; the time of day is dropped.
//
// Result: the variation in degrees, east positive, west negative (about -7 in Japan).
// Outside the Japan box a negative time has no date and gives 0.0, as does a place where the
// horizontal field vanishes. Nothing is reported as an error; a NaN coordinate gives NaN.
//
// Calls keep no state between them except square-root tables filled once on first use (that
// filling is itself thread-safe), so the function may be called from any thread.
PHOTOGEO_API double GetMagVar(double lat, double lon, double height, long time);

#endif
