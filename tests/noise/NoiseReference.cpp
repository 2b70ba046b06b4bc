// The plain evaluation of NoiseReference.h. Deliberately slow and literal.
#include "noise/NoiseReference.h"

#include <cmath>
#include <cstdint>

namespace noise_reference {
namespace {

const float* Lattice() {
    static const std::vector<float> lattice = [] {
        std::vector<float> l(256 * 256);
        for (int y = 0; y < 256; ++y)
            for (int x = 0; x < 256; ++x) l[y * 256 + x] = static_cast<float>(Hash(x, y));
        return l;
    }();
    return lattice.data();
}

double L(int x, int y) {
    return Lattice()[(((y % 256) + 256) % 256) * 256 + ((x % 256) + 256) % 256];
}

double Cosine(double a, double b, double t) {
    double f = (1 - std::cos(3.141592653589793 * t)) * 0.5;
    return (1 - f) * a + f * b;
}
double Edge(double a, double b, double t) {
    double s = 1 - std::sqrt(t);
    return (1 - s) * b + s * a;
}

unsigned char Byte(double v) {
    return static_cast<unsigned char>(static_cast<int>(v));
}

}  // namespace

double Hash(int x, int y) {
    // 64-bit unsigned products reduced to 32 bits after every step.
    const uint64_t k32 = 0xFFFFFFFFu;
    uint64_t n = static_cast<uint64_t>(static_cast<int64_t>(x) + 1600LL * y) & k32;
    n = (n ^ (n << 13)) & k32;
    uint64_t m = n * n & k32;
    m = (m * 15731 + 789221) & k32;
    m = (m * n - 771171059) & k32;
    m &= 0x7FFFFFFF;
    return 1.0 - static_cast<double>(m) * 9.313225746154785e-10;
}

double Smooth(int x, int y) {
    return (L(x - 1, y) + L(x, y - 1) + L(x, y + 1) + L(x + 1, y)) * 0.125 +
           (L(x + 1, y - 1) + L(x - 1, y - 1) + L(x + 1, y + 1) + L(x - 1, y + 1)) * 0.0625 +
           L(x, y) * 0.25;
}

double Interpolated(const Params& p, double x, double y) {
    double X = x - std::trunc(x * 0.00390625) * 256;
    double Y = y - std::trunc(y * 0.00390625) * 256;
    int ix = static_cast<int>(X);
    int iy = static_cast<int>(Y);
    double fx = X - ix;
    double fy = Y - iy;
    int x0 = (ix + (1 << 30)) % 256, x1 = (ix + 1 + (1 << 30)) % 256;
    int y0 = (iy + (1 << 30)) % 256, y1 = (iy + 1 + (1 << 30)) % 256;
    double c00 = Smooth(x0, y0), c10 = Smooth(x1, y0), c01 = Smooth(x0, y1), c11 = Smooth(x1, y1);
    if (p.interpolate == 1) return Cosine(Cosine(c00, c10, fx), Cosine(c01, c11, fx), fy);
    if (p.interpolate == 2) return Edge(Edge(c00, c10, fx), Edge(c01, c11, fx), fy);
    return ((1 - fx) * c00 + c10 * fx) * (1 - fy) + ((1 - fx) * c01 + c11 * fx) * fy;
}

double Perlin2D(const Params& p, double x, double y, int nOctaves) {
    double u = (x + p.offset) / p.scaleX;
    double v = (y + p.offset) / p.scaleY;
    double sum = 0;
    for (int i = 0; i < nOctaves && i < 20; ++i) {
        double f = std::pow(2.0, i);
        sum += Interpolated(p, u * f, v * f) * std::pow(p.persistence, i);
    }
    return sum;
}

std::vector<unsigned char> CloudFill(const Params& p, double dCover, double dSharpness, int nWidth,
                                     int nHeight, int nOctaves, double dX, double dY) {
    std::vector<unsigned char> out;
    for (int j = 0; j < nHeight; ++j) {
        for (int i = 0; i < nWidth; ++i) {
            double c = (Perlin2D(p, i + dX, j + dY, nOctaves) + 1) * 255 * 0.5;
            if (c > 255) c = 255;
            if (c < 0) c = 0;
            c -= dCover;
            if (c < 0) c = 0;
            out.push_back(Byte(255 - std::pow(dSharpness, c) * 255));
        }
    }
    return out;
}

std::vector<unsigned char> BumpFill(const Params& p, double dHeight, bool bRidge, int nWidth,
                                    int nHeight, int nOctaves, double dResX, double dResY,
                                    double dX, double dY) {
    if (dResX == 0) dResX = 1.0;
    if (dResY == 0) dResY = 1.0;
    std::vector<unsigned char> out;
    for (int j = 0; j < nHeight; ++j) {
        for (int i = 0; i < nWidth; ++i) {
            double h = Perlin2D(p, i / dResX + dX, j / dResY + dY, nOctaves) * dHeight;
            if (bRidge) {
                double h2 =
                    Perlin2D(p, (i + 10) / dResX + dX, (j + 10) / dResY + dY, nOctaves) * dHeight;
                h = 2 * std::fabs(h - h2);
            }
            if (h > 1) h = 1;
            if (h < -1) h = -1;
            double v = (h + 1) * 255 * 0.5;
            if (v > 255) v = 255;
            if (v < 0) v = 0;
            out.push_back(Byte(v));
        }
    }
    return out;
}

}  // namespace noise_reference
