// CPerlinCloud and CPerlinBump: the curve and the octave clamps of the per-point forms, and the
// fills compared byte for byte with the plain reference, with guard bytes around the buffer.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <new>
#include <vector>

#include "noise/NoiseReference.h"
#include "photogeo/PerlinNoise.h"

namespace {
// Set while a fill must run without being able to allocate.
bool failAllocations = false;
}  // namespace

void* operator new(std::size_t n) {
    if (!failAllocations)
        if (void* p = std::malloc(n ? n : 1)) return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}

namespace {

namespace ref = noise_reference;

class CloudProbe : public CPerlinCloud {
public:
    using CPerlinCloud::CloudExpCurve;
    using CPerlinCloud::m_nInterpolate;
};

class BumpProbe : public CPerlinBump {
public:
    using CPerlinBump::m_bRidge;
    using CPerlinBump::m_dBumpHeight;
};

// A caller's buffer with guard bytes on both sides, to catch writes outside the texture.
class GuardedBuffer {
public:
    GuardedBuffer(int nWidth, int nHeight)
        : bytes_(kGuard * 2 + static_cast<size_t>(std::max(0, nWidth) * std::max(0, nHeight)),
                 kFill) {}
    unsigned char* Texture() { return bytes_.data() + kGuard; }
    std::vector<unsigned char> Contents() const {
        return std::vector<unsigned char>(bytes_.begin() + kGuard, bytes_.end() - kGuard);
    }
    bool GuardsIntact() const {
        return std::all_of(bytes_.begin(), bytes_.begin() + kGuard, IsFill) &&
               std::all_of(bytes_.end() - kGuard, bytes_.end(), IsFill);
    }
    bool Untouched() const { return std::all_of(bytes_.begin(), bytes_.end(), IsFill); }

private:
    static constexpr size_t kGuard = 64;
    static constexpr unsigned char kFill = 0xA5;
    static bool IsFill(unsigned char c) { return c == kFill; }
    std::vector<unsigned char> bytes_;
};

double Density(double n) {
    return std::min(255.0, std::max(0.0, (n + 1) * 255 * 0.5));
}

TEST(PerlinCloud, CurveValues) {
    CloudProbe c;
    EXPECT_EQ(c.CloudExpCurve(Density(-1.0)), 0.0);
    EXPECT_EQ(c.CloudExpCurve(127.0), 0.0);
    EXPECT_EQ(c.CloudExpCurve(128.0), 127.5);
    EXPECT_EQ(c.CloudExpCurve(255.0), 255.0 - std::pow(0.5, 128.0) * 255.0);
}

TEST(PerlinCloud, PointOctavesAndInterpolation) {
    // Pixel sizes equal to the scales: GetOctaves gives 1, raised to 3, so 4 octaves are summed.
    CloudProbe c;
    c.Create(2.0 / 3.0, 16.0, 16.0, 100.0, 0.7, 5);
    CPerlinNoise n;
    n.Create(2.0 / 3.0, 16.0, 16.0, 5.0);
    CloudProbe curve;
    curve.Create(2.0 / 3.0, 16.0, 16.0, 100.0, 0.7, 5);
    for (double x : {0.5, 13.25, 400.0}) {
        EXPECT_EQ(c.PerlinCloud2D(x, 2 * x, 16.0, 16.0),
                  curve.CloudExpCurve(Density(n.PerlinNoise2D(x, 2 * x, 4))));
        EXPECT_EQ(c.m_nInterpolate, 0);
    }
    // Fine pixels: 12 octaves at most.
    EXPECT_EQ(c.PerlinCloud2D(3.0, 4.0, 1e-6, 1e-6),
              curve.CloudExpCurve(Density(n.PerlinNoise2D(3.0, 4.0, 12))));
    // With a low persistence the fourth amplitude is below 0.05, so cosine blending is chosen
    // and stays selected for a later fill.
    c.Create(0.3, 16.0, 16.0, 127.0, 0.5, 0);
    c.PerlinCloud2D(1.0, 1.0, 16.0, 16.0);
    EXPECT_EQ(c.m_nInterpolate, 1);
    GuardedBuffer buffer(40, 9);
    c.FillTexture(buffer.Texture(), 40, 9, 5, 2.0, 3.0);
    ref::Params r;
    r.interpolate = 1;
    r.persistence = 0.3;
    r.scaleX = r.scaleY = 16.0;
    EXPECT_EQ(buffer.Contents(), ref::CloudFill(r, 127.0, 0.5, 40, 9, 5, 2.0, 3.0));
}

TEST(PerlinBump, PointOctaveClampsDetailAndRidge) {
    BumpProbe b;
    b.Create(0.5, 0.4, 8.0, 1.0, 0);
    CPerlinNoise n;
    n.Create(0.5, 32.0, 32.0, 1.0);
    const double x = 5.75, y = 9.5;
    auto clamp = [](double h) { return std::min(1.0, std::max(-1.0, h)); };
    EXPECT_EQ(b.PerlinBump2D(0, x, y, 0, 0, 0), clamp(n.PerlinNoise2D(x, y, 2) * 0.4));
    EXPECT_EQ(b.PerlinBump2D(1, x, y, 0, 0, 0), clamp(n.PerlinNoise2D(x, y, 2) * 0.4));
    EXPECT_EQ(b.PerlinBump2D(5, x, y, 0, 0, 0), clamp(n.PerlinNoise2D(x, y, 6) * 0.4));
    EXPECT_EQ(b.PerlinBump2D(20, x, y, 0, 0, 0), clamp(n.PerlinNoise2D(x, y, 12) * 0.4));
    EXPECT_EQ(b.PerlinBump2D(-1, x, y, 0, 0, 0), clamp(n.PerlinNoise2D(x, y, 1) * 0.4));
    EXPECT_EQ(b.PerlinBump2D(-9, x, y, 0, 0, 0), clamp(n.PerlinNoise2D(x, y, 1) * 0.4));

    double plain = b.PerlinBump2D(3, x, y, 0, 0, 0);
    EXPECT_EQ(b.PerlinBump2D(3, x, y, 0, 0, -2.0), plain);
    double detail = n.PerlinNoise2D(x * 128, y * 128, 3) * 0.8 * 0.4 * 0.25;
    EXPECT_EQ(b.PerlinBump2D(3, x, y, 0, 0, 0.8), clamp(n.PerlinNoise2D(x, y, 4) * 0.4 + detail));

    b.m_bRidge = 1;
    double far = n.PerlinNoise2D(x + 10, y + 10, 4) * 0.4;
    EXPECT_EQ(b.PerlinBump2D(3, x, y, 0, 0, 0),
              clamp(1 - 2 * std::fabs(n.PerlinNoise2D(x, y, 4) * 0.4 - far)));
}

TEST(PerlinFill, MatchesThePlainFormulasByteForByte) {
    // 300 columns cross the fill's column tiles; negative origins exercise the wrap toward zero.
    const int w = 300, h = 23;
    for (int octaves : {1, 6, 20}) {
        for (int mode : {0, 1, 2}) {
            CloudProbe c;
            c.Create(0.55, 40.0, 25.0, 90.0, 0.8, 7);
            c.m_nInterpolate = mode;
            GuardedBuffer buffer(w, h);
            c.FillTexture(buffer.Texture(), w, h, octaves, 3.5, 1000.25);
            ref::Params r;
            r.interpolate = mode;
            r.persistence = 0.55;
            r.scaleX = 40.0;
            r.scaleY = 25.0;
            r.offset = 7.0;
            EXPECT_EQ(buffer.Contents(), ref::CloudFill(r, 90.0, 0.8, w, h, octaves, 3.5, 1000.25))
                << octaves << " octaves, mode " << mode;
            EXPECT_TRUE(buffer.GuardsIntact());
        }
        for (int ridge : {0, 1}) {
            for (double res : {0.0, 2.5}) {
                BumpProbe b;
                b.Create(0.6, 2.0, 10.0, -3.0, ridge);
                GuardedBuffer buffer(w, h);
                b.FillTexture(buffer.Texture(), w, h, octaves, res, 1.0, 20.0, -1.5);
                ref::Params r;
                r.persistence = 0.6;
                r.scaleX = r.scaleY = 40.0;
                r.offset = -3.0;
                EXPECT_EQ(buffer.Contents(),
                          ref::BumpFill(r, 2.0, ridge, w, h, octaves, res, 1.0, 20.0, -1.5))
                    << octaves << " octaves, ridge " << ridge << ", res " << res;
                EXPECT_TRUE(buffer.GuardsIntact());
            }
        }
    }
}

TEST(PerlinFill, OctaveCountsOutsideTheTables) {
    CPerlinCloud c;
    c.Create(0.5, 30.0, 30.0, 127.0, 0.5, 0);
    GuardedBuffer many(17, 5), twenty(17, 5), none(17, 5);
    c.FillTexture(many.Texture(), 17, 5, 1000, 0.0, 0.0);
    c.FillTexture(twenty.Texture(), 17, 5, 20, 0.0, 0.0);
    c.FillTexture(none.Texture(), 17, 5, -4, 0.0, 0.0);
    EXPECT_EQ(many.Contents(), twenty.Contents());
    // No octaves: a flat density of 127.5 through the curve.
    EXPECT_EQ(none.Contents(), std::vector<unsigned char>(17 * 5, 74));
    EXPECT_TRUE(many.GuardsIntact());
}

TEST(PerlinFill, FlatBumpIs127) {
    CPerlinBump b;
    b.Create(0.5, 0.0, 4.0, 0.0, 0);
    GuardedBuffer buffer(33, 4);
    b.FillTexture(buffer.Texture(), 33, 4, 6, 1.0, 1.0, 0.0, 0.0);
    EXPECT_EQ(buffer.Contents(), std::vector<unsigned char>(33 * 4, 127));
    EXPECT_TRUE(buffer.GuardsIntact());
    // Ridged, a flat field gives 2 * |0 - 0| = 0, mid-grey again.
    b.Create(0.5, 1.0, 4.0, 0.0, 1);
    b.FillTexture(buffer.Texture(), 33, 4, 0, 1.0, 1.0, 0.0, 0.0);
    EXPECT_EQ(buffer.Contents(), std::vector<unsigned char>(33 * 4, 127));
}

TEST(PerlinFill, EmptyFillsWriteNothing) {
    CPerlinCloud c;
    c.Create(0.5, 8.0, 8.0, 127.0, 0.5, 0);
    CPerlinBump b;
    b.Create(0.5, 1.5, 2.0, 0.0, 1);
    for (auto size : {std::make_pair(0, 5), std::make_pair(5, 0), std::make_pair(-3, 4),
                      std::make_pair(4, -3)}) {
        GuardedBuffer buffer(4, 4);
        c.FillTexture(buffer.Texture(), size.first, size.second, 4, 0.0, 0.0);
        b.FillTexture(buffer.Texture(), size.first, size.second, 4, 1.0, 1.0, 0.0, 0.0);
        EXPECT_TRUE(buffer.Untouched());
    }
    c.FillTexture(nullptr, 4, 4, 4, 0.0, 0.0);
    b.FillTexture(nullptr, 4, 4, 4, 1.0, 1.0, 0.0, 0.0);
}

TEST(PerlinFill, SameTexturesWithoutWorkingMemory) {
    CloudProbe c;
    c.Create(0.5, 20.0, 20.0, 110.0, 0.6, 3);
    BumpProbe b;
    b.Create(0.5, 1.5, 5.0, 0.0, 1);
    GuardedBuffer cloud(70, 6), cloudStarved(70, 6), bump(70, 6), bumpStarved(70, 6);
    c.FillTexture(cloud.Texture(), 70, 6, 5, 1.0, 2.0);
    b.FillTexture(bump.Texture(), 70, 6, 5, 2.0, 2.0, 1.0, 2.0);
    failAllocations = true;
    c.FillTexture(cloudStarved.Texture(), 70, 6, 5, 1.0, 2.0);
    b.FillTexture(bumpStarved.Texture(), 70, 6, 5, 2.0, 2.0, 1.0, 2.0);
    failAllocations = false;
    EXPECT_EQ(cloudStarved.Contents(), cloud.Contents());
    EXPECT_EQ(bumpStarved.Contents(), bump.Contents());
    EXPECT_TRUE(cloudStarved.GuardsIntact());
    EXPECT_TRUE(bumpStarved.GuardsIntact());
}

TEST(PerlinFill, TexturesAreStable) {
    // A digest of fixed textures: any change to the lattice, the arithmetic or its order shows.
    auto digest = [](const std::vector<unsigned char>& bytes) {
        uint32_t h = 2166136261u;
        for (unsigned char c : bytes) h = (h ^ c) * 16777619u;
        return h;
    };
    CPerlinCloud c;
    c.Create(0.5, 64.0, 64.0, 127.0, 0.5, 0);
    GuardedBuffer cloud(256, 256);
    c.FillTexture(cloud.Texture(), 256, 256, 6, 0.0, 0.0);
    CPerlinBump b;
    b.Create(0.5, 1.5, 16.0, 0.0, 1);
    GuardedBuffer bump(256, 256);
    b.FillTexture(bump.Texture(), 256, 256, 6, 1.0, 1.0, 0.0, 0.0);
    EXPECT_EQ(digest(cloud.Contents()), 3423338746u);
    EXPECT_EQ(digest(bump.Contents()), 130612340u);
}

}  // namespace
