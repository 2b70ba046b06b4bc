// A plain decoder kept in the tests: the decoding of an analysed CJpegDecoder written literally
// from the formulas, one bit at a time through CInBitStream::GetBits, the canonical Huffman
// search entry by entry, the full 64-term basis sum per coefficient and the colour formulas pixel
// by pixel. The optimised decoder must give the same bitmap and the same result, byte for byte.
#ifndef PHOTOGEO_TESTS_JPEG_PLAINDECODER_H
#define PHOTOGEO_TESTS_JPEG_PLAINDECODER_H

#include <vector>

class CJpegDecoder;
class CInBitStream;
struct SJpegHuffman;

namespace jpegtest {

// Decodes the image that `decoder` has analysed (SetJpegData) into pRGB, as DoDecode would, with
// full decoding when `full` (the decoder analysed with it); returns 0, -1 or -2. The decoder's
// reader is used and moved.
int PlainDecode(CJpegDecoder& decoder, unsigned char* pRGB, bool full = false);

// The canonical search: the next value, a negative marker, or throws EDataFormatError.
int PlainHuffman(CInBitStream& stream, const SJpegHuffman& table);

// The block formula: out[j] = (sum of value * basis / 4) / 256 + shift, wrapping 32-bit sums.
void PlainTransform(const int (*basis)[64], const int* coefZigzag, int shift, int* out);

// The colour formulas for one pixel.
void PlainColour(int y, int cb, int cr, unsigned char* bgr);

// Extends an s-bit amplitude as the decoder does.
int PlainExtend(int v, int s);

}  // namespace jpegtest

#endif
