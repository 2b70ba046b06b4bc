// CPerlinNoise: value noise over the shared lattice, smoothed, interpolated within a lattice
// cell and summed over octaves. This is the per-point evaluation; the texture fills in
// PerlinTexture.cpp reach the same values row by row through NoiseField.
//
// Octave i samples the lattice at ((x + offset) / scaleX * 2^i, (y + offset) / scaleY * 2^i)
// and is weighted by persistence^i. The corners of the cell are smoothed lattice values, read
// from the table NoiseLattice builds once, which holds exactly what smoothing on the fly gives.
#include "photogeo/PerlinNoise.h"

#include <cmath>

#include "noise/NoiseField.h"
#include "noise/NoiseLattice.h"

namespace {

// Truncates toward zero into a range that leaves room to add small counts; NaN gives 0.
int TruncBounded(double v) {
    const double kLimit = 1e9;
    if (std::isnan(v)) return 0;
    if (v > kLimit) return static_cast<int>(kLimit);
    if (v < -kLimit) return -static_cast<int>(kLimit);
    return static_cast<int>(v);
}

}  // namespace

CPerlinNoise::CPerlinNoise()
    : m_nInterpolate(0),
      m_dLn2(std::log(2.0)),
      m_dPersistence(2.0 / 3.0),
      m_dScaleX(1.0),
      m_dScaleY(1.0),
      m_dOffset(0.0),
      m_nOctave(0),
      m_dAmplitude(),
      m_dFrequency() {}

CPerlinNoise::~CPerlinNoise() {}

void CPerlinNoise::Create(double dPersistence, double dScaleX, double dScaleY, double dOffset) {
    m_dPersistence = dPersistence;
    m_dScaleX = dScaleX;
    m_dScaleY = dScaleY;
    m_dOffset = dOffset;
    for (int i = 0; i < MaxOctaves; ++i) {
        m_dFrequency[i] = std::pow(2.0, i);
        m_dAmplitude[i] = std::pow(m_dPersistence, i);
    }
}

int CPerlinNoise::GetOctaves(double& dPixelX, double& dPixelY) {
    double octavesX = std::log(m_dScaleX / dPixelX) / m_dLn2;
    double octavesY = std::log(m_dScaleY / dPixelY) / m_dLn2;
    return TruncBounded(octavesX > octavesY ? octavesX : octavesY) + 1;
}

double CPerlinNoise::PerlinNoise2D(double x, double y, int nOctaves) {
    if (nOctaves > MaxOctaves) nOctaves = MaxOctaves;
    double u = (x + m_dOffset) / m_dScaleX;
    double v = (y + m_dOffset) / m_dScaleY;
    double sum = 0.0;
    for (m_nOctave = 0; m_nOctave < nOctaves; ++m_nOctave)
        sum += InterpolatedNoise2D(u * m_dFrequency[m_nOctave], v * m_dFrequency[m_nOctave]) *
               m_dAmplitude[m_nOctave];
    return sum;
}

double CPerlinNoise::Noise(int x, int y) const {
    return photogeo::noise::HashNoise(x, y);
}

double CPerlinNoise::SmoothNoise2D(int x, int y) const {
    unsigned column = static_cast<unsigned>(x) & photogeo::noise::kMask;
    unsigned row = static_cast<unsigned>(y) & photogeo::noise::kMask;
    return photogeo::noise::Smoothed()[row * photogeo::noise::kSize + column];
}

double CPerlinNoise::InterpolateNormal(double a, double b, double t) const {
    return (1.0 - t) * a + b * t;
}

double CPerlinNoise::InterpolateCosine(double a, double b, double t) const {
    double f = (1.0 - std::cos(3.141592653589793 * t)) * 0.5;
    return (1.0 - f) * a + f * b;
}

double CPerlinNoise::InterpolateEdge(double a, double b, double t) const {
    double s = 1.0 - std::sqrt(t);
    return (1.0 - s) * b + s * a;
}

double CPerlinNoise::InterpolatedNoise2D(double x, double y) const {
    photogeo::noise::Cell cx = photogeo::noise::Locate(x);
    photogeo::noise::Cell cy = photogeo::noise::Locate(y);
    double c00 = SmoothNoise2D(cx.i0, cy.i0);
    double c10 = SmoothNoise2D(cx.i1, cy.i0);
    double c01 = SmoothNoise2D(cx.i0, cy.i1);
    double c11 = SmoothNoise2D(cx.i1, cy.i1);
    if (m_nInterpolate == photogeo::noise::kCosine)
        return InterpolateCosine(InterpolateCosine(c00, c10, cx.t),
                                 InterpolateCosine(c01, c11, cx.t), cy.t);
    if (m_nInterpolate == photogeo::noise::kEdge)
        return InterpolateEdge(InterpolateEdge(c00, c10, cx.t), InterpolateEdge(c01, c11, cx.t),
                               cy.t);
    return ((1.0 - cx.t) * c00 + c10 * cx.t) * (1.0 - cy.t) +
           ((1.0 - cx.t) * c01 + c11 * cx.t) * cy.t;
}
