// The shared noise lattice: 256 x 256 hash values and their smoothed form, built once when the
// library is loaded (or on an earlier first use, thread-safely) and freed at unload. CPerlinNoise
// and the texture fills read it; nothing writes it after it is built.
#ifndef PHOTOGEO_NOISE_NOISELATTICE_H
#define PHOTOGEO_NOISE_NOISELATTICE_H

namespace photogeo::noise {

// Lattice side; coordinates are taken modulo this, so every texture tiles with this period.
constexpr int kSize = 256;
constexpr int kMask = kSize - 1;

// The integer hash with 32-bit wrap-around arithmetic, in (-1, 1].
double HashNoise(int x, int y);

// Row-major [y][x] = (float)HashNoise(x, y) for x, y in 0..255.
const float* Values();

// Row-major [y][x] = the smoothed lattice value at (x, y), computed once from Values() in the
// exact order of the per-point smoothing, so a lookup is bit-identical to recomputing it.
const double* Smoothed();

}  // namespace photogeo::noise

#endif
