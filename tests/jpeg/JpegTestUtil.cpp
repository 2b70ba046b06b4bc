// Test helpers of the JPEG decoder tests (see JpegTestUtil.h).
#include "JpegTestUtil.h"

#include <cmath>
#include <csetjmp>
#include <random>

namespace jpegtest {
namespace {

// The picture, RGB (or grey, or CMYK) interleaved top-down.
std::vector<unsigned char> MakePicture(const SEncodeOptions& o) {
    std::mt19937 rng(1);
    std::uniform_int_distribution<int> noise(-12, 12);
    std::vector<unsigned char> px(static_cast<size_t>(o.width) * o.height * o.components);
    for (int y = 0; y < o.height; ++y)
        for (int x = 0; x < o.width; ++x) {
            double fx = o.width > 1 ? double(x) / (o.width - 1) : 0.0;
            double fy = o.height > 1 ? double(y) / (o.height - 1) : 0.0;
            double wave = 40.0 * std::sin(fx * 9.0 + fy * 4.0);
            bool edge = x * 3 > o.width + y;
            for (int c = 0; c < o.components; ++c) {
                const double base = 60 + 120 * (c == 0 ? fx : (c == 1 ? fy : 1.0 - fx)) + wave;
                // The black band draws no noise.
                const double v =
                    o.blackBand && x < 16 ? 0.0 : base + (edge ? 30 : -20) + noise(rng);
                px[(static_cast<size_t>(y) * o.width + x) * o.components + c] =
                    static_cast<unsigned char>(v < 0 ? 0 : (v > 255 ? 255 : v));
            }
        }
    return px;
}

}  // namespace

std::vector<unsigned char> Encode(const SEncodeOptions& o) {
    const std::vector<unsigned char> px = MakePicture(o);
    return testsupport::CompressJpeg(
        px.data(), o.width, o.height, o.components, [&](jpeg_compress_struct& cinfo) {
            jpeg_set_quality(&cinfo, o.quality, o.baselineTables ? TRUE : FALSE);
            cinfo.dct_method = JDCT_ISLOW;
            cinfo.optimize_coding = o.optimize ? TRUE : FALSE;
            cinfo.arith_code = o.arithmetic ? TRUE : FALSE;
            cinfo.restart_interval = static_cast<unsigned>(o.restartMcus);
            if (o.components == 3) {
                cinfo.comp_info[0].h_samp_factor = o.h0;
                cinfo.comp_info[0].v_samp_factor = o.v0;
                for (int c = 1; c < 3; ++c) {
                    cinfo.comp_info[c].h_samp_factor = o.h1;
                    cinfo.comp_info[c].v_samp_factor = o.v1;
                }
            }
            if (o.simpleProgression) jpeg_simple_progression(&cinfo);
            if (!o.scans.empty()) {
                cinfo.scan_info = o.scans.data();
                cinfo.num_scans = static_cast<int>(o.scans.size());
            }
        });
}

std::vector<jpeg_scan_info> SpectralScript(int components, std::initializer_list<int> bands) {
    std::vector<jpeg_scan_info> scans(1);
    scans[0].comps_in_scan = components;
    for (int c = 0; c < components; ++c) scans[0].component_index[c] = c;
    int ss = 1;
    for (int se : bands) {
        for (int c = 0; c < components; ++c) scans.push_back(jpeg_scan_info{1, {c}, ss, se, 0, 0});
        ss = se + 1;
    }
    return scans;
}

namespace {

int Wrap(int64_t v) {
    return static_cast<int>(static_cast<uint32_t>(static_cast<uint64_t>(v)));
}

// What libjpeg-turbo read of a file: per component its sampling and its samples (blocks through
// PlainTransform), plane row by plane row.
struct SPlanes {
    int components = 0, hmax = 1, vmax = 1;
    int h[3] = {}, v[3] = {}, width[3] = {};
    std::vector<int> samples[3];
};

// libjpeg-turbo reading a file in memory: an error jumps back to `back` (set it with setjmp
// before the first read), a warning is only counted.
struct SReader {
    SReader(const unsigned char* jpeg, size_t size) {
        cinfo.err = jpeg_std_error(&jerr);
        jerr.error_exit = [](j_common_ptr c) {
            std::longjmp(static_cast<SReader*>(c->client_data)->back, 1);
        };
        jerr.output_message = [](j_common_ptr) {};
        jpeg_create_decompress(&cinfo);
        cinfo.client_data = this;
        jpeg_mem_src(&cinfo, jpeg, static_cast<unsigned long>(size));
    }
    ~SReader() { jpeg_destroy_decompress(&cinfo); }
    jpeg_decompress_struct cinfo;
    jpeg_error_mgr jerr;
    std::jmp_buf back;
};

// False when libjpeg-turbo fails, warns or reads something other than 8-bit grey or YCbCr.
bool ReadPlanes(const unsigned char* jpeg, size_t size, const int (*basis)[64], SPlanes& p,
                int& width, int& height) {
    int natural[64];  // zig-zag index -> natural index
    for (int s = 0, z = 0; s < 15; ++s)
        for (int i = 0; i <= s; ++i) {
            const int row = s % 2 ? i : s - i;
            if (row < 8 && s - row < 8) natural[z++] = 8 * row + s - row;
        }
    SReader r(jpeg, size);
    if (setjmp(r.back)) return false;
    jpeg_read_header(&r.cinfo, TRUE);
    jvirt_barray_ptr* arrays = jpeg_read_coefficients(&r.cinfo);
    bool ok = r.jerr.num_warnings == 0 && r.cinfo.data_precision == 8 &&
              (r.cinfo.num_components == 1 || r.cinfo.num_components == 3);
    width = static_cast<int>(r.cinfo.image_width);
    height = static_cast<int>(r.cinfo.image_height);
    p.components = r.cinfo.num_components;
    p.hmax = r.cinfo.max_h_samp_factor;
    p.vmax = r.cinfo.max_v_samp_factor;
    for (int c = 0; ok && c < p.components; ++c) {
        const jpeg_component_info& ci = r.cinfo.comp_info[c];
        p.h[c] = ci.h_samp_factor;
        p.v[c] = ci.v_samp_factor;
        p.width[c] = 8 * static_cast<int>(ci.width_in_blocks);
        p.samples[c].resize(static_cast<size_t>(p.width[c]) * 8 * ci.height_in_blocks);
        for (JDIMENSION by = 0; by < ci.height_in_blocks; ++by) {
            JBLOCKARRAY row = r.cinfo.mem->access_virt_barray(
                reinterpret_cast<j_common_ptr>(&r.cinfo), arrays[c], by, 1, FALSE);
            for (JDIMENSION bx = 0; bx < ci.width_in_blocks; ++bx) {
                int zz[64] = {}, out[64];
                for (int z = 0; z < 64 && ci.quant_table; ++z)
                    zz[z] = ci.quant_table->quantval[natural[z]] * row[0][bx][natural[z]];
                PlainTransform(basis, zz, 128, out);
                for (int j = 0; j < 64; ++j)
                    p.samples[c][(8 * by + j / 8) * p.width[c] + 8 * bx + j % 8] = out[j];
            }
        }
    }
    return ok;
}

}  // namespace

std::vector<unsigned char> OracleDecode(const std::vector<unsigned char>& jpeg, int& width,
                                        int& height) {
    SReader r(jpeg.data(), jpeg.size());
    if (setjmp(r.back)) return {};
    jpeg_read_header(&r.cinfo, TRUE);
    r.cinfo.out_color_space = JCS_EXT_BGR;
    r.cinfo.dct_method = JDCT_ISLOW;
    r.cinfo.do_fancy_upsampling = FALSE;
    jpeg_start_decompress(&r.cinfo);
    width = static_cast<int>(r.cinfo.output_width);
    height = static_cast<int>(r.cinfo.output_height);
    std::vector<unsigned char> bgr(static_cast<size_t>(Stride(width)) * height, 0);
    while (r.cinfo.output_scanline < r.cinfo.output_height) {
        JSAMPROW row =
            &bgr[static_cast<size_t>(height - 1 - r.cinfo.output_scanline) * Stride(width)];
        jpeg_read_scanlines(&r.cinfo, &row, 1);
    }
    jpeg_finish_decompress(&r.cinfo);
    return bgr;
}

std::vector<unsigned char> CoefficientDecode(const unsigned char* jpeg, size_t size,
                                             const int (*basis)[64], int& width, int& height) {
    SPlanes p;
    if (!ReadPlanes(jpeg, size, basis, p, width, height)) return {};
    const int stride = Stride(width);
    std::vector<unsigned char> bgr(static_cast<size_t>(stride) * height, kUntouched);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            int sample[3] = {0, 128, 128};
            for (int c = 0; c < p.components; ++c)
                sample[c] = p.samples[c][static_cast<size_t>(y / (p.vmax / p.v[c])) * p.width[c] +
                                         x / (p.hmax / p.h[c])];
            PlainColour(sample[0], sample[1], sample[2],
                        &bgr[static_cast<size_t>(height - 1 - y) * stride + 3 * x]);
        }
    return bgr;
}

void PlainTransform(const int (*basis)[64], const int* coefZigzag, int shift, int* out) {
    int sum[64] = {};
    for (int k = 0; k < 64; ++k) {
        if (coefZigzag[k] == 0) continue;
        for (int j = 0; j < 64; ++j)
            sum[j] = Wrap(int64_t{sum[j]} + Wrap(int64_t{coefZigzag[k]} * basis[k][j]));
    }
    for (int j = 0; j < 64; ++j) out[j] = (sum[j] / 4) / 256 + shift;
}

void PlainColour(int y, int cb, int cr, unsigned char* bgr) {
    int b = y + Wrap(int64_t{17718} * (cb - 128)) / 10000;
    int g = y - Wrap(int64_t{7139} * cr + int64_t{3441} * cb - 1354240) / 10000;
    int r = y + Wrap(int64_t{14020} * (cr - 128)) / 10000;
    auto clamp = [](int v) { return static_cast<unsigned char>(v < 0 ? 0 : (v > 255 ? 255 : v)); };
    bgr[0] = clamp(b);
    bgr[1] = clamp(g);
    bgr[2] = clamp(r);
}

int PlainHuffman(CInBitStream& stream, const SJpegHuffman& table) {
    int code = 0, e = 0;
    if (table.nCount == 0) throw EDataFormatError(nullptr, "length over");
    for (int l = 1; l <= 16; ++l) {
        int b = stream.GetBits(1);
        if (b < 0) return b;
        code = 2 * code + b;
        while (e < table.nCount && table.pSize[e] == l) {
            if (table.pCode[e] == code) return table.pValue[e];
            ++e;
        }
        if (e == table.nCount) break;
    }
    throw EDataFormatError(nullptr, "length over");
}

SDecodeResult OurDecode(const std::vector<unsigned char>& jpeg, bool full, CJpegDecoder* decoder,
                        int64_t maxPixels) {
    SDecodeResult r;
    std::vector<char> data(jpeg.begin(), jpeg.end());
    CJpegDecoder own;
    CJpegDecoder& d = decoder ? *decoder : own;
    d.SetFullDecoding(full);
    r.analysis = d.SetJpegData(data.data(), static_cast<int>(data.size()));
    d.GetPictData(r.width, r.height);
    if (r.width < 0 || r.height < 0 || int64_t{r.width} * r.height > maxPixels) {
        r.decode = 1;
        return r;
    }
    int stride = Stride(r.width);
    r.bitmap.assign(static_cast<size_t>(stride) * r.height, kUntouched);
    r.decode = d.DoDecode(reinterpret_cast<char*>(r.bitmap.data()));
    for (int y = 0; y < r.height; ++y)
        for (int x = 3 * r.width; x < stride; ++x)
            if (r.bitmap[static_cast<size_t>(y) * stride + x] != kUntouched)
                r.paddingIntact = false;
    return r;
}

long FindMarker(const std::vector<unsigned char>& jpeg, int code, size_t from) {
    for (size_t i = from; i + 1 < jpeg.size(); ++i)
        if (jpeg[i] == 0xFF && jpeg[i + 1] == code) return static_cast<long>(i);
    return -1;
}

std::vector<unsigned char> WithSize(std::vector<unsigned char> jpeg, int width, int height) {
    long sof = FindMarker(jpeg, 0xC0);
    if (sof < 0) sof = FindMarker(jpeg, 0xC2);
    const int size[4] = {height >> 8, height & 0xFF, width >> 8, width & 0xFF};
    for (int i = 0; i < 4; ++i)
        jpeg.at(static_cast<size_t>(sof) + 5 + i) = static_cast<unsigned char>(size[i]);
    return jpeg;
}

double Psnr(const std::vector<unsigned char>& a, const std::vector<unsigned char>& b, int width,
            int height) {
    int stride = Stride(width);
    double sum = 0;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < 3 * width; ++x) {
            double d = double(a[static_cast<size_t>(y) * stride + x]) -
                       double(b[static_cast<size_t>(y) * stride + x]);
            sum += d * d;
        }
    double mse = sum / (3.0 * width * height);
    return mse == 0 ? 99.0 : 10.0 * std::log10(255.0 * 255.0 / mse);
}

void CJpegWriter::Bytes(std::initializer_list<int> bytes) {
    for (int b : bytes) data.push_back(static_cast<unsigned char>(b));
}

void CJpegWriter::Segment(int marker, const std::vector<int>& body) {
    const int length = static_cast<int>(body.size()) + 2;
    Bytes({0xFF, marker, length >> 8, length & 0xFF});
    for (int b : body) data.push_back(static_cast<unsigned char>(b));
}

void CJpegWriter::GreyFrame(int sof, int width, int height, int q0,
                            const std::vector<int>& dcCounts, const std::vector<int>& dc,
                            const std::vector<int>& acCounts, const std::vector<int>& ac) {
    Bytes({0xFF, 0xD8});
    std::vector<int> dqt(65, 1);
    dqt[0] = 0x00;
    dqt[1] = q0;
    Segment(0xDB, dqt);
    Segment(sof, {8, height >> 8, height & 0xFF, width >> 8, width & 0xFF, 1, 1, 0x11, 0});
    auto table = [this](int tcth, std::vector<int> counts, const std::vector<int>& values) {
        counts.resize(16, 0);
        counts.insert(counts.begin(), tcth);
        counts.insert(counts.end(), values.begin(), values.end());
        Segment(0xC4, counts);
    };
    table(0x00, dcCounts, dc);
    table(0x10, acCounts, ac);
}

void CJpegWriter::Bits(uint32_t value, int n) {
    for (int i = n - 1; i >= 0; --i) {
        m_acc = (m_acc << 1) | ((value >> i) & 1u);
        if (++m_nBits == 8) {
            data.push_back(static_cast<unsigned char>(m_acc));
            if (m_acc == 0xFF) data.push_back(0);
            m_acc = 0;
            m_nBits = 0;
        }
    }
}

void CJpegWriter::FlushBits() {
    while (m_nBits != 0) Bits(1, 1);
}

}  // namespace jpegtest
