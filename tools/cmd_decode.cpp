// "photogeo decode": decodes a JPEG image with the library's CJpegDecoder into a 24-bit BMP,
// or with --info reports the image properties that the decoder's analysis finds.
#include <photogeo/JpegDecoder.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "cli.h"
#include "commands.h"
#include "image_files.h"

namespace cli {

namespace {

const char kUsage[] =
    "Usage: photogeo decode IN.jpg OUT.bmp\n"
    "       photogeo decode --info [--quant] IN.jpg...\n";
const char kIntro[] =
    "Decodes a baseline or progressive (spectral selection) JPEG image with 8-bit samples\n"
    "and one or three components into a 24-bit BMP, or with --info prints what the\n"
    "image's headers say without decoding it.\n";
const char kFooter[] =
    "Not decoded: arithmetic-coded, lossless and hierarchical JPEG, and progressive images\n"
    "that refine coefficients bit by bit (successive approximation).\n"
    "Example: photogeo decode samples/lake-progressive.jpg lake.bmp\n";

// A decoded picture is three bytes a pixel: this keeps the bitmap below 1 GiB.
const long long kMaxPixels = 1LL << 28;

bool Load(const std::string& file, std::vector<char>& data) {
    std::vector<unsigned char> bytes;
    if (!ReadWholeFile(file, bytes)) {
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

const char* FrameName(int type) {
    return type == 0xC0 ? "baseline (SOF0)" : type == 0xC2 ? "progressive (SOF2)" : "none found";
}

int PrintInfo(const std::string& file, bool quant) {
    std::vector<char> data;
    if (!Load(file, data)) return kExitFileFailed;
    CJpegDecoder decoder;
    SJpegProperty prop{};
    if (!decoder.GetProperty(data.data(), static_cast<int>(data.size()), prop, quant ? 1 : 0)) {
        ReportFileError(file, AnalysisFailure(-2));
        return kExitFileFailed;
    }
    std::unique_ptr<int[]> tables(prop.m_pQuantCopy);
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
    if (prop.m_pComment) std::printf("  comment      %s\n", SjisToUtf8(prop.m_pComment).c_str());
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

int Decode(const std::string& in, const std::string& out) {
    std::vector<char> data;
    if (!Load(in, data)) return kExitFileFailed;
    CJpegDecoder decoder;
    int rc = decoder.SetJpegData(data.data(), static_cast<int>(data.size()));
    if (rc != 0) {
        ReportFileError(in, AnalysisFailure(rc));
        return kExitFileFailed;
    }
    int width = 0, height = 0;
    decoder.GetPictData(width, height);
    if (width <= 0 || height <= 0) {
        ReportFileError(in, "the image has no size (no frame header before the scan)");
        return kExitFileFailed;
    }
    if (static_cast<long long>(width) * height > kMaxPixels) {
        ReportFileError(in, "too many pixels to decode (" + std::to_string(width) + " x " +
                                std::to_string(height) + ")");
        return kExitFileFailed;
    }
    std::vector<char> rows(BmpStride(width) * static_cast<std::size_t>(height), 0);
    rc = decoder.DoDecode(rows.data());
    if (rc != 0) {
        ReportFileError(in, rc == -1 ? "out of memory or damaged data while decoding"
                                     : "cannot decode: damaged or of an unsupported kind");
        return kExitFileFailed;
    }
    photogeo::Result<void> written =
        WriteBmp24(out, width, height, reinterpret_cast<const unsigned char*>(rows.data()));
    if (!written) {
        ReportError(written.error().message);
        return kExitFileFailed;
    }
    return kExitOk;
}

struct Options {
    bool info = false;
    bool quant = false;
    std::vector<std::string> files;
};

int Run(const Options& o) {
    if (o.info) {
        int status = kExitOk;
        for (const std::string& file : o.files) {
            if (PrintInfo(file, o.quant) != kExitOk) status = kExitFileFailed;
        }
        return status;
    }
    if (o.files.size() != 2) throw UsageError("needs IN.jpg and OUT.bmp");
    return Decode(o.files[0], o.files[1]);
}

std::function<int()> Setup(CLI::App& app) {
    SetHelp(app, kUsage, kIntro, kFooter);
    auto o = std::make_shared<Options>();
    app.add_option("FILE", o->files, "IN.jpg and OUT.bmp (a new or regular file, - for standard output), or with --info the images")->required();
    CLI::Option* info = app.add_flag(
        "--info", o->info, "frame type, size, components, precision, JFIF data and comment");
    app.add_flag("--quant", o->quant,
                 "with --info, also the quantisation tables of the first two components")
        ->needs(info);
    return [o] { return Run(*o); };
}

}  // namespace

const Command kDecodeCommand = {
    "decode", "decode a JPEG image to a 24-bit BMP, or show its headers", Setup};

}  // namespace cli
