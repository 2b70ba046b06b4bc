// Decoding speed of CJpegDecoder (analysis + DoDecode) against libjpeg-turbo (tjDecompress2 to
// bottom-up BGR) and stb_image (stbi_load_from_memory to RGB), in one process, on the same images:
// a 12-megapixel photo-like picture encoded as 4:2:0, as 4:4:4, as greyscale, as a
// spectral-selection progressive 4:2:0 file, as libjpeg's default progressive script (successive
// approximation) and as a camera-like file (4:2:2 at quality 95 with a restart marker every MCU
// row). Our decoder runs with full decoding. The three decoders take turns on each image,
// several rounds; each one's best thread CPU time counts. Prints megapixels per second and the
// ratio of our time to the others'.
//
// Usage: bench_jpeg [repetitions] [width height] [ours [image]]  ("ours": our decoder alone, for
// profiling; "image": only the images whose name starts with it, for example 4:4:4)
#include <turbojpeg.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <functional>
#include <random>
#include <vector>

#include "photogeo/JpegDecoder.h"
#include "support/JpegEncode.h"

// stb_image is a peer's code, compiled here as it stands, without our warning set.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-parameter"
#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_JPEG
#include "stb_image.h"
#pragma GCC diagnostic pop

namespace {

// A photo-like picture: several octaves of smooth value noise (sky, foliage-like texture),
// hard edges of a few shapes, and fine grain, so that blocks carry realistic AC energy.
std::vector<unsigned char> MakePhoto(int width, int height, int comps) {
    std::mt19937 rng(7);
    const int cell = 64;
    int gw = width / cell + 2, gh = height / cell + 2;
    std::vector<float> grid[3];
    for (auto& g : grid) {
        g.resize(static_cast<size_t>(gw) * gh);
        for (auto& v : g) v = std::uniform_real_distribution<float>(0, 1)(rng);
    }
    std::normal_distribution<float> grain(0, 4);
    std::vector<unsigned char> px(static_cast<size_t>(width) * height * comps);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            float gx = float(x) / cell, gy = float(y) / cell;
            int ix = int(gx), iy = int(gy);
            float fx = gx - ix, fy = gy - iy;
            float tex = 20.0f * std::sin(x * 0.37f + std::sin(y * 0.11f) * 3.0f) *
                        std::sin(y * 0.23f + x * 0.05f);
            bool shape = ((x - width / 3) * (x - width / 3) + (y - height / 2) * (y - height / 2)) <
                         (height / 5) * (height / 5);
            for (int c = 0; c < comps; ++c) {
                const std::vector<float>& g = grid[c];
                float a = g[iy * gw + ix], b = g[iy * gw + ix + 1];
                float d = g[(iy + 1) * gw + ix], e = g[(iy + 1) * gw + ix + 1];
                float v = (a * (1 - fx) + b * fx) * (1 - fy) + (d * (1 - fx) + e * fx) * fy;
                float s = 40 + 170 * v + (y > height * 2 / 3 ? tex : tex * 0.3f) +
                          (shape ? 35.0f - 20 * c : 0.0f) + grain(rng);
                px[(static_cast<size_t>(y) * width + x) * comps + c] =
                    static_cast<unsigned char>(std::clamp(s, 0.0f, 255.0f));
            }
        }
    }
    return px;
}

enum EScript { kSequential, kSpectral, kSuccessive };

std::vector<unsigned char> Encode(const std::vector<unsigned char>& px, int width, int height,
                                  int comps, int h0, int v0, EScript script, int quality = 90,
                                  int restartRows = 0) {
    const bool progressive = script == kSpectral;
    std::vector<jpeg_scan_info> scans;
    if (progressive) {
        // Spectral selection only: DC of all components, then two AC bands per component.
        jpeg_scan_info dc{};
        dc.comps_in_scan = comps;
        for (int c = 0; c < comps; ++c) dc.component_index[c] = c;
        scans.push_back(dc);
        for (int band = 0; band < 2; ++band)
            for (int c = 0; c < comps; ++c) {
                jpeg_scan_info ac{};
                ac.comps_in_scan = 1;
                ac.component_index[0] = c;
                ac.Ss = band == 0 ? 1 : 6;
                ac.Se = band == 0 ? 5 : 63;
                scans.push_back(ac);
            }
    }
    return testsupport::CompressJpeg(px.data(), width, height, comps,
                                     [&](jpeg_compress_struct& cinfo) {
                                         jpeg_set_quality(&cinfo, quality, TRUE);
                                         cinfo.restart_in_rows = restartRows;
                                         if (script == kSuccessive) jpeg_simple_progression(&cinfo);
                                         if (comps == 3) {
                                             cinfo.comp_info[0].h_samp_factor = h0;
                                             cinfo.comp_info[0].v_samp_factor = v0;
                                         }
                                         if (progressive) {
                                             cinfo.scan_info = scans.data();
                                             cinfo.num_scans = static_cast<int>(scans.size());
                                             cinfo.optimize_coding = TRUE;
                                         }
                                     });
}

// Thread CPU time, not wall time: on a shared machine the time the process spends descheduled
// would otherwise fall on whichever decoder happened to be running.
double Now() {
    timespec t;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + 1e-9 * double(t.tv_nsec);
}

double Seconds(const std::function<bool()>& run) {
    double t0 = Now();
    if (!run()) {
        std::fprintf(stderr, "decode failed\n");
        std::exit(1);
    }
    return Now() - t0;
}

}  // namespace

int main(int argc, char** argv) {
    int reps = argc > 1 ? std::atoi(argv[1]) : 5;
    int width = argc > 3 ? std::atoi(argv[2]) : 4000;
    int height = argc > 3 ? std::atoi(argv[3]) : 3000;
    bool oursOnly = argc > 4 && std::strcmp(argv[4], "ours") == 0;
    std::vector<unsigned char> rgb = MakePhoto(width, height, 3);
    std::vector<unsigned char> grey = MakePhoto(width, height, 1);
    struct SCase {
        const char* name;
        std::vector<unsigned char> jpeg;
    } cases[] = {
        {"4:2:0 baseline", Encode(rgb, width, height, 3, 2, 2, kSequential)},
        {"4:4:4 baseline", Encode(rgb, width, height, 3, 1, 1, kSequential)},
        {"grey baseline", Encode(grey, width, height, 1, 1, 1, kSequential)},
        {"4:2:0 progressive", Encode(rgb, width, height, 3, 2, 2, kSpectral)},
        {"4:2:0 prog. SA", Encode(rgb, width, height, 3, 2, 2, kSuccessive)},
        {"camera 4:2:2 q95", Encode(rgb, width, height, 3, 2, 1, kSequential, 95, 1)},
    };
    const double mp = double(width) * height / 1e6;
    const size_t stride = static_cast<size_t>((3 * width + 3) / 4 * 4);
    std::vector<unsigned char> ours(stride * height), turbo(stride * height);
    tjhandle tj = tjInitDecompress();
    std::printf("%d x %d (%.1f MP), best of %d\n", width, height, mp, reps);
    std::printf("%-18s %8s %9s %9s %9s %8s %8s %s\n", "image", "KB", "ours", "turbo", "stb",
                "ours/tj", "ours/stb", "(MP/s; time ratios)");
    const char* only = argc > 5 ? argv[5] : "";
    for (SCase& c : cases) {
        if (std::strncmp(c.name, only, std::strlen(only)) != 0) continue;
        std::vector<char> data(c.jpeg.begin(), c.jpeg.end());
        auto ourDecode = [&] {
            CJpegDecoder decoder;
            decoder.SetFullDecoding(true);
            return decoder.SetJpegData(data.data(), static_cast<int>(data.size())) == 0 &&
                   decoder.DoDecode(reinterpret_cast<char*>(ours.data())) == 0;
        };
        auto turboDecode = [&] {
            return tjDecompress2(tj, c.jpeg.data(), static_cast<unsigned long>(c.jpeg.size()),
                                 turbo.data(), width, static_cast<int>(stride), height, TJPF_BGR,
                                 TJFLAG_BOTTOMUP) == 0;
        };
        auto stbDecode = [&] {
            int w, h, n;
            unsigned char* p = stbi_load_from_memory(c.jpeg.data(), static_cast<int>(c.jpeg.size()),
                                                     &w, &h, &n, 3);
            if (!p) return false;
            stbi_image_free(p);
            return true;
        };
        // The decoders take turns, so that a change in the machine's load falls on all three.
        double tOurs = 1e30, tTurbo = 1e30, tStb = 1e30;
        for (int r = 0; r < reps; ++r) {
            tOurs = std::min(tOurs, Seconds(ourDecode));
            if (oursOnly) continue;
            tTurbo = std::min(tTurbo, Seconds(turboDecode));
            tStb = std::min(tStb, Seconds(stbDecode));
        }
        if (oursOnly) {
            std::printf("%-18s %8zu %9.1f\n", c.name, c.jpeg.size() / 1024, mp / tOurs);
            continue;
        }
        std::printf("%-18s %8zu %9.1f %9.1f %9.1f %8.2f %8.2f\n", c.name, c.jpeg.size() / 1024,
                    mp / tOurs, mp / tTurbo, mp / tStb, tOurs / tTurbo, tOurs / tStb);
    }
    tjDestroy(tj);
    return 0;
}
