// CPerlinNoise: the hash and the lattice built from it, smoothing, interpolation, octave sums,
// tiling and the octave count, checked against published values and the plain reference.
#include <gtest/gtest.h>

#include <cmath>

#include "noise/NoiseLattice.h"
#include "noise/NoiseReference.h"
#include "photogeo/PerlinNoise.h"

namespace {

namespace ref = noise_reference;

class Probe : public CPerlinNoise {
public:
    using CPerlinNoise::InterpolatedNoise2D;
    using CPerlinNoise::m_dAmplitude;
    using CPerlinNoise::m_dFrequency;
    using CPerlinNoise::m_nInterpolate;
    using CPerlinNoise::Noise;
    using CPerlinNoise::SmoothNoise2D;
};

TEST(PerlinNoise, HashValues) {
    Probe p;
    EXPECT_EQ(p.Noise(0, 0), -0.2817909838631749);
    EXPECT_EQ(p.Noise(1, 0), -0.2263730512931943);
    EXPECT_EQ(p.Noise(0, 1), -0.505917620845139);
    // Values whose products wrap around 32 bits, and negative coordinates.
    EXPECT_EQ(p.Noise(255, 255), -0.7294157044962049);
    EXPECT_EQ(p.Noise(-7, 3), -0.15504317451268435);
    EXPECT_EQ(p.Noise(100000, -3000), -0.9404039802029729);
}

TEST(PerlinNoise, LatticeAndSmoothingMatchThePlainFormulas) {
    Probe p;
    const float* lattice = photogeo::noise::Values();
    for (int y = 0; y < 256; ++y) {
        for (int x = 0; x < 256; ++x) {
            ASSERT_EQ(lattice[y * 256 + x], static_cast<float>(p.Noise(x, y)));
            ASSERT_EQ(p.Noise(x, y), ref::Hash(x, y));
            ASSERT_EQ(p.SmoothNoise2D(x, y), ref::Smooth(x, y)) << x << "," << y;
        }
    }
    EXPECT_EQ(p.SmoothNoise2D(-1, 300), p.SmoothNoise2D(255, 44));
    EXPECT_EQ(p.SmoothNoise2D(-2147483647 - 1, 2147483647), p.SmoothNoise2D(0, 255));
}

TEST(PerlinNoise, LinearModeIsExactAtLatticePoints) {
    Probe p;
    p.Create(0.5, 1.0, 1.0, 0.0);
    for (int y : {0, 1, 17, 255, 256, 300})
        for (int x : {0, 2, 128, 255, 511})
            EXPECT_EQ(p.InterpolatedNoise2D(x, y), p.SmoothNoise2D(x, y)) << x << "," << y;
}

TEST(PerlinNoise, CreateFillsTheOctaveTables) {
    Probe p;
    p.Create(0.5, 2.0, 3.0, 0.0);
    for (int i = 0; i < CPerlinNoise::MaxOctaves; ++i) {
        EXPECT_EQ(p.m_dAmplitude[i], std::ldexp(1.0, -i));
        EXPECT_EQ(p.m_dFrequency[i], std::ldexp(1.0, i));
    }
}

TEST(PerlinNoise, OctaveSumsMatchThePlainFormulasInEveryMode) {
    const double points[][2] = {{0.0, 0.0},   {0.3, 0.7},      {17.25, 3.5},    {1000.125, 77.0},
                                {-5.5, 2.25}, {-0.75, -300.5}, {1e7 + 0.5, 3e6}};
    for (int mode : {0, 1, 2}) {
        Probe p;
        p.Create(0.6, 11.0, 7.0, 3.0);
        p.m_nInterpolate = mode;
        ref::Params r;
        r.interpolate = mode;
        r.persistence = 0.6;
        r.scaleX = 11.0;
        r.scaleY = 7.0;
        r.offset = 3.0;
        for (const auto& pt : points)
            for (int n : {-1, 0, 1, 6, 20}) {
                double got = p.PerlinNoise2D(pt[0], pt[1], n);
                double want = ref::Perlin2D(r, pt[0], pt[1], n);
                // Edge mode takes the square root of a negative fraction left of the origin.
                if (std::isnan(want))
                    EXPECT_TRUE(std::isnan(got));
                else
                    EXPECT_EQ(got, want) << mode << " " << pt[0] << "," << pt[1] << " " << n;
            }
    }
}

TEST(PerlinNoise, OctaveCountsBeyondTheTablesAreClamped) {
    CPerlinNoise p;
    p.Create(0.7, 5.0, 5.0, 0.0);
    EXPECT_EQ(p.PerlinNoise2D(3.3, 4.4, 0), 0.0);
    EXPECT_EQ(p.PerlinNoise2D(3.3, 4.4, -8), 0.0);
    EXPECT_EQ(p.PerlinNoise2D(3.3, 4.4, 1000), p.PerlinNoise2D(3.3, 4.4, 20));
}

TEST(PerlinNoise, TilesEvery256LatticeUnits) {
    for (int mode : {0, 1}) {
        Probe p;
        p.Create(2.0 / 3.0, 37.5, 12.25, 3.0);
        p.m_nInterpolate = mode;
        for (int n : {1, 4, 12}) {
            for (double x : {0.0, 10.1, 500.7}) {
                double y = x * 0.37 + 1.0;
                double v = p.PerlinNoise2D(x, y, n);
                EXPECT_NEAR(p.PerlinNoise2D(x + 256 * 37.5, y, n), v, 1e-9);
                EXPECT_NEAR(p.PerlinNoise2D(x, y + 3 * 256 * 12.25, n), v, 1e-9);
            }
        }
    }
}

TEST(PerlinNoise, GetOctaves) {
    CPerlinNoise p;
    p.Create(0.5, 64.0, 32.0, 0.0);
    double px = 64.0, py = 32.0;
    EXPECT_EQ(p.GetOctaves(px, py), 1);
    px = 16.0;
    py = 8.0;
    EXPECT_EQ(p.GetOctaves(px, py), 3);
    px = 64.0;  // the finer axis decides
    EXPECT_EQ(p.GetOctaves(px, py), 3);
    px = 320.0;  // log2 of 1/5 is -2.3, truncated toward zero
    py = 160.0;
    EXPECT_EQ(p.GetOctaves(px, py), -1);
    // A zero footprint gives a bounded count rather than undefined behaviour.
    px = 0.0;
    py = 0.0;
    EXPECT_GT(p.GetOctaves(px, py), 20);
}

}  // namespace
