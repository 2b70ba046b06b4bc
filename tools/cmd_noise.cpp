// "photogeo noise": fills a cloud or bump texture with the library's Perlin noise generators and
// writes it as a greyscale PGM.
#include <photogeo/PerlinNoise.h>

#include <cerrno>
#include <cstdio>
#include <vector>

#include "cli.h"
#include "commands.h"
#include "image_files.h"

namespace cli {

namespace {

const char kHelp[] =
    "Usage: photogeo noise cloud|bump [OPTIONS] OUT.pgm\n"
    "\n"
    "Writes a greyscale texture of Perlin noise as a binary PGM. Textures tile every\n"
    "256 x SCALE pixels.\n"
    "\n"
    "  --size WxH          picture size in pixels (default 256x256)\n"
    "  --octaves N         octaves summed, 1 to 20 (default 6)\n"
    "  --persistence P     amplitude ratio of successive octaves (default 0.5)\n"
    "  --scale S           pixels per lattice unit of the first octave (default 32)\n"
    "  --offset N          shifts the sampled area, giving another texture (default 0)\n"
    "cloud only:\n"
    "  --cover C           density 0..255 taken away before the curve (default 100)\n"
    "  --sharpness S       base of the exponential curve, 0..1 (default 0.97; lower\n"
    "                      values give harder edges)\n"
    "bump only:\n"
    "  --height H          factor applied to the noise (default 1.5)\n"
    "  --ridge             ridged variant\n"
    "\n"
    "Example: photogeo noise cloud --size 512x256 --octaves 8 sky.pgm\n";

void ParseSize(const std::string& text, int& width, int& height) {
    std::size_t x = text.find('x');
    if (x == std::string::npos) throw UsageError("--size must be WxH, as 256x256");
    long w = ParseLong(text.substr(0, x), "--size width");
    long h = ParseLong(text.substr(x + 1), "--size height");
    // Keeps the buffer below 256 MiB and every coordinate exact in a double.
    if (w < 1 || h < 1 || w > 16384 || h > 16384) {
        throw UsageError("--size: width and height must lie in 1..16384");
    }
    width = static_cast<int>(w);
    height = static_cast<int>(h);
}

int Run(const std::vector<std::string>& args) {
    ParsedArgs parsed = ParseArgs(args, {{"size", 0, true},
                                         {"octaves", 0, true},
                                         {"persistence", 0, true},
                                         {"scale", 0, true},
                                         {"offset", 0, true},
                                         {"cover", 0, true},
                                         {"sharpness", 0, true},
                                         {"height", 0, true},
                                         {"ridge", 0, false}});
    if (parsed.positional.size() != 2) throw UsageError("needs the kind (cloud or bump) and OUT");
    const std::string& kind = parsed.positional[0];
    const std::string& out = parsed.positional[1];
    if (kind != "cloud" && kind != "bump") throw UsageError("the kind must be cloud or bump");
    bool cloud = kind == "cloud";
    if (cloud && (parsed.Has("height") || parsed.Has("ridge"))) {
        throw UsageError("--height and --ridge apply to bump textures");
    }
    if (!cloud && (parsed.Has("cover") || parsed.Has("sharpness"))) {
        throw UsageError("--cover and --sharpness apply to cloud textures");
    }
    int width = 256, height = 256;
    if (parsed.Has("size")) ParseSize(parsed.Get("size"), width, height);
    long octaves = ParseLong(parsed.Get("octaves", "6"), "--octaves");
    if (octaves < 1 || octaves > CPerlinNoise::MaxOctaves) {
        throw UsageError("--octaves must lie in 1..20");
    }
    double persistence = ParseDouble(parsed.Get("persistence", "0.5"), "--persistence");
    double scale = ParseDouble(parsed.Get("scale", "32"), "--scale");
    if (scale <= 0.0) throw UsageError("--scale must be positive");
    long offset = ParseLong(parsed.Get("offset", "0"), "--offset");
    if (offset < -1000000 || offset > 1000000) {
        throw UsageError("--offset must lie in -1000000..1000000");
    }

    std::vector<unsigned char> pixels(static_cast<std::size_t>(width) * height);
    if (cloud) {
        double cover = ParseDouble(parsed.Get("cover", "100"), "--cover");
        double sharpness = ParseDouble(parsed.Get("sharpness", "0.97"), "--sharpness");
        CPerlinCloud generator;
        generator.Create(persistence, scale, scale, cover, sharpness, static_cast<int>(offset));
        generator.FillTexture(pixels.data(), width, height, static_cast<int>(octaves), 0.0, 0.0);
    } else {
        double bumpHeight = ParseDouble(parsed.Get("height", "1.5"), "--height");
        CPerlinBump generator;
        // The bump generator counts four of its scale units to a lattice unit.
        generator.Create(persistence, bumpHeight, scale / 4.0, static_cast<double>(offset),
                         parsed.Has("ridge") ? 1 : 0);
        generator.FillTexture(pixels.data(), width, height, static_cast<int>(octaves), 1.0, 1.0,
                              0.0, 0.0);
    }
    if (!WritePgm(out, width, height, pixels.data())) {
        ReportFileError(out, "cannot write: " + ErrnoText(errno));
        return kExitFileFailed;
    }
    return kExitOk;
}

}  // namespace

const Command kNoiseCommand = {"noise", "cloud or bump texture as a greyscale PGM", kHelp, Run};

}  // namespace cli
