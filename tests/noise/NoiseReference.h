// A plain evaluation of the noise and the texture fills, written straight from the formulas
// with nothing precomputed: the hash in 64-bit arithmetic reduced to 32 bits at every step, the
// smoothing from nine lattice reads, the interpolations as written. The library's tables and
// row sampling must reproduce it bit for bit.
#ifndef PHOTOGEO_TESTS_NOISE_NOISEREFERENCE_H
#define PHOTOGEO_TESTS_NOISE_NOISEREFERENCE_H

#include <vector>

namespace noise_reference {

struct Params {
    int interpolate = 0;
    double persistence = 2.0 / 3.0;
    double scaleX = 1.0;
    double scaleY = 1.0;
    double offset = 0.0;
};

double Hash(int x, int y);
double Smooth(int x, int y);
double Interpolated(const Params& p, double x, double y);
double Perlin2D(const Params& p, double x, double y, int nOctaves);

std::vector<unsigned char> CloudFill(const Params& p, double dCover, double dSharpness, int nWidth,
                                     int nHeight, int nOctaves, double dX, double dY);
std::vector<unsigned char> BumpFill(const Params& p, double dHeight, bool bRidge, int nWidth,
                                    int nHeight, int nOctaves, double dResX, double dResY,
                                    double dX, double dY);

}  // namespace noise_reference

#endif
