// Test helpers of the JPEG decoder tests: images encoded and decoded by libjpeg-turbo (the
// oracle, for pixels and for coefficients), the decoder's arithmetic written as formulas, our
// decoder run over a bitmap whose padding is watched, and a small writer of hand-made JPEG
// streams for the cases an encoder will not produce.
#ifndef PHOTOGEO_TESTS_JPEG_JPEGTESTUTIL_H
#define PHOTOGEO_TESTS_JPEG_JPEGTESTUTIL_H

#include <cstdint>
#include <vector>

#include "photogeo/InBitStream.h"
#include "photogeo/JpegDecoder.h"
#include "support/JpegEncode.h"

namespace jpegtest {

struct SEncodeOptions {
    int width = 64;
    int height = 48;
    int components = 3;  // 1 grey, 3 YCbCr, 4 CMYK
    int h0 = 2, v0 = 2;  // luminance sampling factors
    int h1 = 1, v1 = 1;  // chroma sampling factors
    int quality = 85;
    bool baselineTables = true;  // false: 16-bit tables where the quality needs them (SOF1)
    bool blackBand = false;      // the 16 left columns black (flat blocks at row starts)
    int restartMcus = 0;
    bool optimize = false;
    bool arithmetic = false;
    std::vector<jpeg_scan_info> scans;  // a scan script (progressive when set)
    bool simpleProgression = false;     // libjpeg's default progressive script
};

// libjpeg-turbo's encoding of a photo-like test picture: smooth gradients, an edge and seeded
// noise.
std::vector<unsigned char> Encode(const SEncodeOptions& o);
// A spectral-selection script: one DC scan of every component, then for each band end in
// `bands` one AC scan per component from the previous band's end + 1.
std::vector<jpeg_scan_info> SpectralScript(int components, std::initializer_list<int> bands);

// libjpeg-turbo's decode (accurate integer transform, replicating upsampling), as a bottom-up
// BGR bitmap of our layout; empty when libjpeg-turbo fails.
std::vector<unsigned char> OracleDecode(const std::vector<unsigned char>& jpeg, int& width,
                                        int& height);

const unsigned char kUntouched = 0xA5;

// Our decoder's arithmetic over libjpeg-turbo's entropy decoding: the coefficients it reads
// (jpeg_read_coefficients), dequantised with each component's table as of its first scan, put
// through PlainTransform with `basis` and PlainColour, chroma replicated; the bitmap as
// OracleDecode lays it out, the row padding kUntouched. Empty when libjpeg-turbo fails or warns
// (damaged data).
std::vector<unsigned char> CoefficientDecode(const unsigned char* jpeg, size_t size,
                                             const int (*basis)[64], int& width, int& height);

// The block formula: out[j] = (sum of value * basis / 4) / 256 + shift, wrapping 32-bit sums;
// coefficients and basis images in zig-zag order.
void PlainTransform(const int (*basis)[64], const int* coefZigzag, int shift, int* out);
// The colour formulas for one pixel.
void PlainColour(int y, int cb, int cr, unsigned char* bgr);
// The canonical Huffman search, entry by entry: the next value, a negative marker, or throws
// EDataFormatError.
int PlainHuffman(CInBitStream& stream, const SJpegHuffman& table);

inline int Stride(int width) {
    return (3 * width + 3) / 4 * 4;
}

struct SDecodeResult {
    int analysis = 0;
    int decode = 0;
    int width = 0;
    int height = 0;
    std::vector<unsigned char> bitmap;  // stride * height bytes
    bool paddingIntact = true;          // no byte beyond 3 * width in any row was written
};

// Analyses and decodes with `decoder` (a new one when null) into a bitmap pre-filled with
// kUntouched, of exactly the size the analysis announced; frames over maxPixels are not decoded
// (decode 1). full: CJpegDecoder::SetFullDecoding.
SDecodeResult OurDecode(const std::vector<unsigned char>& jpeg, bool full = false,
                        CJpegDecoder* decoder = nullptr, int64_t maxPixels = int64_t{1} << 24);

// Offset of the first marker `code` (its 0xFF) at or after `from`, or -1. Entropy data cannot
// hold one (a 0xFF there is followed by 0x00 or a restart code).
long FindMarker(const std::vector<unsigned char>& jpeg, int code, size_t from = 0);
// The file with the size in its frame header (SOF0 or SOF2) replaced.
std::vector<unsigned char> WithSize(std::vector<unsigned char> jpeg, int width, int height);

// Peak signal-to-noise ratio in dB over the 3 * width image bytes of every row.
double Psnr(const std::vector<unsigned char>& a, const std::vector<unsigned char>& b, int width,
            int height);

// Writer of hand-made streams: segments as bytes, entropy data as bits with 0xFF stuffing.
class CJpegWriter {
public:
    void Bytes(std::initializer_list<int> bytes);
    void Segment(int marker, const std::vector<int>& body);
    // SOI and the tables and frame (SOF marker sof) of a one-component image: quantiser q0 for
    // DC and 1 for the rest; DC and AC tables given as code counts of lengths 1, 2, ... and
    // values.
    void GreyFrame(int sof, int width, int height, int q0, const std::vector<int>& dcCounts,
                   const std::vector<int>& dc, const std::vector<int>& acCounts,
                   const std::vector<int>& ac);
    void Bits(uint32_t value, int n);  // entropy-coded data
    void FlushBits();                  // pads with one-bits to a byte
    std::vector<unsigned char> data;

private:
    uint32_t m_acc = 0;
    int m_nBits = 0;
};

}  // namespace jpegtest

#endif
