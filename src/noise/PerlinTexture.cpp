// CPerlinCloud and CPerlinBump: the texture generators over CPerlinNoise. Each has a per-point
// evaluation (PerlinCloud2D, PerlinBump2D), which picks its own octave count, and a FillTexture
// that writes a greyscale image from the octave sum with the count the caller gives.
//
// The fills sample a grid, so they go through photogeo::noise::RowSampler, which gives the same
// sums as PerlinNoise2D point by point, a tile of columns at a time (the tile bounds the
// working memory whatever the width). Should that memory not be available, the fill falls back
// to PerlinNoise2D for every pixel, with the same result.
#include <algorithm>
#include <cmath>
#include <new>
#include <vector>

#include "noise/NoiseField.h"
#include "photogeo/PerlinNoise.h"

namespace {

// Columns per tile of a fill; a ridged bump fill needs 10 more.
constexpr int kTileColumns = 256;
// How far, in pixels (fill) or input units (per point), the ridged variant looks.
constexpr int kRidgeShift = 10;

int ClampFillOctaves(int nOctaves) {
    return std::max(0, std::min(nOctaves, static_cast<int>(CPerlinNoise::MaxOctaves)));
}

// Truncates a pixel value toward zero; values outside 0..255 are clamped and NaN gives 0, so
// the conversion is always defined.
unsigned char PixelByte(double v) {
    if (!(v >= 0.0)) return 0;
    if (v >= 255.0) return 255;
    return static_cast<unsigned char>(static_cast<int>(v));
}

// Maps an octave sum (nominally -1..1) to a density in 0..255.
double NoiseToDensity(double n) {
    double c = (n + 1.0) * 255.0 * 0.5;
    if (c > 255.0) c = 255.0;
    if (c < 0.0) c = 0.0;
    return c;
}

// Maps a height in -1..1 (clamped) to a pixel byte; 0 gives 127.
unsigned char HeightByte(double h) {
    if (h > 1.0) h = 1.0;
    if (h < -1.0) h = -1.0;
    return PixelByte((h + 1.0) * 255.0 * 0.5);
}

}  // namespace

CPerlinCloud::CPerlinCloud() : m_dCloudCover(127.0), m_dCloudSharpness(0.5) {}

CPerlinCloud::~CPerlinCloud() {}

void CPerlinCloud::Create(double dPersistence, double dScaleX, double dScaleY, double dCover,
                          double dSharpness, int nOffset) {
    CPerlinNoise::Create(dPersistence, dScaleX, dScaleY, static_cast<double>(nOffset));
    m_dCloudCover = dCover;
    m_dCloudSharpness = dSharpness;
}

double CPerlinCloud::CloudExpCurve(double dValue) const {
    double c = dValue - m_dCloudCover;
    if (c < 0.0) c = 0.0;
    return 255.0 - std::pow(m_dCloudSharpness, c) * 255.0;
}

double CPerlinCloud::PerlinCloud2D(double x, double y, double dPixelX, double dPixelY) {
    int o = GetOctaves(dPixelX, dPixelY);
    if (o >= 0) {
        o = std::min(std::max(o, 3), 11);
    } else {
        o = std::max(o + 3, 0);
    }
    // With a low persistence the fine octaves add little, and the creases that linear blending
    // leaves along the cell edges of the coarse ones would show; cosine blending is smooth there.
    m_nInterpolate = m_dAmplitude[o] < 0.05 ? photogeo::noise::kCosine : 0;
    return CloudExpCurve(NoiseToDensity(PerlinNoise2D(x, y, o + 1)));
}

void CPerlinCloud::FillTexture(unsigned char* pDst, int nWidth, int nHeight, int nOctaves,
                               double dX, double dY) {
    if (pDst == nullptr || nWidth < 1 || nHeight < 1) return;
    const size_t width = static_cast<size_t>(nWidth);
    try {
        photogeo::noise::Settings settings = {
            m_dOffset,    m_dScaleX,   m_dScaleY, m_nInterpolate, ClampFillOctaves(nOctaves),
            m_dAmplitude, m_dFrequency};
        const int capacity = std::min(nWidth, kTileColumns);
        photogeo::noise::RowSampler sampler(settings, capacity);
        std::vector<double> columnX(capacity);
        std::vector<double> sums(capacity);
        for (int first = 0; first < nWidth; first += capacity) {
            const int count = std::min(capacity, nWidth - first);
            for (int k = 0; k < count; ++k) columnX[k] = (first + k) + dX;
            sampler.SetColumns(columnX.data(), count);
            for (int j = 0; j < nHeight; ++j) {
                sampler.Sample(j + dY, sums.data());
                unsigned char* row = pDst + j * width + first;
                for (int k = 0; k < count; ++k)
                    row[k] = PixelByte(CloudExpCurve(NoiseToDensity(sums[k])));
            }
        }
        m_nOctave = settings.octaves;
    } catch (const std::bad_alloc&) {
        for (int j = 0; j < nHeight; ++j)
            for (int i = 0; i < nWidth; ++i)
                pDst[j * width + i] = PixelByte(
                    CloudExpCurve(NoiseToDensity(PerlinNoise2D(i + dX, j + dY, nOctaves))));
    }
}

CPerlinBump::CPerlinBump()
    : m_dBumpLn2(std::log(2.0)),
      m_dBumpHeight(1.5),
      m_dDetailFrequency(std::pow(2.0, 7.0)),
      m_bRidge(0) {}

CPerlinBump::~CPerlinBump() {}

void CPerlinBump::Create(double dPersistence, double dHeight, double dScale, double dOffset,
                         int bRidge) {
    CPerlinNoise::Create(dPersistence, 4.0 * dScale, 4.0 * dScale, dOffset);
    m_dBumpHeight = dHeight;
    m_nInterpolate = 0;
    m_bRidge = bRidge;
}

double CPerlinBump::PerlinBump2D(int nOctaves, double x, double y, double, double, double dDetail) {
    int o = nOctaves;
    if (o >= 0) {
        o = std::min(std::max(o, 1), 11);
    } else {
        o = std::max(o + 1, 0);
    }
    auto height = [&](double px, double py) {
        double h = PerlinNoise2D(px, py, o + 1) * m_dBumpHeight;
        if (dDetail > 0.0)
            h += PerlinNoise2D(px * m_dDetailFrequency, py * m_dDetailFrequency, 3) * dDetail *
                 m_dBumpHeight * 0.25;
        return h;
    };
    double h = height(x, y);
    if (m_bRidge) h = 1.0 - 2.0 * std::fabs(h - height(x + kRidgeShift, y + kRidgeShift));
    return std::min(std::max(h, -1.0), 1.0);
}

void CPerlinBump::FillTexture(unsigned char* pDst, int nWidth, int nHeight, int nOctaves,
                              double dResX, double dResY, double dX, double dY) {
    if (pDst == nullptr || nWidth < 1 || nHeight < 1) return;
    if (dResX == 0.0) dResX = 1.0;
    if (dResY == 0.0) dResY = 1.0;
    const size_t width = static_cast<size_t>(nWidth);
    // The ridge sample of pixel (i, j) is the plain sample of pixel (i + 10, j + 10): the same
    // expression with the same operands, so the sampler only needs 10 more columns.
    const int shift = m_bRidge ? kRidgeShift : 0;
    try {
        photogeo::noise::Settings settings = {
            m_dOffset,    m_dScaleX,   m_dScaleY, m_nInterpolate, ClampFillOctaves(nOctaves),
            m_dAmplitude, m_dFrequency};
        const int capacity = std::min(nWidth, kTileColumns);
        photogeo::noise::RowSampler sampler(settings, capacity + shift);
        std::vector<double> columnX(capacity + shift);
        std::vector<double> near(capacity + shift);
        std::vector<double> far(capacity + shift);
        for (int first = 0; first < nWidth; first += capacity) {
            const int count = std::min(capacity, nWidth - first);
            // Double arithmetic: first + k + 10 may not fit an int, and is exact as a double.
            for (int k = 0; k < count + shift; ++k)
                columnX[k] = (static_cast<double>(first) + k) / dResX + dX;
            sampler.SetColumns(columnX.data(), count + shift);
            for (int j = 0; j < nHeight; ++j) {
                sampler.Sample(j / dResY + dY, near.data());
                if (shift)
                    sampler.Sample((static_cast<double>(j) + shift) / dResY + dY, far.data());
                unsigned char* row = pDst + j * width + first;
                for (int k = 0; k < count; ++k) {
                    double h = near[k] * m_dBumpHeight;
                    if (shift) h = 2.0 * std::fabs(h - far[k + shift] * m_dBumpHeight);
                    row[k] = HeightByte(h);
                }
            }
        }
        m_nOctave = settings.octaves;
    } catch (const std::bad_alloc&) {
        for (int j = 0; j < nHeight; ++j) {
            for (int i = 0; i < nWidth; ++i) {
                double h = PerlinNoise2D(i / dResX + dX, j / dResY + dY, nOctaves) * m_dBumpHeight;
                if (shift)
                    h = 2.0 *
                        std::fabs(h - PerlinNoise2D((static_cast<double>(i) + shift) / dResX + dX,
                                                    (static_cast<double>(j) + shift) / dResY + dY,
                                                    nOctaves) *
                                          m_dBumpHeight);
                pDst[j * width + i] = HeightByte(h);
            }
        }
    }
}
