// Test helpers of the JPEG decoder tests (see JpegTestUtil.h).
#include "JpegTestUtil.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <random>
#include <stdexcept>

#include "PlainDecoder.h"
#include "photogeo/JpegDecoder.h"
#include "support/JpegEncode.h"

namespace jpegtest {

std::vector<unsigned char> MakePicture(const SEncodeOptions& o) {
    std::mt19937 rng(o.seed);
    std::uniform_int_distribution<int> noise(-12, 12);
    std::vector<unsigned char> px(static_cast<size_t>(o.width) * o.height * o.components);
    for (int y = 0; y < o.height; ++y)
        for (int x = 0; x < o.width; ++x) {
            double fx = o.width > 1 ? double(x) / (o.width - 1) : 0.0;
            double fy = o.height > 1 ? double(y) / (o.height - 1) : 0.0;
            double wave = 40.0 * std::sin(fx * 9.0 + fy * 4.0);
            bool edge = x * 3 > o.width + y;
            for (int c = 0; c < o.components; ++c) {
                if (o.blackBand && x < 16) {
                    px[(static_cast<size_t>(y) * o.width + x) * o.components + c] = 0;
                    continue;
                }
                double v = 60 + 120 * (c == 0 ? fx : (c == 1 ? fy : 1.0 - fx)) + wave +
                           (edge ? 30 : -20) + noise(rng);
                px[(static_cast<size_t>(y) * o.width + x) * o.components + c] =
                    static_cast<unsigned char>(v < 0 ? 0 : (v > 255 ? 255 : v));
            }
        }
    return px;
}

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
            }
            if (o.components == 1 || o.components == 3) {
                for (int c = 0; c < o.components; ++c) {
                    cinfo.comp_info[c].dc_tbl_no = o.dcTable[c];
                    cinfo.comp_info[c].ac_tbl_no = o.acTable[c];
                    cinfo.comp_info[c].quant_tbl_no = o.quantTable[c];
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
        for (int c = 0; c < components; ++c) {
            jpeg_scan_info ac{};
            ac.comps_in_scan = 1;
            ac.component_index[0] = c;
            ac.Ss = ss;
            ac.Se = se;
            scans.push_back(ac);
        }
        ss = se + 1;
    }
    return scans;
}

std::vector<unsigned char> OracleDecode(const std::vector<unsigned char>& jpeg, int& width,
                                        int& height) {
    jpeg_decompress_struct cinfo;
    jpeg_error_mgr jerr;
    cinfo.err = jpeg_std_error(&jerr);
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, jpeg.data(), static_cast<unsigned long>(jpeg.size()));
    jpeg_read_header(&cinfo, TRUE);
    bool grey = cinfo.num_components == 1;
    cinfo.out_color_space = grey ? JCS_GRAYSCALE : JCS_RGB;
    cinfo.dct_method = JDCT_ISLOW;
    cinfo.do_fancy_upsampling = FALSE;
    jpeg_start_decompress(&cinfo);
    width = static_cast<int>(cinfo.output_width);
    height = static_cast<int>(cinfo.output_height);
    int stride = Stride(width);
    std::vector<unsigned char> bgr(static_cast<size_t>(stride) * height, 0);
    std::vector<unsigned char> row(static_cast<size_t>(width) * cinfo.output_components);
    while (cinfo.output_scanline < cinfo.output_height) {
        int y = static_cast<int>(cinfo.output_scanline);
        JSAMPROW r = row.data();
        jpeg_read_scanlines(&cinfo, &r, 1);
        unsigned char* d = bgr.data() + static_cast<size_t>(height - 1 - y) * stride;
        for (int x = 0; x < width; ++x) {
            if (grey) {
                d[3 * x] = d[3 * x + 1] = d[3 * x + 2] = row[x];
            } else {
                d[3 * x] = row[3 * x + 2];
                d[3 * x + 1] = row[3 * x + 1];
                d[3 * x + 2] = row[3 * x];
            }
        }
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    return bgr;
}

static SDecodeResult Run(const std::vector<unsigned char>& jpeg, int* pContinue, bool plain,
                         bool full) {
    SDecodeResult r;
    std::vector<char> data(jpeg.begin(), jpeg.end());
    CJpegDecoder decoder(pContinue);
    decoder.SetFullDecoding(full);
    r.analysis = decoder.SetJpegData(data.data(), static_cast<int>(data.size()));
    decoder.GetPictData(r.width, r.height);
    if (r.width < 0 || r.height < 0 || int64_t{r.width} * r.height > (int64_t{1} << 24)) {
        r.decode = 1;
        return r;
    }
    int stride = Stride(r.width);
    r.bitmap.assign(static_cast<size_t>(stride) * r.height, kUntouched);
    r.decode = plain ? PlainDecode(decoder, r.bitmap.data(), full)
                     : decoder.DoDecode(reinterpret_cast<char*>(r.bitmap.data()));
    for (int y = 0; y < r.height; ++y)
        for (int x = 3 * r.width; x < stride; ++x)
            if (r.bitmap[static_cast<size_t>(y) * stride + x] != kUntouched)
                r.paddingIntact = false;
    return r;
}

SDecodeResult OurDecode(const std::vector<unsigned char>& jpeg, int* pContinue, bool full) {
    return Run(jpeg, pContinue, false, full);
}

SDecodeResult PlainDecodeBytes(const std::vector<unsigned char>& jpeg, bool full) {
    return Run(jpeg, nullptr, true, full);
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

void CJpegWriter::Word(int w) {
    Bytes({(w >> 8) & 0xFF, w & 0xFF});
}

void CJpegWriter::Segment(int marker, const std::vector<int>& body) {
    Bytes({0xFF, marker});
    Word(static_cast<int>(body.size()) + 2);
    for (int b : body) data.push_back(static_cast<unsigned char>(b));
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
