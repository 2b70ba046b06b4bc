// "photogeo noise": fills a cloud or bump texture with the library's Perlin noise generators and
// writes it as a greyscale PGM.
#include <photogeo/PerlinNoise.h>

#include <cerrno>
#include <cstdio>
#include <memory>
#include <vector>

#include "cli.h"
#include "commands.h"
#include "image_files.h"

namespace cli {

namespace {

const char kUsage[] = "Usage: photogeo noise cloud|bump [OPTIONS] OUT.pgm\n";
const char kIntro[] =
    "Writes a greyscale texture of Perlin noise as a binary PGM. Textures tile every\n"
    "256 x SCALE pixels.\n";
const char kFooter[] =
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

struct Options {
    std::string kind, out, size;
    int octaves = 6;
    double persistence = 0.5, scale = 32.0;
    int offset = 0;
    double cover = 100.0, sharpness = 0.97;  // cloud
    double height = 1.5;                     // bump
    bool ridge = false;
};

int Run(const Options& o) {
    int width = 256, height = 256;
    if (!o.size.empty()) ParseSize(o.size, width, height);
    if (o.scale <= 0.0) throw UsageError("--scale must be positive");

    std::vector<unsigned char> pixels(static_cast<std::size_t>(width) * height);
    if (o.kind == "cloud") {
        CPerlinCloud generator;
        generator.Create(o.persistence, o.scale, o.scale, o.cover, o.sharpness, o.offset);
        generator.FillTexture(pixels.data(), width, height, o.octaves, 0.0, 0.0);
    } else {
        CPerlinBump generator;
        // The bump generator counts four of its scale units to a lattice unit.
        generator.Create(o.persistence, o.height, o.scale / 4.0, static_cast<double>(o.offset),
                         o.ridge ? 1 : 0);
        generator.FillTexture(pixels.data(), width, height, o.octaves, 1.0, 1.0, 0.0, 0.0);
    }
    return WriteStatus(WritePgm(o.out, width, height, pixels.data()));
}

std::function<int()> Setup(CLI::App& app) {
    SetHelp(app, kUsage, kIntro, kFooter);
    auto o = std::make_shared<Options>();
    app.add_option("KIND", o->kind, "cloud or bump")
        ->required()
        ->check(CLI::IsMember({"cloud", "bump"}));
    app.add_option("OUT.pgm", o->out, "the picture to write (a new or regular file, - for standard output)")->required();
    app.add_option("--size", o->size, "picture size in pixels (default 256x256)")
        ->option_text("WxH");
    app.add_option("--octaves", o->octaves, "octaves summed, 1 to 20 (default 6)")
        ->check(Range(1, CPerlinNoise::MaxOctaves));
    app.add_option("--persistence", o->persistence,
                   "amplitude ratio of successive octaves (default 0.5)")
        ->check(Range());
    app.add_option("--scale", o->scale, "pixels per lattice unit of the first octave (default 32)")
        ->check(Range());
    app.add_option("--offset", o->offset,
                   "shifts the sampled area, giving another texture (default 0)")
        ->check(Range(-1000000, 1000000));
    CLI::Option* cover = app.add_option(
        "--cover", o->cover, "cloud: density 0..255 taken away before the curve (default 100)");
    const double kMaxCover = 255;
    cover->check(Range(0, kMaxCover));
    CLI::Option* sharpness = app.add_option(
        "--sharpness", o->sharpness,
        "cloud: base of the exponential curve, 0..1 (default 0.97; lower values give harder "
        "edges)");
    sharpness->check(Range(0, 1));
    CLI::Option* height =
        app.add_option("--height", o->height, "bump: factor applied to the noise (default 1.5)");
    height->check(Range());
    CLI::Option* ridge = app.add_flag("--ridge", o->ridge, "bump: ridged variant");
    return [o, cover, sharpness, height, ridge] {
        bool cloud = o->kind == "cloud";
        if (cloud && (height->count() || ridge->count())) {
            throw UsageError("--height and --ridge apply to bump textures");
        }
        if (!cloud && (cover->count() || sharpness->count())) {
            throw UsageError("--cover and --sharpness apply to cloud textures");
        }
        return Run(*o);
    };
}

}  // namespace

const Command kNoiseCommand = {"noise", "cloud or bump texture as a greyscale PGM", Setup};

}  // namespace cli
