// CPerlinNoise, CPerlinCloud, CPerlinBump: tiling two-dimensional value noise summed over
// octaves, and the cloud-density and bump-height texture generators built on it.
//
// All instances share one read-only 256 x 256 lattice of pseudo-random values (768 KB with its
// smoothed form), built when the library is loaded and freed when it is unloaded. The
// lattice wraps every 256 units in both directions, and every octave frequency is a whole
// number, so the noise and every texture made from it tile every 256 lattice units.
//
// Coordinates: an input point (x, y) lies at lattice point ((x + offset) / scaleX,
// (y + offset) / scaleY) in octave 0, and at that point times 2^i in octave i.
//
// Texture buffers belong to the caller: one unsigned byte per pixel, rows of exactly nWidth
// bytes with no padding, row 0 first; pixel (i, j) is byte j * nWidth + i. A fill writes those
// nWidth * nHeight bytes and nothing else.
//
// An instance is not safe for concurrent use (evaluation writes m_nOctave, and PerlinCloud2D
// writes m_nInterpolate); separate instances may run in parallel.
#ifndef PHOTOGEO_PERLINNOISE_H
#define PHOTOGEO_PERLINNOISE_H

#include "photogeo/Export.h"

class PHOTOGEO_API CPerlinNoise {
public:
    // The most octaves that can be summed (the size of the amplitude and frequency tables).
    enum { MaxOctaves = 20 };

    // Defaults: linear interpolation, persistence 2/3, scales 1.0, offset 0.0. Create must be
    // called before any evaluation.
    CPerlinNoise();
    ~CPerlinNoise();

    // Stores the parameters and fills the octave tables: m_dFrequency[i] = 2^i and
    // m_dAmplitude[i] = dPersistence^i for i = 0..19. dScaleX and dScaleY are input units per
    // lattice unit in octave 0; dOffset is added to both input coordinates before scaling. May
    // be called again to change the parameters.
    void Create(double dPersistence, double dScaleX, double dScaleY, double dOffset);

    // The number of octaves whose features are still larger than one pixel when a pixel covers
    // dPixelX by dPixelY input units: trunc(max(log2(m_dScaleX / dPixelX),
    // log2(m_dScaleY / dPixelY))) + 1, truncated toward zero. Equal pixel sizes and scales give
    // 1, pixel sizes a quarter of the scales give 3. The result may be 0 or negative for pixels
    // larger than the scales; a zero, negative or non-finite ratio gives a bounded, meaningless
    // count (never undefined behaviour). The arguments are not changed.
    int GetOctaves(double& dPixelX, double& dPixelY);

    // The sum over octaves i = 0..nOctaves-1 of the one-octave noise at the lattice point of
    // (x, y) times 2^i, weighted by m_dAmplitude[i]. Each octave lies in -1..1, so the sum lies
    // within +-(1 - p^n) / (1 - p) for persistence p below 1. nOctaves of 0 or less gives 0;
    // more than MaxOctaves sums MaxOctaves. Leaves m_nOctave at the number of octaves summed.
    double PerlinNoise2D(double x, double y, int nOctaves);

protected:
    // The integer hash of the lattice, with 32-bit wrap-around arithmetic: a value in the
    // half-open range -1 (exclusive) to 1 (inclusive). Defined for every x and y.
    double Noise(int x, int y) const;
    // The lattice at (x, y) smoothed with its eight neighbours (weights 1/4 centre, 1/8 edges,
    // 1/16 corners); both coordinates are taken modulo 256, negative ones included.
    double SmoothNoise2D(int x, int y) const;
    // Blends a (t = 0) into b (t = 1): straight line, raised cosine, or 1 - sqrt(t) weighting.
    double InterpolateNormal(double a, double b, double t) const;
    double InterpolateCosine(double a, double b, double t) const;
    double InterpolateEdge(double a, double b, double t) const;
    // One octave at lattice coordinates (x, y), interpolated between the smoothed values of the
    // four surrounding lattice points by m_nInterpolate. The fraction is taken toward zero, so
    // negative coordinates extrapolate (linear, cosine) or give NaN (edge).
    double InterpolatedNoise2D(double x, double y) const;

    int m_nInterpolate;               // 1 cosine, 2 edge, any other value linear
    double m_dLn2;                    // ln 2, turns natural logarithms into base-2 ones
    double m_dPersistence;            // amplitude ratio between successive octaves
    double m_dScaleX;                 // input units per lattice unit, x
    double m_dScaleY;                 // input units per lattice unit, y
    double m_dOffset;                 // added to both input coordinates before scaling
    int m_nOctave;                    // octave being summed by PerlinNoise2D
    double m_dAmplitude[MaxOctaves];  // m_dPersistence^i, filled by Create
    double m_dFrequency[MaxOctaves];  // 2^i, filled by Create
};

// Cloud density: the octave noise mapped to 0..255 and passed through an exponential
// cover/sharpness curve, 255 - sharpness^max(0, density - cover) * 255.
class PHOTOGEO_API CPerlinCloud : public CPerlinNoise {
public:
    // Defaults: cover 127.0, sharpness 0.5.
    CPerlinCloud();
    ~CPerlinCloud();

    // CPerlinNoise::Create(dPersistence, dScaleX, dScaleY, nOffset), then stores the cover
    // (density units, 0..255) and the sharpness (the curve's base, normally in 0..1). Different
    // offsets give different textures from the one lattice.
    void Create(double dPersistence, double dScaleX, double dScaleY, double dCover,
                double dSharpness, int nOffset);

    // The density at (x, y) for a pixel footprint of dPixelX by dPixelY input units, in 0..255
    // for a sharpness in 0..1. The octave count is GetOctaves' clamped to 3..11 (a negative one
    // n becomes max(n + 3, 0)), plus one. Sets m_nInterpolate to cosine when that octave's
    // amplitude is below 0.05 and to linear otherwise; a later FillTexture keeps that mode.
    double PerlinCloud2D(double x, double y, double dPixelX, double dPixelY);

    // Writes the density texture of nWidth x nHeight pixels to pDst (nWidth * nHeight bytes,
    // owned by the caller): pixel (i, j) samples PerlinNoise2D(i + dX, j + dY, nOctaves) with the
    // interpolation mode as currently set, maps it to 0..255 and through the curve, truncated
    // toward zero (a curve value outside 0..255, from a sharpness outside 0..1, is clamped).
    // nOctaves is used as given: 0 or less gives a flat texture, more than MaxOctaves sums
    // MaxOctaves. Nothing is written when nWidth or nHeight is below 1 or pDst is null.
    void FillTexture(unsigned char* pDst, int nWidth, int nHeight, int nOctaves, double dX,
                     double dY);

protected:
    // 255 - m_dCloudSharpness^c * 255 with c = dValue - m_dCloudCover, negative c taken as 0.
    double CloudExpCurve(double dValue) const;

    double m_dCloudCover;      // density subtracted before the curve
    double m_dCloudSharpness;  // base of the exponential curve
};

// Bump height: the octave noise scaled by a height factor, optionally with a fine detail layer
// (per point only) or ridged.
class PHOTOGEO_API CPerlinBump : public CPerlinNoise {
public:
    // Defaults: height 1.5, detail frequency 128, not ridged.
    CPerlinBump();
    ~CPerlinBump();

    // CPerlinNoise::Create(dPersistence, 4 * dScale, 4 * dScale, dOffset); stores the height
    // factor and the ridge flag (non-zero: ridged) and selects linear interpolation.
    void Create(double dPersistence, double dHeight, double dScale, double dOffset, int bRidge);

    // The height at (x, y) in -1..1. The octave count nOctaves is clamped to 1..11 (a negative
    // one n becomes max(n + 1, 0)) and one more octave is summed: 0 gives 2 octaves, 20 gives 12.
    // A positive dDetail adds a 3-octave layer at m_dDetailFrequency times the frequency,
    // weighted dDetail * height / 4. Ridged: 1 - 2 * |h(x, y) - h(x + 10, y + 10)|. The fourth
    // and fifth arguments are not used.
    double PerlinBump2D(int nOctaves, double x, double y, double, double, double dDetail);

    // Writes the height texture of nWidth x nHeight pixels to pDst (nWidth * nHeight bytes,
    // owned by the caller). Pixel (i, j) samples h = PerlinNoise2D(i / dResX + dX,
    // j / dResY + dY, nOctaves) * height; ridged, h = 2 * |h - h'| with h' the sample 10 pixels
    // further right and down. The byte is (clamp(h, -1, 1) + 1) * 127.5 truncated toward zero,
    // so a flat texture is 127. A dResX or dResY of exactly 0 counts as 1. Unlike PerlinBump2D,
    // there is no detail layer, the octave count is used as given (0 or less: flat, more than
    // MaxOctaves: MaxOctaves) and ridges come out dark. Nothing is written when nWidth or
    // nHeight is below 1 or pDst is null.
    void FillTexture(unsigned char* pDst, int nWidth, int nHeight, int nOctaves, double dResX,
                     double dResY, double dX, double dY);

protected:
    double m_dBumpLn2;          // ln 2; part of the record, not used in evaluation
    double m_dBumpHeight;       // factor applied to every noise value
    double m_dDetailFrequency;  // frequency multiplier of the detail layer
    int m_bRidge;               // non-zero selects the ridged variant
};

#endif
