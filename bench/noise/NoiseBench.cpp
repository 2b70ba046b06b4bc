// Texture fill speed: 1024 x 1024 cloud and bump fills with 6 octaves, against libnoise's
// Perlin module filling the same size with the same octave count, in one process. Also times
// the same cloud texture made point by point with PerlinNoise2D and checks that the fill gives
// the same bytes. Prints megapixels per second (best of several runs) and the ratios.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

#include PHOTOGEO_LIBNOISE_HEADER
#include "photogeo/PerlinNoise.h"

namespace {

constexpr int kSize = 1024;
constexpr int kOctaves = 6;
constexpr int kRuns = 5;
constexpr double kScale = 256.0;

unsigned char ToByte(double v) {
    v = std::min(255.0, std::max(0.0, v));
    return static_cast<unsigned char>(v);
}

// Best rate over kRuns runs of fill, in megapixels per second.
template <class Fill>
double Rate(Fill fill) {
    double best = 1e300;
    for (int run = 0; run < kRuns; ++run) {
        auto start = std::chrono::steady_clock::now();
        fill();
        std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
        best = std::min(best, took.count());
    }
    return static_cast<double>(kSize) * kSize / best / 1e6;
}

// The cloud texture point by point, as a caller without FillTexture would make it.
class PointCloud : public CPerlinCloud {
public:
    void Fill(unsigned char* pDst) {
        for (int j = 0; j < kSize; ++j) {
            for (int i = 0; i < kSize; ++i) {
                double c = (PerlinNoise2D(i, j, kOctaves) + 1.0) * 255.0 * 0.5;
                pDst[j * kSize + i] = ToByte(CloudExpCurve(std::min(255.0, std::max(0.0, c))));
            }
        }
    }
};

}  // namespace

int main() {
    std::vector<unsigned char> cloudBytes(kSize * kSize), bumpBytes(kSize * kSize),
        pointBytes(kSize * kSize), rivalBytes(kSize * kSize);

    CPerlinCloud cloud;
    cloud.Create(0.5, kScale, kScale, 100.0, 0.97, 0);
    CPerlinBump bump;
    bump.Create(0.5, 1.5, kScale / 4, 0.0, 0);
    PointCloud point;
    point.Create(0.5, kScale, kScale, 100.0, 0.97, 0);

    noise::module::Perlin rival;
    rival.SetOctaveCount(kOctaves);
    rival.SetFrequency(1.0 / kScale);
    rival.SetPersistence(0.5);

    double cloudRate =
        Rate([&] { cloud.FillTexture(cloudBytes.data(), kSize, kSize, kOctaves, 0.0, 0.0); });
    double bumpRate = Rate(
        [&] { bump.FillTexture(bumpBytes.data(), kSize, kSize, kOctaves, 1.0, 1.0, 0.0, 0.0); });
    double pointRate = Rate([&] { point.Fill(pointBytes.data()); });
    double rivalRate = Rate([&] {
        for (int j = 0; j < kSize; ++j)
            for (int i = 0; i < kSize; ++i)
                rivalBytes[j * kSize + i] = ToByte((rival.GetValue(i, j, 0.0) + 1.0) * 127.5);
    });

    bool same = cloudBytes == pointBytes;
    std::printf("%d x %d pixels, %d octaves, best of %d runs\n", kSize, kSize, kOctaves, kRuns);
    std::printf("photogeo cloud FillTexture   %8.2f Mpixel/s\n", cloudRate);
    std::printf("photogeo bump FillTexture    %8.2f Mpixel/s\n", bumpRate);
    std::printf("photogeo cloud point by point%8.2f Mpixel/s (same bytes as the fill: %s)\n",
                pointRate, same ? "yes" : "NO");
    std::printf("libnoise Perlin GetValue     %8.2f Mpixel/s\n", rivalRate);
    std::printf("ratio cloud fill / libnoise  %8.2f\n", cloudRate / rivalRate);
    std::printf("ratio bump fill / libnoise   %8.2f\n", bumpRate / rivalRate);
    return same ? 0 : 1;
}
