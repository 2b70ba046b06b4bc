// The steps of the IGRF-14 evaluation (Igrf14Model.cpp) that the public interface
// (GeomagneticField.cpp) chains together: coefficients at a time, the geodetic place in the
// geocentric frame, the Legendre functions of its colatitude, and the field there. Internal to
// the library; the tests reach the geocentric steps through it.
#ifndef PHOTOGEO_MAGVAR_IGRF14MODEL_H
#define PHOTOGEO_MAGVAR_IGRF14MODEL_H

#include "magvar/Igrf14Table.h"

namespace photogeo::magvar {

// The coefficients at decimal year `year` (1900.0 to 2030.0, checked by the caller) into
// coefficients[390]: each term's value (nT) followed by its rate of change (nT per year), the
// terms in the table's order.
void InterpolateIgrf14(double year, double* coefficients);

// A geodetic place in the geocentric frame: distance from the centre (km), cosine and sine of
// the geocentric colatitude, and cosine and sine of the geodetic latitude less the geocentric
// one (the angle that turns the geocentric frame into the geodetic one).
struct GeocentricPlace {
    double radius;
    double cosTheta;
    double sinTheta;
    double cosDelta;
    double sinDelta;
};

// sinLat, cosLat: sine and cosine of the geodetic latitude; heightKm above the WGS-84
// ellipsoid.
GeocentricPlace ToGeocentric(double sinLat, double cosLat, double heightKm);

// Field components and their rates of change (nT, nT per year) in the frame of either the
// geocentric or the geodetic place, north, east, down.
struct FieldVectors {
    double north, east, down;
    double northChange, eastChange, downChange;
};

// The part of the field sums that depends on the colatitude alone, shared by every longitude:
// the Schmidt semi-normalised Legendre functions P_nm of cos theta and their derivatives
// dP_nm/dtheta, (n, m) at n (n + 1) / 2 + m.
struct Colatitude {
    static constexpr int kFunctions = (kIgrf14Degree + 1) * (kIgrf14Degree + 2) / 2;
    double cosTheta;
    double sinTheta;
    double legendre[kFunctions][4];  // dP_nm/dtheta twice, then P_nm twice
};

void SetColatitude(double cosTheta, double sinTheta, Colatitude& colatitude);

// The field of coefficients[390] (as InterpolateIgrf14 fills them) at geocentric radius (km),
// the colatitude and the longitude given by its cosine and sine, in the geocentric frame.
FieldVectors SumField(const double* coefficients, const Colatitude& colatitude, double radius,
                      double cosLon, double sinLon);

// The sums of SumField for processors with AVX (Igrf14SumsAvx.cpp, compiled for AVX alone and
// called only where the processor has it): coefficients as for SumField, the entries of a
// Colatitude, harmonics[m] = {(cos, cos, m sin, m sin), (sin, sin, -m cos, -m cos)} of m times
// the longitude, ratio = r0 / radius. sums[6] receives north, east (not yet divided by
// sin theta) and down, each field then rate, bit for bit as the SSE2 and scalar forms give them.
void SumTermsAvx(const double* coefficients, const double (*legendre)[4],
                 const double (*harmonics)[2][4], double ratio, double* sums);

// SetColatitude and SumField for a single place, colatitude and longitude given by their
// cosines and sines.
FieldVectors SynthesiseField(const double* coefficients, double radius, double cosTheta,
                             double sinTheta, double cosLon, double sinLon);

// The geocentric components turned into the geodetic frame of the place.
FieldVectors ToGeodeticFrame(const FieldVectors& geocentric, const GeocentricPlace& place);

}  // namespace photogeo::magvar

#endif
