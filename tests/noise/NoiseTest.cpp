// CPerlinNoise, CPerlinCloud and CPerlinBump: the hash against its published values, the point
// values and the textures against the values recorded in tests/data/noise, the octave clamps,
// and the fills' row sampler against the plain per-pixel path a fill takes when it
// cannot allocate, with guard bytes around the caller's buffer.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <new>
#include <sstream>
#include <vector>

#include "noise/NoiseLattice.h"
#include "photogeo/PerlinNoise.h"

namespace {
bool failAllocations = false;  // set while a fill must run without working memory
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

struct Probe : CPerlinBump {
    using CPerlinNoise::m_nInterpolate;
    using CPerlinNoise::Noise;
    using CPerlinNoise::SmoothNoise2D;
};
struct CloudProbe : CPerlinCloud {
    using CPerlinCloud::m_nInterpolate;
};

uint64_t Fnv(uint64_t h, const void* p, size_t n) {
    for (size_t i = 0; i < n; ++i)
        h = (h ^ static_cast<const unsigned char*>(p)[i]) * 1099511628211u;
    return h;
}
constexpr uint64_t kFnvBasis = 14695981039346656037u;
// Fnv over the doubles' bit patterns as little-endian bytes: the same digest on any host.
uint64_t FnvDoubles(uint64_t h, const double* p, size_t n) {
    for (size_t i = 0; i < n; ++i) {
        uint64_t bits;
        std::memcpy(&bits, &p[i], sizeof bits);
        for (int byte = 0; byte < 8; ++byte)
            h = (h ^ ((bits >> (8 * byte)) & 0xFF)) * 1099511628211u;
    }
    return h;
}

// Fills a width x height texture inside guard bytes, once with working memory and once without;
// both must agree and leave the guards alone. Returns the texture.
template <class Fill>
std::vector<unsigned char> FillBothWays(int width, int height, Fill fill) {
    constexpr size_t kGuard = 64;
    std::vector<unsigned char> result[2];
    for (int starved : {0, 1}) {
        std::vector<unsigned char> buffer(2 * kGuard + static_cast<size_t>(width) * height, 0xA5);
        failAllocations = starved;
        fill(buffer.data() + kGuard);
        failAllocations = false;
        EXPECT_EQ(std::count(buffer.begin(), buffer.begin() + kGuard, 0xA5) +
                      std::count(buffer.end() - kGuard, buffer.end(), 0xA5),
                  2 * kGuard);
        result[starved].assign(buffer.begin() + kGuard, buffer.end() - kGuard);
    }
    EXPECT_EQ(result[0], result[1]) << "row sampler and per-pixel path differ";
    return result[0];
}

TEST(PerlinNoise, PublishedHashValuesAndLatticeWrap) {
    Probe p;
    EXPECT_EQ(p.Noise(0, 0), -0.2817909838631749);
    EXPECT_EQ(p.Noise(1, 0), -0.2263730512931943);
    EXPECT_EQ(p.Noise(0, 1), -0.505917620845139);
    // Products that wrap around 32 bits, and negative coordinates.
    EXPECT_EQ(p.Noise(255, 255), -0.7294157044962049);
    EXPECT_EQ(p.Noise(-7, 3), -0.15504317451268435);
    EXPECT_EQ(p.Noise(100000, -3000), -0.9404039802029729);
    EXPECT_EQ(p.SmoothNoise2D(-1, 300), p.SmoothNoise2D(255, 44));
    EXPECT_EQ(p.SmoothNoise2D(-2147483647 - 1, 2147483647), p.SmoothNoise2D(0, 255));
    // The smoothed lattice as recorded (a digest of its 65536 doubles).
    EXPECT_EQ(FnvDoubles(kFnvBasis, photogeo::noise::Smoothed(), 65536),
              0x2f1c1c9286419e96u);
}

// The recorded values of PerlinNoise2D in every interpolation mode, of PerlinCloud2D (its
// octave count from the pixel size, at least 4 and at most 12, its blending chosen by the
// persistence, its curve) and of PerlinBump2D (octaves asked + 1, clamped; detail; ridge).
TEST(PerlinNoise, PointValuesMatchTheRecord) {
    std::ifstream in(PHOTOGEO_TEST_DATA "/noise/perlin-values.txt");
    std::string line;
    int checked = 0;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') continue;
        std::istringstream fields(line);
        std::string kind, want;
        double got;
        fields >> kind;
        if (kind == "cloud") {
            double persistence, x, y, pixelX, pixelY;
            fields >> persistence >> x >> y >> pixelX >> pixelY >> want;
            CPerlinCloud c;
            c.Create(persistence, 16.0, 16.0, 30.0, 0.98, 5);
            got = c.PerlinCloud2D(x, y, pixelX, pixelY);
        } else if (kind == "bump") {
            int ridge, octaves;
            double detail;
            fields >> ridge >> octaves >> detail >> want;
            CPerlinBump b;
            b.Create(0.5, 0.4, 8.0, 1.0, ridge);
            got = b.PerlinBump2D(octaves, 5.75, 9.5, 0, 0, detail);
        } else {
            int octaves;
            std::string x, y;
            fields >> x >> y >> octaves >> want;
            Probe p;
            p.CPerlinNoise::Create(0.6, 11.0, 7.0, 3.0);
            p.m_nInterpolate = std::stoi(kind);
            got = p.PerlinNoise2D(std::stod(x), std::stod(y), octaves);
        }
        // Edge mode takes the square root of a negative fraction left of the origin. The
        // tolerance leaves room for the last bits of another system's pow.
        if (want == "nan" || want == "-nan")
            EXPECT_TRUE(std::isnan(got)) << line;
        else
            EXPECT_NEAR(got, std::strtod(want.c_str(), nullptr), 1e-12) << line;
        ++checked;
    }
    EXPECT_EQ(checked, 126);
}

TEST(PerlinNoise, TilingOctaveClampsAndOctaveCount) {
    Probe p;
    p.CPerlinNoise::Create(2.0 / 3.0, 37.5, 12.25, 3.0);
    for (int mode : {0, 1}) {
        p.m_nInterpolate = mode;
        for (double x : {0.0, 10.1, 500.7}) {
            const double v = p.PerlinNoise2D(x, x * 0.37 + 1.0, 12);
            EXPECT_NEAR(p.PerlinNoise2D(x + 256 * 37.5, x * 0.37 + 1.0, 12), v, 1e-9);
            EXPECT_NEAR(p.PerlinNoise2D(x, x * 0.37 + 1.0 + 3 * 256 * 12.25, 12), v, 1e-9);
        }
    }
    EXPECT_EQ(p.PerlinNoise2D(3.3, 4.4, -8), 0.0);
    EXPECT_EQ(p.PerlinNoise2D(3.3, 4.4, 1000), p.PerlinNoise2D(3.3, 4.4, 20));

    // The finer axis decides; log2 of 1/5 (-2.3) truncates toward zero; a zero footprint
    // gives a bounded count.
    CPerlinNoise n;
    n.Create(0.5, 64.0, 32.0, 0.0);
    const double cases[][3] = {{64, 32, 1}, {16, 8, 3}, {64, 8, 3}, {320, 160, -1}};
    for (const auto& c : cases) {
        double px = c[0], py = c[1];
        EXPECT_EQ(n.GetOctaves(px, py), c[2]) << c[0] << " x " << c[1];
    }
    double zero = 0.0, alsoZero = 0.0;
    EXPECT_GT(n.GetOctaves(zero, alsoZero), 20);
}

TEST(PerlinFill, TexturesMatchThePlainPathAndTheRecord) {
    // 300 columns cross the row sampler's column tiles; negative origins exercise the wrap
    // toward zero; 20 octaves are more than the tables hold.
    const int w = 300, h = 23;
    uint64_t digest = kFnvBasis;
    for (int octaves : {1, 6, 20}) {
        for (int mode : {0, 1, 2}) {
            CloudProbe c;
            c.Create(0.55, 40.0, 25.0, 90.0, 0.8, 7);
            c.m_nInterpolate = mode;
            const auto t = FillBothWays(
                w, h, [&](unsigned char* p) { c.FillTexture(p, w, h, octaves, 3.5, 1000.25); });
            digest = Fnv(digest, t.data(), t.size());
        }
        for (int ridge : {0, 1}) {
            for (double res : {0.0, 2.5}) {
                CPerlinBump b;
                b.Create(0.6, 2.0, 10.0, -3.0, ridge);
                const auto t = FillBothWays(w, h, [&](unsigned char* p) {
                    b.FillTexture(p, w, h, octaves, res, 1.0, 20.0, -1.5);
                });
                digest = Fnv(digest, t.data(), t.size());
            }
        }
    }
    EXPECT_EQ(digest, 0x4e179e8b6e4eba1du);
}

TEST(PerlinFill, FlatEmptyAndClampedFills) {
    CPerlinCloud c;
    c.Create(0.5, 30.0, 30.0, 127.0, 0.5, 0);
    auto cloud = [&](int octaves) {
        return FillBothWays(17, 5,
                            [&](unsigned char* p) { c.FillTexture(p, 17, 5, octaves, 0, 0); });
    };
    EXPECT_EQ(cloud(1000), cloud(20));
    // No octaves: a flat density of 127.5 through the curve.
    EXPECT_EQ(cloud(-4), std::vector<unsigned char>(17 * 5, 74));
    // A flat bump is mid-grey, ridged too (2 * |0 - 0| = 0).
    for (int ridge : {0, 1}) {
        CPerlinBump b;
        b.Create(0.5, ridge ? 1.0 : 0.0, 4.0, 0.0, ridge);
        EXPECT_EQ(FillBothWays(33, 4,
                               [&](unsigned char* p) {
                                   b.FillTexture(p, 33, 4, ridge ? 0 : 6, 1.0, 1.0, 0.0, 0.0);
                               }),
                  std::vector<unsigned char>(33 * 4, 127));
    }
    // Empty sizes and a null buffer write nothing.
    CPerlinBump b;
    b.Create(0.5, 1.5, 2.0, 0.0, 1);
    std::vector<unsigned char> untouched(16, 0xA5);
    for (auto size : {std::make_pair(0, 5), std::make_pair(5, 0), std::make_pair(-3, 4)}) {
        c.FillTexture(untouched.data(), size.first, size.second, 4, 0.0, 0.0);
        b.FillTexture(untouched.data(), size.first, size.second, 4, 1.0, 1.0, 0.0, 0.0);
    }
    EXPECT_EQ(untouched, std::vector<unsigned char>(16, 0xA5));
    c.FillTexture(nullptr, 4, 4, 4, 0.0, 0.0);
    b.FillTexture(nullptr, 4, 4, 4, 1.0, 1.0, 0.0, 0.0);
}

}  // namespace
