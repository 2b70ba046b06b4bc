// The octave sum over whole rows of pixels, shared by the cloud and bump texture fills, and the
// lattice cell location shared with the per-point evaluation in CPerlinNoise.
//
// A fill samples a grid: every column has one x coordinate and every row one y coordinate, so
// the wrap, truncation and interpolation weights of each octave depend on the column alone or
// on the row alone. RowSampler computes them once per column and once per row, leaving four
// smoothed-lattice lookups and the blend per pixel and octave. Every operation is the one the
// per-point path performs, in the same order, so the sums are bit-identical to PerlinNoise2D.
#ifndef PHOTOGEO_NOISE_NOISEFIELD_H
#define PHOTOGEO_NOISE_NOISEFIELD_H

#include <cmath>
#include <vector>

#include "noise/NoiseLattice.h"

namespace photogeo::noise {

// Where a lattice coordinate falls: the two lattice indices around it (0..255) and the
// fraction toward the second.
struct Cell {
    int i0;
    int i1;
    double t;
};

// Wraps v into (-256, 256) and splits it at its integer part, both taken toward zero, so the
// fraction of a negative coordinate is negative. v * 2^-8 and the product by 256 are exact, so
// the wrap loses nothing. A NaN coordinate gives indices 0 and a NaN fraction.
inline Cell Locate(double v) {
    double wrapped = v - std::trunc(v * 0.00390625) * 256.0;
    int i = std::isnan(wrapped) ? 0 : static_cast<int>(wrapped);
    // i lies in -255..255; the mask is its remainder modulo 256, negative i included.
    return Cell{i & photogeo::noise::kMask, (i + 1) & photogeo::noise::kMask, wrapped - i};
}

// The interpolation modes of CPerlinNoise::m_nInterpolate.
enum { kCosine = 1, kEdge = 2 };

// What a fill needs of a CPerlinNoise: the coordinate transform, the mode and the octaves.
struct Settings {
    double offset;
    double scaleX;
    double scaleY;
    int interpolate;
    int octaves;  // 0..CPerlinNoise::MaxOctaves
    const double* amplitude;
    const double* frequency;
};

class RowSampler {
public:
    // Room for up to nCapacity columns; allocates (and may throw std::bad_alloc).
    RowSampler(const Settings& settings, int nCapacity);

    // The columns to sample: pX[k] is the input x coordinate of column k, for k < nCount
    // (nCount <= the capacity).
    void SetColumns(const double* pX, int nCount);

    // pOut[k] = the octave sum at input point (pX[k], y) for every column k, bit-identical to
    // CPerlinNoise::PerlinNoise2D with the same settings.
    void Sample(double y, double* pOut) const;

private:
    // One column in one octave: corner indices and the weights of the two corners, so that
    // every mode blends as w0 * a + w1 * b.
    struct Column {
        int i0;
        int i1;
        double w0;
        double w1;
    };

    Settings m_settings;
    int m_capacity;
    int m_count;
    std::vector<Column> m_columns;  // [octave][column]
};

}  // namespace photogeo::noise

#endif
