// "photogeo decode": decodes a JPEG image (photogeo::DecodeJpeg) into a 24-bit BMP or, when the
// output name ends in .png, a PNG (libpng), optionally turned upright by its EXIF orientation;
// or with --info reports the image properties that CJpegDecoder's analysis finds.
#include <png.h>
#include <photogeo/ExifEdit.h>
#include <photogeo/JpegDecoder.h>
#include <photogeo/JpegImage.h>

#include <cctype>
#include <cerrno>
#include <csetjmp>
#include <cstdint>
#include <climits>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "cli.h"
#include "text_out.h"
#include "commands.h"
#include "image_files.h"

namespace cli {

namespace {

const char kUsage[] =
    "Usage: photogeo decode [--strict] [--max-megapixels N] [--orient] IN.jpg OUT.bmp|OUT.png\n"
    "       photogeo decode --info [--quant] [--json] IN.jpg...\n";
const char kIntro[] =
    "Decodes a JPEG image with 8-bit samples and one or three components (baseline,\n"
    "extended sequential or progressive) into a 24-bit BMP, or a PNG when OUT ends in .png,\n"
    "or with --info prints what the image's headers say without decoding it. A damaged or\n"
    "truncated image is written as far as it could be read, with a warning.\n";
const char kFooter[] =
    "Not decoded: arithmetic-coded, lossless, hierarchical, 12-bit and CMYK JPEG.\n"
    "Example: photogeo decode --orient samples/lake-progressive.jpg lake.png\n";

constexpr int kSchemaVersion = 1;  // docs/json-schema.json
constexpr double kDefaultMegapixels = 250;
constexpr uint16_t kTagOrientation = 0x0112;

// The whole image; "-" reads standard input.
bool Load(const std::string& file, std::vector<char>& data) {
    std::vector<unsigned char> bytes;
    if (!ReadWholeFile(file == "-" ? "/dev/stdin" : file, bytes)) {
        ReportFileError(file, "cannot read: " + ErrnoText(errno));
        return false;
    }
    if (bytes.size() > static_cast<std::size_t>(INT_MAX)) {
        ReportFileError(file, "too large (more than 2 GiB)");
        return false;
    }
    data.assign(bytes.begin(), bytes.end());
    return true;
}

std::string AnalysisFailure(int rc) {
    return rc == -1 ? "out of memory while reading the headers"
                    : "not a JPEG image the decoder reads (damaged, or arithmetic-coded, "
                      "lossless or hierarchical)";
}

const char* FrameKind(int type) {
    return type == 0xC0 ? "baseline" : type == 0xC1 ? "extended" : type == 0xC2 ? "progressive"
                                                                                : nullptr;
}

const char* FrameName(int type) {
    return type == 0xC0   ? "baseline (SOF0)"
           : type == 0xC1 ? "extended sequential (SOF1)"
           : type == 0xC2 ? "progressive (SOF2)"
                          : "none found";
}

void PrintJson(const std::string& file, const SJpegProperty& prop, const int* tables) {
    const Json null = nullptr;
    Json j;
    j["schema_version"] = kSchemaVersion;
    j["command"] = "decode";
    j["file"] = file;
    const char* kind = FrameKind(prop.m_nFrameType);
    j["frame"] = kind ? Json(kind) : null;
    j["sof"] = kind ? Json(prop.m_nFrameType) : null;
    j["width"] = prop.m_nWidth;
    j["height"] = prop.m_nHeight;
    j["components"] = prop.m_nComponents;
    j["precision"] = prop.m_nPrecision;
    if (prop.m_nJfifType == 1) {
        static const char* const kUnits[] = {"none", "dpi", "dpcm"};
        char version[16];
        std::snprintf(version, sizeof version, "%d.%02d", prop.m_byVersion[0], prop.m_byVersion[1]);
        Json jfif;
        jfif["version"] = version;
        jfif["units"] = kUnits[prop.m_nUnits >= 0 && prop.m_nUnits <= 2 ? prop.m_nUnits : 0];
        jfif["x_density"] = prop.m_nXDensity[0];
        jfif["y_density"] = prop.m_nYDensity[0];
        jfif["thumbnail_width"] = prop.m_nThumbWidth;
        jfif["thumbnail_height"] = prop.m_nThumbHeight;
        j["jfif"] = jfif;
    } else {
        j["jfif"] = null;
    }
    j["jfxx_code"] = prop.m_nJfifType == 2 ? Json(prop.m_nJfxxCode) : null;
    j["comment"] = prop.m_pComment ? Json(SjisToUtf8(prop.m_pComment)) : null;
    if (tables) {
        Json list = Json::array();
        for (int t = 0; t < 2; ++t) list.push_back(std::vector<int>(tables + 64 * t, tables + 64 * t + 64));
        j["quantisation_tables"] = list;
    } else {
        j["quantisation_tables"] = null;
    }
    PrintJsonLine(j);
}

int PrintInfo(const std::string& file, bool quant, bool json, bool strict) {
    std::vector<char> data;
    if (!Load(file, data)) return kExitFileFailed;
    CJpegDecoder decoder;
    decoder.SetFullDecoding(!strict);
    SJpegProperty prop{};
    if (!decoder.GetProperty(data.data(), static_cast<int>(data.size()), prop, quant ? 1 : 0)) {
        ReportFileError(file, AnalysisFailure(-2));
        return kExitFileFailed;
    }
    std::unique_ptr<int[]> tables(prop.m_pQuantCopy);
    if (json) {
        PrintJson(file, prop, tables.get());
        return kExitOk;
    }
    std::printf("%s\n", file.c_str());
    std::printf("  frame        %s\n", FrameName(prop.m_nFrameType));
    std::printf("  size         %d x %d\n", prop.m_nWidth, prop.m_nHeight);
    std::printf("  components   %d\n", prop.m_nComponents);
    std::printf("  precision    %d bits\n", prop.m_nPrecision);
    if (prop.m_nJfifType == 1) {
        static const char* const kUnits[] = {"(aspect ratio)", "dots per inch", "dots per cm"};
        const char* units = prop.m_nUnits >= 0 && prop.m_nUnits <= 2 ? kUnits[prop.m_nUnits] : "";
        std::printf("  JFIF         %d.%02d, density %d x %d %s, thumbnail %d x %d\n",
                    prop.m_byVersion[0], prop.m_byVersion[1], prop.m_nXDensity[0],
                    prop.m_nYDensity[0], units, prop.m_nThumbWidth, prop.m_nThumbHeight);
    } else if (prop.m_nJfifType == 2) {
        std::printf("  JFXX         extension code 0x%02X\n", prop.m_nJfxxCode);
    }
    if (prop.m_pComment) {
        std::printf("  comment      %s\n", TerminalText(SjisToUtf8(prop.m_pComment)).c_str());
    }
    if (tables) {
        for (int t = 0; t < 2; ++t) {
            std::printf("  quantisation table of component %d\n", t + 1);
            for (int row = 0; row < 8; ++row) {
                std::printf("   ");
                for (int col = 0; col < 8; ++col)
                    std::printf(" %3d", tables[t * 64 + row * 8 + col]);
                std::printf("\n");
            }
        }
    }
    return kExitOk;
}

// The EXIF orientation (1-8) of a JPEG file; 1 when absent or out of range.
int Orientation(const std::vector<char>& data) {
    auto tags = photogeo::ExifTags::FromJpeg(reinterpret_cast<const unsigned char*>(data.data()),
                                             data.size());
    if (!tags) return 1;
    auto value = tags.value().Find(photogeo::ExifDirectory::kPrimary, kTagOrientation);
    const uint16_t kShort = 3;
    if (!value || value->type != kShort || value->count < 1 || value->bytes.size() < 2) return 1;
    const unsigned char* b = value->bytes.data();
    int o = value->bigEndian ? (b[0] << 8 | b[1]) : (b[1] << 8 | b[0]);
    return o >= 1 && o <= 8 ? o : 1;
}

// The image turned upright for EXIF orientation 2-8 (mirrored and/or turned by quarter turns).
photogeo::RgbImage Upright(const photogeo::RgbImage& in, int orientation) {
    const int w = in.width, h = in.height;
    const bool swap = orientation >= 5;
    photogeo::RgbImage out;
    out.width = swap ? h : w;
    out.height = swap ? w : h;
    out.pixels.resize(in.pixels.size());
    for (int y = 0; y < out.height; ++y)
        for (int x = 0; x < out.width; ++x) {
            int sx = x, sy = y;
            switch (orientation) {
                case 2: sx = w - 1 - x; break;
                case 3: sx = w - 1 - x; sy = h - 1 - y; break;
                case 4: sy = h - 1 - y; break;
                case 5: sx = y; sy = x; break;
                case 6: sx = y; sy = h - 1 - x; break;
                case 7: sx = w - 1 - y; sy = h - 1 - x; break;
                case 8: sx = w - 1 - y; sy = x; break;
                default: break;
            }
            const std::uint8_t* src = &in.pixels[3 * (static_cast<std::size_t>(sy) * w + sx)];
            std::uint8_t* dst = &out.pixels[3 * (static_cast<std::size_t>(y) * out.width + x)];
            dst[0] = src[0];
            dst[1] = src[1];
            dst[2] = src[2];
        }
    return out;
}

bool EndsWithPng(const std::string& path) {
    if (path.size() < 4) return false;
    std::string tail = path.substr(path.size() - 4);
    for (char& c : tail) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return tail == ".png";
}

void AppendPng(png_structp png, png_bytep data, png_size_t size) {
    auto* out = static_cast<std::vector<unsigned char>*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + size);
}

// 8-bit RGB PNG of the image, written through WriteOutput (all or nothing).
photogeo::Result<void> WritePng(const std::string& path, const photogeo::RgbImage& image) {
    std::vector<unsigned char> bytes;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!png || !info) {
        png_destroy_write_struct(&png, &info);
        return photogeo::Error{"write " + path + ": out of memory for the PNG encoder", ENOMEM};
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return photogeo::Error{"write " + path + ": PNG encoding failed", EINVAL};
    }
    png_set_write_fn(png, &bytes, AppendPng, nullptr);
    png_set_IHDR(png, info, static_cast<png_uint_32>(image.width),
                 static_cast<png_uint_32>(image.height), 8, PNG_COLOR_TYPE_RGB,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < image.height; ++y)
        png_write_row(png, const_cast<png_bytep>(image.pixels.data() +
                                                 3 * static_cast<std::size_t>(image.width) * y));
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return WriteOutput(path, {{bytes.data(), bytes.size()}});
}

// The BMP form: rows bottom-up, blue, green, red, each padded to four bytes.
photogeo::Result<void> WriteBmp(const std::string& path, const photogeo::RgbImage& image) {
    const std::size_t stride = BmpStride(image.width);
    std::vector<unsigned char> rows(stride * static_cast<std::size_t>(image.height), 0);
    for (int y = 0; y < image.height; ++y) {
        const std::uint8_t* src = &image.pixels[3 * static_cast<std::size_t>(image.width) * y];
        unsigned char* dst = &rows[stride * static_cast<std::size_t>(image.height - 1 - y)];
        for (int x = 0; x < image.width; ++x) {
            dst[3 * x + 0] = src[3 * x + 2];
            dst[3 * x + 1] = src[3 * x + 1];
            dst[3 * x + 2] = src[3 * x + 0];
        }
    }
    return WriteBmp24(path, image.width, image.height, rows.data());
}

struct Options {
    bool info = false;
    bool quant = false;
    bool json = false;
    bool strict = false;
    bool orient = false;
    double megapixels = kDefaultMegapixels;
    std::vector<std::string> files;
};

int Decode(const Options& o, const std::string& in, const std::string& out) {
    std::vector<char> data;
    if (!Load(in, data)) return kExitFileFailed;
    photogeo::JpegDecodeOptions options;
    options.strict = o.strict;
    options.maxPixels = static_cast<std::uint64_t>(o.megapixels * 1e6);
    auto decoded = photogeo::DecodeJpeg(reinterpret_cast<const std::uint8_t*>(data.data()),
                                        data.size(), options);
    if (!decoded) {
        ReportFileError(in, decoded.error().message);
        return kExitFileFailed;
    }
    photogeo::RgbImage image = std::move(decoded).value();
    if (image.partial) ReportFileError(in, "warning: only part of the image decoded: " + image.warning);
    if (o.orient) {
        int orientation = Orientation(data);
        if (orientation != 1) image = Upright(image, orientation);
    }
    return WriteStatus(EndsWithPng(out) ? WritePng(out, image) : WriteBmp(out, image));
}

int Run(const Options& o) {
    if (o.info) {
        int status = kExitOk;
        for (const std::string& file : o.files) {
            if (PrintInfo(file, o.quant, o.json, o.strict) != kExitOk) status = kExitFileFailed;
        }
        return status;
    }
    if (o.files.size() != 2) throw UsageError("needs IN.jpg and OUT.bmp (or OUT.png)");
    return Decode(o, o.files[0], o.files[1]);
}

std::function<int()> Setup(CLI::App& app) {
    SetHelp(app, kUsage, kIntro, kFooter);
    auto o = std::make_shared<Options>();
    app.add_option("FILE", o->files, "IN.jpg (- for standard input) and OUT.bmp (a new or regular file, - for standard output), or with --info the images")->required();
    CLI::Option* info = app.add_flag(
        "--info", o->info, "frame type, size, components, precision, JFIF data and comment");
    app.add_flag("--quant", o->quant,
                 "with --info, also the quantisation tables of the first two components")
        ->needs(info);
    app.add_flag("--json", o->json, "with --info, one JSON object per image (docs/json-schema.json)")
        ->needs(info);
    app.add_flag("--strict", o->strict,
                 "only the baseline and spectral-selection progressive images CJpegDecoder "
                 "reads by default");
    app.add_option("--max-megapixels", o->megapixels,
                   "refuse images larger than this (default 250)")
        ->check(Range(0.000001, 1e7));
    app.add_flag("--orient", o->orient, "turn the picture upright by its EXIF orientation");
    return [o] { return Run(*o); };
}

}  // namespace

const Command kDecodeCommand = {
    "decode", "decode a JPEG image to a BMP or PNG, or show its headers", Setup};

}  // namespace cli
